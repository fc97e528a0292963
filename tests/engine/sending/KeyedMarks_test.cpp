// Tones from the keyer's edges: handed out ahead, final once ended; a reset's cut shortens the
// tone it falls in, and removes one it falls before; a straight key's tone ends with its up
// edge, cut or not.
#include "engine/sending/KeyedMarks.h"

#include <gtest/gtest.h>

using namespace cwt;
using namespace std::chrono_literals;
using keyer::KeyEdge;

TEST(KeyedMarks, AToneHandedOutAheadIsFinalOnlyOnceEnded) {
    KeyedMarks marks;
    marks.add({true, 100ms}, false);
    marks.add({false, 150ms}, false);
    EXPECT_TRUE(marks.downAt(120ms));
    EXPECT_TRUE(marks.takeEnded(149ms).empty());
    const std::vector<KeyedMark> ended = marks.takeEnded(150ms);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].length(), 50ms);
    EXPECT_EQ(marks.lastUp(), 150ms);
    EXPECT_FALSE(marks.downAt(151ms));
}

TEST(KeyedMarks, ACutShortensTheToneItFallsInAndRemovesOneThatHadNotBegun) {
    KeyedMarks marks;
    marks.add({true, 100ms}, false);
    marks.add({false, 250ms}, false);
    marks.add({false, 180ms}, true);
    std::vector<KeyedMark> ended = marks.takeEnded(1s);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].up, 180ms);

    marks.add({true, 300ms}, false);
    marks.add({false, 350ms}, false);
    marks.add({false, 300ms}, true);  // at the instant it began: it never sounded
    EXPECT_TRUE(marks.takeEnded(1s).empty());
    EXPECT_EQ(marks.lastUp(), 180ms);
    // A cut with the key up, and an up edge after a tone taken, change nothing.
    marks.add({false, 400ms}, true);
    EXPECT_EQ(marks.lastUp(), 180ms);
}

TEST(KeyedMarks, AStraightKeysToneEndsWithItsUpEdge) {
    KeyedMarks marks;
    marks.add({true, 100ms}, false);
    EXPECT_TRUE(marks.downAt(5s));
    EXPECT_FALSE(marks.lastUp().has_value());
    marks.add({false, 900ms}, true);
    const std::vector<KeyedMark> ended = marks.takeEnded(1s);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].length(), 800ms);
}
