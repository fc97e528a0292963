#pragma once
// The decoder of received CW: mono samples of a receiver's audio in, characters out, as they
// come. It finds the signal's pitch in the pass band (or takes the operator's pick) and follows
// its drift, finds the keying in the sound with late, soft decisions (KeyingDetector), and reads
// the keying as text with the timing-to-text stage of keyed input (KeyedDecoder): the speed is
// estimated and followed, Farnsworth spacing reads right, English or Hangul, procedure signs in
// brackets. Each character carries a confidence; noise alone gives no text.
//
// Single-threaded: one thread pushes samples and reads everything else.

#include <optional>
#include <span>
#include <vector>

#include "engine/decode/Decoded.h"
#include "engine/decode/KeyedDecoder.h"
#include "engine/decode/KeyingDetector.h"

namespace cwt::decode {

struct BandDecoderSettings {
    double lowHz = 300;  // the pass band searched for a signal
    double highHz = 1200;
    std::optional<double> pitchHz;  // the operator's pick; none: found in the pass band
    std::optional<double> wpm;      // the expected speed; followed from the signal either way
    bool korean = false;
};

class BandDecoder {
public:
    // `sampleRateHz`: any whole rate from 4,000 Hz up.
    explicit BandDecoder(int sampleRateHz, const BandDecoderSettings& settings = {});

    // The next samples of the one channel. Characters are ready as soon as their letter ended.
    void push(std::span<const float> samples);
    // The input is over: what is still open is read and given out.
    void finish();

    // Characters read since the last call, in order, and corrections of those given before
    // (see DecodedChar); times in ms from the first sample.
    std::vector<DecodedChar> takeCharacters();
    // The Hangul syllable still open, which later letters may change; nothing in English.
    std::optional<DecodedChar> preedit() const;

    // Follows the signal at this pitch from now on; none: searches the pass band again.
    void pickPitch(std::optional<double> pitchHz);
    // Reads the letters that start from now on as Hangul jamo, or as English. The letter under
    // way is read as before.
    void setKorean(bool korean);
    bool korean() const { return m_korean; }

    // Whether a signal was found (or picked) and is followed.
    bool locked() const { return m_detector.locked(); }
    double pitchHz() const { return m_detector.pitchHz(); }
    double wpm() const { return m_detector.wpm(); }
    // The key-on signal-to-noise ratio in 500 Hz, in dB, as last estimated.
    double snrDb() const { return m_detector.snrDb(); }
    // How much input was taken, in ms.
    double timeMs() const { return m_detector.timeMs(); }

    // The latest spectrum frame: power per bin from 0 Hz up (of the input converted to 8 kHz).
    const std::vector<float>& spectrum() const { return m_detector.spectrum().latest(); }
    double binHz() const { return m_detector.spectrum().binHz(); }
    long spectrumFrames() const { return m_detector.spectrum().framesSeen(); }

private:
    void readStretches();
    void hold(KeyStretch stretch);
    void release();
    void give(const KeyStretch& stretch);
    void startReading();
    void switchLanguage();
    void collect();

    KeyingDetector m_detector;
    KeyedDecoder m_reader;
    std::optional<double> m_wpm;  // the speed the operator gave
    // Until the detector has measured the speed, its stretches wait here: the reader then starts
    // with the right unit and reads the first word gaps right.
    std::vector<KeyStretch> m_waiting;
    // The last stretch, kept back until the next shows whether they are one: a mark the
    // detector itself doubts is read as part of the space around it, a space it doubts as part
    // of the marks around it.
    std::optional<KeyStretch> m_held;
    bool m_reading = false;
    bool m_korean;
    bool m_wordSpacePending = false;  // the first character after a switch starts a word
    double m_lastCharEndMs = -1;      // of the last character given out; -1 before the first
    bool m_switchPending = false;
    bool m_betweenLetters = true;  // the last stretch given to the reader ended a letter
    double m_lastMarkEndMs = 0;
    std::vector<DecodedChar> m_out;
    std::vector<float> m_finite;  // a block with its non-finite samples silenced
};

}  // namespace cwt::decode
