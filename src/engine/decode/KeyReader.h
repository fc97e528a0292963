#pragma once
// The workings of KeyedDecoder (see there): the spike filter, the timing classifier and the
// Hangul composer in a row, the letter being keyed, and what has been read.

#include <optional>
#include <vector>

#include "engine/decode/Decoded.h"
#include "engine/decode/HangulComposer.h"
#include "engine/decode/KeyStretch.h"
#include "engine/decode/KeyedDecoder.h"
#include "engine/decode/SpikeFilter.h"
#include "engine/decode/TimingClassifier.h"

namespace cwt::decode {

class KeyReader {
public:
    explicit KeyReader(const DecoderSettings& settings);

    // KeyedDecoder's operations, which say what they do.
    void push(const KeyStretch& stretch);
    void idle(double nowMs);
    void finish();
    std::vector<DecodedChar> takeCharacters();
    std::optional<DecodedChar> preedit() const;
    std::vector<ClassifiedStretch> takeStretches();
    double unitMs() const { return m_timing.unitMs(); }

private:
    struct Element {
        char symbol;  // '.' or '-'
        double startMs;
        double endMs;
        double confidence;
        double gapAfterMs;  // the element gap after it, inside the letter
    };

    void read(const KeyStretch& stretch);
    void keep(const ClassifiedStretch& stretch);
    void readSettled(const KeyStretch& stretch);
    void endPriming();
    void readMark(const KeyStretch& stretch);
    void readSpace(const KeyStretch& stretch);
    void endGap(StretchKind kind, double confidence);
    void closeLetter(double closingConfidence);
    void readElements(size_t from, size_t to, std::vector<DecodedChar>& out) const;
    bool knownCode(const std::string& code) const;
    std::string lettersCode() const;
    bool isJamoCode(const std::string& code) const;
    void deliver(DecodedChar character, bool firstOfLetter);
    void give(DecodedChar character);
    void commitSyllable();
    void keepDoubtfulGap(double lengthMs, StretchKind kind, bool afterJamo);
    void readDoubtfulGapsAgain();
    void giveWordSpaceLate(double startMs);

    DecoderSettings m_settings;
    TimingClassifier m_timing;
    SpikeFilter m_filter;
    HangulComposer m_composer;

    // The first stretches of a sending are held until they show the speed (the speed given at
    // the start is a guess), then read.
    bool m_priming = true;
    std::vector<KeyStretch> m_primed;

    std::vector<Element> m_letter;  // the letter being keyed
    bool m_anyMark = false;
    bool m_anyCharacter = false;
    double m_lastMarkEndMs = 0;
    StretchKind m_openSpace = StretchKind::ElementGap;  // what idle() has read the space as
    StretchKind m_gapBefore = StretchKind::LetterGap;   // the gap before the letter being keyed
    StretchKind m_letterGapBefore = StretchKind::LetterGap;
    double m_gapCertainty = 1;        // how sure the reading of the gap before the letter being
    double m_letterGapCertainty = 1;  //   keyed (and of the one before this letter) was
    bool m_letterAfterSyllableGaps = false;  // syllable gaps were heard when the letter began
    bool m_lastLetterJamo = false;           // the last letter ended was a jamo's

    // The gaps read as letter gaps before the keying showed its word gaps (until then a gap
    // is taken for a letter gap unless it is very long, so that long letter gaps read right
    // from the start). Once the word gaps are known they are read again, and the character
    // after one that was a word gap is given its word space late.
    struct DoubtfulGap {
        double lengthMs;
        bool afterJamo;
        double nextStartMs;  // the next letter's first mark; not a number until it came
    };
    std::vector<DoubtfulGap> m_doubtfulGaps;
    bool m_gapsSettled = false;
    std::vector<double> m_lateWordSpaces;  // starts of characters still being composed
    double m_lastGivenStartMs;

    std::vector<DecodedChar> m_characters;
    std::vector<ClassifiedStretch> m_stretches;
};

}  // namespace cwt::decode
