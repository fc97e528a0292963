#pragma once
// The two copy-practice courses, taught by the Koch method: from the first lesson on, every
// character is heard at full character speed, and each lesson adds one character to those
// already learned. Lesson n uses the first n + 1 characters of the course's order.
//
// The English course teaches the characters of the Morse table; the Korean course teaches the
// jamo, each heard as the code of its Latin letter, as the Korean convention sends them.

#include <optional>
#include <string>
#include <string_view>

namespace cwt {

enum class Course { English, Korean };

// Every character of the course, in teaching order.
std::u16string_view CourseOrder(Course course);

// Lessons run from 1 to the course's order length - 1.
int LessonCount(Course course);
int ClampLesson(Course course, int lesson);

// The characters lesson `lesson` uses (clamped to the course's lessons), in teaching order.
std::u16string LessonSymbols(Course course, int lesson);

// ----- Hangul as the Korean course sees it -----

// The Latin letter that sends a simple jamo (ㄱ → L, ㅏ → E); 0 for anything else.
char LetterOfJamo(char16_t jamo);
bool IsConsonantJamo(char16_t jamo);
bool IsVowelJamo(char16_t jamo);

// The syllable made of an initial consonant, a vowel and an optional final consonant
// (0 for none), all simple jamo; nothing when the jamo cannot stand there.
std::optional<char16_t> ComposeSyllable(char16_t initial, char16_t vowel, char16_t final = 0);

// The simple jamo a Hangul syllable or a compatibility jamo is sent as, in sending order:
// 닭 → ㄷ ㅏ ㄹ ㄱ, ㅘ → ㅗ ㅏ, ㄲ → ㄱ ㄱ. Empty for any other character.
std::u16string SentJamo(char16_t character);

}  // namespace cwt
