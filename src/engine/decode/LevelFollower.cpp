#include "engine/decode/LevelFollower.h"

#include <algorithm>
#include <cmath>

namespace cwt::decode {

namespace {
// Per baseband sample (2 ms): the held peak falls to 1/e in 150 ms. Shorter let it fall
// within a letter gap and a dash's weaker end pass for a space; longer lagged 1 Hz fades.
constexpr double kPeakDecay = 0.98675;
constexpr double kNoiseSigmas = 2.0;
}  // namespace

void LevelFollower::reset() { *this = LevelFollower(); }

double LevelFollower::push(std::complex<double> z, int window, double noiseOfSum) {
    window = std::clamp(window, 1, kMaxWindow - 1);  // the ring also holds the one leaving
    m_ring[static_cast<size_t>(m_count % kMaxWindow)] = z;
    ++m_count;
    const auto recent = [&](long back) {  // back = 0: the newest sample
        return m_ring[static_cast<size_t>((m_count - 1 - back) % kMaxWindow)];
    };
    if (window != m_window) {
        // The speed moved: the sum is taken afresh rather than patched, so that it never
        // drifts from the samples it stands for.
        m_window = window;
        m_sum = {};
        for (long back = 0; back < std::min<long>(window, m_count); ++back) m_sum += recent(back);
    } else {
        m_sum += z;
        if (m_count > window) m_sum -= recent(window);
    }
    const double n = window;
    const double power = (std::norm(m_sum) - noiseOfSum) / (n * n);
    m_peakPower = std::max(m_peakPower * kPeakDecay, power);
    const double noiseFloor = kNoiseSigmas * kNoiseSigmas * noiseOfSum / (n * n);
    return std::sqrt(std::max(m_peakPower, noiseFloor));
}

}  // namespace cwt::decode
