#pragma once
// The tone of one long element and the element layout of one code string. Pure C++: the main
// window reads its tone controls into a ToneSettings at the moment of rendering, nothing is
// cached here.
//
// Sound is unsigned 8-bit mono, one byte per sample: a "16 bit" setting only changes the
// arithmetic (levels on the 65536 scale, their low eight bits stored) and the silence byte.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace cwt {

// "음 종류": square, clipped ramp, triangle, sawtooth.
enum class WaveKind { M1, M2, M3, M4 };

struct ToneSettings {
    int freqHz = 897;  // BeepFreq: the step of M2..M4 (M1 ignores it)
    int cut = 108;     // BeepFreqCut: distance of both levels from the ends of the range
    int slope = 0;     // TrackBar1, in tenths; 0 leaves the step unchanged
    int timbre = 4;    // SpinEdit4: half-period in samples of M1 and M2
    WaveKind kind = WaveKind::M1;
    int sampleBits = 8;     // "BitsPerSample": 8 or 16
    int synthRate = 11025;  // "SamplePerSec": used only to compute the step
};

// The per-sample step of M2..M4: Round(Full / (synthRate / freqHz)) with halves to even,
// then Round(slope × step / 10) when the slope is not 0.
int ToneStep(const ToneSettings& settings);

// The byte written for silence: 128 at 8 bit, 0 at 16 bit.
uint8_t SilenceByte(int sampleBits);

// Writes `count` bytes of tone; a count of 0 or below writes nothing. Every call starts
// afresh, so every element starts with the same phase. A timbre of 0 or below (typed before
// the spin edit's range check) counts as 1; a cut of 0 puts the top level at the largest value
// that fits (255 at 8 bit) instead of wrapping round to 0.
void SynthesizeTone(const ToneSettings& settings, uint8_t* buffer, int count);
std::vector<uint8_t> SynthesizeTone(const ToneSettings& settings, int count);

// The rendered sound of one code string: every element (S: one unit of tone, L: three, any
// other byte: one unit of silence) followed by one unit of silence, and the gap mark's 6 or 12
// more units. `longTone` holds one long element (3 × toneUnitSamples bytes) of tone. The layout
// may be longer than one 65,535-byte slot of the wave component; TVelWaveCtrl splits it.
std::vector<uint8_t> LayOutCode(std::string_view code, bool syllableEnd, int toneUnitSamples,
                                std::span<const uint8_t> longTone, uint8_t silence);

}  // namespace cwt
