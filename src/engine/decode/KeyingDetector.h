#pragma once
// Finds the keying in sound: mono samples at any rate in, marks and spaces out, each with
// the belief that it is a mark. The chain: conversion to the working rate, the pass band's
// spectrum and the signal's pitch in it, a mix to baseband at that pitch, noise and signal
// levels, and the KeySegmenter's late decisions with priors that follow the sender's speed.
//
// Not thread-safe: one thread feeds it and reads it.

#include <complex>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/decode/BandSpectrum.h"
#include "engine/decode/CarrierTracker.h"
#include "engine/decode/Downconverter.h"
#include "engine/decode/KeySegmenter.h"
#include "engine/decode/KeyStretch.h"
#include "engine/decode/LevelFollower.h"
#include "engine/decode/PitchFinder.h"
#include "engine/decode/RateConverter.h"
#include "engine/decode/SegmentScorers.h"
#include "engine/decode/SpeedTracker.h"

namespace cwt::decode {

struct DetectorSettings {
    double lowHz = 300.0;  // the pass band searched for a signal
    double highHz = 1200.0;
    std::optional<double> pitchHz;  // the operator's pick; followed as it drifts
    std::optional<double> wpm;      // the expected speed; estimated from the signal either way
    double lagDots = 2.0;           // how long after an edge a clear signal is settled, in dots
    double weakLagDots = 4.0;       // the same for a weak one (key-on SNR -3 dB in 500 Hz)
};

class KeyingDetector {
public:
    static constexpr int kWorkingRateHz = 8000;
    static constexpr int kDecimation = 16;  // to the 500 Hz baseband

    KeyingDetector(int sampleRateHz, DetectorSettings settings = {});
    ~KeyingDetector();

    void push(std::span<const float> samples);
    // The stream ended: everything still undecided is decided.
    void finish();

    // The stretches decided since the last call, in order. A signal's first stretches come
    // only once its speed is known (they are then decided again with it), or once it ended.
    std::vector<KeyStretch> takeStretches();
    // Up to when the key is known to be up after the last mark given out; -1 while a mark
    // may be in progress, and while a signal's first marks are held to be decided again.
    double idleUntilMs() const { return m_idleUntilMs; }

    void pickPitch(std::optional<double> pitchHz);
    bool locked() const { return m_pitch.locked(); }
    double pitchHz() const { return m_pitch.pitchHz(); }
    double wpm() const;
    // Whether enough marks were seen to trust wpm().
    bool speedSettled() const { return m_speed && m_speed->settled(); }
    // Key-on signal to noise ratio in 500 Hz, in dB, as last estimated.
    double snrDb() const;
    const BandSpectrum& spectrum() const { return m_spectrum; }
    // How much input was pushed, in ms: the samples still waiting for a whole block count too,
    // so that a character's delay includes that wait.
    double timeMs() const;

private:
    void processWorking(std::span<const float> block);
    void startBaseband(double pitchHz);
    void startSegmenting();
    void startCarrier();
    void processBaseband(std::complex<float> z);
    void take(const std::vector<Segment>& segments);
    void learnLevels(const Segment& segment);
    void updateModel();
    double basebandMs(long index) const;
    double noiseBandwidthHz() const;
    long lagSamples() const;
    double markLevelHere(std::complex<float> z);
    void followFades(double power, double length);
    void followPhaseCarriedOver(const Segment& mark);
    void lookAgainAtStart();
    void endProvisionalStart();

    DetectorSettings m_settings;
    int m_inputRateHz;
    long m_inputTaken = 0;  // input samples pushed, handled or still waiting for a block
    RateConverter m_converter;
    BandSpectrum m_spectrum;
    PitchFinder m_pitch;
    std::unique_ptr<Downconverter> m_down;
    std::unique_ptr<CoherentScorer> m_scorer;
    std::unique_ptr<KeySegmenter> m_segmenter;
    std::unique_ptr<SpeedTracker> m_speed;
    CarrierTracker m_carrier;
    std::vector<float> m_working;     // converted samples not yet handled
    std::vector<float> m_beforeLock;  // working samples kept until a pitch is found
    long m_workingSeen = 0;           // working samples handled
    long m_basebandOrigin = 0;        // working sample of baseband sample 0
    std::vector<std::complex<float>> m_baseband;
    std::vector<std::complex<float>> m_recent;  // the last baseband samples, by index & mask
    long m_basebandCount = 0;
    long m_sinceSettled = 0;  // baseband samples since the segmenter last settled
    double m_noisePower = 0.0;  // per baseband sample
    double m_amplitude = 0.0;
    LevelFollower m_follower;
    std::optional<double> m_lastMarkLogPower;
    double m_lastMarkNoiseSpread = 0.0;
    double m_fadeSpread = 0.0;  // of the log power from mark to mark, beyond the noise's
    bool m_fadesFast = false;
    double m_phaseAgreement = 1.0;  // mean cosine of the turned marks' angles
    bool m_levelsKnown = false;
    std::vector<KeyStretch> m_out;
    // This signal's first stretches, decided before its speed and levels were known: they are
    // decided again from its first sample once they are, and only then given out.
    std::vector<KeyStretch> m_provisional;
    bool m_startProvisional = false;
    double m_idleUntilMs = -1.0;
    bool m_modelKnown = false;  // the segmenter has the speed tracker's lengths
};

}  // namespace cwt::decode
