#include "engine/decode/SegmentScorers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <tuple>

namespace cwt::decode {

namespace {

constexpr int kVarianceTable = 4096;
constexpr double kMaxSampleSnr = 100.0;
// Levels around the estimate a mark may have, as multiples of it, and their weights: fading
// and a lagging estimate make a mark weaker or stronger than the last ones were. Most weight
// lies on the estimate itself: a weak signal's two dots with the element gap between them
// then no longer pass for one dash at two thirds of the level, which a flatter spread of
// levels allowed (a third of the errors at -3 dB in 500 Hz); a faded mark still has the
// outer levels and the unknown level below.
constexpr std::array<double, 4> kLevels = {0.45, 0.7, 1.0, 1.4};
constexpr std::array<double, 4> kLevelWeights = {0.03, 0.1, 0.77, 0.1};
// Of marks of a known level: phase unknown, phase carried over from the marks before (a
// transmitter's carrier runs on; a tone generator that starts each element afresh does not),
// and phase turning within the mark. The last is kept small for the same reason: two halves
// of their own phase and level fit a dot, a gap and a dot read as one mark.
// The shares are drawn between two sets by how sure the detector is that the carrier's phase
// carries over (setPhaseCarriedOver). Where it does, the carrier tracker's concentration
// already says how well that phase is known (with none known the term is the phase-unknown
// one), and most weight there read 2,018 characters at -3 dB in 500 Hz with 14.3 and 13.8 % CER
// on two seeds, against 15.8 and 15.0 % with the loose set ({0.02, 0.96, 0.02} read 15.3 and
// 14.4 %). A tone started afresh for each element read 17.4 % with that weight against 15.9 %
// with the loose set, so it keeps the loose set. Where the signal fades fast its phase turns
// between marks and within them: the loose set stays there too (more weight on the carried
// phase read no better).
using KindShares = std::array<double, 3>;
constexpr KindShares kLooseKindShares = {0.4, 0.5, 0.1};
constexpr KindShares kCarriedKindShares = {0.05, 0.9, 0.05};
// Share of marks whose level is anything around the estimate: fading, a level that changes
// within the mark. Without it a strong mark whose level falls between the levels above is
// better explained as several marks.
constexpr double kUnknownLevelShare = 0.1;
// Share of marks whose two halves each have a level and phase of their own, anything around
// the estimate: fast fading, whose null passing through a dash takes its middle away and
// turns the phase by up to half a turn, so that the halves cancel in the whole's sum. Without
// it such a dash is better explained as two dots, the commonest error under 1 Hz fading (it
// halved the CER there). Weighed only where fast fading is seen: a steady strong mark and a
// stretch of the space beside it pass for such a mark at little cost (it cost 0.5 points of
// CER at +2 dB in 500 Hz and misread a 6 WPM letter).
constexpr double kHalvesGainShare = 0.1;
// The halves' share is taken from the known levels only where they are weighed at all.
constexpr double kKnownLevelShare = 1.0 - kUnknownLevelShare;
constexpr double kKnownLevelShareFading = kKnownLevelShare - kHalvesGainShare;

// Natural logarithm of a positive, finite x to about 1e-12: the scorer takes thousands of
// logarithms per sample, and the library's exact one was most of the decoder's time. The
// mantissa's top bits pick a point c of a table near it, and log m = log c + log1p(m/c - 1)
// with |m/c - 1| < 1/256, where four terms of the series suffice; no division, no library
// call (frexp and a division per logarithm were half the decoder's time at weak signals).
constexpr int kLogTableBits = 7;
constexpr int kLogTableSize = 1 << kLogTableBits;

struct LogTableEntry {
    double logC;
    double inverseC;
};

const std::array<LogTableEntry, kLogTableSize> kLogTable = [] {
    std::array<LogTableEntry, kLogTableSize> table{};
    for (int i = 0; i < kLogTableSize; ++i) {
        const double c = 1.0 + (i + 0.5) / kLogTableSize;  // the middle of the i-th step in [1, 2)
        table[static_cast<size_t>(i)] = {std::log(c), 1.0 / c};
    }
    return table;
}();

double FastLog(double x) {
    const auto bits = std::bit_cast<uint64_t>(x);
    const auto biasedExponent = static_cast<int>(bits >> 52);  // x is positive: no sign bit
    if (biasedExponent == 0 || biasedExponent == 0x7ff) return std::log(x);  // subnormal, inf
    constexpr uint64_t kMantissa = (uint64_t{1} << 52) - 1;
    const double m = std::bit_cast<double>((bits & kMantissa) | (uint64_t{1023} << 52));  // [1, 2)
    const LogTableEntry& entry = kLogTable[(bits & kMantissa) >> (52 - kLogTableBits)];
    const double r = m * entry.inverseC - 1.0;
    const double log1p = r * (1.0 + r * (-0.5 + r * (1.0 / 3.0 + r * -0.25)));
    return (biasedExponent - 1023) * std::numbers::ln2 + entry.logC + log1p;
}

// e^y for y in [-60, 0] to about 1e-15, inline: the scorer takes a dozen exponentials per
// stretch, and the library's (a call, checks for overflow and errno) was a tenth of the
// decoder's time. y = (64k + j) ln2/64 + r with |r| <= ln2/128: 2^k from the exponent's
// bits, 2^(j/64) from a table, e^r from five terms of its series.
constexpr int kExpTableBits = 6;
constexpr int kExpTableSize = 1 << kExpTableBits;

const std::array<double, kExpTableSize> kExpTable = [] {
    std::array<double, kExpTableSize> table{};
    for (int j = 0; j < kExpTableSize; ++j)
        table[static_cast<size_t>(j)] = std::exp2(static_cast<double>(j) / kExpTableSize);
    return table;
}();

double FastExpOfNegative(double y) {
    constexpr double kStepsPerUnit = kExpTableSize / std::numbers::ln2;
    constexpr double kStep = std::numbers::ln2 / kExpTableSize;
    // Adding 1.5 * 2^52 rounds to the nearest whole number, which the low bits then hold: no
    // call, as lround would be.
    constexpr double kRounder = 0x1.8p52;
    const double rounded = y * kStepsPerUnit + kRounder;
    const auto n = static_cast<int64_t>(std::bit_cast<uint64_t>(rounded) -
                                        std::bit_cast<uint64_t>(kRounder));  // -5541 to 0
    const double r = y - (rounded - kRounder) * kStep;
    const double series =
        1.0 + r * (1.0 + r * (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120)))));
    const int64_t whole = n >> kExpTableBits;  // rounds towards minus infinity
    const auto scale = std::bit_cast<double>(static_cast<uint64_t>(whole + 1023) << 52);
    return kExpTable[static_cast<size_t>(n & (kExpTableSize - 1))] * scale * series;
}

// A term of the scorer's mixture as exp(linear) * factor, so that the sum of the terms needs one
// logarithm instead of one for each term (each was a logarithm of a Bessel function or of a
// gain: most of the decoder's time).
struct Term {
    double linear = -std::numeric_limits<double>::infinity();
    double factor = 1.0;  // positive and finite: from about e^-25 to 83
};

// log Σ exp(linear) * factor. The factors lie between about e^-25 (the two halves' gains of a
// strong 5 WPM dash, fading; e^-22 seen at 20 WPM) and 83 (two Bessel polynomials of at most
// 9.1), so the largest linear part keeps every exponential in range, and a term whose linear
// part lies 60 below it weighs less than 1e-13 of the sum.
template <size_t N>
double LogSumOf(const std::array<Term, N>& terms) {
    double top = -std::numeric_limits<double>::infinity();
    for (const Term& t : terms) top = std::max(top, t.linear);
    double sum = 0.0;
    for (const Term& t : terms)
        if (t.linear > top - 60.0) sum += FastExpOfNegative(t.linear - top) * t.factor;
    return top + FastLog(sum);
}

// log I0(x) = linear + log factor, for x ≥ 0 (Abramowitz and Stegun 9.8.1 and 9.8.2), given
// 1/√x as well: where a mark's levels scale one argument, the scorer has it from one root for
// all of them. The polynomials are taken in pairs of terms (Estrin's scheme) rather than one
// term after the other: the chain of sixteen dependent steps was most of this function's time.
// Inlined, the scorer's sixteen of them run side by side.
[[gnu::always_inline]] inline Term BesselI0Term(double x, double inverseRootX) {
    if (x < 3.75) {
        const double t = (x / 3.75) * (x / 3.75);
        const double t2 = t * t;
        const double t4 = t2 * t2;
        return {0.0, (1.0 + 3.5156229 * t) + t2 * (3.0899424 + 1.2067492 * t) +
                         t4 * ((0.2659732 + 0.0360768 * t) + t2 * 0.0045813)};
    }
    const double t = 3.75 * inverseRootX * inverseRootX;  // 3.75 / x
    const double t2 = t * t;
    const double t4 = t2 * t2;
    const double poly = ((0.39894228 + 0.01328592 * t) + t2 * (0.00225319 - 0.00157565 * t)) +
                        t4 * ((0.00916281 - 0.02057706 * t) + t2 * (0.02635537 - 0.01647633 * t) +
                              t4 * 0.00392377);
    return {x, poly * inverseRootX};
}

Term BesselI0Term(double x) { return BesselI0Term(x, x >= 3.75 ? 1.0 / std::sqrt(x) : 0.0); }

// 1/√level and log level of each of a mark's levels: an argument proportional to the level has
// its root and logarithm from the one at the estimate.
const std::array<double, 4> kInverseRootLevels = [] {
    std::array<double, 4> roots{};
    for (size_t i = 0; i < roots.size(); ++i) roots[i] = 1.0 / std::sqrt(kLevels[i]);
    return roots;
}();
const std::array<double, 4> kLogLevels = [] {
    std::array<double, 4> logs{};
    for (size_t i = 0; i < logs.size(); ++i) logs[i] = std::log(kLevels[i]);
    return logs;
}();

// A sum's bounds for closerBound(): |S|²/V, and for a mark of each level, the most its
// phase-unknown or carried-phase term can be, log exp(|S|²/V − (|S| − m)²/V), and the
// phase-unknown term's further log min(1, 0.47 / √(2m|S|/V)).
struct SumBounds {
    double variance = 1.0;
    double ratio = 0.0;
    std::array<double, 4> byLevel{};
    std::array<double, 4> rootFactor{};
};

SumBounds LevelBounds(std::complex<double> sum, double meanAtEstimate, double variance) {
    SumBounds b;
    b.variance = variance;
    b.ratio = std::norm(sum) / variance;
    const double magnitude = std::sqrt(std::norm(sum));
    const double logArgument = FastLog(2.0 * meanAtEstimate * magnitude / variance);
    static const double kLogRootConstant = std::log(0.47);
    for (size_t i = 0; i < kLevels.size(); ++i) {
        const double miss = magnitude - meanAtEstimate * kLevels[i];
        b.byLevel[i] = b.ratio - miss * miss / variance;
        b.rootFactor[i] =
            std::min(0.0, kLogRootConstant - 0.5 * (kLogLevels[i] + logArgument));
    }
    return b;
}

}  // namespace

double LogBesselI0(double x) {
    const Term term = BesselI0Term(x);
    return term.linear + FastLog(term.factor);
}

CoherentScorer::CoherentScorer(const std::vector<double>& correlation)
    : m_sumVariance(kVarianceTable + 1, 0.0) {
    // Var(Σ_{n<N} z_n) = Σ_{|m|<N} (N - |m|) ρ(m), in units of one sample's variance.
    for (int n = 1; n <= kVarianceTable; ++n) {
        double v = n;
        for (int m = 1; m < n && m < static_cast<int>(correlation.size()); ++m)
            v += 2.0 * (n - m) * correlation[static_cast<size_t>(m)];
        m_sumVariance[static_cast<size_t>(n)] = v;
    }
    m_varianceSlope = m_sumVariance[kVarianceTable] - m_sumVariance[kVarianceTable - 1];
    setPhaseCarriedOver(1.0);
}

void CoherentScorer::setLevels(double noisePower, double amplitude) {
    m_amplitude = std::max(amplitude, 0.0);
    // A real mark is never as steady as the model's: its level wanders with the receiver's
    // AGC, the fading, the key's shape. Counting that as noise at least this far below the
    // mark keeps a strong signal's marks from being cut wherever they waver.
    m_noisePower = std::max({noisePower, m_amplitude * m_amplitude / kMaxSampleSnr, 1e-30});
}

void CoherentScorer::setPhase(std::complex<double> reference, double kappa) {
    m_reference = reference;
    if (kappa != m_kappa) m_logBesselKappa = kappa > 0.0 ? LogBesselI0(kappa) : 0.0;
    m_kappa = kappa;
}

// The log weights of the mixture's terms of a known level, kind by kind. With no phase known
// the carried-phase kind is the phase-unknown one: its weight goes there, so that the weights
// still add up to one.
CoherentScorer::MixtureWeights CoherentScorer::WeightsOf(double knownShare,
                                                         const std::array<double, 3>& kinds) {
    MixtureWeights w;
    static_assert(std::tuple_size_v<decltype(w.logKnownLevel)> == 3 * kLevels.size());
    for (size_t i = 0; i < kLevels.size(); ++i)
        for (size_t k = 0; k < 3; ++k)
            w.logKnownLevel[k * kLevels.size() + i] =
                std::log(kLevelWeights[i] * knownShare * kinds[k]);
    w.logCoherentLeftOut = std::log1p(kinds[1] / kinds[0]);
    return w;
}

void CoherentScorer::setPhaseCarriedOver(double belief) {
    const double t = std::clamp(belief, 0.0, 1.0);
    KindShares kinds{};
    for (size_t k = 0; k < kinds.size(); ++k)
        kinds[k] = kLooseKindShares[k] + t * (kCarriedKindShares[k] - kLooseKindShares[k]);
    m_steadyWeights = WeightsOf(kKnownLevelShare, kinds);
}

double CoherentScorer::sumVariance(int length) const {
    if (length <= kVarianceTable) return m_sumVariance[static_cast<size_t>(std::max(length, 0))];
    return m_sumVariance[kVarianceTable] + (length - kVarianceTable) * m_varianceSlope;
}

double CoherentScorer::score(const StretchSums& sums) const {
    static const MixtureWeights fadingWeights = WeightsOf(kKnownLevelShareFading, kLooseKindShares);
    const MixtureWeights& weights = m_fadeWithinMarks ? fadingWeights : m_steadyWeights;
    const auto& logWeights = weights.logKnownLevel;
    const double logCoherentLeftOut = weights.logCoherentLeftOut;
    static const double logUnknownWeight = std::log(kUnknownLevelShare);
    static const double logHalvesGainWeight = std::log(kHalvesGainShare);

    const int length = sums.length;
    const int firstLength = length / 2;
    const int secondLength = length - firstLength;
    const double variance = m_noisePower * sumVariance(length);
    const double firstVariance = m_noisePower * sumVariance(firstLength);
    const double secondVariance = m_noisePower * sumVariance(secondLength);
    const double magnitude = std::sqrt(std::norm(sums.sum));
    const double firstMagnitude = std::sqrt(std::norm(sums.firstHalf));
    const double secondMagnitude = std::sqrt(std::norm(sums.sum - sums.firstHalf));
    const bool coherent = m_kappa > 0.0;

    constexpr size_t kLevelCount = kLevels.size();
    std::array<Term, 3 * kLevelCount + 2> terms{};
    // The level a mark here is expected to have: the stretch's own where it was followed
    // through the fades, else the one the marks before settled on.
    const double amplitude = sums.level > 0.0 ? sums.level : m_amplitude;
    // The phase-unknown and halves' Bessel arguments are proportional to the level.
    const double unknownArgument = 2.0 * length * amplitude * magnitude / variance;
    const double firstArgument = 2.0 * firstLength * amplitude * firstMagnitude / firstVariance;
    const double secondArgument =
        2.0 * secondLength * amplitude * secondMagnitude / secondVariance;
    const double unknownInverseRoot = 1.0 / std::sqrt(unknownArgument);
    const double firstInverseRoot = 1.0 / std::sqrt(firstArgument);
    const double secondInverseRoot = 1.0 / std::sqrt(secondArgument);
    for (size_t i = 0; i < kLevelCount; ++i) {
        const double level = amplitude * kLevels[i];
        const double mean = length * level;  // |E S| under "mark"
        const double base = -mean * mean / variance;
        // Phase unknown.
        const Term unknownPhase = BesselI0Term(kLevels[i] * unknownArgument,
                                               kInverseRootLevels[i] * unknownInverseRoot);
        terms[i] = {logWeights[i] + base + unknownPhase.linear, unknownPhase.factor};
        // Phase as the marks before had it.
        if (coherent) {
            const std::complex<double> u = 2.0 * mean * sums.sum / variance + m_kappa * m_reference;
            const Term knownPhase = BesselI0Term(std::sqrt(std::norm(u)));
            terms[kLevelCount + i] = {
                logWeights[kLevelCount + i] + base + knownPhase.linear - m_logBesselKappa,
                knownPhase.factor};
        } else {
            terms[i].linear += logCoherentLeftOut;
        }
        // Each half with a phase of its own.
        const double firstMean = firstLength * level;
        const double secondMean = secondLength * level;
        const Term first = BesselI0Term(kLevels[i] * firstArgument,
                                        kInverseRootLevels[i] * firstInverseRoot);
        const Term second = BesselI0Term(kLevels[i] * secondArgument,
                                         kInverseRootLevels[i] * secondInverseRoot);
        terms[2 * kLevelCount + i] = {
            logWeights[2 * kLevelCount + i] - firstMean * firstMean / firstVariance -
                secondMean * secondMean / secondVariance + first.linear + second.linear,
            first.factor * second.factor};
    }
    // A gain that is a complex Gaussian of the estimated power: S ~ CN(0, a²N² + V).
    const double power = amplitude * amplitude;
    const double gain = power * length * length / variance;
    terms[3 * kLevelCount] = {
        logUnknownWeight + std::norm(sums.sum) / variance * gain / (1.0 + gain),
        1.0 / (1.0 + gain)};
    // The same gain drawn afresh for each half.
    if (m_fadeWithinMarks && firstLength > 0) {
        const double firstGain = power * firstLength * firstLength / firstVariance;
        const double secondGain = power * secondLength * secondLength / secondVariance;
        terms.back() = {
            logHalvesGainWeight +
                std::norm(sums.firstHalf) / firstVariance * firstGain / (1.0 + firstGain) +
                secondMagnitude * secondMagnitude / secondVariance * secondGain /
                    (1.0 + secondGain),
            1.0 / ((1.0 + firstGain) * (1.0 + secondGain))};
    }
    return LogSumOf(terms);
}

// Over every level and phase the likelihood ratio of a stretch peaks at |S|²/V (the mean
// matching the sum), and of its two halves taken apart at |S1|²/V1 + |S2|²/V2; the mixture's
// weights add up to one.
double CoherentScorer::bound(const StretchSums& sums) const {
    const int firstLength = sums.length / 2;
    const double whole = std::norm(sums.sum) / (m_noisePower * sumVariance(sums.length));
    if (firstLength == 0) return whole;
    const double halves = std::norm(sums.firstHalf) / (m_noisePower * sumVariance(firstLength)) +
                          std::norm(sums.sum - sums.firstHalf) /
                              (m_noisePower * sumVariance(sums.length - firstLength));
    return std::max(whole, halves);
}

// Closer than bound(), for a few roots and logarithms instead of sixteen Bessel functions. The
// mixture's weights add up to one, so the score is at most its likeliest term's, and
//   - a mark of a known level m, phase unknown: I0(x) ≤ e^x and I0(x) ≤ 0.47 e^x / √x for
//     every x (the most of I0(x) e^-x √x is 0.4688, at x = 0.79), so its term is at most
//     exp(|S|²/V − (|S| − m)²/V) × min(1, 0.47 / √(2m|S|/V));
//   - with the phase carried over: I0(x + κ) ≤ e^x I0(κ) (log I0 rises no faster than x), so
//     its term is at most exp(|S|²/V − (|S| − m)²/V);
//   - each half with a phase of its own: the first bound for each half;
//   - the gains drawn as complex Gaussians: their terms themselves.
double CoherentScorer::closerBound(const StretchSums& sums) const {
    const int length = sums.length;
    const int firstLength = length / 2;
    const int secondLength = length - firstLength;
    const double amplitude = sums.level > 0.0 ? sums.level : m_amplitude;
    const double power = amplitude * amplitude;
    const auto whole =
        LevelBounds(sums.sum, length * amplitude, m_noisePower * sumVariance(length));
    const double gain = power * length * length / whole.variance;
    double best = whole.ratio * gain / (1.0 + gain) - FastLog(1.0 + gain);
    const bool coherent = m_kappa > 0.0;
    for (size_t i = 0; i < kLevels.size(); ++i)
        best = std::max(best, whole.byLevel[i] + (coherent ? 0.0 : whole.rootFactor[i]));
    if (firstLength == 0) return best;
    const auto first = LevelBounds(sums.firstHalf, firstLength * amplitude,
                                   m_noisePower * sumVariance(firstLength));
    const auto second = LevelBounds(sums.sum - sums.firstHalf, secondLength * amplitude,
                                    m_noisePower * sumVariance(secondLength));
    for (size_t i = 0; i < kLevels.size(); ++i)
        best = std::max(best, first.byLevel[i] + first.rootFactor[i] + second.byLevel[i] +
                                  second.rootFactor[i]);
    if (m_fadeWithinMarks) {
        const double firstGain = power * firstLength * firstLength / first.variance;
        const double secondGain = power * secondLength * secondLength / second.variance;
        best = std::max(best, first.ratio * firstGain / (1.0 + firstGain) +
                                  second.ratio * secondGain / (1.0 + secondGain) -
                                  FastLog((1.0 + firstGain) * (1.0 + secondGain)));
    }
    return best;
}

}  // namespace cwt::decode
