#pragma once
// Keys a transmitter alongside the tones. Every code string the code player sounds (Start,
// signs, live typing, mouse keying, macros, random groups all send through it) is either keyed
// on a serial line at the moments its tones will sound, or sent as letters to the rig's own
// keyer through Hamlib.
//
// The key follows the sound, not the moment the GUI thread queued it: the GUI thread queues
// each letter a few tens of milliseconds ahead of its sound, and the wave output tells when
// the letter's first sample sounds once it has handed it to the sound server; its key edges
// are placed from there, counted in samples and turned into time. Until then the letter is
// held, so that no key goes down before the output knows when the tone does: a send that
// starts the sound afresh begins with a little silence, in which the output learns when its
// sound starts. On the PC speaker (and on an output that cannot tell) the unit is DotMs or a
// sample, and a letter begins when it is played, or where the one before it ends.
//
// A live key (the sending practice's paddle through the keyer, or a straight key) keys the
// serial line too, not placed on the sound but at the times the keyer gives, through keyLive().
//
// GUI thread only. The keying thread and the Hamlib thread report back through it; it tells
// the operator in words (problem()) and turns itself off after a fault (stopped()).

#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "engine/keying/KeySchedule.h"
#include "engine/keying/KeyingSettings.h"
#include "engine/keying/RigText.h"
#include "rig/KeyingThread.h"
#include "rig/LiveKeyPath.h"
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
    // the rig's keyer is stopped; a live key on the air (livePath) stops at once.
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
    // key goes up at once and nothing handed over before is keyed; livePath() is closed.
    void stopLive();
    // How long after the keyer's time a live edge is keyed, the same for every edge, so that
    // a keyer that hands an element over a little after it began still has it keyed whole.
    int64_t onAirDelayNs = 10'000'000;
    // Live elements that were not keyed because they had ended before they were handed over.
    int lateElements() const { return m_lateElements + m_livePath->lateElements(); }
    // The key line for a live key's own thread (see LiveKeyPath): keys while a serial line is
    // keyed and the path is open, nothing otherwise. The same path for as long as this keyer
    // lives; stopLive() and the operator's Stop close it.
    std::shared_ptr<LiveKeyPath> livePath() const { return m_livePath; }

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
    bool holdUntilItSounds(const KeySchedule& schedule, long long extraSilence);
    void soundTimeKnown(quint64 id, qint64 timeUs);
    void handOver(std::span<const TimedEdge> edges);
    int sampleRate() const;
    void placeLetter(bool pcSpeaker, int64_t nowNs);
    int64_t ticksToNs(int64_t ticks) const;
    void sendToRig(std::string_view code, bool syllableEnd, bool runsIntoNext,
                   const CodeSettings& settings);
    std::vector<TimedEdge> liveEdges(std::span<const keyer::KeyEdge> edges, int64_t nowNs);
    void takeThreadEvents();
    void endAfterFault(const QString& message);

    QPointer<TVelWaveCtrl> m_wave;
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

    // Letters whose sound the wave output has not placed yet, in the order they were queued:
    // the id of the output's answer and their edges from the letter's first sample.
    struct Held {
        uint64_t soundTimeId = 0;
        std::vector<TimedEdge> edges;
        int64_t lengthNs = 0;  // the letter's sound, its final pause included
    };
    std::deque<Held> m_held;
    // A letter whose place came too late for its first edge is keyed that much later, and so
    // is every letter that follows it without a pause: the transmitter keeps the rhythm.
    int64_t m_placedEndNs = 0;  // where the sound of the last placed letter ends
    int64_t m_lagNs = 0;

    // Without the output's answer: where the sound of the letters handed over so far ends, an
    // anchor time and the ticks (samples, or ms on the PC speaker) laid out from it, so that no
    // rounding adds up.
    bool m_pcSpeakerTimeline = false;
    int m_ticksPerSecond = 11025;
    int64_t m_anchorNs = 0;
    int64_t m_ticks = 0;
    int64_t m_soundEndNs = 0;
    uint32_t m_letter = 0;
    int m_lateElements = 0;
    std::shared_ptr<LiveKeyPath> m_livePath = std::make_shared<LiveKeyPath>();
};

}  // namespace cwt
