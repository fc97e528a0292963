#pragma once
// The wave device on a PulseAudio server (or PipeWire's pulse server): one playback stream,
// unsigned 8-bit mono at 11025 samples per second, kept open while sending so that letters
// follow each other sample for sample. libpulse runs on its own thread (pa_threaded_mainloop);
// that thread only moves bytes into the server and queues notices, which the GUI thread
// picks up through an eventfd.

#include <QString>
#include <memory>

#include "sound/WaveDevice.h"

namespace cwt {

class PulseWaveDevice : public WaveDevice {
    Q_OBJECT
public:
    // `clientName` is the application name the server shows. Connecting starts at once, in the
    // background; nothing here waits for the server.
    explicit PulseWaveDevice(const QString& clientName = QStringLiteral("CW Tamarik"),
                             QObject* parent = nullptr);
    // Quitting: flushes what the server still holds and disconnects.
    ~PulseWaveDevice() override;

    void open(const WaveFormat& format) override;
    void write(uint64_t ticket, const uint8_t* data, int size, bool barrier) override;
    void reset() override;
    void close() override;
    bool drain(int timeoutMs) override;

    // Number of sinks; 0 when no server answers within a second.
    int outputCount() override;
    bool hasVolume() override;
    WaveVolume volume() override;
    void setVolume(WaveVolume volume) override;

    QString lastError() const override;
    int underflowCount() const override;
    uint64_t askSoundTime() override;
    void setStartLeadMs(int leadMs) override;

    // The server's index of the playback stream (its sink input), or -1 while there is none;
    // lets a mixer find the program's own output.
    int streamIndex() const;
    // Milliseconds that the stream stays connected after the device was closed.
    static constexpr int kIdleDisconnectMs = 1000;

    struct Impl;

private:
    void takeNotices();
    void disconnectWhenIdle();

    std::unique_ptr<Impl> m_impl;
};

}  // namespace cwt
