// How well the timing-to-text stage reads keying with the spread of real fists: synthetic
// keying (computer, paddle, hand key) of QSO-like English and of Korean, at several speeds,
// each line with a step of ±30 % in its middle. Prints the character error rate (Levenshtein,
// over at least 5,000 characters a point), for Korean also on jamo and on syllables, and the
// errors in the 10 characters after each step. It prints figures and does not pass or fail.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/gen/ErrorRate.h"
#include "bench/gen/Feed.h"
#include "bench/gen/FistGenerator.h"
#include "bench/gen/Symbols.h"
#include "bench/gen/TextGenerator.h"
#include "engine/decode/KeyedDecoder.h"

namespace {

using namespace cwt;
using testgen::ErrorTally;
using testgen::KeyingStyle;

constexpr size_t kSymbolsPerPoint = 5000;
constexpr double kStepFactor = 1.3;
constexpr size_t kAfterStep = 10;
constexpr double kLinePauseMs = 3000;
constexpr double kTickMs = 20;  // the key is watched as a window's timer would
// A session: one operator (with a key on/off imbalance of their own) keys this many lines into
// one decoder, as in one sitting of sending practice.
constexpr size_t kLinesPerSession = 10;

struct Point {
    const char* label;
    bool korean;
    KeyingStyle style;
    double wpm;
    testgen::Spacing spacing = testgen::Spacing::Standard();
    double effectiveWpm = 0;
    double endWpm = 0;  // a drift instead of a step
    bool steps = true;
};

struct Result {
    ErrorTally characters, withSpaces, jamo;
    long steps = 0;
    long errorsAfterSteps = 0;
    long symbolsAfterSteps = 0;
    double decodeSeconds = 0;
};

const char* StyleName(KeyingStyle style) {
    switch (style) {
        case KeyingStyle::Ideal:
            return "ideal";
        case KeyingStyle::Computer:
            return "computer";
        case KeyingStyle::Paddle:
            return "paddle";
        case KeyingStyle::HandKey:
            return "hand key";
    }
    return "";
}

size_t WordCount(const std::string& line) {
    size_t words = 1;
    for (char c : line) words += c == ' ';
    return words;
}

Result Run(const Point& point, uint64_t seed) {
    Result result;
    const std::vector<std::string> lines = point.korean
                                               ? testgen::KoreanLines(seed, kSymbolsPerPoint)
                                               : testgen::EnglishQsoLines(seed, kSymbolsPerPoint);
    decode::KeyedDecoder decoder({point.korean, 80, false});
    double t = 0;
    double imbalance = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i % kLinesPerSession == 0) {
            decoder = decode::KeyedDecoder({point.korean, 80, false});
            imbalance = testgen::DrawImbalance(seed * 1000 + i);
        }
        testgen::KeyingOptions options;
        options.style = point.style;
        options.wpm = point.wpm;
        options.spacing = point.spacing;
        options.effectiveWpm = point.effectiveWpm;
        options.endWpm = point.endWpm;
        options.seed = seed * 7919 + i;
        options.startMs = t;
        options.imbalanceDots = imbalance;
        const double factor = i % 2 == 0 ? kStepFactor : 1 / kStepFactor;
        if (point.steps) options.steps.push_back({WordCount(lines[i]) / 2, point.wpm * factor});
        const testgen::Keying keying = testgen::KeyText(lines[i], options);

        const auto start = std::chrono::steady_clock::now();
        testgen::Feed(decoder, keying, kTickMs, kLinePauseMs);
        const std::vector<decode::DecodedChar> read = decoder.takeCharacters();
        decoder.takeStretches();
        result.decodeSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        t = keying.endMs + kLinePauseMs;

        const std::u16string got = testgen::Symbols(testgen::DecodedText(read));
        result.characters.add(testgen::CharacterErrors(keying.sent, got));
        result.withSpaces.add(testgen::CharacterAndSpaceErrors(keying.sent, got));
        if (point.korean) result.jamo.add(testgen::JamoErrors(keying.sent, got));
        for (size_t step : keying.stepIndices) {
            ++result.steps;
            result.errorsAfterSteps += testgen::ErrorsWithin(keying.sent, got, step, kAfterStep);
            result.symbolsAfterSteps += kAfterStep;
        }
    }
    return result;
}

void PrintRow(const Point& point, const Result& r) {
    std::printf("%-26s %-8s %5.0f %7ld %8.3f %8.3f", point.label, StyleName(point.style), point.wpm,
                r.characters.symbols, 100 * r.characters.rate(), 100 * r.withSpaces.rate());
    if (point.korean)
        std::printf(" %8.3f", 100 * r.jamo.rate());
    else
        std::printf(" %8s", "-");
    if (r.steps > 0)
        std::printf(" %6ld %6ld %8.3f", r.steps, r.errorsAfterSteps,
                    100.0 * double(r.errorsAfterSteps) / double(r.symbolsAfterSteps));
    else
        std::printf(" %6s %6s %8s", "-", "-", "-");
    std::printf(" %9.0f\n", double(r.characters.symbols) / r.decodeSeconds);
}

}  // namespace

int main() {
    std::printf(
        "Keyed decoding: character error rate in %% (Levenshtein; chars = blanks dropped, "
        "+spaces = word spaces counted too; Korean chars = syllables, jamo = on the jamo sent).\n"
        "Each line steps its speed by x%.1f or /%.1f at its middle word; 'after' = errors in "
        "the %zu characters after each step, and their rate.\n\n",
        kStepFactor, kStepFactor, kAfterStep);
    std::printf("%-26s %-8s %5s %7s %8s %8s %8s %6s %6s %8s %9s\n", "text", "keying", "WPM",
                "chars", "CER", "+spaces", "jamo", "steps", "after", "after%", "chars/s");
    std::vector<Point> points;
    for (bool korean : {false, true}) {
        for (KeyingStyle style :
             {KeyingStyle::Computer, KeyingStyle::Paddle, KeyingStyle::HandKey}) {
            for (double wpm : {12.0, 20.0, 28.0, 35.0})
                points.push_back({korean ? "Korean" : "English QSO", korean, style, wpm});
        }
    }
    const testgen::Spacing program = testgen::Spacing::Program();
    points.push_back({"English, own 7/15 spacing", false, KeyingStyle::Computer, 20, program});
    points.push_back({"English, own 7/15 spacing", false, KeyingStyle::Paddle, 20, program});
    points.push_back({"English, own 7/15 spacing", false, KeyingStyle::HandKey, 20, program});
    points.push_back({"Korean, own 7/13/21", true, KeyingStyle::Computer, 20, program});
    points.push_back({"Korean, own 7/13/21", true, KeyingStyle::Paddle, 20, program});
    points.push_back({"Korean, own 7/13/21", true, KeyingStyle::HandKey, 20, program});
    points.push_back({"English, Farnsworth 25/10", false, KeyingStyle::Paddle, 25,
                      testgen::Spacing::Standard(), 10});
    points.push_back({"English, Farnsworth 20/10", false, KeyingStyle::HandKey, 20,
                      testgen::Spacing::Standard(), 10});
    points.push_back({"English, drift 12->18", false, KeyingStyle::HandKey, 12,
                      testgen::Spacing::Standard(), 0, 18, false});
    uint64_t seed = 1;
    for (const Point& point : points) PrintRow(point, Run(point, seed++));
    return 0;
}
