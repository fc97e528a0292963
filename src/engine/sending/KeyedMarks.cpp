#include "engine/sending/KeyedMarks.h"

namespace cwt {

void KeyedMarks::add(const keyer::KeyEdge& edge, bool cut) {
    if (edge.down) {
        if (!m_openDown) m_openDown = edge.time;
        return;
    }
    if (m_openDown) {
        // A straight key's tone ends when its up edge comes, cut or not.
        if (edge.time > *m_openDown) m_marks.push_back({*m_openDown, edge.time, cut});
        m_openDown.reset();
    } else if (cut && !m_marks.empty() && m_marks.back().up > edge.time) {
        // The tone handed out whole is cut short; one cut before it began never sounded.
        if (edge.time > m_marks.back().down) {
            m_marks.back().up = edge.time;
            m_marks.back().cut = true;
        } else {
            m_marks.pop_back();
        }
    }
    // Any other up edge comes with the key up and changes nothing.
}

std::vector<KeyedMark> KeyedMarks::takeEnded(keyer::KeyTime now) {
    std::vector<KeyedMark> ended;
    while (!m_marks.empty() && m_marks.front().up <= now) {
        ended.push_back(m_marks.front());
        m_takenUp = m_marks.front().up;
        m_marks.pop_front();
    }
    return ended;
}

bool KeyedMarks::downAt(keyer::KeyTime now) const {
    if (m_openDown && *m_openDown <= now) return true;
    return !m_marks.empty() && m_marks.back().down <= now && now < m_marks.back().up;
}

std::optional<keyer::KeyTime> KeyedMarks::lastUp() const {
    return m_marks.empty() ? m_takenUp : std::optional(m_marks.back().up);
}

void KeyedMarks::clear() {
    m_marks.clear();
    m_openDown.reset();
    m_takenUp.reset();
}

}  // namespace cwt
