// A live key on the transmitter through the fake key line: the keyer's edges keyed at their
// times plus the on-air delay, a straight key's at once; elements that ended before they were
// handed over; Stop; a send broken into; and every safety rule of keying (watchdog on a held
// straight key, a port lost, finishing with the key down), and a rig keyer that refuses.

#include <sys/ioctl.h>

#include <QSignalSpy>
#include <QtTest>

#include "rig/TransmitterKeyer.h"
#include "tests/common/FakeSerialPort.h"

using cwt::TransmitterKeyer;
using cwt::keyer::KeyEdge;
using cwt::keyer::KeyTime;
using LiveKeying = TransmitterKeyer::LiveKeying;

namespace {

constexpr int64_t kMs = 1'000'000;

KeyEdge Edge(bool down, int64_t atNs) { return {down, KeyTime(atNs)}; }

std::vector<cwt::test::KeyChange> Changes() { return cwt::test::KeyChanges(TIOCM_DTR, false); }

// The key changes after the open's key up.
std::vector<cwt::test::KeyChange> Keyed() {
    std::vector<cwt::test::KeyChange> changes = Changes();
    if (!changes.empty()) changes.erase(changes.begin());
    return changes;
}

bool WaitForChanges(size_t count, int timeoutMs = 3000) {
    return QTest::qWaitFor([&] { return Keyed().size() >= count; }, timeoutMs);
}

// A keyer started on the fake port at ordinary priority.
struct OnAir {
    TransmitterKeyer keyer{nullptr, cwt::test::FakeSerialCalls()};

    explicit OnAir(int watchdogSeconds = 5, int64_t delayNs = 10 * kMs) {
        cwt::test::ResetFakePort();
        keyer.threadOptions.realtime = false;
        keyer.onAirDelayNs = delayNs;
        cwt::KeyingSettings settings;
        settings.watchdogSeconds = watchdogSeconds;
        keyer.start(settings);
    }
};

}  // namespace

class TestLiveKeying : public QObject {
    Q_OBJECT

private slots:
    void keyerEdgesAreKeyedAtTheirTimePlusTheDelay() {
        // A delay of 40 ms on the air, and 40 ms allowed beyond it: a thread without real-time
        // scheduling is held up 8-11 ms now and then on a busy machine, and an edge that waited
        // for the next one would be three units (180 ms) late.
        constexpr int64_t kDelayNs = 40 * kMs;
        OnAir air(5, kDelayNs);
        QCOMPARE(air.keyer.liveKeying(), LiveKeying::Keyed);
        QVERIFY(air.keyer.liveRefusal().isEmpty());
        // Three elements of a keyer at 20 WPM, each handed over as it starts (its start a
        // little in the past, as a keyer woken late hands it), both edges at once.
        const int64_t unit = 60 * kMs;
        const int64_t start = cwt::MonotonicNowNs();
        std::vector<KeyEdge> all;
        for (int element = 0; element < 3; ++element) {
            const int64_t down = start + element * 4 * unit;
            const KeyEdge edges[] = {Edge(true, down), Edge(false, down + 3 * unit)};
            QTest::qWait(static_cast<int>((down - cwt::MonotonicNowNs()) / kMs) + 2);
            QCOMPARE(air.keyer.keyLive(edges), LiveKeying::Keyed);
            all.insert(all.end(), std::begin(edges), std::end(edges));
        }
        QVERIFY(WaitForChanges(all.size()));
        const auto keyed = Keyed();
        QCOMPARE(keyed.size(), all.size());
        for (size_t i = 0; i < all.size(); ++i) {
            QCOMPARE(keyed[i].down, all[i].down);
            const int64_t due = all[i].time.count() + kDelayNs;
            QVERIFY2(keyed[i].ns >= due, "an edge came early");
            QVERIFY2(keyed[i].ns - due < 40 * kMs, "an edge waited for something else");
        }
        QCOMPARE(air.keyer.lateElements(), 0);
    }

    void aStraightKeyIsKeyedAtOnceWithoutDelay() {
        OnAir air(5, 0);
        const int64_t pressed = cwt::MonotonicNowNs();
        const KeyEdge down[] = {Edge(true, pressed)};
        air.keyer.keyLive(down);
        QVERIFY(WaitForChanges(1));
        QVERIFY(Keyed()[0].down);
        QVERIFY(Keyed()[0].ns - pressed < 25 * kMs);  // a busy machine holds a thread up ~10 ms
        const KeyEdge up[] = {Edge(false, cwt::MonotonicNowNs())};
        air.keyer.keyLive(up);
        QVERIFY(WaitForChanges(2));
        QVERIFY(!Keyed()[1].down);
    }

    // A keyer that was held up past an element's end: the element is not keyed as a click,
    // and the key goes on with the next one. A straight key's release is never dropped.
    void anElementThatEndedBeforeItCameIsNotKeyed() {
        OnAir air(5, 0);
        const int64_t now = cwt::MonotonicNowNs();
        // The second element ends far enough ahead that a busy machine cannot make it stale too.
        const KeyEdge stale[] = {Edge(true, now - 80 * kMs), Edge(false, now - 20 * kMs),
                                 Edge(true, now + 40 * kMs), Edge(false, now + 100 * kMs)};
        air.keyer.keyLive(stale);
        QVERIFY(WaitForChanges(2));
        QTest::qWait(50);
        QCOMPARE(Keyed().size(), size_t(2));
        QCOMPARE(air.keyer.lateElements(), 1);

        const KeyEdge down[] = {Edge(true, cwt::MonotonicNowNs())};
        air.keyer.keyLive(down);
        QVERIFY(WaitForChanges(3));
        const KeyEdge lateUp[] = {Edge(false, cwt::MonotonicNowNs() - 50 * kMs)};
        air.keyer.keyLive(lateUp);
        QVERIFY(WaitForChanges(4));
        QVERIFY(!Keyed().back().down);
    }

    void stopRaisesTheKeyAtOnceAndDropsWhatWasHandedOver() {
        OnAir air(5, 0);
        const int64_t now = cwt::MonotonicNowNs();
        const KeyEdge edges[] = {Edge(true, now), Edge(false, now + 500 * kMs),
                                 Edge(true, now + 600 * kMs), Edge(false, now + 700 * kMs)};
        air.keyer.keyLive(edges);
        QVERIFY(WaitForChanges(1));
        const int64_t stopping = cwt::MonotonicNowNs();
        air.keyer.stopLive();
        QVERIFY(WaitForChanges(2));
        QVERIFY(!Keyed()[1].down);
        QVERIFY(Keyed()[1].ns - stopping < 50 * kMs);  // not at the element's end, 500 ms on
        QTest::qWait(800);
        QCOMPARE(Keyed().size(), size_t(2));
        // The key works again after the Stop.
        const KeyEdge again[] = {Edge(true, cwt::MonotonicNowNs()),
                                 Edge(false, cwt::MonotonicNowNs() + 20 * kMs)};
        air.keyer.keyLive(again);
        QVERIFY(WaitForChanges(4));
    }

    // A text send still being keyed when the paddle is touched: the paddle takes over.
    void theLiveKeyBreaksIntoASend() {
        OnAir air(5, 0);
        cwt::CodeSettings slow;
        slow.dotLength = 1500;  // a unit of 136 ms: four dahs last about two seconds
        air.keyer.codeStarts("LLLL!", false, false, slow, 0);
        QVERIFY(WaitForChanges(1));
        const KeyEdge edges[] = {Edge(true, cwt::MonotonicNowNs() + 40 * kMs),
                                 Edge(false, cwt::MonotonicNowNs() + 100 * kMs)};
        air.keyer.keyLive(edges);
        QTest::qWait(2500);
        const auto keyed = Keyed();
        // The send's first dah, cut short, then the paddle's element and nothing of the send.
        QCOMPARE(keyed.size(), size_t(4));
        QVERIFY(keyed[0].down && !keyed[1].down && keyed[2].down && !keyed[3].down);
        QVERIFY(keyed[3].ns - keyed[2].ns < 90 * kMs);  // the paddle's 60 ms, not a dah of 408
    }

    // A straight key held down is a stuck key: the watchdog raises it and turns keying off.
    void theWatchdogRaisesAStraightKeyHeldDown() {
        OnAir air(1);
        QSignalSpy stopped(&air.keyer, &TransmitterKeyer::stopped);
        QSignalSpy problem(&air.keyer, &TransmitterKeyer::problem);
        const KeyEdge down[] = {Edge(true, cwt::MonotonicNowNs())};
        air.keyer.keyLive(down);
        QVERIFY(stopped.wait(3000));
        const auto keyed = Keyed();
        QCOMPARE(keyed.size(), size_t(2));
        const int64_t held = keyed[1].ns - keyed[0].ns;
        QVERIFY(held >= 1000 * kMs && held < 1100 * kMs);
        QVERIFY(problem.last().at(0).toString().contains(QStringLiteral("눌려 있어")));
        QCOMPARE(air.keyer.liveKeying(), LiveKeying::Off);
        QVERIFY(!air.keyer.liveRefusal().isEmpty());
        const KeyEdge more[] = {Edge(true, cwt::MonotonicNowNs())};
        QCOMPARE(air.keyer.keyLive(more), LiveKeying::Off);
    }

    void aPortLostWhileKeyingTurnsKeyingOffAndSaysSo() {
        OnAir air;
        QSignalSpy stopped(&air.keyer, &TransmitterKeyer::stopped);
        QSignalSpy problem(&air.keyer, &TransmitterKeyer::problem);
        cwt::test::FakePort().modemErrno = EIO;
        cwt::test::FakePort().modemFailAfter = cwt::test::FakePort().callCount.load();
        const KeyEdge down[] = {Edge(true, cwt::MonotonicNowNs())};
        air.keyer.keyLive(down);
        QVERIFY(stopped.wait(3000));
        QVERIFY(problem.last().at(0).toString().contains(QStringLiteral("끊겼습니다")));
        QCOMPARE(air.keyer.liveKeying(), LiveKeying::Off);
    }

    void finishingWithTheKeyDownRaisesIt() {
        OnAir air;
        const KeyEdge down[] = {Edge(true, cwt::MonotonicNowNs() - 10 * kMs)};
        air.keyer.keyLive(down);
        QVERIFY(WaitForChanges(1));
        air.keyer.finish();
        QVERIFY(!Changes().back().down);
        QCOMPARE(cwt::test::FakePort().closes, 1);
    }

    // The rig's keyer takes letters: a paddle cannot key it, and the window is told why.
    void aRigKeyerRefusesTheLiveKey() {
        cwt::test::ResetFakePort();
        TransmitterKeyer keyer(nullptr, cwt::test::FakeSerialCalls());
        QCOMPARE(keyer.liveKeying(), LiveKeying::Off);
        QVERIFY(keyer.liveRefusal().contains(QStringLiteral("꺼져")));
        cwt::KeyingSettings settings;
        settings.output = cwt::KeyOutput::RigKeyer;
        settings.rigctldAddress = "127.0.0.1:1";  // nothing answers there
        keyer.start(settings);
        const KeyEdge down[] = {Edge(true, cwt::MonotonicNowNs())};
        QCOMPARE(keyer.keyLive(down), LiveKeying::RigKeyer);
        QVERIFY(keyer.liveRefusal().contains(QStringLiteral("Hamlib")));
        keyer.stopLive();
        keyer.finish();
        QCOMPARE(cwt::test::FakePort().opens, 0);
    }
};

QTEST_GUILESS_MAIN(TestLiveKeying)
#include "tst_LiveKeying.moc"
