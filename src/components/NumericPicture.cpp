#include "components/NumericPicture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace cwt {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsPlaceholder(char c) { return c == '#' || c == '0'; }

// One piece of a picture section: a digit placeholder, the point, a grouping comma or a run of
// literal text.
struct Token {
    enum Kind { Digit, Point, Comma, Literal } kind;
    char placeholder = 0;  // '#' or '0' for Digit
    std::string text;      // for Literal
};

std::vector<std::string_view> SplitSections(std::string_view picture) {
    std::vector<std::string_view> sections;
    char quote = 0;
    size_t start = 0;
    for (size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            sections.push_back(picture.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(picture.substr(start));
    return sections;
}

std::vector<Token> Tokenize(std::string_view section) {
    std::vector<Token> tokens;
    auto literal = [&tokens](char c) {
        if (tokens.empty() || tokens.back().kind != Token::Literal)
            tokens.push_back({Token::Literal, 0, {}});
        tokens.back().text += c;
    };
    bool pointSeen = false;
    for (size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (c == '\'' || c == '"') {
            const size_t close = section.find(c, i + 1);
            const size_t end = close == std::string_view::npos ? section.size() : close;
            for (size_t j = i + 1; j < end; ++j) literal(section[j]);
            i = end;
        } else if (IsPlaceholder(c)) {
            tokens.push_back({Token::Digit, c, {}});
        } else if (c == '.' && !pointSeen) {
            pointSeen = true;
            tokens.push_back({Token::Point, 0, {}});
        } else if (c == ',') {
            tokens.push_back({Token::Comma, 0, {}});
        } else {
            literal(c);
        }
    }
    return tokens;
}

// What a section asks of the number.
struct SectionShape {
    int integerPlaceholders = 0;
    int minIntegerDigits = 0;
    int maxDecimals = 0;
    int minDecimals = 0;
    bool grouping = false;
    bool hasZero = false;
    bool hasPlaceholder = false;
};

SectionShape ShapeOf(const std::vector<Token>& tokens) {
    SectionShape shape;
    bool afterPoint = false;
    int firstZero = -1;
    for (const Token& t : tokens) {
        if (t.kind == Token::Point) {
            afterPoint = true;
        } else if (t.kind == Token::Comma) {
            if (!afterPoint) shape.grouping = true;
        } else if (t.kind == Token::Digit) {
            shape.hasPlaceholder = true;
            if (t.placeholder == '0') shape.hasZero = true;
            if (afterPoint) {
                ++shape.maxDecimals;
                if (t.placeholder == '0') shape.minDecimals = shape.maxDecimals;
            } else {
                if (t.placeholder == '0' && firstZero < 0) firstZero = shape.integerPlaceholders;
                ++shape.integerPlaceholders;
            }
        }
    }
    if (firstZero >= 0) shape.minIntegerDigits = shape.integerPlaceholders - firstZero;
    return shape;
}

// |value| rounded half away from zero to `decimals`, as integer digits (no leading zeros,
// "" for zero) and exactly `decimals` fraction digits. Rounds the shortest decimal form that
// reads back as the value, so 0.125 and 2.675 round up as a person expects.
struct Digits {
    std::string integer;
    std::string fraction;
    bool IsZero() const {
        return integer.empty() && fraction.find_first_not_of('0') == std::string::npos;
    }
};

Digits RoundedDigits(double value, int decimals) {
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t point = text.find('.');
    std::string integer(text.substr(0, point));
    std::string fraction(point == std::string_view::npos ? "" : text.substr(point + 1));

    const bool roundUp = fraction.size() > static_cast<size_t>(decimals) &&
                         fraction[static_cast<size_t>(decimals)] >= '5';
    fraction.resize(static_cast<size_t>(decimals), '0');
    if (roundUp) {
        std::string all = integer + fraction;
        int i = static_cast<int>(all.size()) - 1;
        for (; i >= 0 && all[static_cast<size_t>(i)] == '9'; --i) all[static_cast<size_t>(i)] = '0';
        if (i >= 0)
            ++all[static_cast<size_t>(i)];
        else
            all.insert(all.begin(), '1');
        integer = all.substr(0, all.size() - fraction.size());
        fraction = all.substr(all.size() - fraction.size());
    }
    integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
    return {integer, fraction};
}

std::string FormatSection(const std::vector<Token>& tokens, const SectionShape& shape,
                          const Digits& digits) {
    std::string integer = digits.integer;
    if (static_cast<int>(integer.size()) < shape.minIntegerDigits)
        integer.insert(0, static_cast<size_t>(shape.minIntegerDigits) - integer.size(), '0');
    std::string fraction = digits.fraction;
    while (static_cast<int>(fraction.size()) > shape.minDecimals && fraction.back() == '0')
        fraction.pop_back();

    std::string out;
    const int n = static_cast<int>(integer.size());
    // Writes the integer digit `fromRight` places from the units, and the grouping comma
    // that follows it.
    auto emitDigit = [&](int fromRight) {
        out += integer[static_cast<size_t>(n - 1 - fromRight)];
        if (shape.grouping && fromRight > 0 && fromRight % 3 == 0) out += ',';
    };
    auto emitLeading = [&](int placeholders) {
        for (int k = n - 1; k >= placeholders; --k) emitDigit(k);
    };

    bool afterPoint = false;
    int intIndex = 0;
    int fracIndex = 0;
    for (const Token& t : tokens) {
        switch (t.kind) {
            case Token::Literal:
                out += t.text;
                break;
            case Token::Comma:
                break;
            case Token::Point:
                if (shape.integerPlaceholders == 0) emitLeading(0);
                afterPoint = true;
                if (!fraction.empty()) out += '.';
                break;
            case Token::Digit:
                if (afterPoint) {
                    if (fracIndex < static_cast<int>(fraction.size()))
                        out += fraction[static_cast<size_t>(fracIndex)];
                    ++fracIndex;
                    break;
                }
                if (intIndex == 0) emitLeading(shape.integerPlaceholders);
                if (const int fromRight = shape.integerPlaceholders - 1 - intIndex; fromRight < n)
                    emitDigit(fromRight);
                ++intIndex;
                break;
        }
    }
    return out;
}

std::string ShortestForm(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

// "digits, an optional point and fraction" with an optional leading minus; at least one digit.
bool IsPlainDecimal(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    bool digit = false;
    bool point = false;
    for (char c : text) {
        if (IsDigit(c)) {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

}  // namespace

std::string FormatNumericPicture(double value, std::string_view picture) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (picture.empty()) return ShortestForm(value == 0 ? 0.0 : value);

    const std::vector<std::string_view> sections = SplitSections(picture);
    size_t chosen = 0;
    if (value < 0 && sections.size() > 1 && !sections[1].empty()) chosen = 1;

    std::vector<Token> tokens = Tokenize(sections[chosen]);
    SectionShape shape = ShapeOf(tokens);
    Digits digits = RoundedDigits(value, shape.maxDecimals);
    if (digits.IsZero() && sections.size() > 2 && !sections[2].empty()) {
        chosen = 2;
        tokens = Tokenize(sections[chosen]);
        shape = ShapeOf(tokens);
        digits = RoundedDigits(value, shape.maxDecimals);
    }

    std::string out = FormatSection(tokens, shape, digits);
    // The sign goes with the first section only; a negative section writes its own.
    const bool negative = value < 0 && !digits.IsZero() && chosen == 0;
    if (negative && shape.hasPlaceholder) out.insert(out.begin(), '-');
    return out;
}

int MaskDecimalCount(std::string_view mask) {
    mask = Trimmed(mask);
    const size_t point = mask.find('.');
    if (point == std::string_view::npos) return 0;
    return static_cast<int>(mask.size() - point - 1);
}

double ReadEditNumber(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != ',') s += c;
    if (s.empty()) return 0;
    for (char c : s)
        if (!IsDigit(c) && c != '(' && c != ')' && c != '-' && c != '.') return 0;

    const auto count = [&s](char c) { return std::count(s.begin(), s.end(), c); };
    if (s.size() == 1 && !IsDigit(s[0])) return 0;
    if (s == ")(") return 0;
    if (count('.') > 1) return 0;
    if (count(')') == 0 && count('(') > 0) return 0;
    if (count(')') >= 2) return 0;

    // Parenthesised negatives do not convert: the plain notation has no parentheses.
    if (!IsPlainDecimal(s)) return 0;
    const bool minus = s.front() == '-';
    std::string normal = minus ? "-0" : "0";  // a leading zero lets ".5" read as 0.5
    normal.append(s, minus ? 1 : 0, std::string::npos);
    if (normal.back() == '.') normal.pop_back();
    double value = 0;
    const auto result = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (result.ec != std::errc() || result.ptr != normal.data() + normal.size()) return 0;
    return value;
}

bool IsSignedIntegerText(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) continue;
        if (i == 0 && (c == '+' || c == '-') && text.size() > 1) continue;
        return false;
    }
    return true;
}

}  // namespace cwt
