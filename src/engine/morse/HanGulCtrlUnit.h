#pragma once
// Korean Morse transliteration: each jamo of a Hangul syllable is sent as the international
// code of one fixed Latin letter (ㄱ → L, ㅏ → E, ...).

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace cwt {

// Fixed-width tables, two characters per entry padded with a blank, in the Unicode order of
// initial consonants (19 entries), medial vowels (21) and final consonants (28, entry 0 none).
extern const std::string_view InitialLetters;
extern const std::string_view MedialLetters;
extern const std::string_view FinalLetters;

// The jamo each Latin letter stands for, indexed by letter - 'A' (compatibility jamo).
extern const std::array<char16_t, 26> JamoLetters;

inline constexpr char32_t kFirstSyllable = 0xAC00;  // 가
inline constexpr char32_t kLastSyllable = 0xD7A3;   // 힣

// The syllable's Latin letters (2 to 6 of them); nothing when `codePoint` is not a
// precomposed Hangul syllable.
std::optional<std::string> HangulToLetters(char32_t codePoint);

// The jamo shown for a letter of a transliterated syllable; 0 for anything but A..Z.
char16_t JamoOfLetter(char letter);

}  // namespace cwt
