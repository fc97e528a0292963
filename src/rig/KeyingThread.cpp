#include "rig/KeyingThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <limits>

#include "rig/KeySafety.h"

namespace cwt {

namespace {

// The last stretch before an edge is slept with clock_nanosleep on the absolute time; before
// it, the thread waits on its wake-up descriptor so that new edges and stops reach it.
constexpr int64_t kPreciseNs = 2'000'000;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

timespec TimespecOf(int64_t ns) {
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

void Drain(int fd) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

}  // namespace

int64_t MonotonicNowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

KeyingThread::KeyingThread(KeyLine& line, Options options)
    : m_line(line), m_options(options), m_ring(kCapacity) {
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_eventFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { run(); });
    m_started.wait();
}

KeyingThread::~KeyingThread() {
    m_quit.store(true, std::memory_order_release);
    wake();
    m_thread.join();
    ::close(m_wakeFd);
    ::close(m_eventFd);
}

void KeyingThread::wake() const {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

bool KeyingThread::handOver(std::span<const TimedEdge> edges) {
    std::lock_guard lock(m_producers);
    const uint64_t tail = m_tail.load(std::memory_order_relaxed);
    if (tail + edges.size() - m_head.load(std::memory_order_acquire) > kCapacity) return false;
    for (size_t i = 0; i < edges.size(); ++i) m_ring[(tail + i) % kCapacity] = edges[i];
    m_tail.store(tail + edges.size(), std::memory_order_release);
    wake();
    return true;
}

void KeyingThread::finishLetter() {
    m_finishBefore.store(m_tail.load(std::memory_order_relaxed), std::memory_order_release);
    wake();
}

void KeyingThread::cancel() {
    std::lock_guard lock(m_producers);
    m_cancelBefore.store(m_tail.load(std::memory_order_relaxed), std::memory_order_relaxed);
    m_cancels.fetch_add(1, std::memory_order_release);
    wake();
}

uint32_t KeyingThread::takeEvents() {
    Drain(m_eventFd);
    return m_events.exchange(0, std::memory_order_acq_rel);
}

bool KeyingThread::idle() const {
    return m_head.load(std::memory_order_acquire) == m_tail.load(std::memory_order_acquire) &&
           !m_keyDown.load(std::memory_order_acquire);
}

// Keying thread: drops the letters that a stop ended before they began.
void KeyingThread::dropFinishedLetters() {
    const uint64_t before = m_finishBefore.load(std::memory_order_acquire);
    const uint64_t tail = m_tail.load(std::memory_order_acquire);
    uint64_t head = m_head.load(std::memory_order_relaxed);
    while (head < tail && head < before && m_ring[head % kCapacity].letter != m_currentLetter)
        ++head;
    m_head.store(head, std::memory_order_release);
}

// Keying thread: a cancel drops what was queued before it and raises the key.
void KeyingThread::takeCancel() {
    const uint64_t cancels = m_cancels.load(std::memory_order_acquire);
    if (cancels == m_cancelsTaken) return;
    m_cancelsTaken = cancels;
    const uint64_t before = m_cancelBefore.load(std::memory_order_relaxed);
    if (m_head.load(std::memory_order_relaxed) < before)
        m_head.store(before, std::memory_order_release);
    if (!m_keyDown.load(std::memory_order_relaxed)) return;
    if (!m_line.setKey(false)) {
        halt(kLineLost);
        return;
    }
    m_keyDown.store(false, std::memory_order_release);
}

// Keying thread: returns at `deadlineNs` or earlier, when woken.
void KeyingThread::waitUntil(int64_t deadlineNs) {
    const int64_t now = MonotonicNowNs();
    if (deadlineNs != kNever && deadlineNs - now <= kPreciseNs) {
        const timespec at = TimespecOf(deadlineNs);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
        return;
    }
    pollfd wakeUp{m_wakeFd, POLLIN, 0};
    const timespec timeout = TimespecOf(deadlineNs == kNever ? 0 : deadlineNs - now - kPreciseNs);
    if (ppoll(&wakeUp, 1, deadlineNs == kNever ? nullptr : &timeout, nullptr) > 0) Drain(m_wakeFd);
}

// Keying thread.
void KeyingThread::perform(const TimedEdge& edge) {
    m_currentLetter = edge.letter;
    if (edge.down == m_keyDown.load(std::memory_order_relaxed)) return;
    // A program that is ending (a signal raised every line) keys nothing down again.
    if (edge.down && keysafety::Ending()) return;
    if (!m_line.setKey(edge.down)) {
        halt(kLineLost);
        return;
    }
    if (edge.down) m_downSinceNs = MonotonicNowNs();
    m_keyDown.store(edge.down, std::memory_order_release);
}

// Keying thread: the key goes up and nothing more is keyed.
void KeyingThread::halt(Event event) {
    if (event != kLineLost && m_keyDown.load(std::memory_order_relaxed)) m_line.setKey(false);
    m_keyDown.store(false, std::memory_order_release);
    m_halted = true;
    m_events.fetch_or(event, std::memory_order_acq_rel);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_eventFd, &one, sizeof one);
}

void KeyingThread::run() {
    // Ordinary threads wake up to 50 µs late by default, to let the kernel batch timers.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (m_options.realtime) m_realtime.store(MakeThisThreadRealtime(m_options.realtimePriority));
    m_started.count_down();
    while (!m_quit.load(std::memory_order_acquire)) {
        if (m_halted) {
            m_head.store(m_tail.load(std::memory_order_acquire), std::memory_order_release);
            waitUntil(kNever);
            continue;
        }
        takeCancel();
        if (m_halted) continue;
        dropFinishedLetters();
        const uint64_t head = m_head.load(std::memory_order_relaxed);
        const bool queued = head < m_tail.load(std::memory_order_acquire);
        const bool down = m_keyDown.load(std::memory_order_relaxed);
        const int64_t watchdogAt = down ? m_downSinceNs + m_options.watchdogNs : kNever;
        const int64_t edgeAt = queued ? m_ring[head % kCapacity].atNs : kNever;
        const int64_t deadline = std::min(watchdogAt, edgeAt);
        if (MonotonicNowNs() < deadline) {
            waitUntil(deadline);
            continue;  // woken early, or on time: look again (a stop may have come)
        }
        if (edgeAt <= watchdogAt) {
            perform(m_ring[head % kCapacity]);
            m_head.store(head + 1, std::memory_order_release);
        } else {
            halt(kWatchdogTripped);
        }
    }
    if (m_keyDown.load(std::memory_order_relaxed)) m_line.setKey(false);
    m_keyDown.store(false, std::memory_order_release);
}

}  // namespace cwt
