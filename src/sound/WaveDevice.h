#pragma once
// The one seam between the wave component and a sound system. TVelWaveCtrl is the only caller;
// every method below is called on the GUI thread, and notices reach the GUI thread, in the
// order they happened, through the handler set with setNoticeHandler.
//
// A write is "done" once its bytes are in the output's hands (for a sound server: handed over
// to the server, or the last tens of milliseconds copied by the device to be handed over next),
// which can be some tens of milliseconds before they have sounded. The next letter is then
// queued in time to follow the current one sample for sample, even when the GUI thread was
// held up that long.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

namespace cwt {

// PCM format of the device and of recorded files.
struct WaveFormat {
    int samplesPerSec = 11025;
    int channels = 1;
    int bitsPerSample = 8;

    int blockAlign() const { return channels * bitsPerSample / 8; }
    int avgBytesPerSec() const { return samplesPerSec * blockAlign(); }
    bool operator==(const WaveFormat&) const = default;
};

// Volume of the program's own output, 0 (silent) .. 65535 (full) per channel.
struct WaveVolume {
    uint16_t left = 0xFFFF;
    uint16_t right = 0xFFFF;
    bool operator==(const WaveVolume&) const = default;
};

class WaveDevice : public QObject {
    Q_OBJECT
public:
    struct Notice {
        enum class Kind { Opened, Done, Closed };
        Kind kind = Kind::Done;
        uint64_t ticket = 0;  // Done: the write it completes
        bool failed = false;  // Done: the bytes never reached the output
    };
    using NoticeHandler = std::function<void(const Notice&)>;

    explicit WaveDevice(QObject* parent = nullptr) : QObject(parent) {}
    ~WaveDevice() override = default;

    void setNoticeHandler(NoticeHandler handler) { m_handler = std::move(handler); }

    // Starts a use of the device in `format`; Opened follows once it can sound. A device that
    // cannot be opened completes every write with `failed` set instead, so nobody waits for
    // ever.
    virtual void open(const WaveFormat& format) = 0;
    // Queues `size` bytes (0 is allowed and completes in order). The bytes at `data` stay valid
    // and unchanged until the Done notice of `ticket`, or until reset() returns. After a barrier
    // nothing more is handed over until reset() or close().
    virtual void write(uint64_t ticket, const uint8_t* data, int size, bool barrier) = 0;
    // Forgets every write not yet done; no Done follows for them. What the output already
    // holds plays to its end (cutting it would cut the tail of the last letter).
    virtual void reset() = 0;
    // Ends the use of the device; Closed follows. A device may keep its stream open a little
    // longer so that the next use continues it without a gap.
    virtual void close() = 0;
    // Returns when everything handed over has sounded, or after `timeoutMs`; processes events
    // meanwhile. True when it drained.
    virtual bool drain(int timeoutMs) = 0;

    // Number of outputs the sound system offers (0 when there is none or no server answers).
    virtual int outputCount() = 0;
    // Whether the volume of the program's output can be read and set.
    virtual bool hasVolume() = 0;
    virtual WaveVolume volume() = 0;
    virtual void setVolume(WaveVolume volume) = 0;

    // Text of the last failure (empty when none), for the operator.
    virtual QString lastError() const { return m_lastError; }
    // How often the output ran dry while it played (each end of a send counts once).
    virtual int underflowCount() const { return 0; }
    // Asks when the first byte of the next write() sounds; a transmitter keyed alongside keys
    // that write's letter from there. The answer comes through soundTimeKnown() once the output
    // has handed that byte over and knows when its sound starts, after the write has returned;
    // -1 there means it never will (the write was forgotten, or the output failed). Returns the
    // id of the answer, or 0 when the output cannot tell.
    virtual uint64_t askSoundTime() { return 0; }
    // Silence that goes in front of the sound when it starts again after a pause, so that the
    // output knows when it starts before anything after the silence sounds (0: none).
    virtual void setStartLeadMs(int leadMs) { (void)leadMs; }

signals:
    // GUI thread: the answer to askSoundTime(), as CLOCK_MONOTONIC microseconds.
    void soundTimeKnown(quint64 id, qint64 timeUs);

protected:
    void deliver(const Notice& notice) {
        if (m_handler) m_handler(notice);
    }
    QString m_lastError;

private:
    NoticeHandler m_handler;
};

}  // namespace cwt
