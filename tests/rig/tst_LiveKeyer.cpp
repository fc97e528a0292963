// The live keyer's thread on the real clock: levers handed in from another thread (as the
// serial port's watcher does) are keyed on the keyer's grid from the lever's own time, the
// sidetone has each element before it has ended and the GUI thread hears of every edge; a
// reset from another thread cuts the tone at once; destroying the keyer with a lever held
// brings the key up on every output.
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "rig/KeyingThread.h"
#include "rig/paddle/LiveKeyer.h"

using namespace cwt;
using namespace cwt::keyer;
using namespace std::chrono_literals;

namespace {

KeyTime Now() { return KeyTime(MonotonicNowNs()); }

// What the sidetone was handed, and when, on the keyer's thread.
struct SidetoneLog {
    std::mutex mutex;
    std::vector<KeyEdge> edges;
    std::vector<KeyTime> handedAt;

    LiveKeyerCore::EdgeSink sink() {
        return [this](const KeyEdge& edge) {
            const KeyTime at = Now();
            std::lock_guard lock(mutex);
            edges.push_back(edge);
            handedAt.push_back(at);
        };
    }
    size_t size() {
        std::lock_guard lock(mutex);
        return edges.size();
    }
};

LiveKeyer::Options Ordinary() {
    LiveKeyer::Options options;
    options.realtime = false;  // as on a machine that grants no real-time scheduling
    return options;
}

}  // namespace

class TestLiveKeyer : public QObject {
    Q_OBJECT

private slots:
    void leversFromAnotherThreadAreKeyedOnTheGridAndHandedToEveryOutput() {
        SidetoneLog sidetone;
        KeyerSettings slow;
        slow.wpm = 5;  // units of 162 ms: the operator's thread below has room to be late
        LiveKeyer keyer(slow, sidetone.sink(), Ordinary());
        QSignalSpy ready(&keyer, &LiveKeyer::edgesReady);
        const KeyTime unit = KeyerUnit(5);
        KeyTime pressed{0};
        KeyTime handedIn{0};
        // "K" by a squeeze, keyed as an operator hears it: dah closed first, dit closed while
        // the dah sounds, both opened while the dit sounds (mode B then adds the last dah).
        std::thread watcher([&] {
            auto heard = [&](size_t edges) {
                while (sidetone.size() < edges) std::this_thread::sleep_for(1ms);
            };
            pressed = Now();
            keyer.lever({Lever::Dah, true, pressed});
            handedIn = Now();
            heard(2);
            keyer.lever({Lever::Dit, true, Now()});
            heard(4);
            const KeyTime open = Now();
            keyer.lever({Lever::Dit, false, open});
            keyer.lever({Lever::Dah, false, open});
        });
        watcher.join();
        QTRY_COMPARE_WITH_TIMEOUT(sidetone.size(), size_t{6}, 3000);

        std::vector<LiveEdge> gui;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const LiveEdge& edge : keyer.takeEdges()) gui.push_back(edge);
                return gui.size() == 6;
            }(),
            3000);
        QVERIFY(ready.count() > 0);
        std::lock_guard lock(sidetone.mutex);
        // The first dah starts when its lever closed, or, when the keyer's thread ran between
        // that instant and the lever's handing in (as it does once as it starts), at that run:
        // the keyer takes a lever older than its last run as closing then. The rest follows on
        // the grid from there.
        const KeyTime start = sidetone.edges[0].time;
        QVERIFY(start >= pressed);
        QVERIFY(start <= handedIn);
        const std::vector<KeyTime> expected = {
            start,           start + 3 * unit, start + 4 * unit, start + 5 * unit, start + 6 * unit,
            start + 9 * unit};
        for (size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(sidetone.edges[i].down, i % 2 == 0);
            QCOMPARE(sidetone.edges[i].time.count(), expected[i].count());
            QCOMPARE(gui[i].edge.time.count(), expected[i].count());
            QVERIFY(!gui[i].cut);
        }
        // The sidetone had each element before it ended, however busy the machine.
        for (size_t i = 0; i < expected.size(); i += 2)
            QVERIFY2(sidetone.handedAt[i] < expected[i + 1],
                     qPrintable(QStringLiteral("element %1 handed on %2 ms after it began")
                                    .arg(i / 2)
                                    .arg((sidetone.handedAt[i] - expected[i]).count() / 1e6)));
    }

    void aResetFromAnotherThreadCutsTheToneAtOnce() {
        SidetoneLog sidetone;
        KeyerSettings slow;
        slow.wpm = 5;  // a dah of almost half a second
        LiveKeyer keyer(slow, sidetone.sink(), Ordinary());
        keyer.lever({Lever::Dah, true, Now()});
        QTRY_COMPARE_WITH_TIMEOUT(sidetone.size(), size_t{2}, 3000);
        KeyTime resetAt{0};
        std::thread lost([&] {
            resetAt = Now();
            keyer.reset();  // as the serial port's watcher does when the port is pulled out
        });
        lost.join();
        QTRY_COMPARE_WITH_TIMEOUT(sidetone.size(), size_t{3}, 3000);
        std::vector<LiveEdge> gui;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const LiveEdge& edge : keyer.takeEdges()) gui.push_back(edge);
                return gui.size() == 3;
            }(),
            3000);
        QVERIFY(gui[2].cut);
        QVERIFY(!gui[2].edge.down);
        QVERIFY(gui[2].edge.time >= resetAt);
        QVERIFY(gui[2].edge.time < gui[1].edge.time);
        // The lever is let go: no dah follows, however long it stays closed on the port.
        QTest::qWait(1200);
        QCOMPARE(sidetone.size(), size_t{3});
    }

    void destroyingTheKeyerWithALeverHeldBringsTheKeyUp() {
        SidetoneLog sidetone;
        KeyerSettings straight;
        straight.mode = KeyerMode::Straight;
        KeyTime destroyed{0};
        {
            LiveKeyer keyer(straight, sidetone.sink(), Ordinary());
            keyer.lever({Lever::Straight, true, Now()});
            QTRY_COMPARE_WITH_TIMEOUT(sidetone.size(), size_t{1}, 3000);
            destroyed = Now();
        }
        QCOMPARE(sidetone.size(), size_t{2});
        QVERIFY(!sidetone.edges[1].down);
        QVERIFY(sidetone.edges[1].time >= destroyed);
    }
};

QTEST_GUILESS_MAIN(TestLiveKeyer)
#include "tst_LiveKeyer.moc"
