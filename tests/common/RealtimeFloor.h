#pragma once
// The machine's own floor for a real-time thread: one that does nothing but sleep to absolute
// times, every `periodMs` for `seconds`, with every core kept busy. A virtual machine can stall
// such a thread for a millisecond or more without counting it as stolen time; the timing tests
// print it beside their own largest figures, which say nothing more than this floor allows.

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "rig/KeyingThread.h"
#include "rig/RealtimePriority.h"
#include "tests/common/CpuLoad.h"

namespace cwt::test {

// A whole unit at the fastest speed: an edge this late is a fault of the keying, whatever the
// machine's floor; below it the largest lateness is printed, not judged.
constexpr double kGrossLatenessMs = 5.0;

struct FloorProbe {
    std::vector<double> lateMs;  // each wake-up's lateness, in order
    RealtimeWay way = RealtimeWay::Ordinary;
    double maxMs() const {
        return lateMs.empty() ? 0 : *std::max_element(lateMs.begin(), lateMs.end());
    }
};

inline FloorProbe BareSleeps(double periodMs, double seconds) {
    constexpr int64_t kMs = 1'000'000;
    FloorProbe probe;
    CpuLoad load;
    std::thread sleeper([&] {
        probe.way = MakeThisThreadRealtime(20);
        const auto period = static_cast<int64_t>(periodMs * kMs);
        int64_t at = MonotonicNowNs() + 10 * kMs;
        for (int i = 0; i < seconds * 1000 / periodMs; ++i, at += period) {
            const timespec due{static_cast<time_t>(at / 1'000'000'000),
                               static_cast<long>(at % 1'000'000'000)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
            probe.lateMs.push_back(double(MonotonicNowNs() - at) / kMs);
        }
    });
    sleeper.join();
    return probe;
}

}  // namespace cwt::test
