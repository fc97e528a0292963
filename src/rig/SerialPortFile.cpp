#include "rig/SerialPortFile.h"

#include <fcntl.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

namespace cwt {

namespace {

// The files open now, by device and the calls that opened it (tests open fake ports under the
// names of real ones).
using OpenKey = std::pair<std::string, const SerialCalls*>;
std::mutex g_openMutex;
std::map<OpenKey, std::weak_ptr<SerialPortFile>> g_open;

// /dev/serial/by-id/… names are links to /dev/ttyUSB…: both name one port.
std::string CanonicalName(const std::string& device) {
    char resolved[PATH_MAX];
    return ::realpath(device.c_str(), resolved) ? std::string(resolved) : device;
}

int OpenFresh(const std::string& device, const SerialCalls& calls, int keepRaised,
              SerialOpenFailure& failure) {
    const int fd = calls.open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure = {"open", errno};
        return -1;
    }
    auto fail = [&](const char* step) {
        failure = {step, errno};
        calls.close(fd);
        return -1;
    };
    // Another program that holds the port keeps its lines: nothing is changed before this.
    if (calls.lockExclusive(fd) != 0) return fail("flock");
    int clear = (TIOCM_DTR | TIOCM_RTS) & ~keepRaised;
    if (clear != 0 && calls.modemBits(fd, TIOCMBIC, &clear) != 0) return fail("TIOCMBIC");
    if (keepRaised != 0) {
        // Raised by the kernel on open already; asked for again so that a failure shows here.
        int keep = keepRaised;
        if (calls.modemBits(fd, TIOCMBIS, &keep) != 0) return fail("TIOCMBIS");
    }
    calls.exclusive(fd);  // others get "busy" instead of sharing the lines
    termios attributes{};
    if (calls.getAttributes(fd, &attributes) == 0) {
        attributes.c_cflag |= CLOCAL | HUPCL;
        calls.setAttributes(fd, &attributes);
    }
    return fd;
}

}  // namespace

SerialPortFile::SerialPortFile(int fd, std::string device, const SerialCalls& calls)
    : m_fd(fd), m_device(std::move(device)), m_calls(calls) {}

SerialPortFile::~SerialPortFile() { m_calls.close(m_fd); }

bool SerialPortFile::claim(int bits) {
    if (m_claimed & bits) return false;
    m_claimed |= bits;
    return true;
}

void SerialPortFile::release(int bits) { m_claimed &= ~bits; }

std::shared_ptr<SerialPortFile> OpenSerialPort(const std::string& device, const SerialCalls& calls,
                                               int keepRaised, SerialOpenFailure& failure) {
    const std::lock_guard lock(g_openMutex);
    const OpenKey key{CanonicalName(device), &calls};
    if (auto open = g_open[key].lock()) return open;
    const int fd = OpenFresh(device, calls, keepRaised, failure);
    if (fd < 0) {
        g_open.erase(key);
        return nullptr;
    }
    auto file = std::make_shared<SerialPortFile>(fd, device, calls);
    g_open[key] = file;
    return file;
}

QString SerialOpenErrorText(const std::string& device, const SerialOpenFailure& failure,
                            const QString& lines) {
    const QString port = QString::fromStdString(device);
    switch (failure.error) {
        case EACCES:
        case EPERM:
            return QStringLiteral(
                       "%1 포트를 열 권한이 없습니다. 사용자를 \"dialout\" 그룹에 넣고 "
                       "(sudo usermod -aG dialout $USER) 다시 로그인하세요.")
                .arg(port);
        case EBUSY:
        case EWOULDBLOCK:
            return QStringLiteral(
                       "%1 포트를 다른 프로그램이 쓰고 있습니다. 그 프로그램을 닫고 "
                       "다시 켜세요.")
                .arg(port);
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return QStringLiteral(
                       "%1 포트가 없습니다. 어댑터가 꽂혀 있는지, 장치 이름이 맞는지 "
                       "확인하세요.")
                .arg(port);
        case ENOTTY:
        case EINVAL:
            return QStringLiteral("%1 은(는) %2 선이 있는 직렬 포트가 아닙니다.").arg(port, lines);
        default:
            return QStringLiteral("%1 포트를 열 수 없습니다 (%2: %3).")
                .arg(port, QString::fromStdString(failure.step),
                     QString::fromLocal8Bit(strerror(failure.error)));
    }
}

}  // namespace cwt
