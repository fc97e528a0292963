#include "rig/SerialCalls.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cwt {

namespace {

int OpenPath(const char* path, int flags) { return ::open(path, flags); }
int ClosePath(int fd) { return ::close(fd); }
int ModemBits(int fd, unsigned long request, int* bits) { return ::ioctl(fd, request, bits); }
int Exclusive(int fd) { return ::ioctl(fd, TIOCEXCL); }
int GetAttributes(int fd, termios* attributes) { return ::tcgetattr(fd, attributes); }
int SetAttributes(int fd, const termios* attributes) {
    return ::tcsetattr(fd, TCSANOW, attributes);
}
int LockExclusive(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB); }
int WaitModemChange(int fd, int lines) {
    return ::ioctl(fd, TIOCMIWAIT, static_cast<unsigned long>(lines));
}
int ModemCounts(int fd, serial_icounter_struct* counts) { return ::ioctl(fd, TIOCGICOUNT, counts); }
int LowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return -1;
    if (serial.flags & ASYNC_LOW_LATENCY) return 0;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &serial);
}

}  // namespace

const SerialCalls& SystemSerialCalls() {
    static const SerialCalls calls{&OpenPath,      &ClosePath,     &ModemBits,     &Exclusive,
                                   &GetAttributes, &SetAttributes, &LockExclusive, &WaitModemChange,
                                   &ModemCounts,   &LowLatency};
    return calls;
}

}  // namespace cwt
