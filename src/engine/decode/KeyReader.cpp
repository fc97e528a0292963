#include "engine/decode/KeyReader.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/decode/CodeBook.h"
#include "engine/morse/Cp949Text.h"
#include "engine/morse/HanGulCtrlUnit.h"

namespace cwt::decode {

namespace {

// A letter that reads as no character is cut at its longest inner gap when that gap is this
// many element gaps long and both halves read: two letters keyed too close together.
constexpr double kCutGapRatio = 1.5;
// The first stretches are held until this many marks have come, or the key has stayed up for
// this many of the longest marks held (one letter, then a pause).
constexpr size_t kPrimingMarks = 6;
constexpr double kPrimingPauseMarks = 3;
constexpr size_t kMaxKeptStretches = 65536;
// Gaps read before the word gaps are known are kept for reading again; an operator who keys
// no word gap for this long gets no late word space.
constexpr size_t kMaxDoubtfulGaps = 32;
constexpr double kLateWordSpaceCertainty = 0.75;

double OwnBelief(const KeyStretch& s) { return s.mark ? s.markProbability : 1 - s.markProbability; }

double Clamp01(double x) { return std::isfinite(x) ? std::clamp(x, 0.0, 1.0) : 0.0; }

}  // namespace

KeyReader::KeyReader(const DecoderSettings& settings)
    : m_settings(settings),
      m_timing(settings.initialUnitMs, settings.korean),
      m_lastGivenStartMs(-std::numeric_limits<double>::infinity()) {}

void KeyReader::push(const KeyStretch& stretch) {
    if (!std::isfinite(stretch.startMs) || !std::isfinite(stretch.lengthMs) ||
        !(stretch.lengthMs > 0))
        return;
    KeyStretch clean = stretch;
    clean.markProbability = Clamp01(stretch.markProbability);
    std::vector<KeyStretch> settled;
    m_filter.push(clean, m_timing.spikeLimitMs(), m_timing.dropoutLimitMs(), settled);
    for (const KeyStretch& s : settled) read(s);
}

void KeyReader::idle(double nowMs) {
    if (!std::isfinite(nowMs)) return;
    std::vector<KeyStretch> settled;
    m_filter.idle(nowMs, m_timing.dropoutLimitMs(), settled);
    for (const KeyStretch& s : settled) read(s);
    if (m_priming && !m_primed.empty()) {
        double longest = 0;
        for (const KeyStretch& s : m_primed)
            if (s.mark) longest = std::max(longest, s.lengthMs);
        const KeyStretch& last = m_primed.back();
        if (!m_filter.holdsMark() &&
            nowMs - (last.startMs + last.lengthMs) > kPrimingPauseMarks * longest)
            endPriming();
    }
    if (m_priming || !m_anyMark || m_filter.holdsMark()) return;
    const double openMs = nowMs - m_lastMarkEndMs;
    const TimingClassifier::Reading open = m_timing.readOpenSpace(openMs);
    if (open.kind > m_openSpace) {
        m_openSpace = open.kind;
        if (open.kind >= StretchKind::LetterGap && !m_letter.empty()) closeLetter(open.confidence);
    }
    // A syllable stays open over a word gap (the next letters may show the gap was too long
    // inside a syllable); once the key has stopped, it is committed.
    if (m_timing.hasStopped(openMs)) commitSyllable();
}

void KeyReader::finish() {
    std::vector<KeyStretch> settled;
    m_filter.flush(settled);
    for (const KeyStretch& s : settled) read(s);
    endPriming();
    if (!m_letter.empty()) closeLetter(1);
    // The sending ended before its word gaps were heard: what was learned of its gaps is all
    // there is to go by.
    if (m_timing.gapsLearned()) readDoubtfulGapsAgain();
    commitSyllable();
}

std::vector<DecodedChar> KeyReader::takeCharacters() {
    std::vector<DecodedChar> out;
    out.swap(m_characters);
    return out;
}

std::optional<DecodedChar> KeyReader::preedit() const {
    std::optional<DecodedChar> open = m_composer.preedit();
    if (open && std::find(m_lateWordSpaces.begin(), m_lateWordSpaces.end(), open->startMs) !=
                    m_lateWordSpaces.end())
        open->wordSpaceBefore = true;
    return open;
}

std::vector<ClassifiedStretch> KeyReader::takeStretches() {
    std::vector<ClassifiedStretch> out;
    out.swap(m_stretches);
    return out;
}

void KeyReader::read(const KeyStretch& stretch) {
    if (!m_priming) {
        readSettled(stretch);
        return;
    }
    if (!stretch.mark && m_primed.empty()) return;  // the silence before the first mark
    m_primed.push_back(stretch);
    const auto marks =
        std::count_if(m_primed.begin(), m_primed.end(), [](const KeyStretch& s) { return s.mark; });
    if (static_cast<size_t>(marks) >= kPrimingMarks) endPriming();
}

void KeyReader::endPriming() {
    if (!m_priming) return;
    m_priming = false;
    std::vector<double> marks;
    std::vector<double> spaces;
    for (const KeyStretch& s : m_primed) (s.mark ? marks : spaces).push_back(s.lengthMs);
    m_timing.prime(marks, spaces);
    for (const KeyStretch& s : m_primed) readSettled(s);
    m_primed.clear();
}

void KeyReader::keep(const ClassifiedStretch& stretch) {
    if (m_stretches.size() >= kMaxKeptStretches)
        m_stretches.erase(m_stretches.begin(), m_stretches.begin() + kMaxKeptStretches / 2);
    m_stretches.push_back(stretch);
}

void KeyReader::readSettled(const KeyStretch& stretch) {
    if (stretch.mark)
        readMark(stretch);
    else if (m_anyMark)
        readSpace(stretch);  // the silence before the first mark says nothing
}

void KeyReader::readMark(const KeyStretch& stretch) {
    const double unitMs = m_timing.unitMs();
    const TimingClassifier::Reading reading = m_timing.readMark(stretch.lengthMs);
    keep({stretch, reading.kind, unitMs});
    if (m_letter.empty()) {
        m_letterGapBefore = m_gapBefore;
        m_letterGapCertainty = m_gapCertainty;
        m_letterAfterSyllableGaps = m_timing.syllableGapsHeard();
        m_gapBefore = StretchKind::LetterGap;
        if (!m_doubtfulGaps.empty() && std::isnan(m_doubtfulGaps.back().nextStartMs)) {
            m_doubtfulGaps.back().nextStartMs = stretch.startMs;
            if (m_gapsSettled) readDoubtfulGapsAgain();
        }
    }
    m_letter.push_back({reading.kind == StretchKind::Dot ? '.' : '-', stretch.startMs,
                        stretch.startMs + stretch.lengthMs,
                        std::min(reading.confidence, OwnBelief(stretch)), 0});
    m_anyMark = true;
    m_lastMarkEndMs = stretch.startMs + stretch.lengthMs;
    m_openSpace = StretchKind::ElementGap;
}

void KeyReader::readSpace(const KeyStretch& stretch) {
    const double unitMs = m_timing.unitMs();
    TimingClassifier::Reading reading = m_timing.readSpace(stretch.lengthMs);
    // idle() may already have ended the letter or the word on part of this space; the whole
    // space is at least as long, so it keeps that reading.
    if (m_openSpace > reading.kind) reading.kind = m_openSpace;
    // Only a Hangul syllable ends with a syllable gap: after a digit, a sign or punctuation a
    // gap that long is a word gap (this program puts 15 units there, 21 after a syllable).
    const bool afterJamo = m_letter.empty() ? m_lastLetterJamo : isJamoCode(lettersCode());
    if (reading.kind == StretchKind::SyllableGap && !afterJamo) reading.kind = StretchKind::WordGap;
    keep({stretch, reading.kind, unitMs});
    keepDoubtfulGap(stretch.lengthMs, reading.kind, afterJamo);
    if (reading.kind == StretchKind::ElementGap && !m_letter.empty()) {
        Element& before = m_letter.back();
        before.gapAfterMs = stretch.lengthMs;
        before.confidence = std::min({before.confidence, reading.confidence, OwnBelief(stretch)});
    }
    endGap(reading.kind, std::min(reading.confidence, OwnBelief(stretch)));
    if (!m_gapsSettled && m_timing.wordGapsHeard()) {
        m_gapsSettled = true;
        readDoubtfulGapsAgain();
    }
}

void KeyReader::keepDoubtfulGap(double lengthMs, StretchKind kind, bool afterJamo) {
    if (m_gapsSettled || m_doubtfulGaps.size() >= kMaxDoubtfulGaps) return;
    if (kind != StretchKind::LetterGap && kind != StretchKind::SyllableGap) return;
    if (!m_anyCharacter && m_letter.empty()) return;  // no character before it
    m_doubtfulGaps.push_back({lengthMs, afterJamo, std::numeric_limits<double>::quiet_NaN()});
}

// Reads the kept gaps whose next letter has begun again, and gives a word space to the
// character after each that was a word gap. A word space once given stays.
void KeyReader::readDoubtfulGapsAgain() {
    std::erase_if(m_doubtfulGaps, [this](const DoubtfulGap& gap) {
        if (std::isnan(gap.nextStartMs)) return false;
        const TimingClassifier::Reading again = m_timing.rereadSpace(gap.lengthMs);
        StretchKind kind = again.kind;
        if (kind == StretchKind::SyllableGap && !gap.afterJamo) kind = StretchKind::WordGap;
        // A text already on screen is changed only where the gaps say so clearly.
        if (again.confidence < kLateWordSpaceCertainty) kind = StretchKind::LetterGap;
        // With this program's own spacing a Hangul word gap is long enough to be read as one
        // from the start; a long gap after a jamo read again is a syllable gap, which the
        // first groups of gaps may not yet tell from a word gap.
        if (gap.afterJamo && m_timing.ownLetterGaps()) kind = StretchKind::LetterGap;
        if (kind == StretchKind::WordGap) giveWordSpaceLate(gap.nextStartMs);
        return true;
    });
}

// The character that starts at `startMs` begins a word: set on it while it waits to be taken
// or is still being composed, else given as a correction of what was taken.
void KeyReader::giveWordSpaceLate(double startMs) {
    for (auto c = m_characters.rbegin(); c != m_characters.rend(); ++c) {
        if (c->startMs == startMs && !c->wordSpaceCorrection) {
            c->wordSpaceBefore = true;
            return;
        }
    }
    if (startMs > m_lastGivenStartMs) {
        m_lateWordSpaces.push_back(startMs);
        return;
    }
    DecodedChar correction;
    correction.startMs = startMs;
    correction.endMs = startMs;
    correction.confidence = 1;
    correction.wordSpaceBefore = true;
    correction.wordSpaceCorrection = true;
    m_characters.push_back(std::move(correction));
}

void KeyReader::endGap(StretchKind kind, double confidence) {
    if (kind == StretchKind::ElementGap) return;
    if (!m_letter.empty()) closeLetter(confidence);
    m_gapBefore = std::max(m_gapBefore, kind);
    m_gapCertainty = confidence;
}

std::string KeyReader::lettersCode() const {
    std::string code;
    for (const Element& e : m_letter) code += e.symbol;
    return code;
}

bool KeyReader::isJamoCode(const std::string& code) const {
    return m_settings.korean && LetterOfCode(code) != 0;
}

void KeyReader::closeLetter(double closingConfidence) {
    m_lastLetterJamo = isJamoCode(lettersCode());
    std::vector<DecodedChar> read;
    readElements(0, m_letter.size(), read);
    for (size_t i = 0; i < read.size(); ++i) {
        read[i].confidence = std::min(read[i].confidence, closingConfidence);
        deliver(std::move(read[i]), i == 0);
    }
    m_letter.clear();
}

bool KeyReader::knownCode(const std::string& code) const {
    if (m_settings.korean && LetterOfCode(code) != 0) return true;
    return !TextOfCode(code, m_settings.punctuationOverSigns).empty();
}

// The elements [from, to) of the letter as characters: one, or two (and so on) when the whole
// is no character but it reads when cut at a gap that was long for an element gap.
void KeyReader::readElements(size_t from, size_t to, std::vector<DecodedChar>& out) const {
    DecodedChar read;
    read.startMs = m_letter[from].startMs;
    read.endMs = m_letter[to - 1].endMs;
    read.confidence = 1;
    for (size_t i = from; i < to; ++i) {
        read.code += m_letter[i].symbol;
        read.confidence = std::min(read.confidence, m_letter[i].confidence);
    }
    if (knownCode(read.code)) {
        const char latin = m_settings.korean ? LetterOfCode(read.code) : 0;
        read.text = latin != 0 ? cp949::Utf16ToUtf8(std::u16string(1, JamoOfLetter(latin)))
                               : TextOfCode(read.code, m_settings.punctuationOverSigns);
        out.push_back(std::move(read));
        return;
    }
    size_t cut = from;
    for (size_t i = from; i + 1 < to; ++i)
        if (m_letter[i].gapAfterMs > m_letter[cut].gapAfterMs) cut = i;
    if (to - from >= 2 && m_letter[cut].gapAfterMs >= kCutGapRatio * m_timing.elementGapMs()) {
        std::vector<DecodedChar> halves;
        readElements(from, cut + 1, halves);
        readElements(cut + 1, to, halves);
        if (std::all_of(halves.begin(), halves.end(),
                        [](const DecodedChar& c) { return c.known; })) {
            for (DecodedChar& half : halves) out.push_back(std::move(half));
            return;
        }
    }
    read.known = false;
    read.text = UnknownCodeText(read.code);
    out.push_back(std::move(read));
}

void KeyReader::deliver(DecodedChar character, bool firstOfLetter) {
    const bool wordSpace =
        firstOfLetter && m_anyCharacter && m_letterGapBefore == StretchKind::WordGap;
    character.wordSpaceBefore = wordSpace;
    m_anyCharacter = true;
    const char latin = m_settings.korean && character.known ? LetterOfCode(character.code) : 0;
    if (latin == 0) {
        commitSyllable();
        give(std::move(character));
        return;
    }
    JamoJoin join = m_letterAfterSyllableGaps ? JamoJoin::SameSyllable : JamoJoin::Free;
    if (wordSpace)
        join = JamoJoin::WordSpace;
    else if (firstOfLetter && m_letterGapBefore == StretchKind::SyllableGap)
        join = JamoJoin::NewSyllable;
    m_composer.add(character, latin, join, firstOfLetter ? m_letterGapCertainty : 0.5);
    for (DecodedChar& c : m_composer.takeCommitted()) give(std::move(c));
}

void KeyReader::commitSyllable() {
    m_composer.commit();
    for (DecodedChar& c : m_composer.takeCommitted()) give(std::move(c));
}

// Every character read goes out here: one whose word space was found late gets it now.
void KeyReader::give(DecodedChar character) {
    const auto late =
        std::find(m_lateWordSpaces.begin(), m_lateWordSpaces.end(), character.startMs);
    if (late != m_lateWordSpaces.end()) {
        character.wordSpaceBefore = true;
        m_lateWordSpaces.erase(late);
    }
    m_lastGivenStartMs = std::max(m_lastGivenStartMs, character.startMs);
    m_characters.push_back(std::move(character));
}

}  // namespace cwt::decode
