#pragma once
// The timed events that pass between the key inputs (keyboard adapter, serial port lines), the
// keyer, the sidetone, the transmitter's key line and the decoding of what was keyed.

#include <chrono>

namespace cwt::keyer {

// A moment on the monotonic clock (CLOCK_MONOTONIC, which std::chrono::steady_clock reads on
// Linux), in nanoseconds since its origin. The engine never reads a clock: every time is given.
using KeyTime = std::chrono::nanoseconds;

enum class Lever {
    Dit,       // the dot paddle (left)
    Dah,       // the dash paddle (right); in bug mode the operator's own dashes
    Straight,  // a straight key: the key follows it as it is
};

// A lever closed or opened at `time`, taken as close to its source as the input allows.
struct LeverEvent {
    Lever lever = Lever::Dit;
    bool closed = false;
    KeyTime time{0};
};

// The key going down or up at `time`: what the sidetone sounds and the transmitter sends.
struct KeyEdge {
    bool down = false;
    KeyTime time{0};
};

}  // namespace cwt::keyer
