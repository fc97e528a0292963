// Arbitrary bytes as text to send: tidying, the scan with display cells, the dispatch of
// every byte and sign, the code layouts, and the whole-send plan must agree and never read
// outside the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/morse/SendDispatch.h"
#include "engine/morse/SendScanner.h"
#include "engine/morse/TextPrep.h"
#include "engine/morse/Timing.h"
#include "FuzzCheck.h"

namespace {

void CheckCode(std::string_view code, bool syllableEnd) {
    const cwt::CodeLayout layout = cwt::LayoutOf(code, syllableEnd);
    FUZZ_CHECK(layout.totalUnits > 0);
    FUZZ_CHECK(layout.totalUnits <= cwt::kLongestLayoutUnits);
}

size_t CountSign(std::string_view sign) {
    const cwt::SignPlan plan = cwt::PlanSign(sign);
    for (const auto& letter : plan.letters) CheckCode(letter.code, false);
    FUZZ_CHECK(plan.letters.empty() || plan.letters.back().nextChar == 0);
    return plan.letters.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool marks = data[0] & 1;
    const bool sentenceEnd = data[0] & 2;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    for (auto how : {cwt::Tidying::None, cwt::Tidying::CollapseSpaces, cwt::Tidying::Trim}) {
        const std::string tidy = cwt::Tidy(text, how);
        FUZZ_CHECK(tidy.size() <= text.size());
        FUZZ_CHECK(cwt::Tidy(tidy, how) == tidy);  // tidying twice changes nothing more
    }
    // The window's unit-by-unit send and the renderer's plan must play the same buffers.
    size_t buffers = marks ? CountSign(cwt::kStartMarkSign) : 0;
    cwt::SendScanner scanner(text, 1, sentenceEnd);
    int lastEnd = 1;
    while (auto unit = scanner.next()) {
        FUZZ_CHECK(unit->position >= lastEnd);
        FUZZ_CHECK(unit->position + unit->length <= static_cast<int>(text.size()) + 1);
        FUZZ_CHECK(unit->nextPosition > unit->position);
        lastEnd = unit->nextPosition;
        if (unit->isSign()) {
            FUZZ_CHECK(!unit->token.empty() && unit->token.size() <= 5);
            buffers += CountSign(unit->token + "!");
            continue;
        }
        const std::string& bytes = unit->bytesToSend;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const bool syllableEnd = unit->hangul && i + 1 == bytes.size();
            const cwt::CharPlan plan = cwt::PlanChar(static_cast<uint8_t>(bytes[i]), true, syllableEnd);
            if (plan.action == cwt::CharPlan::Action::PlayCode) {
                CheckCode(plan.code, plan.syllableEnd);
                ++buffers;
            } else if (plan.action == cwt::CharPlan::Action::SendSign) {
                buffers += CountSign(plan.signText);
            }
        }
    }
    if (marks && scanner.passedEnd()) buffers += CountSign(cwt::kEndMarkSign);
    if (text.empty()) buffers = 0;  // an empty text sends nothing, not even the marks
    FUZZ_CHECK(cwt::PlanWholeSend(text, {marks, sentenceEnd}).size() == buffers);
    return 0;
}
