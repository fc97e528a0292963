#include "engine/decode/TimingClassifier.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cwt::decode {

namespace {

// How far the speed may wander from one element to the next (variance of ln unit): about 4 %,
// enough to follow a fist that speeds up by a third within a few letters.
constexpr double kSpeedWander = 0.0015;
constexpr double kStartUncertainty = 0.09;
constexpr double kShapeRate = 0.06;   // learning rate of the shape
constexpr double kSpreadRate = 0.05;  // learning rate of the spreads
constexpr double kMinSpread = 0.03;
constexpr double kMaxSpread = 0.45;
constexpr double kMaxResidual = 0.5;      // one odd element moves the speed by this much at most
constexpr double kMinSplitSpread = 0.1;   // splits never come closer than this to a kind
constexpr double kSpikeFraction = 0.4;    // of a dot
constexpr double kDropoutFraction = 0.3;  // of an element gap
// Before any gap has been learned, a gap shorter than this many units is a letter gap: a
// text's first gap is far more often within a word than after a word of one letter, and this
// lets this program's own 7-unit letter gap and Farnsworth spacing (down to 8 WPM in letters of
// 20) be read from the start.
const double kFirstGapWordLog = std::log(20.0);
// The last marks are grouped afresh into dots and dashes; when the tracked speed would read
// some of them as the other kind (a start at an unexpected speed, a sudden jump), the speed is
// set from them.
constexpr size_t kRecentMarks = 8;
const double kMinDashOverDot = std::log(2.0);
const double kMaxDashOverDot = std::log(6.0);
const double kMaxGroupRange = std::log(1.5);  // dots (or dashes) of one speed lie this close
// Dots lie this close to the element gaps: a hand key's long and short dashes alone are no
// dots and dashes.
const double kMaxDotOverElementGap = std::log(2.0);
constexpr double kPauseUncertainty = 0.04;  // about 20 %: after a pause the speed may be new
const double kStoppedOverWord = std::log(1.3);

double Split(double low, double lowSpread, double high, double highSpread) {
    lowSpread = std::max(lowSpread, kMinSplitSpread);
    highSpread = std::max(highSpread, kMinSplitSpread);
    return low + (high - low) * lowSpread / (lowSpread + highSpread);
}

// Sorted marks (ln ms) parted into dots and dashes at the widest step between neighbours:
// where the dashes start, and the mean of each part.
struct MarkGroups {
    size_t cut = 0;  // 0: no step at all
    double dots = 0;
    double dashes = 0;
};

MarkGroups SplitMarks(const std::vector<double>& sorted) {
    MarkGroups g;
    double widest = 0;
    for (size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i] - sorted[i - 1] > widest) {
            widest = sorted[i] - sorted[i - 1];
            g.cut = i;
        }
    }
    if (g.cut == 0) return g;
    for (size_t i = 0; i < g.cut; ++i) g.dots += sorted[i] / double(g.cut);
    for (size_t i = g.cut; i < sorted.size(); ++i)
        g.dashes += sorted[i] / double(sorted.size() - g.cut);
    return g;
}

double Certainty(double margin, double spread) {
    return 1.0 / (1.0 + std::exp(-1.7 * std::abs(margin) / std::max(spread, kMinSplitSpread)));
}

}  // namespace

TimingClassifier::TimingClassifier(double initialUnitMs, bool syllableGaps)
    : m_logUnit(std::log(initialUnitMs > 0 ? initialUnitMs : 80.0)),
      m_logUnitVariance(kStartUncertainty),
      m_dot{0, 0.15 * 0.15},
      m_dash{std::log(3.0), 0.2 * 0.2},
      m_elementGap{0, 0.2 * 0.2},
      m_gaps(syllableGaps) {}

double TimingClassifier::unitMs() const { return std::exp(m_logUnit); }

double TimingClassifier::elementGapMs() const {
    return std::exp(m_logUnit + m_elementGap.logOverUnit);
}

// Both limits shrink while the speed is uncertain (at the start, the speed is only a guess):
// a real dot of an operator faster than the guess must not be taken for noise.
double TimingClassifier::spikeLimitMs() const {
    return kSpikeFraction *
           std::exp(m_logUnit + m_dot.logOverUnit - 2 * std::sqrt(m_logUnitVariance));
}

double TimingClassifier::dropoutLimitMs() const {
    return kDropoutFraction * elementGapMs() * std::exp(-2 * std::sqrt(m_logUnitVariance));
}

TimingClassifier::Reading TimingClassifier::readMark(double lengthMs) {
    const double logMs = std::log(lengthMs);
    reanchor(logMs);
    const double y = logMs - m_logUnit;
    const double dotSpread = std::sqrt(m_dot.variance);
    const double dashSpread = std::sqrt(m_dash.variance);
    const double split = Split(m_dot.logOverUnit, dotSpread, m_dash.logOverUnit, dashSpread);
    if (y < split) {
        learn(m_dot, y);
        return {StretchKind::Dot, Certainty(split - y, dotSpread)};
    }
    learn(m_dash, y);
    return {StretchKind::Dash, Certainty(y - split, dashSpread)};
}

TimingClassifier::Reading TimingClassifier::readSpace(double lengthMs) {
    const double y = std::log(lengthMs) - m_logUnit;
    const Reading reading = gapOf(y);
    if (reading.kind == StretchKind::ElementGap) learn(m_elementGap, y);
    if (m_gaps.isPause(y)) {
        m_recentMarks.clear();
        m_logUnitVariance = std::max(m_logUnitVariance, kPauseUncertainty);
    }
    m_gaps.add(y);
    return reading;
}

TimingClassifier::Reading TimingClassifier::rereadSpace(double lengthMs) const {
    if (!(lengthMs > 0)) return {StretchKind::ElementGap, 1};
    return gapOf(std::log(lengthMs) - m_logUnit);
}

bool TimingClassifier::hasStopped(double lengthMs) const {
    if (!(lengthMs > 0)) return false;
    const double y = std::log(lengthMs) - m_logUnit;
    return m_gaps.lettersLearned() ? y > m_gaps.word().center + kStoppedOverWord
                                   : m_gaps.isPause(y);
}

TimingClassifier::Reading TimingClassifier::readOpenSpace(double lengthMs) const {
    if (!(lengthMs > 0)) return {StretchKind::ElementGap, 1};
    const double y = std::log(lengthMs) - m_logUnit;
    Reading reading = gapOf(y);
    // The space is at least this long: how sure it is no element gap grows with its distance
    // from the element gaps, not from the split it has just passed.
    if (reading.kind != StretchKind::ElementGap) {
        const GapCluster& element = m_gaps.element();
        reading.confidence = Certainty(y - element.center, element.spread);
    }
    return reading;
}

TimingClassifier::Reading TimingClassifier::gapOf(double y) const {
    const GapCluster& element = m_gaps.element();
    const GapCluster& letter = m_gaps.letter();
    const double letterSplit = Split(element.center, element.spread, letter.center, letter.spread);
    if (y < letterSplit)
        return {StretchKind::ElementGap, Certainty(letterSplit - y, element.spread)};
    const double fromLetter = y - letterSplit;
    if (!m_gaps.lettersLearned()) {
        if (y < kFirstGapWordLog)
            return {StretchKind::LetterGap, Certainty(fromLetter, letter.spread)};
        return {StretchKind::WordGap, Certainty(y - kFirstGapWordLog, letter.spread)};
    }
    const GapCluster& word = m_gaps.word();
    if (const auto& syllable = m_gaps.syllable()) {
        const double low = Split(letter.center, letter.spread, syllable->center, syllable->spread);
        const double high = Split(syllable->center, syllable->spread, word.center, word.spread);
        if (y < low)
            return {StretchKind::LetterGap,
                    Certainty(std::min(fromLetter, low - y), letter.spread)};
        if (y < high)
            return {StretchKind::SyllableGap,
                    Certainty(std::min(y - low, high - y), syllable->spread)};
        return {StretchKind::WordGap, Certainty(y - high, word.spread)};
    }
    const double wordSplit = Split(letter.center, letter.spread, word.center, word.spread);
    if (y < wordSplit)
        return {StretchKind::LetterGap,
                Certainty(std::min(fromLetter, wordSplit - y), letter.spread)};
    return {StretchKind::WordGap, Certainty(y - wordSplit, word.spread)};
}

// One step of the speed filter on an element of `kind` that was `y` (ln units) long against
// the unit tracked so far; then the kind's length and spread learn what is left over.
void TimingClassifier::learn(Kind& kind, double y) {
    m_logUnitVariance += kSpeedWander;
    const double residual = std::clamp(y - kind.logOverUnit, -kMaxResidual, kMaxResidual);
    const double observed = residual * residual - m_logUnitVariance;
    kind.variance += kSpreadRate * (std::max(observed, 0.0) - kind.variance);
    kind.variance = std::clamp(kind.variance, kMinSpread * kMinSpread, kMaxSpread * kMaxSpread);
    const double gain = m_logUnitVariance / (m_logUnitVariance + kind.variance);
    m_logUnit += gain * residual;
    m_logUnitVariance *= 1 - gain;
    kind.logOverUnit += kShapeRate * (1 - gain) * residual;
    keepUnitDefinition();
}

// The unit stays half of a dot and its element gap: the shape moves, the unit's length not.
void TimingClassifier::keepUnitDefinition() {
    const double offset =
        std::log((std::exp(m_dot.logOverUnit) + std::exp(m_elementGap.logOverUnit)) / 2);
    m_dot.logOverUnit -= offset;
    m_dash.logOverUnit -= offset;
    m_elementGap.logOverUnit -= offset;
    m_logUnit += offset;
}

void TimingClassifier::reanchor(double logMs) {
    m_recentMarks.push_back(logMs);
    if (m_recentMarks.size() > kRecentMarks) m_recentMarks.pop_front();
    if (m_recentMarks.size() < 4) return;
    std::vector<double> sorted(m_recentMarks.begin(), m_recentMarks.end());
    std::sort(sorted.begin(), sorted.end());
    const MarkGroups groups = SplitMarks(sorted);
    const size_t cut = groups.cut;
    const double dots = groups.dots;
    const double ratio = groups.dashes - groups.dots;
    if (ratio < kMinDashOverDot || ratio > kMaxDashOverDot) return;
    // Marks of two speeds (just after a change) do not make two tight groups: leave those to
    // the filter, which follows a change within a few elements.
    if (cut < 2 || sorted.size() - cut < 2) return;
    if (sorted[cut - 1] - sorted[0] > kMaxGroupRange) return;
    if (sorted.back() - sorted[cut] > kMaxGroupRange) return;
    const double splitNow = m_logUnit + Split(m_dot.logOverUnit, std::sqrt(m_dot.variance),
                                              m_dash.logOverUnit, std::sqrt(m_dash.variance));
    if (splitNow > sorted[cut - 1] && splitNow < sorted[cut]) return;
    if (std::abs(dots - (m_logUnit + m_gaps.element().center)) > kMaxDotOverElementGap) return;
    setUnit(dots - m_dot.logOverUnit, ratio);
}

void TimingClassifier::setUnit(double logUnit, double dashOverDot) {
    m_gaps.rescale(logUnit - m_logUnit);
    m_logUnit = logUnit;
    m_dash.logOverUnit = m_dot.logOverUnit + dashOverDot;
    m_logUnitVariance = kStartUncertainty / 4;
}

// The unit from dots and dashes, and from the element gaps among the spaces (those shorter
// than halfway between a dot and a dash): half a dot and an element gap, so that an operator
// who keys heavily (long dots, short gaps) starts with the right unit as well.
void TimingClassifier::primeShape(double logDot, double logDash,
                                  const std::vector<double>& spacesMs) {
    double gaps = 0;
    int count = 0;
    for (double ms : spacesMs) {
        if (ms > 0 && std::log(ms) < (logDot + logDash) / 2) {
            gaps += std::log(ms);
            ++count;
        }
    }
    if (count == 0) {
        setUnit(logDot - m_dot.logOverUnit, logDash - logDot);
        return;
    }
    const double logGap = gaps / count;
    const double logUnit = std::log((std::exp(logDot) + std::exp(logGap)) / 2);
    m_dot.logOverUnit = logDot - logUnit;
    m_elementGap.logOverUnit = logGap - logUnit;
    setUnit(logUnit, logDash - logDot);
}

void TimingClassifier::prime(const std::vector<double>& marksMs,
                             const std::vector<double>& spacesMs) {
    std::vector<double> marks;
    for (double ms : marksMs)
        if (ms > 0) marks.push_back(std::log(ms));
    std::sort(marks.begin(), marks.end());
    // Dots and dashes both there: their groups give the unit.
    const MarkGroups groups = SplitMarks(marks);
    const double ratio = groups.dashes - groups.dots;
    if (groups.cut > 0 && ratio >= kMinDashOverDot && ratio <= kMaxDashOverDot) {
        primeShape(groups.dots, groups.dashes, spacesMs);
        return;
    }
    // One kind of mark only: the shortest spaces, element gaps, give the unit.
    std::vector<double> spaces;
    for (double ms : spacesMs)
        if (ms > 0) spaces.push_back(std::log(ms));
    if (spaces.empty()) return;
    std::sort(spaces.begin(), spaces.end());
    setUnit(spaces[spaces.size() / 4] - m_elementGap.logOverUnit,
            m_dash.logOverUnit - m_dot.logOverUnit);
}

}  // namespace cwt::decode
