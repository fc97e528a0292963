#pragma once
// Decodes a played buffer of 8-bit samples (silence = 128) back into the character it
// carries, for the transcript window. The gap between the first two marks of a buffer is
// remembered as the unit that tells long marks from short ones.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace cwt {

class TranscriptDecoder {
public:
    // The decoded character, ' ' for an all-silent buffer (the word space), or nothing when
    // the marks match no row of the table.
    std::optional<char> decode(const uint8_t* samples, size_t count);

    int32_t GapUnit() const { return m_gapUnit; }

private:
    static constexpr int kMaxMarks = 20;
    int32_t m_gapUnit = 2147483647;  // no gap measured yet: every mark reads as short
};

}  // namespace cwt
