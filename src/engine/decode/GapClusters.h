#pragma once
// The gaps of the keying at hand, learned from the gaps themselves: the last few dozen spaces
// between marks, measured in units at the time each was keyed, fall into groups, and the
// lowest group is the element gap, the next the letter gap and the highest the word gap. So
// the usual 1, 3 and 7 units, Farnsworth spacing and this program's own 7-unit letter gap and
// 15-unit word gap are all read by what the operator does, a change of speed does not move
// them, and a reading gone wrong (element gaps taken for letter gaps after a sudden change)
// cannot feed itself: what the groups are does not depend on how gaps were read.
//
// Where syllable gaps are asked for (Korean), a fourth group between letter and word gaps is
// looked for: this program sets Hangul syllables apart by 13 units, between its 7-unit letter
// gap and its 21-unit word gap. It is taken only when the gaps fall into four clearly separate
// groups.
//
// Lengths are natural logarithms of units throughout: a spread is then a relative one.

#include <deque>
#include <optional>
#include <vector>

namespace cwt::decode {

struct GapCluster {
    double center = 0;  // ln(units)
    double spread = 0;  // standard deviation of ln(units)
    size_t count = 0;   // gaps of the window in the group
};

class GapClusters {
public:
    explicit GapClusters(bool syllableGaps);

    // A space between two marks, in ln(units). A pause (see isPause) is kept out: it would pull
    // the groups apart.
    void add(double logUnits);
    // Whether a space is far longer than a word gap: the operator stopped.
    bool isPause(double logUnits) const;
    // The unit was found to be `logRatio` longer than thought (ln): every gap learned so far is
    // that much shorter in units.
    void rescale(double logRatio);

    // True once gaps longer than element gaps have been seen among the recent ones; before
    // that the letter and word gaps are the usual 3 and 7 element gaps.
    bool lettersLearned() const { return m_lettersLearned; }
    // True once a group of word gaps has been found among the gaps, not only assumed from the
    // letter gaps: what a letter gap is and what a word gap is are then both known.
    bool wordsHeard() const { return m_wordsHeard; }
    // Whether the letter gaps are as long as this program's own (7 units where others key 3).
    bool ownLetterGaps() const;
    const GapCluster& element() const { return m_element; }
    const GapCluster& letter() const { return m_letter; }
    const GapCluster& word() const { return m_word; }
    // Between letter and word gaps, when the keying sets syllables apart.
    const std::optional<GapCluster>& syllable() const { return m_syllable; }

private:
    void refit();
    bool keepSyllables(const std::vector<GapCluster>& groups);
    bool settleAsOwnSpacing(const GapCluster& element, const GapCluster& letter);
    void settle(const GapCluster& element, const GapCluster& letter,
                const std::optional<GapCluster>& syllable, const GapCluster& word);

    bool m_syllableGaps = false;
    std::deque<double> m_window;
    int m_sinceRefit = 0;
    bool m_syllablesHeard = false;  // four groups have been found, a few times running
    int m_syllableFits = 0;         // fits in a row that found four groups
    bool m_lettersLearned = false;
    bool m_wordsHeard = false;
    GapCluster m_element;
    GapCluster m_letter;
    GapCluster m_word;
    std::optional<GapCluster> m_syllable;
    double m_wordOverLetter;  // ln(word gap / letter gap), kept while no word gap is in sight
};

}  // namespace cwt::decode
