#pragma once
// A wave device without sound: it completes writes on a clock, either in real time (a write
// is done when it would have finished sounding) or at once (tests and the renderer). What it
// "played" is kept, so callers can see exactly which bytes reached the output.

#include <QTimer>
#include <deque>
#include <vector>

#include "sound/WaveDevice.h"

namespace cwt {

class SimulatedWaveDevice : public WaveDevice {
    Q_OBJECT
public:
    enum class Clock { RealTime, Instant };

    explicit SimulatedWaveDevice(Clock clock = Clock::Instant, QObject* parent = nullptr);
    ~SimulatedWaveDevice() override;

    void open(const WaveFormat& format) override;
    void write(uint64_t ticket, const uint8_t* data, int size, bool barrier) override;
    void reset() override;
    void close() override;
    bool drain(int timeoutMs) override;

    int outputCount() override { return 1; }
    bool hasVolume() override { return true; }
    WaveVolume volume() override { return m_volume; }
    void setVolume(WaveVolume volume) override { m_volume = volume; }

    // Test hooks: a device that cannot be opened, or one that fails after handing over
    // `writes` more writes; every write after that completes with `failed` set.
    void setFailOpen(bool fail) { m_failOpen = fail; }
    void failAfter(int writes) { m_failAfter = writes; }
    void recover() {
        m_failed = false;
        m_failAfter = -1;
    }

    // Everything handed over to the "output", in order, while `keep` (the default) holds. The
    // renderer keeps nothing: what it plays goes to its file buffer by buffer, and its memory
    // must not grow with the length of the text.
    void setKeepPlayed(bool keep) { m_keepPlayed = keep; }
    const std::vector<uint8_t>& played() const { return m_played; }
    void clearPlayed() { m_played.clear(); }
    int openCount() const { return m_openCount; }
    bool isOpen() const { return m_open; }
    // Writes queued but not handed over (held behind a barrier or waiting for the clock).
    int queuedCount() const { return static_cast<int>(m_queue.size()); }

private:
    struct Pending {
        uint64_t ticket;
        const uint8_t* data;
        int size;
        bool barrier;
    };
    void pump();
    void handOver(const Pending& pending, bool failed);
    void post(const Notice& notice);

    Clock m_clock;
    WaveFormat m_format;
    WaveVolume m_volume;
    std::deque<Pending> m_queue;
    std::vector<uint8_t> m_played;
    QTimer m_clockTimer;          // real time: fires when the head write has sounded
    qint64 m_headStartedMs = -1;  // real time: when the head write started sounding
    bool m_keepPlayed = true;
    bool m_open = false;
    bool m_blocked = false;  // a barrier was handed over
    bool m_failOpen = false;
    bool m_failed = false;
    int m_failAfter = -1;
    int m_openCount = 0;
};

}  // namespace cwt
