#pragma once
// Follows the carrier's phase at baseband, so that a mark can be weighed against the phase the
// marks before it had: a transmitter's oscillator runs on while the key is up, so its phase
// carries over from mark to mark, and knowing it halves the noise a mark has to beat. A
// second-order phase-locked loop on the baseband smoothed over half a dot, each step weighted
// by how sure that stretch holds the tone, so that the noise of the spaces barely moves it.
// It also takes out what is left of a pitch error.
//
// How well the phase is known (the spread of the loop's phase error on the tone) says how
// much the segmenter may trust it.

#include <complex>
#include <vector>

namespace cwt::decode {

class CarrierTracker {
public:
    // Noise power of a baseband sample, the mark's amplitude, and the smoothing length.
    void setLevels(double noisePower, double amplitude, int smoothingSamples);

    // Turns one baseband sample to the tracked phase; the carrier then lies near the real axis.
    std::complex<double> derotate(std::complex<double> z);

    // Concentration of the phase of the carrier about the real axis (a von Mises κ): 0 when
    // nothing is known, larger the better it is known.
    double concentration() const;
    double frequencyHz(double sampleRateHz) const;

private:
    std::vector<std::complex<double>> m_window;
    size_t m_next = 0;
    std::complex<double> m_sum{};
    std::vector<std::complex<double>> m_history;  // the last smoothed values, half a window
    size_t m_historyNext = 0;
    double m_noisePower = 1.0;
    double m_amplitude = 0.0;
    double m_phase = 0.0;  // radians
    double m_step = 0.0;   // radians per sample
    double m_errorPower = 1.0;  // weighted mean square phase error
    double m_weightSum = 0.0;
};

}  // namespace cwt::decode
