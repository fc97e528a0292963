#pragma once
// Chooses the sidetone's one latency from the stream itself. An edge that comes in just
// after the audio thread rendered a block can only go into the next block, which sounds at that
// block's first sample: so the latency must cover the time from one block's rendering to the
// next block's sound ("reach"). The gauge watches a stretch of blocks after the stream started
// and takes a high percentile of that reach plus a margin for the edge's way to the audio
// thread; an edge that still comes late now and then sounds at once (SidetoneRenderer).
// Measured rather than computed from the buffer settings, because each server rounds them its
// own way (PipeWire's graph may run at another quantum than asked, PulseAudio splits the target
// between the stream and its sink) and only the blocks show what really happens.
//
// After the choice it keeps watching, window by window: a server may settle on deeper buffering
// later in a use (a PulseAudio stream on a busy machine held 2.3 ms more for the rest of its use
// after some dropouts, and 20-50 edges a rhythm then came late, each sounding up to a block off
// its place). The latency is then raised to cover the new reach, never lowered, never above
// kMostNs; the caller applies a raise while no element sounds.

#include <array>
#include <cstdint>

namespace cwt {

class LatencyGauge {
public:
    static constexpr int kSkippedBlocks = 16;  // the stream's start fills its buffer at once
    // The blocks watched: at least this many, over at least kWatchNs. A server may settle its
    // buffering some tenths of a second after the stream started (PulseAudio once gave a
    // sidetone 1.3 ms less reach in its first 0.1 s than ever after, and 45 of 80 edges then
    // came late), so the watch spans that, whatever the block's length.
    static constexpr int kBlocks = 96;
    static constexpr int64_t kWatchNs = 600'000'000;
    static constexpr int kMostBlocks = 2048;  // room for 1 ms blocks over the watch
    static constexpr int64_t kMarginNs = 500'000;
    static constexpr int64_t kLeastNs = 1'000'000;
    // A later window raises the latency only by more than this, so that it does not creep up
    // by the jitter of the reach [ns].
    static constexpr int64_t kRaiseStepNs = 250'000;
    // Never raised above this: key to sound stays well within 15 ms.
    static constexpr int64_t kMostNs = 12'000'000;

    void reset();
    // Audio thread: a block whose first sample sounds at `firstSampleNs` is rendered at `nowNs`.
    // True once, for the block with which the latency was chosen.
    bool observe(int64_t firstSampleNs, int64_t nowNs);
    bool chosen() const { return m_chosen; }
    // The chosen latency, raised since if the stream's reach grew; until chosen, the largest
    // reach seen so far with the margin.
    int64_t latencyNs() const { return m_latencyNs; }

private:
    bool gather(int64_t reachNs, int64_t nowNs);
    int64_t windowLatencyNs();

    std::array<int64_t, kMostBlocks> m_reachNs{};
    int m_blocks = 0;
    int m_gathered = 0;
    int64_t m_watchFromNs = 0;  // when the first watched block was rendered
    int64_t m_previousNowNs = 0;
    int64_t m_latencyNs = 0;
    bool m_chosen = false;
};

}  // namespace cwt
