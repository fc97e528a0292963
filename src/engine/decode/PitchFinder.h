#pragma once
// Finds the signal in the pass band of the averaged spectrum and follows it: the strongest
// peak that stands clear of the band's noise floor, refined between bins, followed as it
// drifts, and given up for another only when that one has been clearly stronger for a
// while. When the operator picked a pitch, only its neighbourhood is searched.

#include <optional>

#include "engine/decode/BandSpectrum.h"

namespace cwt::decode {

class PitchFinder {
public:
    PitchFinder(double lowHz, double highHz);

    void pick(std::optional<double> pitchHz);

    // Called after each new spectrum frame.
    void update(const BandSpectrum& spectrum);

    bool locked() const { return m_locked; }
    double pitchHz() const { return m_pitchHz; }
    // Set when the pitch moved to another signal since the last call to takeJump().
    bool takeJump();
    // Noise power per bin in the pass band (the median bin), and the signal's average power
    // in the bins around its pitch less that noise.
    double noisePerBin() const { return m_noisePerBin; }
    double signalPower() const { return m_signalPower; }

private:
    struct Peak {
        double hz = 0.0;
        double prominence = 0.0;  // power of the three bins around it over three noise bins
    };
    Peak strongest(const BandSpectrum& spectrum, double lowHz, double highHz) const;
    void measure(const BandSpectrum& spectrum);

    double m_lowHz;
    double m_highHz;
    std::optional<double> m_pick;
    bool m_locked = false;
    bool m_jumped = false;
    double m_pitchHz = 0.0;
    double m_noisePerBin = 0.0;
    double m_signalPower = 0.0;
    int m_candidateFrames = 0;  // frames the strongest peak has stood at m_candidateHz
    double m_candidateHz = 0.0;
    int m_rivalFrames = 0;
    double m_rivalHz = 0.0;
};

}  // namespace cwt::decode
