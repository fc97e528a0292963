#include "engine/practice/KochCourse.h"

#include <algorithm>

#include "engine/morse/HanGulCtrlUnit.h"

namespace cwt {

namespace {

// The Koch order most English courses share.
constexpr std::u16string_view kEnglishOrder = u"KMRSUAPTLOWI.NJEF0Y,VG5/Q9ZH38B?427C1D6X";

// The Korean order. Why this one:
// - Every lesson can make syllables: the first lesson is a consonant and a vowel (아, 앙), and
//   consonants and vowels then take turns, so each lesson adds syllables and soon words.
// - Frequent jamo come first, in about the order they occur in Korean text (consonants
//   ㅇ ㄴ ㄱ ㄹ ㅅ ㄷ ㅁ ㅈ ㅎ ㅂ ㅊ ㅌ ㅍ ㅋ, vowels ㅏ ㅡ ㅣ ㅓ ㅗ ㅜ ㅕ ㅐ ㅔ ㅛ ㅑ ㅠ), so
//   what is learned first is what is heard most.
// - The first two sound nothing alike (ㅇ -·-, ㅏ ·), and no jamo follows one whose code
//   differs from its own by a single element (ㄴ ··-· never next to ㅣ ··-, ㅕ ··· away from
//   ㅜ ····), so a new sound is never learned beside the one it is most easily taken for.
constexpr std::u16string_view kKoreanOrder =
    u"ㅇㅏㄴㅡㅣㄱㅓㄹㅅㅗㄷㅁㅜㅈㅕㅐㅎㅔㅛㅂㅊㅑㅌㅠㅍㅋ";

constexpr char16_t kFirstCompatJamo = u'ㄱ';   // U+3131
constexpr char16_t kFirstCompatVowel = u'ㅏ';  // U+314F
constexpr char16_t kLastCompatVowel = u'ㅣ';   // U+3163
constexpr int kMedialCount = 21;
constexpr int kFinalCount = 28;

std::string_view Entry(std::string_view table, int index) {
    std::string_view entry = table.substr(static_cast<size_t>(index) * 2, 2);
    while (!entry.empty() && entry.back() == ' ') entry.remove_suffix(1);
    return entry;
}

// The index of the one-letter entry `letter` in a two-character table; -1 when none.
int IndexOfLetter(std::string_view table, char letter) {
    const int count = static_cast<int>(table.size() / 2);
    for (int i = 0; i < count; ++i) {
        const std::string_view entry = Entry(table, i);
        if (entry.size() == 1 && entry[0] == letter) return i;
    }
    return -1;
}

void AppendLetters(std::u16string& out, std::string_view letters) {
    for (char letter : letters) out += JamoOfLetter(letter);
}

// The compatibility consonants run in the order of the final consonants, with the three
// doubled consonants that cannot end a syllable (ㄸ ㅃ ㅉ) in between.
std::string CompatConsonantLetters(char16_t jamo) {
    switch (jamo) {
        case u'ㄸ':
            return "BB";
        case u'ㅃ':
            return "WW";
        case u'ㅉ':
            return "PP";
        default:
            break;
    }
    int index = jamo - kFirstCompatJamo;  // 0 = ㄱ
    if (jamo > u'ㄸ') --index;
    if (jamo > u'ㅃ') --index;
    if (jamo > u'ㅉ') --index;
    return std::string(Entry(FinalLetters, index + 1));
}

}  // namespace

std::u16string_view CourseOrder(Course course) {
    return course == Course::Korean ? kKoreanOrder : kEnglishOrder;
}

int LessonCount(Course course) { return static_cast<int>(CourseOrder(course).size()) - 1; }

int ClampLesson(Course course, int lesson) { return std::clamp(lesson, 1, LessonCount(course)); }

std::u16string LessonSymbols(Course course, int lesson) {
    return std::u16string(CourseOrder(course).substr(0, ClampLesson(course, lesson) + 1));
}

char LetterOfJamo(char16_t jamo) {
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (JamoOfLetter(letter) == jamo) return letter;
    return 0;
}

bool IsConsonantJamo(char16_t jamo) {
    const char letter = LetterOfJamo(jamo);
    return letter != 0 && IndexOfLetter(InitialLetters, letter) >= 0;
}

bool IsVowelJamo(char16_t jamo) {
    const char letter = LetterOfJamo(jamo);
    return letter != 0 && IndexOfLetter(MedialLetters, letter) >= 0;
}

std::optional<char16_t> ComposeSyllable(char16_t initial, char16_t vowel, char16_t final) {
    const int i =
        IsConsonantJamo(initial) ? IndexOfLetter(InitialLetters, LetterOfJamo(initial)) : -1;
    const int m = IsVowelJamo(vowel) ? IndexOfLetter(MedialLetters, LetterOfJamo(vowel)) : -1;
    int f = 0;
    if (final != 0)
        f = IsConsonantJamo(final) ? IndexOfLetter(FinalLetters, LetterOfJamo(final)) : -1;
    if (i < 0 || m < 0 || f < 0) return std::nullopt;
    return static_cast<char16_t>(kFirstSyllable + (i * kMedialCount + m) * kFinalCount + f);
}

std::u16string SentJamo(char16_t character) {
    std::u16string out;
    if (auto letters = HangulToLetters(character)) {
        AppendLetters(out, *letters);
    } else if (character >= kFirstCompatVowel && character <= kLastCompatVowel) {
        AppendLetters(out, Entry(MedialLetters, character - kFirstCompatVowel));
    } else if (character >= kFirstCompatJamo && character < kFirstCompatVowel) {
        AppendLetters(out, CompatConsonantLetters(character));
    }
    return out;
}

}  // namespace cwt
