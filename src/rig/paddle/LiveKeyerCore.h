#pragma once
// The keyer as a live key runs it, without the thread: lever events, setting changes and resets
// come in from any thread through a queue that never blocks; each run, on the driver's thread,
// gives them to the keyer in the order they came, runs the keyer to the time of the run and
// hands every edge on from the driver's thread: to the sidetone and, while on the air, to the
// transmitter's key line (LiveKeyPath), each element as it starts; and to the GUI thread
// through a second queue (decoding, the timing strip).
//
// It reads no clock: every run is given its time, so tests run it on times of their own and
// LiveKeyer runs it on CLOCK_MONOTONIC.
//
// A reset (Stop, focus lost, the input gone) lets every lever go. The edges the keyer decided
// up to the reset are handed on first; then, when a tone sounds at that moment, its up edge
// at the reset's time, marked as a cut: the up edge handed on earlier for that tone lies later
// and no longer holds. The sidetone sorts edges by time and ignores an up edge while the key is
// up, so it needs nothing more; the key line is cut (the key up at once, nothing queued keyed);
// the GUI side drops the stale edge itself.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "engine/keyer/Keyer.h"
#include "engine/keyer/KeyerSettings.h"
#include "rig/LiveKeyPath.h"
#include "sound/BoundedQueue.h"

namespace cwt {

// An edge of the live key as the GUI thread gets it.
struct LiveEdge {
    keyer::KeyEdge edge;
    // The keyer was reset while the key was down: the key goes up here, earlier than the up
    // edge handed on before for the same tone.
    bool cut = false;
};

class LiveKeyerCore {
public:
    // Called on the driver's thread with each edge as the keyer hands it out; must not block
    // (Sidetone::edge takes no lock).
    using EdgeSink = std::function<void(const keyer::KeyEdge&)>;

    static constexpr size_t kInputCapacity = 1024;
    static constexpr size_t kOutputCapacity = 4096;

    LiveKeyerCore(const keyer::KeyerSettings& settings, EdgeSink sidetone);

    // Any thread; never blocks. False when the input queue is full: the change is lost and
    // counted in lostInputs().
    bool lever(const keyer::LeverEvent& event);
    bool setSettings(const keyer::KeyerSettings& settings, keyer::KeyTime at);
    bool reset(keyer::KeyTime at);
    // Any thread: the key line the edges go to from the next run on; none for the sidetone
    // only.
    bool setKeyLine(std::shared_ptr<LiveKeyPath> keyLine);

    // Driver thread: takes in what came, runs the keyer to `now` and hands its edges on.
    // Returns when to run next; empty when the keyer is idle until something comes in.
    std::optional<keyer::KeyTime> run(keyer::KeyTime now);

    // Driver thread: how many edges and changes of the stuck lever there have been so far; the
    // GUI thread has news when it grew.
    uint64_t news() const { return m_news; }

    // GUI thread: the next edge handed on; false when none waits.
    bool takeEdge(LiveEdge& edge);

    // Any thread.
    int lostInputs() const { return m_lostInputs.load(std::memory_order_relaxed); }
    // Edges the GUI thread did not take in time (its queue was full); the sidetone had them.
    int lostEdges() const { return m_lostEdges.load(std::memory_order_relaxed); }
    // The lever the keyer let go because it was held closed too long, until it closes again.
    std::optional<keyer::Lever> stuckLever() const;

private:
    struct Input {
        enum class Kind { Lever, Settings, Reset, KeyLine };
        Kind kind = Kind::Lever;
        keyer::LeverEvent event;
        keyer::KeyerSettings settings;
        keyer::KeyTime time{0};
        std::shared_ptr<LiveKeyPath> keyLine;
    };

    bool push(const Input& input);
    void take(const Input& input);
    void handOn(const keyer::KeyEdge& edge, bool cut);
    void handOnDecided(keyer::KeyTime until);

    keyer::Keyer m_keyer;  // driver thread only
    EdgeSink m_sidetone;
    std::shared_ptr<LiveKeyPath> m_keyLine;  // driver thread
    std::vector<keyer::KeyEdge> m_edges;  // driver thread: reused, so that a run allocates nothing
    uint64_t m_news = 0;                  // driver thread
    BoundedQueue<Input, kInputCapacity> m_inputs;
    BoundedQueue<LiveEdge, kOutputCapacity> m_outputs;
    std::atomic<int> m_lostInputs{0};
    std::atomic<int> m_lostEdges{0};
    std::atomic<int> m_stuck{-1};  // the stuck lever as an int, -1 for none
};

}  // namespace cwt
