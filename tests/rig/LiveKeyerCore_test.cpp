// The live keyer's driving on times of the test's own: every edge reaches the sidetone and the
// GUI side alike and in order, and the key line (on the fake port) each element as it starts;
// events that come in late are keyed from their own time, a setting
// changed between elements takes effect with the next one, a reset hands on what was keyed before
// it and then cuts the tone on both outputs, and full queues lose nothing silently and block
// nobody.
#include "rig/paddle/LiveKeyerCore.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <thread>
#include <vector>

#include "rig/KeyLine.h"
#include "tests/common/FakeSerialPort.h"
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

TEST(LiveKeyerCore, OnTheAirAResetCutsTheKeyLineOnlyWhenATonesSounds) {
    using namespace cwt::test;
    ResetFakePort();
    KeyLine line{FakeSerialCalls()};
    ASSERT_TRUE(line.open({"/dev/ttyUSB0", false, false}));
    auto keying = std::make_unique<KeyingThread>(line, KeyingThread::Options{});
    auto path = std::make_shared<LiveKeyPath>();
    path->attach(keying.get(), 10'000'000);
    path->open();
    Driven d;
    d.core.setKeyLine(path);
    const KeyTime unit = KeyerUnit(15);
    auto keyed = [] {
        std::vector<KeyChange> changes = KeyChanges(TIOCM_DTR, false);
        while (!changes.empty() && !changes.front().down) changes.erase(changes.begin());
        return changes;
    };
    auto sleepUntil = [](KeyTime t) {
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(t));
    };

    // A dah cut by a reset a unit after it began: the key goes up then, not two units later.
    const KeyTime start = KeyTime(MonotonicNowNs());
    d.core.lever({Lever::Dah, true, start});
    d.core.run(start);
    sleepUntil(start + unit);
    d.core.reset(start + unit);
    d.core.run(start + unit);
    sleepUntil(start + 4 * unit);
    std::vector<KeyChange> changes = keyed();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_LT(changes[1].ns - changes[0].ns, 2 * unit.count());

    // A reset after a dit has ended, before the key line has keyed its end: the dit goes out
    // whole.
    const KeyTime dit = KeyTime(MonotonicNowNs());
    d.core.lever({Lever::Dit, true, dit});
    d.core.lever({Lever::Dit, false, dit + unit / 2});
    d.core.run(dit);
    sleepUntil(dit + unit + std::chrono::milliseconds(2));
    d.core.reset(dit + unit + std::chrono::milliseconds(2));
    d.core.run(dit + unit + std::chrono::milliseconds(2));
    sleepUntil(dit + 3 * unit);
    changes = keyed();
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_GT(changes[3].ns - changes[2].ns, unit.count() - 2'000'000);
    path->detach();
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
