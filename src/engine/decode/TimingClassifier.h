#pragma once
// Reads each mark as a dot or a dash and each space as an element, letter, syllable or word
// gap, following the operator's speed as it drifts or steps.
//
// The speed is one number, the unit: half of a dot and the element gap after it, which stays
// the same however heavily the operator weights the marks. A small Kalman filter tracks its
// logarithm over every dot, dash and element gap, each weighed by how steady its kind has been
// (a paddle's elements count at once, a hand key's dashes less). The shape of the fist (dot,
// dash and element gap against the unit, and their spreads) is learned slowly beside it, and
// the letter and word gaps come from clusters of the gaps themselves (GapClusters). Every
// split between two kinds lies where each is equally many of its own spreads away, so a wide
// kind (a hand key's dashes) gets the room it needs.

#include <deque>
#include <vector>

#include "engine/decode/Decoded.h"
#include "engine/decode/GapClusters.h"

namespace cwt::decode {

class TimingClassifier {
public:
    TimingClassifier(double initialUnitMs, bool syllableGaps);

    struct Reading {
        StretchKind kind = StretchKind::Dot;
        double confidence = 0;  // 0.5 on a split, towards 1 the further from it
    };
    // The first marks and spaces of a sending, before any is read: sets the speed from them,
    // since the speed given at the start is only a guess.
    void prime(const std::vector<double>& marksMs, const std::vector<double>& spacesMs);
    // A whole mark: dot or dash. The speed and shape learn from it.
    Reading readMark(double lengthMs);
    // A whole space: element, letter, syllable or word gap. The model learns from it.
    Reading readSpace(double lengthMs);
    // A space still going on: what it is already, learning nothing. A space that has been a
    // letter gap stays one however long, so this never says less than the whole space will.
    Reading readOpenSpace(double lengthMs) const;
    // A whole space read again with what has been learned since, learning nothing.
    Reading rereadSpace(double lengthMs) const;
    // Whether the word gaps of the keying have been heard, so that a letter gap and a word gap
    // are both known from the gaps themselves.
    bool ownLetterGaps() const { return m_gaps.ownLetterGaps(); }
    bool gapsLearned() const { return m_gaps.lettersLearned(); }
    bool wordGapsHeard() const { return m_gaps.wordsHeard(); }
    // Whether a space this long is clearly more than a word gap: the operator has stopped.
    bool hasStopped(double lengthMs) const;
    // Whether the keying sets syllables apart from letters by a gap of their own.
    bool syllableGapsHeard() const { return m_gaps.syllable().has_value(); }

    double unitMs() const;
    double elementGapMs() const;
    // Marks shorter than this are noise; spaces shorter than this between marks are bounce.
    double spikeLimitMs() const;
    double dropoutLimitMs() const;

private:
    // One kind of element: its length against the unit and its spread, both as logarithms.
    struct Kind {
        double logOverUnit;
        double variance;
    };

    Reading gapOf(double logUnits) const;
    void learn(Kind& kind, double logUnits);
    void keepUnitDefinition();
    void reanchor(double logMs);
    void setUnit(double logUnit, double dashOverDot);
    void primeShape(double logDot, double logDash, const std::vector<double>& spacesMs);

    double m_logUnit;          // ln of the unit, ms
    double m_logUnitVariance;  // the filter's uncertainty about it
    Kind m_dot;
    Kind m_dash;
    Kind m_elementGap;
    std::deque<double> m_recentMarks;  // ln ms of the last marks, to find the speed afresh
    GapClusters m_gaps;
};

}  // namespace cwt::decode
