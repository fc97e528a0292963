// How exactly the keying thread keys, with every core kept busy: a whole text at x1 and at x10
// is handed over letter by letter ahead of time, as the GUI thread does, and every key change
// the recording port sees is compared with the time it was meant for. Prints the median, the
// 99th percentile and the largest error, next to the lateness of a bare real-time
// clock_nanosleep loop under the same load (what the machine itself allows). Runs alone (label
// "timing"), under the shared timing lock.
//
// The goal is every edge within 1 ms: the median and the 99th percentile are judged against it
// (see ExpectGoal for the largest). On a virtual machine whose host takes the CPU away (steal
// time) no thread can keep it: then only the median is judged.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/keying/KeySchedule.h"
#include "engine/morse/Timing.h"
#include "rig/KeyLine.h"
#include "rig/KeyingThread.h"
#include "tests/common/CpuLoad.h"
#include "tests/common/FakeSerialPort.h"
#include "tests/common/RealtimeFloor.h"
#include "tests/common/StealTime.h"

using namespace cwt;
using namespace cwt::test;

namespace {

constexpr int64_t kMs = 1'000'000;
// How far ahead a letter is handed over: about what the sound server holds.
constexpr int64_t kAheadNs = 40 * kMs;

using Load = test::CpuLoad;

void SleepUntil(int64_t ns) {
    const timespec at{static_cast<time_t>(ns / 1'000'000'000),
                      static_cast<long>(ns % 1'000'000'000)};
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
}

struct Errors {
    size_t edges = 0;
    double medianMs = 0;
    double p99Ms = 0;
    double maxMs = 0;
    double stealMs = 0;
    int lateHandOvers = 0;
    RealtimeWay way = RealtimeWay::Ordinary;
};

Errors Summary(std::vector<double> late) {
    Errors e;
    std::sort(late.begin(), late.end());
    if (late.empty()) return e;
    e.edges = late.size();
    e.medianMs = late[late.size() / 2];
    e.p99Ms = late[std::min(late.size() - 1, size_t(std::ceil(late.size() * 0.99)) - 1)];
    e.maxMs = late.back();
    return e;
}

// The letters of `text` at `unitSamples`, one after another from `startNs`, with the time
// each begins.
struct TimedLetter {
    int64_t startNs;
    std::vector<TimedEdge> edges;
};
std::vector<TimedLetter> Letters(std::string_view text, int64_t unitSamples, int64_t startNs,
                                 double seconds) {
    const std::vector<PlannedBuffer> plan = PlanWholeSend(text, {});
    const auto ns = [&](int64_t s) { return startNs + (s * 1'000'000'000 + 5512) / 11025; };
    std::vector<TimedLetter> letters;
    int64_t samples = 0;
    for (size_t i = 0; ns(samples) - startNs < seconds * 1e9; i = (i + 1) % plan.size()) {
        const KeySchedule code = KeyScheduleOfCode(plan[i].code, plan[i].syllableEnd, unitSamples);
        TimedLetter letter{ns(samples), {}};
        for (const KeyEdge& e : code.edges)
            letter.edges.push_back(
                {ns(samples + e.at), static_cast<uint32_t>(letters.size() + 1), e.down});
        samples += code.length;
        if (!letter.edges.empty()) letters.push_back(std::move(letter));
    }
    return letters;
}

// Keys `text` at the multiplier and width given, for about `seconds`, under load.
Errors Measure(std::string_view text, int multiplier, int width, double seconds, bool realtime) {
    ResetFakePort();
    KeyLine line(FakeSerialCalls());
    EXPECT_TRUE(line.open({"/dev/ttyUSB0", false, false}));
    KeyingThread::Options options;
    options.realtime = realtime;
    KeyingThread thread(line, options);
    std::vector<TimedEdge> meant;
    Errors errors;
    double steal = 0;
    {
        Load load;
        steal = test::StealMs();
        for (const TimedLetter& letter : Letters(text, ToneUnit(width, 30 * multiplier),
                                                 MonotonicNowNs() + 100 * kMs, seconds)) {
            // Handed over ahead of its time, as the sound path hands buffers to the server.
            SleepUntil(letter.startNs - kAheadNs);
            // The feeder is an ordinary thread under load too; a letter it hands over after its
            // first edge's time cannot be keyed on time, and is counted apart.
            if (MonotonicNowNs() > letter.edges.front().atNs) ++errors.lateHandOvers;
            EXPECT_TRUE(thread.handOver(letter.edges));
            meant.insert(meant.end(), letter.edges.begin(), letter.edges.end());
        }
        while (!thread.idle()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        steal = test::StealMs() - steal;
    }
    const std::vector<KeyChange> keyed = KeyChanges(TIOCM_DTR, false);
    EXPECT_EQ(keyed.size(), meant.size() + 1);  // the open's key up first
    std::vector<double> late;
    for (size_t i = 0; i < meant.size() && i + 1 < keyed.size(); ++i) {
        EXPECT_EQ(keyed[i + 1].down, meant[i].down);
        EXPECT_GE(keyed[i + 1].ns, meant[i].atNs) << "an edge came early";
        late.push_back(double(keyed[i + 1].ns - meant[i].atNs) / kMs);
    }
    const int lateHandOvers = errors.lateHandOvers;
    errors = Summary(late);
    errors.lateHandOvers = lateHandOvers;
    errors.stealMs = steal;
    errors.way = thread.realtimeWay();
    return errors;
}

// The machine's own floor under the same load, in the same figures.
Errors Floor(double periodMs, double seconds) {
    double steal = test::StealMs();
    const FloorProbe probe = BareSleeps(periodMs, seconds);
    Errors errors = Summary(probe.lateMs);
    errors.way = probe.way;
    errors.stealMs = test::StealMs() - steal;
    return errors;
}

void Report(const char* name, const Errors& e) {
    std::printf(
        "%-30s %5zu edges  median %.3f ms  p99 %.3f ms  max %.3f ms  steal %.0f ms  late "
        "hand-overs "
        "%d  (%s)\n",
        name, e.edges, e.medianMs, e.p99Ms, e.maxMs, e.stealMs, e.lateHandOvers,
        qPrintable(RealtimeWayText(e.way)));
    std::fflush(stdout);
}

// The goal is every edge within 1 ms. Its median and 99th percentile are judged; the largest
// is printed beside the machine's own floor and judged only against a whole unit at x1
// (5 ms): this virtual machine now and then stalls a real-time thread for 1-6 ms (one wake-up
// in several hundred, no steal time counted, the bare-sleep probe alike at other moments), and
// one such stall says nothing about the keying thread, while a fault in it (a relative sleep,
// a wrong clock) moves the percentiles.
// Some hours it stalls for 8-28 ms (seen with its bare sleeps held up 10 ms in the same test):
// when the machine's own bare sleeps under the same load were held up by more than a unit, the
// largest says nothing about the thread and is not judged.
void ExpectGoal(const char* name, const Errors& e, const Errors& floor) {
    EXPECT_LT(e.medianMs, 0.25) << name;
    if (e.stealMs > 0) {
        std::printf("  %s: the host took %.0f ms of CPU meanwhile: only the median is judged\n",
                    name, e.stealMs);
        return;
    }
    EXPECT_LT(e.p99Ms, 1.0) << name;
    if (floor.maxMs >= kGrossLatenessMs)
        std::printf(
            "  %s: the machine held its own bare sleeps up to %.3f ms: the largest is "
            "not judged\n",
            name, floor.maxMs);
    else
        EXPECT_LT(e.maxMs, kGrossLatenessMs) << name;
    std::printf("  %s: largest error %.3f ms, 1 ms goal %s\n", name, e.maxMs,
                e.maxMs < 1.0 ? "kept" : "missed by the machine or the thread");
}

// Letters, digits, signs and the word space; 한글 in code page 949.
constexpr std::string_view kText = "CQ CQ DE HL0CW \xC7\xD1\xB1\xDB [AR] 599 TU 73 QRZ? [BT] K ";

}  // namespace

TEST(KeyTiming, EdgesUnderLoadAtX1AndX10) {
    const Errors x1 = Measure(kText, 1, 1, 8, true);
    Report("x1 width 1 (5.4 ms unit)", x1);
    const Errors x10 = Measure(kText, 10, 1, 16, true);
    Report("x10 width 1 (54 ms unit)", x10);
    const Errors floor = Floor(5.44, 8);
    Report("bare sleeps every 5.4 ms", floor);
    if (x1.way == RealtimeWay::Ordinary)
        GTEST_SKIP() << "no real-time scheduling here (neither SCHED_FIFO nor RTKit): the "
                        "figures above are those of an ordinary thread under load";
    ExpectGoal("x1", x1, floor);
    ExpectGoal("x10", x10, floor);
}

// Without real-time scheduling every edge is still keyed, in order and never early.
TEST(KeyTiming, EdgesUnderLoadWithoutRealtime) {
    const Errors ordinary = Measure(kText, 1, 1, 8, false);
    Report("x1 width 1, ordinary priority", ordinary);
    EXPECT_GT(ordinary.edges, 300u);
}
