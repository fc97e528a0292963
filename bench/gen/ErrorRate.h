#pragma once
// Error rates of decoded text against what was keyed, by edit distance (the copy practice's
// alignment): each symbol missed, added or taken for another costs one.

#include <string>
#include <string_view>

namespace cwt::testgen {

struct ErrorTally {
    long errors = 0;
    long symbols = 0;  // symbols of the text that was keyed
    double rate() const { return symbols == 0 ? 0 : double(errors) / double(symbols); }
    void add(const ErrorTally& other) {
        errors += other.errors;
        symbols += other.symbols;
    }
};

// Both texts as Symbols(): characters and signs, blanks dropped (a word space heard too short
// or too long is no character error), or word spaces counted as symbols too.
ErrorTally CharacterErrors(std::u16string_view sent, std::u16string_view read);
ErrorTally CharacterAndSpaceErrors(std::u16string_view sent, std::u16string_view read);
// Korean: on the jamo each syllable is sent as (닭 = ㄷ ㅏ ㄹ ㄱ), blanks dropped.
ErrorTally JamoErrors(std::u16string_view sent, std::u16string_view read);

// The errors in the columns of the alignment that cover `sent` symbols [from, from + count),
// blanks dropped: the errors right after a change of speed.
long ErrorsWithin(std::u16string_view sent, std::u16string_view read, size_t from, size_t count);

}  // namespace cwt::testgen
