// The mark scorer's arithmetic: log I0 against the library's Bessel function on both sides of
// its two approximations, the bounds the segmenter prunes with never below the score (a mark
// passed over for a bound too low would be lost from the best path), and a likelihood ratio
// that is one on average over noise alone, whatever is known of the phase (weights that add up
// to less make every mark dearer than the priors say).
#include "engine/decode/SegmentScorers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace cwt::decode;

TEST(SegmentScorers, LogBesselI0FollowsTheLibrarysOnBothApproximations) {
    for (double x = 0.0; x <= 600.0; x += (x < 10.0 ? 0.01 : 0.37)) {
        const double exact = std::log(std::cyl_bessel_i(0.0, x));
        EXPECT_NEAR(LogBesselI0(x), exact, 1e-6 * std::max(1.0, exact)) << x;
    }
}

TEST(SegmentScorers, TheBoundsAreNeverBelowTheScoreAndTheCloserOneIsCloser) {
    // Noise a little coloured, as the baseband low-pass leaves it.
    CoherentScorer scorer({1.0, 0.6, 0.2, 0.05});
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> gauss(0.0, 1.0);
    int closer = 0;
    const int trials = 20000;
    for (int trial = 0; trial < trials; ++trial) {
        const double noise = std::pow(10.0, 4.0 * unit(random) - 2.0);
        const double amplitude = std::pow(10.0, 4.0 * unit(random) - 2.0);
        scorer.setLevels(noise, amplitude);
        scorer.setPhase(std::polar(1.0, 6.3 * unit(random)),
                        trial % 3 == 0 ? 0.0 : 20 * unit(random));
        scorer.allowFadeWithinMarks(trial % 2 == 0);
        scorer.setPhaseCarriedOver(unit(random));
        StretchSums sums;
        sums.length = 1 + static_cast<int>(600 * unit(random) * unit(random));
        // From pure noise to a mark well above it, in phase or not, halves alike or not.
        const double spread = std::sqrt(noise * scorer.sumVariance(sums.length));
        const double markSum = amplitude * sums.length * 3.0 * unit(random);
        sums.firstHalf = {spread * gauss(random) + markSum * unit(random), spread * gauss(random)};
        sums.sum =
            sums.firstHalf + std::complex<double>(spread * gauss(random),
                                                  spread * gauss(random) + markSum * unit(random));
        sums.level = trial % 4 == 0 ? amplitude * (0.2 + 2 * unit(random)) : 0.0;
        const double score = scorer.score(sums);
        ASSERT_TRUE(std::isfinite(score)) << trial;
        const double slack = 1e-9 * std::max(1.0, std::abs(score));
        const double closerBound = scorer.closerBound(sums);
        EXPECT_LE(score, closerBound + slack) << trial;
        EXPECT_LE(closerBound, scorer.bound(sums) + slack) << trial;
        if (closerBound < scorer.bound(sums) - 0.5) ++closer;
    }
    // It is there to pass over more marks than the cheap bound does.
    EXPECT_GT(closer, trials / 2);
}

TEST(SegmentScorers, OverNoiseAloneTheLikelihoodRatioIsOneOnAverage) {
    CoherentScorer scorer({1.0});  // white: a sum of n samples has n times one's variance
    constexpr int kLength = 30;
    constexpr double kNoise = 1.0;
    // A mark as weak as the noise, so that the ratio's spread stays small.
    scorer.setLevels(kNoise, std::sqrt(0.5 * kNoise / kLength));
    std::mt19937 random(11);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const auto noiseSum = [&](int n) {
        const double sigma = std::sqrt(kNoise * n / 2.0);  // each of the two parts
        return std::complex<double>(sigma * gauss(random), sigma * gauss(random));
    };
    for (const double belief : {0.0, 0.5, 1.0})
        for (const double kappa : {0.0, 3.0})
            for (const bool fading : {false, true}) {
                scorer.setPhaseCarriedOver(belief);
                scorer.setPhase(std::polar(1.0, 0.7), kappa);
                scorer.allowFadeWithinMarks(fading);
                double sum = 0.0;
                constexpr int kTrials = 200000;
                for (int trial = 0; trial < kTrials; ++trial) {
                    StretchSums sums;
                    sums.length = kLength;
                    sums.firstHalf = noiseSum(kLength / 2);
                    sums.sum = sums.firstHalf + noiseSum(kLength - kLength / 2);
                    sum += std::exp(scorer.score(sums));
                }
                EXPECT_NEAR(sum / kTrials, 1.0, 0.02)
                    << "belief " << belief << ", phase known by " << kappa << ", fading " << fading;
            }
}
