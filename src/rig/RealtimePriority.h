#pragma once
// Real-time scheduling for a thread that must act at exact moments: SCHED_FIFO where the
// process may ask for it (root, CAP_SYS_NICE or an RLIMIT_RTPRIO), else through RTKit on the
// system bus, as PulseAudio and PipeWire get theirs. Without either the thread keeps its
// ordinary priority and still works, only less exactly when the machine is busy.

#include <QString>

namespace cwt {

enum class RealtimeWay { Ordinary, SchedFifo, RtKit };

// Makes the calling thread real-time at `priority` (1..99, capped at what RTKit allows). Any
// thread; may wait up to a second for the system bus.
RealtimeWay MakeThisThreadRealtime(int priority);

QString RealtimeWayText(RealtimeWay way);

}  // namespace cwt
