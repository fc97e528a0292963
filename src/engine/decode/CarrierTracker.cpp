#include "engine/decode/CarrierTracker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwt::decode {

namespace {

// Loop gains for a natural frequency of about 0.6 Hz at 500 Hz, damping 0.7, at full weight.
constexpr double kPhaseGain = 0.011;
constexpr double kFrequencyGain = 5.7e-5;
constexpr double kErrorWeight = 0.002;
constexpr double kFrequencyPull = 0.002;  // of the discriminator's reading, per weighted sample
constexpr double kMaxConcentration = 40.0;

}  // namespace

void CarrierTracker::setLevels(double noisePower, double amplitude, int smoothingSamples) {
    m_noisePower = noisePower;
    m_amplitude = amplitude;
    const auto size = static_cast<size_t>(std::max(1, smoothingSamples));
    if (size != m_window.size()) {
        m_window.assign(size, {});
        m_next = 0;
        m_sum = {};
        m_history.assign(std::max<size_t>(1, size / 2), {});
        m_historyNext = 0;
    }
}

std::complex<double> CarrierTracker::derotate(std::complex<double> z) {
    const std::complex<double> turned = z * std::polar(1.0, -m_phase);
    if (m_window.empty()) return turned;
    m_sum += turned - m_window[m_next];
    m_window[m_next] = turned;
    m_next = (m_next + 1) % m_window.size();
    const double n = static_cast<double>(m_window.size());
    const double power = std::norm(m_sum) / (n * n);
    // Smoothed noise alone has about noisePower / n of power; the share of the rest is the
    // weight of this step.
    const double noise = m_noisePower / n;
    const auto weightOf = [&](double p) {
        return p > noise ? std::min(1.0, (p - noise) / std::max(p, 1e-30)) *
                               std::min(1.0, p / std::max(m_amplitude * m_amplitude, 1e-30))
                         : 0.0;
    };
    const double weight = weightOf(power);
    // The smoothed signal half a window ago, for the frequency discriminator.
    const std::complex<double> earlier = m_history[m_historyNext];
    m_history[m_historyNext] = m_sum;
    m_historyNext = (m_historyNext + 1) % m_history.size();
    if (weight > 0.0) {
        // A frequency-locked loop pulls in a pitch several hertz off quickly, which the phase
        // loop alone would take seconds over; the phase loop then holds the phase.
        // Only where the window half a window ago held the tone too: at a mark's start it
        // held the space before, whose phase is noise, and each mark would kick the frequency
        // off by a random amount that turns the phase within long marks.
        const double earlierWeight = weightOf(std::norm(earlier) / (n * n));
        if (earlierWeight > 0.0) {
            const double turn =
                std::arg(m_sum * std::conj(earlier)) / static_cast<double>(m_history.size());
            m_step += kFrequencyPull * std::min(weight, earlierWeight) * turn;
        }
        const double error = std::arg(m_sum);
        m_phase += kPhaseGain * weight * error;
        m_step += kFrequencyGain * weight * error;
        m_errorPower += kErrorWeight * weight * (error * error - m_errorPower);
        m_weightSum += weight;
    }
    m_phase += m_step;
    m_phase = std::remainder(m_phase, 2.0 * std::numbers::pi);
    return turned;
}

double CarrierTracker::concentration() const {
    if (m_weightSum < 20.0) return 0.0;
    return std::min(kMaxConcentration, 1.0 / std::max(m_errorPower, 1e-3));
}

double CarrierTracker::frequencyHz(double sampleRateHz) const {
    return m_step * sampleRateHz / (2.0 * std::numbers::pi);
}

}  // namespace cwt::decode
