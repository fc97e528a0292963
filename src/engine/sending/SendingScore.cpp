#include "engine/sending/SendingScore.h"

#include <algorithm>
#include <array>

namespace cwt {

namespace {

// The procedure signs a sending can hold, each read as one symbol from the private use area.
constexpr std::array<std::u16string_view, 16> kSigns = {
    u"AR", u"AS", u"BK", u"BT", u"CL", u"CT",  u"DO", u"HH",
    u"KA", u"KN", u"NJ", u"SK", u"SN", u"SOS", u"VE", u"EEEEEEEE"};
constexpr char16_t kFirstSign = 0xE000;
constexpr char16_t kUnknownCode = 0xFFFD;

// The sign symbol of the text between brackets, or 0 when it is no sign.
char16_t SignSymbol(std::u16string_view name) {
    const auto found = std::find(kSigns.begin(), kSigns.end(), name);
    if (found == kSigns.end()) return 0;
    return static_cast<char16_t>(kFirstSign + (found - kSigns.begin()));
}

std::u16string Upper(std::u16string_view text) {
    std::u16string upper(text);
    for (char16_t& c : upper)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return upper;
}

}  // namespace

std::u16string SendingSymbols(Course course, std::u16string_view text) {
    std::u16string symbols;
    size_t plainFrom = 0;
    auto flushPlain = [&](size_t to) {
        symbols += CopySymbols(course, text.substr(plainFrom, to - plainFrom));
    };
    for (size_t at = 0; at < text.size(); ++at) {
        const char16_t open = text[at];
        if (open != u'[' && open != u'<') continue;
        const size_t close = text.find(open == u'[' ? u']' : u'>', at + 1);
        if (close == std::u16string_view::npos) break;
        const char16_t symbol =
            open == u'<' ? kUnknownCode : SignSymbol(Upper(text.substr(at + 1, close - at - 1)));
        if (symbol == 0) continue;  // brackets around no sign: their characters count
        flushPlain(at);
        symbols += symbol;
        at = close;
        plainFrom = close + 1;
    }
    flushPlain(text.size());
    return symbols;
}

std::u16string SymbolText(char16_t symbol) {
    if (symbol == kUnknownCode) return u"<?>";
    if (symbol >= kFirstSign && symbol < kFirstSign + kSigns.size())
        return u"[" + std::u16string(kSigns[symbol - kFirstSign]) + u"]";
    return std::u16string(1, symbol);
}

SendingComparison CompareSending(Course course, std::u16string_view target,
                                 std::u16string_view keyed, bool whole) {
    const std::u16string asked = SendingSymbols(course, target);
    const std::u16string sent = SendingSymbols(course, keyed);
    SendingComparison best;
    best.targetSymbols = static_cast<int>(asked.size());
    auto compare = [&](size_t length) {
        SendingComparison c = best;
        c.alignment = Align(std::u16string_view(asked).substr(0, length), sent);
        c.errors = ErrorCount(c.alignment);
        c.comparedSymbols = static_cast<int>(length);
        c.rest = asked.substr(length);
        return c;
    };
    if (whole) return compare(asked.size());
    // A beginning of k symbols costs at least |k - keyed symbols|: only those within the cost
    // of the beginning as long as the keyed text can match as well or better.
    const size_t keyedLength = std::min(sent.size(), asked.size());
    best = compare(keyedLength);
    const size_t reach = static_cast<size_t>(best.errors);
    const size_t first = sent.size() > reach ? sent.size() - reach : 0;
    const size_t last = std::min(asked.size(), sent.size() + reach);
    for (size_t length = first; length <= last; ++length) {
        if (length == keyedLength) continue;
        SendingComparison candidate = compare(length);
        if (candidate.errors < best.errors ||
            (candidate.errors == best.errors && candidate.comparedSymbols > best.comparedSymbols))
            best = std::move(candidate);
    }
    return best;
}

}  // namespace cwt
