#pragma once
// The input of the timing-to-text stage: what the key did, as stretches of time. Keyed input
// (a straight key, the keyer) and the decoder of received sound both give it in this form.

namespace cwt::decode {

// A stretch during which the key was down (mark) or up (space), in time order, marks and
// spaces alternating. Milliseconds from any fixed origin. `markProbability` is 1 or 0 for a
// keyed input; a decoder of sound may give its belief that the stretch was a mark.
struct KeyStretch {
    bool mark;
    double startMs;
    double lengthMs;
    double markProbability;
};

}  // namespace cwt::decode
