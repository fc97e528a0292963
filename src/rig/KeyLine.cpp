#include "rig/KeyLine.h"

#include <fcntl.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "rig/KeySafety.h"
#include "rig/SerialPortFile.h"

namespace cwt {

KeyLine::KeyLine(const SerialCalls& calls) : m_calls(calls) {}

KeyLine::~KeyLine() { close(); }

int KeyLine::keyBit() const { return m_config.rts ? TIOCM_RTS : TIOCM_DTR; }

bool KeyLine::open(const KeyLineConfig& config) {
    close();
    m_config = config;
    m_error.clear();
    m_lostErrno = 0;
    // With inverted polarity the key line stays up (asserted = key up) and only the other drops.
    SerialOpenFailure failure;
    auto file = OpenSerialPort(config.device, m_calls, config.inverted ? keyBit() : 0, failure);
    if (!file) {
        m_error = SerialOpenErrorText(config.device, failure, QStringLiteral("DTR/RTS"));
        return false;
    }
    if (!file->claim(keyBit())) {
        m_error = QStringLiteral(
                      "%1 포트의 %2 선은 패들의 전원으로 쓰이고 있어 키 선으로 쓸 수 없습니다. "
                      "키 선을 %3(으)로 바꾸거나 패들의 전원 선을 바꾸세요.")
                      .arg(QString::fromStdString(config.device), config.rts ? "RTS" : "DTR",
                           config.rts ? "DTR" : "RTS");
        return false;
    }
    m_file = std::move(file);
    m_fd = m_file->fd();
    // A port a paddle opened first has the key line as its open left it.
    if (!setKey(false)) {
        m_error = SerialOpenErrorText(config.device, {"TIOCMBIC", m_lostErrno},
                                      QStringLiteral("DTR/RTS"));
        m_file->release(keyBit());
        m_file.reset();
        m_fd = -1;
        return false;
    }
    termios attributes{};
    if (m_calls.getAttributes(m_fd, &attributes) == 0) {
        // Hang up on close drops the lines: key up for a normal line, key down for an inverted
        // one, which is left as it is instead.
        if (config.inverted)
            attributes.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
        else
            attributes.c_cflag |= HUPCL;
        m_calls.setAttributes(m_fd, &attributes);
    }
    keysafety::InstallSignalHandlers();
    m_safetySlot =
        keysafety::Register(m_fd, m_calls, config.inverted ? TIOCMBIS : TIOCMBIC, keyBit());
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
    m_file->release(keyBit());
    m_file.reset();  // the last user closes the port, which hangs it up
    m_fd = -1;
}

}  // namespace cwt
