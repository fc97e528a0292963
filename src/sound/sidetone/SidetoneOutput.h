#pragma once
// The seam between the sidetone and a sound server: a playback stream of its own that asks the
// SidetoneEngine for every block and says when the block's first sample will sound. Two back
// ends: PipeWire's own client library (its graph runs at a few milliseconds) and libpulse
// (PulseAudio, or any pulse server when PipeWire's own socket cannot be reached).
//
// open() and close() are called on the owner's thread; the listener hears from the back end's
// threads.

#include <string>

#include "sound/sidetone/SidetoneEngine.h"

namespace cwt {

class SidetoneOutput {
public:
    // Called on a back end's thread; no allocation, no blocking.
    class Listener {
    public:
        virtual ~Listener() = default;
        // The stream runs: the server asks for blocks.
        virtual void outputRunning() = 0;
        // The stream or the connection failed (the server went away); `reason` is the
        // server library's text, valid during the call only.
        virtual void outputFailed(const char* reason) = 0;
    };

    // The stream's rate: PipeWire's graph and most sinks run at it, so nothing resamples.
    static constexpr int kRateHz = 48000;

    virtual ~SidetoneOutput() = default;
    // Connects and starts the stream in the background. False when that cannot even begin
    // (no server socket); error() says why.
    virtual bool open(SidetoneEngine& engine, Listener& listener) = 0;
    // Stops the stream and disconnects; nothing waits for the server. After it returns the
    // engine and the listener are no longer called.
    virtual void close() = 0;
    virtual std::string error() const = 0;
    // Times the server found the stream empty (PulseAudio's underflow notices).
    virtual int underflows() const { return 0; }
};

}  // namespace cwt
