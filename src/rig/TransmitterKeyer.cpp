#include "rig/TransmitterKeyer.h"

#include <QSocketNotifier>
#include <cstdlib>
#include <vector>

#include "engine/keying/KeySchedule.h"
#include "rig/HamlibKeyer.h"
#include "sound/VelWaveCtrl.h"

namespace cwt {

namespace {

// The output's own idea of when its sound ends may differ from the count of samples by its
// timing jitter; beyond this the output ran dry or its clock drifted, and the key follows it.
constexpr int64_t kResyncNs = 2'000'000;

QString LineName(const KeyingSettings& s) {
    return QStringLiteral("%1 %2%3").arg(QString::fromStdString(s.device),
                                         s.line == ModemLine::Rts ? "RTS" : "DTR",
                                         s.inverted ? QStringLiteral(" (반전)") : QString());
}

}  // namespace

TransmitterKeyer::TransmitterKeyer(TVelWaveCtrl* wave, const SerialCalls& calls, QObject* parent)
    : QObject(parent), m_wave(wave), m_calls(&calls) {}

TransmitterKeyer::~TransmitterKeyer() { finish(); }

bool TransmitterKeyer::start(const KeyingSettings& settings) {
    finish();
    m_settings = settings;
    m_soundEndNs = 0;
    m_rigWpm = 0;
    m_unsendableTold.clear();
    if (settings.output == KeyOutput::RigKeyer) {
        m_rig = new HamlibKeyer(this);
        connect(m_rig, &HamlibKeyer::failed, this, &TransmitterKeyer::endAfterFault);
        connect(m_rig, &HamlibKeyer::refused, this, &TransmitterKeyer::problem);
        connect(m_rig, &HamlibKeyer::opened, this, [this](const QString& name) {
            m_rigName = name;
            emit rigReady(name);
        });
        const bool rigctld = settings.connection == RigConnection::Rigctld;
        m_rig->open({rigctld ? kRigctldModel : settings.rigModel,
                     rigctld ? settings.rigctldAddress : settings.rigPort,
                     rigctld ? 0 : settings.rigSerialSpeed});
        return true;
    }
    auto line = std::make_unique<KeyLine>(*m_calls);
    if (!line->open({settings.device, settings.line == ModemLine::Rts, settings.inverted})) {
        emit problem(line->errorText() + QStringLiteral("\n무선기 키잉 없이 소리로만 보냅니다."));
        return false;
    }
    m_line = std::move(line);
    KeyingThread::Options options = threadOptions;
    options.watchdogNs = int64_t{settings.watchdogSeconds} * 1'000'000'000;
    m_thread = std::make_unique<KeyingThread>(*m_line, options);
    m_notifier = new QSocketNotifier(m_thread->eventFd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TransmitterKeyer::takeThreadEvents);
    return true;
}

void TransmitterKeyer::finish() {
    if (m_notifier) {
        // finish() may run inside the notifier's own signal.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_thread.reset();  // the key goes up and the thread ends
    if (m_line) m_line->close();
    m_line.reset();
    delete m_rig;  // stops the rig's keyer and closes it
    m_rig = nullptr;
    m_rigName.clear();
    m_rigText.clear();
}

void TransmitterKeyer::stopSending() {
    if (m_thread) m_thread->finishLetter();
    if (m_rig) m_rig->stop();
    m_rigText.clear();
}

QString TransmitterKeyer::statusText() const {
    if (m_thread)
        return QStringLiteral("키잉: %1, %2")
            .arg(LineName(m_settings), RealtimeWayText(m_thread->realtimeWay()));
    if (m_rig)
        return QStringLiteral("키잉: 무선기 키어 %1")
            .arg(m_rigName.isEmpty() ? QStringLiteral("(연결 중)") : m_rigName);
    return QString();
}

TransmitterKeyer::LiveKeying TransmitterKeyer::liveKeying() const {
    if (m_thread) return LiveKeying::Keyed;
    if (m_rig) return LiveKeying::RigKeyer;
    return LiveKeying::Off;
}

QString TransmitterKeyer::liveRefusal() const {
    switch (liveKeying()) {
        case LiveKeying::Keyed:
            break;
        case LiveKeying::RigKeyer:
            return QStringLiteral(
                "무선기의 키어(Hamlib)는 글자를 받아 보내므로 패들로는 키잉할 수 없습니다. "
                "패들을 무선기의 키 잭에 꽂거나, 키잉 설정에서 직렬 포트의 DTR/RTS 선을 "
                "고르세요.");
        case LiveKeying::Off:
            return QStringLiteral("무선기 키잉이 꺼져 있습니다. 기타 → 무선기 키잉을 켜세요.");
    }
    return QString();
}

TransmitterKeyer::LiveKeying TransmitterKeyer::keyLive(std::span<const keyer::KeyEdge> edges) {
    if (!m_thread) return liveKeying();
    const int64_t nowNs = MonotonicNowNs();
    if (m_soundEndNs > nowNs) {
        // A send is still being keyed: the live key takes over.
        m_thread->cancel();
        m_soundEndNs = 0;
    }
    const std::vector<TimedEdge> timed = liveEdges(edges, nowNs);
    if (timed.empty()) return LiveKeying::Keyed;
    if (onHandOver) onHandOver(timed);
    if (!m_thread->handOver(timed))
        emit problem(QStringLiteral("키잉이 키를 따라가지 못해 부호 하나를 건너뛰었습니다."));
    return LiveKeying::Keyed;
}

// The live edges as the keying thread takes them, without the elements that ended already.
std::vector<TimedEdge> TransmitterKeyer::liveEdges(std::span<const keyer::KeyEdge> edges,
                                                   int64_t nowNs) {
    ++m_letter;
    std::vector<TimedEdge> timed;
    timed.reserve(edges.size());
    for (size_t i = 0; i < edges.size(); ++i) {
        const int64_t atNs = edges[i].time.count() + onAirDelayNs;
        const bool endedAlready = edges[i].down && i + 1 < edges.size() && !edges[i + 1].down &&
                                  edges[i + 1].time.count() + onAirDelayNs <= nowNs;
        if (endedAlready) {
            ++m_lateElements;
            ++i;
            continue;
        }
        timed.push_back({atNs, m_letter, edges[i].down});
    }
    return timed;
}

void TransmitterKeyer::stopLive() {
    if (m_thread) m_thread->cancel();
}

void TransmitterKeyer::codeStarts(std::string_view code, bool syllableEnd, bool runsIntoNext,
                                  const CodeSettings& settings, long long extraSilence) {
    if (offTheAir()) return;
    if (m_thread) keyLetter(code, syllableEnd, settings, extraSilence);
    if (m_rig) sendToRig(code, syllableEnd, runsIntoNext, settings);
}

int64_t TransmitterKeyer::ticksToNs(int64_t ticks) const {
    return (ticks * 1'000'000'000 + m_ticksPerSecond / 2) / m_ticksPerSecond;
}

int TransmitterKeyer::sampleRate() const {
    return m_wave ? m_wave->FillWaveFormat().samplesPerSec : WaveFormat{}.samplesPerSec;
}

// Sets the anchor of a letter that does not continue the sound before it.
void TransmitterKeyer::placeLetter(bool pcSpeaker, int64_t nowNs) {
    const int ticksPerSecond = pcSpeaker ? 1000 : sampleRate();
    int64_t deviceEndNs = -1;
    if (!pcSpeaker && m_wave) {
        const int64_t queuedUs = m_wave->Device().queuedSoundUs();
        if (queuedUs >= 0) deviceEndNs = nowNs + queuedUs * 1000;
    }
    const bool continues = pcSpeaker == m_pcSpeakerTimeline && ticksPerSecond == m_ticksPerSecond &&
                           m_soundEndNs > nowNs &&
                           (deviceEndNs < 0 || std::llabs(deviceEndNs - m_soundEndNs) <= kResyncNs);
    if (continues) return;
    m_pcSpeakerTimeline = pcSpeaker;
    m_ticksPerSecond = ticksPerSecond;
    m_anchorNs = std::max(deviceEndNs, nowNs);
    m_ticks = 0;
}

void TransmitterKeyer::keyLetter(std::string_view code, bool syllableEnd,
                                 const CodeSettings& settings, long long extraSilence) {
    placeLetter(settings.pcSpeaker, MonotonicNowNs());
    const KeySchedule schedule = KeyScheduleOfCode(code, syllableEnd, TicksPerUnit(settings));
    ++m_letter;
    std::vector<TimedEdge> edges;
    edges.reserve(schedule.edges.size());
    for (const KeyEdge& edge : schedule.edges)
        edges.push_back({m_anchorNs + ticksToNs(m_ticks + edge.at), m_letter, edge.down});
    m_ticks += schedule.length + std::max(extraSilence, 0LL);
    m_soundEndNs = m_anchorNs + ticksToNs(m_ticks);
    if (edges.empty()) return;
    if (onHandOver) onHandOver(edges);
    if (!m_thread->handOver(edges))
        emit problem(QStringLiteral("키잉이 소리를 따라가지 못해 글자 하나를 건너뛰었습니다."));
}

void TransmitterKeyer::sendToRig(std::string_view code, bool syllableEnd, bool runsIntoNext,
                                 const CodeSettings& settings) {
    if (const int wpm = KeyerWpm(UnitMs(settings, sampleRate())); wpm != m_rigWpm) {
        m_rigWpm = wpm;
        m_rig->setSpeed(wpm);
    }
    const RigTextBuilder::Piece piece = m_rigText.add(code, syllableEnd, runsIntoNext);
    if (!piece.text.empty()) m_rig->send(piece.text);
    for (const std::string& unsendable : piece.unsendable) {
        if (!m_unsendableTold.insert(unsendable).second) continue;
        emit problem(QStringLiteral("무선기 키어에는 부호 %1 에 해당하는 글자가 없어 보내지 "
                                    "않았습니다.")
                         .arg(QString::fromStdString(unsendable)
                                  .replace(QChar('S'), QChar(0x00B7))
                                  .replace(QChar('L'), QChar(0x2013))));
    }
}

void TransmitterKeyer::takeThreadEvents() {
    if (!m_thread) return;
    const uint32_t events = m_thread->takeEvents();
    if (events & KeyingThread::kLineLost) {
        endAfterFault(m_line->lostText());
    } else if (events & KeyingThread::kWatchdogTripped) {
        endAfterFault(QStringLiteral("키가 %1초 넘게 눌려 있어 키를 올렸습니다. 무선기 키잉을 "
                                     "껐습니다.")
                          .arg(m_settings.watchdogSeconds));
    }
}

void TransmitterKeyer::endAfterFault(const QString& message) {
    finish();
    emit problem(message);
    emit stopped();
}

}  // namespace cwt
