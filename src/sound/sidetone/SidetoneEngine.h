#pragma once
// The audio thread's side of the sidetone, the same for every sound server: it takes the key
// edges and tone changes that other threads handed in, keeps the stream's clock, chooses the
// fixed latency and renders each block. A back end (PipeWire, PulseAudio) only asks it for
// blocks and says when their first sample will sound.
//
// Threads: start() on the owner's thread while no stream runs; render() on the audio thread
// only (no locks, no allocation, no logging); push(), setTone() and figures() on any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "sound/ToneSynth.h"
#include "sound/sidetone/KeyEdgeQueue.h"
#include "sound/sidetone/LatencyGauge.h"
#include "sound/sidetone/SharedTone.h"
#include "sound/sidetone/SidetoneRenderer.h"
#include "sound/sidetone/StreamClock.h"

namespace cwt {

// What the sidetone has done so far, for the window and the benchmarks.
struct SidetoneFigures {
    int64_t latencyNs = 0;       // key edge to sound: chosen once, raised only in a gap
    bool latencyChosen = false;  // before: a provisional value while the stream settles
    int lateEdges = 0;           // edges that came after their moment; they sounded at once
    int droppedEdges = 0;        // edges that found the queue full (no stream ran)
    int clockJumps = 0;          // times the stream's timing moved at once (it ran dry)
    int dropouts = 0;            // times the server lost or held back the stream's sound
    int64_t blocks = 0;          // blocks rendered: grows while the server asks for sound
};

class SidetoneEngine {
public:
    // Said by render() when a server cannot tell yet when a block will sound.
    static constexpr int64_t kUnknownTime = INT64_MIN;

    // Owner thread, no stream running: forgets the edges of an earlier use, key up.
    void start(int rateHz, const ToneSettings& tone);

    // Any thread. False (and counted) when the queue is full.
    bool push(const keyer::KeyEdge& edge);
    // Any thread (one at a time): the tone of the elements that start after it.
    void setTone(const ToneSettings& tone) { m_tone.store(tone); }
    SidetoneFigures figures() const;

    // The moments [monotonic ns] at which the server lost or held back the stream's sound: it
    // ran dry (PulseAudio says so), or the graph skipped the stream's cycle and its sound moved
    // (PipeWire's timing says so); and those at which the sidetone raised its latency, as the
    // server came to hold more of the stream. Sound near them is not what was rendered. The first
    // kDropoutCapacity of a use are kept. Any thread.
    std::vector<int64_t> dropouts() const;
    static constexpr int kDropoutCapacity = 1024;
    // Audio thread (the back end's thread that renders): the server says the stream ran dry.
    void noteDropout(int64_t nowNs);
    // Audio thread: the server's timing after a dropout is at hand; the stream's clock takes it
    // at once, so that the latency stays what it was chosen rather than wandering back to it.
    void resyncClock() { m_clock.resync(); }

    // Audio thread. The server says the block's first sample sounds at `reportedFirstNs`
    // (kUnknownTime when it cannot tell yet); `nowNs` is when the block is rendered.
    void render(int16_t* out, int frames, int64_t reportedFirstNs, int64_t nowNs);

    // Called on the audio thread, once per use, when the latency has been chosen; must not
    // block or allocate. Set while no stream runs.
    void setLatencyChosenHandler(void (*handler)(void*), void* context) {
        m_chosenHandler = handler;
        m_chosenContext = context;
    }

private:
    void applyLatency(int64_t nowNs, bool chosenNow);
    void takeHandedIn();

    KeyEdgeQueue m_queue;
    SharedTone m_tone;
    // Audio thread only (and start()).
    SidetoneRenderer m_renderer;
    StreamClock m_clock;
    LatencyGauge m_gauge;
    uint32_t m_toneSeen = 0;
    bool m_heldEdge = false;  // m_held could not be taken yet: the renderer was full
    keyer::KeyEdge m_held;
    int64_t m_written = 0;

    void (*m_chosenHandler)(void*) = nullptr;
    void* m_chosenContext = nullptr;

    std::atomic<int64_t> m_latencyNs{0};
    std::atomic<bool> m_latencyChosen{false};
    std::atomic<int> m_lateEdges{0};
    std::atomic<int> m_droppedEdges{0};
    std::atomic<int> m_clockJumps{0};
    std::atomic<int64_t> m_blocks{0};
    // Written by the audio thread only, each entry before the count that covers it.
    std::array<int64_t, kDropoutCapacity> m_dropoutNs{};
    std::atomic<int> m_dropoutCount{0};
};

}  // namespace cwt
