#pragma once
// Weighs a stretch of baseband as "mark" against "noise", for the KeySegmenter.
//
// A mark is a carrier of roughly known level in complex white noise that the baseband low-pass
// has coloured. The stretch's sum S is the matched filter for exactly that stretch: with the
// phase unknown the ratio of likelihoods is exp(-N²a²/V) I0(2Na|S|/V); with the phase the marks
// before had (the carrier runs on between marks) it is sharper. Real marks are less tidy than
// that, so the ratio is averaged over several kinds of mark:
//   - a few levels around the estimate, with the phase known or not;
//   - the phase turning within the mark (its two halves taken apart): a pitch a little off, or
//     fading;
//   - a level that may be anything around the estimate (a complex Gaussian gain), for fast
//     fading and for a level that changes within the mark;
//   - such a gain for each half of its own: a fade's null within the mark.
// The estimate is the stretch's own level where the caller followed it through the fades
// (StretchSums::level), else the one set here.
// Without these, a strong mark that differs from the model in any way is better explained as
// several marks.

#include <array>
#include <vector>

#include "engine/decode/KeySegmenter.h"

namespace cwt::decode {

// log I0(x) for x ≥ 0.
double LogBesselI0(double x);

class CoherentScorer : public SegmentScorer {
public:
    // `correlation`: the baseband noise's autocorrelation at whole lags, 1 at lag 0.
    explicit CoherentScorer(const std::vector<double>& correlation);

    // Noise power per baseband sample and the mark's amplitude at baseband.
    void setLevels(double noisePower, double amplitude);
    double noisePower() const { return m_noisePower; }
    double amplitude() const { return m_amplitude; }
    // Variance of a sum of `length` noise samples, in units of one sample's.
    double sumVariance(int length) const;

    double score(const StretchSums& sums) const override;
    double bound(const StretchSums& sums) const override;
    double closerBound(const StretchSums& sums) const override;
    // The carrier's phase as the marks before say, and how sure that is (a von Mises κ; 0 for
    // not known).
    void setPhase(std::complex<double> reference, double kappa);
    // Whether a mark's halves may each have a gain of their own: only where the levels are
    // seen to fade fast. A steady strong signal's mark and a stretch of the space beside it
    // would pass for one mark so made, at little cost.
    void allowFadeWithinMarks(bool allowed) { m_fadeWithinMarks = allowed; }
    // How sure it is, 0 to 1, that a mark's carrier keeps the phase the marks before had (a
    // transmitter's oscillator runs on; a tone generator started afresh for each element does
    // not), as measured on the marks so far. The surer, the more a steady signal's marks are
    // weighed with the carried phase. 1 until told.
    void setPhaseCarriedOver(double belief);

private:
    struct MixtureWeights {
        std::array<double, 12> logKnownLevel{};  // by kind, then by level
        double logCoherentLeftOut = 0.0;  // added to the phase-unknown kind when none is known
    };
    static MixtureWeights WeightsOf(double knownShare, const std::array<double, 3>& kinds);

    MixtureWeights m_steadyWeights;
    std::complex<double> m_reference{1.0, 0.0};
    double m_kappa = 0.0;
    double m_logBesselKappa = 0.0;
    std::vector<double> m_sumVariance;  // by length, up to the table's end; linear beyond
    double m_varianceSlope = 1.0;
    double m_noisePower = 1.0;
    double m_amplitude = 1.0;
    bool m_fadeWithinMarks = false;
};

}  // namespace cwt::decode
