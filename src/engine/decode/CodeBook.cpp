#include "engine/decode/CodeBook.h"

#include <array>
#include <unordered_map>

#include "engine/morse/MorseTable.h"

namespace cwt::decode {

namespace {

struct SignCode {
    std::string_view code;
    std::string_view text;
    bool sharedWithPunctuation;
};

// The joined signs this program sends (its sign buttons, its start and end marks, and the
// bracketed signs operators type), as they are written in a text.
constexpr std::array<SignCode, 11> kSigns = {{
    {".-.-.", "[AR]", true},
    {"-...-", "[BT]", true},
    {"-.--.", "[KN]", true},
    {".-...", "[AS]", false},
    {"-...-.-", "[BK]", false},
    {"...-.-", "[SK]", false},  // also VA joined: the same code
    {"-.-.-", "[KA]", false},
    {"...-.", "[VE]", false},
    {"-.-.-.", "[KR]", false},
    {"...-...-...-", "[VVV]", false},
    {"...---...", "[SOS]", false},
}};

constexpr size_t kErrorSignDots = 8;

using Table = std::unordered_map<std::string, std::string>;

Table BuildTable(bool punctuationOverSigns) {
    Table table;
    for (int row = 0; row < kYeRow; ++row)
        table.emplace(DotsOfRowCode(MorseCodes[static_cast<size_t>(row)]),
                      std::string(MorseChars[static_cast<size_t>(row)]));
    for (const SignCode& sign : kSigns) {
        if (sign.sharedWithPunctuation && punctuationOverSigns) continue;
        table[std::string(sign.code)] = std::string(sign.text);
    }
    return table;
}

bool AllDots(std::string_view code) { return code.find_first_not_of('.') == std::string::npos; }

}  // namespace

std::string DotsOfRowCode(std::string_view rowCode) {
    std::string out;
    for (char c : rowCode) {
        if (c == 'S') out += '.';
        if (c == 'L') out += '-';
    }
    return out;
}

char LetterOfCode(std::string_view code) {
    static const auto letters = [] {
        std::unordered_map<std::string, char> map;
        for (int row = 0; row < 26; ++row)
            map.emplace(DotsOfRowCode(MorseCodes[static_cast<size_t>(row)]),
                        static_cast<char>('A' + row));
        return map;
    }();
    const auto it = letters.find(std::string(code));
    return it == letters.end() ? 0 : it->second;
}

std::string TextOfCode(std::string_view code, bool punctuationOverSigns) {
    static const Table signsFirst = BuildTable(false);
    static const Table punctuationFirst = BuildTable(true);
    const Table& table = punctuationOverSigns ? punctuationFirst : signsFirst;
    const auto it = table.find(std::string(code));
    if (it != table.end()) return it->second;
    if (code.size() >= kErrorSignDots && AllDots(code)) return "[HH]";
    return {};
}

std::string UnknownCodeText(std::string_view code) { return "<" + std::string(code) + ">"; }

}  // namespace cwt::decode
