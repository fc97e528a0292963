#pragma once
// The sidetone's stream through PipeWire's own client library, on a server that runs PipeWire.
// Its pulse server adds a buffer of its own (at least 5 ms at a time, 16 ms in all here), too
// much for a sidetone; a stream of PipeWire's own asks the graph for a short cycle
// (node.latency) and renders each block on PipeWire's real-time thread within the cycle that
// plays it. The graph's time of the cycle and its delay to the device say when the block's
// first sample sounds.

#include <memory>
#include <string>

#include "sound/sidetone/SidetoneOutput.h"

namespace cwt {

class PipeWireSidetoneOutput : public SidetoneOutput {
public:
    // The graph's cycle the stream asks for [samples at 48 kHz]: 128 is 2.7 ms.
    static constexpr int kQuantumFrames = 128;

    explicit PipeWireSidetoneOutput(int quantumFrames = kQuantumFrames);
    ~PipeWireSidetoneOutput() override;

    bool open(SidetoneEngine& engine, Listener& listener) override;
    void close() override;
    std::string error() const override { return m_error; }

    struct Connection;

private:
    int m_quantumFrames;
    std::unique_ptr<Connection> m_connection;
    std::string m_error;
};

}  // namespace cwt
