#include "engine/decode/BandDecoder.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace cwt::decode {

namespace {

// A space this many units long ends the letter before it: the reader is then between letters,
// and the language may change without splitting a letter.
constexpr double kLetterEndUnits = 2.0;
// A space this many units long between the last character of one language and the first of
// the other is a word space: the new reader does not know what came before.
constexpr double kWordSpaceUnits = 5.0;

DetectorSettings DetectorOf(const BandDecoderSettings& s) {
    DetectorSettings d;
    d.lowHz = s.lowHz;
    d.highHz = s.highHz;
    d.pitchHz = s.pitchHz;
    d.wpm = s.wpm;
    return d;
}

DecoderSettings ReaderOf(bool korean, double unitMs) {
    DecoderSettings r;
    r.korean = korean;
    r.initialUnitMs = unitMs;
    return r;
}

double UnitOfWpm(double wpm) { return 1200.0 / wpm; }

}  // namespace

BandDecoder::BandDecoder(int sampleRateHz, const BandDecoderSettings& settings)
    : m_detector(sampleRateHz, DetectorOf(settings)),
      m_wpm(settings.wpm),
      m_reading(settings.wpm.has_value()),
      m_korean(settings.korean) {
    if (m_wpm) m_reader = KeyedDecoder(ReaderOf(m_korean, UnitOfWpm(*m_wpm)));
}

void BandDecoder::push(std::span<const float> samples) {
    // A sample that is not finite (a broken file, a driver's glitch) would spoil every level
    // estimate after it: it is taken as silence.
    if (!std::all_of(samples.begin(), samples.end(), [](float x) { return std::isfinite(x); })) {
        m_finite.assign(samples.begin(), samples.end());
        for (float& x : m_finite)
            if (!std::isfinite(x)) x = 0.0f;
        samples = m_finite;
    }
    m_detector.push(samples);
    readStretches();
    const double idleMs = m_detector.idleUntilMs();
    if (idleMs < 0 || !m_reading) return;
    // The key is known to be up after the last mark: nothing later joins a held mark.
    if (m_held && m_held->mark) release();
    m_reader.idle(idleMs);
    if (idleMs - m_lastMarkEndMs >= kLetterEndUnits * m_reader.unitMs()) m_betweenLetters = true;
    if (m_switchPending && m_betweenLetters) switchLanguage();
    collect();
}

void BandDecoder::finish() {
    m_detector.finish();
    readStretches();
    if (!m_reading) startReading();
    release();
    m_reader.finish();
    collect();
    if (m_switchPending) switchLanguage();
}

std::vector<DecodedChar> BandDecoder::takeCharacters() { return std::exchange(m_out, {}); }

std::optional<DecodedChar> BandDecoder::preedit() const { return m_reader.preedit(); }

void BandDecoder::pickPitch(std::optional<double> pitchHz) { m_detector.pickPitch(pitchHz); }

void BandDecoder::setKorean(bool korean) {
    m_switchPending = korean != m_korean;
    if (!m_reading) {
        // Nothing was read yet: the reader starts in the new language.
        m_korean = korean;
        m_switchPending = false;
        return;
    }
    if (m_switchPending && m_betweenLetters) switchLanguage();
}

void BandDecoder::readStretches() {
    std::vector<KeyStretch> stretches = m_detector.takeStretches();
    if (!m_reading) {
        m_waiting.insert(m_waiting.end(), stretches.begin(), stretches.end());
        if (m_detector.speedSettled()) startReading();
        return;
    }
    for (const KeyStretch& stretch : stretches) hold(stretch);
    collect();
}

void BandDecoder::hold(KeyStretch stretch) {
    if (stretch.mark && stretch.markProbability < 0.5) stretch.mark = false;
    // A doubted space joins the marks around it only while the mark before is still held.
    if (!stretch.mark && stretch.markProbability > 0.5 && m_held && m_held->mark)
        stretch.mark = true;
    if (m_held && m_held->mark == stretch.mark) {
        m_held->lengthMs = stretch.startMs + stretch.lengthMs - m_held->startMs;
        m_held->markProbability = m_held->mark
                                      ? std::min(m_held->markProbability, stretch.markProbability)
                                      : std::max(m_held->markProbability, stretch.markProbability);
        return;
    }
    release();
    m_held = stretch;
}

void BandDecoder::release() {
    if (m_held) give(*m_held);
    m_held.reset();
}

void BandDecoder::startReading() {
    m_reading = true;
    m_reader = KeyedDecoder(ReaderOf(m_korean, UnitOfWpm(m_detector.wpm())));
    for (const KeyStretch& stretch : std::exchange(m_waiting, {})) hold(stretch);
    collect();
}

void BandDecoder::give(const KeyStretch& stretch) {
    if (stretch.mark) {
        if (m_switchPending && m_betweenLetters) switchLanguage();
        m_betweenLetters = false;
        m_lastMarkEndMs = stretch.startMs + stretch.lengthMs;
    } else if (stretch.lengthMs >= kLetterEndUnits * m_reader.unitMs()) {
        m_betweenLetters = true;
    }
    m_reader.push(stretch);
}

void BandDecoder::switchLanguage() {
    // The open syllable is committed in the old language; the speed learnt so far carries over.
    m_reader.finish();
    collect();
    m_korean = !m_korean;
    m_switchPending = false;
    m_wordSpacePending = true;
    m_reader = KeyedDecoder(ReaderOf(m_korean, m_reader.unitMs()));
}

void BandDecoder::collect() {
    for (DecodedChar& c : m_reader.takeCharacters()) {
        if (c.wordSpaceCorrection) {
            m_out.push_back(std::move(c));
            continue;
        }
        if (m_wordSpacePending && m_lastCharEndMs > 0 &&
            c.startMs - m_lastCharEndMs >= kWordSpaceUnits * m_reader.unitMs())
            c.wordSpaceBefore = true;
        m_wordSpacePending = false;
        m_lastCharEndMs = c.endMs;
        m_out.push_back(std::move(c));
    }
}

}  // namespace cwt::decode
