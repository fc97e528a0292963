// What each sent byte and each sign text plays.
#include <gtest/gtest.h>

#include "engine/morse/SendDispatch.h"
#include "engine/morse/Timing.h"
#include "tests/engine/support/Cp949Literals.h"

using namespace cwt;

namespace {

std::string Codes(const SignPlan& plan) {
    std::string out;
    for (const auto& l : plan.letters) out += std::string(l.code) + "/";
    return out;
}

std::string Codes(const std::vector<PlannedBuffer>& buffers) {
    std::string out;
    for (const auto& b : buffers) out += std::string(b.code) + (b.syllableEnd ? "^" : "") + "/";
    return out;
}

}  // namespace

TEST(SignPlan, LettersRunTogetherAndEndWithTheCharacterGap) {
    const SignPlan ar = PlanSign("AR");
    EXPECT_EQ(Codes(ar), "SL/SLS!/");
    EXPECT_EQ(ar.letters[0].nextChar, 'R');
    EXPECT_EQ(ar.letters[1].nextChar, 0);
    EXPECT_EQ(ar.displayLetters, "AR");
    EXPECT_EQ(ar.firstLetter, 'A');
    EXPECT_EQ(ar.pictureRow, 0);
}

TEST(SignPlan, AnExclamationMarkBreaksTheJoining) {
    const SignPlan ka = PlanSign("K!A");
    EXPECT_EQ(Codes(ka), "LSL!/SL!/");
    EXPECT_EQ(ka.letters[0].nextChar, 'A');
    EXPECT_EQ(ka.displayLetters, "KA");
    EXPECT_EQ(Codes(PlanSign("BT!")), "LSSS/L!/");
    EXPECT_EQ(Codes(PlanSign("A!")), "SL!/");
}

TEST(SignPlan, ALoneExclamationMarkIsEightUnitsOfSilence) {
    const SignPlan gap = PlanSign("!");
    ASSERT_EQ(gap.letters.size(), 1u);
    EXPECT_EQ(gap.letters[0].code, " !");
    EXPECT_EQ(LayoutOf(gap.letters[0].code, false).totalUnits, 8);
    EXPECT_EQ(gap.firstLetter, 0);
    EXPECT_EQ(gap.displayLetters, "");
    EXPECT_EQ(gap.pictureRow, -1);
}

TEST(SignPlan, FiveLettersQueueFiveBuffers) {
    const SignPlan v = PlanSign("VVVVV!");
    ASSERT_EQ(v.letters.size(), 5u);
    EXPECT_EQ(v.letters[4].code, "SSSL!");
    EXPECT_EQ(v.letters[4].nextChar, 0);
}

TEST(CharPlan, TableRowsPlayWithTheCharacterGap) {
    CharPlan a = PlanChar('a', true, false);
    EXPECT_EQ(a.action, CharPlan::Action::PlayCode);
    EXPECT_EQ(a.code, "SL!");
    EXPECT_EQ(a.pictureRow, 0);
    EXPECT_FALSE(a.showsLetter);
    CharPlan e = PlanChar('E', true, true);
    EXPECT_TRUE(e.syllableEnd);
    // Live typing sends without the gap and shows the letter.
    CharPlan live = PlanChar('e', false, false);
    EXPECT_EQ(live.code, "S");
    EXPECT_TRUE(live.showsLetter);
}

TEST(CharPlan, TheBlankIsAWordSpaceWithoutPicture) {
    CharPlan space = PlanChar(' ', true, false);
    EXPECT_EQ(space.code, " !");
    EXPECT_EQ(space.pictureRow, -1);
    EXPECT_EQ(LayoutOf(space.code, false).totalUnits, 8);
    EXPECT_FALSE(space.showsLetter);
    // Typed live, the blank replaces the letter before it on the big display.
    EXPECT_TRUE(PlanChar(' ', false, false).showsLetter);
}

TEST(CharPlan, EveryControlByteIsDispatched) {
    const std::pair<uint8_t, const char*> signs[] = {
        {0, "BT!"}, {1, "AR"}, {2, "AS"}, {3, "BK"}, {4, "BT"}, {5, "HH"},
        {6, "K!A"}, {7, "KR"}, {8, "VA"}, {9, "VE"}, {22, "II"}};
    for (auto [byte, sign] : signs) {
        CharPlan p = PlanChar(byte, true, false);
        EXPECT_EQ(p.action, CharPlan::Action::SendSign) << int(byte);
        EXPECT_EQ(p.signText, sign) << int(byte);
    }
    CharPlan er = PlanChar(20, true, false);
    EXPECT_EQ(er.code, "SSSSSSSS");  // no gap mark, no picture
    EXPECT_EQ(er.pictureRow, -1);
    EXPECT_EQ(PlanChar(21, true, true).code, "SSSLS");
    EXPECT_FALSE(PlanChar(21, true, true).syllableEnd);
    EXPECT_EQ(PlanChar(17, true, true).code, "SSS SSL!");
    EXPECT_EQ(PlanChar(17, true, true).pictureRow, 49);
    EXPECT_EQ(PlanChar(18, true, false).code, "SS SSL!");
    for (int nothing : {10, 13, 11, 12, 14, 16, 19, 23, 31, int{'!'}, int{'#'}, int{'['}, 0x80, 0xFF})
        EXPECT_EQ(PlanChar(static_cast<uint8_t>(nothing), true, false).action, CharPlan::Action::Nothing) << int(nothing);
}

TEST(WholeSend, MarksFrameTheTextAndSignsKeepTheirOrder) {
    SendOptions marks{true, true};
    EXPECT_EQ(Codes(PlanWholeSend("[AR]E", marks)),
              "LSSS/L!/SL/SLS!/S!/SL/SLS!/");
    SendOptions plain{false, true};
    EXPECT_EQ(Codes(PlanWholeSend("E\r\nT", plain)), "S!/LSSS/L!/L!/");
    EXPECT_TRUE(PlanWholeSend("", marks).empty());
}

TEST(WholeSend, HangulLettersEndTheSyllableWithTheLongGap) {
    EXPECT_EQ(Codes(PlanWholeSend(Cp(u"가예"), {})), "SLSS!/S!^/SSS SSL!^/");
}

TEST(WholeSend, EachPieceOfTheUnitPlanEndsEverySignItBegins) {
    // A piece is played on its own, so a sign must never run on into the next piece: its last
    // letter (user value 0) lets the device close.
    // The planner reads the text where it lies, so the text must outlive it.
    const std::string text = Cp(u"CQ [AR] 한\r\n[BT]");
    WholeSendPlanner planner(text, {true, true});
    std::vector<PlannedBuffer> piece;
    int pieces = 0;
    while (planner.next(piece)) {
        if (piece.empty()) continue;  // a line feed plays nothing
        ++pieces;
        EXPECT_EQ(piece.back().userValue, 0) << "piece " << pieces;
        piece.clear();
    }
    EXPECT_FALSE(planner.next(piece));
    EXPECT_TRUE(piece.empty());
    EXPECT_GE(pieces, 8);
}
