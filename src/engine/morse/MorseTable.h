#pragma once
// The Morse alphabet: 53 rows of characters and their code strings, plus the word space.
//
// A code string is a byte string of elements: 'S' is one unit of tone, 'L' three units of
// tone, any other byte one unit of silence; every element is followed by one unit of
// silence. A final '!' on a string of more than one byte is the gap mark (see Timing.h).

#include <array>
#include <cstdint>
#include <string_view>

namespace cwt {

inline constexpr int kMorseRowCount = 53;  // rows 0..52
inline constexpr int kWordSpaceRow = 53;   // the blank; its code is a single silent element
inline constexpr int kPictureCount = 51;   // rows 0..50 have a code picture
inline constexpr int kYeRow = 49;          // the syllable 예, reached through placeholder 17
inline constexpr int kYaeRow = 50;         // the syllable 얘, reached through placeholder 18
inline constexpr int kErrorRow = 51;       // ER, eight shorts
inline constexpr int kKrRow = 52;          // KR

// Row characters, UTF-8. Rows 49 and 50 are Hangul syllables, 51 and 52 two-letter keys.
extern const std::array<std::string_view, kMorseRowCount> MorseChars;
// Row codes; index 53 is the word space (one blank).
extern const std::array<std::string_view, kMorseRowCount + 1> MorseCodes;

// Row of a single-byte character, or -1. Letters of either case give the same row, the
// blank gives 53.
int MorseIndex(uint8_t byte);

// Code string of the byte's row; a byte without a row gives a single blank.
std::string_view CodeOfChar(uint8_t byte);

// Row `row` (0..53) with or without the gap mark '!' appended; the view lives as long as
// the program.
std::string_view RowCode(int row, bool characterGap);

// Character of the first row 0..52 whose code equals `code`; 0 when none matches or the
// row is not a single byte (rows 49 to 52).
uint8_t CharOfCode(std::string_view code);

}  // namespace cwt
