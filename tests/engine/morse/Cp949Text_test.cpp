// Code page 949 text: decoding files, encoding the editor's text, and the mapping between
// byte positions and editor positions that the highlight relies on.
#include <gtest/gtest.h>

#include "engine/morse/Cp949Text.h"
#include "tests/engine/support/Cp949Literals.h"

using namespace cwt;

TEST(Cp949, HangulTakesTwoBytesAndRoundTrips) {
    const std::u16string text = u"CQ 한글 예얘 漢字 ㄱㅏ";
    const std::string bytes = Cp(text);
    EXPECT_EQ(bytes.size(), 3u + 4 + 1 + 4 + 1 + 4 + 1 + 4);
    EXPECT_EQ(cp949::Decode(bytes), text);
    EXPECT_EQ(Cp(u"예"), "\xBF\xB9");
    EXPECT_EQ(Cp(u"가"), "\xB0\xA1");
}

TEST(Cp949, FileBytesAreUtf8WhenValidElseCp949) {
    EXPECT_EQ(cp949::DecodeFileBytes("\xEF\xBB\xBF\xED\x95\x9C A"), u"한 A");   // UTF-8 with BOM
    EXPECT_EQ(cp949::DecodeFileBytes("\xC7\xD1 A"), u"한 A");                   // CP949
    EXPECT_EQ(cp949::DecodeFileBytes("plain"), u"plain");
    EXPECT_EQ(cp949::DecodeFileBytes(""), u"");
    // Broken bytes never vanish silently: each becomes a replacement character.
    EXPECT_EQ(cp949::DecodeFileBytes("A\xFF" "B"), u"A\uFFFD" "B");
    EXPECT_EQ(cp949::DecodeFileBytes("A\xC7"), u"A\uFFFD");
}

TEST(Cp949, Utf8ValidationRejectsWhatIsNotUtf8) {
    EXPECT_TRUE(cp949::IsValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(cp949::IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(cp949::IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(cp949::IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_FALSE(cp949::IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    const std::u16string smile = u"a\U0001F600b";
    EXPECT_EQ(cp949::Utf8ToUtf16(cp949::Utf16ToUtf8(smile)), smile);
}

TEST(Cp949Text, LineBreakCountsTwoBytesButIsOneEditorCharacter) {
    const auto t = Cp949Text::FromEditor(u"AB\n한C");
    EXPECT_EQ(t.bytes(), std::string("AB\r\n") + Cp(u"한") + "C");
    EXPECT_EQ(t.byteCount(), 7);
    EXPECT_EQ(t.charIndexAtByte(2), 2);  // CR
    EXPECT_EQ(t.charIndexAtByte(3), 2);  // LF
    EXPECT_EQ(t.charIndexAtByte(4), 3);  // lead byte of 한
    EXPECT_EQ(t.charIndexAtByte(5), 3);
    EXPECT_EQ(t.charIndexAtByte(6), 4);
    EXPECT_EQ(t.byteOffsetOfChar(3), 4);
    EXPECT_EQ(t.byteOffsetOfChar(5), 7);
}

TEST(Cp949Text, HighlightCoversExactlyTheUnitsCharacters) {
    const auto t = Cp949Text::FromEditor(u"[AR] 한\nX");
    // The sign letters A R: bytes 1..2 (0-based) are editor characters 1..2.
    EXPECT_EQ(t.charRangeOfBytes(1, 2), std::make_pair(1, 3));
    // 한: two bytes, one character.
    EXPECT_EQ(t.charRangeOfBytes(5, 2), std::make_pair(5, 6));
    // The CR alone still selects the whole line break.
    EXPECT_EQ(t.charRangeOfBytes(7, 1), std::make_pair(6, 7));
    EXPECT_EQ(t.charRangeOfBytes(8, 1), std::make_pair(6, 7));
    EXPECT_EQ(t.charRangeOfBytes(9, 1), std::make_pair(7, 8));
    // Out-of-range requests are clamped, never read past the text.
    EXPECT_EQ(t.charRangeOfBytes(100, 5), std::make_pair(8, 8));
}

TEST(Cp949Text, CharactersOutsideTheCodePageSendNothingButKeepTheirPlace) {
    const auto t = Cp949Text::FromEditor(u"A\U0001F600\u00E9B");
    EXPECT_EQ(t.unencodableCount(), 2);
    ASSERT_EQ(t.byteCount(), 1 + 2 + 2 + 1);
    EXPECT_TRUE(cp949::IsLeadByte(static_cast<uint8_t>(t.bytes()[1])));
    EXPECT_EQ(t.charRangeOfBytes(1, 2), std::make_pair(1, 3));  // the whole surrogate pair
    EXPECT_EQ(t.charRangeOfBytes(3, 2), std::make_pair(3, 4));
    EXPECT_EQ(t.charIndexAtByte(5), 4);
    EXPECT_FALSE(cp949::EncodeStrict(u"A\u00E9").has_value());
}

TEST(Cp949, FileLinesEndWithLineFeedsWhateverTheFileUsed) {
    EXPECT_EQ(cp949::DecodeFileLines("A\r\nB\rC\nD").text, u"A\nB\nC\nD\n");
    EXPECT_EQ(cp949::DecodeFileLines("\r\n\r\n").text, u"\n\n");
    EXPECT_EQ(cp949::DecodeFileLines("").text, u"");
    EXPECT_EQ(cp949::DecodeFileLines("\xEF\xBB\xBFX\n\xEF\xBB\xBF").text, u"X\n\uFEFF\n");
    EXPECT_EQ(cp949::DecodeFileLines("\xEF\xBB\xBF").text, u"");
}

TEST(Cp949, Utf16FilesWithAByteOrderMarkReadInEitherByteOrder) {
    // "한 A" CR LF "B", as Notepad saves it as "Unicode" and "Unicode big endian".
    const std::string le("\xFF\xFE\x5C\xD5\x20\x00\x41\x00\x0D\x00\x0A\x00\x42\x00", 14);
    const std::string be("\xFE\xFF\xD5\x5C\x00\x20\x00\x41\x00\x0D\x00\x0A\x00\x42", 14);
    for (const std::string& file : {le, be}) {
        const auto read = cp949::DecodeFileLines(file);
        EXPECT_EQ(read.text, u"한 A\nB\n");
        EXPECT_EQ(read.undecodable, 0);
        EXPECT_EQ(cp949::DecodeFileBytes(file), u"한 A\r\nB");
    }
    EXPECT_EQ(cp949::DecodeFileLines(std::string("\xFF\xFE", 2)).text, u"");
    // A character outside the Basic Multilingual Plane keeps its pair; a half without the
    // other half and an odd last byte are no characters.
    const std::string pairs("\xFF\xFE\x3D\xD8\x00\xDE\x00\xDC\x41\x00\x3D\xD8\x42", 13);
    const auto odd = cp949::DecodeFileLines(pairs);
    EXPECT_EQ(odd.text, u"\U0001F600\uFFFDA\uFFFD\uFFFD\n");
    EXPECT_EQ(odd.undecodable, 5);
}

TEST(Cp949, FileWrittenPartlyInUtf8AndPartlyInCp949ReadsRightOnEveryLine) {
    const std::string utf8 = "\xEC\x95\x88\xEB\x85\x95 CQ";  // 안녕 CQ
    const std::string cp949 = Cp(u"한글 DE");
    const auto file = cp949::DecodeFileLines(utf8 + "\r\n" + cp949 +
                                             "\r\nA\xFF"
                                             "B\r\n");
    EXPECT_EQ(file.text, u"안녕 CQ\n한글 DE\nA\uFFFDB\n");
    EXPECT_EQ(file.undecodable, 1);
    // A code page 949 line that happens to be valid UTF-8 of two-byte sequences only stays
    // code page 949 (a lone \xFF makes the file as a whole invalid UTF-8).
    const auto pair = cp949::DecodeFileLines("\xC2\xA1\n\xFF");
    EXPECT_EQ(pair.text, cp949::Decode("\xC2\xA1") + u"\n\uFFFD\n");
    EXPECT_NE(pair.text.substr(0, 1), u"\u00A1");
}

TEST(Cp949Text, ByteCountWithoutEncodingMatchesTheEncodedText) {
    for (const std::u16string& text :
         {std::u16string(u""), std::u16string(u"AB\n한C\n"), std::u16string(u"A\U0001F600\u00E9B"),
          std::u16string(u"\xD800x\xDC00\n"), std::u16string(u"漢字 ㄱㅏ [AR]\n\n")})
        EXPECT_EQ(cp949::EditorByteCount(text), Cp949Text::FromEditor(text).byteCount());
}
