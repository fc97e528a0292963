#pragma once
// What the window asks of the decoder of received sound: samples in; characters, the Hangul
// syllable still being composed, the pitch, speed and signal-to-noise ratio and the pass
// band's spectrum out. Single-threaded: the window's thread feeds it and reads it.

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cwt {

struct ReceivedChar {
    std::string text;  // UTF-8: a letter, a sign in brackets, a syllable, or an unknown code
    bool known = true;
    double confidence = 1.0;  // 0..1
    bool wordSpaceBefore = false;
    double startMs = 0;  // the start of its first mark, in the input's time
    double endMs = 0;    // the end of its last mark
    // Not a character: the one given earlier that started at `startMs` begins a word after all
    // (the decoder learns what a word gap is from the gaps that follow it).
    bool wordSpaceCorrection = false;
};

struct ReceiveSettings {
    double lowHz = 300;
    double highHz = 1200;
    std::optional<double> pitchHz;  // the operator's pick; none: found in the band
    bool korean = false;
};

class ReceiveDecoder {
public:
    virtual ~ReceiveDecoder() = default;
    virtual void push(std::span<const float> samples) = 0;
    virtual void finish() = 0;
    virtual std::vector<ReceivedChar> takeCharacters() = 0;
    virtual std::optional<ReceivedChar> preedit() const = 0;
    virtual void pickPitch(std::optional<double> pitchHz) = 0;
    // Reads the letters that come from now on as Hangul jamo, or as English.
    virtual void setKorean(bool korean) = 0;
    virtual bool locked() const = 0;
    virtual double pitchHz() const = 0;
    virtual double wpm() const = 0;
    virtual double snrDb() const = 0;
    virtual double timeMs() const = 0;
    // The latest spectrum frame, power per bin from 0 Hz up, and how many frames came so far.
    virtual const std::vector<float>& spectrum() const = 0;
    virtual double binHz() const = 0;
    virtual long spectrumFrames() const = 0;
};

using ReceiveDecoderMaker =
    std::function<std::unique_ptr<ReceiveDecoder>(int rateHz, const ReceiveSettings&)>;

}  // namespace cwt
