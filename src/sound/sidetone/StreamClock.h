#pragma once
// When each sample of a playback stream sounds, on the monotonic clock. The server tells it
// with every block (PipeWire: the graph cycle's time and the delay to the device; PulseAudio:
// the stream's latency, interpolated between its timing reports); these reports jitter by
// fractions of a millisecond, and an element must not grow or shrink by that jitter. So the
// clock keeps a straight line through them, sample index against time at the nominal rate,
// and moves it only a little with each report: it follows the sound card's drift (tens of
// parts per million) and the reports' average, never their noise. A report that is off by
// more than a few milliseconds means the stream moved (it ran dry, the graph skipped a cycle,
// the server changed its buffering): once the next report agrees, the line jumps to it. A
// single report off the line is not followed: PipeWire calls a stream that it woke late twice
// in a row, and the first of the two reports the cycle after the one it fills.

#include <cstdint>

namespace cwt {

class StreamClock {
public:
    static constexpr int64_t kJumpNs = 2'000'000;
    // Two reports off the line agree when they are this close [ns].
    static constexpr int64_t kAgreeNs = 500'000;
    // How long the line takes to settle on the reports' average [s]: a report's deviation is
    // taken over in the share of this time that its block stands for, whatever the block's
    // length. Long enough that the reports' jitter and their slow wander (PulseAudio's
    // interpolated latency steps by fractions of a millisecond at each timing update, more on a
    // busy machine) move an element's edges by microseconds only and the latency by tenths of a
    // millisecond at most; a sound card 100 parts per million off the system clock then trails
    // the line by 0.8 ms, reached over the first seconds of a use and constant after.
    static constexpr double kSettleSeconds = 8.0;
    // After a jump the line is the average of this many reports, then it settles as above.
    static constexpr int kAveragedReports = 64;

    explicit StreamClock(int rateHz = 48000) : m_rateHz(rateHz) {}
    // A new stream: the next report sets the line.
    void reset(int rateHz);

    // The server reports that sample `index` sounds at `reportedNs`; returns when it sounds by
    // the smoothed line. Audio thread; no allocation.
    int64_t observe(int64_t index, int64_t reportedNs);
    // The stream lost sound (it ran dry): its sound may have moved by less than a jump, which the
    // line would otherwise take seconds to follow, its latency wandering meanwhile. The next
    // report sets the line, and the reports after it are averaged as after a jump.
    void resync();
    // When sample `index` sounds by the line, once a report came.
    int64_t timeOf(int64_t index) const;
    bool synced() const { return m_synced; }
    // Reports that moved the line at once (the first one included).
    int jumps() const { return m_jumps; }
    // Reports far off the line that the next one did not confirm: the server called the stream
    // late, and may have played a cycle without it.
    int oddReports() const { return m_oddReports; }

private:
    int m_rateHz;
    bool m_synced = false;
    double m_sampleZeroNs = 0;    // when sample 0 would sound
    int64_t m_lastIndex = 0;      // the sample of the last report
    int m_sinceJump = 0;          // reports since the line last jumped
    bool m_offLine = false;       // the last report was far off the line
    double m_offDeviationNs = 0;  // by this much
    int m_jumps = 0;
    int m_oddReports = 0;
};

}  // namespace cwt
