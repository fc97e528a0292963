// The Morse table, its lookups and the Hangul transliteration.
#include <gtest/gtest.h>

#include <set>

#include "engine/morse/HanGulCtrlUnit.h"
#include "engine/morse/MorseTable.h"

using namespace cwt;

TEST(MorseTable, CodesAreUniqueAndUseOnlyTheElementAlphabet) {
    std::set<std::string_view> seen;
    for (int row = 0; row < kMorseRowCount; ++row) {
        EXPECT_TRUE(seen.insert(MorseCodes[row]).second) << "row " << row;
        for (char c : MorseCodes[row]) EXPECT_TRUE(c == 'S' || c == 'L' || c == ' ') << row;
    }
    EXPECT_EQ(MorseCodes[kWordSpaceRow], " ");
}

TEST(MorseTable, IndexFoldsCaseAndRejectsUnsendableBytes) {
    EXPECT_EQ(MorseIndex('a'), 0);
    EXPECT_EQ(MorseIndex('A'), 0);
    EXPECT_EQ(MorseIndex('z'), 25);
    EXPECT_EQ(MorseIndex('1'), 26);
    EXPECT_EQ(MorseIndex('9'), 34);
    EXPECT_EQ(MorseIndex('0'), 35);
    EXPECT_EQ(MorseIndex('-'), 48);
    EXPECT_EQ(MorseIndex(' '), kWordSpaceRow);
    for (uint8_t b : {'!', '[', ']', '@', '#', '\t', '\r', '\n', '\0', '\x7F', '\x80', '\xFF', '\x11'})
        EXPECT_EQ(MorseIndex(b), -1) << int(b);
}

TEST(MorseTable, EveryRowIsReachableFromItsCharacter) {
    for (int row = 0; row < kYeRow; ++row) {
        const auto ch = static_cast<uint8_t>(MorseChars[row][0]);
        EXPECT_EQ(MorseIndex(ch), row);
        EXPECT_EQ(CodeOfChar(ch), MorseCodes[row]);
    }
}

TEST(MorseTable, CodeOfUnsendableByteIsOneSilentElement) {
    EXPECT_EQ(CodeOfChar('#'), " ");
    EXPECT_EQ(CodeOfChar(' '), " ");
    EXPECT_EQ(CodeOfChar('!'), " ");
}

TEST(MorseTable, CharOfCodeFindsSingleByteRowsOnly) {
    EXPECT_EQ(CharOfCode("SLSSLS"), '"');
    EXPECT_EQ(CharOfCode("LLLLL"), '0');
    EXPECT_EQ(CharOfCode("SLLLL"), '1');
    EXPECT_EQ(CharOfCode("SL"), 'A');
    EXPECT_EQ(CharOfCode("SSSSSSSS"), 0);
    EXPECT_EQ(CharOfCode("SSS SSL"), 0);
    EXPECT_EQ(CharOfCode("SSSLS"), 0);
    EXPECT_EQ(CharOfCode(""), 0);
    EXPECT_EQ(CharOfCode("SLX"), 0);
}

TEST(Hangul, TablesHaveTheirFixedWidths) {
    EXPECT_EQ(InitialLetters.size(), 38u);
    EXPECT_EQ(MedialLetters.size(), 42u);
    EXPECT_EQ(FinalLetters.size(), 56u);
}

TEST(Hangul, SyllablesBecomeTheirLetters) {
    const std::pair<char16_t, const char*> cases[] = {
        {u'가', "LE"},   {u'한', "JEF"},  {u'글', "LDV"},  {u'닭', "BEVL"}, {u'없', "KTWG"},
        {u'힣', "JUJ"},  {u'읽', "KUVL"}, {u'뷁', "WHYVL"}, {u'곬', "LAVG"}, {u'까', "LLE"},
        {u'쌍', "GGEK"}, {u'쭳', "PPHTVJ"}, {u'예', "KSU"}, {u'얘', "KIU"}};
    for (auto [syllable, letters] : cases) {
        auto result = HangulToLetters(syllable);
        ASSERT_TRUE(result.has_value()) << letters;
        EXPECT_EQ(*result, letters);
    }
}

TEST(Hangul, NonSyllablesGiveNothing) {
    for (char32_t cp : {U'ㄱ', U'ㅏ', U'漢', U'！', U'A', char32_t(0xABFF), char32_t(0xD7A4)})
        EXPECT_FALSE(HangulToLetters(cp).has_value()) << uint32_t(cp);
}

TEST(Hangul, EveryLetterOfEverySyllableHasItsJamo) {
    for (char32_t cp = kFirstSyllable; cp <= kLastSyllable; ++cp) {
        const auto letters = HangulToLetters(cp);
        ASSERT_TRUE(letters);
        ASSERT_GE(letters->size(), 2u);
        ASSERT_LE(letters->size(), 6u);
        for (char c : *letters) ASSERT_NE(JamoOfLetter(c), 0) << uint32_t(cp);
    }
}

TEST(Hangul, JamoLettersInvertTheLetterTables) {
    EXPECT_EQ(JamoOfLetter('A'), u'ㅗ');
    EXPECT_EQ(JamoOfLetter('J'), u'ㅎ');
    EXPECT_EQ(JamoOfLetter('E'), u'ㅏ');
    EXPECT_EQ(JamoOfLetter('F'), u'ㄴ');
    EXPECT_EQ(JamoOfLetter('Z'), u'ㅌ');
    EXPECT_EQ(JamoOfLetter('a'), 0);
    // Single-letter initials and medials map back to the jamo they came from.
    const char16_t initials[] = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
    for (int i = 0; i < 19; ++i) {
        const std::string_view entry = InitialLetters.substr(static_cast<size_t>(i) * 2, 2);
        if (entry[1] == ' ') {
            EXPECT_EQ(JamoOfLetter(entry[0]), initials[i]) << i;
        }
    }
}
