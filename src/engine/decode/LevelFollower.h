#pragma once
// Follows a mark's level through fast fading, sample by sample: the power of the last stretch
// of baseband (about half a dot) less what the noise gives it, held as a peak that decays
// over about the time a 1 Hz fade takes to change the level several-fold. The level the marks
// before settled on lags a fade by whole marks; this one is at most one window late, and it
// still knows the last mark's level over the spaces after it, so that a space's noise is not
// taken for a faint mark.
//
// Noise alone gives it nothing to hold on to, so it is worth trusting only where the signal
// stands well clear of the noise.

#include <array>
#include <complex>

namespace cwt::decode {

class LevelFollower {
public:
    static constexpr int kMaxWindow = 256;  // 0.5 s of baseband

    // Forgets the signal followed so far.
    void reset();

    // One baseband sample. `window`: the samples whose sum is weighed (below kMaxWindow);
    // `noiseOfSum`: the noise power of a sum of that many samples. Returns the amplitude a
    // mark ending at this sample is expected to have: never below what noise alone reaches
    // now and then (two of its standard deviations).
    double push(std::complex<double> z, int window, double noiseOfSum);

private:
    std::array<std::complex<double>, kMaxWindow> m_ring{};
    long m_count = 0;
    int m_window = 0;
    std::complex<double> m_sum{};  // of the last m_window samples
    double m_peakPower = 0.0;
};

}  // namespace cwt::decode
