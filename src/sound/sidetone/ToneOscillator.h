#pragma once
// The program's tone one sample at a time: the same bytes SynthesizeTone writes for an element,
// for an element whose length nobody knows yet (a key held down). start() begins an element
// afresh, with the phase every element of the program starts with.

#include <cstdint>

#include "sound/ToneSynth.h"

namespace cwt {

class ToneOscillator {
public:
    // The rate the program's tones are counted in: the wave output's 11025 samples per second.
    static constexpr int kRateHz = 11025;

    // Any thread; no allocation. Takes the settings as SynthesizeTone reads them.
    void start(const ToneSettings& settings);
    // The next byte of the element (unsigned 8 bit, as the wave output gets it).
    uint8_t next();

private:
    void rise();

    WaveKind m_kind = WaveKind::M1;
    int m_hi = 0;
    int m_lo = 0;
    int m_timbre = 1;
    int m_step = 0;
    int m_level = 0;
    bool m_up = true;
    int m_index = 0;  // within the element, wrapped at a multiple of the timbre
};

}  // namespace cwt
