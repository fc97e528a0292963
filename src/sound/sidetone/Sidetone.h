#pragma once
// The sidetone of sending practice: the operator's own key, heard within a few milliseconds,
// with the main window's tone. A playback stream of its own, opened with the practice window
// and kept running (silent) while it is open, so that the first dit is not lost to a stream
// that starts. Each key edge sounds at its own time plus one fixed latency, to a fraction of a
// millisecond, so every element is as long as it was keyed.
//
// On PipeWire the stream is PipeWire's own (a short graph cycle); on PulseAudio, or when
// PipeWire's socket cannot be reached, it goes through libpulse.
//
// Threads: everything on the owner's (GUI) thread, except edge(), keyDown(), keyUp() and
// figures(), which any thread may call at any time: they take no lock and allocate nothing.

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "sound/ToneSynth.h"
#include "sound/sidetone/SidetoneEngine.h"

class QTimer;

namespace cwt {

class SidetoneOutput;

enum class SidetonePath {
    Automatic,  // PipeWire's own stream where the server is PipeWire, else libpulse
    PipeWire,
    Pulse,
};

struct SidetoneOptions {
    SidetonePath path = SidetonePath::Automatic;
    // The graph cycle asked of PipeWire [samples at 48 kHz]; the whole graph runs at it while
    // the sidetone is open.
    int pipewireQuantum = 128;
    // What the stream asks to keep in a PulseAudio server [µs] (PulseAudio splits it between
    // the stream and its sink).
    int pulseTargetUs = 6000;
};

class Sidetone : public QObject {
    Q_OBJECT
public:
    // The stream must say it runs within this time, and once it runs a server that asks for
    // nothing this long no longer answers [ms].
    static constexpr int kStartTimeoutMs = 3000;
    static constexpr int kStallMs = 1500;

    explicit Sidetone(QObject* parent = nullptr);
    ~Sidetone() override;  // closes

    // Opens the stream with the main window's tone; silent until a key goes down. Returns
    // within milliseconds, or two seconds at most when the server does not answer (it asks
    // which server runs). False when no sound server can be reached:
    // errorText() says why. ready() follows once the stream runs and its latency is chosen
    // (about half a second); failed() if it never starts. Opening an open sidetone reopens it.
    bool open(const ToneSettings& tone, const SidetoneOptions& options = {});
    // Stops at once: whatever sounds stops, nothing is left sounding, nothing waits for the
    // server. Edges that come later are ignored.
    void close();
    bool isOpen() const { return m_output != nullptr; }
    // The stream runs and the latency is chosen.
    bool isReady() const { return m_ready; }

    // The main window's tone changed: elements that start from now on have the new one.
    void setTone(const ToneSettings& tone);

    // Any thread. The key went down or up at `edge.time` (CLOCK_MONOTONIC, as steady_clock
    // reads it). An edge may come ahead of its time (a keyer hands out both edges of an
    // element when it starts); an edge whose time has passed sounds at once. Ignored while
    // the sidetone is closed.
    void edge(const keyer::KeyEdge& edge);
    void keyDown(keyer::KeyTime time) { edge({true, time}); }
    void keyUp(keyer::KeyTime time) { edge({false, time}); }

    // The last failure in words for the operator; empty when none.
    QString errorText() const { return m_error; }
    // The way in use while open: PipeWire or Pulse; its name for the window ("PipeWire",
    // "libpulse").
    SidetonePath path() const { return m_path; }
    QString pathName() const;
    // Any thread.
    SidetoneFigures figures() const { return m_engine.figures(); }
    // How often a PulseAudio server found the stream empty.
    int underflows() const;
    // When the server lost or held back the sidetone's sound (see SidetoneEngine::dropouts).
    std::vector<int64_t> dropouts() const { return m_engine.dropouts(); }

signals:
    // The stream runs and the latency is chosen: keying now sounds as it should.
    void ready();
    // The sidetone stopped (the server went away, stopped answering or never started the
    // stream) and is closed; `message` says why in words.
    void failed(const QString& message);

public:
    struct Bridge;

private:
    bool openPath(SidetonePath path, const SidetoneOptions& options, std::string& detail);
    void takeNotices();
    void watch();
    void fail(const QString& message);

    SidetoneEngine m_engine;
    std::unique_ptr<Bridge> m_bridge;
    std::unique_ptr<SidetoneOutput> m_output;
    QTimer* m_watchdog = nullptr;
    std::atomic<bool> m_accepting{false};  // edges are kept: a stream is open
    SidetonePath m_path = SidetonePath::Automatic;
    ToneSettings m_tone;
    bool m_ready = false;
    QString m_error;
    int64_t m_lastBlocks = 0;
    int64_t m_quietSinceMs = 0;  // the stream last rendered a block, on the monotonic clock
};

}  // namespace cwt
