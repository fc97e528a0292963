#include "engine/decode/BandSpectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwt::decode {

namespace {

constexpr size_t kFrameSize = 1024;
constexpr size_t kHop = kFrameSize / 2;
// Averaging weight of a new frame: about 30 frames, two seconds at 8 kHz. Long enough that
// a keyed signal's pitch stands clear of the noise, short enough to follow a new signal.
constexpr float kAverageWeight = 1.0f / 30.0f;

}  // namespace

BandSpectrum::BandSpectrum(int rateHz)
    : m_binHz(static_cast<double>(rateHz) / kFrameSize),
      m_fft(kFrameSize),
      m_window(kFrameSize),
      m_work(kFrameSize),
      m_latest(kFrameSize / 2 + 1, 0.0f),
      m_average(kFrameSize / 2 + 1, 0.0f) {
    // Scaled so that a sine of amplitude A puts A² / 2 into its bins together.
    double sumSquares = 0.0;
    for (size_t i = 0; i < kFrameSize; ++i) {
        const double w =
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / kFrameSize);
        m_window[i] = static_cast<float>(w);
        sumSquares += w * w;
    }
    const auto scale = static_cast<float>(1.0 / std::sqrt(sumSquares * kFrameSize));
    for (float& w : m_window) w *= scale;
}

int BandSpectrum::push(std::span<const float> samples) {
    int frames = 0;
    m_pending.insert(m_pending.end(), samples.begin(), samples.end());
    size_t used = 0;
    while (m_pending.size() - used >= kFrameSize) {
        for (size_t i = 0; i < kFrameSize; ++i)
            m_work[i] = {m_pending[used + i] * m_window[i], 0.0f};
        transform();
        used += kHop;
        ++frames;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(used));
    return frames;
}

void BandSpectrum::transform() {
    m_fft.forward(m_work);
    const float weight = m_frames == 0 ? 1.0f : std::max(kAverageWeight, 1.0f / (m_frames + 1));
    for (size_t k = 0; k < m_latest.size(); ++k) {
        const float power = 2.0f * std::norm(m_work[k]);
        m_latest[k] = power;
        m_average[k] += weight * (power - m_average[k]);
    }
    ++m_frames;
}

}  // namespace cwt::decode
