// Keyed text against the text asked: a sign is one symbol, Korean is set against the jamo, the
// part not keyed yet is no error while keying and counts as missed once the whole is judged, and
// an extra or a wrong symbol at the end reads as keyed, not as the rest still to come.
#include "engine/sending/SendingScore.h"

#include <gtest/gtest.h>

using namespace cwt;

TEST(SendingScore, ASignKeyedWrongCostsOneErrorAndReadsWithItsBrackets) {
    const SendingComparison c = CompareSending(Course::English, u"TU [SK]", u"TU [KN]", true);
    EXPECT_EQ(c.targetSymbols, 3);
    EXPECT_EQ(c.errors, 1);
    ASSERT_EQ(c.alignment.size(), 3u);
    EXPECT_EQ(SymbolText(c.alignment[2].sent), u"[SK]");
    EXPECT_EQ(SymbolText(c.alignment[2].copied), u"[KN]");
    // Brackets around no sign keep their characters; an unknown code is one symbol.
    EXPECT_EQ(SendingSymbols(Course::English, u"[XY]"), u"[XY]");
    const std::u16string unknown = SendingSymbols(Course::English, u"A<.-.-..>B");
    ASSERT_EQ(unknown.size(), 3u);
    EXPECT_EQ(SymbolText(unknown[1]), u"<?>");
}

TEST(SendingScore, WhileKeyingTheRestOfTheTextIsNoErrorButJudgedWholeItIsMissed) {
    const SendingComparison keying = CompareSending(Course::English, u"PARIS KMRSU", u"PARI");
    EXPECT_EQ(keying.errors, 0);
    EXPECT_EQ(keying.comparedSymbols, 4);
    EXPECT_EQ(keying.rest, u"SKMRSU");
    EXPECT_FALSE(keying.complete());

    const SendingComparison whole = CompareSending(Course::English, u"PARIS KMRSU", u"PARI", true);
    EXPECT_EQ(whole.errors, 6);

    // A wrong last letter is a wrong letter, and the text is then keyed whole.
    const SendingComparison wrongEnd = CompareSending(Course::English, u"PARIS", u"PARIH");
    EXPECT_EQ(wrongEnd.errors, 1);
    EXPECT_TRUE(wrongEnd.complete());
    // A letter keyed twice is one extra, not the next letter taken for another.
    const SendingComparison twice = CompareSending(Course::English, u"PARIS", u"PAARI");
    EXPECT_EQ(twice.errors, 1);
    EXPECT_EQ(twice.comparedSymbols, 4);
}

TEST(SendingScore, KoreanIsSetAgainstTheJamoKeyed) {
    // 한 keyed as 항: one jamo wrong, not the whole syllable.
    const SendingComparison c = CompareSending(Course::Korean, u"한국", u"항국", true);
    EXPECT_EQ(c.targetSymbols, 6);
    EXPECT_EQ(c.errors, 1);
    EXPECT_TRUE(c.complete());
}
