#pragma once
// Ends a system call that a thread is blocked in and that nothing else ends: TIOCMIWAIT waits
// for a change of a serial port's input lines, and neither closing the descriptor nor hanging
// up the port wakes it on every driver. A signal does: the kernel's wait is interruptible, and
// with a handler installed without SA_RESTART the call returns EINTR instead of starting
// again. The signal (one of the real-time signals, SIGRTMIN + 2) is sent to the blocked thread
// alone, by another thread (interrupt()) or by a timer of the thread's own.
//
// The signal is blocked in the thread except during the call (wait()), so that nothing else
// the thread does, its callbacks included, sees EINTR. A signal that arrives just before the
// thread enters the call is lost (the call has no way
// to unblock signals atomically, as ppoll has): whoever needs the thread to move sends again
// until it has, and the timer repeats until it is re-armed.

#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace cwt {

class WaitInterrupter {
public:
    WaitInterrupter() = default;
    ~WaitInterrupter();  // detach()
    WaitInterrupter(const WaitInterrupter&) = delete;
    WaitInterrupter& operator=(const WaitInterrupter&) = delete;

    // The thread that will block: installs the handler (once per process), notes the thread
    // and makes its timer. False when the timer cannot be made (interrupt() still works).
    bool attachThisThread();
    // The same thread, before it ends.
    void detach();

    // The attached thread: runs the blocking call with the signal let through, and returns what
    // it returns, errno kept.
    template <typename Call>
    int wait(Call call) {
        pthread_sigmask(SIG_UNBLOCK, &m_signal, nullptr);
        const int result = call();
        const int error = errno;
        pthread_sigmask(SIG_BLOCK, &m_signal, nullptr);
        errno = error;
        return result;
    }

    // Any thread: a call the attached thread is blocked in returns EINTR.
    void interrupt() const;
    // The attached thread: its blocked call also returns at `firstNs` (CLOCK_MONOTONIC) and every
    // `periodNs` after, until armed again; firstNs = 0 disarms.
    void arm(int64_t firstNs, int64_t periodNs);

    static int signalNumber();

private:
    std::atomic<bool> m_attached{false};
    sigset_t m_signal{};
    pthread_t m_thread{};
    timer_t m_timer{};
    bool m_hasTimer = false;
    int64_t m_armedFirstNs = -1;
    int64_t m_armedPeriodNs = -1;
};

}  // namespace cwt
