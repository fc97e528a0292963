#pragma once
// The system calls a serial key line makes, behind plain function pointers: tests run the line
// without a serial port by giving their own, and a signal handler can call them (no object, no
// allocation). Each returns what the system call returns and sets errno the same way.

#include <termios.h>

struct serial_icounter_struct;

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
    // TIOCMIWAIT: blocks until one of the input lines in `lines` (TIOCM_CTS, TIOCM_DSR,
    // TIOCM_CD …) changes. A signal whose handler was installed without SA_RESTART ends it with
    // EINTR.
    int (*waitModemChange)(int fd, int lines);
    // TIOCGICOUNT: how often each input line has changed since the port was opened.
    int (*modemCounts)(int fd, serial_icounter_struct* counts);
    // TIOCGSERIAL then TIOCSSERIAL with ASYNC_LOW_LATENCY: a USB-serial adapter that batches
    // what it reports (FTDI: every 16 ms) reports every millisecond instead.
    int (*lowLatency)(int fd);
};

// The real ones.
const SerialCalls& SystemSerialCalls();

}  // namespace cwt
