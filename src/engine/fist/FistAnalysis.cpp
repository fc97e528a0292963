#include "engine/fist/FistAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "engine/practice/CopyScore.h"
#include "engine/practice/EffectiveSpeed.h"

namespace cwt::fist {

namespace {

using decode::ClassifiedStretch;
using decode::StretchKind;

constexpr size_t kUnitReach = 24;  // stretches either side that set the local unit
constexpr double kScoreScale = 0.35;

enum Kind { kDot, kDash, kElementGap, kLetterGap, kWordGap, kKinds };

int KindOf(StretchKind kind) {
    switch (kind) {
        case StretchKind::Dot:
            return kDot;
        case StretchKind::Dash:
            return kDash;
        case StretchKind::ElementGap:
            return kElementGap;
        case StretchKind::LetterGap:
            return kLetterGap;
        case StretchKind::WordGap:
            return kWordGap;
        case StretchKind::SyllableGap:
            break;
    }
    return -1;
}

class Accumulator {
public:
    void add(double x) {
        ++m_count;
        m_sum += x;
        m_squares += x * x;
    }
    Figure figure() const {
        Figure f;
        f.count = m_count;
        if (m_count == 0) return f;
        f.mean = m_sum / m_count;
        f.spread = std::sqrt(std::max(0.0, m_squares / m_count - f.mean * f.mean));
        return f;
    }
    double rootMeanSquare() const { return m_count == 0 ? 0 : std::sqrt(m_squares / m_count); }
    int count() const { return m_count; }

private:
    int m_count = 0;
    double m_sum = 0;
    double m_squares = 0;
};

// The operator's unit at each stretch: half the mean dot plus the mean element gap keyed
// within reach, from running sums. Where there is none (a run of dashes and letter gaps) the
// decoder's own estimate stands, scaled as the local units relate to it on the whole.
std::vector<double> LocalUnits(std::span<const ClassifiedStretch> stretches) {
    const size_t n = stretches.size();
    std::vector<double> dotSum(n + 1, 0), dotCount(n + 1, 0), gapSum(n + 1, 0), gapCount(n + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        const bool dot = stretches[i].kind == StretchKind::Dot;
        const bool gap = stretches[i].kind == StretchKind::ElementGap;
        dotSum[i + 1] = dotSum[i] + (dot ? stretches[i].stretch.lengthMs : 0);
        dotCount[i + 1] = dotCount[i] + (dot ? 1 : 0);
        gapSum[i + 1] = gapSum[i] + (gap ? stretches[i].stretch.lengthMs : 0);
        gapCount[i + 1] = gapCount[i] + (gap ? 1 : 0);
    }
    std::vector<double> units(n, 0);
    double ratioSum = 0;
    int ratioCount = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t from = i > kUnitReach ? i - kUnitReach : 0;
        const size_t to = std::min(n, i + kUnitReach + 1);
        const double dots = dotCount[to] - dotCount[from];
        const double gaps = gapCount[to] - gapCount[from];
        if (dots == 0 || gaps == 0) continue;
        units[i] = ((dotSum[to] - dotSum[from]) / dots + (gapSum[to] - gapSum[from]) / gaps) / 2;
        if (stretches[i].unitMs > 0) {
            ratioSum += units[i] / stretches[i].unitMs;
            ++ratioCount;
        }
    }
    const double scale = ratioCount > 0 ? ratioSum / ratioCount : 1;
    for (size_t i = 0; i < n; ++i)
        if (units[i] == 0) units[i] = stretches[i].unitMs * scale;
    return units;
}

// The speed at each mark and its straight line through time: start, end and slope.
void FitSpeed(std::span<const ClassifiedStretch> stretches, const std::vector<double>& units,
              FistReport& report) {
    double n = 0, sumT = 0, sumW = 0, sumTT = 0, sumTW = 0;
    double first = 0, last = 0;
    for (size_t i = 0; i < stretches.size(); ++i) {
        if (!stretches[i].stretch.mark || !(units[i] > 0)) continue;
        const double minutes = stretches[i].stretch.startMs / 60000.0;
        const double wpm = WpmOfUnitMs(units[i]);
        if (n == 0) first = minutes;
        last = minutes;
        n += 1;
        sumT += minutes;
        sumW += wpm;
        sumTT += minutes * minutes;
        sumTW += minutes * wpm;
    }
    if (n == 0) return;
    const double spreadT = sumTT - sumT * sumT / n;
    const double slope = spreadT > 1e-12 ? (sumTW - sumT * sumW / n) / spreadT : 0;
    const double meanT = sumT / n;
    const double meanW = sumW / n;
    report.driftWpmPerMinute = slope;
    report.wpmStart = meanW + slope * (first - meanT);
    report.wpmEnd = meanW + slope * (last - meanT);
}

double TimingScore(const std::array<Accumulator, kKinds>& deviation, bool keyerElements) {
    constexpr std::array<double, kKinds> kStraightWeights = {0.20, 0.20, 0.20, 0.25, 0.15};
    constexpr std::array<double, kKinds> kKeyerWeights = {0, 0, 0, 0.60, 0.40};
    const auto& weights = keyerElements ? kKeyerWeights : kStraightWeights;
    double weighted = 0;
    double weightSum = 0;
    for (int k = 0; k < kKinds; ++k) {
        if (deviation[size_t(k)].count() == 0) continue;
        weighted += weights[size_t(k)] * deviation[size_t(k)].rootMeanSquare();
        weightSum += weights[size_t(k)];
    }
    if (weightSum == 0) return 0;
    const double e = weighted / weightSum / kScoreScale;
    return 100 * std::exp(-e * e);
}

}  // namespace

FistReport AnalyzeFist(std::span<const ClassifiedStretch> stretches, const FistOptions& options) {
    FistReport report;
    const FistTargets& t = options.targets;
    const std::vector<double> units = LocalUnits(stretches);
    const std::array<double, kKinds> ideal = {1, t.dahDitRatio, t.elementGapUnits, t.letterGapUnits,
                                              t.wordGapUnits};
    std::array<Accumulator, kKinds> lengths;    // in units
    std::array<Accumulator, kKinds> deviation;  // ln(length / ideal)
    Accumulator weight, unit;
    for (size_t i = 0; i < stretches.size(); ++i) {
        const int kind = KindOf(stretches[i].kind);
        const double ms = stretches[i].stretch.lengthMs;
        if (kind < 0 || !(units[i] > 0) || !(ms > 0)) continue;
        const double u = ms / units[i];
        lengths[size_t(kind)].add(u);
        deviation[size_t(kind)].add(std::log(u / ideal[size_t(kind)]));
        unit.add(units[i]);
        if (kind == kElementGap && i > 0 && stretches[i - 1].stretch.mark) {
            // How much longer the element was on, and the gap shorter off, than even keying.
            const int mark = KindOf(stretches[i - 1].kind);
            const double markUnits = stretches[i - 1].stretch.lengthMs / units[i - 1];
            const double heavier = ((markUnits - ideal[size_t(mark)]) + (1 - u)) / 2;
            weight.add(50 + 50 * heavier);
        }
    }
    // A dash against the operator's own dot there, not against the unit.
    Accumulator ratio;
    for (size_t i = 0; i < stretches.size(); ++i) {
        if (stretches[i].kind != StretchKind::Dash || !(units[i] > 0)) continue;
        const double dot = lengths[kDot].count() > 0 ? lengths[kDot].figure().mean : 1;
        ratio.add(stretches[i].stretch.lengthMs / units[i] / dot);
    }
    report.dahDitRatio = ratio.figure();
    report.weightPercent = weight.figure();
    report.elementGapUnits = lengths[kElementGap].figure();
    report.letterGapUnits = lengths[kLetterGap].figure();
    report.wordGapUnits = lengths[kWordGap].figure();
    report.unitMs = unit.figure().mean;
    report.wpm = WpmOfUnitMs(report.unitMs);
    FitSpeed(stretches, units, report);

    report.timingScore = TimingScore(deviation, options.keyerElements);
    report.score = report.timingScore;
    if (!options.targetText.empty()) {
        const ItemScore text = ScoreItem(options.course, options.targetText, options.decodedText);
        report.textSymbols = text.sentSymbols;
        report.textErrors = text.errors;
        const double accuracy =
            text.sentSymbols == 0
                ? 0
                : std::max(0.0, 1.0 - double(text.errors) / double(text.sentSymbols));
        report.score = report.timingScore * accuracy;
    }
    return report;
}

}  // namespace cwt::fist
