#include "rig/KeySafety.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

namespace cwt::keysafety {

namespace {

struct Slot {
    std::atomic<bool> used{false};   // taken by Register (GUI thread)
    std::atomic<bool> armed{false};  // the fields below are complete
    int fd = -1;
    const SerialCalls* calls = nullptr;
    unsigned long request = 0;
    int bits = 0;
};

constexpr size_t kSlots = 8;
std::array<Slot, kSlots> g_slots;
std::atomic<bool> g_ending{false};

constexpr std::array kSignals = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE, SIGXCPU,
                                 SIGSEGV, SIGBUS, SIGILL, SIGFPE,  SIGABRT};
struct sigaction g_previous[NSIG];

bool IsFault(int sig) { return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE; }

// Any thread, in a signal: only atomics and the system calls of the lines.
void OnSignal(int sig, siginfo_t* info, void*) {
    const int savedErrno = errno;
    RaiseAll();
    sigaction(sig, &g_previous[sig], nullptr);
    errno = savedErrno;
    // A fault raised by the processor happens again when the handler returns, and the handler
    // before ours takes it; any other signal is sent again, to be taken when this one returns.
    if (IsFault(sig) && info && info->si_code > 0) return;
    raise(sig);
}

}  // namespace

void InstallSignalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int sig : kSignals) {
            struct sigaction action {};
            action.sa_sigaction = &OnSignal;
            action.sa_flags = SA_SIGINFO | SA_ONSTACK;
            sigemptyset(&action.sa_mask);
            sigaction(sig, &action, &g_previous[sig]);
        }
    });
}

int Register(int fd, const SerialCalls& calls, unsigned long request, int bits) {
    for (size_t i = 0; i < kSlots; ++i) {
        Slot& slot = g_slots[i];
        bool expected = false;
        if (!slot.used.compare_exchange_strong(expected, true)) continue;
        slot.fd = fd;
        slot.calls = &calls;
        slot.request = request;
        slot.bits = bits;
        slot.armed.store(true, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

void Unregister(int slot) {
    if (slot < 0 || slot >= static_cast<int>(kSlots)) return;
    g_slots[static_cast<size_t>(slot)].armed.store(false, std::memory_order_release);
    g_slots[static_cast<size_t>(slot)].used.store(false, std::memory_order_release);
}

void RaiseAll() {
    g_ending.store(true, std::memory_order_release);
    for (Slot& slot : g_slots) {
        if (!slot.armed.load(std::memory_order_acquire)) continue;
        int bits = slot.bits;
        slot.calls->modemBits(slot.fd, slot.request, &bits);
    }
}

bool Ending() { return g_ending.load(std::memory_order_acquire); }

}  // namespace cwt::keysafety
