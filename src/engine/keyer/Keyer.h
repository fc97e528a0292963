#pragma once
// The keyer: turns the levers of a paddle, a bug or a straight key into the key's down and up
// edges, on an absolute time grid.
//
// It reads no clock and starts no thread: every call carries the time on the monotonic clock,
// and the keyer answers with edges at exact times. An element that follows another starts at
// the end of the one before it (its tone and its space), never at the moment a call happens
// to arrive, so a late call moves no edge and a long run keeps its speed to the nanosecond.
// The first element after the levers were idle starts at the instant its lever closed.
//
// Driving it. One owner calls it, from one thread (a real-time keying thread, or the GUI thread
// of a window); it is not thread-safe. The calls, in this order:
//   1. setSettings(settings, now) once, and again whenever the operator changes something; the
//      element that is sounding keeps its lengths, the next one takes the new ones.
//   2. For each lever change, in the order of their times: lever(event), then advance(now).
//      Changes of one instant (both levers of a squeeze, as one wake of the serial lines
//      reports them) all go in before advance(), so that they count as simultaneous. Events
//      whose time lies before an earlier call count as happening at that call's time: a late
//      event is never lost, only taken a little later.
//   3. Whenever nextWake() is a time: sleep until then (or until the next lever event, if it
//      comes first) and call advance(now) with the time you woke. nextWake() empty means idle:
//      nothing happens until the next lever event.
//   4. reset(now) on Stop, on focus loss, or when the input goes away: the levers count as
//      open, nothing more is keyed, and if the key is down at `now` it goes up at `now`.
//
// The edges. advance() hands out the edges decided up to `now`, down and up in turn, in time
// order. An element's down edge and up edge are handed out together as it starts, so the up
// edge lies ahead of `now`: the sidetone and the key line schedule edges ahead, each at its
// own time plus their fixed latency. A down edge may lie a little before `now` (by however
// late the caller woke), which that latency absorbs. The only edge that can come earlier than
// one handed out before is reset()'s up edge: it cuts the tone that is sounding, and the up
// edge handed out for that tone must then be dropped.
//
// What the modes do at the end of each element (after its space), with memory on:
//   - iambic A and B alternate while both levers are closed, and repeat the one lever held;
//     a lever closed at any moment during an element gives its element next, even if it was
//     released again (memory). In mode B, the other lever closed when the element started (a
//     squeeze) gives one more element of its kind even when both were released during it;
//     in mode A it gives nothing more. From idle, the lever closed first starts.
//   - Ultimatic: the lever closed last wins while both are closed; closing a lever again
//     makes it the last. A lever tapped during an element still gives its element.
//   - Bug: the dit lever works as in the iambic modes with only dits; the dah lever is a
//     straight key.
//   - Straight: every lever is a straight key.
// A straight-key contact (Lever::Straight, the dah lever in bug mode) keys down when it
// closes and up when it opens. It never cuts into an automatic element: closed during one, it
// keys down at that element's end, and a contact that opened again before then keys nothing.
// An automatic element starts no sooner than one unit after a hand-keyed tone ends.
//
// Levers are expected debounced by their input; a lever that reports the state it already
// has is ignored. A lever held closed for StuckLeverLimit() is let go (as if opened) and
// reported by stuckLever() until it is closed again.

#include <optional>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "engine/keyer/KeyerSettings.h"

namespace cwt::keyer {

class Keyer {
public:
    explicit Keyer(const KeyerSettings& settings = {});

    // Takes effect at `now`: the element that is sounding keeps its lengths. A hand-keyed tone
    // whose lever is no longer a straight key in the new mode ends at `now`.
    void setSettings(const KeyerSettings& settings, KeyTime now);
    const KeyerSettings& settings() const { return m_settings; }

    // A lever closed or opened. Events come in time order; follow each with advance().
    void lever(const LeverEvent& event);

    // Appends to `edges` every edge decided up to `now`. It allocates nothing when `edges` has
    // room (a real-time caller keeps one vector and clears it).
    void advance(KeyTime now, std::vector<KeyEdge>& edges);
    std::vector<KeyEdge> advance(KeyTime now);

    // When the caller must call advance() again, or empty when the keyer is idle.
    std::optional<KeyTime> nextWake() const;

    // Lets go of every lever and forgets every element to come. Returns the up edge at `now`
    // when the key is down at `now` (edges not yet handed out by advance() are dropped).
    std::optional<KeyEdge> reset(KeyTime now);

    // The lever the keyer let go because it was held too long, until it is closed again.
    std::optional<Lever> stuckLever() const { return m_stuck; }

private:
    struct Contact {
        bool closed = false;
        bool latched = false;  // closed since its last element started: it wants that element
        KeyTime closedAt{0};
        unsigned long long closeOrder = 0;  // breaks ties between closes at the same time
    };
    struct Element {
        Lever kind = Lever::Dit;
        KeyTime end{0};                // the end of its space: when the next element may start
        bool squeezedAtStart = false;  // the other lever was closed when it started
    };

    Contact& paddle(Lever lever) { return m_paddles[lever == Lever::Dah ? 1 : 0]; }
    const Contact& paddle(Lever lever) const { return m_paddles[lever == Lever::Dah ? 1 : 0]; }
    Lever logical(Lever physical) const;
    bool isAutomatic(Lever lever) const;
    bool wants(Lever lever) const;
    bool memoryFor(Lever lever) const;
    bool handContactClosed() const;

    void applySettings(const KeyerSettings& settings);
    void runTo(KeyTime limit, bool inclusive);
    std::optional<KeyTime> nextDecision() const;
    void decideAt(KeyTime time);
    void endElement(KeyTime time);
    void startNext(KeyTime time, std::optional<Element> last);
    std::optional<Lever> pick(const std::optional<Element>& last) const;
    void startElement(Lever kind, KeyTime time);
    void scheduleStart(KeyTime time);
    void followHandContact(KeyTime time);
    void handDown(KeyTime time);
    void handUp(KeyTime time);
    void letGoStuckPaddles(KeyTime time);
    void letGoStuckHandContacts(KeyTime time);
    void emitEdge(bool down, KeyTime time);

    KeyerSettings m_settings;
    KeyTime m_unit{0};
    ElementLength m_dit;
    ElementLength m_dah;
    KeyTime m_stuckLimit{0};

    Contact m_paddles[2];  // logical dit and dah
    Contact m_straight;
    unsigned long long m_closes = 0;
    std::optional<Lever> m_stuck;

    KeyTime m_now{KeyTime::min()};         // how far the keyer has run
    std::optional<Element> m_element;      // the automatic element whose tone or space is running
    std::optional<KeyTime> m_startAt;      // when the next automatic element starts from idle
    KeyTime m_autoFreeAt{KeyTime::min()};  // no automatic element starts before this
    bool m_handDown = false;
    KeyTime m_handDownAt{0};

    std::vector<KeyEdge> m_pending;  // decided, not yet handed out
    KeyEdge m_lastOut{false, KeyTime::min()};
};

}  // namespace cwt::keyer
