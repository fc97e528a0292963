#include "sound/sidetone/SidetoneRenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cwt {

namespace {

// The wave device's widening of the program's unsigned 8-bit samples.
double Widened(uint8_t byte) { return (static_cast<int>(byte) - 128) * 256.0; }

}  // namespace

void SidetoneRenderer::reset(int rateHz, const ToneSettings& tone) {
    m_rateHz = std::max(rateHz, ToneOscillator::kRateHz);
    m_programPerOutput = double(ToneOscillator::kRateHz) / m_rateHz;
    m_halfRampSamples = 0.5 / m_programPerOutput;
    m_tone = tone;
    m_pendingHead = 0;
    m_pendingCount = 0;
    m_blockStart = 0;
    m_blockStartNs = 0;
    m_rendered = 0;
    m_active = false;
    m_upKnown = false;
    m_lateShift = 0;
    m_lateEdges = 0;
}

bool SidetoneRenderer::take(const keyer::KeyEdge& edge) {
    if (m_pendingCount == kPendingCapacity) return false;
    // Sorted by time; a producer hands its edges in order, so this rarely moves anything.
    size_t at = m_pendingCount;
    while (at > 0) {
        const keyer::KeyEdge& before = m_pending[(m_pendingHead + at - 1) % kPendingCapacity];
        if (before.time <= edge.time) break;
        m_pending[(m_pendingHead + at) % kPendingCapacity] = before;
        --at;
    }
    m_pending[(m_pendingHead + at) % kPendingCapacity] = edge;
    ++m_pendingCount;
    return true;
}

void SidetoneRenderer::popFront() {
    m_pendingHead = (m_pendingHead + 1) % kPendingCapacity;
    --m_pendingCount;
}

// Where the edge sounds, in output samples since reset(), from the moment of the block's
// first sample.
double SidetoneRenderer::positionOf(const keyer::KeyEdge& edge) const {
    const double sinceBlockNs = static_cast<double>(edge.time.count()) -
                                static_cast<double>(m_blockStartNs) +
                                static_cast<double>(m_latencyNs);
    return static_cast<double>(m_blockStart) + sinceBlockNs * m_rateHz / 1e9;
}

// Applies every edge whose sound begins at `sample` or before.
void SidetoneRenderer::takeDueEdges(int64_t sample) {
    const auto now = static_cast<double>(sample);
    const auto blockStart = static_cast<double>(m_blockStart);
    while (m_pendingCount > 0) {
        const keyer::KeyEdge& edge = front();
        if (edge.down) {
            if (m_active && !m_upKnown) {  // already down
                popFront();
                continue;
            }
            double at = positionOf(edge);
            if (at - m_halfRampSamples > now) return;
            m_lateShift = 0;
            if (at < blockStart) {
                m_lateShift = blockStart - at;
                at = blockStart;
                ++m_lateEdges;
            }
            startElement(at);
        } else if (m_active && !m_upKnown) {
            double at = positionOf(edge) + m_lateShift;
            if (at < blockStart) {
                at = blockStart;
                ++m_lateEdges;
            }
            m_endProgram = (std::max(at, m_downAt) - m_downAt) * m_programPerOutput;
            m_upKnown = true;
            m_lateShift = 0;
        }
        popFront();  // a key-up with no key down drops out here too
    }
}

void SidetoneRenderer::startElement(double position) {
    m_active = true;
    m_upKnown = false;
    m_downAt = position;
    m_oscillator.start(m_tone);
    // Before its first sample the element holds that sample's level, so the rise starts there.
    m_after = Widened(m_oscillator.next());
    m_before = m_after;
    m_programIndex = -1;
}

// The element's sound at `sample`; ends the element after its fall.
int16_t SidetoneRenderer::elementSample(int64_t sample) {
    // Program samples since the key-down; program sample k stands for [k, k + 1).
    const double u = (static_cast<double>(sample) - m_downAt) * m_programPerOutput;
    double gate = std::min(1.0, u + 0.5);
    if (m_upKnown) {
        const double fall = m_endProgram + 0.5 - u;
        if (fall <= 0) {
            m_active = false;
            return 0;
        }
        gate = std::min(gate, fall);
    }
    if (gate <= 0) return 0;
    // Between the centres of program samples k and k + 1.
    const double between = u - 0.5;
    const auto k = static_cast<int64_t>(std::floor(between));
    while (m_programIndex < k) {
        m_before = m_after;
        m_after = Widened(m_oscillator.next());
        ++m_programIndex;
    }
    const double fraction = between - static_cast<double>(k);
    const double value = gate * (m_before + (m_after - m_before) * fraction);
    return static_cast<int16_t>(std::clamp(std::lrint(value), -32768L, 32767L));
}

// The first sample at which the waiting key-down begins to rise, or the largest sample.
int64_t SidetoneRenderer::nextDueSample() const {
    if (m_pendingCount == 0 || !front().down) return std::numeric_limits<int64_t>::max();
    const double due = std::ceil(positionOf(front()) - m_halfRampSamples);
    if (due >= 9e18) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(due);
}

void SidetoneRenderer::render(int16_t* out, int frames, int64_t firstSampleNs) {
    m_blockStart = m_rendered;
    m_blockStartNs = firstSampleNs;
    const int64_t end = m_blockStart + std::max(frames, 0);
    int64_t sample = m_blockStart;
    while (sample < end) {
        takeDueEdges(sample);
        if (!m_active) {
            const int64_t silentUntil = std::max(std::min(end, nextDueSample()), sample + 1);
            std::fill(out + (sample - m_blockStart), out + (silentUntil - m_blockStart), 0);
            sample = silentUntil;
            continue;
        }
        out[sample - m_blockStart] = elementSample(sample);
        ++sample;
    }
    m_rendered = end;
}

}  // namespace cwt
