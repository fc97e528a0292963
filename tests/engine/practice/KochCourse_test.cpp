// The copy-practice courses and what their lessons send: only learned characters, Hangul
// syllables made of learned jamo, words and call signs as the lessons allow.

#include "engine/practice/KochCourse.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/morse/HanGulCtrlUnit.h"
#include "engine/morse/MorseTable.h"
#include "engine/practice/CopyScore.h"
#include "engine/practice/PracticeItems.h"

namespace {

using cwt::Course;
using cwt::ItemKind;
using cwt::ItemShortage;

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string CodeOfSymbol(char16_t symbol) {
    const char letter = symbol < 0x80 ? static_cast<char>(symbol) : cwt::LetterOfJamo(symbol);
    return std::string(cwt::CodeOfChar(static_cast<uint8_t>(letter)));
}

TEST(KochCourse, EnglishFollowsTheKochOrderAndLessonNUsesNPlusOneCharacters) {
    EXPECT_EQ(cwt::CourseOrder(Course::English), u"KMRSUAPTLOWI.NJEF0Y,VG5/Q9ZH38B?427C1D6X");
    EXPECT_EQ(cwt::LessonSymbols(Course::English, 1), u"KM");
    EXPECT_EQ(cwt::LessonSymbols(Course::English, 5), u"KMRSUA");
    EXPECT_EQ(cwt::LessonCount(Course::English), 39);
    // Out-of-range lessons are held to the course.
    EXPECT_EQ(cwt::LessonSymbols(Course::English, 0), u"KM");
    EXPECT_EQ(cwt::LessonSymbols(Course::English, 99).size(), 40u);
    for (char16_t c : cwt::CourseOrder(Course::English))
        EXPECT_GE(cwt::MorseIndex(static_cast<uint8_t>(c)), 0) << Utf8(std::u16string(1, c));
}

TEST(KochCourse, KoreanTeachesEverySimpleJamoOnceStartingWithASyllable) {
    const std::u16string_view order = cwt::CourseOrder(Course::Korean);
    ASSERT_EQ(order.size(), 26u);
    EXPECT_EQ(cwt::LessonCount(Course::Korean), 25);
    std::set<char> letters;
    for (char16_t jamo : order) letters.insert(cwt::LetterOfJamo(jamo));
    EXPECT_EQ(letters.size(), 26u);  // each Latin letter of the convention exactly once
    EXPECT_FALSE(letters.count(0));
    // Lesson 1 is a consonant and a vowel, so it can already make a syllable.
    EXPECT_TRUE(cwt::IsConsonantJamo(order[0]) != cwt::IsConsonantJamo(order[1]));
    EXPECT_TRUE(cwt::IsVowelJamo(order[0]) || cwt::IsVowelJamo(order[1]));
    // A new jamo is never learned beside one whose code differs by a single element.
    for (size_t i = 1; i < order.size(); ++i) {
        const std::string a = CodeOfSymbol(order[i - 1]);
        const std::string b = CodeOfSymbol(order[i]);
        const auto alignment =
            cwt::Align(std::u16string(a.begin(), a.end()), std::u16string(b.begin(), b.end()));
        EXPECT_GE(cwt::ErrorCount(alignment), 2)
            << Utf8(order.substr(i - 1, 2)) << ": " << a << " / " << b;
    }
}

TEST(KochCourse, HangulSyllablesComposeAndSplitAsTheyAreSent) {
    EXPECT_EQ(cwt::ComposeSyllable(u'ㅇ', u'ㅏ'), u'아');
    EXPECT_EQ(cwt::ComposeSyllable(u'ㅎ', u'ㅏ', u'ㄴ'), u'한');
    EXPECT_EQ(cwt::ComposeSyllable(u'ㅋ', u'ㅣ', u'ㅎ'), u'킿');
    EXPECT_FALSE(cwt::ComposeSyllable(u'ㅏ', u'ㅏ'));  // a vowel cannot begin
    EXPECT_FALSE(cwt::ComposeSyllable(u'ㄱ', u'ㄱ'));
    EXPECT_FALSE(cwt::ComposeSyllable(u'K', u'ㅏ'));

    EXPECT_EQ(cwt::SentJamo(u'닭'), u"ㄷㅏㄹㄱ");
    EXPECT_EQ(cwt::SentJamo(u'뷁'), u"ㅂㅜㅔㄹㄱ");  // ㅞ = ㅜ ㅔ
    EXPECT_EQ(cwt::SentJamo(u'예'), u"ㅇㅕㅣ");
    // Compatibility jamo typed alone split the same way; ㄸ ㅃ ㅉ are doubled initials.
    EXPECT_EQ(cwt::SentJamo(u'ㄱ'), u"ㄱ");
    EXPECT_EQ(cwt::SentJamo(u'ㄲ'), u"ㄱㄱ");
    EXPECT_EQ(cwt::SentJamo(u'ㄸ'), u"ㄷㄷ");
    EXPECT_EQ(cwt::SentJamo(u'ㄺ'), u"ㄹㄱ");
    EXPECT_EQ(cwt::SentJamo(u'ㅉ'), u"ㅈㅈ");
    EXPECT_EQ(cwt::SentJamo(u'ㅎ'), u"ㅎ");
    EXPECT_EQ(cwt::SentJamo(u'ㅘ'), u"ㅗㅏ");
    EXPECT_EQ(cwt::SentJamo(u'ㅣ'), u"ㅣ");
    EXPECT_EQ(cwt::SentJamo(u'A'), u"");
    // Every syllable's jamo are the jamo of the letters the main window sends for it.
    for (char32_t s = cwt::kFirstSyllable; s <= cwt::kLastSyllable; s += 97) {
        std::u16string fromLetters;
        const std::string letters = cwt::HangulToLetters(s).value();
        for (char letter : letters) fromLetters += cwt::JamoOfLetter(letter);
        EXPECT_EQ(cwt::SentJamo(static_cast<char16_t>(s)), fromLetters);
    }
}

class DrawnItems : public ::testing::Test {
protected:
    std::vector<std::u16string> draw(Course course, int lesson, ItemKind kind, int count = 200) {
        return cwt::DrawItems(course, lesson, kind, count, m_random);
    }
    std::mt19937 m_random{20240613};
};

TEST_F(DrawnItems, EnglishGroupsUseOnlyLearnedCharactersAndHearTheNewestOne) {
    for (int lesson : {1, 2, 12, 39}) {
        const std::u16string learned = cwt::LessonSymbols(Course::English, lesson);
        std::map<char16_t, int> heard;
        for (const auto& group : draw(Course::English, lesson, ItemKind::Groups)) {
            ASSERT_EQ(group.size(), 5u);
            for (char16_t c : group) {
                ASSERT_NE(learned.find(c), std::u16string::npos) << lesson;
                ++heard[c];
            }
        }
        EXPECT_EQ(heard.size(), learned.size()) << "every learned character is heard";
        // The newest character is drawn about twice as often as an older one.
        if (lesson == 12) {
            EXPECT_GT(heard[learned.back()], 1.5 * heard[learned.front()]);
        }
    }
}

TEST_F(DrawnItems, KoreanGroupsAreSyllablesOfLearnedJamoOnly) {
    for (int lesson : {1, 2, 6, 25}) {
        const std::u16string learned = cwt::LessonSymbols(Course::Korean, lesson);
        std::set<char16_t> syllables;
        for (const auto& group : draw(Course::Korean, lesson, ItemKind::Groups)) {
            ASSERT_EQ(group.size(), 5u);
            for (char16_t syllable : group) {
                ASSERT_TRUE(cwt::HangulToLetters(syllable)) << "not a syllable";
                for (char16_t jamo : cwt::SentJamo(syllable))
                    ASSERT_NE(learned.find(jamo), std::u16string::npos)
                        << "lesson " << lesson << ": " << Utf8(std::u16string(1, syllable));
                syllables.insert(syllable);
            }
        }
        if (lesson == 1) {  // ㅇ and ㅏ: 아, and 앙 with the final consonant
            EXPECT_EQ(syllables, (std::set<char16_t>{u'아', u'앙'}));
        }
    }
}

TEST_F(DrawnItems, WordsComeFromTheListAndAreMadeOfLearnedCharacters) {
    EXPECT_EQ(cwt::CheckItems(Course::English, 1, ItemKind::Words), ItemShortage::NoWords);
    EXPECT_TRUE(draw(Course::English, 1, ItemKind::Words).empty());
    const std::u16string learned = cwt::LessonSymbols(Course::English, 5);  // KMRSUA
    const auto words = draw(Course::English, 5, ItemKind::Words, 100);
    ASSERT_EQ(words.size(), 100u);
    for (size_t i = 0; i < words.size(); ++i) {
        for (char16_t c : words[i]) ASSERT_NE(learned.find(c), std::u16string::npos);
        if (i > 0) {
            EXPECT_NE(words[i], words[i - 1]) << "the same word twice in a row";
        }
    }
    // Korean words count their jamo: 나라 needs ㄴ ㅏ ㄹ, so it comes with ㄹ (lesson 7).
    auto has = [](const std::vector<std::u16string_view>& list, std::u16string_view word) {
        return std::find(list.begin(), list.end(), word) != list.end();
    };
    const auto lesson6 = cwt::WordsOfLesson(Course::Korean, cwt::LessonSymbols(Course::Korean, 6));
    const auto lesson7 = cwt::WordsOfLesson(Course::Korean, cwt::LessonSymbols(Course::Korean, 7));
    EXPECT_FALSE(has(lesson6, u"나라"));
    EXPECT_TRUE(has(lesson7, u"나라"));
    EXPECT_TRUE(has(lesson6, u"아기"));
    EXPECT_EQ(cwt::CheckItems(Course::Korean, 1, ItemKind::Words), ItemShortage::None);  // 아
    // Every word of both lists can be reached by the course's last lesson.
    for (Course course : {Course::English, Course::Korean})
        EXPECT_EQ(cwt::WordsOfLesson(course, cwt::CourseOrder(course)).size(),
                  cwt::CourseWords(course).size());
}

TEST_F(DrawnItems, CallSignsAreKoreanStyleAndWaitForTheirCharacters) {
    EXPECT_EQ(cwt::CheckItems(Course::Korean, 25, ItemKind::CallSigns),
              ItemShortage::CallSignsNotInCourse);
    // H comes with lesson 27, L long before, and the digits 0 and 5 too.
    EXPECT_EQ(cwt::CheckItems(Course::English, 26, ItemKind::CallSigns),
              ItemShortage::NoCallSignPrefix);
    EXPECT_EQ(cwt::CheckItems(Course::English, 27, ItemKind::CallSigns), ItemShortage::None);
    const std::u16string learned = cwt::LessonSymbols(Course::English, 27);
    for (const auto& call : draw(Course::English, 27, ItemKind::CallSigns)) {
        ASSERT_GE(call.size(), 5u);
        ASSERT_LE(call.size(), 6u);
        EXPECT_EQ(call.substr(0, 2), u"HL");  // DS needs D, from lesson 37
        EXPECT_TRUE(call[2] >= u'0' && call[2] <= u'9');
        EXPECT_NE(learned.find(call[2]), std::u16string::npos);
        for (char16_t c : call.substr(3)) {
            EXPECT_TRUE(c >= u'A' && c <= u'Z');
            EXPECT_NE(learned.find(c), std::u16string::npos);
        }
    }
    std::set<std::u16string> prefixes;
    for (const auto& call : draw(Course::English, 39, ItemKind::CallSigns))
        prefixes.insert(call.substr(0, 2));
    EXPECT_EQ(prefixes, (std::set<std::u16string>{u"HL", u"DS"}));
}

}  // namespace
