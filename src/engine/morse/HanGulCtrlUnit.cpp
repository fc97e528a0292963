#include "engine/morse/HanGulCtrlUnit.h"

namespace cwt {

const std::string_view InitialLetters = "L LLF B BBV M W WWG GGK P PPC X Z O J ";
const std::string_view MedialLetters = "E Q I IUT Y S SUA AEAQAUN H HTHYHUR D DUU ";
const std::string_view FinalLetters = "  L LLLGF FPFJB V VLVMVWVGVZVOVJM W WGG GGK P C X Z O J ";

const std::array<char16_t, 26> JamoLetters = {
    u'ㅗ', u'ㄷ', u'ㅊ', u'ㅡ', u'ㅏ', u'ㄴ', u'ㅅ', u'ㅜ', u'ㅑ', u'ㅎ', u'ㅇ', u'ㄱ', u'ㅁ',
    u'ㅛ', u'ㅍ', u'ㅈ', u'ㅐ', u'ㅠ', u'ㅕ', u'ㅓ', u'ㅣ', u'ㄹ', u'ㅂ', u'ㅋ', u'ㅔ', u'ㅌ'};

namespace {

constexpr int kMedialCount = 21;
constexpr int kFinalCount = 28;
constexpr int kSyllablesPerInitial = kMedialCount * kFinalCount;  // 588

void AppendEntry(std::string& out, std::string_view table, int index) {
    for (char c : table.substr(static_cast<size_t>(index) * 2, 2)) {
        if (c != ' ') out += c;
    }
}

}  // namespace

std::optional<std::string> HangulToLetters(char32_t codePoint) {
    if (codePoint < kFirstSyllable || codePoint > kLastSyllable) return std::nullopt;
    const int s = static_cast<int>(codePoint - kFirstSyllable);
    std::string letters;
    AppendEntry(letters, InitialLetters, s / kSyllablesPerInitial);
    AppendEntry(letters, MedialLetters, (s % kSyllablesPerInitial) / kFinalCount);
    AppendEntry(letters, FinalLetters, s % kFinalCount);
    return letters;
}

char16_t JamoOfLetter(char letter) {
    if (letter < 'A' || letter > 'Z') return 0;
    return JamoLetters[static_cast<size_t>(letter - 'A')];
}

}  // namespace cwt
