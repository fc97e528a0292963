#include "bench/gen/SoundChannel.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>

namespace cwt::testgen {

namespace {

// The fading gain: complex Gaussian noise through a Gaussian low-pass whose power spectrum
// has the stated spread, at a low rate, then interpolated. Its mean power is 1.
class RayleighGain {
public:
    RayleighGain(double dopplerHz, double durationS, std::mt19937_64& random) {
        m_rateHz = std::max(20.0, 40.0 * dopplerHz);
        // Power spectrum exp(-f²/(2σf²)) with 2σf = Doppler spread; the filter's amplitude
        // response is its square root (σ of √2 σf), whose impulse response has σt = 1 / (2π √2 σf).
        const double sigmaF = dopplerHz / 2.0;
        const double sigmaT = 1.0 / (2.0 * std::numbers::pi * std::numbers::sqrt2 * sigmaF);
        const int half = static_cast<int>(std::ceil(4.0 * sigmaT * m_rateHz));
        std::vector<double> taps(2 * static_cast<size_t>(half) + 1);
        double energy = 0.0;
        for (int i = -half; i <= half; ++i) {
            const double t = i / m_rateHz;
            const double h = std::exp(-t * t / (2.0 * sigmaT * sigmaT));
            taps[static_cast<size_t>(i + half)] = h;
            energy += h * h;
        }
        for (double& h : taps) h /= std::sqrt(energy);
        const auto count = static_cast<size_t>(durationS * m_rateHz) + 4;
        std::normal_distribution<double> gauss(0.0, std::sqrt(0.5));
        std::vector<std::complex<double>> white(count + taps.size());
        for (auto& w : white) w = {gauss(random), gauss(random)};
        m_gain.resize(count);
        for (size_t n = 0; n < count; ++n) {
            std::complex<double> sum{};
            for (size_t k = 0; k < taps.size(); ++k) sum += taps[k] * white[n + k];
            m_gain[n] = sum;
        }
    }

    std::complex<double> at(double seconds) const {
        const double x = seconds * m_rateHz;
        const auto i = std::min(static_cast<size_t>(x), m_gain.size() - 2);
        const double f = x - static_cast<double>(i);
        return m_gain[i] + f * (m_gain[i + 1] - m_gain[i]);
    }

private:
    double m_rateHz;
    std::vector<std::complex<double>> m_gain;
};

double NoiseSigma(const ChannelSettings& s) {
    if (!s.snrDb500) return 0.0;
    // Key-on power A²/2 over noise power σ² × 500 / (rate / 2).
    const double snr = std::pow(10.0, *s.snrDb500 / 10.0);
    return std::sqrt(s.amplitude * s.amplitude / 2.0 * (s.sampleRateHz / 2.0) / (500.0 * snr));
}

// The key's envelope at time t (ms), 0 to 1, with raised-cosine edges centred on the
// boundaries of each mark.
class Envelope {
public:
    Envelope(const std::vector<decode::KeyStretch>& keying, double leadMs, double riseMs)
        : m_riseMs(riseMs) {
        for (const auto& k : keying)
            if (k.mark && k.lengthMs > 0.0)
                m_marks.push_back({k.startMs + leadMs, k.startMs + leadMs + k.lengthMs});
        std::sort(m_marks.begin(), m_marks.end());
    }
    double endMs() const { return m_marks.empty() ? 0.0 : m_marks.back().second; }

    double at(double ms) {
        while (m_next < m_marks.size() && m_marks[m_next].second + m_riseMs < ms) ++m_next;
        double level = 0.0;
        for (size_t i = m_next; i < m_marks.size() && m_marks[i].first - m_riseMs <= ms; ++i)
            level = std::max(level, edge(ms - m_marks[i].first) * edge(m_marks[i].second - ms));
        return level;
    }

private:
    double edge(double fromEdgeMs) const {
        if (m_riseMs <= 0.0) return fromEdgeMs >= 0.0 ? 1.0 : 0.0;
        const double x = std::clamp(fromEdgeMs / m_riseMs + 0.5, 0.0, 1.0);
        return 0.5 - 0.5 * std::cos(std::numbers::pi * x);
    }

    double m_riseMs;
    std::vector<std::pair<double, double>> m_marks;
    size_t m_next = 0;
};

}  // namespace

double Snr500Of2500(double snrDb2500) { return snrDb2500 + 10.0 * std::log10(5.0); }
double Snr2500Of500(double snrDb500) { return snrDb500 - 10.0 * std::log10(5.0); }

std::vector<float> RenderChannel(const std::vector<decode::KeyStretch>& keying,
                                 const ChannelSettings& s) {
    std::mt19937_64 random(s.seed);
    Envelope envelope(keying, s.leadMs, s.riseMs);
    const double totalMs = envelope.endMs() + s.tailMs;
    const auto count = static_cast<size_t>(totalMs * s.sampleRateHz / 1000.0);
    std::optional<RayleighGain> fading;
    if (s.dopplerHz > 0.0) fading.emplace(s.dopplerHz, totalMs / 1000.0 + 1.0, random);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double sigma = NoiseSigma(s);
    std::vector<float> out(count);
    double phase = 0.0;  // cycles
    // Its own generator, so that the noise is the same as with a carrier that runs on.
    std::mt19937_64 phases(s.seed ^ 0x9e3779b97f4a7c15ull);
    std::uniform_real_distribution<double> cycle(0.0, 1.0);
    double lastLevel = 0.0;
    for (size_t n = 0; n < count; ++n) {
        const double seconds = static_cast<double>(n) / s.sampleRateHz;
        const double level = envelope.at(seconds * 1000.0);
        if (s.phaseAfreshEachMark && level > 0.0 && lastLevel == 0.0) phase = cycle(phases);
        lastLevel = level;
        double tone = 0.0;
        if (level > 0.0) {
            const std::complex<double> gain = fading ? fading->at(seconds) : 1.0;
            tone = s.amplitude * level *
                   std::real(gain * std::polar(1.0, 2.0 * std::numbers::pi * phase));
        }
        const double hz = s.pitchHz + s.driftHzPerMinute * seconds / 60.0;
        phase += hz / s.sampleRateHz;
        phase -= std::floor(phase);
        out[n] = static_cast<float>(tone + (sigma > 0.0 ? sigma * gauss(random) : 0.0));
    }
    return out;
}

std::vector<float> RenderNoise(double ms, const ChannelSettings& s) {
    std::mt19937_64 random(s.seed);
    std::normal_distribution<double> gauss(0.0, NoiseSigma(s));
    std::vector<float> out(static_cast<size_t>(ms * s.sampleRateHz / 1000.0));
    for (float& x : out) x = static_cast<float>(gauss(random));
    return out;
}

}  // namespace cwt::testgen
