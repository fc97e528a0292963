#pragma once
// A serial port without hardware behind the key line's system calls: it records every call to
// the modem lines with the time it was made (CLOCK_MONOTONIC), keeps the DTR/RTS state and can
// refuse calls as a missing, busy or pulled-out port does. Its state lives in shared memory, so
// the calls a forked child makes (before it dies of a signal) are seen by the parent.

#include <termios.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/SerialCalls.h"

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
    std::atomic<int> lines{0};      // TIOCM_DTR | TIOCM_RTS as they are now
    int openErrno = 0;              // open() fails with it
    int lockErrno = 0;              // flock() fails with it
    int modemErrno = 0;             // modem calls fail with it …
    int modemFailAfter = -1;        // … after this many have succeeded (-1: never)
    termios attributes{};
    int opens = 0;
    int closes = 0;
};

// The one fake port of the process, reset to a port that works, with both lines raised (as
// Linux raises them when a port opens).
FakePortState& FakePort();
void ResetFakePort();
const SerialCalls& FakeSerialCalls();

// The recorded changes of the key, as (time, down) for a key on `bit` with `inverted` polarity;
// TIOCMGET and calls that changed nothing for that bit are left out.
struct KeyChange {
    int64_t ns;
    bool down;
};
std::vector<KeyChange> KeyChanges(int bit, bool inverted);

}  // namespace cwt::test
