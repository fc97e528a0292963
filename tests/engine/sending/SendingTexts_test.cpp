// The texts of the sending practice: lesson groups of the lesson's characters only, words of the
// course, call signs and contact lines in English with every field filled in, and refusals where
// the Korean course cannot read a kind.
#include "engine/sending/SendingTexts.h"

#include <gtest/gtest.h>

#include "engine/practice/CopyScore.h"

using namespace cwt;

TEST(SendingTexts, LessonGroupsUseOnlyTheLessonsCharactersInBothCourses) {
    std::mt19937 random(7);
    for (Course course : {Course::English, Course::Korean}) {
        const std::u16string learned = LessonSymbols(course, 3);
        const std::u16string text =
            DrawSendingText(course, 3, SendingTextKind::LessonGroups, 4, random);
        EXPECT_EQ(std::count(text.begin(), text.end(), u' '), 3) << "four groups";
        for (char16_t symbol : CopySymbols(course, text))
            EXPECT_NE(learned.find(symbol), std::u16string::npos);
    }
}

TEST(SendingTexts, AContactLineHasNoFieldLeftAndKeysOnlyWhatTheProgramSends) {
    std::mt19937 random(11);
    for (int i = 0; i < 200; ++i) {
        const std::u16string line =
            DrawSendingText(Course::English, 1, SendingTextKind::QsoLine, 5, random);
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.find(u'{'), std::u16string::npos);
        for (char16_t c : line)
            EXPECT_TRUE((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                        std::u16string_view(u" ?[]").find(c) != std::u16string_view::npos)
                << static_cast<int>(c);
    }
}

TEST(SendingTexts, TheKoreanCourseRefusesCallSignsAndContactsAndFreeKeyingHasNoText) {
    std::mt19937 random(3);
    for (SendingTextKind kind : {SendingTextKind::CallSigns, SendingTextKind::QsoLine}) {
        EXPECT_NE(CheckSendingText(Course::Korean, 10, kind), ItemShortage::None);
        EXPECT_TRUE(DrawSendingText(Course::Korean, 10, kind, 3, random).empty());
    }
    EXPECT_TRUE(DrawSendingText(Course::English, 10, SendingTextKind::Free, 3, random).empty());
    // Words come from the whole list, even in the first lesson.
    EXPECT_EQ(CheckSendingText(Course::Korean, 1, SendingTextKind::Words), ItemShortage::None);
    EXPECT_FALSE(DrawSendingText(Course::Korean, 1, SendingTextKind::Words, 3, random).empty());
}
