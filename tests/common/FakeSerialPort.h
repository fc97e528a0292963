#pragma once
// A serial port without hardware behind the key line's system calls: it records every call to
// the modem lines with the time it was made (CLOCK_MONOTONIC), keeps the DTR/RTS state and can
// refuse calls as a missing, busy or pulled-out port does. Its state lives in shared memory, so
// the calls a forked child makes (before it dies of a signal) are seen by the parent.
//
// Its input lines (CTS, DSR, DCD, RI) are the test's to set: each change counts in the
// transition counters (TIOCGICOUNT) and wakes a TIOCMIWAIT that waits for that line, which
// otherwise blocks as the kernel's does, until a line changes, the port is pulled out, or a
// signal whose handler has no SA_RESTART interrupts it (EINTR).

#include <linux/futex.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <new>
#include <thread>
#include <vector>

#include "rig/KeyingThread.h"
#include "rig/SerialCalls.h"

namespace cwt::test {

struct FakeModemCall {
    int64_t ns = 0;
    unsigned long request = 0;  // TIOCMBIS, TIOCMBIC, TIOCMGET
    int bits = 0;
};

struct FakePortState {
    static constexpr int kCapacity = 1 << 16;
    std::atomic<int> callCount{0};
    FakeModemCall calls[kCapacity];
    std::atomic<int> lines{0};  // TIOCM_DTR | TIOCM_RTS and the input lines as they are now
    int openErrno = 0;          // open() fails with it
    int lockErrno = 0;          // flock() fails with it
    int modemErrno = 0;         // modem calls fail with it …
    int modemFailAfter = -1;    // … after this many have succeeded (-1: never)
    termios attributes{};
    int opens = 0;
    int closes = 0;
    // The input lines: transitions counted per line, a word TIOCMIWAIT sleeps on, how many
    // callers are blocked in it now, and what the port's driver can do.
    std::atomic<int> ctsCount{0};
    std::atomic<int> dsrCount{0};
    std::atomic<int> dcdCount{0};
    std::atomic<int> rngCount{0};
    std::atomic<uint32_t> inputChanges{0};
    std::atomic<int> waiting{0};
    std::atomic<int64_t> waitEndedNs{0};  // when a wait last returned
    std::atomic<bool> pulledOut{false};   // every call fails with EIO, as an unplugged adapter
    bool countsSupported = true;          // TIOCGICOUNT
    bool waitSupported = true;            // TIOCMIWAIT
    std::atomic<int> lowLatencyCalls{0};
};

// The recorded changes of the key, as (time, down) for a key on `bit` with `inverted` polarity;
// TIOCMGET and calls that changed nothing for that bit are left out.
struct KeyChange {
    int64_t ns;
    bool down;
};

namespace fake {

inline constexpr int kFd = 1000;

inline FakePortState* Shared() {
    static FakePortState* state = [] {
        void* memory = mmap(nullptr, sizeof(FakePortState), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        return new (memory) FakePortState;
    }();
    return state;
}

inline int Open(const char*, int) {
    FakePortState& port = *Shared();
    if (port.openErrno) {
        errno = port.openErrno;
        return -1;
    }
    ++port.opens;
    port.lines |= TIOCM_DTR | TIOCM_RTS;  // the kernel raises both on open
    return kFd;
}

inline int Close(int) {
    ++Shared()->closes;
    return 0;
}

inline int ModemBits(int, unsigned long request, int* bits) {
    FakePortState& port = *Shared();
    if (port.pulledOut) {
        errno = EIO;
        return -1;
    }
    const int index = port.callCount.load();
    if (port.modemErrno && port.modemFailAfter >= 0 && index >= port.modemFailAfter) {
        errno = port.modemErrno;
        return -1;
    }
    const int outputs = *bits & (TIOCM_DTR | TIOCM_RTS);
    if (request == TIOCMBIS) port.lines |= outputs;
    if (request == TIOCMBIC) port.lines &= ~outputs;
    if (request == TIOCMGET) *bits = port.lines;
    if (index < FakePortState::kCapacity)
        port.calls[index] = {MonotonicNowNs(), request, request == TIOCMGET ? 0 : *bits};
    port.callCount.store(index + 1);
    return 0;
}

inline int Exclusive(int) { return 0; }

inline int GetAttributes(int, termios* attributes) {
    *attributes = Shared()->attributes;
    return 0;
}

inline int SetAttributes(int, const termios* attributes) {
    Shared()->attributes = *attributes;
    return 0;
}

inline int LockExclusive(int) {
    if (const int error = Shared()->lockErrno) {
        errno = error;
        return -1;
    }
    return 0;
}

struct InputCounts {
    int cts, dsr, dcd, rng;
};

inline InputCounts CountsNow() {
    const FakePortState& port = *Shared();
    return {port.ctsCount.load(), port.dsrCount.load(), port.dcdCount.load(), port.rngCount.load()};
}

inline bool Changed(const InputCounts& before, const InputCounts& now, int lines) {
    return ((lines & TIOCM_CTS) && before.cts != now.cts) ||
           ((lines & TIOCM_DSR) && before.dsr != now.dsr) ||
           ((lines & TIOCM_CD) && before.dcd != now.dcd) ||
           ((lines & TIOCM_RI) && before.rng != now.rng);
}

// Sleeps on the change word as the kernel sleeps on the port's wait queue: a signal ends the
// sleep with EINTR unless its handler asked for SA_RESTART.
inline int WaitModemChange(int, int lines) {
    FakePortState& port = *Shared();
    if (!port.waitSupported) {
        errno = ENOTTY;
        return -1;
    }
    const InputCounts before = CountsNow();
    ++port.waiting;
    int result = 0;
    for (;;) {
        const uint32_t word = port.inputChanges.load();
        if (port.pulledOut) {
            errno = EIO;
            result = -1;
            break;
        }
        if (Changed(before, CountsNow(), lines)) break;
        if (syscall(SYS_futex, reinterpret_cast<uint32_t*>(&port.inputChanges), FUTEX_WAIT, word,
                    nullptr, nullptr, 0) != 0 &&
            errno == EINTR) {
            result = -1;
            break;
        }
    }
    port.waitEndedNs = MonotonicNowNs();
    --port.waiting;
    return result;
}

inline int ModemCounts(int, serial_icounter_struct* counts) {
    const FakePortState& port = *Shared();
    if (port.pulledOut) {
        errno = EIO;
        return -1;
    }
    if (!port.countsSupported) {
        errno = EINVAL;
        return -1;
    }
    const InputCounts now = CountsNow();
    *counts = {};
    counts->cts = now.cts;
    counts->dsr = now.dsr;
    counts->dcd = now.dcd;
    counts->rng = now.rng;
    return 0;
}

inline int LowLatency(int) {
    ++Shared()->lowLatencyCalls;
    return 0;
}

inline void WakeWaiters() {
    FakePortState& port = *Shared();
    ++port.inputChanges;
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&port.inputChanges), FUTEX_WAKE, INT32_MAX,
            nullptr, nullptr, 0);
}

// Counts `times` transitions on each of `lines`.
inline void Count(int lines, int times) {
    FakePortState& port = *Shared();
    if (lines & TIOCM_CTS) port.ctsCount += times;
    if (lines & TIOCM_DSR) port.dsrCount += times;
    if (lines & TIOCM_CD) port.dcdCount += times;
    if (lines & TIOCM_RI) port.rngCount += times;
}

}  // namespace fake

inline constexpr int kFakeInputLines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RI;

// The input lines asserted now are `asserted` (TIOCM_CTS, TIOCM_DSR, TIOCM_CD, TIOCM_RI); each
// that changed counts one transition and wakes the waits for it. Without `wake` the waits go on
// sleeping, as one entered just after the change does on a real port.
inline void SetFakeInputLines(int asserted, bool wake = true) {
    FakePortState& port = *fake::Shared();
    const int before = port.lines.load();
    const int changed = (before ^ asserted) & kFakeInputLines;
    port.lines = (before & ~kFakeInputLines) | (asserted & kFakeInputLines);
    fake::Count(changed, 1);
    if (wake) fake::WakeWaiters();
}

// `line` went to the other state and back faster than the driver reports: two transitions are
// counted, and the line reads as it did.
inline void PulseFakeInputLine(int line) {
    fake::Count(line, 2);
    fake::WakeWaiters();
}

// The adapter is pulled out: every call fails with EIO, and a blocked wait returns.
inline void PullOutFakePort() {
    fake::Shared()->pulledOut = true;
    fake::WakeWaiters();
}

// Waits up to `timeoutMs` until a caller is blocked in TIOCMIWAIT.
inline bool FakeWaitBlocked(int timeoutMs = 3000) {
    for (int waited = 0; waited < timeoutMs; ++waited) {
        if (fake::Shared()->waiting.load() > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

inline FakePortState& FakePort() { return *fake::Shared(); }

inline void ResetFakePort() {
    FakePortState* state = fake::Shared();
    state->~FakePortState();
    new (state) FakePortState;
    state->lines = TIOCM_DTR | TIOCM_RTS;
}

inline const SerialCalls& FakeSerialCalls() {
    static const SerialCalls calls{
        &fake::Open,          &fake::Close,         &fake::ModemBits,     &fake::Exclusive,
        &fake::GetAttributes, &fake::SetAttributes, &fake::LockExclusive, &fake::WaitModemChange,
        &fake::ModemCounts,   &fake::LowLatency};
    return calls;
}

inline std::vector<KeyChange> KeyChanges(int bit, bool inverted) {
    const FakePortState& port = *fake::Shared();
    std::vector<KeyChange> changes;
    bool asserted = true;  // raised by the open
    const int count = std::min(port.callCount.load(), FakePortState::kCapacity);
    for (int i = 0; i < count; ++i) {
        const FakeModemCall& call = port.calls[i];
        if (call.request == TIOCMGET || !(call.bits & bit)) continue;
        const bool now = call.request == TIOCMBIS;
        if (now == asserted && !changes.empty()) continue;
        asserted = now;
        changes.push_back({call.ns, now != inverted});
    }
    return changes;
}

}  // namespace cwt::test
