#pragma once
// Keys a transmitter alongside the tones. Every code string the code player sounds (Start,
// signs, live typing, mouse keying, macros, random groups all send through it) is either keyed
// on a serial line at the moments its tones will sound, or sent as letters to the rig's own
// keyer through Hamlib.
//
// The key follows the sound, not the moment the GUI thread queued it: the wave output plays
// one letter after another sample for sample while the GUI thread queues each letter a few
// tens of milliseconds ahead, so a letter queued before the one before it has finished
// sounding begins exactly where that one ends, and its key edges are placed there, counted in
// samples and turned into time. A letter that starts afresh begins when the output has sounded
// what it still holds (as far as the device can tell) or at once. On the PC speaker the unit
// is DotMs and a letter begins when it is played.
//
// A live key (the sending practice's paddle through the keyer, or a straight key) keys the
// serial line too, not placed on the sound but at the times the keyer gives, through keyLive().
//
// GUI thread only. The keying thread and the Hamlib thread report back through it; it tells
// the operator in words (problem()) and turns itself off after a fault (stopped()).

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "engine/keying/KeyingSettings.h"
#include "engine/keying/RigText.h"
#include "rig/KeyingThread.h"
#include "sound/CodePlayer.h"

class QSocketNotifier;
class TVelWaveCtrl;

namespace cwt {

class HamlibKeyer;

class TransmitterKeyer : public QObject, public CodeListener {
    Q_OBJECT
public:
    // `wave`: the wave output whose sound the key follows (none: the key starts each letter
    // when it is queued).
    explicit TransmitterKeyer(TVelWaveCtrl* wave, const SerialCalls& calls = SystemSerialCalls(),
                              QObject* parent = nullptr);
    ~TransmitterKeyer() override;

    // Starts keying as `settings` say. A serial port that cannot be opened is reported in
    // words and false is returned; the tones go on alone. A rig is opened in the background
    // and reported the same way if it cannot be.
    bool start(const KeyingSettings& settings);
    // Key up, port and rig closed.
    void finish();
    bool active() const { return m_thread || m_rig; }
    // The system calls of the serial line from the next start() on (tests give their own).
    void setSerialCalls(const SerialCalls& calls) { m_calls = &calls; }
    const KeyingSettings& settings() const { return m_settings; }
    // The operator's Stop: the letter being keyed ends as it should, nothing after it is keyed;
    // the rig's keyer is stopped.
    void stopSending();
    // What is keyed and how, for the status bar.
    QString statusText() const;

    // Whether a live key keys the transmitter now.
    enum class LiveKeying {
        Keyed,     // the serial line follows it
        Off,       // keying is off (never started, finished, or turned off after a fault)
        RigKeyer,  // the rig's own keyer takes letters through Hamlib, not key edges
    };
    LiveKeying liveKeying() const;
    // Why a live key does not key the transmitter, in words for the window; empty when it does.
    QString liveRefusal() const;
    // Keys a live key's edges, in time order, each at its time plus onAirDelayNs; an edge whose
    // moment has passed is keyed at once. An element whose end had passed before it was handed
    // over is not keyed at all (a click on the air is no dot) and counts in lateElements(). A
    // send still being keyed is broken into: the rest of its letters are not keyed. Nothing is
    // keyed unless the result is Keyed.
    LiveKeying keyLive(std::span<const keyer::KeyEdge> edges);
    // The live key's Stop (the keyer reset, the on-air switch turned off, the paddle lost): the
    // key goes up at once and nothing handed over before is keyed.
    void stopLive();
    // How long after the keyer's time a live edge is keyed, the same for every edge, so that
    // a keyer that hands an element over a little after it began still has it keyed whole.
    int64_t onAirDelayNs = 10'000'000;
    // Live elements that were not keyed because they had ended before they were handed over.
    int lateElements() const { return m_lateElements; }

    void codeStarts(std::string_view code, bool syllableEnd, bool runsIntoNext,
                    const CodeSettings& settings, long long extraSilence) override;
    bool sidetone() const override { return !active() || m_settings.sidetone || offTheAir(); }

    // True for sends that are heard but never transmitted (the copy practice): nothing is
    // keyed for them, and they sound whatever the sidetone setting.
    std::function<bool()> offTheAir = [] { return false; };

    // Options of the keying thread (the watchdog comes from the settings).
    KeyingThread::Options threadOptions;
    // Sees the edges of every letter as they are handed to the keying thread.
    std::function<void(std::span<const TimedEdge>)> onHandOver;

signals:
    void problem(const QString& message);
    // Keying turned itself off after a fault (lost port, watchdog, rig lost or not opened).
    void stopped();
    void rigReady(const QString& rigName);

private:
    void keyLetter(std::string_view code, bool syllableEnd, const CodeSettings& settings,
                   long long extraSilence);
    int sampleRate() const;
    void placeLetter(bool pcSpeaker, int64_t nowNs);
    int64_t ticksToNs(int64_t ticks) const;
    void sendToRig(std::string_view code, bool syllableEnd, bool runsIntoNext,
                   const CodeSettings& settings);
    std::vector<TimedEdge> liveEdges(std::span<const keyer::KeyEdge> edges, int64_t nowNs);
    void takeThreadEvents();
    void endAfterFault(const QString& message);

    TVelWaveCtrl* m_wave = nullptr;
    const SerialCalls* m_calls;
    KeyingSettings m_settings;
    std::unique_ptr<KeyLine> m_line;
    std::unique_ptr<KeyingThread> m_thread;
    QSocketNotifier* m_notifier = nullptr;
    HamlibKeyer* m_rig = nullptr;
    QString m_rigName;
    RigTextBuilder m_rigText;
    int m_rigWpm = 0;
    std::set<std::string> m_unsendableTold;

    // Where the sound of the letters handed over so far ends: an anchor time and the ticks
    // (samples, or ms on the PC speaker) laid out from it, so that no rounding adds up.
    bool m_pcSpeakerTimeline = false;
    int m_ticksPerSecond = 11025;
    int64_t m_anchorNs = 0;
    int64_t m_ticks = 0;
    int64_t m_soundEndNs = 0;
    uint32_t m_letter = 0;
    int m_lateElements = 0;
};

}  // namespace cwt
