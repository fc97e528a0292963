#include "rig/paddle/LiveKeyer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <ctime>

#include "rig/KeyingThread.h"

namespace cwt {

namespace {

// The last stretch before the keyer's next moment is slept with clock_nanosleep on the
// absolute time; before it, the thread waits on its wake-up descriptor so that lever events
// and resets reach it.
constexpr int64_t kPreciseNs = 2'000'000;

timespec TimespecOf(int64_t ns) {
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

void Drain(int fd) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

void Signal(int fd) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

keyer::KeyTime Now() { return keyer::KeyTime(MonotonicNowNs()); }

}  // namespace

LiveKeyer::LiveKeyer(const keyer::KeyerSettings& settings, LiveKeyerCore::EdgeSink sidetone,
                     Options options, QObject* parent)
    : QObject(parent), m_options(options), m_core(settings, std::move(sidetone)) {
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_readyFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_readyNotifier = new QSocketNotifier(m_readyFd, QSocketNotifier::Read, this);
    connect(m_readyNotifier, &QSocketNotifier::activated, this, [this] { takeNotice(); });
    m_thread = std::thread([this] { run(); });
}

LiveKeyer::~LiveKeyer() {
    // The reset goes in before the thread is told to end, and the thread runs the keyer once
    // more before it ends: a tone that sounds is cut on every output.
    reset();
    m_quit.store(true, std::memory_order_release);
    wake();
    m_thread.join();
    ::close(m_wakeFd);
    ::close(m_readyFd);
}

bool LiveKeyer::lever(const keyer::LeverEvent& event) {
    const bool queued = m_core.lever(event);
    wake();
    return queued;
}

void LiveKeyer::setSettings(const keyer::KeyerSettings& settings) {
    m_core.setSettings(settings, Now());
    wake();
}

void LiveKeyer::reset() {
    m_core.reset(Now());
    wake();
}

void LiveKeyer::setKeyLine(std::shared_ptr<LiveKeyPath> keyLine) {
    m_core.setKeyLine(std::move(keyLine));
    wake();
}

std::vector<LiveEdge> LiveKeyer::takeEdges() {
    std::vector<LiveEdge> edges;
    LiveEdge edge;
    while (m_core.takeEdge(edge)) edges.push_back(edge);
    return edges;
}

void LiveKeyer::wake() const { Signal(m_wakeFd); }

// Driver thread: one write, which never blocks; the GUI thread drains the descriptor.
void LiveKeyer::notifyGui() const { Signal(m_readyFd); }

// GUI thread.
void LiveKeyer::takeNotice() {
    Drain(m_readyFd);
    emit edgesReady();
}

// Driver thread: returns at `deadline` or earlier, when woken.
void LiveKeyer::waitUntil(std::optional<keyer::KeyTime> deadline) {
    const int64_t now = MonotonicNowNs();
    if (deadline && deadline->count() - now <= kPreciseNs) {
        if (deadline->count() <= now) return;
        const timespec at = TimespecOf(deadline->count());
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
        return;
    }
    pollfd wakeUp{m_wakeFd, POLLIN, 0};
    const timespec timeout = TimespecOf(deadline ? deadline->count() - now - kPreciseNs : 0);
    if (ppoll(&wakeUp, 1, deadline ? &timeout : nullptr, nullptr) > 0) Drain(m_wakeFd);
}

void LiveKeyer::run() {
    // Ordinary threads wake up to 50 µs late by default, to let the kernel batch timers.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (m_options.realtime) m_realtime.store(MakeThisThreadRealtime(m_options.realtimePriority));
    for (;;) {
        // The quit flag is read before the run, so that the reset queued before it is taken.
        const bool quit = m_quit.load(std::memory_order_acquire);
        const uint64_t news = m_core.news();
        const std::optional<keyer::KeyTime> next = m_core.run(Now());
        if (m_core.news() != news) notifyGui();
        if (quit) return;
        waitUntil(next);
    }
}

}  // namespace cwt
