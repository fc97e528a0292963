// The timing model: multiplier and ratio handlers, units and the longest layouts.
#include <gtest/gtest.h>

#include "engine/morse/MorseTable.h"
#include "engine/morse/SendDispatch.h"
#include "engine/morse/Timing.h"

using namespace cwt;

TEST(Timing, StartUpOrderGivesTheDocumentedValues) {
    TimingModel m;
    m.DotLength = 0;  // fields start at zero; the handlers fill them
    m.smallEditText = "12";
    m.largeEditText = "36";
    m.charDelayEditText = "10";
    ApplyRatio(m, 4);
    ApplyMultiplier(m, 4);
    EXPECT_EQ(m.LongShortRatio, 4);
    EXPECT_EQ(m.smallEditText, "15");
    EXPECT_EQ(m.largeEditText, "60");
    EXPECT_EQ(m.charDelayEditText, "60");
    EXPECT_EQ(m.DotLength, 150);
    EXPECT_EQ(m.DashLength, 600);
    EXPECT_EQ(m.CharDelay, 600);
    EXPECT_EQ(ToneUnit(4, m.DotLength), 750);
    EXPECT_EQ(DotMs(m.DotLength), 72);
}

TEST(Timing, RatioChangesNoLengthButTheMultiplierScalesAll) {
    TimingModel m;
    ApplyRatio(m, 8);
    EXPECT_EQ(m.DotLength, 150);
    EXPECT_EQ(m.DashLength, 1200);
    EXPECT_EQ(m.largeEditText, "120");
    EXPECT_EQ(m.CharDelay, 1200);
    ApplyMultiplier(m, 9);  // x10
    EXPECT_EQ(m.DotLength, 300);
    EXPECT_EQ(ToneUnit(4, m.DotLength), 2 * 750);
    EXPECT_EQ(DotMs(m.DotLength), 144);
}

TEST(Timing, UnitsAtTheExtremes) {
    EXPECT_EQ(ToneUnit(1, 30), 60);     // x1, width 1: 5.4 ms
    EXPECT_EQ(ToneUnit(10, 300), 3300); // x10, width 10
    EXPECT_EQ(ToneUnit(9, 150), 1500);
    EXPECT_EQ(ToneUnit(0, 150), 300);   // a typed 0 counts as 1
    EXPECT_EQ(ToneUnit(-3, 150), 300);
    EXPECT_EQ(DotMs(120), 57);
    EXPECT_EQ(DotMs(30), 14);
}

TEST(Timing, HiddenEditsChangeTheirFieldOnlyForValuesAboveZero) {
    EXPECT_EQ(HiddenEditField(" 15 "), 150);
    EXPECT_FALSE(HiddenEditField("0"));
    EXPECT_FALSE(HiddenEditField(""));
    EXPECT_FALSE(HiddenEditField("-5"));
    EXPECT_FALSE(HiddenEditField("abc"));  // not a number: left unchanged, never a crash
    EXPECT_FALSE(HiddenEditField("99999999999"));
}

TEST(Layout, UnitsOfLettersSignsAndSyllables) {
    EXPECT_EQ(LayoutOf("S!", false).totalUnits, 8);           // E: 1 + 1 + 6
    EXPECT_EQ(LayoutOf("SL!", false).totalUnits, 12);         // A
    EXPECT_EQ(LayoutOf("SLSS!", false).totalUnits, 16);       // L of 가
    EXPECT_EQ(LayoutOf("S!", true).totalUnits, 14);           // E ending 가
    EXPECT_EQ(LayoutOf("SSS", false).totalUnits, 6);
    EXPECT_EQ(LayoutOf("L!", true).totalUnits, 3 + 1 + 12);
    EXPECT_EQ(LayoutOf("   ", false).totalUnits, 6);
    EXPECT_EQ(LayoutOf("!", false).totalUnits, 8);
    EXPECT_EQ(LayoutOf("!", true).totalUnits, 14);
    EXPECT_EQ(LayoutOf("", false).totalUnits, 0);
}

TEST(Layout, TheLongestLayoutIsYeAtASyllableEnd) {
    // What a send can meet: any byte with the character gap, and the Hangul letters and
    // the placeholders of 예 and 얘 at a syllable end.
    int longest = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const auto b = static_cast<uint8_t>(byte);
        const bool endsSyllables = (b >= 'A' && b <= 'Z') || b == 17 || b == 18;
        for (bool syllableEnd : {false, true}) {
            if (syllableEnd && !endsSyllables) continue;
            const CharPlan plan = PlanChar(b, true, syllableEnd);
            if (plan.action == CharPlan::Action::PlayCode)
                longest = std::max(longest, LayoutOf(plan.code, plan.syllableEnd).totalUnits);
            for (const auto& letter : PlanSign(plan.signText).letters)
                longest = std::max(longest, LayoutOf(letter.code, false).totalUnits);
        }
    }
    EXPECT_EQ(longest, kLongestLayoutUnits);
    EXPECT_EQ(LayoutOf("SSS SSL!", true).totalUnits, 28);
    EXPECT_EQ(LayoutOf("LLLLL!", false).totalUnits, 26);
    // Which settings overflow one 65,535-byte slot.
    auto overflows = [](int multiplier, int width) {
        return ToneUnit(width, 30 * multiplier) * kLongestLayoutUnits > kSlotBytes;
    };
    EXPECT_FALSE(overflows(10, 6));
    EXPECT_TRUE(overflows(10, 7));
    EXPECT_FALSE(overflows(9, 7));
    EXPECT_TRUE(overflows(9, 8));
    EXPECT_TRUE(overflows(8, 9));
    EXPECT_FALSE(overflows(7, 10));
}
