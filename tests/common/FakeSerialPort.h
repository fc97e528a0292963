#pragma once
// A serial port without hardware behind the key line's system calls: it records every call to
// the modem lines with the time it was made (CLOCK_MONOTONIC), keeps the DTR/RTS state and can
// refuse calls as a missing, busy or pulled-out port does. Its state lives in shared memory, so
// the calls a forked child makes (before it dies of a signal) are seen by the parent.

#include <sys/ioctl.h>
#include <sys/mman.h>
#include <termios.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <new>
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
    std::atomic<int> lines{0};  // TIOCM_DTR | TIOCM_RTS as they are now
    int openErrno = 0;          // open() fails with it
    int lockErrno = 0;          // flock() fails with it
    int modemErrno = 0;         // modem calls fail with it …
    int modemFailAfter = -1;    // … after this many have succeeded (-1: never)
    termios attributes{};
    int opens = 0;
    int closes = 0;
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
    port.lines = TIOCM_DTR | TIOCM_RTS;
    return kFd;
}

inline int Close(int) {
    ++Shared()->closes;
    return 0;
}

inline int ModemBits(int, unsigned long request, int* bits) {
    FakePortState& port = *Shared();
    const int index = port.callCount.load();
    if (port.modemErrno && port.modemFailAfter >= 0 && index >= port.modemFailAfter) {
        errno = port.modemErrno;
        return -1;
    }
    if (request == TIOCMBIS) port.lines |= *bits;
    if (request == TIOCMBIC) port.lines &= ~*bits;
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

}  // namespace fake

inline FakePortState& FakePort() { return *fake::Shared(); }

inline void ResetFakePort() {
    FakePortState* state = fake::Shared();
    state->~FakePortState();
    new (state) FakePortState;
    state->lines = TIOCM_DTR | TIOCM_RTS;
}

inline const SerialCalls& FakeSerialCalls() {
    static const SerialCalls calls{&fake::Open,         &fake::Close,         &fake::ModemBits,
                                   &fake::Exclusive,    &fake::GetAttributes, &fake::SetAttributes,
                                   &fake::LockExclusive};
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
