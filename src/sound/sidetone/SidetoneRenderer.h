#pragma once
// Renders key edges into the sidetone's samples, each at the sample its time stands for: an
// edge at time t sounds at t + latency, to a fraction of a sample, whatever the blocks the
// server asks for. So the elements are as long as they were keyed, not rounded to a block.
// Pure C++ without I/O: the audio thread calls it with the time at which a block's first
// sample will sound; tests call it with times of their own.
//
// The tone is the program's (ToneOscillator: the bytes SynthesizeTone writes, at 11025 samples
// a second, widened to signed 16 bit as the wave device widens them). The output runs at a
// higher rate; between two of the program's samples the sound goes in a straight line, and
// each edge rises or falls over one of the program's samples, centred on the edge's moment.
// Half the level is therefore reached exactly at the edge, and outside the tones every sample
// is exactly 0.
//
// Edges may come ahead of their time (a keyer hands out both edges of an element when it
// starts) or after it (a thread that was held up). An edge whose moment has already been
// rendered sounds at once: a late key-down starts the element at the next sample, and its
// key-up is moved by as much, so the element keeps its keyed length; a late key-up ends the
// element at once.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "engine/keyer/KeyEvents.h"
#include "sound/ToneSynth.h"
#include "sound/sidetone/ToneOscillator.h"

namespace cwt {

class SidetoneRenderer {
public:
    static constexpr size_t kPendingCapacity = 256;

    // Key up, nothing pending, a fresh count of samples. `rateHz` is the output's rate (at
    // least the program's 11025). Not while render() runs.
    void reset(int rateHz, const ToneSettings& tone);

    // The fixed time from an edge to its sound [ns]. Set while no element sounds.
    void setLatency(std::chrono::nanoseconds latency) { m_latencyNs = latency.count(); }
    int64_t latencyNs() const { return m_latencyNs; }
    // The tone of the elements that start from now on; the element that sounds keeps its own.
    void setTone(const ToneSettings& tone) { m_tone = tone; }

    // Takes an edge; false when kPendingCapacity edges are already waiting (the caller keeps it
    // and offers it again after the next block). Edges of equal time keep their order.
    bool take(const keyer::KeyEdge& edge);

    // Writes `frames` samples (mono, signed 16 bit); the first sounds at `firstSampleNs` on
    // the monotonic clock, the others follow at the output's rate.
    void render(int16_t* out, int frames, int64_t firstSampleNs);

    // The key is down, or an element is still fading out.
    bool sounding() const { return m_active; }
    size_t pending() const { return m_pendingCount; }
    // Edges that came after their moment had been rendered.
    int lateEdges() const { return m_lateEdges; }

private:
    const keyer::KeyEdge& front() const { return m_pending[m_pendingHead]; }
    void popFront();
    double positionOf(const keyer::KeyEdge& edge) const;
    void takeDueEdges(int64_t sample);
    void startElement(double position);
    int16_t elementSample(int64_t sample);
    int64_t nextDueSample() const;

    int m_rateHz = 48000;
    double m_programPerOutput = double(ToneOscillator::kRateHz) / 48000;  // program samples
    double m_halfRampSamples = 0;  // half a program sample, in output samples
    int64_t m_latencyNs = 0;
    ToneSettings m_tone;

    std::array<keyer::KeyEdge, kPendingCapacity> m_pending{};
    size_t m_pendingHead = 0;
    size_t m_pendingCount = 0;

    // The block being rendered: its first sample and that sample's moment.
    int64_t m_blockStart = 0;
    int64_t m_blockStartNs = 0;
    int64_t m_rendered = 0;  // samples written since reset()

    // The element that sounds: where its edges lie [output samples, fractional], the
    // oscillator and the two program samples the output is between.
    bool m_active = false;
    bool m_upKnown = false;
    double m_downAt = 0;
    double m_endProgram = 0;  // key-up, in program samples after the key-down
    double m_lateShift = 0;   // a late key-down moved its element by this much
    ToneOscillator m_oscillator;
    int64_t m_programIndex = -1;  // index of m_before; m_after is the next one
    double m_before = 0;
    double m_after = 0;
    int m_lateEdges = 0;
};

}  // namespace cwt
