#pragma once
// Whether the machine held every thread at once: a thread that sleeps a millisecond at a time
// notes how late it woke at most. It runs at a real-time priority where the machine grants one,
// so that the load of ordinary threads does not hold it. A virtual machine whose host takes its
// cores away stops the sound server's threads and the program's alike, and the server's clock runs
// on through it, so a stream runs dry however well the program fed it. A test whose stream ran dry
// asks this watch before blaming the program: a fault of the program holds only its own threads.

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace cwt::test {

class MachineHoldWatch {
public:
    MachineHoldWatch() : m_thread([this] { run(); }) {}
    ~MachineHoldWatch() {
        m_stop.store(true);
        m_thread.join();
    }
    MachineHoldWatch(const MachineHoldWatch&) = delete;
    MachineHoldWatch& operator=(const MachineHoldWatch&) = delete;

    // The longest this thread woke late since the watch began, in ms.
    double longestHoldMs() const { return static_cast<double>(m_longestNs.load()) / 1e6; }

private:
    static int64_t nowNs() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void run() {
        sched_param priority{};
        priority.sched_priority = 10;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);  // stays ordinary if refused
        constexpr int64_t kPeriodNs = 1'000'000;
        int64_t due = nowNs();
        while (!m_stop.load()) {
            due += kPeriodNs;
            const timespec at{static_cast<time_t>(due / 1'000'000'000),
                              static_cast<long>(due % 1'000'000'000)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
            const int64_t now = nowNs();
            m_longestNs.store(std::max(m_longestNs.load(), now - due));
            due = std::max(due, now);  // a long hold is counted once, not paid back
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int64_t> m_longestNs{0};
    std::thread m_thread;  // last: it starts once the members above are ready
};

}  // namespace cwt::test
