#include "tests/ui/decoder/support/ProgramSignal.h"

#include <random>

#include "engine/morse/Cp949Text.h"
#include "engine/morse/SendDispatch.h"
#include "sound/CodePlayer.h"

namespace cwt::test {

std::vector<float> ProgramSignal(std::u16string_view text, const SignalOptions& options) {
    CodeSettings settings;
    settings.dotLength = options.dotLength;
    settings.tone.timbre = options.halfPeriodSamples;
    std::vector<float> signal(static_cast<size_t>(options.leadSeconds * kSignalRateHz), 0.0f);
    const std::string bytes = cp949::EncodeStrict(text).value_or("");
    for (const PlannedBuffer& buffer : PlanWholeSend(bytes, {})) {
        for (uint8_t byte : CodePlayer::Render(buffer.code, buffer.syllableEnd, settings))
            signal.push_back(byte == 128 ? 0.0f : (byte > 128 ? 1.0f : -1.0f) * options.amplitude);
    }
    signal.resize(signal.size() + static_cast<size_t>(options.tailSeconds * kSignalRateHz), 0.0f);
    std::mt19937 random(options.seed);
    std::normal_distribution<float> noise(0.0f, static_cast<float>(options.noiseRms));
    for (float& sample : signal) sample += noise(random);
    return signal;
}

double PitchOf(const SignalOptions& options) {
    return kSignalRateHz / (2.0 * options.halfPeriodSamples);
}

void MixInto(std::vector<float>& signal, const std::vector<float>& other, float scale) {
    if (signal.size() < other.size()) signal.resize(other.size(), 0.0f);
    for (size_t i = 0; i < other.size(); ++i) signal[i] += scale * other[i];
}

}  // namespace cwt::test
