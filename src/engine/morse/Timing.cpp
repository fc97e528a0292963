#include "engine/morse/Timing.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace cwt {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
    return text;
}

void TakeEditTexts(TimingModel& model) {
    if (auto v = HiddenEditField(model.charDelayEditText)) model.CharDelay = *v;
    if (auto v = HiddenEditField(model.smallEditText)) model.DotLength = *v;
    if (auto v = HiddenEditField(model.largeEditText)) model.DashLength = *v;
}

}  // namespace

void ApplyMultiplier(TimingModel& model, int itemIndex) {
    model.multiplierIndex = itemIndex;
    const int m = itemIndex + 1;
    model.smallEditText = std::to_string(3 * m);
    model.largeEditText = std::to_string(model.LongShortRatio * 3 * m);
    model.charDelayEditText = model.largeEditText;
    TakeEditTexts(model);
}

void ApplyRatio(TimingModel& model, int ratio) {
    model.LongShortRatio = ratio;
    model.DashLength = model.DotLength * ratio;
    model.largeEditText = std::to_string(model.DashLength / 10);
    model.CharDelay = model.DashLength;
    model.charDelayEditText = model.largeEditText;
}

std::optional<int> HiddenEditField(std::string_view text) {
    text = Trimmed(text);
    if (!(text > std::string_view("0"))) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value > 100'000'000 || value < -100'000'000) return std::nullopt;
    return 10 * value;
}

int ToneUnit(int width, int dotLength) {
    const int w = width <= 0 ? 1 : width;
    return (w + 1) * dotLength;
}

int DotMs(int dotLength) { return static_cast<int>(std::nearbyint(dotLength / 2.0889)); }

CodeLayout LayoutOf(std::string_view code, bool syllableEnd) {
    CodeLayout layout;
    int n = static_cast<int>(code.size());
    layout.endOfWord = n > 0 && code.back() == '!';
    if (layout.endOfWord && n > 1) --n;
    layout.elementCount = n;
    int units = 0;
    for (int i = 0; i < n; ++i) units += code[static_cast<size_t>(i)] == 'L' ? 3 : 1;
    units += n;  // the gap after every element
    if (layout.endOfWord) units += syllableEnd ? 12 : 6;
    layout.totalUnits = units;
    return layout;
}

}  // namespace cwt
