#pragma once
// The timing-to-text stage: the marks and spaces of a key (a straight key, the keyer, or a
// decoder that found them in sound) read as text, following the operator's speed.
//
// Dots and dashes are told apart, and gaps read as element, letter or word gaps, by running
// estimates of the operator's own timing: the speed follows a drift or a step of a third
// within a few letters, and the letter and word gaps are learned from the gaps themselves, so
// the usual 3 and 7 units, Farnsworth spacing and this program's own 7 and 15 units all read
// right. A mark much shorter than a dot is noise and is not read.
//
// English reads the Morse table and the procedure signs this program sends ("[AR]", "[BT]",
// "[SK]", "[KN]", "[AS]", "[KA]", "[BK]", "[VE]", "[HH]" for eight dots or more, …). Korean
// reads every letter's code as the jamo it sends (L → ㄱ, E → ㅏ) and composes the jamo into
// syllables as an input method does (HangulComposer); digits, punctuation and signs read as in
// English. A code that is no character is given as its dots and dashes, marked unknown.
//
// Single-threaded: one thread pushes, idles and takes.

#include <memory>
#include <optional>
#include <vector>

#include "engine/decode/Decoded.h"
#include "engine/decode/KeyStretch.h"

namespace cwt::decode {

struct DecoderSettings {
    bool korean = false;
    // The unit expected at the start (a dot, where the keying is even); the first letters
    // correct it. 80 ms is 15 WPM by the usual PARIS of 50 units.
    double initialUnitMs = 80;
    // Read .-.-. as "+" rather than "[AR]", -...- as "=" rather than "[BT]", -.--. as "("
    // rather than "[KN]".
    bool punctuationOverSigns = false;
};

class KeyReader;

class KeyedDecoder {
public:
    explicit KeyedDecoder(const DecoderSettings& settings = {});

    // The next stretch, in time order. One that is not finite or not longer than 0 is ignored.
    void push(const KeyStretch& stretch);
    // The key has stayed up since the last stretch until `nowMs`: ends the letter, and the
    // word, as soon as the space is long enough to say so.
    void idle(double nowMs);
    // The input is over: ends the letter and commits what is open.
    void finish();

    // Characters read since the last call, in order. In Korean a syllable comes once it can no
    // longer change; until then it is the preedit. Among them may come a correction of a
    // character taken before: it begins a word after all (see DecodedChar; AppendDecoded
    // applies it).
    std::vector<DecodedChar> takeCharacters();
    // The Hangul syllable still open, which later letters may change; nothing in English.
    std::optional<DecodedChar> preedit() const;
    // Every stretch read since the last call, with what it was read as. Only the last 65,536
    // are kept for a caller that never takes them (a decoder of sound running for hours).
    std::vector<ClassifiedStretch> takeStretches();

    // The unit the decoder now expects: half a dot and the element gap after it.
    double unitMs() const;

    // Moves only: a decoder is one reading of one key.
    KeyedDecoder(KeyedDecoder&&) noexcept;
    KeyedDecoder& operator=(KeyedDecoder&&) noexcept;
    ~KeyedDecoder();

private:
    std::unique_ptr<KeyReader> m_reader;
};

}  // namespace cwt::decode
