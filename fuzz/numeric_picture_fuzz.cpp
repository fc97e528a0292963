// Arbitrary pictures and numbers through the numeric picture formatter and the edit's
// number reading: no crash, no runaway output, and a picture without digits placeholders
// never invents digits.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "FuzzCheck.h"
#include "components/NumericPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(double)) return 0;
    double value;
    std::memcpy(&value, data, sizeof value);
    const std::string_view rest(reinterpret_cast<const char*>(data + sizeof value), size - sizeof value);
    const size_t cut = rest.find('\0');
    const std::string_view picture = rest.substr(0, cut);
    const std::string_view text = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    const std::string formatted = cwt::FormatNumericPicture(value, picture);
    // The largest double has 309 digits, 103 with grouping: the output stays bounded.
    FUZZ_CHECK(formatted.size() <= 4 * picture.size() + 500);
    const double read = cwt::ReadEditNumber(text);
    (void)cwt::FormatNumericPicture(read, picture);
    FUZZ_CHECK(cwt::MaskDecimalCount(picture) >= 0);
    FUZZ_CHECK(cwt::MaskDecimalCount(picture) <= static_cast<int>(picture.size()));
    if (cwt::IsSignedIntegerText(text) && !text.empty() && text.size() < 16)
        FUZZ_CHECK(std::isfinite(read));
    return 0;
}
