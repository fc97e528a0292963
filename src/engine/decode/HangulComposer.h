#pragma once
// Composes received jamo into Hangul syllables as an input method does. Each jamo arrives as
// the Latin letter whose code sends it (ㄱ → L, ㅏ → E); double and compound jamo arrive as
// the letters of their parts, in the order the sender splits a syllable, so that composing is
// the exact inverse of that split.
//
// The letters are cut into syllables by the least cost: a syllable costs what its rare
// initial or final costs, a jamo left by itself more (real text has none), and going against
// what a gap said (a word or syllable gap inside a syllable, a letter gap between syllables
// where syllable gaps are told apart) costs as much as the gap was sure. So a consonant between two
// vowels starts the next syllable; where the letters allow two readings (LELLE is 각가 or 가까) a
// gap heard as a syllable or word gap decides, and without one the consonant nearest the next vowel
// starts the next syllable; and a word gap heard inside a syllable (a long pause in a hand-keyed
// 한) does not tear it apart.
//
// The syllable still open is the preedit: it may change as letters come, and is committed
// once it can no longer change.

#include <optional>
#include <string>
#include <vector>

#include "engine/decode/Decoded.h"

namespace cwt::decode {

// How a letter stands to the letter before it, as the gap between them was heard.
enum class JamoJoin {
    Free,          // a letter gap, where syllables have no gap of their own: the letters decide
    SameSyllable,  // a letter gap, where syllable gaps are told apart: the same syllable
    NewSyllable,   // a syllable gap: a new syllable starts, if the letters allow
    WordSpace,     // a word gap: a new word starts, if the letters allow
};

class HangulComposer {
public:
    // A jamo letter ('A'..'Z') read as `letter` (its code, times and confidence are kept; its
    // text becomes the syllable's); `joinCertainty` (0.5..1) is how sure the gap before it was.
    void add(const DecodedChar& letter, char latin, JamoJoin join, double joinCertainty = 1);
    // Commits what is open (the key stopped, or a character that is no jamo comes).
    void commit();

    // Syllables and single jamo committed since the last call.
    std::vector<DecodedChar> takeCommitted();
    // The open syllable (and anything after it not yet placed), or nothing.
    std::optional<DecodedChar> preedit() const;

private:
    struct Letter {
        DecodedChar read;
        char latin = 0;
        JamoJoin join = JamoJoin::Free;
        double against = 0;  // what reading against the join costs
    };
    struct Piece {  // a syllable or a single jamo: letters [first, last) of the run
        size_t first = 0;
        size_t last = 0;
        std::u16string text;
    };

    std::vector<Piece> parse() const;
    DecodedChar merged(const Piece& piece) const;

    std::vector<Letter> m_run;  // letters not yet committed
    std::vector<DecodedChar> m_committed;
};

}  // namespace cwt::decode
