// How well the timing-to-text stage reads keying with the spread of real fists: synthetic
// keying (computer, paddle, hand key) of QSO-like English and of Korean, at several speeds,
// each line stepping its speed by ±30 % at its middle word. Prints the character error rate
// (Levenshtein, over at least 5,000 characters a point), for Korean also on the jamo sent, and
// the errors in the 10 characters after each step. It prints figures and does not pass or fail.
#include <cstdio>
#include <vector>

#include "bench/gen/Trial.h"

namespace {

using namespace cwt::testgen;

struct Point {
    const char* label;
    Trial trial;
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

void PrintRow(const Point& point, const TrialResult& r) {
    const Trial& t = point.trial;
    std::printf("%-28s %-8s %5.0f %6ld %7.3f %7.3f", point.label, StyleName(t.style), t.wpm,
                r.characters.symbols, 100 * r.characters.rate(), 100 * r.withSpaces.rate());
    if (t.korean)
        std::printf(" %7.3f", 100 * r.jamo.rate());
    else
        std::printf(" %7s", "-");
    if (r.steps > 0)
        std::printf(" %5ld %5ld %7.3f", r.steps, r.errorsAfterSteps,
                    100.0 * double(r.errorsAfterSteps) / double(r.charactersAfterSteps));
    else
        std::printf(" %5s %5s %7s", "-", "-", "-");
    std::printf(" %8.0f\n", double(r.characters.symbols) / r.decodeSeconds);
    std::fflush(stdout);
}

std::vector<Point> Points() {
    std::vector<Point> points;
    for (bool korean : {false, true}) {
        for (KeyingStyle style :
             {KeyingStyle::Computer, KeyingStyle::Paddle, KeyingStyle::HandKey}) {
            for (double wpm : {12.0, 20.0, 28.0, 35.0}) {
                Trial t;
                t.korean = korean;
                t.style = style;
                t.wpm = wpm;
                points.push_back({korean ? "Korean" : "English QSO", t});
            }
        }
    }
    for (KeyingStyle style : {KeyingStyle::Computer, KeyingStyle::Paddle, KeyingStyle::HandKey}) {
        Trial english;
        english.style = style;
        english.spacing = Spacing::Program();
        points.push_back({"English, own spacing 7/15", english});
        Trial korean = english;
        korean.korean = true;
        points.push_back({"Korean, own spacing 7/13/21", korean});
    }
    Trial farnsworth;
    farnsworth.wpm = 25;
    farnsworth.effectiveWpm = 10;
    points.push_back({"English, Farnsworth 25/10", farnsworth});
    farnsworth.style = KeyingStyle::HandKey;
    farnsworth.wpm = 20;
    points.push_back({"English, Farnsworth 20/10", farnsworth});
    Trial drift;
    drift.style = KeyingStyle::HandKey;
    drift.wpm = 12;
    drift.endWpm = 18;
    drift.stepFactor = 1;
    points.push_back({"English, drift 12 -> 18 WPM", drift});
    uint64_t seed = 1;
    for (Point& p : points) p.trial.seed = seed++;
    return points;
}

}  // namespace

int main() {
    std::printf(
        "Keyed decoding: character error rate in %% by Levenshtein. CER: blanks dropped (Korean: "
        "on syllables); +sp: word spaces counted as characters too; jamo: Korean on the jamo "
        "sent.\nEach line steps its speed by x1.3 or /1.3 at its middle word; after: errors in "
        "the %zu characters after each step, and their rate. Speeds in WPM by PARIS of 50 "
        "units.\n\n",
        kAfterStepCharacters);
    std::printf("%-28s %-8s %5s %6s %7s %7s %7s %5s %5s %7s %8s\n", "text", "keying", "WPM",
                "chars", "CER", "+sp", "jamo", "steps", "after", "after%", "chars/s");
    for (const Point& point : Points()) PrintRow(point, RunTrial(point.trial));
    return 0;
}
