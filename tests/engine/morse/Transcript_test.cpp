// The transcript: decoding played buffers back into characters.
#include <gtest/gtest.h>

#include <vector>

#include "engine/morse/SendDispatch.h"
#include "engine/morse/Timing.h"
#include "engine/morse/TranscriptDecoder.h"

using namespace cwt;

namespace {

// A played buffer as the wave layout builds it: tone bytes away from 128, silence 128.
std::vector<uint8_t> Render(std::string_view code, bool syllableEnd, int unit) {
    std::vector<uint8_t> out;
    const CodeLayout layout = LayoutOf(code, syllableEnd);
    for (int i = 0; i < layout.elementCount; ++i) {
        const char c = code[static_cast<size_t>(i)];
        const int len = (c == 'L' ? 3 : 1) * unit;
        out.insert(out.end(), static_cast<size_t>(len), c == 'S' || c == 'L' ? uint8_t{148} : uint8_t{128});
        out.insert(out.end(), static_cast<size_t>(unit), uint8_t{128});
    }
    if (layout.endOfWord) out.insert(out.end(), static_cast<size_t>((syllableEnd ? 12 : 6) * unit), uint8_t{128});
    return out;
}

}  // namespace

TEST(Transcript, DecodesLettersOnceAGapHasBeenMeasured) {
    TranscriptDecoder d;
    auto a = Render("SL!", false, 750);
    EXPECT_EQ(d.decode(a.data(), a.size()), 'A');
    EXPECT_EQ(d.GapUnit(), 749);
    for (char ch : std::string("QUICK0,?")) {
        const uint8_t byte = static_cast<uint8_t>(ch);
        auto buf = Render(PlanChar(byte, true, false).code, false, 750);
        EXPECT_EQ(d.decode(buf.data(), buf.size()), ch);
    }
}

TEST(Transcript, BeforeAnyGapEveryMarkIsShortWithoutOverflow) {
    TranscriptDecoder d;
    ASSERT_EQ(d.GapUnit(), 2147483647);
    auto t = Render("L!", false, 750);  // one mark: no gap between marks is measured
    EXPECT_EQ(d.decode(t.data(), t.size()), 'E');
    EXPECT_EQ(d.GapUnit(), 2147483647);
}

TEST(Transcript, SilenceIsAWordSpaceAndUnknownCodesAppendNothing) {
    TranscriptDecoder d;
    std::vector<uint8_t> silence(6000, 128);
    EXPECT_EQ(d.decode(silence.data(), silence.size()), ' ');
    auto er = Render("SSSSSSSS", false, 100);
    EXPECT_EQ(d.decode(er.data(), er.size()), std::nullopt);
    EXPECT_EQ(d.decode(nullptr, 0), std::nullopt);
}

TEST(Transcript, MoreThanTwentyMarksAreCutNotOverrun) {
    TranscriptDecoder d;
    std::vector<uint8_t> buf;
    for (int i = 0; i < 40; ++i) {
        buf.insert(buf.end(), 10, uint8_t{148});
        buf.insert(buf.end(), 10, uint8_t{128});
    }
    EXPECT_EQ(d.decode(buf.data(), buf.size()), std::nullopt);
}
