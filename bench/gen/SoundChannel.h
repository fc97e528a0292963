#pragma once
// The sound a receiver would give for a keyed signal: a sine at the pitch, keyed by
// KeyStretches with raised-cosine edges, through Rayleigh fading, with white noise at a
// stated key-on signal-to-noise ratio, at any sample rate. For the decoder's tests and its
// benchmark.
//
// The SNR is the key-on power of the tone (A²/2, before fading; fading keeps the average)
// over the noise power in 500 Hz of audio bandwidth. The same signal measured in 2500 Hz is
// 7 dB lower: Snr500Of2500(x) = x + 10 log10(5).

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/decode/KeyStretch.h"

namespace cwt::testgen {

struct ChannelSettings {
    int sampleRateHz = 8000;
    double pitchHz = 700.0;
    double driftHzPerMinute = 0.0;   // the pitch moves this much each minute
    double riseMs = 5.0;             // each edge, centred on the stretch's boundary
    double amplitude = 0.3;          // of the tone, before fading
    std::optional<double> snrDb500;  // key-on SNR in 500 Hz; none for a noiseless channel
    double dopplerHz = 0.0;          // Rayleigh fading's Doppler spread (2σ of its spectrum); 0 for none
    // Each mark's tone starts at a phase of its own, as from a tone generator started afresh
    // for each element, instead of a carrier that runs on between marks.
    bool phaseAfreshEachMark = false;
    double leadMs = 500.0;           // silence (noise only) before the first stretch
    double tailMs = 500.0;           // and after the last
    uint64_t seed = 1;
};

double Snr500Of2500(double snrDb2500);
double Snr2500Of500(double snrDb500);

// The audio for `keying` (its times are taken from the stretches' own starts, shifted by
// leadMs). Spaces need not be given: only marks sound.
std::vector<float> RenderChannel(const std::vector<decode::KeyStretch>& keying,
                                 const ChannelSettings& settings);

// Noise alone, as RenderChannel gives around the signal, for `ms` milliseconds.
std::vector<float> RenderNoise(double ms, const ChannelSettings& settings);

}  // namespace cwt::testgen
