#pragma once
// The system calls a serial key line makes, behind plain function pointers: tests run the line
// without a serial port by giving their own, and a signal handler can call them (no object, no
// allocation). Each returns what the system call returns and sets errno the same way.

#include <termios.h>

namespace cwt {

struct SerialCalls {
    int (*open)(const char* path, int flags);
    int (*close)(int fd);
    // TIOCMBIS, TIOCMBIC and TIOCMGET with their modem bits.
    int (*modemBits)(int fd, unsigned long request, int* bits);
    // TIOCEXCL.
    int (*exclusive)(int fd);
    int (*getAttributes)(int fd, termios* attributes);
    int (*setAttributes)(int fd, const termios* attributes);
    // flock() with LOCK_EX | LOCK_NB.
    int (*lockExclusive)(int fd);
};

// The real ones.
const SerialCalls& SystemSerialCalls();

}  // namespace cwt
