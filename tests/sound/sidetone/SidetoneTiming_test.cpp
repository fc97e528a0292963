// The sidetone's clock and latency without a server: a stream's jittering reports must not move
// the edges, a drifting sound card and a stream that really moved must be followed, and the
// latency must cover what the blocks show.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "sound/sidetone/LatencyGauge.h"
#include "sound/sidetone/SidetoneEngine.h"
#include "sound/sidetone/SidetoneMeter.h"
#include "sound/sidetone/StreamClock.h"

namespace cwt {
namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 128;
constexpr double kBlockNs = kBlock * 1e9 / kRate;
constexpr int64_t kStartNs = 5'000'000'000;

// The server reports block `block` of a steady stream, `shiftNs` off where it sounds.
int64_t ReportBlock(StreamClock& clock, int block, double shiftNs) {
    return clock.observe(int64_t{block} * kBlock,
                         static_cast<int64_t>(kStartNs + block * kBlockNs + shiftNs));
}

TEST(StreamClock, JitteringReportsDoNotMoveTheEdges) {
    StreamClock clock(kRate);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitterNs(-300'000, 300'000);
    int64_t lastNs = 0;
    double worstStepNs = 0;
    double worstOffNs = 0;
    for (int block = 0; block < 5000; ++block) {
        const int64_t index = int64_t{block} * kBlock;
        const auto trueNs = static_cast<int64_t>(kStartNs + block * kBlockNs);
        const int64_t lineNs =
            clock.observe(index, trueNs + static_cast<int64_t>(jitterNs(random)));
        if (block > 1000) {
            // From one block to the next the line moves by a block and (almost) nothing else:
            // an element keeps its length to well under a tenth of a millisecond.
            worstStepNs = std::max(worstStepNs, std::fabs(lineNs - lastNs - kBlockNs));
            worstOffNs = std::max(worstOffNs, std::fabs(static_cast<double>(lineNs - trueNs)));
        }
        lastNs = lineNs;
    }
    EXPECT_LT(worstStepNs, 5'000);
    EXPECT_LT(worstOffNs, 100'000);
    EXPECT_EQ(clock.jumps(), 1);
}

TEST(StreamClock, FollowsASoundCardThatRunsFast) {
    StreamClock clock(kRate);
    constexpr double kFast = 100e-6;  // parts per million, as cheap sound cards run
    const double cardBlockNs = kBlockNs * (1 - kFast);
    std::vector<int64_t> offNs;
    for (int block = 0; block < 40000; ++block) {
        const auto trueNs = static_cast<int64_t>(kStartNs + block * cardBlockNs);
        offNs.push_back(clock.observe(int64_t{block} * kBlock, trueNs) - trueNs);
    }
    // The line trails the card by the drift over its settling time, a constant that the
    // latency takes in; it does not grow.
    const double trailNs = kFast * StreamClock::kSettleSeconds * 1e9;
    EXPECT_NEAR(static_cast<double>(offNs.back()), trailNs, 2'000);
    EXPECT_NEAR(static_cast<double>(offNs[30000]), static_cast<double>(offNs.back()), 1'000);
    EXPECT_EQ(clock.jumps(), 1);
}

TEST(StreamClock, JumpsWhenTheStreamMovedButNotForOneOddReport) {
    StreamClock clock(kRate);
    const double cycleNs = kBlockNs;
    auto report = [&](int block, double shiftNs) { return ReportBlock(clock, block, shiftNs); };
    for (int block = 0; block < 100; ++block) report(block, 0);
    // PipeWire called the stream late and at once again: the first report is a cycle off.
    report(100, cycleNs);
    EXPECT_NEAR(report(101, 0), kStartNs + 101 * kBlockNs, 1'000);
    EXPECT_EQ(clock.jumps(), 1);
    EXPECT_EQ(clock.oddReports(), 1);  // told: that cycle may have sounded without the stream
    // The graph skipped the stream's cycle: from here on it sounds a cycle later.
    report(102, cycleNs);
    EXPECT_NEAR(report(103, cycleNs), kStartNs + 103 * kBlockNs + cycleNs, 1'000);
    EXPECT_EQ(clock.jumps(), 2);
}

// PulseAudio's stream ran dry and its sound moved by less than a jump: without a word the line
// would take seconds to get there, the latency wandering all that while; told of the dropout,
// it takes the next report and stays.
TEST(StreamClock, TakesASmallMoveAtOnceAfterADropout) {
    constexpr double kMoveNs = 1'500'000;
    auto run = [](bool told) {
        StreamClock clock(kRate);
        auto report = [&](int block, double shiftNs) { return ReportBlock(clock, block, shiftNs); };
        for (int block = 0; block < 200; ++block) report(block, 0);
        if (told) clock.resync();
        double worstOffNs = 0;
        for (int block = 200; block < 400; ++block) {
            const double trueNs = kStartNs + block * kBlockNs + kMoveNs;
            worstOffNs = std::max(worstOffNs, std::fabs(report(block, kMoveNs) - trueNs));
        }
        EXPECT_EQ(clock.jumps(), 1);
        return worstOffNs;
    };
    EXPECT_GT(run(false), 1'000'000);
    EXPECT_LT(run(true), 1'000);
}

// Blocks as a PipeWire stream sees them: rendered a little after the cycle they sound in began.
TEST(LatencyGauge, CoversTheTimeFromOneBlockToTheNextsSound) {
    LatencyGauge gauge;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> wakeNs(50'000, 400'000);
    bool chosen = false;
    int block = 0;
    for (; block < 1000 && !chosen; ++block) {
        const auto firstNs = static_cast<int64_t>(kStartNs + block * kBlockNs);
        // Now and then the scheduler wakes the thread very late.
        const double lateNs = block % 40 == 39 ? 4'000'000 : wakeNs(random);
        chosen = gauge.observe(firstNs, firstNs + static_cast<int64_t>(lateNs));
    }
    ASSERT_TRUE(chosen);
    // Chosen once the blocks watched span the watch (each renders a cycle after the one before).
    const int watched = block - LatencyGauge::kSkippedBlocks;
    EXPECT_GE(watched * kBlockNs, LatencyGauge::kWatchNs);
    EXPECT_LT(watched * kBlockNs, LatencyGauge::kWatchNs + 3 * kBlockNs);
    // A block's reach is the cycle less how late the block before was rendered: at most
    // 2.67 - 0.05 ms, and the margin on top. The rare late wake-ups do not raise it.
    EXPECT_GT(gauge.latencyNs(), 2'900'000);
    EXPECT_LT(gauge.latencyNs(), 3'200'000);
    EXPECT_FALSE(gauge.observe(kStartNs, kStartNs));  // chosen once, then fixed
}

// A PulseAudio stream whose server settled its buffering a fifth of a second after the start:
// 1.3 ms more reach from then on. The latency covers the settled stream.
TEST(LatencyGauge, CoversAStreamThatSettlesAfterItsStart) {
    LatencyGauge gauge;
    int64_t nowNs = kStartNs;
    int blocks = 0;
    while (!gauge.chosen() && blocks++ < 5000) {
        nowNs += 1'000'000;
        const int64_t heldNs = nowNs - kStartNs < 200'000'000 ? 3'700'000 : 5'000'000;
        gauge.observe(nowNs + heldNs, nowNs);
    }
    ASSERT_TRUE(gauge.chosen());
    EXPECT_EQ(gauge.latencyNs(), 6'000'000 + LatencyGauge::kMarginNs);
}

TEST(LatencyGauge, CoversAPulseStreamThatHoldsMilliseconds) {
    LatencyGauge gauge;
    int64_t nowNs = kStartNs;
    while (!gauge.chosen()) {
        nowNs += 1'000'000;  // a request every millisecond; 4 ms held in the server
        gauge.observe(nowNs + 4'000'000, nowNs);
    }
    EXPECT_EQ(gauge.latencyNs(), 5'000'000 + LatencyGauge::kMarginNs);
}

// A PulseAudio stream on a busy machine that came to hold 2.3 ms more after the choice, for good.
// The latency is raised to cover it after one window; the reach's jitter, a shallower stream
// and a stream deeper than the cap do not move it further.
TEST(LatencyGauge, FollowsAStreamThatHoldsMoreLater) {
    LatencyGauge gauge;
    int64_t nowNs = kStartNs;
    auto run = [&](int64_t heldNs, int64_t forNs) {
        for (const int64_t until = nowNs + forNs; nowNs < until;) {
            nowNs += 1'000'000;
            gauge.observe(nowNs + heldNs + (nowNs / 1'000'000 % 3) * 50'000, nowNs);
        }
    };
    run(3'700'000, 1'000'000'000);
    ASSERT_TRUE(gauge.chosen());
    const int64_t chosenNs = gauge.latencyNs();
    EXPECT_EQ(chosenNs, 4'800'000 + LatencyGauge::kMarginNs);
    run(3'600'000, 1'000'000'000);  // shallower: kept
    EXPECT_EQ(gauge.latencyNs(), chosenNs);
    run(3'850'000, 1'000'000'000);  // deeper by less than a step: kept
    EXPECT_EQ(gauge.latencyNs(), chosenNs);
    run(6'000'000, 2 * LatencyGauge::kWatchNs + 20'000'000);
    EXPECT_EQ(gauge.latencyNs(), 7'100'000 + LatencyGauge::kMarginNs);
    run(30'000'000, 2 * LatencyGauge::kWatchNs + 20'000'000);
    EXPECT_EQ(gauge.latencyNs(), LatencyGauge::kMostNs);
}

// The engine under such a stream, keyed at the moment of each edge (as a key's watcher thread
// hands them in): once the latency is raised no edge comes late, the raise waits for a gap and
// is told as a dropout, and every element keeps its keyed length, the one during the raise too.
TEST(SidetoneEngine, RaisesItsLatencyInAGapWhenTheStreamHoldsMore) {
    constexpr int kFrames = 48;  // 1 ms blocks, as PulseAudio asks at a 1 ms request
    SidetoneEngine engine;
    engine.start(kRate, ToneSettings{});
    std::vector<int16_t> sound;
    constexpr int64_t kElementNs = 37'000'000;
    constexpr int64_t kPeriodNs = 80'000'000;
    int64_t nextEdgeNs = kStartNs + 100'000'000;
    bool nextDown = true;
    int lateBeforeRaise = -1;
    int64_t raisedAtNs = 0;
    int64_t nowNs = kStartNs;
    const int64_t deeperFromNs = kStartNs + 2'000'000'000;
    // Block after block of one steady stream: its samples sound one after the other, and the
    // server asks for each block some milliseconds ahead, 2.3 ms more from a moment on (it then
    // asks for several blocks at once).
    for (int64_t written = 0; nowNs < kStartNs + 6'000'000'000; written += kFrames) {
        const int64_t firstNs = kStartNs + 3'700'000 + written * 1'000'000'000 / kRate;
        const bool deeper = firstNs - 3'700'000 >= deeperFromNs;
        nowNs = std::max(nowNs, firstNs - (deeper ? 6'000'000 : 3'700'000));
        while (nextEdgeNs <= nowNs) {  // handed in as it happens
            engine.push({nextDown, keyer::KeyTime(nextEdgeNs)});
            nextEdgeNs += nextDown ? kElementNs : kPeriodNs - kElementNs;
            nextDown = !nextDown;
        }
        std::vector<int16_t> block(kFrames);
        engine.render(block.data(), kFrames, firstNs, nowNs);
        sound.insert(sound.end(), block.begin(), block.end());
        if (lateBeforeRaise < 0 && !engine.dropouts().empty()) {
            raisedAtNs = engine.dropouts().front();
            lateBeforeRaise = engine.figures().lateEdges;
        }
    }
    ASSERT_GE(lateBeforeRaise, 0) << "the latency was never raised";
    EXPECT_GT(raisedAtNs, deeperFromNs);
    EXPECT_LT(raisedAtNs - deeperFromNs, 2 * LatencyGauge::kWatchNs);
    EXPECT_GT(lateBeforeRaise, 0) << "the deeper stream made no edge late: nothing was tested";
    EXPECT_EQ(engine.dropouts().size(), 1u);
    EXPECT_EQ(engine.figures().lateEdges, lateBeforeRaise) << "edges still came late";
    EXPECT_GT(engine.figures().latencyNs, 7'000'000);
    const std::vector<ToneRun> tones =
        ToneRunsAtHalfLevel(sound.data(), sound.size(), kRate, LevelOf(sound));
    ASSERT_GT(tones.size(), 60u);
    for (const ToneRun& tone : tones)
        EXPECT_NEAR(tone.endMs - tone.startMs, kElementNs / 1e6, 0.1) << "at " << tone.startMs;
}

}  // namespace
}  // namespace cwt
