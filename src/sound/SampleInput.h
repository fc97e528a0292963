#pragma once
// Mono samples arriving as they are heard (a sound server's source, or a generated signal in
// tests), read by whoever decodes them. The input's own thread fills it; one reading thread
// drains it with read() and asks state() to learn that the input has gone.

#include <cstddef>

namespace cwt {

class SampleInput {
public:
    enum class State {
        Closed,      // not open, or closed
        Running,     // samples arrive
        SourceLost,  // the source went away (a sound card unplugged, a sink unloaded)
        ServerLost,  // the sound server went away
    };

    virtual ~SampleInput() = default;

    // The rate of the samples, per second.
    virtual int rateHz() const = 0;
    // Reading thread: moves up to `max` waiting samples to `out`; returns how many. Never waits.
    virtual size_t read(float* out, size_t max) = 0;
    // Any thread.
    virtual State state() const = 0;
};

}  // namespace cwt
