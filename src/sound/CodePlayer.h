#pragma once
// Renders code strings and plays them, on the wave output or the PC speaker: the main
// window's PlayCode and QueueCode, shared with the headless renderer so both sound alike.
// GUI thread only; every wait handles events (stop, pause and key presses run meanwhile).

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "sound/ToneSynth.h"

class TVelWaveCtrl;

namespace cwt {

class SpeakerPorts;
class Beeper;

// What the window's controls say at the moment a code string (or a sign) starts.
struct CodeSettings {
    ToneSettings tone;       // BeepFreq, BeepFreqCut, TrackBar1, SpinEdit4, "음 종류", menus
    int toneWidth = 4;       // SpinEdit1 "음폭" (wave output only; 0 or below counts as 1)
    int dotLength = 150;     // DotLength, samples (10 × SmallEdit)
    bool pcSpeaker = false;  // CheckBox1 "PC Speaker"
};

// Hears of every code string just before it is handed to its output, so that a transmitter can
// be keyed alongside the tones. GUI thread.
class CodeListener {
public:
    virtual ~CodeListener() = default;
    // `runsIntoNext`: a letter of a sign that the next letter joins (no gap mark).
    // `extraSilence`: more silence after the code's own gaps, in the output's ticks.
    virtual void codeStarts(std::string_view code, bool syllableEnd, bool runsIntoNext,
                            const CodeSettings& settings, long long extraSilence) = 0;
    // False: the tones are played as silence of the same length, on the same output, so that
    // everything keeps its time while only the transmitter sounds.
    virtual bool sidetone() const = 0;
};

// The PC-speaker side: the ports when PortAccess holds, else the beeper.
struct SpeakerOutput {
    SpeakerPorts* ports = nullptr;  // used when portAccess is true
    bool portAccess = false;
    Beeper* beeper = nullptr;  // nullptr: cwt::Beep
};

class CodePlayer {
public:
    CodePlayer(TVelWaveCtrl& wave, SpeakerOutput speaker);

    void setSpeaker(SpeakerOutput speaker) { m_speaker = speaker; }
    // Where each PC-speaker tone reads its frequency as it starts (the bar may move during a
    // long code); without it, every tone takes the frequency of the code's settings.
    void setSpeakerFrequency(std::function<int()> frequencyHz) {
        m_speakerFrequencyHz = std::move(frequencyHz);
    }
    void setListener(CodeListener* listener) { m_listener = listener; }

    // The program is ending: the sound stops at once, on the wave output and on the PC speaker
    // (after the element it is sounding), and every PlayCode and QueueCode after it returns at
    // once, silent and unheard by the listener. A send that is waiting returns.
    void shutDown();

    // Plays one code string and returns when it has been played: on the wave output when
    // Playing has turned false (the buffer carries user value 0), on the PC speaker after its
    // final pause. Returns at once if a wait is cut short because the component went away.
    // `extraSilence` more silence follows the code's own gaps, in the output's ticks (samples
    // on the wave output, milliseconds on the PC speaker): the copy practice's slower
    // effective speed. With none, the sound is exactly the code's.
    void PlayCode(std::string_view code, bool syllableEnd, const CodeSettings& settings,
                  long long extraSilence = 0);

    // One sign: the unit and the tone are computed once, from the settings at its start, and
    // kept for all its letters.
    class Sign {
    public:
        // Wave output: renders the letter and queues it with `nextChar` as the buffer's user
        // value (0 for the last letter); returns at once unless all four slots are held.
        // PC speaker: sounds the letter and returns after its final pause.
        // `extraSilence` as for PlayCode.
        void QueueCode(std::string_view code, uint8_t nextChar, bool syllableEnd,
                       long long extraSilence = 0);
        // Waits while the wave output is Playing.
        void Finish();

    private:
        friend class CodePlayer;
        Sign(CodePlayer& player, const CodeSettings& settings);
        CodePlayer& m_player;
        CodeSettings m_settings;
        int m_toneUnitSamples = 0;
        bool m_tones = true;
        std::vector<uint8_t> m_longTone;
    };
    Sign BeginSign(const CodeSettings& settings);

    // The bytes the wave path plays for one code string, `extraSilence` samples of silence
    // after it; without `tones`, silence as long.
    static std::vector<uint8_t> Render(std::string_view code, bool syllableEnd,
                                       const CodeSettings& settings, long long extraSilence = 0,
                                       bool tones = true);

private:
    void PlaySpeaker(std::string_view code, bool syllableEnd, const CodeSettings& settings,
                     long long extraMs, bool tones);
    void WaitWhilePlaying();
    bool tones() const { return !m_listener || m_listener->sidetone(); }

    TVelWaveCtrl& m_wave;
    SpeakerOutput m_speaker;
    std::function<int()> m_speakerFrequencyHz;
    CodeListener* m_listener = nullptr;
    bool m_shutDown = false;
};

// The length of one unit on the output the settings choose, in milliseconds: ToneUnit samples
// at `samplesPerSec` on the wave output, DotMs on the PC speaker.
double UnitMs(const CodeSettings& settings, int samplesPerSec);
// Ticks of that output in one unit: samples, or milliseconds on the PC speaker.
int TicksPerUnit(const CodeSettings& settings);

}  // namespace cwt
