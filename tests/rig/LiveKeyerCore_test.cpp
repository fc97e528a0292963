// The live keyer's driving on times of the test's own: every edge reaches the sidetone and the
// GUI side alike and in order, events that come in late are keyed from their own time, a setting
// changed between elements takes effect with the next one, a reset hands on what was keyed before
// it and then cuts the tone on both outputs, and full queues lose nothing silently and block
// nobody.
#include "rig/paddle/LiveKeyerCore.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/engine/keyer/support/KeyerScript.h"

using namespace cwt;
using namespace cwt::keyer;
using namespace cwt::keyer::test;
using namespace std::chrono_literals;

namespace {

struct Driven {
    std::vector<KeyEdge> sidetone;
    LiveKeyerCore core;

    explicit Driven(KeyerSettings settings = {})
        : core(settings, [this](const KeyEdge& edge) { sidetone.push_back(edge); }) {}

    std::vector<LiveEdge> gui() {
        std::vector<LiveEdge> edges;
        LiveEdge edge;
        while (core.takeEdge(edge)) edges.push_back(edge);
        return edges;
    }
    // Runs as the driver's thread does once it has heard of the events: at every wake the
    // keyer asks for, up to `until`.
    void runUntil(KeyTime until) {
        std::optional<KeyTime> next = core.run(kT0);
        while (next && *next <= until) next = core.run(*next);
    }
};

KeyTime Units(double units, int wpm = 15) {
    return KeyTime(static_cast<long long>(units * KeyerUnit(wpm).count()));
}

std::vector<KeyEdge> EdgesOf(const std::vector<LiveEdge>& live) {
    std::vector<KeyEdge> edges;
    for (const LiveEdge& e : live) edges.push_back(e.edge);
    return edges;
}

}  // namespace

TEST(LiveKeyerCore, EveryEdgeReachesTheSidetoneAndTheGuiAlikeOnTheKeyersGrid) {
    Driven d;
    d.core.lever({Lever::Dah, true, kT0});
    d.core.lever({Lever::Dah, false, kT0 + Units(5)});  // held into a second dah
    d.runUntil(kT0 + 1s);

    const std::vector<KeyEdge> expected = {
        {true, kT0}, {false, kT0 + Units(3)}, {true, kT0 + Units(4)}, {false, kT0 + Units(7)}};
    EXPECT_EQ(d.sidetone, expected);
    const std::vector<LiveEdge> gui = d.gui();
    ASSERT_EQ(gui.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(gui[i].edge, expected[i]) << i;
        EXPECT_FALSE(gui[i].cut);
    }
    EXPECT_FALSE(d.core.run(kT0 + 2s).has_value()) << "idle once the levers are open";
}

TEST(LiveKeyerCore, AnEventThatComesInLateIsKeyedFromWhenItCameAndNothingIsLost) {
    Driven d;
    // The driver heard of a dit lever tapped at kT0 only 3 ms later, and of its release then.
    d.core.lever({Lever::Dit, true, kT0});
    d.core.lever({Lever::Dit, false, kT0 + 1ms});
    d.core.run(kT0 + 3ms);
    ASSERT_EQ(d.sidetone.size(), 2u);
    // The element starts at the lever's own time: the sidetone's latency absorbs the lateness.
    EXPECT_EQ(d.sidetone[0], (KeyEdge{true, kT0}));
    EXPECT_EQ(d.sidetone[1], (KeyEdge{false, kT0 + Units(1)}));
}

TEST(LiveKeyerCore, ASettingChangedDuringAnElementTakesEffectWithTheNext) {
    Driven d;
    d.core.lever({Lever::Dit, true, kT0});
    d.core.run(kT0);
    KeyerSettings faster;
    faster.wpm = 30;
    d.core.setSettings(faster, kT0 + Units(0.5));
    d.core.lever({Lever::Dit, false, kT0 + Units(2.5)});  // the second dit is at 30 WPM
    d.runUntil(kT0 + 1s);
    ASSERT_EQ(d.sidetone.size(), 4u);
    EXPECT_EQ(d.sidetone[1], (KeyEdge{false, kT0 + Units(1)}));
    EXPECT_EQ(d.sidetone[2], (KeyEdge{true, kT0 + Units(2)}));
    EXPECT_EQ(d.sidetone[3], (KeyEdge{false, kT0 + Units(2) + Units(1, 30)}));
}

TEST(LiveKeyerCore, AResetCutsTheToneOnBothOutputsAndKeysNothingMore) {
    Driven d;
    d.core.lever({Lever::Dah, true, kT0});  // held: dahs until the reset
    d.core.run(kT0);
    d.core.reset(kT0 + Units(1));
    EXPECT_FALSE(d.core.run(kT0 + Units(1)).has_value()) << "the held lever is let go";

    ASSERT_EQ(d.sidetone.size(), 3u);
    EXPECT_EQ(d.sidetone[1], (KeyEdge{false, kT0 + Units(3)}));
    EXPECT_EQ(d.sidetone[2], (KeyEdge{false, kT0 + Units(1)})) << "the sidetone hears the cut";
    const std::vector<LiveEdge> gui = d.gui();
    ASSERT_EQ(gui.size(), 3u);
    EXPECT_FALSE(gui[1].cut);
    EXPECT_TRUE(gui[2].cut);
    EXPECT_EQ(gui[2].edge, (KeyEdge{false, kT0 + Units(1)}));

    d.runUntil(kT0 + 10s);
    EXPECT_EQ(d.sidetone.size(), 3u);
    EXPECT_FALSE(d.core.stuckLever().has_value());
}

TEST(LiveKeyerCore, AResetThatCameWithTheLeversHandsOnWhatWasKeyedBeforeIt) {
    Driven d;
    // A dit keyed just before Stop, both heard in one wake: the dit sounds, then it is cut.
    d.core.lever({Lever::Dit, true, kT0});
    d.core.reset(kT0 + 10ms);
    d.core.run(kT0 + 12ms);
    const std::vector<KeyEdge> edges = EdgesOf(d.gui());
    ASSERT_EQ(edges.size(), 3u);
    EXPECT_EQ(edges[0], (KeyEdge{true, kT0}));
    EXPECT_EQ(edges[2], (KeyEdge{false, kT0 + 10ms}));
    EXPECT_EQ(d.sidetone.size(), 3u);

    // With the key up, a reset hands on nothing.
    d.core.reset(kT0 + 1s);
    d.core.run(kT0 + 1s);
    EXPECT_TRUE(d.gui().empty());
}

TEST(LiveKeyerCore, AStuckLeverIsReportedAsNewsUntilItClosesAgain) {
    Driven d;
    d.core.lever({Lever::Dah, true, kT0});
    d.runUntil(kT0 + StuckLeverLimit(15) + 1s);
    EXPECT_EQ(d.core.stuckLever(), Lever::Dah);
    const uint64_t news = d.core.news();
    d.core.lever({Lever::Dah, false, kT0 + 20s});
    d.core.lever({Lever::Dah, true, kT0 + 21s});
    d.core.run(kT0 + 21s);
    EXPECT_FALSE(d.core.stuckLever().has_value());
    EXPECT_GT(d.core.news(), news);
}

TEST(LiveKeyerCore, FullQueuesCountWhatTheyLoseAndBlockNobody) {
    KeyerSettings straight;
    straight.mode = KeyerMode::Straight;
    Driven d(straight);
    // Nobody runs the keyer: the input queue fills and says so.
    size_t queued = 0;
    for (size_t i = 0; i < LiveKeyerCore::kInputCapacity + 10; ++i)
        queued += d.core.lever({Lever::Straight, i % 2 == 0, kT0 + i * 1ms}) ? 1 : 0;
    EXPECT_EQ(queued, LiveKeyerCore::kInputCapacity);
    EXPECT_EQ(d.core.lostInputs(), 10);

    // Nobody on the GUI side takes edges: the sidetone still gets every one.
    d.core.run(kT0 + 1h);
    for (int round = 0; round < 5; ++round) {
        for (size_t i = 0; i < LiveKeyerCore::kInputCapacity; ++i)
            d.core.lever({Lever::Straight, i % 2 == 0, kT0 + 1h + round * 2s + i * 1ms});
        d.core.run(kT0 + 2h);
    }
    EXPECT_EQ(d.sidetone.size(), LiveKeyerCore::kInputCapacity * 6);
    EXPECT_EQ(d.core.lostEdges(),
              static_cast<int>(d.sidetone.size() - LiveKeyerCore::kOutputCapacity));
}
