#include "engine/decode/DurationModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace cwt::decode {

namespace {

constexpr double kDotShare = 0.55;  // of marks
// Of spaces: within letters, between letters, between words; the rest are pauses.
constexpr double kGapShare = 0.55;
constexpr double kLetterGapShare = 0.3;
constexpr double kWordGapShare = 0.12;
constexpr double kEvenShare = 0.02;   // spread evenly over all lengths
constexpr double kMaxMarkDots = 7.0;  // longer key-down is cut into several marks
constexpr double kMinMarkDots = 0.25;
// The shortest space, in element gaps: at least half a gap, and no shorter than the sender's
// own gaps get (kShortestGapSpreads spreads below the gap), so that a steady sender's marks
// are not ended by a fade's dip while a hand key's short gaps still read.
constexpr double kMinSpaceGaps = 0.5;
constexpr double kMaxMinSpaceGaps = 0.8;
constexpr double kShortestGapSpreads = 3.0;
constexpr double kModelledWordGaps = 2.0;    // spaces up to this many word gaps are modelled
constexpr int kLongestModelledSpace = 1500;  // three seconds at 500 Hz
constexpr double kPauseMeanWordGaps = 3.0;   // how far a pause runs on, on average

// Probability that a log-normal around `centre` with σ `spread` gives a length in [d-½, d+½).
double LogNormalMass(double d, double centre, double spread) {
    const auto cdf = [&](double x) {
        if (x <= 0.0) return 0.0;
        return 0.5 * std::erfc(-std::log(x / centre) / (spread * std::numbers::sqrt2));
    };
    return cdf(d + 0.5) - cdf(d - 0.5);
}

double SafeLog(double p) {
    return p > 0.0 ? std::log(p) : -std::numeric_limits<double>::infinity();
}

}  // namespace

DurationModel::DurationModel(const ElementLengths& lengths) : m_lengths(lengths) {
    const double dot = std::max(lengths.dotSamples, 2.0);
    const double dash = std::max(lengths.dashSamples, dot * 1.5);
    const double gap = std::max(lengths.gapSamples, 1.0);
    const double letterGap = std::max(lengths.letterGapSamples, gap * 1.5);
    const double wordGap = std::max(lengths.wordGapSamples, letterGap * 1.3);
    const int maxMark =
        std::max({4, lengths.longestMark,
                  static_cast<int>(std::ceil(std::max(kMaxMarkDots * dot, 2.5 * dash)))});
    m_minMark = std::max(1, static_cast<int>(kMinMarkDots * dot));
    m_markLog.assign(static_cast<size_t>(maxMark) + 1, -std::numeric_limits<double>::infinity());
    const double evenMark = kEvenShare / (maxMark - m_minMark + 1);
    for (int d = m_minMark; d <= maxMark; ++d) {
        const double p =
            (1.0 - kEvenShare) * (kDotShare * LogNormalMass(d, dot, lengths.spread) +
                                  (1.0 - kDotShare) * LogNormalMass(d, dash, lengths.spread));
        m_markLog[static_cast<size_t>(d)] = SafeLog(p + evenMark);
    }

    const int longSpace = std::clamp(static_cast<int>(std::ceil(kModelledWordGaps * wordGap)),
                                     static_cast<int>(std::ceil(3.0 * dot)), kLongestModelledSpace);
    m_spaceLog.assign(static_cast<size_t>(longSpace), -std::numeric_limits<double>::infinity());
    double explicitMass = 0.0;
    const double evenSpace = kEvenShare / longSpace;
    // A key is never up for less than a fraction of its element gap: a shorter dip within a
    // mark is fading or noise, and counting it a space would let a strong mark that wavers
    // (a fade's null passing through a dash) fall apart into several.
    const double minSpaceGaps = std::clamp(std::exp(-kShortestGapSpreads * lengths.spread),
                                           kMinSpaceGaps, kMaxMinSpaceGaps);
    const int minSpace = std::max(1, static_cast<int>(minSpaceGaps * std::min(gap, dot)));
    for (int d = minSpace; d < longSpace; ++d) {
        const double p =
            (1.0 - kEvenShare) * (kGapShare * LogNormalMass(d, gap, lengths.spread) +
                                  kLetterGapShare * LogNormalMass(d, letterGap, lengths.gapSpread) +
                                  kWordGapShare * LogNormalMass(d, wordGap, lengths.gapSpread)) +
            evenSpace;
        m_spaceLog[static_cast<size_t>(d)] = SafeLog(p);
        explicitMass += p;
    }
    const double mean = kPauseMeanWordGaps * wordGap;
    m_longSpaceLog = SafeLog(std::max(1.0 - explicitMass, 1e-6)) - std::log(mean);
    m_longSpaceStepLog = std::log(1.0 - 1.0 / mean);
}

}  // namespace cwt::decode
