// The gap groups learned from the gaps themselves: the usual spacing, Farnsworth, this
// program's own (with syllables), and what they must not be fooled by.
#include "engine/decode/GapClusters.h"

#include <gtest/gtest.h>

#include <cmath>

namespace cwt {
namespace {

using decode::GapClusters;

// Gaps in units of a text whose letters have three elements and words four letters: two
// element gaps a letter, three letter gaps and one word gap a word.
void AddWords(GapClusters& gaps, int words, double letter, double word, double syllable = 0) {
    for (int w = 0; w < words; ++w) {
        for (int l = 0; l < 4; ++l) {
            gaps.add(std::log(1.0));
            gaps.add(std::log(1.0));
            if (l < 3) gaps.add(std::log(syllable > 0 && l == 1 ? syllable : letter));
        }
        gaps.add(std::log(word));
    }
}

double Units(const decode::GapCluster& c) { return std::exp(c.center); }

TEST(GapClusters, LearnsTheLetterAndWordGapsOfTheUsualSpacingAndOfFarnsworth) {
    GapClusters usual(false);
    AddWords(usual, 6, 3, 7);
    EXPECT_NEAR(Units(usual.element()), 1, 0.01);
    EXPECT_NEAR(Units(usual.letter()), 3, 0.05);
    EXPECT_NEAR(Units(usual.word()), 7, 0.1);
    EXPECT_FALSE(usual.syllable());

    GapClusters farnsworth(false);
    AddWords(farnsworth, 6, 14.8, 34.6);
    EXPECT_NEAR(Units(farnsworth.letter()), 14.8, 0.3);
    EXPECT_NEAR(Units(farnsworth.word()), 34.6, 0.7);
}

TEST(GapClusters, FindsSyllableGapsOnlyWhereTheyHaveThisProgramsLengths) {
    GapClusters own(true);
    AddWords(own, 8, 7, 21, 13);
    ASSERT_TRUE(own.syllable());
    EXPECT_NEAR(Units(own.letter()), 7, 0.1);
    EXPECT_NEAR(Units(*own.syllable()), 13, 0.2);
    EXPECT_NEAR(Units(own.word()), 21, 0.4);

    // Three groups of gaps, but the lengths of no spacing that sets syllables apart.
    GapClusters other(true);
    AddWords(other, 8, 3, 9, 5);
    EXPECT_FALSE(other.syllable());
}

TEST(GapClusters, KeepsPausesOutAndFollowsANewUnit) {
    GapClusters gaps(false);
    AddWords(gaps, 6, 3, 7);
    EXPECT_TRUE(gaps.isPause(std::log(60.0)));
    EXPECT_FALSE(gaps.isPause(std::log(9.0)));
    for (int i = 0; i < 5; ++i) gaps.add(std::log(60.0));  // the operator stopped, five times
    EXPECT_NEAR(Units(gaps.word()), 7, 0.1);
    // The unit was found to be twice as long: every gap so far is half as many units.
    gaps.rescale(std::log(2.0));
    EXPECT_NEAR(Units(gaps.letter()), 1.5, 0.03);
}

}  // namespace
}  // namespace cwt
