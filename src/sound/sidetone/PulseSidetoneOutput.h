#pragma once
// The sidetone's stream through libpulse: PulseAudio, or a pulse server that is not PipeWire's
// own. A stream of its own on a client of its own (its own libpulse thread), so the sidetone
// never waits for the program's other sound. The server asks for a millisecond at a time and
// the stream keeps about 4 ms in the server; each request is rendered at once, and the
// stream's latency (interpolated between the server's timing reports) says when the first
// sample of the request will sound.

#include <atomic>
#include <memory>

#include "sound/sidetone/SidetoneOutput.h"

namespace cwt {

class PulseClient;

class PulseSidetoneOutput : public SidetoneOutput {
public:
    // What the stream asks to keep in the server [µs]: PulseAudio keeps about two thirds of it
    // in the stream and lets its sink render the rest ahead. Every write passes the server's
    // main thread, which is not real-time: on a busy machine (two cores, load 9) any target ran
    // dry now and then (6 ms: 1 to 4 times a second; 7 to 10 ms more often still; 12 ms 0.4 to
    // 3 times; 15 ms rarely), and only 6 ms keeps the sound within 10 ms of the key however
    // far ahead the sink renders.
    static constexpr int kTargetUs = 6000;

    explicit PulseSidetoneOutput(int targetUs = kTargetUs);
    ~PulseSidetoneOutput() override;

    bool open(SidetoneEngine& engine, Listener& listener) override;
    void close() override;
    std::string error() const override;
    int underflows() const override { return m_underflows.load(std::memory_order_relaxed); }

    struct Stream;

private:
    int m_targetUs;
    std::unique_ptr<PulseClient> m_client;
    std::unique_ptr<Stream> m_stream;
    std::atomic<int> m_underflows{0};
};

}  // namespace cwt
