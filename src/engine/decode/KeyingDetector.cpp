#include "engine/decode/KeyingDetector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cwt::decode {

namespace {
std::vector<std::complex<double>> g_turned(8192);

constexpr size_t kBlock = 512;               // working samples handled at a time
constexpr size_t kBeforeLockKept = 4 * KeyingDetector::kWorkingRateHz;  // four seconds
constexpr size_t kRecent = 8192;             // baseband samples kept for level estimates
constexpr long kSettleEvery = 20;            // baseband samples (40 ms)
constexpr double kDefaultWpm = 20.0;
constexpr double kSlowestWpm = 5.0;
constexpr double kFastestWpm = 60.0;
constexpr double kDuty = 0.45;               // share of key-down in ordinary sending
constexpr double kLongestUnsettledMarkMs = 800.0;  // a 5 WPM dash, before the speed is known
constexpr double kMinLagMs = 40.0;
constexpr double kMaxLagMs = 500.0;
constexpr int kEdgeSamples = 4;              // the low-pass's rise, left out of level estimates
constexpr double kAmplitudeWeight = 0.3;     // of a new mark's level
constexpr double kNoiseSamples = 1500.0;     // about three seconds of spaces
constexpr double kTrustedEvidence = 3.0;
constexpr long kFramesForLevels = 6;
constexpr double kRetuneHz = 3.0;
constexpr double kGuessedSnr = 10.0;  // signal over noise per sample when the spectrum shows none

double MsPerBaseband() {
    return 1000.0 * KeyingDetector::kDecimation / KeyingDetector::kWorkingRateHz;
}

double DotSamplesOfWpm(double wpm) { return 1200.0 / wpm / MsPerBaseband(); }

double Logistic(double x) {
    if (x > 30.0) return 1.0;
    if (x < -30.0) return 0.0;
    return 1.0 / (1.0 + std::exp(-x));
}

}  // namespace

KeyingDetector::KeyingDetector(int sampleRateHz, DetectorSettings settings)
    : m_settings(settings),
      m_converter(sampleRateHz, kWorkingRateHz),
      m_spectrum(kWorkingRateHz),
      m_pitch(settings.lowHz, settings.highHz),
      m_recent(kRecent) {
    if (settings.pitchHz) m_pitch.pick(settings.pitchHz);
}

KeyingDetector::~KeyingDetector() = default;

void KeyingDetector::push(std::span<const float> samples) {
    m_converter.push(samples, m_working);
    size_t used = 0;
    while (m_working.size() - used >= kBlock) {
        processWorking({m_working.data() + used, kBlock});
        used += kBlock;
    }
    m_working.erase(m_working.begin(), m_working.begin() + static_cast<long>(used));
}

void KeyingDetector::finish() {
    m_converter.finish(m_working);
    for (size_t used = 0; used < m_working.size(); used += kBlock)
        processWorking({m_working.data() + used, std::min(kBlock, m_working.size() - used)});
    m_working.clear();
    if (m_segmenter) {
        std::vector<Segment> segments;
        m_segmenter->flush(segments);
        take(segments);
        m_idleUntilMs = -1.0;
    }
}

std::vector<KeyStretch> KeyingDetector::takeStretches() {
    std::vector<KeyStretch> out;
    out.swap(m_out);
    return out;
}

void KeyingDetector::pickPitch(std::optional<double> pitchHz) {
    m_settings.pitchHz = pitchHz;
    m_pitch.pick(pitchHz);
}

double KeyingDetector::wpm() const {
    const double dot = m_speed ? m_speed->lengths().dotSamples
                               : DotSamplesOfWpm(m_settings.wpm.value_or(kDefaultWpm));
    return 1200.0 / (dot * MsPerBaseband());
}

double KeyingDetector::noiseBandwidthHz() const {
    return m_down ? m_down->noiseGain() * kWorkingRateHz : 0.0;
}

double KeyingDetector::snrDb() const {
    if (!m_levelsKnown || m_noisePower <= 0.0 || m_amplitude <= 0.0) return -99.0;
    return 10.0 * std::log10(m_amplitude * m_amplitude * noiseBandwidthHz() /
                             (m_noisePower * 500.0));
}

double KeyingDetector::timeMs() const {
    return 1000.0 * static_cast<double>(m_workingSeen) / kWorkingRateHz;
}

double KeyingDetector::basebandMs(long index) const {
    return 1000.0 * static_cast<double>(m_basebandOrigin + index * kDecimation) / kWorkingRateHz;
}

void KeyingDetector::processWorking(std::span<const float> block) {
    if (m_spectrum.push(block) > 0) m_pitch.update(m_spectrum);
    if (!m_down) {
        m_beforeLock.insert(m_beforeLock.end(), block.begin(), block.end());
        m_workingSeen += static_cast<long>(block.size());
        if (m_beforeLock.size() > kBeforeLockKept)
            m_beforeLock.erase(m_beforeLock.begin(),
                               m_beforeLock.end() - static_cast<long>(kBeforeLockKept));
        // The spectrum needs some frames for the first levels, even with a picked pitch.
        if (!m_pitch.locked() || m_spectrum.framesSeen() < kFramesForLevels) return;
        m_pitch.takeJump();
        if (std::getenv("CWT_DEBUG")) std::fprintf(stderr, "lock %.2f at %.0f ms\n", m_pitch.pitchHz(), timeMs());
        m_basebandOrigin = m_workingSeen - static_cast<long>(m_beforeLock.size());
        startBaseband(m_pitch.pitchHz());
        std::vector<float> held;
        held.swap(m_beforeLock);
        m_baseband.clear();
        m_down->push(held, m_baseband);
        for (std::complex<float> z : m_baseband) processBaseband(z);
        return;
    }
    if (m_pitch.takeJump()) {
        if (std::getenv("CWT_DEBUG")) std::fprintf(stderr, "jump %.2f at %.0f ms\n", m_pitch.pitchHz(), timeMs());
        // Another signal: what was decided of the last one is given out, and the new one is
        // listened to from here with fresh levels and speed.
        std::vector<Segment> segments;
        m_segmenter->flush(segments);
        take(segments);
        m_basebandOrigin = m_workingSeen;
        startBaseband(m_pitch.pitchHz());
    } else if (std::abs(m_pitch.pitchHz() - m_down->pitchHz()) > kRetuneHz) {
        // The carrier tracker follows small drifts itself; the mixer moves only for larger ones,
        // since every move is a step the tracker has to catch up with.
        if (std::getenv("CWT_DEBUG")) std::fprintf(stderr, "retune %.2f -> %.2f at %.0f ms\n", m_down->pitchHz(), m_pitch.pitchHz(), timeMs());
        m_down->setPitchHz(m_pitch.pitchHz());
    }
    m_workingSeen += static_cast<long>(block.size());
    m_baseband.clear();
    m_down->push(block, m_baseband);
    for (std::complex<float> z : m_baseband) processBaseband(z);
}

void KeyingDetector::startBaseband(double pitchHz) {
    m_down = std::make_unique<Downconverter>(kWorkingRateHz, kDecimation);
    m_down->setPitchHz(pitchHz);
    m_scorer = std::make_unique<CoherentScorer>(m_down->noiseCorrelation());
    m_segmenter = std::make_unique<KeySegmenter>(*m_scorer);
    m_speed = std::make_unique<SpeedTracker>(DotSamplesOfWpm(m_settings.wpm.value_or(kDefaultWpm)),
                                             DotSamplesOfWpm(kFastestWpm),
                                             DotSamplesOfWpm(kSlowestWpm));
    m_basebandCount = 0;
    m_modelKnown = false;
    updateModel();
    // First levels from the spectrum: the noise per bin gives the noise density, the power
    // around the pitch the signal's average power.
    const double density = m_pitch.noisePerBin() / m_spectrum.binHz();  // per Hz, one-sided
    m_noisePower = std::max(density * kWorkingRateHz / 2.0 * m_down->noiseGain(), 1e-20);
    // A keyed sine of amplitude A has A²/2 × duty of average power; at baseband it is A/2.
    m_amplitude = std::sqrt(m_pitch.signalPower() / (2.0 * kDuty));
    if (m_amplitude * m_amplitude < m_noisePower) m_amplitude = std::sqrt(kGuessedSnr * m_noisePower);
    m_levelsKnown = true;
    m_scorer->setLevels(m_noisePower, m_amplitude);
    m_carrier = CarrierTracker();
    m_carrier.setLevels(m_noisePower, m_amplitude,
                        static_cast<int>(std::lround(m_speed->lengths().dotSamples / 2)));
}

void KeyingDetector::processBaseband(std::complex<float> z) {
    m_recent[static_cast<size_t>(m_basebandCount) & (kRecent - 1)] = z;  // as it came
    ++m_basebandCount;
    static const double kappaScale = std::getenv("CWT_KAPPA") ? std::atof(std::getenv("CWT_KAPPA")) : 4.0;
    const std::complex<double> turned = m_carrier.derotate(std::complex<double>(z));
    m_scorer->setPhase({1.0, 0.0}, kappaScale * m_carrier.concentration());
    if (std::getenv("CWT_DEBUG") && m_basebandCount % 5000 == 0) std::fprintf(stderr, "carrier kappa %.2f freq %.3f\n", m_carrier.concentration(), m_carrier.frequencyHz(500));
    g_turned[(m_basebandCount - 1) & 8191] = turned;
    m_segmenter->push(turned);
    if (m_basebandCount % kSettleEvery != 0) return;
    const double lagMs = std::clamp(m_settings.lagDots * m_speed->lengths().dotSamples *
                                        MsPerBaseband(),
                                    kMinLagMs, kMaxLagMs);
    std::vector<Segment> segments;
    const long idle = m_segmenter->settle(std::lround(lagMs / MsPerBaseband()), segments);
    if (std::getenv("CWT_TRACE") && timeMs() > 12500 && timeMs() < 13400) {
        std::fprintf(stderr, "t=%.0f lag=%.0f idle=%.0f:", timeMs(), lagMs, idle >= 0 ? basebandMs(idle) : -1.0);
        for (auto& g : segments) std::fprintf(stderr, " %c%.0f+%.0f(ev %.1f)", g.mark ? 'M' : 's', basebandMs(g.start), (g.end - g.start) * 2.0, g.evidence);
        std::fprintf(stderr, "\n");
    }
    take(segments);
    m_idleUntilMs = idle >= 0 ? basebandMs(idle) : -1.0;
}

void KeyingDetector::take(const std::vector<Segment>& segments) {
    static std::vector<Segment> lastThree;
    for (const Segment& seg : segments) {
        if (std::getenv("CWT_DEBUG")) {
            lastThree.push_back(seg);
            if (lastThree.size() > 3) lastThree.erase(lastThree.begin());
            if (lastThree.size() == 3 && lastThree[0].mark && lastThree[2].mark && lastThree[1].end - lastThree[1].start <= 3) {
                auto sum = [&](long a, long b) { std::complex<double> x{}; for (long i = a; i < b; ++i) x += g_turned[i & 8191]; return x; };
                const auto& A = lastThree[0]; const auto& C = lastThree[2];
                std::fprintf(stderr, "SPLIT %ld+%ld | %ld+%ld: ev %.1f %.1f whole %.1f  |S1| %.3f arg %.2f |S2| %.3f arg %.2f amp %.4f noise %.3g\n", A.start, A.end - A.start, C.start, C.end - C.start,
                    0.0, 0.0, 0.0,
                    std::abs(sum(A.start, A.end)) / (A.end - A.start), std::arg(sum(A.start, A.end)), std::abs(sum(C.start, C.end)) / (C.end - C.start), std::arg(sum(C.start, C.end)), m_amplitude, m_noisePower);
            }
        }
        KeyStretch stretch;
        stretch.mark = seg.mark;
        stretch.startMs = basebandMs(seg.start);
        stretch.lengthMs = basebandMs(seg.end) - stretch.startMs;
        stretch.markProbability = Logistic(seg.markLogOdds);
        m_out.push_back(stretch);
        learnLevels(seg);
        const double length = static_cast<double>(seg.end - seg.start);
        if (seg.mark && seg.evidence > kTrustedEvidence) m_speed->addMark(length);
        if (!seg.mark) m_speed->addSpace(length);
    }
    if (!segments.empty()) {
        updateModel();
        m_segmenter->rescore();
    }
}

void KeyingDetector::learnLevels(const Segment& seg) {
    if (m_basebandCount - seg.start >= static_cast<long>(kRecent)) return;
    const auto sample = [&](long i) { return m_recent[static_cast<size_t>(i) & (kRecent - 1)]; };
    if (seg.mark) {
        if (seg.evidence <= kTrustedEvidence) return;
        std::complex<double> sum{};
        for (long i = seg.start; i < seg.end; ++i) sum += std::complex<double>(sample(i));
        const auto n = static_cast<double>(seg.end - seg.start);
        const double power = (std::norm(sum) - m_noisePower * m_scorer->sumVariance(
                                                                  static_cast<int>(n))) /
                             (n * n);
        if (std::getenv("CWT_DEBUG")) {
            std::complex<double> h1{}, h2{};
            for (long i = seg.start; i < seg.end; ++i) ((i - seg.start) * 2 < seg.end - seg.start ? h1 : h2) += std::complex<double>(sample(i));
            std::fprintf(stderr, "mark %ld n=%ld amp=%.4g est=%.4g noise=%.3g ev=%.1f ph1=%.2f ph2=%.2f\n", seg.start, seg.end - seg.start, std::sqrt(std::max(power, 0.0)), m_amplitude, m_noisePower, seg.evidence, std::arg(h1), std::arg(h2));
        }
        if (power <= 0.0) return;
        const double a2 = m_amplitude * m_amplitude;
        m_amplitude = std::sqrt(a2 + kAmplitudeWeight * (power - a2));
    } else {
        const long first = seg.start + kEdgeSamples;
        const long last = seg.end - kEdgeSamples;
        if (last <= first) return;
        double sum = 0.0;
        for (long i = first; i < last; ++i) sum += std::norm(std::complex<double>(sample(i)));
        const auto n = static_cast<double>(last - first);
        const double weight = std::min(0.5, n / kNoiseSamples);
        m_noisePower += weight * (sum / n - m_noisePower);
    }
    m_scorer->setLevels(m_noisePower, m_amplitude);
    m_carrier.setLevels(m_noisePower, m_amplitude,
                        static_cast<int>(std::lround(m_speed->lengths().dotSamples / 2)));
}

void KeyingDetector::updateModel() {
    ElementLengths lengths = m_speed->lengths();
    if (!m_speed->settled())
        lengths.longestMark = static_cast<int>(kLongestUnsettledMarkMs / MsPerBaseband());
    const ElementLengths& used = m_segmenter->model().lengths();
    const auto near = [](double a, double b) { return std::abs(a - b) < 0.02 * b; };
    if (m_modelKnown && near(lengths.dotSamples, used.dotSamples) &&
        near(lengths.dashSamples, used.dashSamples) && near(lengths.gapSamples, used.gapSamples) &&
        lengths.spread == used.spread && lengths.longestMark == used.longestMark)
        return;
    m_modelKnown = true;
    m_segmenter->setModel(DurationModel(lengths));
    if (std::getenv("CWT_DEBUG")) std::fprintf(stderr, "model dot %.1f dash %.1f gap %.1f letter %.1f word %.1f spread %.2f gs %.2f max %d\n", lengths.dotSamples, lengths.dashSamples, lengths.gapSamples, lengths.letterGapSamples, lengths.wordGapSamples, lengths.spread, lengths.gapSpread, m_segmenter->model().maxMark());
}

}  // namespace cwt::decode
