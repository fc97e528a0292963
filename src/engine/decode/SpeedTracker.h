#pragma once
// Follows the sender's element lengths from the marks and spaces already decided: the last
// couple of dozen marks are split into dots and dashes where their lengths part most, and
// each length is the median of its group, so a sender whose dash is four dots long, or who
// drifts faster, is followed as he sends. The longer spaces are split the same way into
// letter and word gaps, whatever spacing the sender uses (Farnsworth, or letters spaced like
// words). The spread of the lengths is measured too: a hand key's wide spread widens the
// segmenter's priors.

#include <deque>

#include "engine/decode/DurationModel.h"

namespace cwt::decode {

class SpeedTracker {
public:
    // The first dot length, and the range the dot may take.
    SpeedTracker(double dotSamples, double minDotSamples, double maxDotSamples);

    void addMark(double lengthSamples);
    void addSpace(double lengthSamples);

    const ElementLengths& lengths() const { return m_lengths; }
    // True once enough marks were seen to trust the lengths.
    bool settled() const { return m_marksSeen >= kSettledMarks; }
    int marksSeen() const { return m_marksSeen; }

private:
    static constexpr int kSettledMarks = 8;
    void estimate();
    void estimateLongGaps();

    double m_minDot;
    double m_maxDot;
    ElementLengths m_lengths;
    std::deque<double> m_marks;   // log lengths, the newest last
    std::deque<double> m_gaps;    // log lengths of spaces within letters
    std::deque<double> m_longGaps;  // log lengths of spaces between letters and words
    int m_marksSeen = 0;
};

}  // namespace cwt::decode
