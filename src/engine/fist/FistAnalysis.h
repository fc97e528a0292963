#pragma once
// How well a stretch of keying was sent, measured against the operator's own speed: the
// figures a sending trainer shows, and one score.
//
// The unit at each point is the operator's own: half the mean of the dots and element gaps
// keyed around it (two dozen stretches either side), so a fist that speeds up or slows down is
// measured against itself, and a heavy weight shows as long dots and short gaps, not as a
// slower speed. Lengths are then in those units.
//
// Score, 0 to 100. Each mark and gap is compared with its ideal length (a dot 1 unit, a dash
// the target ratio, an element gap 1, a letter and a word gap their targets) by the logarithm
// of their ratio; e is the root mean square of these per kind, E their weighted mean:
//
//   straight key   E = 0.20 e(dot) + 0.20 e(dash) + 0.20 e(element gap)
//                      + 0.25 e(letter gap) + 0.15 e(word gap)
//   keyer          E = 0.60 e(letter gap) + 0.40 e(word gap)    (the keyer times the elements)
//
// (weights of kinds that did not occur are shared out among the others), and
//
//   timing score = 100 exp(-(E / 0.35)^2)
//
// so a fist within 5 % scores about 98, within 10 % about 92, within 20 % about 72 and within
// 30 % about 48. With a target text, the score is the timing score times the share of the
// target copied right by the decoded text (the copy practice's alignment: each character
// missed, added or taken for another costs one; Korean on jamo), so unwanted elements, which
// make wrong letters, cost what they spoil.

#include <span>
#include <string>

#include "engine/decode/Decoded.h"
#include "engine/practice/KochCourse.h"

namespace cwt::fist {

// What the gaps aim at, in units; a dash is `dahDitRatio` dots.
struct FistTargets {
    double dahDitRatio = 3;
    double elementGapUnits = 1;
    double letterGapUnits = 3;
    double wordGapUnits = 7;

    // The usual 1:3:1:3:7, the default.
    static FistTargets Standard() { return {}; }
    // This program's own spacing, for an operator who keys as it sends: letters 7 units
    // apart, words 15. Against the default a 7-unit letter gap is scored as more than twice
    // too long, as a trainer of the usual spacing should.
    static FistTargets OwnSpacing() { return {3, 1, 7, 15}; }
};

struct FistOptions {
    FistTargets targets;
    // The elements were made by a keyer (iambic, Ultimatic, a bug's dits): only the gaps are
    // the operator's, and unwanted elements show in the text.
    bool keyerElements = false;
    // The text that was to be sent and what was decoded; no text check when the target is
    // empty.
    std::u16string targetText;
    std::u16string decodedText;
    Course course = Course::English;
};

// A figure over the stretch: the mean and the standard deviation of its values.
struct Figure {
    double mean = 0;
    double spread = 0;
    int count = 0;
};

struct FistReport {
    Figure dahDitRatio;    // each dash over the operator's dot there
    Figure weightPercent;  // as the keyer's weight: 50 is even; each per cent above is a
                           // fiftieth of a unit longer on (a dit or a dah) and as much
                           // shorter off (the element gap after it)
    Figure elementGapUnits;
    Figure letterGapUnits;
    Figure wordGapUnits;
    double unitMs = 0;    // the mean unit
    double wpm = 0;       // its speed, in words a minute by this program's PARIS (74 units)
    double wpmStart = 0;  // the speed at the first and last mark, on a straight line
    double wpmEnd = 0;    //   fitted through the speed at every mark
    double driftWpmPerMinute = 0;
    double timingScore = 0;  // 0..100, see above
    int textSymbols = 0;     // characters of the target (jamo in Korean); 0 without one
    int textErrors = 0;
    double score = 0;  // 0..100: the timing score, times the text's accuracy if given
};

// The figures of a stretch of keying as the decoder read it (KeyedDecoder::takeStretches).
// Marks and gaps are taken as read; syllable gaps are not scored.
FistReport AnalyzeFist(std::span<const decode::ClassifiedStretch> stretches,
                       const FistOptions& options = {});

}  // namespace cwt::fist
