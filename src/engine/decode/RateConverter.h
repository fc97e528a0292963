#pragma once
// Converts a stream of samples from any whole sample rate to the band decoder's working rate,
// by band-limited interpolation (a Kaiser-windowed sinc). Output sample n stands exactly for
// input time n / outRate: the positions are kept as exact fractions, so a long stream never
// drifts against the input's clock.

#include <cstdint>
#include <span>
#include <vector>

namespace cwt::decode {

class RateConverter {
public:
    RateConverter(int inRateHz, int outRateHz);

    // Appends to `out` every output sample whose input neighbourhood has arrived.
    void push(std::span<const float> in, std::vector<float>& out);
    // End of the stream: the remaining outputs, as if silence followed.
    void finish(std::vector<float>& out);

    int inRateHz() const { return m_inRate; }
    int outRateHz() const { return m_outRate; }

private:
    float kernel(double distanceInInputSamples) const;
    void produce(std::vector<float>& out, bool flushing);

    int m_inRate;
    int m_outRate;
    bool m_passThrough;
    int64_t m_stepNum = 0;    // input samples per output, as m_stepNum / m_den
    int64_t m_den = 1;
    int64_t m_posInt = 0;     // position of the next output in input samples: m_posInt + m_posFrac / m_den
    int64_t m_posFrac = 0;
    double m_unitsPerInput;   // kernel table units per input sample (2 fc / inRate)
    double m_halfWidth;       // kernel half-width in input samples
    float m_gain;
    std::vector<float> m_table;  // sinc × Kaiser from 0 to the last zero crossing
    std::vector<float> m_buffer; // input samples from absolute index m_bufferStart
    int64_t m_bufferStart = 0;
    int64_t m_received = 0;
};

}  // namespace cwt::decode
