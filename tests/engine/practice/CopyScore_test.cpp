// Scoring a copy: the alignment, Korean on jamo, the session's figures and the pass rule; and
// the effective-speed arithmetic.

#include "engine/practice/CopyScore.h"

#include <gtest/gtest.h>

#include <numeric>

#include "engine/morse/SendDispatch.h"
#include "engine/morse/Timing.h"
#include "engine/practice/EffectiveSpeed.h"

namespace {

using cwt::AlignedPair;
using cwt::Course;

// The alignment as two lines, '_' for nothing: "KMRSU" / "KM_SU".
std::pair<std::u16string, std::u16string> Lines(const std::vector<AlignedPair>& alignment) {
    std::u16string sent, copied;
    for (const AlignedPair& p : alignment) {
        sent += p.sent ? p.sent : u'_';
        copied += p.copied ? p.copied : u'_';
    }
    return {sent, copied};
}

TEST(CopyAlignment, AMissedOrExtraCharacterCostsOneNotTheRestOfTheLine) {
    auto score = [](std::u16string_view sent, std::u16string_view copied) {
        return cwt::ScoreItem(Course::English, sent, copied);
    };
    EXPECT_EQ(score(u"KMRSU", u"KMRSU").errors, 0);
    EXPECT_EQ(score(u"KMRSU", u"kmrsu").errors, 0);     // case does not matter
    EXPECT_EQ(score(u"KMRSU", u" KM RSU ").errors, 0);  // nor blanks
    const auto missed = score(u"KMRSU", u"KMSU");
    EXPECT_EQ(missed.errors, 1);
    EXPECT_EQ(Lines(missed.alignment),
              std::make_pair(std::u16string(u"KMRSU"), std::u16string(u"KM_SU")));
    const auto extra = score(u"KMRSU", u"KMRRSU");
    EXPECT_EQ(extra.errors, 1);
    EXPECT_EQ(score(u"KMRSU", u"KMASU").errors, 1);
    // Substitution is preferred over a miss and an extra: R taken for A.
    EXPECT_EQ(Lines(score(u"KMRSU", u"KMASU").alignment).second, u"KMASU");
    EXPECT_EQ(score(u"KMRSU", u"").errors, 5);
    EXPECT_EQ(score(u"KMRSU", u"MRSUK").errors, 2);  // shifted by one: a miss and an extra
    EXPECT_EQ(score(u"KM", u"KMKMKM").errors, 4);
}

TEST(CopyAlignment, KoreanIsAlignedOnJamo) {
    // 한 → 헌: one wrong vowel costs one jamo of three, not the syllable.
    const auto one = cwt::ScoreItem(Course::Korean, u"한국", u"헌국");
    EXPECT_EQ(one.sentSymbols, 6);  // ㅎㅏㄴ ㄱㅜㄱ
    EXPECT_EQ(one.errors, 1);
    ASSERT_EQ(one.alignment.size(), 6u);
    EXPECT_EQ(one.alignment[1].sent, u'ㅏ');
    EXPECT_EQ(one.alignment[1].copied, u'ㅓ');
    // A missed final consonant costs one.
    EXPECT_EQ(cwt::ScoreItem(Course::Korean, u"안녕", u"아녕").errors, 1);
    // Compound vowels and jamo typed alone count by the jamo they are sent as.
    EXPECT_EQ(cwt::ScoreItem(Course::Korean, u"과자", u"ㄱㅗㅏㅈㅏ").errors, 0);
    EXPECT_EQ(cwt::ScoreItem(Course::Korean, u"과자", u"고자").errors, 1);  // ㅏ of ㅘ missed
    // A Latin letter in a Korean answer is simply wrong.
    EXPECT_EQ(cwt::ScoreItem(Course::Korean, u"아", u"ㅇE").errors, 1);
}

TEST(CopySession, ScoresAccuracyConfusionsAndThePassRule) {
    cwt::SessionScore session;
    EXPECT_EQ(session.percent(), 0);
    EXPECT_FALSE(session.passed());
    session.add(cwt::ScoreItem(Course::English, u"KMRSU", u"KMRSU"));
    EXPECT_EQ(session.percent(), 100);
    session.add(cwt::ScoreItem(Course::English, u"HSSHH", u"H5SHH"));
    session.add(cwt::ScoreItem(Course::English, u"SH5HS", u"5H5HS"));
    EXPECT_EQ(session.sentSymbols(), 15);
    EXPECT_EQ(session.errors(), 2);
    EXPECT_EQ(session.percent(), 86);  // 13 / 15 = 86.7, rounded down
    EXPECT_EQ(session.tallies().at(u'S').sent, 5);
    EXPECT_EQ(session.tallies().at(u'S').correct, 3);
    EXPECT_EQ(session.tallies().at(u'H').correct, 5);
    const auto confusions = session.confusions();
    ASSERT_EQ(confusions.size(), 1u);
    EXPECT_EQ(confusions[0].sent, u'S');
    EXPECT_EQ(confusions[0].copied, u'5');
    EXPECT_EQ(confusions[0].count, 2);
    EXPECT_FALSE(session.passed());  // too short, whatever the score

    // Extra characters cost as much as missed ones, and the score never goes below 0.
    cwt::SessionScore noisy;
    noisy.add(cwt::ScoreItem(Course::English, u"KM", u"KMKMKMKMKM"));
    EXPECT_EQ(noisy.percent(), 0);
}

TEST(CopySession, PassesAtNinetyPercentOverFiftyCharacters) {
    auto session = [](int items, int errorsInTotal) {
        cwt::SessionScore s;
        for (int i = 0; i < items; ++i)
            s.add(
                cwt::ScoreItem(Course::English, u"KMKMK", i < errorsInTotal ? u"KMKMM" : u"KMKMK"));
        return s;
    };
    EXPECT_TRUE(session(10, 5).passed());   // 45 / 50 = 90 %
    EXPECT_FALSE(session(10, 6).passed());  // 44 / 50 = 88 %
    EXPECT_FALSE(session(9, 0).passed());   // 45 characters, all right, too short
    const auto s = session(20, 11);         // 89 / 100
    EXPECT_EQ(s.percent(), 89);
    EXPECT_FALSE(s.passed());
}

TEST(EffectiveSpeed, WordsPerMinuteByParisWithThisProgramsGaps) {
    // P 18, A 12, R 14, I 10, S 12 units with their letter gaps, and the word space 8.
    EXPECT_EQ(cwt::ParisUnits(), 74);
    // The start-up unit, 750 samples at 11025 a second, sends PARIS 11.9 times a minute.
    EXPECT_NEAR(cwt::WpmOfUnitMs(750 * 1000.0 / 11025), 11.92, 0.01);
    EXPECT_NEAR(cwt::WpmOfUnitMs(60 * 1000.0 / 11025), 149.0, 0.1);  // x1 with width 1
    EXPECT_EQ(cwt::WpmOfUnitMs(0), 0);
}

TEST(EffectiveSpeed, ExtraSilenceStretchesTheSendToTheEffectiveSpeed) {
    const auto plan = cwt::PlanWholeSend("PARIS PARIS", {});
    const int unitSamples = 750;
    const double c = cwt::WpmOfUnitMs(unitSamples * 1000.0 / 11025);
    const long long base = cwt::PlanUnits(plan) * unitSamples;

    // At the character speed, and above it, nothing is added.
    for (double s : {c, c + 5, 0.0, -3.0}) {
        const auto none = cwt::ExtraSilence(plan, unitSamples, c, s);
        EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](long long v) { return v == 0; }));
    }

    const auto extra = cwt::ExtraSilence(plan, unitSamples, c, c / 2);
    ASSERT_EQ(extra.size(), plan.size());
    const long long added = std::accumulate(extra.begin(), extra.end(), 0LL);
    EXPECT_EQ(base + added, 2 * base);  // half the speed: twice as long, to the sample
    // Letters get three shares each, the word space four more: 10 letters, one space.
    const long long share = added / (10 * 3 + 4);
    for (size_t i = 0; i < plan.size(); ++i) {
        const bool space = plan[i].code == " !";
        EXPECT_NEAR(extra[i], (space ? 4 : 3) * share, 1) << i;
    }

    // "PARIS PARIS" at 5 WPM lasts two words at 5 WPM, with the word space of the second.
    const double five = 5.0;
    const auto slow = cwt::ExtraSilence(plan, unitSamples, c, five);
    const long long slowTotal = base + std::accumulate(slow.begin(), slow.end(), 0LL);
    const double words = static_cast<double>(cwt::PlanUnits(plan)) / cwt::ParisUnits();
    EXPECT_NEAR(slowTotal / 11025.0, words * 60.0 / five, 0.001);
}

TEST(EffectiveSpeed, JoinedSignLettersAndSyllablesAreHandledByTheirGaps) {
    // The letters of a joined sign run together: only its last letter takes silence.
    const auto sign = cwt::PlanWholeSend("[AR]", {});
    ASSERT_EQ(sign.size(), 2u);
    const auto extra = cwt::ExtraSilence(sign, 100, 20, 10);
    EXPECT_EQ(extra[0], 0);
    EXPECT_GT(extra[1], 0);
    // A Hangul syllable's letters each end with the letter gap and take silence.
    const auto han = cwt::PlanWholeSend("\xC7\xD1", {});  // 한 in code page 949: J E F
    ASSERT_EQ(han.size(), 3u);
    const auto hanExtra = cwt::ExtraSilence(han, 100, 20, 10);
    EXPECT_NEAR(static_cast<double>(hanExtra[1]), static_cast<double>(hanExtra[0]), 1);
    EXPECT_NEAR(static_cast<double>(hanExtra[2]), static_cast<double>(hanExtra[0]), 1);
}

}  // namespace
