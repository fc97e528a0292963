// A paddle on a serial port's input lines, watched through the fake port whose TIOCMIWAIT blocks
// until the test changes a line: the lever events, their order and times; the line choices;
// taps shorter than a reading, bounce and a change the wait missed; the port shared with the
// key line; ports that cannot be watched; stopping while blocked; an adapter pulled out.
#include "rig/paddle/SerialPaddle.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "rig/KeyLine.h"
#include "rig/KeyingThread.h"
#include "tests/common/FakeSerialPort.h"

using namespace cwt;
using namespace cwt::test;
using keyer::Lever;
using keyer::LeverEvent;

namespace {

constexpr int64_t kMs = 1'000'000;

// Collects what the watcher thread hands on.
class Events {
public:
    SerialPaddle::LeverHandler lever() {
        return [this](const LeverEvent& event) {
            const std::lock_guard lock(m_mutex);
            m_events.push_back(event);
            m_changed.notify_all();
        };
    }
    SerialPaddle::LostHandler lost() {
        return [this] {
            const std::lock_guard lock(m_mutex);
            ++m_lost;
            m_changed.notify_all();
        };
    }
    // Waits up to `timeoutMs` for `count` events in all.
    std::vector<LeverEvent> await(size_t count, int timeoutMs = 2000) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_events.size() >= count; });
        return m_events;
    }
    bool awaitLost(int timeoutMs = 2000) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_lost > 0; });
    }
    size_t size() {
        const std::lock_guard lock(m_mutex);
        return m_events.size();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<LeverEvent> m_events;
    int m_lost = 0;
};

SerialPaddleConfig Paddle(int64_t debounceNs = 0) {
    SerialPaddleConfig config;
    config.device = "/dev/ttyUSB0";
    config.debounceNs = debounceNs;
    config.realtime = false;
    return config;
}

// Sets the lines once the watcher is blocked in its wait, and returns the time just before.
// Changes that follow each other before the watcher has read the first are one change to it:
// a test waits for the events of one before it makes the next, or lets 20 ms pass.
int64_t Change(int asserted) {
    EXPECT_TRUE(FakeWaitBlocked());
    const int64_t before = MonotonicNowNs();
    SetFakeInputLines(asserted);
    return before;
}

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

void ExpectEvent(const LeverEvent& event, Lever lever, bool closed, int64_t notBeforeNs) {
    EXPECT_EQ(event.lever, lever);
    EXPECT_EQ(event.closed, closed);
    EXPECT_GE(event.time.count(), notBeforeNs);
    EXPECT_LE(event.time.count(), MonotonicNowNs());
}

}  // namespace

TEST(SerialPaddle, LineChangesBecomeLeverEventsInOrderWithTheirTimes) {
    ResetFakePort();
    Events events;
    SerialPaddle paddle(FakeSerialCalls());
    ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()))
        << paddle.errorText().toStdString();
    // DTR feeds the contacts; RTS, which may key a transmitter, is down.
    EXPECT_EQ(FakePort().lines.load() & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR);
    EXPECT_EQ(FakePort().lowLatencyCalls.load(), 1);
    EXPECT_TRUE(paddle.startNote().isEmpty());

    // A squeeze: dit, then dah, dit released first.
    const int64_t t1 = Change(TIOCM_CTS);
    ASSERT_EQ(events.await(1).size(), 1u);
    const int64_t t2 = Change(TIOCM_CTS | TIOCM_DSR);
    ASSERT_EQ(events.await(2).size(), 2u);
    const int64_t t3 = Change(TIOCM_DSR);
    ASSERT_EQ(events.await(3).size(), 3u);
    const int64_t t4 = Change(0);
    const std::vector<LeverEvent> seen = events.await(4);
    ASSERT_EQ(seen.size(), 4u);
    ExpectEvent(seen[0], Lever::Dit, true, t1);
    ExpectEvent(seen[1], Lever::Dah, true, t2);
    ExpectEvent(seen[2], Lever::Dit, false, t3);
    ExpectEvent(seen[3], Lever::Dah, false, t4);
    // Lines the paddle does not use wake nothing.
    Change(TIOCM_CD | TIOCM_RI);
    Pause();
    EXPECT_EQ(events.size(), 4u);
    paddle.stop();
    EXPECT_EQ(FakePort().closes, 1);
}

TEST(SerialPaddle, DahOnDcdStraightKeyOnCtsAndInvertedLines) {
    ResetFakePort();
    {
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        SerialPaddleConfig config = Paddle();
        config.dahLine = DahLine::Dcd;
        ASSERT_TRUE(paddle.start(config, events.lever(), events.lost()));
        Change(TIOCM_DSR);  // not the dah line now
        Pause();
        Change(TIOCM_DSR | TIOCM_CD);
        const std::vector<LeverEvent> seen = events.await(1);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].lever, Lever::Dah);
        EXPECT_TRUE(seen[0].closed);
    }
    ResetFakePort();
    {
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        SerialPaddleConfig config = Paddle();
        config.straightKey = true;
        config.supply = PaddleSupply::Rts;
        ASSERT_TRUE(paddle.start(config, events.lever(), events.lost()));
        EXPECT_EQ(FakePort().lines.load() & (TIOCM_DTR | TIOCM_RTS), TIOCM_RTS);
        Change(TIOCM_DSR);
        Pause();
        Change(TIOCM_DSR | TIOCM_CTS);
        ASSERT_EQ(events.await(1).size(), 1u);
        Change(TIOCM_DSR);
        const std::vector<LeverEvent> seen = events.await(2);
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].lever, Lever::Straight);
        EXPECT_TRUE(seen[0].closed);
        EXPECT_EQ(seen[1].lever, Lever::Straight);
        EXPECT_FALSE(seen[1].closed);
    }
    ResetFakePort();
    {
        // Asserted while open: both levers rest asserted, and a press drops the line.
        SetFakeInputLines(TIOCM_CTS | TIOCM_DSR);
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        SerialPaddleConfig config = Paddle();
        config.inverted = true;
        ASSERT_TRUE(paddle.start(config, events.lever(), events.lost()));
        EXPECT_TRUE(paddle.startNote().isEmpty());
        Change(TIOCM_DSR);
        const std::vector<LeverEvent> seen = events.await(1);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].lever, Lever::Dit);
        EXPECT_TRUE(seen[0].closed);
    }
}

// What the readings alone would lose: a tap that came and went between two readings, bounce,
// and a change that came just before the wait was entered (the wait does not wake for it).
TEST(SerialPaddle, ShortTapsBounceAndChangesTheWaitMissed) {
    ResetFakePort();
    {
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
        ASSERT_TRUE(FakeWaitBlocked());
        PulseFakeInputLine(TIOCM_DSR);
        const std::vector<LeverEvent> seen = events.await(2);
        ASSERT_EQ(seen.size(), 2u) << "a tap shorter than a reading is a dah all the same";
        EXPECT_EQ(seen[0].lever, Lever::Dah);
        EXPECT_TRUE(seen[0].closed);
        EXPECT_FALSE(seen[1].closed);
        EXPECT_EQ(seen[0].time, seen[1].time);
    }
    ResetFakePort();
    {
        // Contacts that bounce for a millisecond: one press, one release. The bounce must fall
        // within the time the paddle waits out after a change, however late this thread runs
        // on a busy machine: 50 ms here (5 ms failed when the thread ran 5 ms late).
        constexpr int64_t kSettleNs = 50 * kMs;
        constexpr auto kPastSettling = std::chrono::milliseconds(2 * kSettleNs / kMs);
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        ASSERT_TRUE(paddle.start(Paddle(kSettleNs), events.lever(), events.lost()));
        const int64_t pressed = Change(TIOCM_CTS);
        for (int i = 0; i < 3; ++i) {
            SetFakeInputLines(0);
            SetFakeInputLines(TIOCM_CTS);
        }
        std::this_thread::sleep_for(kPastSettling);
        EXPECT_EQ(events.size(), 1u);
        const int64_t released = Change(0);
        SetFakeInputLines(TIOCM_CTS);
        SetFakeInputLines(0);
        std::this_thread::sleep_for(kPastSettling);
        const std::vector<LeverEvent> seen = events.await(2);
        ASSERT_EQ(seen.size(), 2u);
        ExpectEvent(seen[0], Lever::Dit, true, pressed);
        ExpectEvent(seen[1], Lever::Dit, false, released);
        // A press released while it still bounced is reported open when the bounce is over.
        const int64_t tapped = Change(TIOCM_CTS);
        ASSERT_EQ(events.await(3).size(), 3u);
        SetFakeInputLines(0);
        const std::vector<LeverEvent> tap = events.await(4);
        ASSERT_EQ(tap.size(), 4u);
        EXPECT_FALSE(tap[3].closed);
        EXPECT_GE(tap[3].time.count() - tap[2].time.count(), kSettleNs);
        EXPECT_GE(tap[2].time.count(), tapped);
    }
    ResetFakePort();
    {
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
        Change(TIOCM_CTS);
        ASSERT_EQ(events.await(1).size(), 1u);
        ASSERT_TRUE(FakeWaitBlocked());
        const int64_t released = MonotonicNowNs();
        SetFakeInputLines(0, /*wake=*/false);
        const std::vector<LeverEvent> seen = events.await(2, 200);
        ASSERT_EQ(seen.size(), 2u) << "a released lever must not stay closed";
        EXPECT_FALSE(seen[1].closed);
        EXPECT_LT(seen[1].time.count() - released, 50 * kMs);
    }
}

TEST(SerialPaddle, WithoutCountersLineStatesStillCount) {
    ResetFakePort();
    FakePort().countsSupported = false;
    Events events;
    SerialPaddle paddle(FakeSerialCalls());
    ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
    Change(TIOCM_DSR);
    ASSERT_EQ(events.await(1).size(), 1u);
    Change(0);
    const std::vector<LeverEvent> seen = events.await(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].closed);
    EXPECT_FALSE(seen[1].closed);
}

TEST(SerialPaddle, ALeverClosedAtStartWaitsUntilItOpens) {
    ResetFakePort();
    SetFakeInputLines(TIOCM_CTS);
    Events events;
    SerialPaddle paddle(FakeSerialCalls());
    ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
    EXPECT_TRUE(paddle.startNote().contains(QStringLiteral("CTS")))
        << paddle.startNote().toStdString();
    Change(TIOCM_CTS | TIOCM_DSR);  // the dah lever works meanwhile
    ASSERT_EQ(events.await(1).size(), 1u);
    Change(TIOCM_DSR);  // the dit lever opens: nothing to report
    Pause();
    Change(TIOCM_DSR | TIOCM_CTS);  // and now counts
    const std::vector<LeverEvent> seen = events.await(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].lever, Lever::Dah);
    EXPECT_EQ(seen[1].lever, Lever::Dit);
    EXPECT_TRUE(seen[1].closed);
}

// One adapter, one open file: the key line on RTS and the paddle fed from DTR, opened in either
// order, and a line that cannot be both.
TEST(SerialPaddle, SharesThePortWithTheKeyLine) {
    ResetFakePort();
    {
        KeyLine line(FakeSerialCalls());
        ASSERT_TRUE(line.open({"/dev/ttyUSB0", true, false}));
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
        EXPECT_EQ(FakePort().opens, 1);
        ASSERT_TRUE(line.setKey(true));
        EXPECT_EQ(FakePort().lines.load() & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR | TIOCM_RTS);
        Change(TIOCM_CTS);
        ASSERT_EQ(events.await(1).size(), 1u);
        paddle.stop();
        EXPECT_EQ(FakePort().closes, 0) << "the key line still holds the port";
        EXPECT_EQ(FakePort().lines.load() & (TIOCM_DTR | TIOCM_RTS), TIOCM_RTS);
        line.close();
        EXPECT_EQ(FakePort().closes, 1);
    }
    ResetFakePort();
    {
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
        const int callsBefore = FakePort().callCount.load();
        KeyLine line(FakeSerialCalls());
        ASSERT_TRUE(line.open({"/dev/ttyUSB0", true, false}));
        EXPECT_EQ(FakePort().opens, 1);
        for (int i = callsBefore; i < FakePort().callCount.load(); ++i)
            EXPECT_FALSE(FakePort().calls[i].request == TIOCMBIC &&
                         (FakePort().calls[i].bits & TIOCM_DTR))
                << "opening the key line cut the paddle's supply";
        KeyLine onSupply(FakeSerialCalls());
        EXPECT_FALSE(onSupply.open({"/dev/ttyUSB0", false, false}));
        EXPECT_TRUE(onSupply.errorText().contains(QStringLiteral("전원")))
            << onSupply.errorText().toStdString();
    }
    ResetFakePort();
    {
        KeyLine line(FakeSerialCalls());
        ASSERT_TRUE(line.open({"/dev/ttyUSB0", false, false}));
        Events events;
        SerialPaddle paddle(FakeSerialCalls());
        EXPECT_FALSE(paddle.start(Paddle(), events.lever(), events.lost()));
        EXPECT_TRUE(paddle.errorText().contains(QStringLiteral("키 선")))
            << paddle.errorText().toStdString();
        EXPECT_EQ(FakePort().lines.load() & TIOCM_DTR, 0) << "the transmitter was keyed";
    }
}

TEST(SerialPaddle, PortsThatCannotBeWatchedAreToldInWords) {
    struct Case {
        int openErrno;
        const char* words;
    };
    for (const Case& c :
         {Case{EACCES, "dialout"}, Case{ENOENT, "포트가 없습니다"}, Case{EBUSY, "다른 프로그램"}}) {
        ResetFakePort();
        FakePort().openErrno = c.openErrno;
        SerialPaddle paddle(FakeSerialCalls());
        EXPECT_FALSE(paddle.start(Paddle(), {}, {}));
        EXPECT_FALSE(paddle.running());
        EXPECT_TRUE(paddle.errorText().contains(QString::fromUtf8(c.words)))
            << paddle.errorText().toStdString();
    }
    // A driver that cannot wait for its lines says so once watching begins.
    ResetFakePort();
    FakePort().waitSupported = false;
    Events events;
    SerialPaddle paddle(FakeSerialCalls());
    ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
    ASSERT_TRUE(events.awaitLost());
    EXPECT_TRUE(paddle.lostText().contains(QStringLiteral("알리지 않습니다")))
        << paddle.lostText().toStdString();
}

TEST(SerialPaddle, StopWakesTheBlockedWaitAndReleasesTheLevers) {
    ResetFakePort();
    Events events;
    SerialPaddle paddle(FakeSerialCalls());
    ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
    // A second after the last change the watcher no longer looks by itself: nothing but the
    // stop can end its wait (this test would hang if the stop could not).
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(FakeWaitBlocked());
    const int64_t stopping = MonotonicNowNs();
    paddle.stop();
    EXPECT_LT(MonotonicNowNs() - stopping, 100 * kMs);
    EXPECT_EQ(FakePort().waiting.load(), 0);
    EXPECT_EQ(FakePort().lines.load() & TIOCM_DTR, 0) << "the supply is dropped";
    EXPECT_EQ(FakePort().closes, 1);

    // Levers held when the watch ends are released; the same object starts over.
    ResetFakePort();
    ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
    Change(TIOCM_CTS | TIOCM_DSR);
    ASSERT_EQ(events.await(2).size(), 2u);
    paddle.stop();
    const std::vector<LeverEvent> seen = events.await(4);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_FALSE(seen[2].closed);
    EXPECT_FALSE(seen[3].closed);
    EXPECT_NE(seen[2].lever, seen[3].lever);
    EXPECT_FALSE(events.awaitLost(0));
    paddle.stop();
}

TEST(SerialPaddle, APulledOutAdapterReleasesEveryLeverAndSaysSo) {
    ResetFakePort();
    Events events;
    SerialPaddle paddle(FakeSerialCalls());
    ASSERT_TRUE(paddle.start(Paddle(), events.lever(), events.lost()));
    Change(TIOCM_DSR);
    ASSERT_EQ(events.await(1).size(), 1u);
    ASSERT_TRUE(FakeWaitBlocked());
    PullOutFakePort();
    ASSERT_TRUE(events.awaitLost());
    const std::vector<LeverEvent> seen = events.await(2);
    ASSERT_EQ(seen.size(), 2u) << "released before the loss is told";
    EXPECT_EQ(seen[1].lever, Lever::Dah);
    EXPECT_FALSE(seen[1].closed);
    EXPECT_TRUE(paddle.lostText().contains(QStringLiteral("끊겼습니다")))
        << paddle.lostText().toStdString();
    paddle.stop();
    EXPECT_EQ(FakePort().closes, 1);
}
