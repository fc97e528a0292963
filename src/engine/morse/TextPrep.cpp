#include "engine/morse/TextPrep.h"

namespace cwt {

namespace {

template <typename Str, typename View>
Str CollapseImpl(View text, View lineBreak) {
    using Char = typename Str::value_type;
    Str out;
    out.reserve(text.size());
    for (Char c : text) {
        if (c == Char(' ') && !out.empty() && out.back() == Char(' ')) continue;
        out += c;
    }
    View v(out);
    while (v.substr(0, lineBreak.size()) == lineBreak) v.remove_prefix(lineBreak.size());
    while (v.size() >= lineBreak.size() && v.substr(v.size() - lineBreak.size()) == lineBreak)
        v.remove_suffix(lineBreak.size());
    return Str(v);
}

template <typename Str, typename View>
Str TrimImpl(View text) {
    size_t first = 0;
    size_t last = text.size();
    auto isBlankOrControl = [](auto c) { return static_cast<unsigned>(c) <= 32; };
    while (first < last && isBlankOrControl(text[first])) ++first;
    while (last > first && isBlankOrControl(text[last - 1])) --last;
    return Str(text.substr(first, last - first));
}

}  // namespace

std::string CollapseSpaces(std::string_view text) {
    return CollapseImpl<std::string, std::string_view>(text, "\r\n");
}

std::u16string CollapseSpacesEditor(std::u16string_view text) {
    return CollapseImpl<std::u16string, std::u16string_view>(text, u"\n");
}

std::string TrimBlanksAndControls(std::string_view text) {
    return TrimImpl<std::string, std::string_view>(text);
}

std::u16string TrimBlanksAndControlsEditor(std::u16string_view text) {
    return TrimImpl<std::u16string, std::u16string_view>(text);
}

Tidying SendTidying(bool doubleSpaceTrim, bool openSpaceTrim) {
    if (doubleSpaceTrim) return Tidying::CollapseSpaces;
    return openSpaceTrim ? Tidying::Trim : Tidying::None;
}

Tidying FileOpenTidying(bool openSpaceTrim, bool doubleSpaceTrim) {
    if (!openSpaceTrim) return Tidying::None;
    return doubleSpaceTrim ? Tidying::CollapseSpaces : Tidying::Trim;
}

std::string Tidy(std::string_view text, Tidying how) {
    switch (how) {
        case Tidying::CollapseSpaces: return CollapseSpaces(text);
        case Tidying::Trim: return TrimBlanksAndControls(text);
        case Tidying::None: break;
    }
    return std::string(text);
}

std::u16string TidyEditor(std::u16string_view text, Tidying how) {
    switch (how) {
        case Tidying::CollapseSpaces: return CollapseSpacesEditor(text);
        case Tidying::Trim: return TrimBlanksAndControlsEditor(text);
        case Tidying::None: break;
    }
    return std::u16string(text);
}

BracketSign ParseBracketSign(std::string_view window) {
    BracketSign sign;
    window = window.substr(0, 6);
    const size_t close = window.find(']');
    if (close == std::string_view::npos) return sign;
    sign.closingIndex = static_cast<int>(close) + 1;
    if (sign.closingIndex < 2) return sign;
    for (size_t i = 0; i < close; ++i) {
        const auto b = static_cast<unsigned char>(window[i]);
        if (b < 65 || b > 122) break;
        sign.token += window[i];
    }
    return sign;
}

}  // namespace cwt
