// A live key's edges handed to the key line from the keyer's own thread: keyed at their times
// plus the delay while the path is open and the keying thread attached; nothing once it is
// closed or detached (the keyer may still hold the path and hand edges over); a cut or a close
// raising the key at once; an element whose end had passed before it was handed over left out
// and counted.
#include "rig/LiveKeyPath.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <thread>

#include "rig/KeyLine.h"
#include "tests/common/FakeSerialPort.h"

using namespace cwt;
using namespace cwt::test;
using keyer::KeyEdge;
using keyer::KeyTime;

namespace {

constexpr int64_t kMs = 1'000'000;
constexpr int64_t kDelayNs = 10 * kMs;

struct Air {
    KeyLine line{FakeSerialCalls()};
    std::unique_ptr<KeyingThread> thread;
    LiveKeyPath path;

    Air() {
        ResetFakePort();
        EXPECT_TRUE(line.open({"/dev/ttyUSB0", false, false}));
        // Real-time scheduling as the program asks for it: the times below are the key line's.
        thread = std::make_unique<KeyingThread>(line, KeyingThread::Options{});
        path.attach(thread.get(), kDelayNs);
        path.open();
    }
    // The key's changes after the open dropped the line.
    static std::vector<KeyChange> keyed() {
        std::vector<KeyChange> changes = KeyChanges(TIOCM_DTR, false);
        while (!changes.empty() && !changes.front().down) changes.erase(changes.begin());
        return changes;
    }
};

bool WaitFor(const std::function<bool()>& done) {
    for (int waited = 0; waited < 3000 && !done(); waited += 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

}  // namespace

TEST(LiveKeyPath, EdgesFromTheKeyersThreadAreKeyedAtTheirTimesPlusTheDelay) {
    Air air;
    // The live keyer's thread hands an edge over as its lever moves, with the real-time
    // scheduling the program gives it: the time is taken there, not before the thread started,
    // and no ordinary thread is scheduled between (seen on a busy machine: 2.5-8 ms).
    int64_t startNs = 0;
    std::thread keyer([&] {
        MakeThisThreadRealtime(20);
        startNs = MonotonicNowNs();
        const KeyEdge dah[] = {{true, KeyTime(startNs)}, {false, KeyTime(startNs + 150 * kMs)}};
        EXPECT_TRUE(air.path.key(dah));
    });
    keyer.join();
    ASSERT_TRUE(WaitFor([] { return Air::keyed().size() == 2; }));
    const std::vector<KeyChange> changes = Air::keyed();
    EXPECT_GE(changes[0].ns - startNs, kDelayNs);  // never early
    if (air.thread->realtimeWay() == RealtimeWay::Ordinary)
        GTEST_SKIP() << "no real-time scheduling here: the key line's lateness is the machine's";
    EXPECT_NEAR(changes[0].ns - startNs, kDelayNs, 2 * kMs);
    EXPECT_NEAR(changes[1].ns - changes[0].ns, 150 * kMs, 2 * kMs);
}

TEST(LiveKeyPath, AClosedPathKeysNothingMoreAndRaisesTheKeyAtOnce) {
    Air air;
    const int64_t nowNs = MonotonicNowNs();
    const KeyEdge longDah[] = {{true, KeyTime(nowNs)}, {false, KeyTime(nowNs + 2000 * kMs)}};
    ASSERT_TRUE(air.path.key(longDah));
    ASSERT_TRUE(WaitFor([] { return Air::keyed().size() == 1; }));
    EXPECT_TRUE(air.path.close());
    ASSERT_TRUE(WaitFor([] { return Air::keyed().size() == 2; }));
    // The keyer's thread had not heard yet: what it hands over now is not keyed.
    const int64_t laterNs = MonotonicNowNs();
    const KeyEdge dit[] = {{true, KeyTime(laterNs)}, {false, KeyTime(laterNs + 50 * kMs)}};
    EXPECT_FALSE(air.path.key(dit));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Air::keyed().size(), 2u);
    EXPECT_FALSE(air.path.close());
}

TEST(LiveKeyPath, ADetachedPathKeysNothingAndACutRaisesTheKeyAtOnce) {
    Air air;
    const int64_t nowNs = MonotonicNowNs();
    const KeyEdge longDah[] = {{true, KeyTime(nowNs)}, {false, KeyTime(nowNs + 2000 * kMs)}};
    ASSERT_TRUE(air.path.key(longDah));
    ASSERT_TRUE(WaitFor([] { return Air::keyed().size() == 1; }));
    const int64_t cutNs = MonotonicNowNs();
    air.path.cut();
    ASSERT_TRUE(WaitFor([] { return Air::keyed().size() == 2; }));
    // At once, not at the dah's end 2 s on; the margin is for a busy machine's scheduling.
    EXPECT_LT(Air::keyed()[1].ns - cutNs, 50 * kMs);

    air.path.detach();
    EXPECT_FALSE(air.path.attached());
    const int64_t laterNs = MonotonicNowNs();
    const KeyEdge dit[] = {{true, KeyTime(laterNs)}, {false, KeyTime(laterNs + 50 * kMs)}};
    EXPECT_FALSE(air.path.key(dit));
    air.path.cut();  // harmless without a thread
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Air::keyed().size(), 2u);
}

TEST(LiveKeyPath, AnElementThatEndedBeforeItWasHandedOverIsLeftOut) {
    Air air;
    const int64_t nowNs = MonotonicNowNs();
    const KeyEdge stale[] = {{true, KeyTime(nowNs - 100 * kMs)},
                             {false, KeyTime(nowNs - 50 * kMs)}};
    EXPECT_TRUE(air.path.key(stale));
    EXPECT_EQ(air.path.lateElements(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(Air::keyed().empty());
}
