// The synthetic fist the decoding tests and benchmarks stand on: exact lengths when ideal, the
// spreads of real fists when not, the program's own spacing, Farnsworth, steps, and the same
// keying for the same seed.
#include "bench/gen/FistGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "bench/gen/TextGenerator.h"

namespace cwt {
namespace {

using decode::StretchKind;
using testgen::KeyingOptions;
using testgen::KeyingStyle;
using testgen::KeyText;
using testgen::Spacing;

double TotalMs(const testgen::Keying& k) { return k.endMs - k.stretches.front().startMs; }

KeyingOptions Options(KeyingStyle style, double wpm, Spacing spacing = Spacing::Standard()) {
    KeyingOptions o;
    o.style = style;
    o.wpm = wpm;
    o.spacing = spacing;
    return o;
}

TEST(FistGenerator, KeysIdealLengthsInTheUsualAndThisProgramsSpacing) {
    // PARIS without its word gap: 31 units of elements and 4 letter gaps.
    EXPECT_DOUBLE_EQ(TotalMs(KeyText("PARIS", Options(KeyingStyle::Ideal, 20))),
                     (31 + 4 * 3) * 60.0);
    EXPECT_DOUBLE_EQ(TotalMs(KeyText("PARIS", Options(KeyingStyle::Ideal, 20, Spacing::Program()))),
                     (31 + 4 * 7) * 60.0);
    // A word gap: 7 units, or 15 after a letter and 21 after a syllable in the program's own.
    const auto gapAfterFirst = [](const testgen::Keying& k) {
        for (size_t i = 0; i < k.kinds.size(); ++i)
            if (k.kinds[i] == StretchKind::WordGap) return k.stretches[i].lengthMs;
        return 0.0;
    };
    EXPECT_DOUBLE_EQ(gapAfterFirst(KeyText("E E", Options(KeyingStyle::Ideal, 20))), 7 * 60.0);
    EXPECT_DOUBLE_EQ(
        gapAfterFirst(KeyText("E E", Options(KeyingStyle::Ideal, 20, Spacing::Program()))),
        15 * 60.0);
    EXPECT_DOUBLE_EQ(
        gapAfterFirst(KeyText("가 가", Options(KeyingStyle::Ideal, 20, Spacing::Program()))),
        21 * 60.0);
}

TEST(FistGenerator, KeysHangulAsTheProgramSplitsIt) {
    // 한 = J E F, 13 units to the next syllable; 예 = S and U only, three units apart.
    const testgen::Keying k = KeyText("한예", Options(KeyingStyle::Ideal, 20, Spacing::Program()));
    std::vector<double> gaps;
    for (size_t i = 0; i < k.kinds.size(); ++i)
        if (k.kinds[i] != StretchKind::ElementGap && !k.stretches[i].mark)
            gaps.push_back(k.stretches[i].lengthMs / 60);
    EXPECT_EQ(gaps, (std::vector<double>{7, 7, 13, 3}));
    EXPECT_EQ(k.sent, u"한예");
}

TEST(FistGenerator, StretchesTheGapsForFarnsworthSoPARISTakesItsEffectiveTime) {
    // "PARIS " ten times at 25 WPM in letters, 10 WPM on the whole: one a 6 seconds.
    std::string text;
    for (int i = 0; i < 10; ++i) text += "PARIS ";
    KeyingOptions o = Options(KeyingStyle::Ideal, 25);
    o.effectiveWpm = 10;
    const testgen::Keying k = KeyText(text, o);
    const double wordGapMs = 7 * 48.0 * testgen::FarnsworthStretch(Spacing::Standard(), 25, 10);
    EXPECT_NEAR(TotalMs(k) + wordGapMs, 10 * 6000.0, 1e-6);
}

TEST(FistGenerator, SpreadsAsTheKeyingStyleDoes) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "TEST MOM ";
    auto logSpreadOf = [&](KeyingStyle style, StretchKind kind) {
        KeyingOptions o = Options(style, 20);
        o.seed = 7;
        const testgen::Keying k = KeyText(text, o);
        std::vector<double> logs;
        for (size_t i = 0; i < k.kinds.size(); ++i)
            if (k.kinds[i] == kind) logs.push_back(std::log(k.stretches[i].lengthMs));
        const double mean = std::accumulate(logs.begin(), logs.end(), 0.0) / double(logs.size());
        double sq = 0;
        for (double x : logs) sq += (x - mean) * (x - mean);
        return std::sqrt(sq / double(logs.size()));
    };
    EXPECT_NEAR(logSpreadOf(KeyingStyle::HandKey, StretchKind::Dash), 0.3, 0.03);
    EXPECT_NEAR(logSpreadOf(KeyingStyle::HandKey, StretchKind::Dot), 0.15, 0.02);
    EXPECT_NEAR(logSpreadOf(KeyingStyle::Paddle, StretchKind::LetterGap), 0.2, 0.03);
    EXPECT_NEAR(logSpreadOf(KeyingStyle::Paddle, StretchKind::Dash), 0.016, 0.005);
    EXPECT_NEAR(logSpreadOf(KeyingStyle::Ideal, StretchKind::Dash), 0, 1e-9);
}

TEST(FistGenerator, StepsTheSpeedAtAWordAndSaysWhere) {
    KeyingOptions o = Options(KeyingStyle::Ideal, 20);
    o.steps.push_back({2, 30});
    const testgen::Keying k = KeyText("AB CD EF", o);
    ASSERT_EQ(k.stepIndices, (std::vector<size_t>{6}));
    EXPECT_EQ(k.sent.substr(6), u"EF");
    EXPECT_DOUBLE_EQ(k.stretches.front().lengthMs, 60);                  // A's dot at 20 WPM
    EXPECT_DOUBLE_EQ(k.stretches[k.stretches.size() - 1].lengthMs, 40);  // F's last dot at 30
}

TEST(FistGenerator, GivesTheSameKeyingAndTextsForTheSameSeed) {
    KeyingOptions o = Options(KeyingStyle::HandKey, 20);
    o.seed = 3;
    const auto a = KeyText("CQ CQ DE HL1ABC", o);
    const auto b = KeyText("CQ CQ DE HL1ABC", o);
    o.seed = 4;
    const auto c = KeyText("CQ CQ DE HL1ABC", o);
    ASSERT_EQ(a.stretches.size(), b.stretches.size());
    for (size_t i = 0; i < a.stretches.size(); ++i)
        EXPECT_EQ(a.stretches[i].lengthMs, b.stretches[i].lengthMs);
    EXPECT_NE(a.stretches[0].lengthMs, c.stretches[0].lengthMs);
    EXPECT_EQ(testgen::EnglishQsoLines(9, 300), testgen::EnglishQsoLines(9, 300));
    EXPECT_EQ(testgen::KoreanLines(9, 300, 3), testgen::KoreanLines(9, 300, 3));
    EXPECT_NE(testgen::KoreanLines(9, 300), testgen::KoreanLines(10, 300));
}

}  // namespace
}  // namespace cwt
