#include "sound/ToneSynth.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/keying/KeySchedule.h"
#include "engine/morse/Timing.h"

namespace cwt {

namespace {

// Round to the nearest integer, halves to even (the default rounding mode).
long long RoundHalfEven(long double value) { return std::llrint(value); }

int FullScale(int sampleBits) { return sampleBits == 16 ? 65536 : 256; }

// The rising side of the triangle and the sawtooth: one step up, and the turn at the peak.
void RiseToPeak(int& level, bool& up, int step, int hi) {
    level += step;
    if (level >= hi) {
        level = hi;
        up = false;
    }
}

}  // namespace

int ToneStep(const ToneSettings& settings) {
    const int full = FullScale(settings.sampleBits);
    if (settings.freqHz <= 0 || settings.synthRate <= 0) return 0;
    const long double samplesPerCycle =
        static_cast<long double>(settings.synthRate) / static_cast<long double>(settings.freqHz);
    long long step = RoundHalfEven(static_cast<long double>(full) / samplesPerCycle);
    if (settings.slope != 0)
        step = RoundHalfEven(static_cast<long double>(settings.slope * step) / 10);
    return static_cast<int>(step);
}

uint8_t SilenceByte(int sampleBits) { return sampleBits == 16 ? 0 : 128; }

void SynthesizeTone(const ToneSettings& settings, uint8_t* buffer, int count) {
    if (count <= 0 || buffer == nullptr) return;
    const int full = FullScale(settings.sampleBits);
    // The levels stay inside the sample range: a cut of 0 would put the top level at Full,
    // whose low eight bits are 0, a full-scale click in the middle of the tone.
    const int cut = std::clamp(settings.cut, 0, full / 2);
    const int hi = std::min(full - cut, full - 1);
    const int lo = cut;
    const int timbre = settings.timbre <= 0 ? 1 : settings.timbre;
    const int step = ToneStep(settings);
    int level = full / 2;
    bool up = true;
    for (int i = 0; i < count; ++i) {
        switch (settings.kind) {
            case WaveKind::M1:
                if (i % timbre == 0) up = !up;
                level = up ? hi : lo;
                break;
            case WaveKind::M2:
                if (i % timbre == 0) up = !up;
                if (up) {
                    level += step;
                    if (level > hi) level = hi;
                } else {
                    level -= step;
                    if (level < lo) level = lo;
                }
                break;
            case WaveKind::M3:
                if (up) {
                    RiseToPeak(level, up, step, hi);
                } else {
                    level -= step;
                    if (level <= lo) {
                        level = lo;
                        up = true;
                    }
                }
                break;
            case WaveKind::M4:
                if (up) {
                    RiseToPeak(level, up, step, hi);
                } else {
                    level = lo;  // the sample after the peak drops to the bottom
                    up = true;
                }
                break;
        }
        buffer[i] = static_cast<uint8_t>(level & 0xFF);
    }
}

std::vector<uint8_t> SynthesizeTone(const ToneSettings& settings, int count) {
    std::vector<uint8_t> tone(static_cast<size_t>(std::max(count, 0)));
    SynthesizeTone(settings, tone.data(), count);
    return tone;
}

std::vector<uint8_t> LayOutCode(std::string_view code, bool syllableEnd, int toneUnitSamples,
                                std::span<const uint8_t> longTone, uint8_t silence) {
    const size_t unit = static_cast<size_t>(std::max(toneUnitSamples, 0));
    std::vector<uint8_t> sound(static_cast<size_t>(LayoutOf(code, syllableEnd).totalUnits) * unit,
                               silence);
    // The same tone spans give the key edges of a transmitter keyed alongside.
    for (const ToneSpan& span : ToneSpansOf(code)) {
        const size_t n = std::min(static_cast<size_t>(span.lengthUnits) * unit, longTone.size());
        std::memcpy(sound.data() + static_cast<size_t>(span.startUnits) * unit, longTone.data(), n);
    }
    return sound;
}

}  // namespace cwt
