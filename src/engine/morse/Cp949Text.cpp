#include "engine/morse/Cp949Text.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <memory>

namespace cwt::cp949 {

namespace {

// Both directions of the double-byte part of the code page, filled from iconv once.
struct Tables {
    std::array<char16_t, 65536> pairToUnit{};   // index lead << 8 | trail; 0 = no character
    std::array<uint16_t, 65536> unitToPair{};   // 0 = no double-byte encoding
};

// Filled in place: a Tables on the stack of tables() would make every call of it pay for
// a quarter megabyte of stack frame (under AddressSanitizer, a microsecond each).
void FillTables(Tables& t) {
    iconv_t cd = iconv_open("UTF-16LE", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x41; trail <= 0xFE; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8] = {};
            char* inPtr = in;
            char* outPtr = out;
            size_t inLeft = 2;
            size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) continue;
            if (inLeft != 0 || sizeof out - outLeft != 2) continue;
            const char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(out[0]) |
                                                        static_cast<uint8_t>(out[1]) << 8);
            const uint16_t pair = static_cast<uint16_t>(lead << 8 | trail);
            t.pairToUnit[pair] = unit;
            if (t.unitToPair[unit] == 0) t.unitToPair[unit] = pair;
        }
    }
    iconv_close(cd);
}

const Tables& tables() {
    static const std::unique_ptr<const Tables> t = [] {
        auto built = std::make_unique<Tables>();
        FillTables(*built);
        return built;
    }();
    return *t;
}

bool IsSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

}  // namespace

std::optional<char16_t> DecodePair(uint8_t lead, uint8_t trail) {
    const char16_t unit = tables().pairToUnit[static_cast<size_t>(lead << 8 | trail)];
    if (!IsLeadByte(lead) || unit == 0) return std::nullopt;
    return unit;
}

std::optional<std::string> EncodeUnit(char16_t unit) {
    if (unit < 0x80) return std::string(1, static_cast<char>(unit));
    const uint16_t pair = tables().unitToPair[unit];
    if (pair == 0) return std::nullopt;
    return std::string{static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
}

namespace {

// Appends the characters of code page 949 bytes; a byte that starts no character becomes
// U+FFFD and is counted.
void AppendCp949(std::string_view bytes, std::u16string& out, int64_t& undecodable) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            continue;
        }
        if (IsLeadByte(b) && i + 1 < bytes.size()) {
            if (auto unit = DecodePair(b, static_cast<uint8_t>(bytes[i + 1]))) {
                out += *unit;
                ++i;
                continue;
            }
        }
        out += u'\uFFFD';
        ++undecodable;
    }
}

}  // namespace

std::u16string Decode(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    int64_t undecodable = 0;
    AppendCp949(bytes, out, undecodable);
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        int extra;
        char32_t cp;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, cp = b & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(extra) >= bytes.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<uint8_t>(bytes[i + static_cast<size_t>(k)]);
            if ((c & 0xC0) != 0x80) return false;
            cp = cp << 6 | (c & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

namespace {

void AppendUtf8(std::string_view utf8, std::u16string& out) {
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<uint8_t>(utf8[i]);
        char32_t cp;
        int extra;
        if (b < 0x80) {
            cp = b, extra = 0;
        } else if (b < 0xE0) {
            cp = b & 0x1F, extra = 1;
        } else if (b < 0xF0) {
            cp = b & 0x0F, extra = 2;
        } else {
            cp = b & 0x07, extra = 3;
        }
        for (int k = 1; k <= extra && i + static_cast<size_t>(k) < utf8.size(); ++k)
            cp = cp << 6 | (static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]) & 0x3F);
        i += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    AppendUtf8(utf8, out);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsSurrogate(static_cast<char16_t>(cp))) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

namespace {

enum class Utf16Order { None, LittleEndian, BigEndian };

// Notepad's "Unicode" files start with FF FE, its "Unicode big endian" ones with FE FF. Neither
// pair can start UTF-8 or code page 949 text (FF starts no character, and FE FF is no pair).
Utf16Order Utf16ByteOrderMark(std::string_view bytes) {
    if (bytes.size() < 2) return Utf16Order::None;
    const auto first = static_cast<uint8_t>(bytes[0]);
    const auto second = static_cast<uint8_t>(bytes[1]);
    if (first == 0xFF && second == 0xFE) return Utf16Order::LittleEndian;
    if (first == 0xFE && second == 0xFF) return Utf16Order::BigEndian;
    return Utf16Order::None;
}

// UTF-16 bytes after their byte-order mark. A half of a surrogate pair without its other
// half, and an odd last byte, become U+FFFD and are counted.
void AppendUtf16(std::string_view bytes, Utf16Order order, std::u16string& out,
                 int64_t& undecodable) {
    const auto unitAt = [&](size_t i) {
        const auto a = static_cast<uint8_t>(bytes[i]);
        const auto b = static_cast<uint8_t>(bytes[i + 1]);
        return static_cast<char16_t>(order == Utf16Order::BigEndian ? a << 8 | b : b << 8 | a);
    };
    const size_t whole = bytes.size() / 2 * 2;
    out.reserve(out.size() + whole / 2 + 1);
    for (size_t i = 0; i < whole; i += 2) {
        const char16_t unit = unitAt(i);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 2 < whole && unitAt(i + 2) >= 0xDC00 && unitAt(i + 2) <= 0xDFFF) {
            out += unit;
            out += unitAt(i + 2);
            i += 2;
        } else if (IsSurrogate(unit)) {
            out += u'\uFFFD';
            undecodable += 2;
        } else {
            out += unit;
        }
    }
    if (whole < bytes.size()) {
        out += u'\uFFFD';
        ++undecodable;
    }
}

// A UTF-16 file as lines, each followed by LF (CR LF, a lone CR and LF all end a line).
FileText DecodeUtf16Lines(std::string_view bytes, Utf16Order order) {
    FileText file;
    std::u16string units;
    AppendUtf16(bytes.substr(2), order, units, file.undecodable);
    file.text.reserve(units.size() + 1);
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find_first_of(u"\r\n", start);
        if (end == std::u16string::npos) end = units.size();
        file.text.append(units, start, end - start);
        file.text += u'\n';
        if (end == units.size()) break;
        start = end + 1;
        if (units[end] == u'\r' && start < units.size() && units[start] == u'\n') ++start;
    }
    return file;
}

}  // namespace

std::u16string DecodeFileBytes(std::string_view bytes) {
    if (const Utf16Order order = Utf16ByteOrderMark(bytes); order != Utf16Order::None) {
        std::u16string text;
        int64_t undecodable = 0;
        AppendUtf16(bytes.substr(2), order, text, undecodable);
        return text;
    }
    if (IsValidUtf8(bytes)) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        return Utf8ToUtf16(bytes);
    }
    return Decode(bytes);
}

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Whether the bytes hold a lead byte of a UTF-8 sequence of three or four bytes. Code page 949
// text is almost never valid UTF-8 with such a sequence; UTF-8 Hangul always has one.
bool HasLongUtf8Lead(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<uint8_t>(c) >= 0xE0; });
}

}  // namespace

FileText DecodeFileLines(std::string_view bytes) {
    if (const Utf16Order order = Utf16ByteOrderMark(bytes); order != Utf16Order::None)
        return DecodeUtf16Lines(bytes, order);
    FileText file;
    file.text.reserve(bytes.size() + 1);
    const bool wholeUtf8 = IsValidUtf8(bytes);
    const auto isUtf8 = [wholeUtf8](std::string_view line) {
        return wholeUtf8 || (HasLongUtf8Lead(line) && IsValidUtf8(line));
    };
    // The byte-order mark belongs to no line: a file of nothing else is an empty text.
    bool firstLineUtf8 = isUtf8(bytes.substr(0, bytes.find_first_of("\r\n")));
    if (firstLineUtf8 && bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        bytes.remove_prefix(kByteOrderMark.size());
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(start, end - start);
        if (start == 0 ? firstLineUtf8 : isUtf8(line))
            AppendUtf8(line, file.text);
        else
            AppendCp949(line, file.text, file.undecodable);
        file.text += u'\n';
        if (end == bytes.size()) break;
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return file;
}

int64_t EditorByteCount(std::u16string_view text) {
    int64_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            count += unit == u'\n' ? 2 : 1;
            continue;
        }
        count += 2;
        // The low half of a surrogate pair owns no bytes of its own.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i;
    }
    return count;
}

std::optional<std::string> EncodeStrict(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t unit : text) {
        auto bytes = EncodeUnit(unit);
        if (!bytes) return std::nullopt;
        out += *bytes;
    }
    return out;
}

}  // namespace cwt::cp949

namespace cwt {

namespace {
// A double-byte symbol that has no Morse code: stands for characters the code page lacks.
constexpr uint16_t kUnencodablePair = 0xA1A1;
}  // namespace

Cp949Text Cp949Text::FromEditor(std::u16string_view text) {
    // Written in place: a text of tens of megabytes is encoded when a send starts.
    const auto& pairOfUnit = cp949::tables().unitToPair;
    const size_t count = text.size();
    Cp949Text t;
    t.m_bytes.resize(count * 2);
    t.m_charOfByte.resize(count * 2 + 1);
    t.m_byteOfChar.resize(count + 1);
    char* out = t.m_bytes.data();
    int* charOfByte = t.m_charOfByte.data();
    size_t b = 0;
    for (size_t i = 0; i < count; ++i) {
        const char16_t unit = text[i];
        const int charIndex = static_cast<int>(i);
        t.m_byteOfChar[i] = static_cast<int>(b);
        if (unit == u'\n') {
            out[b] = '\r';
            out[b + 1] = '\n';
            charOfByte[b] = charOfByte[b + 1] = charIndex;
            b += 2;
            continue;
        }
        if (unit < 0x80) {
            out[b] = static_cast<char>(unit);
            charOfByte[b] = charIndex;
            ++b;
            continue;
        }
        uint16_t pair = pairOfUnit[unit];
        const bool surrogatePair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count &&
                                   text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (surrogatePair || pair == 0) {
            // Outside the code page (a pair is outside the Basic Multilingual Plane, so never in
            // it).
            pair = kUnencodablePair;
            ++t.m_unencodable;
        }
        out[b] = static_cast<char>(pair >> 8);
        out[b + 1] = static_cast<char>(pair & 0xFF);
        charOfByte[b] = charOfByte[b + 1] = charIndex;
        b += 2;
        if (surrogatePair) {
            // The low surrogate owns no bytes of its own; it starts where its pair ends.
            ++i;
            t.m_byteOfChar[i] = static_cast<int>(b);
        }
    }
    t.m_byteOfChar[count] = static_cast<int>(b);
    charOfByte[b] = static_cast<int>(count);
    t.m_bytes.resize(b);
    t.m_charOfByte.resize(b + 1);
    return t;
}

int Cp949Text::charIndexAtByte(int byteOffset) const {
    byteOffset = std::clamp(byteOffset, 0, byteCount());
    return m_charOfByte[static_cast<size_t>(byteOffset)];
}

int Cp949Text::byteOffsetOfChar(int charIndex) const {
    charIndex = std::clamp(charIndex, 0, charCount());
    return m_byteOfChar[static_cast<size_t>(charIndex)];
}

std::pair<int, int> Cp949Text::charRangeOfBytes(int byteOffset, int byteLength) const {
    const int first = charIndexAtByte(byteOffset);
    const int endByte = std::clamp(byteOffset + std::max(byteLength, 0), 0, byteCount());
    int last = charIndexAtByte(endByte);
    // An end inside a character (the CR of an editor line break) takes the whole character.
    while (last < charCount() && byteOffsetOfChar(last) < endByte) ++last;
    return {first, std::max(first, last)};
}

}  // namespace cwt
