#include "engine/morse/SendDispatch.h"

#include "engine/morse/MorseTable.h"
#include "engine/morse/SendScanner.h"

namespace cwt {

namespace {

// The letters of a sign text as (code, next letter) pairs, without allocating.
template <typename Visit>
void ForEachSignLetter(std::string_view signText, Visit visit) {
    const size_t n = signText.size();
    for (size_t i = 0; i < n; ++i) {
        const int row = MorseIndex(static_cast<uint8_t>(signText[i]));
        const int codeRow = row < 0 ? kWordSpaceRow : row;  // no row: one silent element
        if (i + 1 == n) {
            visit(RowCode(codeRow, true), uint8_t{0});
        } else if (signText[i + 1] == '!') {
            visit(RowCode(codeRow, true), i + 2 < n ? static_cast<uint8_t>(signText[i + 2]) : uint8_t{0});
            ++i;
        } else {
            visit(RowCode(codeRow, false), static_cast<uint8_t>(signText[i + 1]));
        }
    }
}

// SendChar's dispatch, as a row of the table or a sign text.
struct Dispatch {
    CharPlan::Action action = CharPlan::Action::Nothing;
    int row = -1;                // PlayCode: the table row
    bool gapMark = false;        // PlayCode: '!' appended
    std::string_view signText;   // SendSign
};

Dispatch DispatchByte(uint8_t ch, bool characterGap) {
    int row = MorseIndex(ch);
    if (row < 0) {
        if (auto sign = SignOfControlCode(ch); !sign.empty())
            return {CharPlan::Action::SendSign, -1, false, sign};
        if (ch == 20 || ch == 21)  // ER and KR: no gap mark
            return {CharPlan::Action::PlayCode, ch == 20 ? kErrorRow : kKrRow, false, {}};
        if (ch == kYePlaceholder) row = kYeRow;
        else if (ch == kYaePlaceholder) row = kYaeRow;
        else return {};  // nothing to send
    }
    return {CharPlan::Action::PlayCode, row, characterGap, {}};
}

}  // namespace

SignPlan PlanSign(std::string_view signText) {
    SignPlan plan;
    for (char c : signText)
        if (c != '!') plan.displayLetters += c;
    if (signText.empty()) return plan;
    if (signText != "!") {
        plan.firstLetter = static_cast<uint8_t>(signText[0]);
        const int row = MorseIndex(plan.firstLetter);
        if (row >= 0 && row != kWordSpaceRow) plan.pictureRow = row;
    }
    ForEachSignLetter(signText, [&](std::string_view code, uint8_t next) {
        plan.letters.push_back({code, next});
    });
    return plan;
}

std::string_view SignOfControlCode(uint8_t ch) {
    switch (ch) {
        case 0: return kStartMarkSign;
        case 1: return "AR";
        case 2: return "AS";
        case 3: return "BK";
        case 4: return "BT";
        case 5: return "HH";
        case 6: return "K!A";
        case 7: return "KR";
        case 8: return "VA";
        case 9: return "VE";
        case 22: return "II";
        default: return {};
    }
}

CharPlan PlanChar(uint8_t ch, bool characterGap, bool syllableEnd) {
    const Dispatch d = DispatchByte(ch, characterGap);
    CharPlan plan;
    plan.action = d.action;
    if (d.action == CharPlan::Action::SendSign) {
        plan.signText = std::string(d.signText);
    } else if (d.action == CharPlan::Action::PlayCode) {
        plan.code = std::string(RowCode(d.row, d.gapMark));
        // Rows of characters (the word space too, shown as a blank); not ER and KR.
        if (d.row < kErrorRow || d.row == kWordSpaceRow) {
            plan.pictureRow = d.row == kWordSpaceRow ? -1 : d.row;
            plan.showsLetter = !characterGap && !syllableEnd;
            plan.syllableEnd = syllableEnd;
        }
    }
    return plan;
}

namespace {

void AppendSign(std::vector<PlannedBuffer>& out, std::string_view signText) {
    ForEachSignLetter(signText, [&](std::string_view code, uint8_t next) {
        out.push_back({code, false, next});
    });
}

void AppendChar(std::vector<PlannedBuffer>& out, uint8_t ch, bool syllableEnd) {
    const Dispatch d = DispatchByte(ch, true);
    if (d.action == CharPlan::Action::SendSign) AppendSign(out, d.signText);
    else if (d.action == CharPlan::Action::PlayCode)
        out.push_back({RowCode(d.row, d.gapMark), syllableEnd && d.row < kErrorRow, 0});
}

}  // namespace

WholeSendPlanner::WholeSendPlanner(std::string_view text, const SendOptions& options)
    : m_scanner(text, 1, options.sentenceEndMark, false),
      m_options(options),
      m_done(text.empty()) {}

bool WholeSendPlanner::next(std::vector<PlannedBuffer>& out) {
    if (m_done) return false;
    const size_t before = out.size();
    if (!m_started) {
        m_started = true;
        if (m_options.startEndMarks) AppendSign(out, kStartMarkSign);
    }
    if (!m_scanner.next(m_unit)) {
        m_done = true;
        if (m_options.startEndMarks && m_scanner.passedEnd()) AppendSign(out, kEndMarkSign);
        return out.size() > before;
    }
    if (m_unit.isSign()) {
        m_unit.token += '!';
        AppendSign(out, m_unit.token);
        return true;
    }
    const std::string& bytes = m_unit.bytesToSend;
    for (size_t i = 0; i < bytes.size(); ++i)
        AppendChar(out, static_cast<uint8_t>(bytes[i]), m_unit.hangul && i + 1 == bytes.size());
    return true;
}

std::vector<PlannedBuffer> PlanWholeSend(std::string_view text, const SendOptions& options) {
    std::vector<PlannedBuffer> out;
    out.reserve(text.size() + text.size() / 4);  // about one buffer a byte, more for signs
    WholeSendPlanner planner(text, options);
    while (planner.next(out)) {
    }
    return out;
}

}  // namespace cwt
