#include "engine/decode/GapClusters.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cwt::decode {

namespace {

constexpr size_t kWindow = 64;  // the gaps of about 25 letters
constexpr int kRefitEvery = 8;  // plain element gaps between fits

// This program's own spacing: letter gaps of 7 units where others key 3 (or 4 to 5 with a
// hand key), syllables 13 apart, words 21 (15 after a digit). Four groups are taken for it when
// their lengths are its lengths within a fifth, a few fits running; before that, even letter
// gaps this long are taken to be its letter gaps.
const double kOwnLetterGap = std::log(5.8);
constexpr double kOwnLetterSpread = 0.22;
const double kOwnLetterGapFloor = std::log(5.0);
const double kOwnSyllableOverLetter = std::log(13.0 / 7.0);
const double kOwnWordOverLetter = std::log(18.0 / 7.0);  // between 15 and 21
const double kOwnRatioSlack = std::log(1.2);
constexpr int kSyllableConfirmations = 3;
constexpr size_t kMinWordGroup = 1;
const double kLetterDrift = std::log(1.3);  // letter gaps moved this far: the keying changed
// A group of few gaps is not trusted with its own spread: it is drawn towards a typical one,
// as if it held more gaps of that spread. Four groups are looked for only where the keying is
// as even as a computer's, so there a group is trusted sooner.
struct Prior {
    double spread;
    double weight;
};
constexpr Prior kPrior{0.2, 2};
constexpr Prior kEvenPrior{0.1, 1};

// How far apart neighbouring groups must stand to count as different kinds: at least this
// ratio of lengths, and this many of their spreads. Four groups (with syllable gaps) must
// stand apart more clearly, since a wide group splits into more by chance more easily.
struct Apart {
    double minLogRatio;
    double spreads;
};
const Apart kElementLetter{std::log(1.8), 1.0};
const Apart kLetterWord{std::log(1.45), 1.0};
const Apart kLetterSyllable{std::log(1.6), 2.5};
const Apart kSyllableWord{std::log(1.4), 2.5};

// A space twice a word gap, and never less than 30 units, is a pause: the operator stopped.
// Before any letter gap is known, only a very long space is one (Farnsworth spacing stretches
// gaps far). The floor keeps groups that have gone wrong from locking out the very gaps that
// would set them right.
const double kPauseOverWord = std::log(2.0);
const double kShortestPause = std::log(30.0);
const double kFirstPause = std::log(40.0);
// Element gaps are most of the gaps (a letter of three elements has two, and one letter gap
// after it): a lowest group holding fewer is a group of element gaps cut in two.
constexpr double kMinElementShare = 0.35;
constexpr size_t kMinMiddleGroup = 2;
constexpr size_t kMinSyllableMiddleGroup = 3;
constexpr double kFollowRate = 0.15;
const double kFollowLimit = std::log(1.5);

// Sums over sorted values, so that any run's mean and squared error come at once.
class Sums {
public:
    explicit Sums(const std::vector<double>& sorted) {
        for (double x : sorted) {
            m_sum.push_back(m_sum.back() + x);
            m_squares.push_back(m_squares.back() + x * x);
        }
    }
    double error(size_t from, size_t to) const {
        const double s = m_sum[to] - m_sum[from];
        return std::max(0.0, m_squares[to] - m_squares[from] - s * s / double(to - from));
    }
    GapCluster cluster(size_t from, size_t to, const Prior& prior = kPrior) const {
        const double n = double(to - from);
        const double spread = std::sqrt(
            (error(from, to) + prior.weight * prior.spread * prior.spread) / (n + prior.weight));
        return {(m_sum[to] - m_sum[from]) / n, spread, to - from};
    }

private:
    std::vector<double> m_sum{0};
    std::vector<double> m_squares{0};
};

bool LooksOwnSpacing(const GapCluster& letter, const GapCluster& syllable, const GapCluster& word) {
    return letter.center >= kOwnLetterGapFloor &&
           std::abs(syllable.center - letter.center - kOwnSyllableOverLetter) <= kOwnRatioSlack &&
           std::abs(word.center - letter.center - kOwnWordOverLetter) <= kOwnRatioSlack;
}

bool StandApart(const GapCluster& low, const GapCluster& high, const Apart& apart) {
    const double distance = high.center - low.center;
    return distance >= apart.minLogRatio && distance >= apart.spreads * (low.spread + high.spread);
}

// The best cuts of sorted values into 1 to kMaxGroups runs, for every number of runs at once,
// by dynamic programming over the run ends. A run costs what it costs to say its values by a
// normal distribution of its own spread and share (n ln spread - n ln share), so a dense,
// narrow group (element gaps) stays whole and a wide, thin one (a hand key's letter and word
// gaps) is not carved up the way least squares would carve it.
constexpr size_t kMaxGroups = 4;
constexpr double kSpreadFloor = 0.05;  // no run is narrower than this, however few it holds
// A group more must say the gaps this much better (in nats) to be believed: about the price
// of its three numbers (centre, spread, share) at this window's length.
const double kGroupPrice = 2.0;

class BestCuts {
public:
    BestCuts(const Sums& sums, size_t n) : m_n(n) {
        // Every run's cost once: each number of runs uses the same ones.
        std::vector<double> run((n + 1) * (n + 1), 0);
        for (size_t i = 0; i < n; ++i)
            for (size_t j = i + 1; j <= n; ++j) run[i * (n + 1) + j] = runCost(sums, i, j);
        for (size_t k = 0; k < kMaxGroups; ++k) {
            m_cost[k].assign(n + 1, kNone);
            m_from[k].assign(n + 1, 0);
        }
        for (size_t j = 1; j <= n; ++j) m_cost[0][j] = run[j];
        for (size_t k = 1; k < kMaxGroups; ++k) {
            for (size_t j = k + 1; j <= n; ++j) {
                for (size_t i = k; i < j; ++i) {
                    if (m_cost[k - 1][i] == kNone) continue;
                    const double c = m_cost[k - 1][i] + run[i * (n + 1) + j];
                    if (c < m_cost[k][j]) {
                        m_cost[k][j] = c;
                        m_from[k][j] = i;
                    }
                }
            }
        }
    }
    // The run boundaries for `groups` runs: 0, the cuts, n. Empty when there are too few values.
    std::vector<size_t> bounds(size_t groups) const {
        if (groups == 0 || groups > kMaxGroups || m_n < groups) return {};
        std::vector<size_t> out(groups + 1);
        out[groups] = m_n;
        for (size_t k = groups - 1; k > 0; --k) out[k] = m_from[k][out[k + 1]];
        out[0] = 0;
        return out;
    }
    // Whether `groups` runs say the values better than one run fewer, by more than a group costs.
    bool worthIt(size_t groups) const {
        if (groups < 2 || groups > kMaxGroups || m_n < groups) return false;
        return m_cost[groups - 1][m_n] + kGroupPrice < m_cost[groups - 2][m_n];
    }

private:
    static constexpr double kNone = 1e300;

    double runCost(const Sums& sums, size_t from, size_t to) const {
        const double n = double(to - from);
        const double variance = (sums.error(from, to) + kSpreadFloor * kSpreadFloor) / (n + 1);
        return n * 0.5 * std::log(variance) - n * std::log(n / double(m_n));
    }

    size_t m_n;
    std::array<std::vector<double>, kMaxGroups> m_cost;
    std::array<std::vector<size_t>, kMaxGroups> m_from;
};

}  // namespace

GapClusters::GapClusters(bool syllableGaps)
    : m_syllableGaps(syllableGaps),
      m_element{0, 0.2},
      m_letter{std::log(3.0), 0.25},
      m_word{std::log(7.0), 0.25},
      m_wordOverLetter(std::log(7.0 / 3.0)) {}

void GapClusters::add(double logUnits) {
    if (!std::isfinite(logUnits) || isPause(logUnits)) return;
    m_window.push_back(logUnits);
    if (m_window.size() > kWindow) m_window.pop_front();
    // An element gap like the others moves the groups little: most of them are not refitted
    // for, which saves most of the work (the fit is the costliest step of reading a gap).
    const bool plainElementGap =
        m_lettersLearned && std::abs(logUnits - m_element.center) < 2 * m_element.spread;
    if (plainElementGap && ++m_sinceRefit < kRefitEvery) return;
    m_sinceRefit = 0;
    refit();
}

bool GapClusters::isPause(double logUnits) const {
    if (!m_lettersLearned) return logUnits > kFirstPause;
    return logUnits > std::max(m_word.center + kPauseOverWord, kShortestPause);
}

bool GapClusters::ownLetterGaps() const {
    return m_lettersLearned && m_letter.center >= kOwnLetterGapFloor;
}

void GapClusters::rescale(double logRatio) {
    for (double& gap : m_window) gap -= logRatio;
    if (!m_lettersLearned) {
        // The groups are still the usual lengths in units, which do not move; what the gaps
        // so far say is read again.
        if (!m_window.empty()) refit();
        return;
    }
    m_element.center -= logRatio;
    m_letter.center -= logRatio;
    m_word.center -= logRatio;
    if (m_syllable) m_syllable->center -= logRatio;
}

void GapClusters::refit() {
    std::vector<double> sorted(m_window.begin(), m_window.end());
    std::sort(sorted.begin(), sorted.end());
    const Sums sums(sorted);
    const BestCuts cuts(sums, sorted.size());
    const size_t n = sorted.size();
    auto groups = [&](size_t count) {
        std::vector<GapCluster> out;
        const std::vector<size_t> b = cuts.bounds(count);
        if (b.size() < 3 || !cuts.worthIt(count)) return out;
        // The element gaps must be the largest group, and most of the gaps; the groups between
        // them and the word gaps are common too: a stray gap makes none, nor, with syllable
        // gaps, do two (the three units inside this program's 예).
        const size_t elements = b[1] - b[0];
        if (double(elements) < kMinElementShare * double(n) || elements < b[2] - b[1]) return out;
        const size_t middle = count == 4 ? kMinSyllableMiddleGroup : kMinMiddleGroup;
        for (size_t i = 1; i + 2 < b.size(); ++i)
            if (b[i + 1] - b[i] < middle) return out;
        const Prior& prior = count == 4 ? kEvenPrior : kPrior;
        for (size_t i = 0; i + 1 < b.size(); ++i)
            out.push_back(sums.cluster(b[i], b[i + 1], prior));
        return out;
    };

    if (m_syllableGaps) {
        // Only this program's own spacing sets syllables apart, with its own lengths: letters
        // 7 units apart, syllables 13, words 21 (15 after a digit). Four groups of other
        // lengths are groups of a fist's letter and word gaps cut by chance. And one long
        // pause is no group of word gaps that would make the real word gaps syllable gaps.
        const std::vector<GapCluster> g = groups(4);
        if (g.size() == 4 && g[3].count >= kMinWordGroup && LooksOwnSpacing(g[1], g[2], g[3]) &&
            StandApart(g[0], g[1], kElementLetter) && StandApart(g[1], g[2], kLetterSyllable) &&
            StandApart(g[2], g[3], kSyllableWord)) {
            m_syllablesHeard = m_syllablesHeard || ++m_syllableFits >= kSyllableConfirmations;
            m_wordsHeard = true;
            settle(g[0], g[1], g[2], g[3]);
            return;
        }
        m_syllableFits = 0;
        // Word gaps are few, and with long syllables (ㄲ and ㅙ in one) so are syllable gaps:
        // often the window holds too few to show four groups, yet the keying has not changed.
        // Syllable and word gaps once heard stand while the letter gaps stay where they were.
        if (m_syllablesHeard && keepSyllables(groups(3))) return;
        if (m_syllablesHeard && keepSyllables(groups(2))) return;
        m_syllablesHeard = false;
    }
    if (const std::vector<GapCluster> g = groups(3); g.size() == 3 && g[2].count >= kMinWordGroup &&
                                                     StandApart(g[0], g[1], kElementLetter) &&
                                                     StandApart(g[1], g[2], kLetterWord)) {
        m_wordsHeard = true;
        if (!settleAsOwnSpacing(g[0], g[1])) settle(g[0], g[1], std::nullopt, g[2]);
        return;
    }
    if (const std::vector<GapCluster> g = groups(2);
        g.size() == 2 && StandApart(g[0], g[1], kElementLetter)) {
        if (settleAsOwnSpacing(g[0], g[1])) return;
        // No word gap in sight: it keeps its ratio to the letter gap.
        const GapCluster word{g[1].center + m_wordOverLetter, std::max(m_word.spread, g[1].spread)};
        settle(g[0], g[1], std::nullopt, word);
        return;
    }
    // One group. Until letter gaps have been heard these are element gaps, and the others keep
    // their ratios to them; later it is a mixture the groups cannot tell apart now, and what
    // was learned stands.
    if (m_lettersLearned) return;
    const double split = (m_element.center + m_letter.center) / 2;
    const size_t elements =
        static_cast<size_t>(std::lower_bound(sorted.begin(), sorted.end(), split) - sorted.begin());
    if (elements == 0) return;  // the first letter gap, and no element gap yet
    const GapCluster element = sums.cluster(0, elements);
    const double shift = element.center - m_element.center;
    m_element = element;
    m_letter.center += shift;
    m_word.center += shift;
}

// Korean keyed with this program's own spacing (letter gaps of 7 units, where others key 3, or
// 4 to 5 with a hand key) is taken to set its syllables apart by 13 and its words by 21 until
// enough syllable and word gaps have come to show them, so that the first words read right too.
bool GapClusters::keepSyllables(const std::vector<GapCluster>& g) {
    if (g.size() < 2 || !m_syllable || std::abs(g[1].center - m_letter.center) > kLetterDrift)
        return false;
    settle(g[0], g[1], m_syllable, m_word);
    return true;
}

bool GapClusters::settleAsOwnSpacing(const GapCluster& element, const GapCluster& letter) {
    if (!m_syllableGaps || m_syllablesHeard || letter.center < kOwnLetterGap ||
        letter.spread > kOwnLetterSpread)
        return false;
    settle(element, letter, GapCluster{letter.center + kOwnSyllableOverLetter, letter.spread},
           GapCluster{letter.center + kOwnWordOverLetter, letter.spread});
    return true;
}

// A fit of a few dozen gaps wavers with each gap that comes and goes, most of all for the
// rarer word gaps: the groups follow it smoothly, unless it has moved far (the keying changed,
// or the groups are first found), when they take it at once.
void GapClusters::settle(const GapCluster& element, const GapCluster& letter,
                         const std::optional<GapCluster>& syllable, const GapCluster& word) {
    const bool jump = !m_lettersLearned || syllable.has_value() != m_syllable.has_value();
    auto follow = [&](GapCluster& kept, const GapCluster& fit) {
        if (jump || std::abs(fit.center - kept.center) > kFollowLimit) {
            kept = fit;
            return;
        }
        kept.center += kFollowRate * (fit.center - kept.center);
        kept.spread += kFollowRate * (fit.spread - kept.spread);
    };
    follow(m_element, element);
    follow(m_letter, letter);
    follow(m_word, word);
    if (syllable && m_syllable)
        follow(*m_syllable, *syllable);
    else
        m_syllable = syllable;
    m_wordOverLetter = m_word.center - m_letter.center;
    m_lettersLearned = true;
}

}  // namespace cwt::decode
