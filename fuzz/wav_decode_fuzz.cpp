// Arbitrary bytes opened as a WAV file and every sample they hold given to the decoder of
// received CW: whatever libsndfile accepts, in whatever format, rate or channel count, the
// reader and the decoder must neither crash nor give a character without text or with times
// out of order; a late word space may only name a character given before.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzCheck.h"
#include "WavInput.h"
#include "engine/decode/BandDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto input = cwt::tools::WavInput::openBytes({data, size}, &error);
    if (!input) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(input->rateHz() >= cwt::tools::WavInput::kMinRateHz);
    FUZZ_CHECK(input->rateHz() <= cwt::tools::WavInput::kMaxRateHz);
    cwt::decode::BandDecoder decoder(input->rateHz());
    std::vector<float> block;
    // A header may announce hours of sound: a fuzz run reads no more than a minute of it.
    const auto limit = static_cast<int64_t>(input->rateHz()) * 60;
    double lastStartMs = -1;
    const auto check = [&] {
        for (const auto& c : decoder.takeCharacters()) {
            // A late word space is no character: it names one given before, by its start.
            if (c.wordSpaceCorrection) {
                FUZZ_CHECK(c.text.empty() && c.wordSpaceBefore && c.startMs <= lastStartMs);
                continue;
            }
            FUZZ_CHECK(!c.text.empty());
            FUZZ_CHECK(c.startMs >= lastStartMs && c.endMs >= c.startMs);
            FUZZ_CHECK(c.confidence >= 0 && c.confidence <= 1);
            lastStartMs = c.startMs;
        }
    };
    for (input->read(block, 4096); !block.empty() && input->framesRead() <= limit;
         input->read(block, 4096)) {
        for (float x : block) FUZZ_CHECK(std::isfinite(x));
        decoder.push(block);
        check();
    }
    decoder.finish();
    check();
    FUZZ_CHECK(std::isfinite(decoder.timeMs()));
    return 0;
}
