// How quickly and exactly the paddle path works with every core kept busy: how late a lever
// change reaches its event time through the watcher thread, how soon stop() ends a watch, and
// how late the key line follows a live key's edges (a keyer's elements handed over as they
// start, on an ordinary thread as the GUI thread is; a straight key's edges keyed at once).
// Prints median, 99th percentile and largest figures with the load and the steal time. Runs
// alone (label "timing").
//
// The fake port's wait sleeps on a futex; a real port's TIOCMIWAIT sleeps on the driver's wait
// queue, woken from its interrupt or USB completion: the wake-up of the watcher is the same
// scheduler path, the adapter's own delay (USB polling, an FTDI's latency timer) comes on top.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <vector>

#include "rig/TransmitterKeyer.h"
#include "rig/paddle/SerialPaddle.h"
#include "tests/common/CpuLoad.h"
#include "tests/common/FakeSerialPort.h"
#include "tests/common/RealtimeFloor.h"
#include "tests/common/StealTime.h"

using namespace cwt;
using namespace cwt::test;

namespace {

constexpr int64_t kMs = 1'000'000;

struct Figures {
    size_t count = 0;
    double medianMs = 0;
    double p99Ms = 0;
    double maxMs = 0;
    double minMs = 0;
};

Figures Summary(std::vector<double> values) {
    Figures f;
    if (values.empty()) return f;
    std::sort(values.begin(), values.end());
    f.count = values.size();
    f.medianMs = values[values.size() / 2];
    f.p99Ms = values[std::min(values.size() - 1, size_t(std::ceil(values.size() * 0.99)) - 1)];
    f.maxMs = values.back();
    f.minMs = values.front();
    return f;
}

void Report(const char* name, const Figures& f, double stealMs) {
    std::printf("%-44s %4zu  median %.3f ms  p99 %.3f ms  max %.3f ms  (min %.3f)  steal %.0f ms\n",
                name, f.count, f.medianMs, f.p99Ms, f.maxMs, f.minMs, stealMs);
    std::fflush(stdout);
}

std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five;
    file >> one >> five;
    return one + " " + five;
}

void SleepUntil(int64_t ns) {
    const timespec at{static_cast<time_t>(ns / 1'000'000'000),
                      static_cast<long>(ns % 1'000'000'000)};
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
}

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "rig_PaddleTiming_timing_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The last lever event's time, handed from the watcher thread.
class LastEvent {
public:
    void set(int64_t ns) {
        const std::lock_guard lock(m_mutex);
        m_ns = ns;
        ++m_count;
        m_changed.notify_all();
    }
    int64_t await(int count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(2), [&] { return m_count >= count; });
        return m_ns;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int64_t m_ns = 0;
    int m_count = 0;
};

}  // namespace

// From the line change to the event's time, and from stop() to its return.
TEST(PaddleTiming, LeverEventsAndStopUnderLoad) {
    App();
    ResetFakePort();
    LastEvent last;
    SerialPaddle paddle(FakeSerialCalls());
    SerialPaddleConfig config;
    config.device = "/dev/ttyUSB0";
    config.debounceNs = 0;
    ASSERT_TRUE(
        paddle.start(config, [&](const keyer::LeverEvent& e) { last.set(e.time.count()); }, {}));
    std::vector<double> late;
    std::vector<double> stops;
    std::vector<double> woken;
    double steal = 0;
    std::printf("load average before: %s\n", LoadAverage().c_str());
    {
        CpuLoad load;
        steal = StealMs();
        for (int i = 1; i <= 400; ++i) {
            ASSERT_TRUE(FakeWaitBlocked());
            const int64_t before = MonotonicNowNs();
            SetFakeInputLines(i % 2 ? TIOCM_CTS : 0);
            const int64_t at = last.await(i);
            late.push_back(double(at - before) / kMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        paddle.stop();
        for (int i = 0; i < 60; ++i) {
            ASSERT_TRUE(paddle.start(config, {}, {}));
            ASSERT_TRUE(FakeWaitBlocked());
            const int64_t before = MonotonicNowNs();
            paddle.stop();
            stops.push_back(double(MonotonicNowNs() - before) / kMs);
            woken.push_back(double(FakePort().waitEndedNs.load() - before) / kMs);
        }
        steal = StealMs() - steal;
    }
    std::printf("load average after: %s (2 cores, every core kept busy meanwhile)\n",
                LoadAverage().c_str());
    const Figures lever = Summary(late);
    Report("line change to lever event time", lever, steal);
    Report("stop(): the watcher's wait ends after", Summary(woken), steal);
    Report("stop() returns after (ordinary thread)", Summary(stops), steal);
    EXPECT_GE(lever.minMs, 0.0);
    EXPECT_LT(Summary(stops).maxMs, 100.0);
}

namespace {

struct LiveFigures {
    Figures lateness;  // key change after its due time
    Figures handOver;  // hand-over after the element's start (the keyer's own lateness)
    int lateElements = 0;
    double stealMs = 0;
    RealtimeWay way = RealtimeWay::Ordinary;
};

// A keyer's elements at `unitMs` for `seconds`: dits and dahs at random with one unit between,
// each handed over when it starts by this (ordinary) thread. With `straight` every edge is
// handed over at once as it happens instead, as a straight key's.
LiveFigures KeyLive(double unitMs, double seconds, bool straight) {
    ResetFakePort();
    TransmitterKeyer keyer(nullptr, FakeSerialCalls());
    keyer.onAirDelayNs = straight ? 0 : 10 * kMs;
    EXPECT_TRUE(keyer.start({}));
    std::vector<TimedEdge> handed;  // as the keying thread got them: due times
    keyer.onHandOver = [&](std::span<const TimedEdge> edges) {
        handed.insert(handed.end(), edges.begin(), edges.end());
    };
    std::vector<double> handOver;
    std::mt19937 random(7);
    LiveFigures figures;
    {
        CpuLoad load;
        figures.stealMs = StealMs();
        const int64_t unit = static_cast<int64_t>(unitMs * kMs);
        int64_t at = MonotonicNowNs() + 50 * kMs;
        const int64_t end = at + static_cast<int64_t>(seconds * 1e9);
        while (at < end) {
            const int64_t length = (random() % 2 ? 3 : 1) * unit;
            const keyer::KeyEdge element[] = {{true, keyer::KeyTime(at)},
                                              {false, keyer::KeyTime(at + length)}};
            if (straight) {
                for (const keyer::KeyEdge& edge : element) {
                    SleepUntil(edge.time.count());
                    const keyer::KeyEdge now[] = {{edge.down, keyer::KeyTime(MonotonicNowNs())}};
                    keyer.keyLive(now);
                }
            } else {
                SleepUntil(at);
                handOver.push_back(double(MonotonicNowNs() - at) / kMs);
                keyer.keyLive(element);
            }
            at += length + (random() % 4 == 0 ? 3 : 1) * unit;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the last edges are due
        figures.stealMs = StealMs() - figures.stealMs;
    }
    std::vector<KeyChange> keyed = KeyChanges(TIOCM_DTR, false);
    keyed.erase(keyed.begin());  // the open's key up
    figures.lateElements = keyer.lateElements();
    EXPECT_EQ(keyed.size(), handed.size());
    std::vector<double> late;
    for (size_t i = 0; i < keyed.size() && i < handed.size(); ++i) {
        EXPECT_EQ(keyed[i].down, handed[i].down);
        EXPECT_GE(keyed[i].ns, handed[i].atNs) << "an edge was keyed early";
        late.push_back(double(keyed[i].ns - handed[i].atNs) / kMs);
    }
    figures.lateness = Summary(late);
    figures.handOver = Summary(handOver);
    // The keying thread's scheduling, as the status bar shows it.
    figures.way = keyer.statusText().contains(QStringLiteral("실시간")) ? RealtimeWay::SchedFifo
                                                                        : RealtimeWay::Ordinary;
    return figures;
}

}  // namespace

TEST(PaddleTiming, LiveKeyOnTheKeyLineUnderLoad) {
    App();
    std::printf("load average before: %s\n", LoadAverage().c_str());
    const LiveFigures paddle = KeyLive(48, 10, false);  // 25 WPM
    Report("paddle at 25 WPM: key after due (+10 ms)", paddle.lateness, paddle.stealMs);
    Report("paddle: hand-over after element start", paddle.handOver, paddle.stealMs);
    std::printf("  elements ended before hand-over (not keyed): %d\n", paddle.lateElements);
    const LiveFigures straight = KeyLive(80, 8, true);  // 15 WPM by hand
    Report("straight key: key after the edge came", straight.lateness, straight.stealMs);
    std::printf("load average after: %s; keying thread %s\n", LoadAverage().c_str(),
                paddle.way == RealtimeWay::Ordinary ? "at ordinary priority" : "real-time");
    if (paddle.way == RealtimeWay::Ordinary)
        GTEST_SKIP() << "no real-time scheduling here: the figures are an ordinary thread's";
    EXPECT_LT(paddle.lateness.medianMs, 0.25);
    EXPECT_LT(straight.lateness.medianMs, 0.5);
    // An element handed over later than the on-air delay is keyed late by as much. The 1 ms
    // goal: the 99th percentile judged, the largest printed beside the machine's own floor and
    // judged against a whole unit (5 ms), as the key timing test explains.
    const FloorProbe floor = BareSleeps(5.44, 8);
    std::printf("bare real-time sleeps every 5.4 ms: largest lateness %.3f ms\n", floor.maxMs());
    if (paddle.stealMs == 0 && paddle.handOver.maxMs < 10) {
        EXPECT_LT(paddle.lateness.p99Ms, 1.0);
        EXPECT_LT(paddle.lateness.maxMs, kGrossLatenessMs);
    }
}
