#pragma once
// Decides where the key went down and up, late and on the whole evidence: a Viterbi search
// over alternating marks and spaces whose lengths follow a DurationModel, scored by how much
// more likely the baseband is under "mark" than under "noise" over each stretch. A boundary
// is settled once it lies `lag` samples behind the newest sample; from then on every path
// must pass through it, so what was given out is never taken back.
//
// Times are baseband sample indices: boundary b lies before sample b.

#include <array>
#include <complex>
#include <functional>
#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

#include "engine/decode/DurationModel.h"

namespace cwt::decode {

struct Segment {
    bool mark = false;
    long start = 0;
    long end = 0;          // one past the last sample
    double evidence = 0.0;     // log-likelihood ratio of "mark" over "noise" for the stretch
    double markLogOdds = 0.0;  // the same with the priors: how much likelier a mark than not
};

// A stretch of baseband as the scorer sees it: the sum of its samples, the sum of its first
// half (length / 2 samples), its length, and the level a mark is expected to have there.
struct StretchSums {
    std::complex<double> sum;
    std::complex<double> firstHalf;
    int length = 0;
    double level = 0.0;  // a mark's amplitude about the stretch's end; 0: the scorer's own
};

// The evidence of a mark over a stretch: how much likelier the samples are under "mark" than
// under "noise", as a natural logarithm.
class SegmentScorer {
public:
    virtual ~SegmentScorer() = default;
    virtual double score(const StretchSums& sums) const = 0;
    // A value score() never exceeds for these sums, cheap to compute.
    virtual double bound(const StretchSums& sums) const = 0;
    // A value between score() and bound(), dearer than bound() and far cheaper than score().
    virtual double closerBound(const StretchSums& sums) const = 0;
};

class KeySegmenter {
public:
    explicit KeySegmenter(const SegmentScorer& scorer);

    void setModel(const DurationModel& model);
    const DurationModel& model() const { return m_model; }
    // How finely long marks are tried: a mark of d samples is tried at every d / lengths
    // samples. Call rescore() after changing it.
    void setLengthsPerStep(int lengths);
    static constexpr int kFineLengthsPerStep = 96;
    static constexpr int kCoarseLengthsPerStep = 24;

    // One baseband sample, and the level a mark ending there is expected to have (0: the
    // scorer's own estimate).
    void push(std::complex<double> z, double level = 0.0);

    // Settles what lies `lag` samples or more behind the newest sample and appends the
    // segments that became final, in order. Returns the time up to which the key is known
    // to be up after the last settled mark (the space in progress), or -1 when a mark may
    // still be in progress there.
    long settle(long lag, std::vector<Segment>& out);

    // Scores the unsettled stretch again, as the scorer's levels or the model now say. Called
    // by itself after settling; call it after changing either.
    void rescore();

    // Everything up to now becomes final, as if the stream ended with the key up.
    void flush(std::vector<Segment>& out);

    long now() const { return m_now; }
    // The sum of the samples pushed between boundaries `start` and `end`, while both are among
    // the last kRingSize boundaries; none otherwise.
    std::optional<std::complex<double>> sumOf(long start, long end) const;

private:
    static constexpr double kNone = -std::numeric_limits<double>::infinity();
    static constexpr size_t kRingSize = 8192;
    enum class State : unsigned char { Mark, Space, LongSpace };

    struct Slot {
        std::complex<double> sum;  // prefix sum of z before this boundary
        double level = 0.0;        // a mark's expected level ending here
        double mark = kNone, space = kNone, longSpace = kNone;
        int markLength = 0;        // of the best mark ending here
        bool markFromLong = false; // its predecessor was a long space
        int spaceLength = 0;       // of the best short space ending here
        long longStart = 0;        // where the best long space ending here began
    };

    struct MarkCandidate {
        int length;
        double prior;  // of the path up to the mark and of its length
        double bound;  // what prior + score cannot exceed
        StretchSums sums;
    };

    Slot& at(long b) { return m_ring[static_cast<size_t>(b) & m_mask]; }
    const Slot& at(long b) const { return m_ring[static_cast<size_t>(b) & m_mask]; }
    double markEnding(long b) const;
    double spaceBefore(long b) const;  // best space of either kind ending at b
    double shortSpaceEnding(long b) const;
    double longSpaceEnding(long b) const;
    StretchSums sums(long start, long end) const;
    double evidence(long start, long end) const;
    void update(long b);
    void chooseMark(Slot& slot);
    std::vector<Segment> bestPath();
    void anchorAt(const Segment& last);
    void give(const Segment& seg, const Segment* after, std::vector<Segment>& out);
    double spacePrior(long d) const;
    double markPrior(long d) const;
    double markLogOdds(const Segment& seg, const Segment* after) const;

    const SegmentScorer& m_scorer;
    DurationModel m_model;
    std::vector<Slot> m_ring;
    size_t m_mask;
    long m_now = 0;  // boundary after the newest sample
    // Everything before m_floor is settled: the last settled boundary is m_anchor, after a
    // segment of kind m_anchorMark, and when that was a mark no other mark starts before
    // m_floor.
    long m_anchor = 0;
    bool m_anchorMark = false;
    long m_floor = 0;
    bool m_stale = false;  // the unsettled slots were scored before the last settling
    Segment m_lastGiven;  // the last segment given out
    bool m_given = false;
    std::vector<MarkCandidate> m_candidates;  // of the boundary being updated
    int m_lengthsPerStep = kFineLengthsPerStep;
    std::array<double, 512> m_logSteps{};  // log of each step between tried mark lengths
};

}  // namespace cwt::decode
