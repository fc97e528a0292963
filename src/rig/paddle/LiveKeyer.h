#pragma once
// The live keyer: a thread of its own that runs the keyer (LiveKeyerCore) on CLOCK_MONOTONIC
// while an operator keys a paddle, a bug or a straight key. Lever events come from the keyboard
// adapter (GUI thread) and the serial port's watcher (its own thread); the thread wakes when
// one comes in and when the keyer says its next element is due, and hands each edge to the
// sidetone and the transmitter's key line at once and to the GUI thread, which hears of them
// through edgesReady().
//
// It sleeps on a wake-up descriptor until two milliseconds before the keyer's next moment and
// the rest with clock_nanosleep on the absolute time, as the keying thread does, with
// real-time priority when the system grants it: an element begins where the one before it
// ended whatever the thread's lateness, and the next one is decided within microseconds.
//
// reset() (Stop, focus lost, the input gone) and destruction let every lever go and bring the
// key up at once on every output.

#include <QObject>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "engine/keyer/KeyerSettings.h"
#include "rig/RealtimePriority.h"
#include "rig/paddle/LiveKeyerCore.h"

class QSocketNotifier;

namespace cwt {

class LiveKeyer : public QObject {
    Q_OBJECT

public:
    struct Options {
        bool realtime = true;  // ask for real-time scheduling
        int realtimePriority = 20;
    };

    // Starts the thread. `sidetone` is called on it with every edge (see LiveKeyerCore).
    LiveKeyer(const keyer::KeyerSettings& settings, LiveKeyerCore::EdgeSink sidetone,
              Options options, QObject* parent = nullptr);
    ~LiveKeyer() override;  // resets, hands the key's up edge on and ends the thread
    LiveKeyer(const LiveKeyer&) = delete;
    LiveKeyer& operator=(const LiveKeyer&) = delete;

    // Any thread; never blocks. False when the event could not be queued (counted).
    bool lever(const keyer::LeverEvent& event);
    // Any thread: the element that sounds keeps its lengths, the next takes the new ones.
    void setSettings(const keyer::KeyerSettings& settings);
    // Any thread: every lever is let go and nothing more is keyed; a tone that sounds now ends
    // now.
    void reset();
    // Any thread: the transmitter's key line follows the keyer from now on (none: the sidetone
    // alone). Leaving it raises no key: the caller stops the key line itself.
    void setKeyLine(std::shared_ptr<LiveKeyPath> keyLine);

    // GUI thread: the edges handed on since the last call, in order.
    std::vector<LiveEdge> takeEdges();
    // Any thread.
    std::optional<keyer::Lever> stuckLever() const { return m_core.stuckLever(); }
    int lostInputs() const { return m_core.lostInputs(); }
    int lostEdges() const { return m_core.lostEdges(); }
    // How the thread is scheduled; Ordinary until it has started.
    RealtimeWay realtimeWay() const { return m_realtime.load(); }

signals:
    // Edges wait for takeEdges(), or the stuck lever changed. Emitted on the GUI thread.
    void edgesReady();

private:
    void run();
    void waitUntil(std::optional<keyer::KeyTime> deadline);
    void wake() const;
    void notifyGui() const;
    void takeNotice();

    Options m_options;
    LiveKeyerCore m_core;
    int m_wakeFd = -1;
    int m_readyFd = -1;
    QSocketNotifier* m_readyNotifier = nullptr;
    std::atomic<bool> m_quit{false};
    std::atomic<RealtimeWay> m_realtime{RealtimeWay::Ordinary};
    std::thread m_thread;
};

}  // namespace cwt
