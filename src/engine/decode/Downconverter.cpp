#include "engine/decode/Downconverter.h"

#include <cmath>
#include <numbers>

namespace cwt::decode {

namespace {

constexpr int kTapCount = 257;
constexpr double kCutoffHz = 150.0;  // half-amplitude point; flat to about 65 Hz

}  // namespace

Downconverter::Downconverter(int rateHz, int decimation)
    : m_rate(rateHz), m_decimation(decimation), m_taps(kTapCount) {
    const double fc = kCutoffHz / rateHz;
    double sum = 0.0;
    for (int i = 0; i < kTapCount; ++i) {
        const double n = i - (kTapCount - 1) / 2.0;
        const double sinc =
            n == 0.0 ? 2.0 * fc
                     : std::sin(2.0 * std::numbers::pi * fc * n) / (std::numbers::pi * n);
        const double x = 2.0 * std::numbers::pi * i / (kTapCount - 1);
        const double blackman = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x);
        m_taps[i] = static_cast<float>(sinc * blackman);
        sum += m_taps[i];
    }
    for (float& t : m_taps) t = static_cast<float>(t / sum);  // a tone at the pitch keeps its level
    double zero = 0.0;
    for (float t : m_taps) zero += static_cast<double>(t) * t;
    m_noiseGain = zero;
    for (int lag = 0; lag * decimation < kTapCount; ++lag) {
        double r = 0.0;
        for (int i = 0; i + lag * decimation < kTapCount; ++i)
            r += static_cast<double>(m_taps[i]) * m_taps[i + lag * decimation];
        m_noiseCorrelation.push_back(r / zero);
    }
    m_history.reserve(4 * kTapCount);
    // Silence before the stream, so that baseband sample k is centred on working sample
    // k × decimation and stands for exactly that time.
    m_history.assign((kTapCount - 1) / 2, std::complex<float>{});
}

void Downconverter::setPitchHz(double pitchHz) {
    m_pitchHz = pitchHz;
    m_step = pitchHz / m_rate;
}

void Downconverter::push(std::span<const float> samples, std::vector<std::complex<float>>& out) {
    for (float x : samples) {
        const double angle = -2.0 * std::numbers::pi * m_phase;
        m_history.emplace_back(static_cast<float>(x * std::cos(angle)),
                               static_cast<float>(x * std::sin(angle)));
        m_phase += m_step;
        m_phase -= std::floor(m_phase);
        if (m_history.size() > 3 * kTapCount)
            m_history.erase(m_history.begin(), m_history.end() - kTapCount);
        const long centre = m_received++ - (kTapCount - 1) / 2;
        if (centre < 0 || centre % m_decimation != 0) continue;
        std::complex<float> acc{};
        const std::complex<float>* newest = m_history.data() + m_history.size() - kTapCount;
        for (int i = 0; i < kTapCount; ++i) acc += m_taps[i] * newest[i];
        out.push_back(acc);
    }
}

}  // namespace cwt::decode
