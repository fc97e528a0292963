// Tidying the text before a send, bracketed signs, and the scan into send units.
#include <gtest/gtest.h>

#include <vector>

#include "engine/morse/SendScanner.h"
#include "engine/morse/TextPrep.h"
#include "tests/engine/support/Cp949Literals.h"

using namespace cwt;

namespace {

std::vector<SendUnit> ScanAll(std::string_view text, int start = 1, bool sentenceEnd = true) {
    SendScanner scanner(text, start, sentenceEnd);
    std::vector<SendUnit> units;
    while (auto unit = scanner.next()) units.push_back(*unit);
    return units;
}

// The play display line the units would write, as the window builds it.
std::string DisplayLine(const std::vector<SendUnit>& units) {
    std::string line;
    for (const auto& u : units)
        if (u.display == SendUnit::Display::Cell) line += u.cell;
    return line;
}

// Everything sent, with signs written as <TOKEN!>.
std::string Sent(const std::vector<SendUnit>& units) {
    std::string out;
    for (const auto& u : units) out += u.isSign() ? "<" + u.token + "!>" : u.bytesToSend;
    return out;
}

}  // namespace

TEST(Tidy, CollapseReducesBlankRunsAndDropsOuterLineBreaks) {
    EXPECT_EQ(CollapseSpaces("A     B"), "A B");
    EXPECT_EQ(CollapseSpaces("A  B   C    D         E"), "A B C D E");
    EXPECT_EQ(CollapseSpaces("\r\n\r\n A\r\n\r\n"), " A");
    EXPECT_EQ(CollapseSpaces("A\t\tB"), "A\t\tB");  // tabs stay
    EXPECT_EQ(CollapseSpaces(" A "), " A ");         // one outer blank stays
    EXPECT_EQ(CollapseSpaces("\n\rA"), "\n\rA");     // only CR LF pairs are line breaks
    EXPECT_EQ(CollapseSpacesEditor(u"\n\n A  한\n\n"), u" A 한");
}

TEST(Tidy, TrimRemovesOuterBlanksAndControls) {
    EXPECT_EQ(TrimBlanksAndControls("\t \r\nA B\r\n \x01"), "A B");
    EXPECT_EQ(TrimBlanksAndControls(" \r\n "), "");
    EXPECT_EQ(TrimBlanksAndControlsEditor(u"\n 한 글 \n"), u"한 글");
}

TEST(Tidy, OptionsChooseTheRuleDifferentlyAtSendAndAtFileOpen) {
    EXPECT_EQ(SendTidying(true, false), Tidying::CollapseSpaces);
    EXPECT_EQ(SendTidying(false, true), Tidying::Trim);
    EXPECT_EQ(SendTidying(false, false), Tidying::None);
    EXPECT_EQ(FileOpenTidying(false, true), Tidying::None);  // loaded exactly as read
    EXPECT_EQ(FileOpenTidying(true, true), Tidying::CollapseSpaces);
    EXPECT_EQ(FileOpenTidying(true, false), Tidying::Trim);
}

TEST(BracketSign, ParsesAtMostFiveLettersBeforeTheClosingBracket) {
    EXPECT_EQ(ParseBracketSign("AR] TEST").closingIndex, 3);
    EXPECT_EQ(ParseBracketSign("AR] TEST").token, "AR");
    EXPECT_EQ(ParseBracketSign("VVVVV]").token, "VVVVV");
    EXPECT_EQ(ParseBracketSign("ABCDEF]").closingIndex, 0);
    EXPECT_EQ(ParseBracketSign("]AB").closingIndex, 1);
    EXPECT_EQ(ParseBracketSign("]AB").token, "");
    EXPECT_EQ(ParseBracketSign("12]").token, "");
    EXPECT_EQ(ParseBracketSign("A1]").token, "A");
    EXPECT_EQ(ParseBracketSign("sk]").token, "sk");
    EXPECT_EQ(ParseBracketSign("").closingIndex, 0);
}

TEST(Scan, SignThenWordsShowAsTheyAreSent) {
    const auto units = ScanAll("[AR] TEST");
    ASSERT_EQ(units.size(), 6u);
    EXPECT_TRUE(units[0].isSign());
    EXPECT_EQ(units[0].position, 2);
    EXPECT_EQ(units[0].length, 2);
    EXPECT_EQ(DisplayLine(units), "|[AR]| |T|E|S|T");
    EXPECT_EQ(Sent(units), "<AR!> TEST");
}

TEST(Scan, BracketCornerCases) {
    EXPECT_EQ(Sent(ScanAll("[K]A")), "<K!>A");
    EXPECT_EQ(Sent(ScanAll("[]AB")), "AB");
    EXPECT_EQ(Sent(ScanAll("[][AR]")), "[AR]");  // the second '[' is plain text
    EXPECT_EQ(Sent(ScanAll("[12]")), "12]");
    EXPECT_EQ(Sent(ScanAll("[ABCDEF]")), "ABCDEF]");
    EXPECT_EQ(Sent(ScanAll("[sk]")), "<sk!>");
    EXPECT_EQ(Sent(ScanAll("AB[")), "AB");
    EXPECT_EQ(Sent(ScanAll("[")), "");
    EXPECT_EQ(Sent(ScanAll("[]")), "");
}

TEST(Scan, ALastBracketStillCountsAsTheWholeTextSent) {
    SendScanner scanner("A[", 1, true);
    while (scanner.next()) {
    }
    EXPECT_TRUE(scanner.passedEnd());
}

TEST(Scan, HangulBecomesLettersWithPlaceholdersForYeAndYae) {
    const auto units = ScanAll(Cp(u"한예요얘漢"));
    ASSERT_EQ(units.size(), 5u);
    EXPECT_EQ(units[0].bytesToSend, "JEF");
    EXPECT_TRUE(units[0].syllable);
    EXPECT_EQ(units[1].bytesToSend, "\x11");
    EXPECT_FALSE(units[1].syllable);
    EXPECT_EQ(units[2].bytesToSend, "KN");
    EXPECT_EQ(units[3].bytesToSend, "\x12");
    EXPECT_EQ(units[4].bytesToSend, "");
    for (const auto& u : units) {
        EXPECT_TRUE(u.hangul);
        EXPECT_EQ(u.length, 2);
    }
    EXPECT_EQ(DisplayLine(units), "|JEF" + std::string("|") + Cp(u"예") + "|KN|" + Cp(u"얘") + "|");
}

TEST(Scan, LineEndsSendBtOnlyWithTheSentenceEndMark) {
    auto units = ScanAll("A\r\nB", 1, true);
    ASSERT_EQ(units.size(), 4u);
    EXPECT_EQ(units[1].bytesToSend, "\x04");
    EXPECT_EQ(units[1].display, SendUnit::Display::None);
    EXPECT_EQ(units[2].display, SendUnit::Display::NewLine);
    EXPECT_EQ(ScanAll("A\r\nB", 1, false)[1].bytesToSend, "\r");
    EXPECT_EQ(ScanAll("A\tB")[1].bytesToSend, "\t");  // a tab sends VE
}

TEST(Scan, ResumesFromAGivenPositionAndCountsBytes) {
    const std::string text = Cp(u"AB한C");
    const auto units = ScanAll(text, 3);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].position, 3);
    EXPECT_EQ(units[0].nextPosition, 5);
    EXPECT_EQ(units[1].nextPosition, 6);
    EXPECT_TRUE(ScanAll(text, 99).empty());
    EXPECT_EQ(ScanAll(text, 0).size(), 4u);  // a position before the text starts at 1
}

TEST(Scan, ALeadByteWithoutItsPartnerIsTakenAlone) {
    const auto units = ScanAll("A\xC7");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].length, 1);
    EXPECT_EQ(units[1].bytesToSend, "");
    EXPECT_TRUE(units[1].hangul);
}
