#include "rig/paddle/SerialPaddle.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>

#include <QStringList>
#include <cerrno>
#include <cstring>

#include "rig/KeyingThread.h"
#include "rig/RealtimePriority.h"
#include "rig/SerialPortFile.h"

namespace cwt {

namespace {

// While a lever is closed or has just moved, the thread looks this often for a change its
// wait missed; a second after the last change it stops looking.
constexpr int64_t kLookNs = 10'000'000;
constexpr int64_t kLookForNs = 1'000'000'000;
// A bounce period that ends is looked at again this often until the thread has seen it end
// (the timer's first signal may come just before the thread waits, and be lost).
constexpr int64_t kSettleRepeatNs = 1'000'000;
// The contacts and the adapter's report of them settle after the supply line is raised.
constexpr auto kSupplySettle = std::chrono::milliseconds(30);
// Below the keying thread's priority, so that a key edge due goes first.
constexpr int kRealtimePriority = 18;

int CountOf(const serial_icounter_struct& counts, int bit) {
    switch (bit) {
        case TIOCM_CTS:
            return counts.cts;
        case TIOCM_DSR:
            return counts.dsr;
        case TIOCM_CD:
            return counts.dcd;
    }
    return 0;
}

bool Unplugged(int error) { return error == EIO || error == ENODEV || error == ENXIO; }

}  // namespace

SerialPaddle::SerialPaddle(const SerialCalls& calls) : m_calls(calls) {}

SerialPaddle::~SerialPaddle() { stop(); }

QString SerialPaddle::lineName(int bit) const {
    switch (bit) {
        case TIOCM_CTS:
            return QStringLiteral("CTS");
        case TIOCM_DSR:
            return QStringLiteral("DSR");
        case TIOCM_CD:
            return QStringLiteral("DCD");
        case TIOCM_DTR:
            return QStringLiteral("DTR");
        case TIOCM_RTS:
            return QStringLiteral("RTS");
    }
    return QString();
}

bool SerialPaddle::start(const SerialPaddleConfig& config, LeverHandler onLever,
                         LostHandler onLost) {
    stop();
    m_config = config;
    m_error.clear();
    m_startNote.clear();
    m_lostText.clear();
    m_onLever = std::move(onLever);
    m_onLost = std::move(onLost);
    m_levers.clear();
    m_levers.push_back(
        {TIOCM_CTS, config.straightKey ? keyer::Lever::Straight : keyer::Lever::Dit});
    if (!config.straightKey)
        m_levers.push_back(
            {config.dahLine == DahLine::Dcd ? TIOCM_CD : TIOCM_DSR, keyer::Lever::Dah});
    m_mask = 0;
    for (const Watched& lever : m_levers) m_mask |= lever.bit;
    if (!openPort(config)) return false;
    if (!readStart()) {
        stop();
        return false;
    }
    m_quit = false;
    m_done = false;  // no thread runs
    m_thread = std::thread([this] { run(); });
    return true;
}

bool SerialPaddle::openPort(const SerialPaddleConfig& config) {
    const QString lines = QStringLiteral("CTS/DSR");
    m_supplyBit = config.supply == PaddleSupply::Dtr   ? TIOCM_DTR
                  : config.supply == PaddleSupply::Rts ? TIOCM_RTS
                                                       : 0;
    SerialOpenFailure failure;
    m_file = OpenSerialPort(config.device, m_calls, m_supplyBit, failure);
    if (!m_file) {
        m_error = SerialOpenErrorText(config.device, failure, lines);
        return false;
    }
    if (!m_file->claim(m_supplyBit)) {
        m_error = QStringLiteral(
                      "%1 포트의 %2 선은 무선기의 키 선이라 패들의 전원으로 쓸 수 없습니다. "
                      "패들의 전원 선이나 키 선을 바꾸세요.")
                      .arg(QString::fromStdString(config.device), lineName(m_supplyBit));
        m_file.reset();
        m_supplyBit = 0;
        return false;
    }
    m_fd = m_file->fd();
    if (m_supplyBit != 0) {
        int supply = m_supplyBit;
        if (m_calls.modemBits(m_fd, TIOCMBIS, &supply) != 0) {
            m_error = SerialOpenErrorText(config.device, {"TIOCMBIS", errno}, lines);
            stop();
            return false;
        }
        std::this_thread::sleep_for(kSupplySettle);
    }
    // An FTDI adapter reports its lines every 16 ms unless asked for every millisecond; other
    // adapters ignore this, and a failure changes nothing.
    m_calls.lowLatency(m_fd);
    return true;
}

// Takes the counters and where each lever is before watching starts.
bool SerialPaddle::readStart() {
    serial_icounter_struct counts{};
    m_countsWork = m_calls.modemCounts(m_fd, &counts) == 0;
    int lines = 0;
    if (m_calls.modemBits(m_fd, TIOCMGET, &lines) != 0) {
        m_error =
            SerialOpenErrorText(m_config.device, {"TIOCMGET", errno}, QStringLiteral("CTS/DSR"));
        return false;
    }
    QStringList held;
    for (Watched& lever : m_levers) {
        lever.count = m_countsWork ? CountOf(counts, lever.bit) : 0;
        lever.heldAtStart = ((lines & lever.bit) != 0) != m_config.inverted;
        if (lever.heldAtStart) held << lineName(lever.bit);
    }
    if (!held.isEmpty())
        m_startNote = QStringLiteral(
                          "%1 선이 처음부터 닫혀 있습니다. 키를 놓을 때까지 그 레버는 무시합니다. "
                          "키를 누르지 않았는데도 그렇다면 극성(반전) 설정을 바꾸세요.")
                          .arg(held.join(QStringLiteral(", ")));
    m_lastChangeNs = MonotonicNowNs();
    return true;
}

void SerialPaddle::stop() {
    if (m_thread.joinable()) {
        m_quit.store(true, std::memory_order_release);
        // The wait may be entered just after a signal: send until the thread has ended.
        std::unique_lock lock(m_doneMutex);
        while (!m_done) {
            m_interrupter.interrupt();
            m_doneChanged.wait_for(lock, std::chrono::microseconds(500));
        }
        lock.unlock();
        m_thread.join();
    }
    if (!m_file) return;
    if (m_supplyBit != 0) {
        int supply = m_supplyBit;
        m_calls.modemBits(m_fd, TIOCMBIC, &supply);  // fails on a port that is gone
        m_file->release(m_supplyBit);
    }
    m_file.reset();  // closes the port unless the key line holds it
    m_fd = -1;
}

QString SerialPaddle::lostText() const {
    const std::lock_guard lock(m_lostMutex);
    return m_lostText;
}

// Watcher thread.
void SerialPaddle::run() {
    // Ordinary threads wake up to 50 µs late by default, to let the kernel batch timers.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (m_config.realtime) MakeThisThreadRealtime(kRealtimePriority);
    m_interrupter.attachThisThread();
    bool lost = false;
    while (!m_quit.load(std::memory_order_acquire)) {
        armLooks(MonotonicNowNs());
        const int result =
            m_interrupter.wait([this] { return m_calls.waitModemChange(m_fd, m_mask); });
        const int error = errno;
        const int64_t nowNs = MonotonicNowNs();
        if (m_quit.load(std::memory_order_acquire)) break;
        if (result != 0 && error != EINTR) {
            lose(error, true);
            lost = true;
            break;
        }
        if (!look(nowNs)) {
            lost = true;
            break;
        }
    }
    m_interrupter.detach();
    releaseAll();
    if (lost && m_onLost) m_onLost();
    const std::lock_guard lock(m_doneMutex);
    m_done = true;
    m_doneChanged.notify_all();
}

// Watcher thread: the next time the wait is cut short to look again, if any.
void SerialPaddle::armLooks(int64_t nowNs) {
    int64_t settleEndNs = 0;
    bool closed = false;
    for (const Watched& lever : m_levers) {
        if (lever.settleUntilNs != 0 && (settleEndNs == 0 || lever.settleUntilNs < settleEndNs))
            settleEndNs = lever.settleUntilNs;
        closed = closed || lever.closed;
    }
    if (settleEndNs != 0)
        m_interrupter.arm(std::max(settleEndNs, nowNs + 1), kSettleRepeatNs);
    else if (closed || nowNs - m_lastChangeNs < kLookForNs)
        m_interrupter.arm(nowNs + kLookNs, kLookNs);
    else
        m_interrupter.arm(0, 0);
}

// Watcher thread: reads what changed since the last look and reports it at `nowNs`. False
// when the port failed.
bool SerialPaddle::look(int64_t nowNs) {
    serial_icounter_struct counts{};
    if (m_countsWork && m_calls.modemCounts(m_fd, &counts) != 0) {
        if (Unplugged(errno)) {
            lose(errno, false);
            return false;
        }
        m_countsWork = false;
    }
    std::vector<int> moved(m_levers.size(), 0);
    bool needLines = !m_countsWork;
    for (size_t i = 0; i < m_levers.size(); ++i) {
        Watched& lever = m_levers[i];
        if (m_countsWork) {
            moved[i] = CountOf(counts, lever.bit) - lever.count;
            lever.count = CountOf(counts, lever.bit);
        }
        const bool settleEnds = lever.settleUntilNs != 0 && nowNs >= lever.settleUntilNs;
        needLines = needLines || moved[i] != 0 || settleEnds;
    }
    // Unmoved counters: no line changed, and the line states need no reading (on some
    // adapters that is a USB round trip).
    if (!needLines) return true;
    int lines = 0;
    if (m_calls.modemBits(m_fd, TIOCMGET, &lines) != 0) {
        lose(errno, false);
        return false;
    }
    for (size_t i = 0; i < m_levers.size(); ++i) {
        Watched& lever = m_levers[i];
        const bool closed = ((lines & lever.bit) != 0) != m_config.inverted;
        if (lever.heldAtStart) {
            // Opened since the start, whether it reads open now or was closed again.
            lever.heldAtStart = closed && (!m_countsWork || moved[i] < 2);
            if (lever.heldAtStart || !closed) continue;
        }
        if (lever.settleUntilNs != 0) {
            if (nowNs < lever.settleUntilNs) continue;  // bounce
            lever.settleUntilNs = 0;
            if (closed != lever.closed) report(lever, closed, nowNs);
            continue;
        }
        if (closed != lever.closed) {
            report(lever, closed, nowNs);
        } else if (moved[i] > 0) {
            // Closed and opened again (or the reverse) between two readings: a short tap.
            report(lever, !closed, nowNs);
            report(lever, closed, nowNs);
        }
    }
    return true;
}

// Watcher thread.
void SerialPaddle::report(Watched& lever, bool closed, int64_t atNs) {
    lever.closed = closed;
    if (m_config.debounceNs > 0) lever.settleUntilNs = atNs + m_config.debounceNs;
    m_lastChangeNs = atNs;
    if (m_onLever) m_onLever({lever.lever, closed, keyer::KeyTime(atNs)});
}

// Watcher thread, as it ends.
void SerialPaddle::releaseAll() {
    const int64_t nowNs = MonotonicNowNs();
    for (Watched& lever : m_levers) {
        if (!lever.closed) continue;
        lever.closed = false;
        if (m_onLever) m_onLever({lever.lever, false, keyer::KeyTime(nowNs)});
    }
}

// Watcher thread: why watching ends, in words.
void SerialPaddle::lose(int error, bool waiting) {
    const QString port = QString::fromStdString(m_config.device);
    QString text;
    if (Unplugged(error))
        text = QStringLiteral(
                   "%1 포트와의 연결이 끊겼습니다 (어댑터가 빠졌습니까?). 패들 입력을 "
                   "멈췄습니다.")
                   .arg(port);
    else if (waiting && (error == ENOTTY || error == EINVAL))
        text = QStringLiteral(
                   "%1 포트의 드라이버는 입력 선(CTS/DSR/DCD)의 변화를 알리지 않습니다. "
                   "다른 어댑터를 쓰세요.")
                   .arg(port);
    else
        text = QStringLiteral("%1 포트에서 패들을 읽을 수 없습니다 (%2). 패들 입력을 멈췄습니다.")
                   .arg(port, QString::fromLocal8Bit(strerror(error)));
    const std::lock_guard lock(m_lostMutex);
    m_lostText = text;
}

}  // namespace cwt
