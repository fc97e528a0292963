#pragma once
// What the sending practice asks the operator to key: groups of a Koch lesson's characters (the
// copy practice's lessons, English and Korean), words of the course's list, call signs, a line
// of a contact, or nothing (free keying).

#include <random>
#include <string>
#include <string_view>

#include "engine/practice/KochCourse.h"
#include "engine/practice/PracticeItems.h"

namespace cwt {

enum class SendingTextKind { LessonGroups, Words, CallSigns, QsoLine, Free };

// Why a kind of text cannot be drawn for a course and lesson; None when it can. Call signs and
// contacts are English: the Korean course reads every letter's code as a jamo.
ItemShortage CheckSendingText(Course course, int lesson, SendingTextKind kind);

// A text of `count` items (groups, words or call signs; a contact is one line whatever the
// count) separated by single blanks, upper case. Empty for free keying and for a kind that
// CheckSendingText refuses. Words come from the whole list of the course, call signs from every
// character: the lesson only chooses the groups' characters.
std::u16string DrawSendingText(Course course, int lesson, SendingTextKind kind, int count,
                               std::mt19937& random);

}  // namespace cwt
