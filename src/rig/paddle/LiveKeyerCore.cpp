#include "rig/paddle/LiveKeyerCore.h"

#include <utility>

namespace cwt {

LiveKeyerCore::LiveKeyerCore(const keyer::KeyerSettings& settings, EdgeSink sidetone)
    : m_keyer(settings), m_sidetone(std::move(sidetone)) {
    // Room for every edge one run can hand out, so that the driver's thread never allocates.
    m_edges.reserve(256);
}

bool LiveKeyerCore::push(const Input& input) {
    if (m_inputs.push(input)) return true;
    m_lostInputs.fetch_add(1, std::memory_order_relaxed);
    return false;
}

bool LiveKeyerCore::lever(const keyer::LeverEvent& event) {
    Input input;
    input.kind = Input::Kind::Lever;
    input.event = event;
    input.time = event.time;
    return push(input);
}

bool LiveKeyerCore::setSettings(const keyer::KeyerSettings& settings, keyer::KeyTime at) {
    Input input;
    input.kind = Input::Kind::Settings;
    input.settings = settings;
    input.time = at;
    return push(input);
}

bool LiveKeyerCore::reset(keyer::KeyTime at) {
    Input input;
    input.kind = Input::Kind::Reset;
    input.time = at;
    return push(input);
}

bool LiveKeyerCore::setKeyLine(std::shared_ptr<LiveKeyPath> keyLine) {
    Input input;
    input.kind = Input::Kind::KeyLine;
    input.keyLine = std::move(keyLine);
    return push(input);
}

std::optional<keyer::KeyTime> LiveKeyerCore::run(keyer::KeyTime now) {
    // Everything that came in goes to the keyer before it runs on, so that both levers of a
    // squeeze that came in one wake of the serial lines count as simultaneous.
    Input input;
    while (m_inputs.pop(input)) take(input);
    handOnDecided(now);
    const std::optional<keyer::Lever> stuckLever = m_keyer.stuckLever();
    const int stuck = stuckLever ? static_cast<int>(*stuckLever) : -1;
    if (m_stuck.exchange(stuck, std::memory_order_relaxed) != stuck) ++m_news;
    return m_keyer.nextWake();
}

void LiveKeyerCore::take(const Input& input) {
    switch (input.kind) {
        case Input::Kind::Lever:
            m_keyer.lever(input.event);
            break;
        case Input::Kind::Settings:
            m_keyer.setSettings(input.settings, input.time);
            break;
        case Input::Kind::Reset:
            // What the operator keyed before the reset is keyed; then the tone is cut. With
            // no tone sounding the key line keys out what it has: those elements have ended.
            handOnDecided(input.time);
            if (const std::optional<keyer::KeyEdge> up = m_keyer.reset(input.time)) {
                handOn(*up, true);
                if (m_keyLine) m_keyLine->cut();
            }
            break;
        case Input::Kind::KeyLine:
            m_keyLine = input.keyLine;
            break;
    }
}

void LiveKeyerCore::handOnDecided(keyer::KeyTime until) {
    m_edges.clear();
    m_keyer.advance(until, m_edges);
    for (const keyer::KeyEdge& edge : m_edges) handOn(edge, false);
    // An element's down and up edge go together, so the key line can tell one that ended
    // before it was handed over.
    if (m_keyLine && !m_edges.empty()) m_keyLine->key(m_edges);
}

void LiveKeyerCore::handOn(const keyer::KeyEdge& edge, bool cut) {
    ++m_news;
    if (m_sidetone) m_sidetone(edge);
    if (!m_outputs.push(LiveEdge{edge, cut})) m_lostEdges.fetch_add(1, std::memory_order_relaxed);
}

bool LiveKeyerCore::takeEdge(LiveEdge& edge) { return m_outputs.pop(edge); }

std::optional<keyer::Lever> LiveKeyerCore::stuckLever() const {
    const int stuck = m_stuck.load(std::memory_order_relaxed);
    if (stuck < 0) return std::nullopt;
    return static_cast<keyer::Lever>(stuck);
}

}  // namespace cwt
