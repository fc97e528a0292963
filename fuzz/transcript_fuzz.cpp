// Arbitrary played buffers through the transcript decoder, one decoder for the whole run as
// in the program, so the measured gap unit carries from buffer to buffer.
#include <cstddef>
#include <cstdint>

#include "engine/morse/MorseTable.h"
#include "engine/morse/TranscriptDecoder.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static cwt::TranscriptDecoder decoder;
    const auto ch = decoder.decode(data, size);
    FUZZ_CHECK(decoder.GapUnit() > 0);
    if (ch && *ch != ' ') FUZZ_CHECK(cwt::MorseIndex(static_cast<uint8_t>(*ch)) >= 0);
    return 0;
}
