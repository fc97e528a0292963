#pragma once
// Texts to key for tests and benchmarks, made from word lists and patterns of our own and a
// seed, so that the same seed gives the same lines everywhere.

#include <cstdint>
#include <string>
#include <vector>

namespace cwt::testgen {

// Lines of an English contact as operators key it: calls, RST, names, QTH, rigs, weather, the
// usual abbreviations and procedure signs ([BT] [AR] [KN] [SK]), digits and a little
// punctuation. Lines are added until they hold at least `minSymbols` characters (blanks not
// counted).
std::vector<std::string> EnglishQsoLines(uint64_t seed, size_t minSymbols);

// Lines of Korean as operators key it: greetings, reports, weather and everyday words rich in
// finals (compound ones too: 닭 값 앉다 읽다 없다), compound vowels (ㅘ ㅝ ㅢ ㅚ ㅟ ㅙ ㅞ), double
// consonants (ㄲ ㄸ ㅃ ㅆ ㅉ), 예 and 얘, and digits. Every `randomEvery`-th word (0: none) is
// instead two random syllables of any initial, vowel and final.
std::vector<std::string> KoreanLines(uint64_t seed, size_t minSymbols, int randomEvery = 0);

}  // namespace cwt::testgen
