#include "rig/KeyLine.h"

#include <fcntl.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "rig/KeySafety.h"

namespace cwt {

KeyLine::KeyLine(const SerialCalls& calls) : m_calls(calls) {}

KeyLine::~KeyLine() { close(); }

int KeyLine::keyBit() const { return m_config.rts ? TIOCM_RTS : TIOCM_DTR; }

QString KeyLine::openFailure(const std::string& step, int error) const {
    const QString port = QString::fromStdString(m_config.device);
    switch (error) {
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
            return QStringLiteral("%1 은(는) DTR/RTS 선이 있는 직렬 포트가 아닙니다.").arg(port);
        default:
            return QStringLiteral("%1 포트를 열 수 없습니다 (%2: %3).")
                .arg(port, QString::fromStdString(step), QString::fromLocal8Bit(strerror(error)));
    }
}

bool KeyLine::open(const KeyLineConfig& config) {
    close();
    m_config = config;
    m_error.clear();
    m_lostErrno = 0;
    const int fd = m_calls.open(config.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_error = openFailure("open", errno);
        return false;
    }
    auto fail = [&](const char* step) {
        m_error = openFailure(step, errno);
        m_calls.close(fd);
        return false;
    };
    // Another program that holds the port keeps its lines: nothing is changed before this.
    if (m_calls.lockExclusive(fd) != 0) return fail("flock");
    // The kernel raised DTR and RTS when the port opened: both come down in one call. With
    // inverted polarity the key line stays up (asserted = key up) and only the other drops.
    int clear = config.inverted ? (TIOCM_DTR | TIOCM_RTS) & ~keyBit() : TIOCM_DTR | TIOCM_RTS;
    if (m_calls.modemBits(fd, TIOCMBIC, &clear) != 0) return fail("TIOCMBIC");
    if (config.inverted) {
        int key = keyBit();
        if (m_calls.modemBits(fd, TIOCMBIS, &key) != 0) return fail("TIOCMBIS");
    }
    m_calls.exclusive(fd);  // others get "busy" instead of sharing the key
    termios attributes{};
    if (m_calls.getAttributes(fd, &attributes) == 0) {
        // Hang up on close drops the lines: key up for a normal line, key down for an inverted
        // one, which is left as it is instead.
        if (config.inverted)
            attributes.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
        else
            attributes.c_cflag |= HUPCL;
        attributes.c_cflag |= CLOCAL;  // no carrier needed
        m_calls.setAttributes(fd, &attributes);
    }
    m_fd = fd;
    keysafety::InstallSignalHandlers();
    m_safetySlot =
        keysafety::Register(fd, m_calls, config.inverted ? TIOCMBIS : TIOCMBIC, keyBit());
    return true;
}

bool KeyLine::setKey(bool down) {
    if (m_fd < 0) return false;
    // Normal: asserted = key down. Inverted: asserted = key up.
    const bool assert = down != m_config.inverted;
    int bits = keyBit();
    if (m_calls.modemBits(m_fd, assert ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
    if (errno == EINTR && m_calls.modemBits(m_fd, assert ? TIOCMBIS : TIOCMBIC, &bits) == 0)
        return true;
    m_lostErrno = errno;
    return false;
}

QString KeyLine::lostText() const {
    const QString port = QString::fromStdString(m_config.device);
    if (m_lostErrno == EIO || m_lostErrno == ENODEV || m_lostErrno == ENXIO)
        return QStringLiteral(
                   "%1 포트와의 연결이 끊겼습니다 (어댑터가 빠졌습니까?). 무선기 "
                   "키잉을 껐습니다.")
            .arg(port);
    return QStringLiteral("%1 포트가 키 신호를 받지 않습니다 (%2). 무선기 키잉을 껐습니다.")
        .arg(port, QString::fromLocal8Bit(strerror(m_lostErrno)));
}

void KeyLine::close() {
    if (m_fd < 0) return;
    setKey(false);
    keysafety::Unregister(m_safetySlot);
    m_safetySlot = -1;
    m_calls.close(m_fd);
    m_fd = -1;
}

}  // namespace cwt
