#include "sound/sidetone/Sidetone.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "sound/PulseClient.h"
#include "sound/sidetone/PipeWireSidetoneOutput.h"
#include "sound/sidetone/PulseSidetoneOutput.h"

namespace cwt {

namespace {

enum class ServerKind { None, PulseAudio, PipeWire };

struct ServerAnswer {
    ServerKind kind = ServerKind::None;
    std::string error;
};

// Which server answers at the pulse address: PipeWire's pulse server names itself so.
ServerAnswer AskServer() {
    ServerAnswer answer;
    PulseClient client("CW Tamarik");
    PulseClient::Lock lock(client);
    if (!client.waitReady(1000)) {
        answer.error = client.error();
        return answer;
    }
    bool pipewire = false;
    pa_operation* operation = pa_context_get_server_info(
        client.context(),
        [](pa_context*, const pa_server_info* info, void* found) {  // libpulse thread
            if (info && info->server_name && std::strstr(info->server_name, "PipeWire"))
                *static_cast<bool*>(found) = true;
        },
        &pipewire);
    if (!client.waitOperation(operation, 1000)) {
        answer.error = "no answer";
        return answer;
    }
    answer.kind = pipewire ? ServerKind::PipeWire : ServerKind::PulseAudio;
    return answer;
}

QString Words(const char* what, const std::string& detail) {
    const QString text = QString::fromUtf8(what);
    return detail.empty() ? text
                          : text + QStringLiteral(" (%1)").arg(QString::fromStdString(detail));
}

int64_t MonotonicMs() { return PulseClient::NowUs() / 1000; }

}  // namespace

// What the back ends and the audio thread tell the GUI thread: flags and a fixed text, then a
// wake-up through an eventfd that a socket notifier watches. Nothing here allocates or locks.
struct Sidetone::Bridge : SidetoneOutput::Listener {
    int wakeFd = -1;
    std::atomic<bool> running{false};
    std::atomic<bool> latencyChosen{false};
    std::atomic<int> failure{0};  // 0: none, 1: being written, 2: `reason` holds it
    char reason[160] = {};

    // Owner thread, no stream running.
    void reset() {
        running.store(false);
        latencyChosen.store(false);
        failure.store(0);
        reason[0] = '\0';
    }
    // Any thread.
    void wake() const {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
    void outputRunning() override {
        running.store(true, std::memory_order_release);
        wake();
    }
    // The first failure is kept.
    void outputFailed(const char* why) override {
        int expected = 0;
        if (failure.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
            std::snprintf(reason, sizeof reason, "%s", why ? why : "");
            failure.store(2, std::memory_order_release);
        }
        wake();
    }
    // Audio thread.
    static void LatencyChosen(void* self) {
        auto* bridge = static_cast<Bridge*>(self);
        bridge->latencyChosen.store(true, std::memory_order_release);
        bridge->wake();
    }
};

Sidetone::Sidetone(QObject* parent) : QObject(parent), m_bridge(std::make_unique<Bridge>()) {
    m_bridge->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    auto* notifier = new QSocketNotifier(m_bridge->wakeFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { takeNotices(); });
    m_watchdog = new QTimer(this);
    m_watchdog->setInterval(250);
    connect(m_watchdog, &QTimer::timeout, this, [this] { watch(); });
    m_engine.setLatencyChosenHandler(&Bridge::LatencyChosen, m_bridge.get());
}

Sidetone::~Sidetone() {
    close();
    delete findChild<QSocketNotifier*>();
    ::close(m_bridge->wakeFd);
}

bool Sidetone::open(const ToneSettings& tone, const SidetoneOptions& options) {
    close();
    m_error.clear();
    m_tone = tone;
    std::string detail;
    SidetonePath path = options.path;
    if (path == SidetonePath::Automatic) {
        const ServerAnswer answer = AskServer();
        detail = answer.error;
        path = answer.kind == ServerKind::PulseAudio ? SidetonePath::Pulse : SidetonePath::PipeWire;
        // PipeWire without its pulse server still has a socket of its own.
        if (answer.kind == ServerKind::None && openPath(path, options, detail)) return true;
        if (answer.kind == ServerKind::None) {
            m_error = Words("소리 서버에 연결할 수 없습니다", detail);
            return false;
        }
    }
    if (openPath(path, options, detail)) return true;
    // A PipeWire whose own socket is out of reach still plays through its pulse server, only
    // later.
    if (options.path == SidetonePath::Automatic && path == SidetonePath::PipeWire &&
        openPath(SidetonePath::Pulse, options, detail))
        return true;
    m_error = Words(path == SidetonePath::PipeWire ? "PipeWire에 연결할 수 없습니다"
                                                   : "소리 서버에 연결할 수 없습니다",
                    detail);
    return false;
}

bool Sidetone::openPath(SidetonePath path, const SidetoneOptions& options, std::string& detail) {
    m_bridge->reset();
    m_engine.start(SidetoneOutput::kRateHz, m_tone);
    if (path == SidetonePath::PipeWire)
        m_output = std::make_unique<PipeWireSidetoneOutput>(options.pipewireQuantum);
    else
        m_output = std::make_unique<PulseSidetoneOutput>(options.pulseTargetUs);
    if (!m_output->open(m_engine, *m_bridge)) {
        detail = m_output->error();
        m_output.reset();
        return false;
    }
    m_path = path;
    m_ready = false;
    m_accepting.store(true, std::memory_order_release);
    m_lastBlocks = 0;
    m_quietSinceMs = MonotonicMs();
    m_watchdog->start();
    return true;
}

void Sidetone::close() {
    m_accepting.store(false, std::memory_order_release);
    m_watchdog->stop();
    if (m_output) m_output->close();
    m_output.reset();
    m_ready = false;
}

void Sidetone::setTone(const ToneSettings& tone) {
    m_tone = tone;
    m_engine.setTone(tone);
}

void Sidetone::edge(const keyer::KeyEdge& edge) {
    if (m_accepting.load(std::memory_order_acquire)) m_engine.push(edge);
}

QString Sidetone::pathName() const {
    return m_path == SidetonePath::PipeWire ? QStringLiteral("PipeWire")
                                            : QStringLiteral("libpulse");
}

int Sidetone::underflows() const { return m_output ? m_output->underflows() : 0; }

// GUI thread: what the back end and the audio thread said.
void Sidetone::takeNotices() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_bridge->wakeFd, &count, sizeof count);
    if (!m_output) return;
    if (m_bridge->failure.load(std::memory_order_acquire) == 2) {
        const bool ran = m_bridge->running.load(std::memory_order_acquire);
        fail(Words(ran ? "소리 서버와의 연결이 끊겼습니다" : "소리 서버에 연결할 수 없습니다",
                   m_bridge->reason));
        return;
    }
    if (!m_ready && m_bridge->latencyChosen.load(std::memory_order_acquire)) {
        m_ready = true;
        emit ready();
    }
}

// GUI thread, every quarter second while open: a server that stopped asking for sound (frozen,
// or its graph no longer runs) is not left for the operator to wonder about.
void Sidetone::watch() {
    const int64_t blocks = m_engine.figures().blocks;
    const int64_t nowMs = MonotonicMs();
    if (blocks != m_lastBlocks) {
        m_lastBlocks = blocks;
        m_quietSinceMs = nowMs;
        return;
    }
    if (blocks == 0 && nowMs - m_quietSinceMs > kStartTimeoutMs)
        fail(QStringLiteral("사이드톤 소리가 시작되지 않습니다"));
    else if (blocks > 0 && nowMs - m_quietSinceMs > kStallMs)
        fail(QStringLiteral("소리 서버가 응답하지 않습니다"));
}

void Sidetone::fail(const QString& message) {
    close();
    m_error = message;
    emit failed(message);
}

}  // namespace cwt
