#include "rig/SerialCalls.h"

#include <fcntl.h>
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

}  // namespace

const SerialCalls& SystemSerialCalls() {
    static const SerialCalls calls{&OpenPath,      &ClosePath,     &ModemBits,    &Exclusive,
                                   &GetAttributes, &SetAttributes, &LockExclusive};
    return calls;
}

}  // namespace cwt
