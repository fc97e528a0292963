#pragma once
// The sound server as the mixers of the mixer dialog (see PulseMixerTypes.h for how sinks and
// streams become mixers, lines and controls).
//
// One connection of its own, on its own pa_threaded_mainloop. Every method is for the GUI
// thread: it takes the loop lock, asks the server, and waits for the answer for at most a
// second, so a server that no longer answers costs one second once: the connection is then
// dropped and later calls fail at once until the next open(). Change notices of the server
// are posted to the GUI thread and come out of the signals there.
//
// Line IDs: a sink's line ID is its index, a stream's is its index with bit 30 set. Control
// IDs: the line ID shifted left by one, plus one for the mute control; bit 31 marks a stream.

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "sound/PulseMixerTypes.h"

struct pa_context;
struct pa_operation;
struct pa_threaded_mainloop;

class PulseMixer : public QObject {
    Q_OBJECT

public:
    explicit PulseMixer(QObject* parent = nullptr);
    ~PulseMixer() override;

    // The sinks of the server, as mixers; empty when no server answers. Connects for the
    // listing when no mixer is open.
    std::vector<cwt::mixer::MixerCaps> listMixers();

    // Connects and subscribes to the server's notices for the sink named `sinkId`, which
    // need not exist. False when no server answers (lastError() says why).
    bool open(const QString& sinkId);
    // Drops the connection; no notices come after it.
    void close();
    bool isOpen() const;

    // The open mixer's capabilities; no destinations when its sink is gone.
    cwt::mixer::MixerCaps caps();
    // Destination line `destination` of the open mixer; only 0 exists.
    std::optional<cwt::mixer::MixerLine> destinationLine(uint32_t destination);
    // Source line `source` of that destination: the sink's streams, lowest index first.
    std::optional<cwt::mixer::MixerLine> sourceLine(uint32_t destination, uint32_t source);
    // The control of type `controlType` on the line; kNoError, kInvalidLine (the object is
    // gone), kInvalidControl (no such control on it) or the server's error code.
    int lineControl(uint32_t lineId, uint32_t controlType, cwt::mixer::MixerControl& control);
    // The control's current left and right values; with one channel both are the same
    // value. False when the server did not answer or the object is gone.
    bool getControlDetails(uint32_t controlId, uint32_t channels, int32_t& left, int32_t& right);
    // Asks the server to set the control; with one channel `left` goes to every channel.
    // Does not wait for the server's answer. False when the request could not be sent.
    bool setControlDetails(uint32_t controlId, uint32_t channels, int32_t left, int32_t right);

    QString lastError() const { return m_lastError; }

    // Helpers of the ID scheme above.
    static uint32_t sinkLineId(uint32_t sinkIndex) { return sinkIndex; }
    static uint32_t streamLineId(uint32_t streamIndex) { return streamIndex | kStreamBit; }
    static uint32_t controlIdOf(uint32_t lineId, bool mute) {
        return (lineId << 1) | (mute ? 1u : 0u);
    }

signals:
    // A control of the open mixer (the sink's, or any stream's) may have changed. The server
    // tells only that an object changed, so both controls of the object are reported.
    void controlChanged(uint32_t controlId);
    // A stream came or went, or the open sink went.
    void lineChanged(uint32_t lineId);
    // The server closed the connection or stopped answering.
    void connectionLost(const QString& reason);

private:
    struct SinkRecord;
    struct StreamRecord;
    static constexpr uint32_t kStreamBit = 0x40000000u;

    bool ensureLoop();
    bool connect();
    void dropLocked();
    bool connectedLocked();
    template <class Done>
    bool waitLocked(Done done, int timeoutMs);
    bool runLocked(pa_operation* op, const bool& done);
    bool querySinks(std::vector<SinkRecord>& out, const QString* name, uint32_t index);
    bool queryStreams(std::vector<StreamRecord>& out, uint32_t index);
    std::optional<SinkRecord> openSink();
    void postLost(const QString& reason);
    void deliverEvent(uint64_t generation, uint32_t facility, uint32_t type, uint32_t index);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    bool m_ready = false;       // guarded by the loop lock
    uint64_t m_generation = 0;  // guarded by the loop lock; counts connections
    bool m_open = false;
    QString m_sinkId;
    uint32_t m_sinkIndex = 0xffffffffu;
    int m_lastErrorCode = 0;
    QString m_lastError;

    friend struct PulseMixerCallbacks;
};
