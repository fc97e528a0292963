// Key edges of code strings and whole sends: where tones start and end in units, silent
// elements and gap marks that key nothing, and letters that follow one another.
#include "engine/keying/KeySchedule.h"

#include <gtest/gtest.h>

#include "engine/morse/Timing.h"

using namespace cwt;

TEST(KeySchedule, TonesOfACodeStringAndTheGapsThatFollowThem) {
    // S, gap, L, gap, gap mark: the example of the element layout.
    const KeySchedule sl = KeyScheduleOfCode("SL!", false, 600);
    EXPECT_EQ(sl.edges,
              (std::vector<KeyEdge>{{0, true}, {600, false}, {1200, true}, {3000, false}}));
    EXPECT_EQ(sl.length, 7200);
    // A syllable end only lengthens the pause.
    EXPECT_EQ(KeyScheduleOfCode("SL!", true, 600).edges, sl.edges);
    EXPECT_EQ(KeyScheduleOfCode("SL!", true, 600).length, 7200 + 6 * 600);
    // Letters of a sign run together: one unit after the last element.
    EXPECT_EQ(KeyScheduleOfCode("LSL", false, 1).length, 3 + 1 + 1 + 1 + 3 + 1);
}

TEST(KeySchedule, SilentElementsAndTheWordSpaceKeyNothing) {
    // 예: S S S, a silent element, S S L.
    const std::vector<ToneSpan> ye = ToneSpansOf("SSS SSL!");
    ASSERT_EQ(ye.size(), 6u);
    EXPECT_EQ(ye[2], (ToneSpan{4, 1}));
    EXPECT_EQ(ye[3], (ToneSpan{8, 1})) << "the blank and its gap add two units";
    EXPECT_EQ(ye[5], (ToneSpan{12, 3}));
    EXPECT_TRUE(KeyScheduleOfCode(" !", false, 10).edges.empty());
    EXPECT_EQ(KeyScheduleOfCode(" !", false, 10).length, 80);
    // "!" alone is one silent element with the gap mark.
    EXPECT_TRUE(ToneSpansOf("!").empty());
    EXPECT_EQ(KeyScheduleOfCode("!", false, 1).length, 8);
}

TEST(KeySchedule, AWholeSendPutsEachBufferWhereTheOneBeforeEnded) {
    const std::vector<PlannedBuffer> plan = {{"S!", false, 0}, {" !", false, 0}, {"L!", true, 0}};
    const KeySchedule send = KeyScheduleOfSend(plan, 100);
    // E: 8 units, word space: 8 units, T at a syllable end: 3 + 1 + 12.
    EXPECT_EQ(send.edges,
              (std::vector<KeyEdge>{{0, true}, {100, false}, {1600, true}, {1900, false}}));
    EXPECT_EQ(send.length, 100 * (8 + 8 + 16));
    // Every tone ends before the next begins: the key never stays down across letters.
    const KeySchedule text = KeyScheduleOfSend(PlanWholeSend("CQ [AR] 73", {true, true}), 7);
    for (size_t i = 1; i < text.edges.size(); ++i) {
        EXPECT_NE(text.edges[i].down, text.edges[i - 1].down);
        EXPECT_GT(text.edges[i].at, text.edges[i - 1].at);
    }
}
