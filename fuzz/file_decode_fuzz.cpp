// Arbitrary file bytes opened into the editor: decoding (UTF-8, code page 949, or UTF-16 after
// its byte-order mark), encoding back for sending, and the byte ↔ editor position mapping
// used for the highlight.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/morse/Cp949Text.h"
#include "engine/morse/SendScanner.h"
#include "FuzzCheck.h"

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
    FUZZ_CHECK(cwt::cp949::EditorByteCount(text) == encoded.byteCount());
    // Read as the editor's lines: every line ends with LF, none holds a CR, and a file that is
    // UTF-8 as a whole reads as before, only its line ends changed.
    const cwt::cp949::FileText lines = cwt::cp949::DecodeFileLines(bytes);
    FUZZ_CHECK(lines.text.empty() == (bytes.empty() || bytes == "\xEF\xBB\xBF" ||
                                      bytes == "\xFF\xFE" || bytes == "\xFE\xFF"));
    FUZZ_CHECK(lines.text.empty() || lines.text.back() == u'\n');
    FUZZ_CHECK(lines.text.find(u'\r') == std::u16string::npos);
    FUZZ_CHECK(lines.text.size() <= size + 1);
    if (cwt::cp949::IsValidUtf8(bytes)) {
        std::u16string expected = text;
        std::u16string normalised;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (expected[i] == u'\r' && i + 1 < expected.size() && expected[i + 1] == u'\n')
                continue;
            normalised += expected[i] == u'\r' ? u'\n' : expected[i];
        }
        if (!normalised.empty() && normalised.back() != u'\n') normalised += u'\n';
        FUZZ_CHECK(lines.text == normalised);
        FUZZ_CHECK(lines.undecodable == 0);
    }
    if (auto strict = cwt::cp949::EncodeStrict(text)) {
        FUZZ_CHECK(encoded.unencodableCount() == 0);
        FUZZ_CHECK(cwt::cp949::Decode(*strict) == text);
    }
    return 0;
}
