// The INI reader and writer: the profile functions' reading rules, and writes that change
// one section only.
#include "engine/config/IniProfile.h"

#include <gtest/gtest.h>

using cwt::IniProfile;
using cwt::ProfileValueText;

TEST(IniProfile, KeysComeInFileOrderFromTheirOwnSectionOnly) {
    const IniProfile ini = IniProfile::Parse(
        "[Other]\nF1=not this\n[cw macros]\n; a comment\n  F3 = three\nno equals sign\n"
        "^A=a\n=nameless\nF3=again\n[Next]\nF9=nine\n");
    EXPECT_EQ(ini.Keys("CW Macros"), (std::vector<std::string>{"F3", "^A", "F3"}));
    EXPECT_EQ(ini.Value("CW Macros", "f3"), "three");  // the first of equal keys counts
    EXPECT_EQ(ini.Value("CW Macros", "F1"), std::nullopt);
    EXPECT_EQ(ini.Value("Missing", "F1"), std::nullopt);
    EXPECT_TRUE(ini.Keys("Missing").empty());
}

TEST(IniProfile, ValuesLoseBlanksAndOnePairOfQuotes) {
    EXPECT_EQ(ProfileValueText("  hello world \t"), "hello world");
    EXPECT_EQ(ProfileValueText("\" padded \""), " padded ");
    EXPECT_EQ(ProfileValueText("'single'"), "single");
    EXPECT_EQ(ProfileValueText("\"\"twice\"\""), "\"twice\"");
    EXPECT_EQ(ProfileValueText("\"open"), "\"open");
    EXPECT_EQ(ProfileValueText("'mixed\""), "'mixed\"");
    EXPECT_EQ(ProfileValueText("\""), "\"");
    EXPECT_EQ(ProfileValueText("[AS] CQ [BT]"), "[AS] CQ [BT]");
}

TEST(IniProfile, LongValuesAreReadWhole) {
    const std::string longText(5000, 'E');
    const IniProfile ini = IniProfile::Parse("[CW Macros]\r\nF1=" + longText + "\r\n");
    EXPECT_EQ(ini.Value("CW Macros", "F1"), longText);
}

TEST(IniProfile, ReplacingASectionLeavesEveryOtherLineAlone) {
    const std::string before =
        "\xEF\xBB\xBF; kept\r\n[First]\r\nA = 1 \r\n\r\n[CW Macros]\r\nF1=old\r\nF2=gone\r\n\r\n"
        "[Last]\r\nZ=\"z\"";
    IniProfile ini = IniProfile::Parse(before);
    ini.ReplaceSection("CW Macros", {{"F1", "new"}, {"^A", " spaced "}});
    EXPECT_EQ(ini.Serialize(),
              "\xEF\xBB\xBF; kept\r\n[First]\r\nA = 1 \r\n\r\n[CW Macros]\r\nF1=new\r\n"
              "^A= spaced \r\n\r\n[Last]\r\nZ=\"z\"\r\n");
}

TEST(IniProfile, NewSectionGoesLastAndAnEmptyOneDisappears) {
    IniProfile ini = IniProfile::Parse("[Other]\nx=1\n");
    ini.ReplaceSection("CW Macros", {{"F1", "34567"}});
    EXPECT_EQ(ini.Serialize(), "[Other]\nx=1\n[CW Macros]\nF1=34567\n");
    ini.ReplaceSection("CW Macros", {});
    EXPECT_EQ(ini.Serialize(), "[Other]\nx=1\n");

    IniProfile empty = IniProfile::Parse("");
    empty.ReplaceSection("CW Macros", {});
    EXPECT_EQ(empty.Serialize(), "");
}

TEST(IniProfile, RepeatedKeysMergeAndLineBreaksCannotMakeNewEntries) {
    IniProfile ini = IniProfile::Parse("");
    ini.ReplaceSection("CW Macros",
                       {{"F1", "first"}, {"^A", "a"}, {"f1", "second"}, {"F2", "one\r\nF3=two"}});
    EXPECT_EQ(ini.Serialize(), "[CW Macros]\nF1=second\n^A=a\nF2=one  F3=two\n");
    const IniProfile back = IniProfile::Parse(ini.Serialize());
    EXPECT_EQ(back.Keys("CW Macros"), (std::vector<std::string>{"F1", "^A", "F2"}));
}

TEST(IniProfile, EntriesCarryTheValueOfTheirOwnLineAndCanBeWrittenBackAsTheyAre) {
    const std::string text = "[CW Macros]\nF1=first\nF2 = \" two \"\nf1=second\n";
    IniProfile ini = IniProfile::Parse(text);
    const std::vector<IniProfile::Entry> entries = ini.Entries("cw macros");
    EXPECT_EQ(entries,
              (std::vector<IniProfile::Entry>{{"F1", "first"}, {"F2", " two "}, {"f1", "second"}}));
    EXPECT_EQ(ini.Value("CW Macros", "F1"), "first");
    ini.ReplaceSection("CW Macros", entries, IniProfile::RepeatedKeys::Keep);
    EXPECT_EQ(ini.Serialize(), "[CW Macros]\nF1=first\nF2= two \nf1=second\n");
    EXPECT_TRUE(ini.Entries("Missing").empty());
}
