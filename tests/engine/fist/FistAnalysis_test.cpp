// The fist figures and score: exact on ideal keying, and each known fault shown where it is.
#include "engine/fist/FistAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>

#include "bench/gen/Feed.h"
#include "bench/gen/FistGenerator.h"
#include "engine/decode/KeyedDecoder.h"
#include "engine/practice/EffectiveSpeed.h"

namespace cwt {
namespace {

using decode::ClassifiedStretch;
using decode::StretchKind;
using fist::AnalyzeFist;
using fist::FistOptions;
using fist::FistReport;

// What the decoder reads from keying of `text`, as the window would hand it over.
std::vector<ClassifiedStretch> Read(std::string_view text, const testgen::KeyingOptions& keying) {
    decode::KeyedDecoder decoder;
    testgen::Feed(decoder, testgen::KeyText(text, keying), 10, 3000);
    decoder.finish();
    std::vector<ClassifiedStretch> stretches = decoder.takeStretches();
    stretches.pop_back();  // the pause after the last letter is no gap of the fist
    return stretches;
}

testgen::KeyingOptions Ideal(double wpm, testgen::Spacing spacing = testgen::Spacing::Standard()) {
    testgen::KeyingOptions o;
    o.style = testgen::KeyingStyle::Ideal;
    o.wpm = wpm;
    o.spacing = spacing;
    return o;
}

// Keying written out by hand: each element as (kind, length in units) at 50 ms a unit.
std::vector<ClassifiedStretch> ByHand(const std::vector<std::pair<StretchKind, double>>& parts) {
    std::vector<ClassifiedStretch> out;
    double t = 0;
    for (const auto& [kind, units] : parts) {
        const bool mark = kind == StretchKind::Dot || kind == StretchKind::Dash;
        out.push_back({{mark, t, units * 50, mark ? 1.0 : 0.0}, kind, 50});
        t += units * 50;
    }
    return out;
}

// Dot-dash letters (A) again and again, with the lengths given in units.
std::vector<ClassifiedStretch> Letters(int count, double dot, double dash, double elementGap,
                                       double letterGap) {
    std::vector<std::pair<StretchKind, double>> parts;
    for (int i = 0; i < count; ++i) {
        parts.push_back({StretchKind::Dot, dot});
        parts.push_back({StretchKind::ElementGap, elementGap});
        parts.push_back({StretchKind::Dash, dash});
        if (i + 1 < count) parts.push_back({StretchKind::LetterGap, letterGap});
    }
    return ByHand(parts);
}

TEST(FistAnalysis, IdealKeyingScoresAHundredWithExactRatios) {
    const FistReport r = AnalyzeFist(Read("PARIS CQ TEST DE HL1ABC K", Ideal(20)));
    EXPECT_NEAR(r.score, 100, 1e-9);
    EXPECT_NEAR(r.dahDitRatio.mean, 3, 1e-9);
    EXPECT_NEAR(r.dahDitRatio.spread, 0, 1e-9);
    EXPECT_NEAR(r.weightPercent.mean, 50, 1e-9);
    EXPECT_NEAR(r.elementGapUnits.mean, 1, 1e-9);
    EXPECT_NEAR(r.letterGapUnits.mean, 3, 1e-9);
    EXPECT_NEAR(r.wordGapUnits.mean, 7, 1e-9);
    EXPECT_EQ(r.wordGapUnits.count, 5);
    EXPECT_NEAR(r.unitMs, 60, 1e-9);
    EXPECT_NEAR(r.wpm, WpmOfUnitMs(60), 1e-9);
    EXPECT_NEAR(r.driftWpmPerMinute, 0, 1e-6);
}

TEST(FistAnalysis, ShowsLongDashesHeavyWeightAndLongGapsForWhatTheyAre) {
    const FistReport dashes = AnalyzeFist(Letters(20, 1, 4, 1, 3));
    EXPECT_NEAR(dashes.dahDitRatio.mean, 4, 1e-9);
    EXPECT_NEAR(dashes.letterGapUnits.mean, 3, 1e-9);
    // ln(4/3) on every dash, a fifth of the weights: E = 0.2 ln(4/3) / (0.2 + 0.2 + 0.2 + 0.25).
    const double e = 0.2 * std::log(4.0 / 3.0) / 0.85 / 0.35;
    EXPECT_NEAR(dashes.score, 100 * std::exp(-e * e), 1e-9);

    // Dots 1.2 units and gaps 0.8: the same speed, keyed heavy.
    const FistReport heavy = AnalyzeFist(Letters(20, 1.2, 3.2, 0.8, 2.8));
    EXPECT_NEAR(heavy.unitMs, 50, 1e-9);
    EXPECT_NEAR(heavy.weightPercent.mean, 60, 1e-9);  // the keyer's 60 %: 0.2 on, 0.2 off
    EXPECT_LT(heavy.score, 95);

    const FistReport gaps = AnalyzeFist(Letters(20, 1, 3, 1, 5));
    EXPECT_NEAR(gaps.letterGapUnits.mean, 5, 1e-9);
    EXPECT_LT(gaps.score, dashes.score);
}

TEST(FistAnalysis, MeasuresSpreadAgainstTheOperatorsOwnDriftingSpeed) {
    testgen::KeyingOptions keying = Ideal(15);
    keying.endWpm = 25;
    const FistReport r =
        AnalyzeFist(Read("CQ CQ CQ DE HL1ABC HL1ABC K PSE QSL TNX FER QSO 73", keying));
    EXPECT_LT(r.wpmStart, r.wpmEnd);
    EXPECT_GT(r.driftWpmPerMinute, 0);
    // The speed changes a little from element to element, not the shape of the fist.
    EXPECT_NEAR(r.dahDitRatio.mean, 3, 0.1);
    EXPECT_GT(r.score, 95);
}

TEST(FistAnalysis, ScoresThisProgramsOwnSpacingAgainstItsOwnTargetsWhenAsked) {
    const std::vector<ClassifiedStretch> own =
        Read("CQ CQ DE HL1ABC K", Ideal(20, testgen::Spacing::Program()));
    FistOptions options;
    options.targets = fist::FistTargets::OwnSpacing();
    EXPECT_NEAR(AnalyzeFist(own, options).score, 100, 1e-9);
    const FistReport usual = AnalyzeFist(own);
    EXPECT_NEAR(usual.letterGapUnits.mean, 7, 1e-9);
    EXPECT_LT(usual.score, 80);
}

TEST(FistAnalysis, ScoresOnlyTheGapsOfAKeyerAndTheLettersItMadeWrong) {
    FistOptions keyer;
    keyer.keyerElements = true;
    // A keyer's 4:1 weighting is the keyer's, not the operator's fault.
    EXPECT_NEAR(AnalyzeFist(Letters(20, 1, 4, 1, 3), keyer).score, 100, 1e-9);
    EXPECT_LT(AnalyzeFist(Letters(20, 1, 4, 1, 4), keyer).score, 100);
    // An unwanted dit turned one letter of five into another: a fifth off the score.
    keyer.targetText = u"PARIS";
    keyer.decodedText = u"PARIH";
    const FistReport r = AnalyzeFist(Letters(20, 1, 3, 1, 3), keyer);
    EXPECT_EQ(r.textSymbols, 5);
    EXPECT_EQ(r.textErrors, 1);
    EXPECT_NEAR(r.timingScore, 100, 1e-9);
    EXPECT_NEAR(r.score, 80, 1e-9);
}

TEST(FistAnalysis, GivesNothingForNothing) {
    const FistReport r = AnalyzeFist({});
    EXPECT_EQ(r.score, 0);
    EXPECT_EQ(r.dahDitRatio.count, 0);
}

}  // namespace
}  // namespace cwt
