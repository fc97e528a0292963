#include "engine/morse/SendScanner.h"

#include <algorithm>

#include "engine/morse/Cp949Text.h"
#include "engine/morse/HanGulCtrlUnit.h"
#include "engine/morse/TextPrep.h"

namespace cwt {

namespace {
constexpr char16_t kYe = u'예';
constexpr char16_t kYae = u'얘';
}  // namespace

SendScanner::SendScanner(std::string_view text, int startPosition, bool sentenceEndMark,
                         bool withCells)
    : m_text(text),
      m_pos(std::max(startPosition, 1)),
      m_sentenceEndMark(sentenceEndMark),
      m_withCells(withCells) {}

std::optional<SendUnit> SendScanner::next() {
    SendUnit unit;
    if (!next(unit)) return std::nullopt;
    return unit;
}

namespace {

void Reset(SendUnit& unit) {
    unit.kind = SendUnit::Kind::Character;
    unit.token.clear();
    unit.character.clear();
    unit.hangul = false;
    unit.syllable = false;
    unit.bytesToSend.clear();
    unit.display = SendUnit::Display::Cell;
    unit.cell.clear();
}

}  // namespace

bool SendScanner::next(SendUnit& unit) {
    const int size = static_cast<int>(m_text.size());
    if (m_pos > size) return false;
    Reset(unit);
    if (at(m_pos) != '[') {
        characterAt(m_pos, unit);
        m_pos = unit.nextPosition;
        return true;
    }
    if (m_pos == size) {
        // A '[' as the last byte sends nothing; the text counts as sent to its end.
        m_pos = size + 1;
        return false;
    }
    const BracketSign sign = ParseBracketSign(m_text.substr(static_cast<size_t>(m_pos)));
    ++m_pos;                              // the '[' itself
    if (sign.closingIndex == 1) ++m_pos;  // the text "[]"
    if (m_pos > size) return false;
    if (sign.token.empty()) {
        // Taken as a character at once, without the bracket test: a '[' here is plain text.
        characterAt(m_pos, unit);
        m_pos = unit.nextPosition;
        return true;
    }
    unit.kind = SendUnit::Kind::Sign;
    unit.position = m_pos;
    unit.length = sign.closingIndex - 1;
    unit.nextPosition = m_pos + sign.closingIndex;
    unit.token = sign.token;
    if (m_withCells) unit.cell.append("|[").append(sign.token).append("]");
    m_pos = unit.nextPosition;
    return true;
}

void SendScanner::characterAt(int pos, SendUnit& unit) const {
    const int size = static_cast<int>(m_text.size());
    const uint8_t first = at(pos);
    unit.position = pos;
    // A lead byte at the very end has lost its partner; it is taken alone.
    unit.length = cp949::IsLeadByte(first) && pos < size ? 2 : 1;
    unit.nextPosition = pos + unit.length;
    unit.character.assign(m_text.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(unit.length)));
    unit.hangul = cp949::IsLeadByte(first);
    if (unit.hangul) {
        const auto ch = unit.length == 2 ? cp949::DecodePair(first, at(pos + 1)) : std::nullopt;
        if (ch == kYe || ch == kYae) {
            unit.bytesToSend.assign(1, static_cast<char>(ch == kYe ? kYePlaceholder : kYaePlaceholder));
            if (m_withCells) unit.cell.append("|").append(unit.character);
        } else if (auto letters = ch ? HangulToLetters(*ch) : std::nullopt) {
            unit.bytesToSend = std::move(*letters);
            unit.syllable = true;
            if (m_withCells) unit.cell.append("|").append(unit.bytesToSend);
        } else if (m_withCells) {
            unit.cell = "|";
        }
        return;
    }
    if (first == '\r') {
        unit.bytesToSend.assign(1, static_cast<char>(m_sentenceEndMark ? kSentenceEndByte : '\r'));
        unit.display = SendUnit::Display::None;
    } else if (first == '\n') {
        unit.bytesToSend = "\n";
        unit.display = SendUnit::Display::NewLine;
    } else {
        unit.bytesToSend = unit.character;
        if (m_withCells) unit.cell.append("|").append(unit.character);
    }
}

}  // namespace cwt
