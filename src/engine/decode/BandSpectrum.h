#pragma once
// The power spectrum of the working-rate signal: a Hann-windowed 1024-point transform every
// 64 ms (at 8 kHz), kept both as the latest frame (for a waterfall) and as a running average
// over about two seconds (for finding the signal's pitch).

#include <complex>
#include <span>
#include <vector>

#include "engine/decode/Fft.h"

namespace cwt::decode {

class BandSpectrum {
public:
    explicit BandSpectrum(int rateHz);

    // Takes samples; returns how many new frames were completed.
    int push(std::span<const float> samples);

    double binHz() const { return m_binHz; }
    size_t binCount() const { return m_latest.size(); }  // bins from 0 Hz up to half the rate
    // Power per bin, in the input's units squared per bin (not normalised to a bandwidth).
    const std::vector<float>& latest() const { return m_latest; }
    const std::vector<float>& average() const { return m_average; }
    long framesSeen() const { return m_frames; }

private:
    void transform();

    double m_binHz;
    Fft m_fft;
    std::vector<float> m_window;
    std::vector<float> m_pending;  // samples not yet in a full frame
    std::vector<std::complex<float>> m_work;
    std::vector<float> m_latest;
    std::vector<float> m_average;
    long m_frames = 0;
};

}  // namespace cwt::decode
