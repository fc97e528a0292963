// The level followed through fast fading: it must rise with a mark at once, hold over the
// spaces between marks, and stay true to the samples however often the speed moves its window.

#include <gtest/gtest.h>

#include <complex>
#include <random>

#include "engine/decode/LevelFollower.h"

namespace cwt {
namespace {

using decode::LevelFollower;

constexpr int kWindow = 15;  // half a dot at 20 WPM, in 2 ms baseband samples

double Feed(LevelFollower& f, std::complex<double> z, int samples, int window = kWindow,
            double noiseOfSum = 0.0) {
    double level = 0.0;
    for (int i = 0; i < samples; ++i) level = f.push(z, window, noiseOfSum);
    return level;
}

TEST(LevelFollower, RisesWithAMarkWithinAWindowAndHoldsOverTheGapAfterIt) {
    LevelFollower f;
    EXPECT_NEAR(Feed(f, {0.2, 0.0}, kWindow), 0.2, 1e-9);
    // A stronger mark after a fade, at another phase: its level as soon as the window is in it.
    EXPECT_NEAR(Feed(f, {0.0, -0.8}, kWindow), 0.8, 1e-9);
    // A letter gap (180 ms) later a mark of that level is still expected, not the silence.
    const double afterGap = Feed(f, {0.0, 0.0}, 90);
    EXPECT_GT(afterGap, 0.8 * 0.5);
    EXPECT_LT(afterGap, 0.8);
    // A faded mark is followed down, more slowly than up.
    EXPECT_NEAR(Feed(f, {0.1, 0.0}, 1000), 0.1, 1e-6);
}

TEST(LevelFollower, GivesNoiseAloneOnlyItsFloor) {
    std::mt19937_64 random(3);
    std::normal_distribution<double> gauss(0.0, std::sqrt(0.5));  // unit power per sample
    LevelFollower f;
    const double floor = 2.0 * std::sqrt(kWindow) / kWindow;  // two sigmas of the mean
    int above = 0;
    for (int i = 0; i < 5000; ++i)
        if (f.push({gauss(random), gauss(random)}, kWindow, kWindow) > 1.5 * floor) ++above;
    EXPECT_LT(above, 50);
}

TEST(LevelFollower, StaysTrueToTheSamplesWhenTheWindowChanges) {
    LevelFollower f;
    Feed(f, {0.5, 0.0}, 300);
    // The speed tracker moves the window by a sample or two now and then; a sum patched
    // instead of taken afresh would drift from the samples and never come back.
    for (int round = 0; round < 50; ++round) Feed(f, {0.5, 0.0}, 7, kWindow + round % 3);
    EXPECT_NEAR(Feed(f, {0.5, 0.0}, 1, kWindow - 4), 0.5, 1e-9);
    EXPECT_NEAR(Feed(f, {0.5, 0.0}, 1, 300), 0.5, 1e-9);  // beyond what it keeps
}

}  // namespace
}  // namespace cwt
