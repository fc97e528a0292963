#include "sound/SoundBeepUnit.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define CWT_HAVE_PORT_IO 1
#endif

#include "sound/PulseWaveDevice.h"

namespace cwt {

bool HardwarePorts::acquire() {
#ifdef CWT_HAVE_PORT_IO
    if (!m_granted)
        m_granted = ioperm(kTimerChannel2Port, 2, 1) == 0 && ioperm(kSpeakerControlPort, 1, 1) == 0;
#endif
    return m_granted;
}

uint8_t HardwarePorts::in(uint16_t port) {
#ifdef CWT_HAVE_PORT_IO
    if (m_granted) return inb(port);
#endif
    (void)port;
    return 0;
}

void HardwarePorts::out(uint16_t port, uint8_t value) {
#ifdef CWT_HAVE_PORT_IO
    if (m_granted) outb(value, port);
#endif
    (void)port;
    (void)value;
}

bool PortAccessTest(SpeakerPorts& ports) {
    // Without the system's permission a port read would fault; ask first.
    if (!ports.acquire()) return false;
    (void)ports.in(kSpeakerControlPort);
    return true;
}

void SpeakerOn(SpeakerPorts& ports, int frequencyHz) {
    if (frequencyHz < 19) return;  // the divisor would not fit 16 bits
    const int divisor = kTimerClockHz / frequencyHz;
    const uint8_t control = ports.in(kSpeakerControlPort);
    if ((control & 0x03) == 0) {
        ports.out(kSpeakerControlPort, control | 0x03);
        ports.out(kTimerModePort, 0xB6);  // channel 2, low then high byte, square wave, binary
    }
    ports.out(kTimerChannel2Port, static_cast<uint8_t>(divisor & 0xFF));
    ports.out(kTimerChannel2Port, static_cast<uint8_t>((divisor >> 8) & 0xFF));
}

void SpeakerOff(SpeakerPorts& ports) {
    const uint8_t control = ports.in(kSpeakerControlPort);
    ports.out(kSpeakerControlPort, control & ~0x03);
}

void PortTone(SpeakerPorts& ports, int frequencyHz, int durationMs,
              const std::function<bool()>& cutShort) {
    SpeakerOn(ports, frequencyHz);
    WaitMs(durationMs, cutShort);
    SpeakerOff(ports);
}

void WaitMs(int durationMs, const std::function<bool()>& cutShort) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(durationMs, 0));
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (durationMs <= 0) return;
    // A timer wakes the blocked event loop at the deadline; the loop never spins.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (auto now = Clock::now(); now < deadline && !(cutShort && cutShort()); now = Clock::now()) {
        if (!wake.isActive()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
            wake.start(static_cast<int>(std::max<long long>(left.count(), 1)));
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// The square tone of the server fallback: 11025 samples per second, the levels of the default
// cut, kept until the device has taken the bytes.
struct SystemBeeper::ServerTone {
    PulseWaveDevice device;
    std::deque<std::pair<uint64_t, std::vector<uint8_t>>> held;
    uint64_t lastTicket = 0;

    ServerTone() {
        device.setNoticeHandler([this](const WaveDevice::Notice& notice) {
            if (notice.kind != WaveDevice::Notice::Kind::Done) return;
            while (!held.empty() && held.front().first <= notice.ticket) held.pop_front();
        });
        device.open(WaveFormat{});
    }

    void play(int frequencyHz, int durationMs) {
        constexpr int kRate = 11025;
        const int count = static_cast<int>(static_cast<long long>(durationMs) * kRate / 1000);
        const int halfPeriod =
            std::max(1, static_cast<int>(std::lround(kRate / (2.0 * std::max(frequencyHz, 1)))));
        std::vector<uint8_t> tone(static_cast<size_t>(std::max(count, 0)));
        for (int i = 0; i < count; ++i)
            tone[static_cast<size_t>(i)] = (i / halfPeriod) % 2 ? 148 : 108;
        held.emplace_back(++lastTicket, std::move(tone));
        const auto& bytes = held.back().second;
        device.write(lastTicket, bytes.data(), static_cast<int>(bytes.size()), false);
    }
};

SystemBeeper::SystemBeeper() = default;

SystemBeeper::SystemBeeper(int kernelSpeakerFd) : m_eventFd(kernelSpeakerFd) {
    if (m_eventFd >= 0) m_way = Way::KernelSpeaker;
}

SystemBeeper::~SystemBeeper() {
    if (m_eventFd >= 0) ::close(m_eventFd);
}

namespace {

bool HasToneEvent(int fd) {
    unsigned long types = 0;
    unsigned long sounds = 0;
    if (ioctl(fd, EVIOCGBIT(0, sizeof types), &types) < 0) return false;
    if (!(types & (1UL << EV_SND))) return false;
    if (ioctl(fd, EVIOCGBIT(EV_SND, sizeof sounds), &sounds) < 0) return false;
    return (sounds & (1UL << SND_TONE)) != 0;
}

int OpenKernelSpeaker() {
    const QStringList names =
        QDir(QStringLiteral("/dev/input")).entryList({QStringLiteral("event*")}, QDir::System);
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(QStringLiteral("/dev/input/") + name);
        const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) continue;
        if (HasToneEvent(fd)) return fd;
        ::close(fd);
    }
    return -1;
}

}  // namespace

void SystemBeeper::decide() {
    m_eventFd = OpenKernelSpeaker();
    if (m_eventFd >= 0) {
        m_way = Way::KernelSpeaker;
        return;
    }
    decideWithoutKernel();
}

void SystemBeeper::decideWithoutKernel() {
    m_server = std::make_unique<ServerTone>();
    if (m_server->device.outputCount() > 0) {
        m_way = Way::SoundServer;
        return;
    }
    m_server.reset();
    m_way = Way::Silent;
}

// Starts a tone of this frequency on the kernel device, or ends it with 0.
bool SystemBeeper::kernelTone(int frequencyHz) {
    input_event tone{};
    tone.type = EV_SND;
    tone.code = SND_TONE;
    tone.value = std::clamp(frequencyHz, 0, 32767);
    return ::write(m_eventFd, &tone, sizeof tone) == static_cast<ssize_t>(sizeof tone);
}

// The device refused a tone (unplugged, its permissions changed): it is not tried again.
void SystemBeeper::leaveKernelSpeaker() {
    ::close(m_eventFd);
    m_eventFd = -1;
    decideWithoutKernel();
}

void SystemBeeper::beep(int frequencyHz, int durationMs) {
    durationMs = std::max(durationMs, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(durationMs);
    if (m_way == Way::Undecided) decide();
    if (m_way == Way::KernelSpeaker && !kernelTone(frequencyHz)) leaveKernelSpeaker();
    if (m_way == Way::SoundServer) m_server->play(frequencyHz, durationMs);
    // Sounding or not, the tone takes its whole length, or the rhythm would collapse.
    std::this_thread::sleep_until(end);
    if (m_way == Way::KernelSpeaker && !kernelTone(0)) leaveKernelSpeaker();
}

namespace {
SystemBeeper* g_beeper = nullptr;
void ReleaseBeeper() {
    delete g_beeper;
    g_beeper = nullptr;
}
}  // namespace

void Beep(int frequencyHz, int durationMs) {
    if (g_beeper == nullptr) {
        g_beeper = new SystemBeeper;
        // Released with the application, while the event machinery still exists.
        qAddPostRoutine(ReleaseBeeper);
    }
    g_beeper->beep(frequencyHz, durationMs);
}

}  // namespace cwt
