#pragma once
// The transmitter's key line as a live key reaches it from the keyer's own thread, not through
// the GUI thread: a GUI thread held up by a repaint or a busy machine would hand an element over
// after it had begun, and the key line would shorten it or leave it out. The keyer's thread
// hands each element over as it starts, and the keying thread keys it at its time plus a fixed
// delay, as TransmitterKeyer::keyLive does.
//
// TransmitterKeyer attaches its keying thread while it keys a serial line and detaches it
// before the thread ends, so a path held by the keyer's thread never reaches a thread that is
// gone: then it keys nothing. The window that keys live opens the path when it goes on the air
// and closes it when it leaves: once close() has returned nothing more is keyed, whatever the
// keyer's thread hands over after it.
//
// Threads: attach() and detach() on the GUI thread; key() from one thread at a time (the live
// keyer's); everything else from any thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "rig/KeyingThread.h"

namespace cwt {

// The live edges as the keying thread takes them: each at its time plus `delayNs`, as a letter
// of its own (`letter`), without the elements whose end had passed by `nowNs` (a click on the
// air is no dot); those are counted in `late`.
void LiveTimedEdges(std::span<const keyer::KeyEdge> edges, int64_t delayNs, int64_t nowNs,
                    uint32_t letter, std::vector<TimedEdge>& timed, int& late);

class LiveKeyPath {
public:
    LiveKeyPath();

    void attach(KeyingThread* thread, int64_t delayNs);
    void detach();
    bool attached() const;

    // A live key keys the transmitter from now on.
    void open();
    // Nothing more is keyed; when the path was open, the key goes up at once and nothing handed
    // over before is keyed. True when it was open.
    bool close();
    bool isOpen() const;

    // Keys the edges, in time order, at their times plus the delay. False when nothing can be
    // keyed (closed, or no keying thread) or the keying thread's queue was full.
    bool key(std::span<const keyer::KeyEdge> edges);
    // The key goes up at once and nothing handed over before is keyed; the path stays open.
    void cut();

    // Elements that were not keyed because they had ended before they were handed over.
    int lateElements() const { return m_late.load(std::memory_order_relaxed); }

private:
    mutable std::mutex m_mutex;  // held for a hand-over, or while the thread is attached or not
    KeyingThread* m_thread = nullptr;
    bool m_open = false;
    int64_t m_delayNs = 0;
    uint32_t m_letter = 0;
    std::vector<TimedEdge> m_timed;  // reused, so that a hand-over allocates nothing
    std::atomic<int> m_late{0};
};

}  // namespace cwt
