#include "bench/gen/Symbols.h"

#include <map>

#include "engine/morse/Cp949Text.h"

namespace cwt::testgen {

namespace {

constexpr char16_t kUnreadSymbol = u'\uFFFD';
constexpr char16_t kFirstSignSymbol = u'\uE000';

// Signs get private-use code points in the order they are first met, the same in every text.
struct SignRegistry {
    std::map<std::u16string, char16_t> symbolOf;
    std::map<char16_t, std::u16string> textOf;
    char16_t symbol(const std::u16string& sign) {
        auto [it, added] =
            symbolOf.emplace(sign, static_cast<char16_t>(kFirstSignSymbol + symbolOf.size()));
        if (added) textOf.emplace(it->second, sign);
        return it->second;
    }
};

SignRegistry& Registry() {
    static SignRegistry registry;
    return registry;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

}  // namespace

std::u16string Symbols(std::string_view utf8) {
    const std::u16string text = cp949::Utf8ToUtf16(utf8);
    std::u16string out;
    bool blank = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsBlank(c)) {
            blank = !out.empty();
            continue;
        }
        if (blank) out += u' ';
        blank = false;
        const char16_t close = c == u'[' ? u']' : c == u'<' ? u'>' : 0;
        const size_t end = close ? text.find(close, i + 1) : std::u16string::npos;
        if (end != std::u16string::npos) {
            out += c == u'[' ? Registry().symbol(text.substr(i, end - i + 1)) : kUnreadSymbol;
            i = end;
            continue;
        }
        out += c;
    }
    return out;
}

std::string SymbolsToUtf8(std::u16string_view symbols) {
    std::u16string text;
    for (char16_t c : symbols) {
        const auto it = Registry().textOf.find(c);
        if (it != Registry().textOf.end())
            text += it->second;
        else
            text += c;
    }
    return cp949::Utf16ToUtf8(text);
}

std::string DecodedText(const std::vector<decode::DecodedChar>& given) {
    std::vector<decode::DecodedChar> characters;
    decode::AppendDecoded(characters, given);
    std::string out;
    for (const decode::DecodedChar& c : characters) {
        if (c.wordSpaceBefore) out += ' ';
        out += c.text;
    }
    return out;
}

}  // namespace cwt::testgen
