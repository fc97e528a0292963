#include "engine/decode/PitchFinder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace cwt::decode {

namespace {

constexpr long kFramesBeforeLock = 6;    // about 0.4 s of spectrum
constexpr double kLockProminence = 2.5;  // 4 dB over the noise in three bins
constexpr double kFollowHz = 16.0;       // how far the pitch may move between frames' peaks
constexpr double kFollowWeight = 0.25;   // of a new peak position, per frame
constexpr double kPickRangeHz = 40.0;    // around the operator's pick
constexpr double kRivalRatio = 2.0;      // a rival must be this much stronger...
constexpr int kRivalFrames = 24;         // ...for this many frames (1.5 s) in a row
constexpr double kRivalDistanceHz = 30.0;
constexpr int kSignalBins = 3;
constexpr int kStandingFrames = 3;  // each side of the pitch, for its power

}  // namespace

PitchFinder::PitchFinder(double lowHz, double highHz) : m_lowHz(lowHz), m_highHz(highHz) {}

void PitchFinder::pick(std::optional<double> pitchHz) {
    m_pick = pitchHz;
    if (pitchHz) {
        m_jumped = !m_locked || std::abs(*pitchHz - m_pitchHz) > kFollowHz;
        m_pitchHz = *pitchHz;
        m_locked = true;
    }
}

bool PitchFinder::takeJump() {
    const bool jumped = m_jumped;
    m_jumped = false;
    return jumped;
}

PitchFinder::Peak PitchFinder::strongest(const BandSpectrum& spectrum, double lowHz,
                                         double highHz) const {
    const std::vector<float>& p = spectrum.average();
    const double bin = spectrum.binHz();
    const auto first = static_cast<size_t>(std::max(1.0, std::ceil(lowHz / bin)));
    const auto last = std::min(p.size() - 2, static_cast<size_t>(highHz / bin));
    Peak best;
    size_t at = 0;
    double top = 0.0;
    for (size_t k = first; k <= last; ++k) {
        const double sum = static_cast<double>(p[k - 1]) + p[k] + p[k + 1];
        if (sum > top) top = sum, at = k;
    }
    if (at == 0 || m_noisePerBin <= 0.0) return best;
    // Between bins: the vertex of a parabola through the log powers.
    const double l = std::log(std::max(p[at - 1], 1e-30f));
    const double c = std::log(std::max(p[at], 1e-30f));
    const double r = std::log(std::max(p[at + 1], 1e-30f));
    const double curve = l - 2.0 * c + r;
    const double offset = curve < 0.0 ? std::clamp(0.5 * (l - r) / curve, -0.5, 0.5) : 0.0;
    best.hz = (static_cast<double>(at) + offset) * bin;
    best.prominence = top / (3.0 * m_noisePerBin);
    return best;
}

void PitchFinder::measure(const BandSpectrum& spectrum) {
    const std::vector<float>& p = spectrum.average();
    const double bin = spectrum.binHz();
    const auto first = static_cast<size_t>(std::max(1.0, std::ceil(m_lowHz / bin)));
    const auto last = std::min(p.size() - 1, static_cast<size_t>(m_highHz / bin));
    std::vector<float> band(p.begin() + static_cast<long>(first),
                            p.begin() + static_cast<long>(last) + 1);
    if (band.empty()) return;
    std::nth_element(band.begin(), band.begin() + static_cast<long>(band.size() / 2), band.end());
    m_noisePerBin = band[band.size() / 2];
    if (!m_locked) return;
    const auto centre = static_cast<long>(std::lround(m_pitchHz / bin));
    double sum = 0.0;
    for (long k = centre - kSignalBins; k <= centre + kSignalBins; ++k)
        if (k >= 0 && k < static_cast<long>(p.size())) sum += p[static_cast<size_t>(k)];
    m_signalPower = std::max(0.0, sum - (2 * kSignalBins + 1) * m_noisePerBin);
}

void PitchFinder::update(const BandSpectrum& spectrum) {
    measure(spectrum);
    if (m_pick) {
        const Peak near = strongest(spectrum, *m_pick - kPickRangeHz, *m_pick + kPickRangeHz);
        if (near.prominence >= kLockProminence && std::abs(near.hz - m_pitchHz) <= kFollowHz)
            m_pitchHz += kFollowWeight * (near.hz - m_pitchHz);
        return;
    }
    if (!m_locked) {
        if (spectrum.framesSeen() < kFramesBeforeLock) return;
        // A peak is taken once it has stood still for a few frames: a tone that has only just
        // begun spreads over a frame's whole width.
        const Peak peak = strongest(spectrum, m_lowHz, m_highHz);
        const bool standing = peak.prominence >= kLockProminence &&
                              std::abs(peak.hz - m_candidateHz) <= spectrum.binHz();
        m_candidateFrames = standing ? m_candidateFrames + 1 : 0;
        m_candidateHz = peak.hz;
        if (m_candidateFrames < kStandingFrames) return;
        m_locked = m_jumped = true;
        m_pitchHz = peak.hz;
        measure(spectrum);
        return;
    }
    const Peak near = strongest(spectrum, m_pitchHz - kFollowHz, m_pitchHz + kFollowHz);
    if (near.prominence >= kLockProminence) m_pitchHz += kFollowWeight * (near.hz - m_pitchHz);
    const Peak any = strongest(spectrum, m_lowHz, m_highHz);
    const bool rival =
        std::abs(any.hz - m_pitchHz) > kRivalDistanceHz &&
        any.prominence > kRivalRatio * std::max(near.prominence, kLockProminence / 2);
    if (rival && std::abs(any.hz - m_rivalHz) <= kFollowHz)
        ++m_rivalFrames;
    else
        m_rivalFrames = rival ? 1 : 0;
    m_rivalHz = any.hz;
    if (m_rivalFrames >= kRivalFrames) {
        m_pitchHz = any.hz;
        m_jumped = true;
        m_rivalFrames = 0;
    }
}

}  // namespace cwt::decode
