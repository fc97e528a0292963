#pragma once
// What the timing-to-text stage gives: characters, and every stretch with what it was read as.

#include <string>
#include <vector>

#include "engine/decode/KeyStretch.h"

namespace cwt::decode {

// A character read from the key: a letter, digit, punctuation mark, procedure sign ("[AR]"),
// a Hangul syllable or jamo, or a code that is no character.
struct DecodedChar {
    std::string text;       // UTF-8; a code that is no character shows as "<.-.-..>"
    std::string code;       // '.' and '-'; the letters of a Hangul syllable separated by blanks
    bool known = true;      // false: the code is no character, `text` shows its elements
    double startMs = 0;     // the first mark's start
    double endMs = 0;       // the last mark's end
    double confidence = 0;  // 0..1: how clearly the timing (and the marks) said so
    bool wordSpaceBefore = false;
    // Not a character but a correction of one given earlier: the character that started at
    // `startMs` begins a word after all (`text` is empty). The first gaps of a sending are read
    // before the keying has shown its word gaps; when it has, a gap first read as a letter gap
    // may turn out to have been a word gap.
    bool wordSpaceCorrection = false;
};

// Appends what a decoder gave to the text read so far, applying its corrections to the
// characters they name (a correction naming none is dropped).
void AppendDecoded(std::vector<DecodedChar>& text, std::vector<DecodedChar> given);

// In this order: a gap that ends a word also ends the letter and the syllable.
enum class StretchKind {
    Dot,
    Dash,
    ElementGap,   // between the elements of a letter
    LetterGap,    // between letters (and between the jamo of a Hangul syllable)
    SyllableGap,  // between Hangul syllables, where the keying sets them apart from letters
    WordGap,
};

// A stretch as it was read, with the speed at that point: the fist is measured on these.
struct ClassifiedStretch {
    KeyStretch stretch;
    StretchKind kind = StretchKind::Dot;
    double unitMs = 0;  // the unit (half a dot and its gap) the decoder had when it read it
};

}  // namespace cwt::decode
