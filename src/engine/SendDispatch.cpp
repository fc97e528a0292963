#include "engine/SendDispatch.h"

#include "engine/MorseTable.h"
#include "engine/SendScanner.h"

namespace cwt {

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
    const size_t n = signText.size();
    for (size_t i = 0; i < n; ++i) {
        SignLetter letter;
        letter.code = std::string(CodeOfChar(static_cast<uint8_t>(signText[i])));
        if (i + 1 == n) {
            letter.code += '!';
        } else if (signText[i + 1] == '!') {
            letter.code += '!';
            if (i + 2 < n) letter.nextChar = static_cast<uint8_t>(signText[i + 2]);
            ++i;
        } else {
            letter.nextChar = static_cast<uint8_t>(signText[i + 1]);
        }
        plan.letters.push_back(std::move(letter));
    }
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
    CharPlan plan;
    int row = MorseIndex(ch);
    if (row < 0) {
        if (auto sign = SignOfControlCode(ch); !sign.empty()) {
            plan.action = CharPlan::Action::SendSign;
            plan.signText = std::string(sign);
            return plan;
        }
        if (ch == 20 || ch == 21) {
            plan.action = CharPlan::Action::PlayCode;
            plan.code = std::string(MorseCodes[ch == 20 ? kErrorRow : kKrRow]);
            return plan;  // no gap mark, no picture
        }
        if (ch == kYePlaceholder) row = kYeRow;
        else if (ch == kYaePlaceholder) row = kYaeRow;
        else return plan;  // nothing to send; the picture is cleared
    }
    plan.action = CharPlan::Action::PlayCode;
    plan.pictureRow = row == kWordSpaceRow ? -1 : row;
    plan.showsLetter = !characterGap && !syllableEnd;
    plan.code = std::string(MorseCodes[row]);
    if (characterGap) plan.code += '!';
    plan.syllableEnd = syllableEnd;
    return plan;
}

namespace {

void AppendSign(std::vector<PlannedBuffer>& out, std::string_view signText) {
    for (auto& letter : PlanSign(signText).letters)
        out.push_back({std::move(letter.code), false, letter.nextChar});
}

void AppendChar(std::vector<PlannedBuffer>& out, uint8_t ch, bool syllableEnd) {
    CharPlan plan = PlanChar(ch, true, syllableEnd);
    if (plan.action == CharPlan::Action::SendSign) AppendSign(out, plan.signText);
    else if (plan.action == CharPlan::Action::PlayCode)
        out.push_back({std::move(plan.code), plan.syllableEnd, 0});
}

}  // namespace

std::vector<PlannedBuffer> PlanWholeSend(std::string_view text, const SendOptions& options) {
    std::vector<PlannedBuffer> out;
    if (text.empty()) return out;
    if (options.startEndMarks) AppendSign(out, kStartMarkSign);
    SendScanner scanner(text, 1, options.sentenceEndMark);
    while (auto unit = scanner.next()) {
        if (unit->isSign()) {
            AppendSign(out, unit->token + "!");
            continue;
        }
        const std::string& bytes = unit->bytesToSend;
        for (size_t i = 0; i < bytes.size(); ++i)
            AppendChar(out, static_cast<uint8_t>(bytes[i]), unit->hangul && i + 1 == bytes.size());
    }
    if (options.startEndMarks && scanner.passedEnd()) AppendSign(out, kEndMarkSign);
    return out;
}

}  // namespace cwt
