#include "engine/SendScanner.h"

#include <algorithm>

#include "engine/Cp949Text.h"
#include "engine/HanGulCtrlUnit.h"
#include "engine/TextPrep.h"

namespace cwt {

namespace {
constexpr char16_t kYe = u'예';
constexpr char16_t kYae = u'얘';
}  // namespace

SendScanner::SendScanner(std::string_view text, int startPosition, bool sentenceEndMark)
    : m_text(text), m_pos(std::max(startPosition, 1)), m_sentenceEndMark(sentenceEndMark) {}

std::optional<SendUnit> SendScanner::next() {
    const int size = static_cast<int>(m_text.size());
    if (m_pos > size) return std::nullopt;
    if (at(m_pos) != '[') {
        SendUnit unit = characterAt(m_pos);
        m_pos = unit.nextPosition;
        return unit;
    }
    if (m_pos == size) {
        // A '[' as the last byte sends nothing; the text counts as sent to its end.
        m_pos = size + 1;
        return std::nullopt;
    }
    const BracketSign sign = ParseBracketSign(m_text.substr(static_cast<size_t>(m_pos)));
    ++m_pos;                               // the '[' itself
    if (sign.closingIndex == 1) ++m_pos;   // the text "[]"
    if (m_pos > size) return std::nullopt;
    if (sign.token.empty()) {
        // Taken as a character at once, without the bracket test: a '[' here is plain text.
        SendUnit unit = characterAt(m_pos);
        m_pos = unit.nextPosition;
        return unit;
    }
    SendUnit unit;
    unit.kind = SendUnit::Kind::Sign;
    unit.position = m_pos;
    unit.length = sign.closingIndex - 1;
    unit.nextPosition = m_pos + sign.closingIndex;
    unit.token = sign.token;
    unit.cell = "|[" + sign.token + "]";
    m_pos = unit.nextPosition;
    return unit;
}

SendUnit SendScanner::characterAt(int pos) const {
    const int size = static_cast<int>(m_text.size());
    const uint8_t first = at(pos);
    SendUnit unit;
    unit.position = pos;
    // A lead byte at the very end has lost its partner; it is taken alone.
    unit.length = cp949::IsLeadByte(first) && pos < size ? 2 : 1;
    unit.nextPosition = pos + unit.length;
    unit.character = std::string(m_text.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(unit.length)));
    unit.hangul = cp949::IsLeadByte(first);
    if (unit.hangul) {
        unit.cell = "|";
        const auto ch = unit.length == 2 ? cp949::DecodePair(first, at(pos + 1)) : std::nullopt;
        if (ch == kYe || ch == kYae) {
            unit.bytesToSend = std::string(1, static_cast<char>(ch == kYe ? kYePlaceholder : kYaePlaceholder));
            unit.cell += unit.character;
        } else if (auto letters = ch ? HangulToLetters(*ch) : std::nullopt) {
            unit.bytesToSend = *letters;
            unit.syllable = true;
            unit.cell += *letters;
        }
        return unit;
    }
    if (first == '\r') {
        unit.bytesToSend = std::string(1, static_cast<char>(m_sentenceEndMark ? kSentenceEndByte : '\r'));
        unit.display = SendUnit::Display::None;
        unit.cell.clear();
    } else if (first == '\n') {
        unit.bytesToSend = "\n";
        unit.display = SendUnit::Display::NewLine;
    } else {
        unit.bytesToSend = unit.character;
        unit.cell = "|" + unit.character;
    }
    return unit;
}

}  // namespace cwt
