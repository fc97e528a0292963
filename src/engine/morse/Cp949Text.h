#pragma once
// Code page 949 (Korean, "CP949"/UHC) text: the engine works on its bytes, and every count
// and position shown to the operator is a count of these bytes (a Hangul syllable counts 2,
// a line break CR LF counts 2). The tables are built once from iconv.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cwt::cp949 {

// A byte 0x81..0xFE starts a double-byte character.
constexpr bool IsLeadByte(uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

// The character of a double-byte pair; nothing when the pair is not a character.
std::optional<char16_t> DecodePair(uint8_t lead, uint8_t trail);

// The bytes of one UTF-16 code unit: itself below 0x80, two bytes for a character of the
// code page, nothing when the code page has no such character.
std::optional<std::string> EncodeUnit(char16_t unit);

// Bytes to UTF-16; a byte that starts no character becomes U+FFFD.
std::u16string Decode(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);
std::u16string Utf8ToUtf16(std::string_view utf8);  // expects valid UTF-8
std::string Utf16ToUtf8(std::u16string_view text);

// A text file's bytes as editor text: UTF-16 after a UTF-16 byte-order mark, UTF-8 when they
// are valid UTF-8 (a leading byte-order mark dropped), else code page 949.
std::u16string DecodeFileBytes(std::string_view bytes);

// A text file read as a list of lines, each followed by LF: CR LF, a lone CR and LF all end a
// line, and the last line gets its line break too. A file that starts with a UTF-16 byte-order
// mark (FF FE or FE FF, as Notepad's "Unicode" saves) is UTF-16 in that byte order. A file
// that is valid UTF-8 as a whole is read as UTF-8 (a leading byte-order mark dropped). Any
// other file is decoded line by line:
// a line that is valid UTF-8 and holds a character of three or more bytes (Hangul always is)
// is UTF-8, every other line code page 949. So a file that editors of both kinds have written
// to reads right on every line, and a plain code page 949 file reads as before.
struct FileText {
    std::u16string text;
    int64_t undecodable = 0;  // bytes that start no character and became U+FFFD
};
FileText DecodeFileLines(std::string_view bytes);

// How many bytes Cp949Text::FromEditor(text) holds, counted without building it: a line
// break 2, a character below 0x80 1, every other character (a surrogate pair counts as one) 2.
int64_t EditorByteCount(std::u16string_view text);

// Whole-text encoding that fails on the first character the code page cannot hold.
std::optional<std::string> EncodeStrict(std::u16string_view text);

}  // namespace cwt::cp949

namespace cwt {

// Editor text encoded in code page 949, with the mapping between byte offsets and the
// editor's UTF-16 indices, so the window can highlight exactly a unit's characters.
//
// A lone LF of the editor becomes CR LF (both bytes map to the one editor character). A
// character the code page cannot hold becomes two bytes of a double-byte character that
// sends nothing, so it is highlighted and counted like a Hanja but never turns into Morse.
class Cp949Text {
public:
    static Cp949Text FromEditor(std::u16string_view text);

    const std::string& bytes() const { return m_bytes; }
    int byteCount() const { return static_cast<int>(m_bytes.size()); }
    int charCount() const { return static_cast<int>(m_byteOfChar.size()) - 1; }

    // Editor index of the character that holds the byte at `byteOffset` (0-based).
    int charIndexAtByte(int byteOffset) const;
    // 0-based byte offset at which the editor character `charIndex` starts.
    int byteOffsetOfChar(int charIndex) const;
    // Editor range [first, last) that covers the bytes [byteOffset, byteOffset + byteLength).
    std::pair<int, int> charRangeOfBytes(int byteOffset, int byteLength) const;
    // How many characters could not be encoded.
    int unencodableCount() const { return m_unencodable; }

private:
    std::string m_bytes;
    std::vector<int> m_charOfByte;  // per byte, plus one entry for the end
    std::vector<int> m_byteOfChar;  // per UTF-16 unit, plus one entry for the end
    int m_unencodable = 0;
};

}  // namespace cwt
