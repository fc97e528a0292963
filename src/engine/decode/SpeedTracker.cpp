#include "engine/decode/SpeedTracker.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cwt::decode {

namespace {

constexpr size_t kMarksKept = 24;
constexpr size_t kGapsKept = 16;
constexpr double kMinDashRatio =
    1.8;  // two groups of marks further apart than this are dots and dashes
constexpr double kUnsettledSpread = 0.5;
constexpr double kMinSpread = 0.12;
constexpr size_t kLongGapsKept = 24;
constexpr double kMinWordGapRatio = 1.5;
constexpr double kPauseLetterGaps = 6.0;  // a longer space is a pause, not a gap to learn from
constexpr double kMinGapSpread = 0.1;
constexpr double kMaxGapSpread = 0.45;
constexpr double kMaxSpread = 0.4;
constexpr double kGapLimitDots = 2.0;  // a shorter space lies within a letter

double SquaredDeviation(const std::vector<double>& v, double centre) {
    double sum = 0.0;
    for (double x : v) sum += (x - centre) * (x - centre);
    return sum;
}

// Where sorted values part into two groups most clearly (Otsu's rule): the size of the lower
// group, 0 when there is no split.
size_t BestSplit(const std::vector<double>& sorted) {
    const size_t n = sorted.size();
    double total = 0.0;
    for (double x : sorted) total += x;
    size_t split = 0;
    double best = 0.0;
    double lower = 0.0;
    for (size_t k = 1; k < n; ++k) {
        lower += sorted[k - 1];
        const double m1 = lower / static_cast<double>(k);
        const double m2 = (total - lower) / static_cast<double>(n - k);
        const double between =
            static_cast<double>(k) * static_cast<double>(n - k) * (m2 - m1) * (m2 - m1);
        if (between > best) best = between, split = k;
    }
    return split;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

}  // namespace

SpeedTracker::SpeedTracker(double dotSamples, double minDotSamples, double maxDotSamples)
    : m_minDot(minDotSamples), m_maxDot(maxDotSamples) {
    m_lengths.dotSamples = dotSamples;
    m_lengths.dashSamples = 3.0 * dotSamples;
    m_lengths.gapSamples = dotSamples;
    m_lengths.spread = kUnsettledSpread;
}

void SpeedTracker::addMark(double lengthSamples) {
    if (lengthSamples <= 0.0) return;
    m_marks.push_back(std::log(lengthSamples));
    if (m_marks.size() > kMarksKept) m_marks.pop_front();
    ++m_marksSeen;
    estimate();
}

void SpeedTracker::addSpace(double lengthSamples) {
    if (lengthSamples <= 0.0) return;
    if (lengthSamples < kGapLimitDots * m_lengths.dotSamples) {
        m_gaps.push_back(std::log(lengthSamples));
        if (m_gaps.size() > kGapsKept) m_gaps.pop_front();
        return;
    }
    if (lengthSamples > kPauseLetterGaps * m_lengths.letterGapSamples) return;
    m_longGaps.push_back(std::log(lengthSamples));
    if (m_longGaps.size() > kLongGapsKept) m_longGaps.pop_front();
    estimateLongGaps();
}

void SpeedTracker::estimateLongGaps() {
    std::vector<double> logs(m_longGaps.begin(), m_longGaps.end());
    const size_t n = logs.size();
    if (n < 3) return;
    std::sort(logs.begin(), logs.end());
    const size_t split = BestSplit(logs);
    const std::vector<double> letters(logs.begin(), logs.begin() + static_cast<long>(split));
    const std::vector<double> words(logs.begin() + static_cast<long>(split), logs.end());
    double letter = m_lengths.letterGapSamples;
    double word = m_lengths.wordGapSamples;
    double within = 0.0;
    if (split > 0 && std::exp(Median(words) - Median(letters)) >= kMinWordGapRatio) {
        letter = std::exp(Median(letters));
        word = std::exp(Median(words));
        within =
            SquaredDeviation(letters, std::log(letter)) + SquaredDeviation(words, std::log(word));
    } else {
        const double centre = Median(logs);
        const double ratio = word / letter;
        if (std::abs(centre - std::log(word)) < std::abs(centre - std::log(letter)))
            word = std::exp(centre), letter = word / ratio;
        else
            letter = std::exp(centre), word = letter * ratio;
        within = SquaredDeviation(logs, centre);
    }
    m_lengths.letterGapSamples = letter;
    m_lengths.wordGapSamples = word;
    m_lengths.gapSpread = std::clamp(std::sqrt(within / n), kMinGapSpread, kMaxGapSpread);
}

void SpeedTracker::estimate() {
    std::vector<double> logs(m_marks.begin(), m_marks.end());
    std::sort(logs.begin(), logs.end());
    const size_t n = logs.size();
    if (n < 3) return;
    const size_t split = BestSplit(logs);
    const std::vector<double> shorts(logs.begin(), logs.begin() + static_cast<long>(split));
    const std::vector<double> longs(logs.begin() + static_cast<long>(split), logs.end());
    const bool twoGroups = split > 0 && std::exp(Median(longs) - Median(shorts)) >= kMinDashRatio;
    double dot = m_lengths.dotSamples;
    double dash = m_lengths.dashSamples;
    double within = 0.0;
    if (twoGroups) {
        dot = std::exp(Median(shorts));
        dash = std::exp(Median(longs));
        within = SquaredDeviation(shorts, std::log(dot)) + SquaredDeviation(longs, std::log(dash));
    } else {
        // One group: dots or dashes, whichever the lengths lie nearer to.
        const double centre = Median(logs);
        const bool dashes = std::abs(centre - std::log(dash)) < std::abs(centre - std::log(dot));
        const double ratio = dash / dot;
        if (dashes)
            dash = std::exp(centre), dot = dash / ratio;
        else
            dot = std::exp(centre), dash = dot * ratio;
        within = SquaredDeviation(logs, centre);
    }
    // The speeds a decoder is asked to follow, 5 to 60 WPM: nothing outside is a sender.
    const double clamped = std::clamp(dot, m_minDot, m_maxDot);
    dash *= clamped / dot;
    dot = clamped;
    m_lengths.dotSamples = dot;
    m_lengths.dashSamples = dash;
    m_lengths.gapSamples =
        std::clamp(m_gaps.size() >= 3 ? std::exp(Median({m_gaps.begin(), m_gaps.end()})) : dot,
                   0.5 * dot, 1.5 * dot);
    m_lengths.spread =
        settled() ? std::clamp(std::sqrt(within / n), kMinSpread, kMaxSpread) : kUnsettledSpread;
}

}  // namespace cwt::decode
