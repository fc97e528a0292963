#include "sound/SimulatedWaveDevice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPointer>
#include <algorithm>

namespace cwt {

SimulatedWaveDevice::SimulatedWaveDevice(Clock clock, QObject* parent)
    : WaveDevice(parent), m_clock(clock) {
    m_clockTimer.setSingleShot(true);
    m_clockTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_clockTimer, &QTimer::timeout, this, [this] {
        if (m_queue.empty()) return;
        const Pending head = m_queue.front();
        m_queue.pop_front();
        m_headStartedMs = -1;
        handOver(head, false);
        pump();
    });
}

SimulatedWaveDevice::~SimulatedWaveDevice() = default;

void SimulatedWaveDevice::open(const WaveFormat& format) {
    m_format = format;
    m_open = true;
    m_blocked = false;
    ++m_openCount;
    if (m_failOpen) {
        m_failed = true;
        m_lastError = QStringLiteral("simulated device cannot be opened");
        return;
    }
    if (!m_failed) post({Notice::Kind::Opened, 0, false});
}

void SimulatedWaveDevice::write(uint64_t ticket, const uint8_t* data, int size, bool barrier) {
    m_queue.push_back({ticket, data, std::max(size, 0), barrier});
    pump();
}

void SimulatedWaveDevice::pump() {
    while (!m_queue.empty()) {
        if (m_failed || !m_open) {
            const Pending head = m_queue.front();
            m_queue.pop_front();
            handOver(head, true);
            continue;
        }
        if (m_blocked) return;
        if (m_headStartedMs >= 0) return;  // real time: the head is still sounding
        if (m_failAfter == 0) {
            m_failed = true;
            m_lastError = QStringLiteral("simulated device failed");
            continue;
        }
        if (m_failAfter > 0) --m_failAfter;
        if (m_clock == Clock::Instant) {
            const Pending head = m_queue.front();
            m_queue.pop_front();
            handOver(head, false);
            continue;
        }
        // Real time: the head sounds for its length; the next one starts when it ends.
        const Pending& head = m_queue.front();
        const int bytesPerSec = std::max(m_format.avgBytesPerSec(), 1);
        const qint64 lengthMs =
            (static_cast<qint64>(head.size) * 1000 + bytesPerSec - 1) / bytesPerSec;
        m_headStartedMs = QDateTime::currentMSecsSinceEpoch();
        m_clockTimer.start(static_cast<int>(lengthMs));
        return;
    }
}

void SimulatedWaveDevice::handOver(const Pending& pending, bool failed) {
    if (!failed && pending.size > 0 && m_keepPlayed)
        m_played.insert(m_played.end(), pending.data, pending.data + pending.size);
    if (pending.barrier && !failed) m_blocked = true;
    post({Notice::Kind::Done, pending.ticket, failed});
}

void SimulatedWaveDevice::post(const Notice& notice) {
    QMetaObject::invokeMethod(
        this, [this, notice] { deliver(notice); }, Qt::QueuedConnection);
}

void SimulatedWaveDevice::reset() {
    m_queue.clear();
    m_clockTimer.stop();
    m_headStartedMs = -1;
    m_blocked = false;
}

void SimulatedWaveDevice::close() {
    reset();
    m_open = false;
    post({Notice::Kind::Closed, 0, false});
}

bool SimulatedWaveDevice::drain(int timeoutMs) {
    if (m_clock == Clock::Instant) return true;
    QElapsedTimer clock;
    clock.start();
    QPointer<SimulatedWaveDevice> alive(this);
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(std::max(timeoutMs, 0));
    while (alive && !m_queue.empty() && !m_blocked && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return alive && (m_queue.empty() || m_blocked);
}

}  // namespace cwt
