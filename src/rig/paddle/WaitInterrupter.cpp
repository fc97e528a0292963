#include "rig/paddle/WaitInterrupter.h"

#include <unistd.h>

#include <mutex>

namespace cwt {

namespace {

void Nothing(int) {}

void InstallHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = &Nothing;
        action.sa_flags = 0;  // no SA_RESTART: the interrupted call returns EINTR
        sigemptyset(&action.sa_mask);
        sigaction(WaitInterrupter::signalNumber(), &action, nullptr);
    });
}

timespec TimespecOf(int64_t ns) {
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

int WaitInterrupter::signalNumber() { return SIGRTMIN + 2; }

WaitInterrupter::~WaitInterrupter() { detach(); }

bool WaitInterrupter::attachThisThread() {
    InstallHandler();
    sigemptyset(&m_signal);
    sigaddset(&m_signal, signalNumber());
    pthread_sigmask(SIG_BLOCK, &m_signal, nullptr);
    m_thread = pthread_self();
    sigevent toThisThread{};
    toThisThread.sigev_notify = SIGEV_THREAD_ID;
    toThisThread.sigev_signo = signalNumber();
    toThisThread._sigev_un._tid = gettid();
    m_hasTimer = timer_create(CLOCK_MONOTONIC, &toThisThread, &m_timer) == 0;
    m_armedFirstNs = m_armedPeriodNs = -1;
    m_attached.store(true, std::memory_order_release);
    return m_hasTimer;
}

void WaitInterrupter::detach() {
    if (!m_attached.exchange(false, std::memory_order_acq_rel)) return;
    if (m_hasTimer) timer_delete(m_timer);
    m_hasTimer = false;
}

void WaitInterrupter::interrupt() const {
    if (m_attached.load(std::memory_order_acquire)) pthread_kill(m_thread, signalNumber());
}

void WaitInterrupter::arm(int64_t firstNs, int64_t periodNs) {
    if (!m_hasTimer || (firstNs == m_armedFirstNs && periodNs == m_armedPeriodNs)) return;
    itimerspec spec{};
    if (firstNs > 0) {
        spec.it_value = TimespecOf(firstNs);
        spec.it_interval = TimespecOf(periodNs);
    }
    timer_settime(m_timer, TIMER_ABSTIME, &spec, nullptr);
    m_armedFirstNs = firstNs;
    m_armedPeriodNs = periodNs;
}

}  // namespace cwt
