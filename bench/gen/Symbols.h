#pragma once
// Texts as sequences of symbols, the unit the error rates count: one UTF-16 unit a character,
// a bracketed procedure sign ("[AR]") one symbol, a code the decoder could not read ("<.-.->")
// one symbol, and each run of blanks one blank, none at either end.

#include <string>
#include <string_view>
#include <vector>

#include "engine/decode/Decoded.h"

namespace cwt::testgen {

std::u16string Symbols(std::string_view utf8);

// Back to text, signs in brackets again, for printing.
std::string SymbolsToUtf8(std::u16string_view symbols);

// What the decoder read, as text: characters in order, a blank where a word space came first.
std::string DecodedText(const std::vector<decode::DecodedChar>& characters);

}  // namespace cwt::testgen
