#include "engine/morse/MorseTable.h"

#include <string>

namespace cwt {

const std::array<std::string_view, kMorseRowCount> MorseChars = {
    "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H", "I", "J", "K",  "L",  "M",  "N",
    "O",  "P",  "Q",  "R",  "S",  "T",  "U",  "V", "W", "X", "Y",  "Z",  "1",  "2",
    "3",  "4",  "5",  "6",  "7",  "8",  "9",  "0", ".", ",", "?",  "/",  "=",  ";",
    ":",  "'",  "\"", "(",  ")",  "+",  "-",  "예", "얘", "ER", "KR"};

const std::array<std::string_view, kMorseRowCount + 1> MorseCodes = {
    "SL",       "LSSS",   "LSLS",   "LSS",    "S",      "SSLS",   "LLS",    "SSSS",
    "SS",       "SLLL",   "LSL",    "SLSS",   "LL",     "LS",     "LLL",    "SLLS",
    "LLSL",     "SLS",    "SSS",    "L",      "SSL",    "SSSL",   "SLL",    "LSSL",
    "LSLL",     "LLSS",   "SLLLL",  "SSLLL",  "SSSLL",  "SSSSL",  "SSSSS",  "LSSSS",
    "LLSSS",    "LLLSS",  "LLLLS",  "LLLLL",  "SLSLSL", "LLSSLL", "SSLLSS", "LSSLS",
    "LSSSL",    "LSLSLS", "LLLSSS", "SLLLLS", "SLSSLS", "LSLLS",  "LSLLSL", "SLSLS",
    "LSSSSL",   "SSS SSL", "SS SSL", "SSSSSSSS", "SSSLS", " "};

int MorseIndex(uint8_t byte) {
    if (byte >= 'A' && byte <= 'Z') return byte - 'A';
    if (byte >= 'a' && byte <= 'z') return byte - 'a';
    if (byte >= '1' && byte <= '9') return byte - 23;
    switch (byte) {
        case '0': return 35;
        case '.': return 36;
        case ',': return 37;
        case '?': return 38;
        case '/': return 39;
        case '=': return 40;
        case ';': return 41;
        case ':': return 42;
        case '\'': return 43;
        case '"': return 44;
        case '(': return 45;
        case ')': return 46;
        case '+': return 47;
        case '-': return 48;
        case ' ': return kWordSpaceRow;
        default: return -1;
    }
}

std::string_view CodeOfChar(uint8_t byte) {
    const int row = MorseIndex(byte);
    return row < 0 ? MorseCodes[kWordSpaceRow] : MorseCodes[row];
}

std::string_view RowCode(int row, bool characterGap) {
    static const auto withGap = [] {
        std::array<std::string, kMorseRowCount + 1> codes;
        for (size_t r = 0; r < codes.size(); ++r) codes[r] = std::string(MorseCodes[r]) + "!";
        return codes;
    }();
    const auto r = static_cast<size_t>(row);
    return characterGap ? std::string_view(withGap[r]) : MorseCodes[r];
}

uint8_t CharOfCode(std::string_view code) {
    for (int row = 0; row < kMorseRowCount; ++row) {
        if (MorseCodes[row] == code) {
            const std::string_view ch = MorseChars[row];
            return row < kYeRow ? static_cast<uint8_t>(ch[0]) : 0;
        }
    }
    return 0;
}

}  // namespace cwt
