#pragma once
// Keys a text with the synthetic fist and reads it back as the window would: stretches as they
// end, the key watched every `tickMs` (10 ms) while it is up, and a pause at the end.

#include <string>
#include <string_view>
#include <vector>

#include "bench/gen/Feed.h"
#include "bench/gen/FistGenerator.h"
#include "bench/gen/Symbols.h"
#include "engine/decode/KeyedDecoder.h"

namespace cwt::test {

inline testgen::KeyingOptions Ideal(double wpm,
                                    testgen::Spacing spacing = testgen::Spacing::Standard()) {
    testgen::KeyingOptions options;
    options.style = testgen::KeyingStyle::Ideal;
    options.wpm = wpm;
    options.spacing = spacing;
    return options;
}

struct Read {
    std::vector<decode::DecodedChar> characters;
    std::string text;  // as DecodedText gives it
};

inline Read KeyAndRead(std::string_view text, const testgen::KeyingOptions& keying,
                       const decode::DecoderSettings& settings = {}, double tickMs = 10) {
    decode::KeyedDecoder decoder(settings);
    testgen::Feed(decoder, testgen::KeyText(text, keying), tickMs, 5000);
    Read read;
    read.characters = decoder.takeCharacters();
    read.text = testgen::DecodedText(read.characters);
    return read;
}

inline std::string ReadKorean(std::string_view text, const testgen::KeyingOptions& keying,
                              double tickMs = 10) {
    return KeyAndRead(text, keying, {true, 80, false}, tickMs).text;
}

}  // namespace cwt::test
