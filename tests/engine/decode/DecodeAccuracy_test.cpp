// The decoding goals on seeded sets of synthetic keying with the spread of real fists, smaller
// than the benchmark's: a paddle read with no more than 0.1 % of characters wrong, a hand key
// with no more than 3 %, a straight key that speeds up from 12 to 18 WPM read as well, and no
// burst of errors after a step of speed.
#include <gtest/gtest.h>

#include "bench/gen/Trial.h"

namespace cwt {
namespace {

using testgen::KeyingStyle;
using testgen::RunTrial;
using testgen::Trial;
using testgen::TrialResult;

Trial Make(KeyingStyle style, double wpm, bool korean, uint64_t seed) {
    Trial t;
    t.style = style;
    t.wpm = wpm;
    t.korean = korean;
    t.characters = 1500;
    t.seed = seed;
    return t;
}

// The errors right after the steps are no more frequent than elsewhere, give or take two.
void ExpectNoBurstAfterSteps(const TrialResult& r) {
    ASSERT_GT(r.steps, 10);
    const double expected = r.characters.rate() * double(r.charactersAfterSteps);
    EXPECT_LE(double(r.errorsAfterSteps), 2 * expected + 2)
        << r.errorsAfterSteps << " errors in " << r.charactersAfterSteps << " characters";
}

TEST(DecodeAccuracy, PaddleKeyingIsReadWithAtMostOneCharacterInAThousandWrong) {
    for (double wpm : {15.0, 30.0}) {
        const TrialResult english = RunTrial(Make(KeyingStyle::Paddle, wpm, false, 101));
        EXPECT_LE(english.characters.rate(), 0.001) << wpm;
        ExpectNoBurstAfterSteps(english);
        const TrialResult korean = RunTrial(Make(KeyingStyle::Paddle, wpm, true, 102));
        EXPECT_LE(korean.jamo.rate(), 0.001) << wpm;
    }
}

TEST(DecodeAccuracy, HandKeyingIsReadWithAtMostThreeInAHundredWrong) {
    const TrialResult english = RunTrial(Make(KeyingStyle::HandKey, 18, false, 103));
    EXPECT_LE(english.characters.rate(), 0.03);
    ExpectNoBurstAfterSteps(english);
    const TrialResult korean = RunTrial(Make(KeyingStyle::HandKey, 18, true, 104));
    EXPECT_LE(korean.jamo.rate(), 0.03);
}

TEST(DecodeAccuracy, AStraightKeySpeedingUpFrom12To18WpmKeepsBeingRead) {
    Trial t = Make(KeyingStyle::HandKey, 12, false, 105);
    t.endWpm = 18;
    t.stepFactor = 1;
    EXPECT_LE(RunTrial(t).characters.rate(), 0.03);
}

TEST(DecodeAccuracy, ComputerKeyingInThisProgramsOwnSpacingIsReadExactly) {
    Trial t = Make(KeyingStyle::Computer, 20, true, 106);
    t.spacing = testgen::Spacing::Program();
    const TrialResult r = RunTrial(t);
    EXPECT_EQ(r.jamo.errors, 0);
    EXPECT_EQ(r.characters.errors, 0);
}

}  // namespace
}  // namespace cwt
