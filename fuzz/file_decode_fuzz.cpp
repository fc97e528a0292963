// Arbitrary file bytes opened into the editor: decoding (UTF-8 or code page 949), encoding
// back for sending, and the byte ↔ editor position mapping used for the highlight.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "engine/Cp949Text.h"
#include "engine/SendScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = cwt::cp949::DecodeFileBytes(bytes);
    FUZZ_CHECK(text.size() <= size);
    if (cwt::cp949::IsValidUtf8(bytes))
        FUZZ_CHECK(cwt::cp949::Utf16ToUtf8(cwt::cp949::Utf8ToUtf16(bytes)) == bytes);
    const cwt::Cp949Text encoded = cwt::Cp949Text::FromEditor(text);
    FUZZ_CHECK(encoded.charCount() == static_cast<int>(text.size()));
    // Every unit the scan finds maps onto a non-empty, in-order range of editor characters.
    cwt::SendScanner scanner(encoded.bytes(), 1, true);
    int lastFirst = 0;
    while (auto unit = scanner.next()) {
        const auto [first, last] = encoded.charRangeOfBytes(unit->position - 1, unit->length);
        FUZZ_CHECK(first >= lastFirst);
        FUZZ_CHECK(last > first);
        FUZZ_CHECK(last <= encoded.charCount());
        lastFirst = first;
    }
    if (auto strict = cwt::cp949::EncodeStrict(text)) {
        FUZZ_CHECK(encoded.unencodableCount() == 0);
        FUZZ_CHECK(cwt::cp949::Decode(*strict) == text);
    }
    return 0;
}
