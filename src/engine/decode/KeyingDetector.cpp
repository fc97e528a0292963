#include "engine/decode/KeyingDetector.h"

#include <algorithm>
#include <cmath>

namespace cwt::decode {

namespace {
// Working samples handled at a time; a sample waits for its block before it is decoded. Blocks
// of 64 ms put 25 ms on the median delay of a letter at -3 dB in 500 Hz and 34 ms on its 90th
// percentile, against these of 16 ms.
constexpr size_t kBlock = 128;
constexpr size_t kBeforeLockKept = 4 * KeyingDetector::kWorkingRateHz;  // four seconds
constexpr size_t kRecent = 8192;  // baseband samples kept for level estimates
// A signal's start is decided again only while all of it is still kept; a settling comes at
// most a quarter of the longest lag after the one before.
constexpr long kLongestStartLooked = static_cast<long>(kRecent) - 128;
constexpr long kSettleEvery = 20;  // baseband samples (40 ms), or a quarter of the lag
constexpr long kSettlesPerLag = 4;
// Key-on SNR in 500 Hz at and above which a signal is settled after the shortest lag, and at
// and below which after the longest.
constexpr double kClearSnrDb = 3.0;
constexpr double kWeakSnrDb = -3.0;
constexpr double kDefaultWpm = 20.0;
constexpr double kSlowestWpm = 5.0;
constexpr double kFastestWpm = 60.0;
constexpr double kDuty = 0.45;                     // share of key-down in ordinary sending
constexpr double kLongestUnsettledMarkMs = 800.0;  // a 5 WPM dash, before the speed is known
constexpr double kMinLagMs = 40.0;
constexpr double kMaxLagMs = 500.0;
constexpr int kEdgeSamples = 4;           // the low-pass's rise, left out of level estimates
constexpr double kAmplitudeWeight = 0.3;  // of a new mark's level
constexpr double kNoiseSamples = 1500.0;  // about three seconds of spaces
constexpr double kTrustedEvidence = 3.0;
constexpr long kFramesForLevels = 6;
constexpr double kRetuneHz = 1.0;
// The carrier tracker's concentration understates how well the phase is known; weighed up.
constexpr double kPhaseTrust = 4.0;
constexpr double kGuessedSnr = 10.0;  // signal over noise per sample when the spectrum shows none
// Key-on SNR in 500 Hz above which the level followed sample by sample starts to count, and
// from which it is all of the level a mark is weighed against. Below, it follows the noise's
// ups and downs: all of it cost 2.6 points of CER at 0 dB and 10 at -3 dB in steady noise.
constexpr double kFollowFromSnrDb = 3.0;
constexpr double kFollowFullySnrDb = 9.0;
constexpr int kMinFollowedSamples = 4;
// The mean square step of the log power from one mark to the next, beyond what the noise
// explains, from which the signal is taken to fade fast: 1 Hz of Doppler spread gives several
// times this, 0.1 Hz and steady signals next to nothing. Below it, a mark is weighed against
// the settled level alone and as one gain, as steady signals are read best.
constexpr double kFastFadeSpread = 0.05;
constexpr double kFadeSpreadWeight = 0.1;  // of each new mark
// The mean cosine of a turned mark's angle from which the carrier is taken to keep its phase
// between marks, and up to which it is taken not to; and the weight of each new mark in it.
constexpr double kPhaseCarried = 0.8;
constexpr double kPhaseNotCarried = 0.5;
constexpr double kPhaseAgreementWeight = 0.05;

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
      m_inputRateHz(sampleRateHz),
      m_converter(sampleRateHz, kWorkingRateHz),
      m_spectrum(kWorkingRateHz),
      m_pitch(settings.lowHz, settings.highHz),
      m_recent(kRecent) {
    if (settings.pitchHz) m_pitch.pick(settings.pitchHz);
}

KeyingDetector::~KeyingDetector() = default;

void KeyingDetector::push(std::span<const float> samples) {
    m_inputTaken += static_cast<long>(samples.size());
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
        endProvisionalStart();
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
    return 10.0 *
           std::log10(m_amplitude * m_amplitude * noiseBandwidthHz() / (m_noisePower * 500.0));
}

double KeyingDetector::timeMs() const {
    return 1000.0 * static_cast<double>(m_inputTaken) / m_inputRateHz;
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
        m_down->setPitchHz(m_pitch.pitchHz());
    }
    m_workingSeen += static_cast<long>(block.size());
    m_baseband.clear();
    m_down->push(block, m_baseband);
    for (std::complex<float> z : m_baseband) processBaseband(z);
}

void KeyingDetector::startBaseband(double pitchHz) {
    endProvisionalStart();
    m_startProvisional = true;
    m_down = std::make_unique<Downconverter>(kWorkingRateHz, kDecimation);
    m_down->setPitchHz(pitchHz);
    m_scorer = std::make_unique<CoherentScorer>(m_down->noiseCorrelation());
    m_phaseAgreement = 1.0;  // as a transmitter's carrier, until its marks say otherwise
    m_speed =
        std::make_unique<SpeedTracker>(DotSamplesOfWpm(m_settings.wpm.value_or(kDefaultWpm)),
                                       DotSamplesOfWpm(kFastestWpm), DotSamplesOfWpm(kSlowestWpm));
    startSegmenting();
    // First levels from the spectrum: the noise per bin gives the noise density, the power
    // around the pitch the signal's average power.
    const double density = m_pitch.noisePerBin() / m_spectrum.binHz();  // per Hz, one-sided
    m_noisePower = std::max(density * kWorkingRateHz / 2.0 * m_down->noiseGain(), 1e-20);
    // A keyed sine of amplitude A has A²/2 × duty of average power; at baseband it is A/2.
    m_amplitude = std::sqrt(m_pitch.signalPower() / (2.0 * kDuty));
    if (m_amplitude * m_amplitude < m_noisePower)
        m_amplitude = std::sqrt(kGuessedSnr * m_noisePower);
    m_levelsKnown = true;
    m_scorer->setLevels(m_noisePower, m_amplitude);
    startCarrier();
}

// A segmenter that has heard nothing yet, with the speed tracker's lengths and no fading seen.
void KeyingDetector::startSegmenting() {
    m_segmenter = std::make_unique<KeySegmenter>(*m_scorer);
    m_basebandCount = 0;
    m_sinceSettled = 0;
    m_follower.reset();
    m_lastMarkLogPower.reset();
    m_fadeSpread = 0.0;
    m_fadesFast = false;
    m_scorer->allowFadeWithinMarks(false);
    m_segmenter->setLengthsPerStep(KeySegmenter::kFineLengthsPerStep);
    m_modelKnown = false;
    updateModel();
}

void KeyingDetector::startCarrier() {
    m_carrier = CarrierTracker();
    m_carrier.setLevels(m_noisePower, m_amplitude,
                        static_cast<int>(std::lround(m_speed->lengths().dotSamples / 2)));
}

void KeyingDetector::processBaseband(std::complex<float> z) {
    m_recent[static_cast<size_t>(m_basebandCount) & (kRecent - 1)] = z;  // as it came
    ++m_basebandCount;
    const std::complex<double> turned = m_carrier.derotate(std::complex<double>(z));
    m_scorer->setPhase({1.0, 0.0}, kPhaseTrust * m_carrier.concentration());
    m_segmenter->push(turned, markLevelHere(z));
    const long lag = lagSamples();
    // Each settling scores the unsettled stretch again; a longer lag settles less often, so
    // that the work per sample stays about the same.
    if (++m_sinceSettled < std::max(kSettleEvery, lag / kSettlesPerLag)) return;
    m_sinceSettled = 0;
    std::vector<Segment> segments;
    const long idle = m_segmenter->settle(lag, segments);
    take(segments);
    if (m_startProvisional) {
        m_idleUntilMs = -1.0;  // nothing of this signal was given out yet
        if (m_speed->settled()) return lookAgainAtStart();
        if (m_basebandCount < kLongestStartLooked) return;
        endProvisionalStart();  // too long to look at again: what was decided stands
    }
    m_idleUntilMs = idle >= 0 ? basebandMs(idle) : -1.0;
}

// The first marks of a signal are decided with levels guessed from the spectrum and a speed
// that is not yet known, and a weak signal's first letters came out wrong three times as often
// as the rest. Once the speed is known, the signal is decided again from its first sample with
// what was learnt, and only that second reading is given out.
void KeyingDetector::lookAgainAtStart() {
    m_startProvisional = false;
    m_provisional.clear();
    std::vector<std::complex<float>> heard(static_cast<size_t>(m_basebandCount));
    for (size_t i = 0; i < heard.size(); ++i) heard[i] = m_recent[i & (kRecent - 1)];
    startSegmenting();
    startCarrier();
    m_idleUntilMs = -1.0;
    for (std::complex<float> z : heard) processBaseband(z);
}

// The start's first reading is given out as it is: the signal ended, changed or ran too long.
void KeyingDetector::endProvisionalStart() {
    m_startProvisional = false;
    m_out.insert(m_out.end(), m_provisional.begin(), m_provisional.end());
    m_provisional.clear();
}

// The level a mark ending at this sample is expected to have: the settled marks' level, drawn
// towards the level followed sample by sample as far as the signal stands clear of the noise.
// A weak signal's follower mostly follows the noise, and the settled level is the better guess;
// a steady or slowly fading signal's settled level is better too, so it is followed only where
// the marks' levels are seen to fade fast.
double KeyingDetector::markLevelHere(std::complex<float> z) {
    const int window = std::max(kMinFollowedSamples,
                                static_cast<int>(std::lround(m_speed->lengths().dotSamples / 2)));
    const double followed = m_follower.push(std::complex<double>(z), window,
                                            m_noisePower * m_scorer->sumVariance(window));
    const double trust = std::clamp(
        (snrDb() - kFollowFromSnrDb) / (kFollowFullySnrDb - kFollowFromSnrDb), 0.0, 1.0);
    if (!m_fadesFast || trust <= 0.0 || m_amplitude <= 0.0) return 0.0;
    return std::exp(trust * std::log(followed) + (1.0 - trust) * std::log(m_amplitude));
}

// A weak signal's dot and the gap after it are told from one dash only by what follows, so
// it is settled later than a clear one.
long KeyingDetector::lagSamples() const {
    const double weakness =
        std::clamp((kClearSnrDb - snrDb()) / (kClearSnrDb - kWeakSnrDb), 0.0, 1.0);
    const double weakLag = std::max(m_settings.weakLagDots, m_settings.lagDots);
    const double dots = m_settings.lagDots + weakness * (weakLag - m_settings.lagDots);
    const double lagMs = std::clamp(dots * m_speed->lengths().dotSamples * MsPerBaseband(),
                                    kMinLagMs, kMaxLagMs);
    return std::lround(lagMs / MsPerBaseband());
}

void KeyingDetector::take(const std::vector<Segment>& segments) {
    for (const Segment& seg : segments) {
        KeyStretch stretch;
        stretch.mark = seg.mark;
        stretch.startMs = basebandMs(seg.start);
        stretch.lengthMs = basebandMs(seg.end) - stretch.startMs;
        stretch.markProbability = Logistic(seg.markLogOdds);
        (m_startProvisional ? m_provisional : m_out).push_back(stretch);
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
        const double power =
            (std::norm(sum) - m_noisePower * m_scorer->sumVariance(static_cast<int>(n))) / (n * n);
        if (power <= 0.0) return;
        followFades(power, n);
        followPhaseCarriedOver(seg);
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

// Whether the carrier keeps its phase from mark to mark: a mark turned by the carrier tracker
// (the segmenter's sum of it) then sums to near the real axis (the mean cosine of its angle was
// 0.93 at -3 dB in 500 Hz and 0.99 from +2 dB up), while a tone started afresh for each element
// leaves it anywhere (0.24 at every SNR; the tracker pulls in a little within each mark).
void KeyingDetector::followPhaseCarriedOver(const Segment& mark) {
    const std::optional<std::complex<double>> sum = m_segmenter->sumOf(mark.start, mark.end);
    if (!sum || std::abs(*sum) <= 0.0) return;
    m_phaseAgreement +=
        kPhaseAgreementWeight * (std::real(*sum) / std::abs(*sum) - m_phaseAgreement);
    m_scorer->setPhaseCarriedOver((m_phaseAgreement - kPhaseNotCarried) /
                                  (kPhaseCarried - kPhaseNotCarried));
}

// How much more the levels of marks one after another differ than their noise explains: fast
// fading, against which marks are weighed as fading within themselves too.
void KeyingDetector::followFades(double power, double length) {
    // The relative variance of a mark's power estimate from the noise alone, about 2 / SNR.
    const double noiseSpread = 2.0 * m_noisePower *
                               m_scorer->sumVariance(static_cast<int>(length)) /
                               (length * length * power);
    const double logPower = std::log(power);
    if (m_lastMarkLogPower) {
        const double step = logPower - *m_lastMarkLogPower;
        const double excess = step * step - noiseSpread - m_lastMarkNoiseSpread;
        m_fadeSpread += kFadeSpreadWeight * (excess - m_fadeSpread);
    }
    m_lastMarkLogPower = logPower;
    m_lastMarkNoiseSpread = noiseSpread;
    // A weak signal's mark levels are too rough a measure of its fading.
    const bool fadedFast = m_fadesFast;
    m_fadesFast = m_fadeSpread > kFastFadeSpread && snrDb() > kFollowFromSnrDb;
    m_scorer->allowFadeWithinMarks(m_fadesFast);
    // A steady signal's marks are tried at every length up to 1 % of a long one: the edges a
    // weak signal's noise blurs are placed better (1,000 characters at -3 dB in 500 Hz: 19.2 %
    // -> 17.0 % CER, two seeds). Under fast fading that split more faded dashes (12.5 -> 12.9 %
    // and 13.5 -> 14.9 % at 1 Hz), so there they are tried at every 4 %, as before.
    if (m_fadesFast != fadedFast)
        m_segmenter->setLengthsPerStep(m_fadesFast ? KeySegmenter::kCoarseLengthsPerStep
                                                   : KeySegmenter::kFineLengthsPerStep);
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
}

}  // namespace cwt::decode
