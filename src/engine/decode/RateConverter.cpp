#include "engine/decode/RateConverter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace cwt::decode {

namespace {

constexpr int kZeroCrossings = 16;     // each side of the kernel's centre
constexpr int kTableSteps = 512;       // table entries per zero crossing
constexpr double kKaiserBeta = 8.0;    // about 80 dB of stop band
constexpr double kCutoffShare = 0.45;  // cut-off as a share of the lower of the two rates

// Zeroth-order modified Bessel function of the first kind, by its series.
double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-12) break;
    }
    return sum;
}

}  // namespace

RateConverter::RateConverter(int inRateHz, int outRateHz)
    : m_inRate(inRateHz), m_outRate(outRateHz), m_passThrough(inRateHz == outRateHz) {
    const int64_t g = std::gcd<int64_t>(inRateHz, outRateHz);
    m_stepNum = inRateHz / g;
    m_den = outRateHz / g;
    const double cutoffHz = kCutoffShare * std::min(inRateHz, outRateHz);
    m_unitsPerInput = 2.0 * cutoffHz / inRateHz;
    m_halfWidth = kZeroCrossings / m_unitsPerInput;
    m_gain = static_cast<float>(m_unitsPerInput);
    m_table.resize(kZeroCrossings * kTableSteps + 2);
    const double i0Beta = BesselI0(kKaiserBeta);
    for (size_t i = 0; i < m_table.size(); ++i) {
        const double u = static_cast<double>(i) / kTableSteps;
        const double sinc =
            u == 0.0 ? 1.0 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
        const double r = u / kZeroCrossings;
        const double window =
            r >= 1.0 ? 0.0 : BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / i0Beta;
        m_table[i] = static_cast<float>(sinc * window);
    }
}

float RateConverter::kernel(double distance) const {
    const double u = std::abs(distance) * m_unitsPerInput * kTableSteps;
    const auto i = static_cast<size_t>(u);
    if (i + 1 >= m_table.size()) return 0.0f;
    const float frac = static_cast<float>(u - static_cast<double>(i));
    return m_table[i] + frac * (m_table[i + 1] - m_table[i]);
}

void RateConverter::push(std::span<const float> in, std::vector<float>& out) {
    if (m_passThrough) {
        out.insert(out.end(), in.begin(), in.end());
        return;
    }
    m_buffer.insert(m_buffer.end(), in.begin(), in.end());
    m_received += static_cast<int64_t>(in.size());
    produce(out, false);
}

void RateConverter::finish(std::vector<float>& out) {
    if (m_passThrough) return;
    produce(out, true);
}

void RateConverter::produce(std::vector<float>& out, bool flushing) {
    const auto reach = static_cast<int64_t>(std::ceil(m_halfWidth));
    for (;;) {
        const double centre = static_cast<double>(m_posInt) +
                              static_cast<double>(m_posFrac) / static_cast<double>(m_den);
        if (flushing ? m_posInt >= m_received : m_posInt + reach >= m_received) break;
        const int64_t first = std::max(m_bufferStart, m_posInt - reach);
        const int64_t last = std::min(m_received - 1, m_posInt + reach + 1);
        float sum = 0.0f;
        for (int64_t k = first; k <= last; ++k)
            sum += m_buffer[static_cast<size_t>(k - m_bufferStart)] *
                   kernel(centre - static_cast<double>(k));
        out.push_back(sum * m_gain);
        m_posFrac += m_stepNum;
        m_posInt += m_posFrac / m_den;
        m_posFrac %= m_den;
    }
    // Keeps only what the next outputs still reach back to.
    const int64_t keepFrom = std::max(m_bufferStart, m_posInt - reach - 1);
    if (keepFrom - m_bufferStart > 4096) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + (keepFrom - m_bufferStart));
        m_bufferStart = keepFrom;
    }
}

}  // namespace cwt::decode
