#pragma once
// Measures the rhythm of sound against what was meant to sound: the tones of a rendering (the
// bytes handed to the wave output) against the tones found in a recording of the sound
// server's output. Used by the integration tests and the benchmarks.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cwt {

struct ToneRun {
    double startMs = 0;
    double endMs = 0;
};

// Tones of 8-bit data: every byte other than `silence` is tone.
std::vector<ToneRun> ToneRunsOfBytes(const uint8_t* data, size_t count, int rate,
                                     uint8_t silence = 128);
// Tones of a 16-bit recording: samples above `threshold` in magnitude; a quieter stretch
// shorter than `minGapMs` (a zero crossing of the resampled wave) does not end a tone.
std::vector<ToneRun> ToneRunsOfSamples(const int16_t* data, size_t count, int rate,
                                       int threshold = 1000, double minGapMs = 0.5);

struct RhythmReport {
    int expectedTones = 0;
    int measuredTones = 0;
    double meanElementErrorMs = 0;  // |measured − meant| length of a tone
    double maxElementErrorMs = 0;
    double meanGapErrorMs = 0;  // |measured − meant| length of the silence between tones
    double maxGapErrorMs = 0;
    double maxEdgeErrorMs = 0;  // every start and end, after lining up the first start
    int stretchedGaps = 0;      // gaps longer than meant by more than the tolerance
    double durationRatio = 0;   // measured / meant, first start to last end
    bool sameTones() const { return expectedTones == measuredTones && expectedTones > 0; }
};

RhythmReport CompareRhythm(const std::vector<ToneRun>& meant, const std::vector<ToneRun>& measured,
                           double toleranceMs = 1.0);

// What a recording holds outside the tones that were sent: silence, or a thump, a click or a
// hum that an operator would hear between and after the sends.
struct SilenceReport {
    int sendsFound = 0;       // sends lined up with the recording, in order
    double loudest = 0;       // loudest sample outside the sent tones, 0..1 of full scale
    double loudestAtMs = -1;  // where it is in the recording
};

// Lines up each send (the tones meant for it, in order) with the tones found in a recording:
// the first found tone after the previous send whose length is that of the send's first tone
// within `toleranceMs`. Then finds the loudest sample outside the sent tones, each widened by
// `marginMs` on both sides (a resampler rings a little past a tone's edge). A send that cannot
// be found counts as not sent: all its sound is outside.
SilenceReport LoudestOutsideTones(const int16_t* data, size_t count, int rate,
                                  const std::vector<std::vector<ToneRun>>& sends,
                                  double marginMs = 2.0, double toleranceMs = 1.0);

}  // namespace cwt
