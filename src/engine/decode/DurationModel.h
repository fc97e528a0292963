#pragma once
// How long marks and spaces are likely to be, in baseband samples, for the segmenter's
// priors: log-normal around the running lengths of dots and dashes, and of the gaps within
// letters, between letters and between words, with a small share spread evenly so that an
// odd element or a change of speed can still be followed. Spaces longer than the longest
// modelled gap fall off geometrically: a pause of any length is possible, but a mark found
// in the middle of a long space pays for the choice of where it lies.

#include <cstddef>
#include <vector>

namespace cwt::decode {

struct ElementLengths {
    double dotSamples = 30.0;
    double dashSamples = 90.0;
    double gapSamples = 30.0;         // between the elements of a letter
    double letterGapSamples = 90.0;   // between letters
    double wordGapSamples = 210.0;    // between words
    double spread = 0.25;             // σ of the log-normal around marks and element gaps
    double gapSpread = 0.3;           // σ around letter and word gaps
    int longestMark = 0;              // the longest mark the model allows, at least; 0 for 7 dots
};

class DurationModel {
public:
    DurationModel() = default;
    explicit DurationModel(const ElementLengths& lengths);

    const ElementLengths& lengths() const { return m_lengths; }
    int minMark() const { return m_minMark; }
    int maxMark() const { return static_cast<int>(m_markLog.size()) - 1; }
    int longSpace() const { return static_cast<int>(m_spaceLog.size()); }  // first "long" length

    double markLog(int d) const { return m_markLog[static_cast<size_t>(d)]; }
    double spaceLog(int d) const { return m_spaceLog[static_cast<size_t>(d)]; }  // 1 ≤ d < longSpace
    // A space of length d ≥ longSpace: longSpaceLog() + (d - longSpace) × longSpaceStepLog().
    double longSpaceLog() const { return m_longSpaceLog; }
    double longSpaceStepLog() const { return m_longSpaceStepLog; }

private:
    ElementLengths m_lengths;
    int m_minMark = 1;
    std::vector<double> m_markLog;   // index d, 0 unused
    std::vector<double> m_spaceLog;  // index d, 0 unused
    double m_longSpaceLog = 0.0;
    double m_longSpaceStepLog = 0.0;
};

}  // namespace cwt::decode
