#pragma once
// The program's own sound for a text, as a receiver would hear it from another station
// sending with CW Tamarik: the main window's square tone, planned and rendered as the Start
// button sends it, as floats, with white noise added.

#include <cstdint>
#include <string_view>
#include <vector>

namespace cwt::test {

constexpr int kSignalRateHz = 11025;

struct SignalOptions {
    // The main window's DotLength: with its default tone width a dot lasts five times it, so
    // 132 makes 660 samples, 60 ms: 20 WPM.
    int dotLength = 132;
    int halfPeriodSamples = 8;  // the square tone's: 11025 / 16 = 689 Hz
    float amplitude = 0.3f;
    double noiseRms = 0.02;
    double leadSeconds = 1.0;
    double tailSeconds = 1.5;
    uint32_t seed = 1;
};

std::vector<float> ProgramSignal(std::u16string_view text, const SignalOptions& options = {});
double PitchOf(const SignalOptions& options);

// Adds `other` into `signal`, scaled, from the start (for two stations at once).
void MixInto(std::vector<float>& signal, const std::vector<float>& other, float scale);

}  // namespace cwt::test
