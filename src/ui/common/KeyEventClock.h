#pragma once
// The moment a key event happened, on the monotonic clock (CLOCK_MONOTONIC, as every key event
// of the program carries). A key event carries the display server's time of it
// (QInputEvent::timestamp(): X11 server time or the Wayland compositor's, in milliseconds, on
// the server's clock); reading the monotonic clock when the event reaches the GUI thread adds
// whatever held that thread up (a repaint, a busy machine), a few to tens of milliseconds.
//
// The two clocks differ by an offset that does not change, plus the delivery delay, which is
// never negative: the smallest (arrival − server time) seen is that offset plus the quickest
// delivery. An event's time is its server time plus that offset: exact to the server's
// millisecond whatever held the GUI thread up, and never later than the arrival. A server
// whose clock jumps (another clock, a restart, a display on another machine whose clock runs
// at another rate) shows as events that seem to arrive far too late, one after another: the
// offset is then measured afresh. Events without a server time (0, as synthetic events have)
// take their arrival.
//
// GUI thread (one clock per input).

#include <cstdint>
#include <optional>

namespace cwt {

class KeyEventClock {
public:
    // The event's time for server time `serverMs` arriving at `arrivalNs` (monotonic).
    int64_t timeOf(uint64_t serverMs, int64_t arrivalNs);
    // How much later than the quickest the last event arrived (its time to its arrival).
    int64_t lastDelayNs() const { return m_lastDelayNs; }

private:
    std::optional<int64_t> m_offsetNs;  // arrival − server time, the smallest seen
    int m_farTooLate = 0;               // events in a row that seemed to arrive far too late
    int64_t m_lastDelayNs = 0;
};

}  // namespace cwt
