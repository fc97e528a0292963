// Korean read back from the key: jamo composed into syllables as this program splits them, by
// the letters, by the gaps of its own spacing, and with digits and signs between.
#include <gtest/gtest.h>

#include "engine/decode/HangulComposer.h"
#include "engine/morse/Cp949Text.h"
#include "engine/morse/HanGulCtrlUnit.h"
#include "tests/engine/decode/support/DecodeHelpers.h"

namespace cwt {
namespace {

using decode::DecodedChar;
using decode::HangulComposer;
using decode::JamoJoin;

TEST(HangulDecoding, ComposesSyllablesWithFinalsCompoundVowelsAndDoubleConsonants) {
    // Finals followed by a syllable that starts with ㅇ (안아, 값이), compound finals (닭 없다
    // 앉다 읽 곬), compound vowels (과 왜 의 위 웨 워 외 뷁), ㅆ and ㄲ, and 예 and 얘, which
    // are sent as their vowel alone.
    const std::string text =
        "한글 값이 안아 닭 없다 앉다 꽃 쌀 까치 과일 왜 의사 위 웨 워 외 뷁 예요 얘기";
    EXPECT_EQ(test::ReadKorean(text, test::Ideal(20)), text);
    EXPECT_EQ(test::ReadKorean(text, test::Ideal(20, testgen::Spacing::Program())), text);
}

TEST(HangulDecoding, IsTheExactInverseOfTheSendersSplitForEverySyllable) {
    // Every syllable the program can send, four to a word, keyed as it sends them (read from
    // the stretches alone: a timer's ticks over 90 minutes of keying would only be slow).
    std::u16string text;
    for (char32_t s = kFirstSyllable; s <= kLastSyllable; ++s) {
        text += static_cast<char16_t>(s);
        if ((s - kFirstSyllable) % 4 == 3) text += u' ';
    }
    text += u"예 얘";
    const std::string utf8 = cp949::Utf16ToUtf8(text);
    const std::string read =
        test::ReadKorean(utf8, test::Ideal(30, testgen::Spacing::Program()), 0);
    ASSERT_EQ(read.size(), utf8.size());
    EXPECT_TRUE(read == utf8);  // not printed: 11,172 syllables
}

TEST(HangulDecoding, SyllableGapsDecideWhatTheLettersLeaveOpen) {
    // LELLE is 각가 or 가까, BEVLLE 닭가 or 달까, KUGGGD 있스 or 잇쓰: this program's 13-unit
    // syllable gap tells them apart.
    const std::string text = "가나다 각가 가까 닭가 달까 있스 잇쓰 각각 갂가";
    EXPECT_EQ(test::ReadKorean(text, test::Ideal(25, testgen::Spacing::Program())), text);
}

TEST(HangulDecoding, ReadsDigitsPunctuationAndSignsAsInEnglish) {
    const std::string text = "신호는 599 감사합니다. 주파수 7.025 [AR] 안녕 [SK]";
    EXPECT_EQ(test::ReadKorean(text, test::Ideal(20)), text);
    EXPECT_EQ(test::ReadKorean(text, test::Ideal(20, testgen::Spacing::Program())), text);
}

DecodedChar Letter(char latin) {
    DecodedChar c;
    c.text = std::string(1, latin);
    c.code = std::string(1, latin);
    c.confidence = 1;
    return c;
}

std::string Texts(const std::vector<DecodedChar>& chars) {
    std::string out;
    for (const DecodedChar& c : chars) out += (c.wordSpaceBefore ? " " : "") + c.text;
    return out;
}

TEST(HangulComposer, ShowsTheOpenSyllableAsPreeditAndCommitsWhatCanNoLongerChange) {
    HangulComposer composer;
    composer.add(Letter('J'), 'J', JamoJoin::Free);
    composer.add(Letter('E'), 'E', JamoJoin::Free);
    composer.add(Letter('F'), 'F', JamoJoin::Free);
    ASSERT_TRUE(composer.preedit());
    EXPECT_EQ(composer.preedit()->text, "한");
    EXPECT_EQ(composer.preedit()->code, "J E F");
    EXPECT_TRUE(composer.takeCommitted().empty());
    // A vowel after the ㄴ takes it as its initial: 한 becomes 하, and 나 opens.
    composer.add(Letter('E'), 'E', JamoJoin::Free);
    EXPECT_EQ(composer.preedit()->text, "하나");
    // A third syllable settles the first.
    for (char c : std::string("LD")) composer.add(Letter(c), c, JamoJoin::Free);
    EXPECT_EQ(Texts(composer.takeCommitted()), "하");
    EXPECT_EQ(composer.preedit()->text, "나그");
    composer.commit();
    EXPECT_EQ(Texts(composer.takeCommitted()), "나그");
    EXPECT_FALSE(composer.preedit());
}

TEST(HangulComposer, AWordGapHeardInsideASyllableDoesNotTearItApart) {
    // 한 다: a hand key's long pause between ㅎ and ㅏ is no word space, the one after ㄴ is.
    HangulComposer composer;
    composer.add(Letter('J'), 'J', JamoJoin::Free);
    composer.add(Letter('E'), 'E', JamoJoin::WordSpace, 0.7);
    composer.add(Letter('F'), 'F', JamoJoin::Free);
    composer.add(Letter('B'), 'B', JamoJoin::WordSpace, 0.7);
    composer.add(Letter('E'), 'E', JamoJoin::Free);
    composer.commit();
    EXPECT_EQ(Texts(composer.takeCommitted()), "한 다");
}

TEST(HangulComposer, ShowsLettersThatMakeNoSyllableAsJamo) {
    HangulComposer composer;
    for (char c : std::string("LLLE")) composer.add(Letter(c), c, JamoJoin::Free);
    composer.commit();
    EXPECT_EQ(Texts(composer.takeCommitted()), "ㄱ까");
}

}  // namespace
}  // namespace cwt
