#include "engine/keyer/Keyer.h"

#include <algorithm>
#include <tuple>

namespace cwt::keyer {

namespace {

Lever Other(Lever lever) { return lever == Lever::Dit ? Lever::Dah : Lever::Dit; }

}  // namespace

Keyer::Keyer(const KeyerSettings& settings) {
    applySettings(settings);
    // Room for the edges of a few calls, so that emitting never allocates on a real-time caller.
    m_pending.reserve(64);
}

void Keyer::setSettings(const KeyerSettings& settings, KeyTime now) {
    const KeyTime time = std::max(now, m_now);
    runTo(time, false);
    m_now = time;
    applySettings(settings);
    followHandContact(time);
    scheduleStart(time);
}

void Keyer::applySettings(const KeyerSettings& settings) {
    const KeyerSettings clean = Sanitized(settings);
    // The contacts are kept by what they key; a lever held while the sides swap keeps its
    // state and opens as the lever it has become.
    if (clean.swapLevers != m_settings.swapLevers) std::swap(m_paddles[0], m_paddles[1]);
    m_settings = clean;
    m_unit = KeyerUnit(clean.wpm);
    m_dit = DitLength(clean);
    m_dah = DahLength(clean);
    m_stuckLimit = StuckLeverLimit(clean.wpm);
}

Lever Keyer::logical(Lever physical) const {
    if (physical == Lever::Straight || !m_settings.swapLevers) return physical;
    return Other(physical);
}

bool Keyer::isAutomatic(Lever lever) const {
    switch (m_settings.mode) {
        case KeyerMode::Straight:
            return false;
        case KeyerMode::Bug:
            return lever == Lever::Dit;
        default:
            return lever != Lever::Straight;
    }
}

bool Keyer::wants(Lever lever) const {
    const Contact& contact = paddle(lever);
    return isAutomatic(lever) && (contact.closed || contact.latched);
}

bool Keyer::memoryFor(Lever lever) const {
    return lever == Lever::Dit ? m_settings.ditMemory : m_settings.dahMemory;
}

bool Keyer::handContactClosed() const {
    if (m_straight.closed) return true;
    if (m_settings.mode == KeyerMode::Bug) return paddle(Lever::Dah).closed;
    if (m_settings.mode == KeyerMode::Straight)
        return paddle(Lever::Dit).closed || paddle(Lever::Dah).closed;
    return false;
}

void Keyer::lever(const LeverEvent& event) {
    const KeyTime time = std::max(event.time, m_now);
    // Decisions due before the event see the levers as they were; one due at the event's own
    // time waits for it, so that two levers closed at one instant both count.
    runTo(time, false);
    m_now = time;
    const Lever lever = logical(event.lever);
    Contact& contact = lever == Lever::Straight ? m_straight : paddle(lever);
    if (contact.closed == event.closed) return;
    contact.closed = event.closed;
    if (event.closed) {
        contact.closedAt = time;
        contact.closeOrder = ++m_closes;
        if (m_stuck == event.lever) m_stuck.reset();
        // Between elements every close counts; during one, only with memory.
        if (isAutomatic(lever) && (!m_element || memoryFor(lever))) contact.latched = true;
    }
    followHandContact(time);
    scheduleStart(time);
}

void Keyer::advance(KeyTime now, std::vector<KeyEdge>& edges) {
    const KeyTime time = std::max(now, m_now);
    runTo(time, true);
    m_now = time;
    if (m_pending.empty()) return;
    edges.insert(edges.end(), m_pending.begin(), m_pending.end());
    m_lastOut = m_pending.back();
    m_pending.clear();
}

std::vector<KeyEdge> Keyer::advance(KeyTime now) {
    std::vector<KeyEdge> edges;
    advance(now, edges);
    return edges;
}

std::optional<KeyTime> Keyer::nextWake() const {
    if (!m_pending.empty()) return m_now;
    return nextDecision();
}

std::optional<KeyEdge> Keyer::reset(KeyTime now) {
    const KeyTime time = std::max(now, m_now);
    m_now = time;
    m_pending.clear();
    for (Contact& contact : m_paddles) contact = {};
    m_straight = {};
    m_stuck.reset();
    m_element.reset();
    m_startAt.reset();
    m_handDown = false;
    // What was handed out last tells whether the key is down now: a down edge, or the up edge
    // of a tone that has not ended yet.
    const bool keyDown = m_lastOut.down || m_lastOut.time > time;
    if (!keyDown) return std::nullopt;
    m_autoFreeAt = std::max(m_autoFreeAt, time + m_unit);
    m_lastOut = KeyEdge{false, time};
    return m_lastOut;
}

void Keyer::runTo(KeyTime limit, bool inclusive) {
    while (const std::optional<KeyTime> next = nextDecision()) {
        if (*next > limit || (!inclusive && *next == limit)) break;
        decideAt(*next);
    }
}

std::optional<KeyTime> Keyer::nextDecision() const {
    if (m_handDown) return m_handDownAt + m_stuckLimit;
    if (m_element) return m_element->end;
    return m_startAt;
}

void Keyer::decideAt(KeyTime time) {
    if (m_handDown) {
        letGoStuckHandContacts(time);
    } else if (m_element) {
        endElement(time);
    } else if (m_startAt) {
        m_startAt.reset();
        letGoStuckPaddles(time);
        startNext(time, std::nullopt);
    }
}

void Keyer::endElement(KeyTime time) {
    const Element last = *m_element;
    m_element.reset();
    letGoStuckPaddles(time);
    // A hand-keyed contact that closed during the element keys now.
    if (handContactClosed()) {
        handDown(time);
        return;
    }
    startNext(time, last);
}

void Keyer::startNext(KeyTime time, std::optional<Element> last) {
    if (const std::optional<Lever> kind = pick(last)) {
        startElement(*kind, time);
        return;
    }
    // The levers were open at the end of the element: the letter is over.
    if (last && m_settings.autoLetterSpace) m_autoFreeAt = time + (kLetterGapUnits - 1) * m_unit;
}

std::optional<Lever> Keyer::pick(const std::optional<Element>& last) const {
    bool dit = wants(Lever::Dit);
    bool dah = wants(Lever::Dah);
    // Mode B answers a squeeze released during the element with one element of the other lever.
    if (last && last->squeezedAtStart && m_settings.mode == KeyerMode::IambicB) {
        if (last->kind == Lever::Dit)
            dah = true;
        else
            dit = true;
    }
    if (!dit && !dah) return std::nullopt;
    if (dit != dah) return dit ? Lever::Dit : Lever::Dah;
    const Contact& ditContact = paddle(Lever::Dit);
    const Contact& dahContact = paddle(Lever::Dah);
    const bool ditFirst = std::tie(ditContact.closedAt, ditContact.closeOrder) <
                          std::tie(dahContact.closedAt, dahContact.closeOrder);
    if (m_settings.mode == KeyerMode::Ultimatic) return ditFirst ? Lever::Dah : Lever::Dit;
    if (last) return Other(last->kind);
    return ditFirst ? Lever::Dit : Lever::Dah;
}

void Keyer::startElement(Lever kind, KeyTime time) {
    const ElementLength length = kind == Lever::Dit ? m_dit : m_dah;
    Contact& own = paddle(kind);
    Contact& other = paddle(Other(kind));
    own.latched = false;
    // A lever already held when the element starts counts by its state from here on (what
    // mode A and mode B differ on), not as a press during the element.
    if (other.closed) other.latched = false;
    m_element = Element{kind, time + length.period, other.closed && isAutomatic(Other(kind))};
    emitEdge(true, time);
    emitEdge(false, time + length.mark);
    m_autoFreeAt = m_element->end;
}

void Keyer::scheduleStart(KeyTime time) {
    if (m_element || m_handDown || m_startAt) return;
    if (!wants(Lever::Dit) && !wants(Lever::Dah)) return;
    m_startAt = std::max(time, m_autoFreeAt);
}

void Keyer::followHandContact(KeyTime time) {
    const bool closed = handContactClosed();
    if (m_handDown && !closed) {
        handUp(time);
    } else if (!m_handDown && closed && !m_element) {
        handDown(time);
    }
}

void Keyer::handDown(KeyTime time) {
    emitEdge(true, time);
    m_handDown = true;
    m_handDownAt = time;
    m_startAt.reset();
}

void Keyer::handUp(KeyTime time) {
    emitEdge(false, time);
    m_handDown = false;
    // A dit after a hand-keyed tone gets at least an element's space.
    m_autoFreeAt = std::max(m_autoFreeAt, time + m_unit);
    scheduleStart(time);
}

void Keyer::letGoStuckPaddles(KeyTime time) {
    for (const Lever lever : {Lever::Dit, Lever::Dah}) {
        Contact& contact = paddle(lever);
        if (!contact.closed || time - contact.closedAt < m_stuckLimit) continue;
        contact = {};
        m_stuck = logical(lever);  // the lever as the input names it
    }
}

void Keyer::letGoStuckHandContacts(KeyTime time) {
    // Every contact that keys by hand opens; the one held longest is named.
    std::optional<KeyTime> longest;
    auto letGo = [&](Contact& contact, Lever physical) {
        if (!contact.closed) return;
        if (!longest || contact.closedAt < *longest) {
            longest = contact.closedAt;
            m_stuck = physical;
        }
        contact = {};
    };
    letGo(m_straight, Lever::Straight);
    if (m_settings.mode == KeyerMode::Bug || m_settings.mode == KeyerMode::Straight)
        letGo(paddle(Lever::Dah), logical(Lever::Dah));
    if (m_settings.mode == KeyerMode::Straight) letGo(paddle(Lever::Dit), logical(Lever::Dit));
    handUp(time);
}

void Keyer::emitEdge(bool down, KeyTime time) { m_pending.push_back(KeyEdge{down, time}); }

}  // namespace cwt::keyer
