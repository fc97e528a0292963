#pragma once
// What the operator keyed against what was asked, as the copy practice aligns a copy with what
// it sent (Align in CopyScore.h): by edit distance, Korean on jamo. A procedure sign in brackets
// ("[BT]") and a code that is no character ("<.-.-..>") count as one symbol each, so a sign
// keyed wrong costs one error, not four.
//
// While the operator keys, the part of the text not keyed yet is no error: the keyed text is set
// against the beginning of the text it matches best.

#include <string>
#include <string_view>
#include <vector>

#include "engine/practice/CopyScore.h"
#include "engine/practice/KochCourse.h"

namespace cwt {

// The symbols a text is scored on: CopySymbols, with every sign and unknown code as one symbol.
std::u16string SendingSymbols(Course course, std::u16string_view text);

// A symbol as the operator reads it: the character, a sign with its brackets, an unknown code
// as "<?>".
std::u16string SymbolText(char16_t symbol);

struct SendingComparison {
    std::vector<AlignedPair> alignment;
    int targetSymbols = 0;    // of the whole text
    int comparedSymbols = 0;  // of the text, the symbols the alignment covers
    int errors = 0;
    std::u16string rest;  // the symbols of the text after those compared: still to key
    // The whole text has been keyed: its last symbol is matched or taken for another.
    bool complete() const { return targetSymbols > 0 && comparedSymbols == targetSymbols; }
};

// Sets `keyed` against the beginning of `target` that it matches best (the longest among equal
// matches): the rest is still to key. With `whole`, against the whole text: what is not keyed
// counts as missed.
SendingComparison CompareSending(Course course, std::u16string_view target,
                                 std::u16string_view keyed, bool whole = false);

}  // namespace cwt
