#include "engine/decode/Decoded.h"

#include <algorithm>

namespace cwt::decode {

void AppendDecoded(std::vector<DecodedChar>& text, std::vector<DecodedChar> given) {
    for (DecodedChar& c : given) {
        if (!c.wordSpaceCorrection) {
            text.push_back(std::move(c));
            continue;
        }
        // Corrections name early characters, but the text may be long: look from its end.
        const auto named = std::find_if(text.rbegin(), text.rend(), [&](const DecodedChar& t) {
            return t.startMs == c.startMs;
        });
        if (named != text.rend()) named->wordSpaceBefore = true;
    }
}

}  // namespace cwt::decode
