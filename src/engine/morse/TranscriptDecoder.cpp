#include "engine/morse/TranscriptDecoder.h"

#include <algorithm>
#include <string>

#include "engine/morse/MorseTable.h"

namespace cwt {

std::optional<char> TranscriptDecoder::decode(const uint8_t* samples, size_t count) {
    if (count == 0) return std::nullopt;
    int64_t mark = 0;
    int64_t gap = 0;
    bool afterGap = false;
    int64_t longest = 0;
    int64_t marks[kMaxMarks];
    int markCount = 0;
    auto closeMark = [&] {
        if (mark <= 0) return;
        if (markCount < kMaxMarks) marks[markCount++] = mark;
        longest = std::max(longest, mark);
        mark = 0;
    };
    for (size_t i = 0; i < count; ++i) {
        if (samples[i] == 128) {
            if (mark == 0 && !afterGap) ++gap;
            else closeMark();
        } else {
            if (gap > 0) afterGap = true;
            ++mark;
        }
    }
    closeMark();
    if (gap > 0 && longest > 0 && gap < longest) m_gapUnit = static_cast<int32_t>(gap);
    if (markCount > 0) {
        // Computed in 64 bits: with the start value the sum would not fit 32.
        const int64_t threshold = int64_t{m_gapUnit} + m_gapUnit / 10;
        std::string code;
        for (int k = 0; k < markCount; ++k) code += marks[k] > threshold ? 'L' : 'S';
        const uint8_t ch = CharOfCode(code);
        if (ch == 0) return std::nullopt;
        return static_cast<char>(ch);
    }
    if (gap > 0) return ' ';
    return std::nullopt;
}

}  // namespace cwt
