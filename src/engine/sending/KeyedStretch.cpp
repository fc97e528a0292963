#include "engine/sending/KeyedStretch.h"

#include <algorithm>

#include "engine/morse/Cp949Text.h"

namespace cwt {

KeyedStretch::KeyedStretch(const decode::DecoderSettings& settings) : m_decoder(settings) {}

void KeyedStretch::add(const keyer::KeyEdge& edge, bool cut) { m_marks.add(edge, cut); }

double KeyedStretch::msOf(keyer::KeyTime time) const {
    return std::chrono::duration<double, std::milli>(time - m_origin.value_or(time)).count();
}

void KeyedStretch::read(const std::vector<KeyedMark>& marks) {
    for (const KeyedMark& mark : marks) {
        // A tone cut by Stop or a lost input is a part of an element: it is not read.
        if (mark.cut) continue;
        if (!m_origin) m_origin = mark.down;
        if (m_lastUp && mark.down > *m_lastUp)
            m_decoder.push({false, msOf(*m_lastUp), msOf(mark.down) - msOf(*m_lastUp), 0});
        m_decoder.push({true, msOf(mark.down), msOf(mark.up) - msOf(mark.down), 1});
        m_lastUp = mark.up;
    }
}

bool KeyedStretch::advance(keyer::KeyTime now) {
    const std::u16string open = preedit();
    read(m_marks.takeEnded(now));
    if (m_lastUp && !m_marks.downAt(now) && now > *m_lastUp) m_decoder.idle(msOf(now));
    const bool committed = takeCharacters();
    return committed || preedit() != open;
}

void KeyedStretch::finish(keyer::KeyTime now) {
    read(m_marks.takeEnded(now));
    m_decoder.finish();
    takeCharacters();
}

bool KeyedStretch::takeCharacters() {
    bool changed = false;
    for (decode::ClassifiedStretch& stretch : m_decoder.takeStretches())
        m_stretches.push_back(stretch);
    for (const decode::DecodedChar& character : m_decoder.takeCharacters()) {
        if (character.wordSpaceCorrection) {
            changed = putWordSpaceBefore(character.startMs) || changed;
            continue;
        }
        if (character.wordSpaceBefore && !m_committed.empty()) m_committed += u' ';
        m_placed.push_back({character.startMs, m_committed.size()});
        m_committed += cp949::Utf8ToUtf16(character.text);
        changed = true;
    }
    return changed;
}

bool KeyedStretch::putWordSpaceBefore(double startMs) {
    const auto at = std::find_if(m_placed.begin(), m_placed.end(),
                                 [&](const Placed& p) { return p.startMs == startMs; });
    if (at == m_placed.end() || at->offset == 0 || m_committed[at->offset - 1] == u' ')
        return false;
    m_committed.insert(at->offset, 1, u' ');
    for (auto later = at; later != m_placed.end(); ++later) ++later->offset;
    return true;
}

std::u16string KeyedStretch::preedit() const {
    const std::optional<decode::DecodedChar> open = m_decoder.preedit();
    if (!open) return {};
    std::u16string text = cp949::Utf8ToUtf16(open->text);
    if (open->wordSpaceBefore && !m_committed.empty()) text.insert(text.begin(), u' ');
    return text;
}

std::optional<keyer::KeyTime> KeyedStretch::silenceAt(keyer::KeyTime now) const {
    const std::optional<keyer::KeyTime> lastUp = m_marks.lastUp();
    if (!lastUp || m_marks.downAt(now) || now < *lastUp) return std::nullopt;
    return now - *lastUp;
}

}  // namespace cwt
