#include "engine/decode/BandDecoder.h"

#include <utility>

namespace cwt::decode {

namespace {

// A space this many units long ends the letter before it: the reader is then between letters,
// and the language may change without splitting a letter.
constexpr double kLetterEndUnits = 2.0;

DetectorSettings DetectorOf(const BandDecoderSettings& s) {
    DetectorSettings d;
    d.lowHz = s.lowHz;
    d.highHz = s.highHz;
    d.pitchHz = s.pitchHz;
    d.wpm = s.wpm;
    return d;
}

DecoderSettings ReaderOf(bool korean, std::optional<double> wpm, double unitMs) {
    DecoderSettings r;
    r.korean = korean;
    r.initialUnitMs = wpm ? 1200.0 / *wpm : unitMs;
    return r;
}

}  // namespace

BandDecoder::BandDecoder(int sampleRateHz, const BandDecoderSettings& settings)
    : m_detector(sampleRateHz, DetectorOf(settings)),
      m_reader(ReaderOf(settings.korean, settings.wpm, DecoderSettings{}.initialUnitMs)),
      m_korean(settings.korean) {}

void BandDecoder::push(std::span<const float> samples) {
    m_detector.push(samples);
    readStretches();
    const double idleMs = m_detector.idleUntilMs();
    if (idleMs < 0) return;
    m_reader.idle(idleMs);
    if (idleMs - m_lastMarkEndMs >= kLetterEndUnits * m_reader.unitMs()) m_betweenLetters = true;
    if (m_switchPending && m_betweenLetters) switchLanguage();
    collect();
}

void BandDecoder::finish() {
    m_detector.finish();
    readStretches();
    m_reader.finish();
    collect();
    if (m_switchPending) switchLanguage();
}

std::vector<DecodedChar> BandDecoder::takeCharacters() { return std::exchange(m_out, {}); }

std::optional<DecodedChar> BandDecoder::preedit() const { return m_reader.preedit(); }

void BandDecoder::pickPitch(std::optional<double> pitchHz) { m_detector.pickPitch(pitchHz); }

void BandDecoder::setKorean(bool korean) {
    m_switchPending = korean != m_korean;
    if (m_switchPending && m_betweenLetters) switchLanguage();
}

void BandDecoder::readStretches() {
    for (const KeyStretch& stretch : m_detector.takeStretches()) {
        if (stretch.mark) {
            if (m_switchPending && m_betweenLetters) switchLanguage();
            m_betweenLetters = false;
            m_lastMarkEndMs = stretch.startMs + stretch.lengthMs;
        } else if (stretch.lengthMs >= kLetterEndUnits * m_reader.unitMs()) {
            m_betweenLetters = true;
        }
        m_reader.push(stretch);
    }
    collect();
}

void BandDecoder::switchLanguage() {
    // The open syllable is committed in the old language; the speed learnt so far carries over.
    m_reader.finish();
    collect();
    m_korean = !m_korean;
    m_switchPending = false;
    m_reader = KeyedDecoder(ReaderOf(m_korean, std::nullopt, m_reader.unitMs()));
}

void BandDecoder::collect() {
    for (DecodedChar& c : m_reader.takeCharacters()) m_out.push_back(std::move(c));
}

}  // namespace cwt::decode
