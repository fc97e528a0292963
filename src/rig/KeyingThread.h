#pragma once
// The thread that keys a transmitter at exact moments. The GUI thread hands it each letter's
// key edges ahead of time, as absolute CLOCK_MONOTONIC times, through a queue that never
// blocks either side; the thread sleeps until each edge (the last two milliseconds with
// clock_nanosleep, so that it wakes on time) and sets the line with one system call.
//
// Edges of a live key (a paddle through the keyer, a straight key) are handed over the same
// way, as they come; an edge whose time has passed is keyed at once.
//
// It watches the key: held down longer than the watchdog allows, the key goes up and keying
// halts; a line that refuses a call (a USB adapter pulled out) halts keying too. Either is
// reported through eventFd(), and nothing is keyed after it.

#include <atomic>
#include <cstdint>
#include <latch>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "rig/KeyLine.h"
#include "rig/RealtimePriority.h"

namespace cwt {

struct TimedEdge {
    int64_t atNs = 0;     // CLOCK_MONOTONIC
    uint32_t letter = 0;  // the code string it belongs to, counted from 1
    bool down = false;
};

// CLOCK_MONOTONIC in nanoseconds.
int64_t MonotonicNowNs();

class KeyingThread {
public:
    struct Options {
        int64_t watchdogNs = 5'000'000'000;  // continuous key-down that raises the key
        bool realtime = true;                // ask for real-time scheduling
        int realtimePriority = 20;
    };
    enum Event : uint32_t {
        kWatchdogTripped = 1,
        kLineLost = 2,
    };

    // `line` is open and stays so until the thread has been destroyed. Returns once the thread
    // runs with its scheduling set: an edge handed over at once is keyed by a thread that is
    // already waiting for it, not by one still starting on a busy machine.
    KeyingThread(KeyLine& line, Options options);
    // Raises the key and ends the thread.
    ~KeyingThread();
    KeyingThread(const KeyingThread&) = delete;
    KeyingThread& operator=(const KeyingThread&) = delete;

    // GUI thread, or a live key's thread (LiveKeyPath): queues edges, in time order, after
    // those already queued. False when the queue has no room for all of them (none is queued
    // then).
    bool handOver(std::span<const TimedEdge> edges);
    // GUI thread: the letter being keyed ends as it was meant to; every letter handed over
    // before this call that has not begun is dropped.
    void finishLetter();
    // GUI thread, or a live key's thread: the key goes up at once and every edge handed over
    // before this call that has not been keyed is dropped (the live key's Stop). Edges handed
    // over after it are keyed.
    void cancel();

    // GUI thread: the events that happened since the last call.
    uint32_t takeEvents();
    // Readable when events are waiting.
    int eventFd() const { return m_eventFd; }
    // How the thread is scheduled.
    RealtimeWay realtimeWay() const { return m_realtime.load(); }
    // True when nothing is queued and the key is up.
    bool idle() const;

private:
    static constexpr size_t kCapacity = 4096;  // edges; a letter has at most 20

    void run();
    void dropFinishedLetters();
    void takeCancel();
    void waitUntil(int64_t deadlineNs);
    void perform(const TimedEdge& edge);
    void halt(Event event);
    void wake() const;

    KeyLine& m_line;
    Options m_options;
    std::vector<TimedEdge> m_ring;
    std::atomic<uint64_t> m_head{0};  // consumer: edges taken
    std::atomic<uint64_t> m_tail{0};  // producer: edges queued
    // The producers take turns: the GUI thread's letters and a live key's thread. Held for the
    // few stores of a hand-over only.
    std::mutex m_producers;
    std::atomic<uint64_t> m_finishBefore{0};
    std::atomic<uint64_t> m_cancelBefore{0};
    std::atomic<uint64_t> m_cancels{0};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_keyDown{false};
    std::atomic<uint32_t> m_events{0};
    std::atomic<RealtimeWay> m_realtime{RealtimeWay::Ordinary};
    std::latch m_started{1};
    int m_wakeFd = -1;
    int m_eventFd = -1;
    // Keying thread only.
    uint32_t m_currentLetter = 0;
    uint64_t m_cancelsTaken = 0;
    int64_t m_downSinceNs = 0;
    bool m_halted = false;
    std::thread m_thread;
};

}  // namespace cwt
