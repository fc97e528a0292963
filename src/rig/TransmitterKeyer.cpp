#include "rig/TransmitterKeyer.h"

#include <QSocketNotifier>
#include <cstdlib>
#include <vector>

#include "engine/keying/KeySchedule.h"
#include "rig/HamlibKeyer.h"
#include "sound/VelWaveCtrl.h"

namespace cwt {

namespace {

// Silence in front of a send that starts the sound afresh: the sound server's timing tells
// when the sound starts only once it has begun to play it, and the first key edge is placed
// from that. Enough for a few timing reports and for the GUI thread to pass the edges on.
constexpr int kStartLeadMs = 40;
// The keying thread needs its edges at least this long before the first is due.
constexpr int64_t kHandOverAheadNs = 1'000'000;
// Letters whose sounds meet within this are one stretch of sound (the output tells microseconds).
constexpr int64_t kMeetNs = 100'000;

int64_t TicksToNs(int64_t ticks, int64_t ticksPerSecond) {
    return (ticks * 1'000'000'000 + ticksPerSecond / 2) / ticksPerSecond;
}

QString LineName(const KeyingSettings& s) {
    return QStringLiteral("%1 %2%3").arg(QString::fromStdString(s.device),
                                         s.line == ModemLine::Rts ? "RTS" : "DTR",
                                         s.inverted ? QStringLiteral(" (반전)") : QString());
}

}  // namespace

TransmitterKeyer::TransmitterKeyer(TVelWaveCtrl* wave, const SerialCalls& calls, QObject* parent)
    : QObject(parent), m_wave(wave), m_calls(&calls) {
    if (m_wave)
        connect(&m_wave->Device(), &WaveDevice::soundTimeKnown, this,
                &TransmitterKeyer::soundTimeKnown);
}

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
    if (m_wave) m_wave->Device().setStartLeadMs(kStartLeadMs);
    m_livePath->attach(m_thread.get(), onAirDelayNs);
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
    m_livePath->detach();  // before the thread it leads to ends
    m_thread.reset();      // the key goes up and the thread ends
    m_held.clear();
    if (m_wave) m_wave->Device().setStartLeadMs(0);
    if (m_line) m_line->close();
    m_line.reset();
    delete m_rig;  // stops the rig's keyer and closes it
    m_rig = nullptr;
    m_rigName.clear();
    m_rigText.clear();
}

void TransmitterKeyer::stopSending() {
    m_held.clear();  // none of them has begun
    // A live key on the air stops at once: its elements are no letters to finish.
    m_livePath->close();
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
    if (m_soundEndNs > nowNs || m_placedEndNs > nowNs || !m_held.empty()) {
        // A send is still being keyed, or its letters wait for their sound: the live key takes
        // over, and none of them is keyed after it.
        m_thread->cancel();
        m_held.clear();
        m_soundEndNs = 0;
        m_placedEndNs = 0;
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
    LiveTimedEdges(edges, onAirDelayNs, nowNs, m_letter, timed, m_lateElements);
    return timed;
}

void TransmitterKeyer::stopLive() {
    m_livePath->close();
    if (m_thread) m_thread->cancel();
}

void TransmitterKeyer::codeStarts(std::string_view code, bool syllableEnd, bool runsIntoNext,
                                  const CodeSettings& settings, long long extraSilence) {
    if (offTheAir()) return;
    if (m_thread) keyLetter(code, syllableEnd, settings, extraSilence);
    if (m_rig) sendToRig(code, syllableEnd, runsIntoNext, settings);
}

int64_t TransmitterKeyer::ticksToNs(int64_t ticks) const {
    return TicksToNs(ticks, m_ticksPerSecond);
}

int TransmitterKeyer::sampleRate() const {
    return m_wave ? m_wave->FillWaveFormat().samplesPerSec : WaveFormat{}.samplesPerSec;
}

// Sets the anchor of a letter that the output does not place: it continues the letters before
// it while their sound lasts, or begins now.
void TransmitterKeyer::placeLetter(bool pcSpeaker, int64_t nowNs) {
    const int ticksPerSecond = pcSpeaker ? 1000 : sampleRate();
    if (pcSpeaker == m_pcSpeakerTimeline && ticksPerSecond == m_ticksPerSecond &&
        m_soundEndNs > nowNs)
        return;
    m_pcSpeakerTimeline = pcSpeaker;
    m_ticksPerSecond = ticksPerSecond;
    m_anchorNs = nowNs;
    m_ticks = 0;
}

void TransmitterKeyer::keyLetter(std::string_view code, bool syllableEnd,
                                 const CodeSettings& settings, long long extraSilence) {
    const KeySchedule schedule = KeyScheduleOfCode(code, syllableEnd, TicksPerUnit(settings));
    ++m_letter;
    if (!settings.pcSpeaker && holdUntilItSounds(schedule, extraSilence)) return;
    placeLetter(settings.pcSpeaker, MonotonicNowNs());
    std::vector<TimedEdge> edges;
    edges.reserve(schedule.edges.size());
    for (const KeyEdge& edge : schedule.edges)
        edges.push_back({m_anchorNs + ticksToNs(m_ticks + edge.at), m_letter, edge.down});
    m_ticks += schedule.length + std::max(extraSilence, 0LL);
    m_soundEndNs = m_anchorNs + ticksToNs(m_ticks);
    handOver(edges);
}

// Asks the wave output when the letter about to be queued sounds and keeps its edges until it
// answers; false when it cannot tell.
bool TransmitterKeyer::holdUntilItSounds(const KeySchedule& schedule, long long extraSilence) {
    if (!m_wave || schedule.edges.empty()) return false;
    const uint64_t id = m_wave->Device().askSoundTime();
    if (id == 0) return false;
    const int rate = sampleRate();
    Held held{id, {}, TicksToNs(schedule.length + std::max(extraSilence, 0LL), rate)};
    for (const KeyEdge& edge : schedule.edges)
        held.edges.push_back({TicksToNs(edge.at, rate), m_letter, edge.down});
    m_held.push_back(std::move(held));
    m_soundEndNs = 0;  // a letter the output does not place starts afresh
    return true;
}

// The wave output placed a held letter's first sample at `timeUs` (-1: it never sounds); its
// edges go to the keying thread from there.
void TransmitterKeyer::soundTimeKnown(quint64 id, qint64 timeUs) {
    // Answers come in the order the letters were queued; one asked for before has no letter
    // any more (the component went away before writing it).
    while (!m_held.empty() && m_held.front().soundTimeId < id) m_held.pop_front();
    if (m_held.empty() || m_held.front().soundTimeId != id) return;
    Held held = std::move(m_held.front());
    m_held.pop_front();
    if (timeUs < 0 || !m_thread) return;
    const int64_t soundNs = timeUs * 1000;
    if (std::llabs(soundNs - m_placedEndNs) > kMeetNs) m_lagNs = 0;
    m_placedEndNs = soundNs + held.lengthNs;
    const int64_t lateNs =
        MonotonicNowNs() + kHandOverAheadNs - (soundNs + m_lagNs + held.edges.front().atNs);
    if (lateNs > 0) m_lagNs += lateNs;
    for (TimedEdge& edge : held.edges) edge.atNs += soundNs + m_lagNs;
    handOver(held.edges);
}

void TransmitterKeyer::handOver(std::span<const TimedEdge> edges) {
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
