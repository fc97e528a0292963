#pragma once
// Key edges on their way to the audio thread. Any thread may hand an edge in (a serial-port
// watcher, a keyer thread, the GUI thread), at the same time as the others; the audio thread
// takes them out without ever waiting for a producer preempted in the middle of a push. A push
// is refused when the queue is full (nobody takes edges out: the stream is not running).

#include "engine/keyer/KeyEvents.h"
#include "sound/BoundedQueue.h"

namespace cwt {

using KeyEdgeQueue = BoundedQueue<keyer::KeyEdge, 1024>;

}  // namespace cwt
