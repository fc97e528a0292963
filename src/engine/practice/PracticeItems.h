#pragma once
// What a copy-practice session sends: groups of five, words from a small list of the course,
// or Korean call signs, made only of the characters the lesson has taught.

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/practice/KochCourse.h"

namespace cwt {

enum class ItemKind { Groups, Words, CallSigns };

// Why a kind of item cannot be made in a lesson.
enum class ItemShortage {
    None,
    NoWords,               // no word of the list is made of the lesson's characters only
    CallSignsNotInCourse,  // call signs belong to the English course
    NoCallSignPrefix,      // neither HL nor DS is made of the lesson's characters
    NoCallSignDigit,       // no digit learned yet
};

inline constexpr int kGroupLength = 5;

// The built-in word list of a course, in upper case (English) or Hangul (Korean).
const std::vector<std::u16string_view>& CourseWords(Course course);

// The words of the list that use only `learned` characters (for Korean: only learned jamo).
std::vector<std::u16string_view> WordsOfLesson(Course course, std::u16string_view learned);

ItemShortage CheckItems(Course course, int lesson, ItemKind kind);

// `count` items of the kind; empty when CheckItems reports a shortage.
// - Groups: five characters (English) or five syllables (Korean), the newest character of the
//   lesson drawn twice as often as each other one, so it is heard enough to be learned.
// - Words: drawn from WordsOfLesson, never the same word twice in a row when there is a choice.
// - Call signs: HL or DS, a digit and two or three letters, as Korean stations are called.
std::vector<std::u16string> DrawItems(Course course, int lesson, ItemKind kind, int count,
                                      std::mt19937& random);

}  // namespace cwt
