#include "engine/keying/RigText.h"

#include <algorithm>
#include <cmath>

#include "engine/morse/MorseTable.h"

namespace cwt {

namespace {

bool IsToneElement(char c) { return c == 'S' || c == 'L'; }

// The elements of a code string: a final '!' on a longer string is the gap mark.
std::string_view ElementsOf(std::string_view code) {
    if (code.size() > 1 && code.back() == '!') code.remove_suffix(1);
    return code;
}

// One letter's elements: its character, or the code as unsendable.
void AppendLetter(std::string_view elements, RigTextBuilder::Piece& piece) {
    if (const uint8_t ch = CharOfCode(elements)) {
        piece.text += static_cast<char>(ch);
        return;
    }
    piece.unsendable.emplace_back(elements);
}

// A code string that stands alone: its silent elements separate letters (예 is S and U three
// units apart, as a rig's letter gap is); a code of silence only is a word space.
void AppendLone(std::string_view elements, RigTextBuilder::Piece& piece) {
    if (std::none_of(elements.begin(), elements.end(), IsToneElement)) {
        piece.text += ' ';
        return;
    }
    size_t start = 0;
    while (start < elements.size()) {
        if (!IsToneElement(elements[start])) {
            ++start;
            continue;
        }
        size_t end = start;
        while (end < elements.size() && IsToneElement(elements[end])) ++end;
        AppendLetter(elements.substr(start, end - start), piece);
        start = end;
    }
}

}  // namespace

RigTextBuilder::Piece RigTextBuilder::add(std::string_view code, bool syllableEnd,
                                          bool runsIntoNext) {
    Piece piece;
    m_run.emplace_back(ElementsOf(code));
    if (runsIntoNext) return piece;
    if (m_run.size() == 1) {
        AppendLone(m_run.front(), piece);
    } else {
        std::string joined;
        for (const std::string& letter : m_run) joined += letter;
        if (const uint8_t ch = CharOfCode(joined))
            piece.text += static_cast<char>(ch);
        else
            for (const std::string& letter : m_run) AppendLone(letter, piece);
    }
    m_run.clear();
    if (syllableEnd) piece.text += ' ';
    return piece;
}

int KeyerWpm(double unitMs) {
    if (!(unitMs > 0)) return 1;
    return std::max(1, static_cast<int>(std::lround(1200.0 / unitMs)));
}

}  // namespace cwt
