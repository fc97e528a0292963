#include "FakeSerialPort.h"

#include <sys/ioctl.h>
#include <sys/mman.h>

#include <cerrno>
#include <new>

#include "audio/KeyingThread.h"

namespace cwt::test {

namespace {

constexpr int kFd = 1000;

FakePortState* Shared() {
    static FakePortState* state = [] {
        void* memory = mmap(nullptr, sizeof(FakePortState), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        return new (memory) FakePortState;
    }();
    return state;
}

int Open(const char*, int) {
    FakePortState& port = *Shared();
    if (port.openErrno) {
        errno = port.openErrno;
        return -1;
    }
    ++port.opens;
    port.lines = TIOCM_DTR | TIOCM_RTS;
    return kFd;
}

int Close(int) {
    ++Shared()->closes;
    return 0;
}

int ModemBits(int, unsigned long request, int* bits) {
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

int Exclusive(int) { return 0; }

int GetAttributes(int, termios* attributes) {
    *attributes = Shared()->attributes;
    return 0;
}

int SetAttributes(int, const termios* attributes) {
    Shared()->attributes = *attributes;
    return 0;
}

int LockExclusive(int) {
    if (const int error = Shared()->lockErrno) {
        errno = error;
        return -1;
    }
    return 0;
}

}  // namespace

FakePortState& FakePort() { return *Shared(); }

void ResetFakePort() {
    FakePortState* state = Shared();
    state->~FakePortState();
    new (state) FakePortState;
    state->lines = TIOCM_DTR | TIOCM_RTS;
}

const SerialCalls& FakeSerialCalls() {
    static const SerialCalls calls{&Open,          &Close,         &ModemBits,    &Exclusive,
                                   &GetAttributes, &SetAttributes, &LockExclusive};
    return calls;
}

std::vector<KeyChange> KeyChanges(int bit, bool inverted) {
    const FakePortState& port = *Shared();
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
