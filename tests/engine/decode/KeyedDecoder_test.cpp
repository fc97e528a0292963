// The timing-to-text stage on clean and faulty English keying: text, signs, codes that are no
// character, noise, the idle key, odd spacings and input that is no time at all.
#include "engine/decode/KeyedDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/engine/decode/support/DecodeHelpers.h"

namespace cwt {
namespace {

using decode::DecodedChar;
using decode::KeyedDecoder;
using decode::KeyStretch;

// Stretches for a code keyed by hand-written lengths in units: '.' '-' elements, ' ' a letter
// gap, '/' a word gap.
std::vector<KeyStretch> Keyed(std::string_view pattern, double unitMs, double letterUnits = 3,
                              double wordUnits = 7) {
    std::vector<KeyStretch> out;
    double t = 0;
    auto add = [&](bool mark, double units) {
        out.push_back({mark, t, units * unitMs, mark ? 1.0 : 0.0});
        t += units * unitMs;
    };
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == ' ' || c == '/') continue;
        add(true, c == '-' ? 3 : 1);
        if (i + 1 == pattern.size()) break;
        const char next = pattern[i + 1];
        add(false, next == ' ' ? letterUnits : next == '/' ? wordUnits : 1);
    }
    return out;
}

std::string ReadPattern(std::string_view pattern, double unitMs,
                        const decode::DecoderSettings& s = {}) {
    KeyedDecoder decoder(s);
    for (const KeyStretch& stretch : Keyed(pattern, unitMs)) decoder.push(stretch);
    decoder.finish();
    return testgen::DecodedText(decoder.takeCharacters());
}

TEST(KeyedDecoder, ReadsCleanEnglishWithProcedureSignsDigitsAndPunctuation) {
    const std::string text = "CQ CQ DE HL1ABC/P [AR] UR RST 5NN, QTH SEOUL? 73 [SK]";
    const test::Read read = test::KeyAndRead(text, test::Ideal(25));
    EXPECT_EQ(read.text, text);
    ASSERT_FALSE(read.characters.empty());
    EXPECT_EQ(read.characters[0].code, "-.-.");
    EXPECT_FALSE(read.characters[0].wordSpaceBefore);
    EXPECT_TRUE(read.characters[2].wordSpaceBefore);
}

TEST(KeyedDecoder, ReadsTheSignsThisProgramSendsInBrackets) {
    const std::string signs =
        "CQ CQ DE HL1ABC [BT] UR [KN] QRL [AS] CQ [KA] RR [BK] HR [VE] OK "
        "[VVV] TEST [SOS] DE [KR] 73";
    EXPECT_EQ(test::KeyAndRead(signs, test::Ideal(20)).text, signs);
    // Eight dots or more are the error sign, however many.
    EXPECT_EQ(ReadPattern("........ ..........", 60), "[HH][HH]");
    // The same codes as punctuation, for a text that means + = (.
    EXPECT_EQ(test::KeyAndRead("CQ CQ DE HL1ABC [AR] UR [BT] QRL [KN]", test::Ideal(20),
                               {false, 80, true})
                  .text,
              "CQ CQ DE HL1ABC + UR = QRL (");
}

TEST(KeyedDecoder, ShowsACodeThatIsNoCharacterInsteadOfDroppingIt) {
    KeyedDecoder decoder;
    for (const KeyStretch& s : Keyed("..--.- .-", 60)) decoder.push(s);
    decoder.finish();
    const std::vector<DecodedChar> read = decoder.takeCharacters();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_FALSE(read[0].known);
    EXPECT_EQ(read[0].text, "<..--.->");
    EXPECT_EQ(read[0].code, "..--.-");
    EXPECT_TRUE(read[1].known);
    EXPECT_EQ(read[1].text, "A");
}

TEST(KeyedDecoder, CutsTwoLettersKeyedTooCloseWhereTheGapWasLong) {
    // Q and E keyed 1.8 units apart, read as one letter --.-., which is no character.
    std::vector<KeyStretch> stretches = Keyed("- . ... - --.-.", 60);
    KeyStretch& gap = stretches[stretches.size() - 2];
    gap.lengthMs = 1.8 * 60;
    stretches.back().startMs = gap.startMs + gap.lengthMs;
    KeyedDecoder decoder;
    for (const KeyStretch& s : stretches) decoder.push(s);
    decoder.finish();
    const std::vector<DecodedChar> read = decoder.takeCharacters();
    EXPECT_EQ(testgen::DecodedText(read), "TESTQE");
    ASSERT_EQ(read.size(), 6u);
    EXPECT_EQ(read[4].code, "--.-");
    EXPECT_FALSE(read[5].wordSpaceBefore);
}

TEST(KeyedDecoder, IgnoresNoiseSpikesAndKeyBounce) {
    // T E S T at 60 ms a unit, with a 5 ms spike in a letter gap and in an element gap, and a
    // 4 ms break inside a dash.
    const double u = 60;
    const std::vector<KeyStretch> stretches = {
        {true, 0, 3 * u, 1}, {false, 180, 80, 0},    {true, 260, 5, 1},   {false, 265, 95, 0},
        {true, 360, u, 1},   {false, 420, 3 * u, 0}, {true, 600, u, 1},   {false, 660, 28, 0},
        {true, 688, 5, 1},   {false, 693, 27, 0},    {true, 720, u, 1},   {false, 780, u, 0},
        {true, 840, u, 1},   {false, 900, 3 * u, 0}, {true, 1080, 90, 1}, {false, 1170, 4, 0},
        {true, 1174, 86, 1}};
    KeyedDecoder decoder;
    for (const KeyStretch& s : stretches) decoder.push(s);
    decoder.finish();
    const std::vector<DecodedChar> read = decoder.takeCharacters();
    EXPECT_EQ(testgen::DecodedText(read), "TEST");
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[3].startMs, 1080);
    EXPECT_EQ(read[3].endMs, 1260);
}

TEST(KeyedDecoder, IdleEndsTheLetterAndTheWordWithoutTheNextMark) {
    const double u = 60;
    // T E S T, a word gap, E, and the key left up.
    KeyedDecoder live({false, u, false});
    std::vector<KeyStretch> stretches = Keyed("- . ... -/.", u);
    const double lastEnd = stretches.back().startMs + stretches.back().lengthMs;
    for (const KeyStretch& s : stretches) live.push(s);
    live.idle(lastEnd + 0.5 * u);
    EXPECT_EQ(testgen::DecodedText(live.takeCharacters()), "TEST");  // E still open
    live.idle(lastEnd + 2.5 * u);
    EXPECT_EQ(testgen::DecodedText(live.takeCharacters()), " E");
    // The word ended by idling is a word: the next letter comes after a space.
    live.idle(lastEnd + 8 * u);
    live.push({false, lastEnd, 8 * u, 0});
    live.push({true, lastEnd + 8 * u, 3 * u, 1});
    live.idle(lastEnd + 14 * u);
    const std::vector<DecodedChar> next = live.takeCharacters();
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].text, "T");
    EXPECT_TRUE(next[0].wordSpaceBefore);
}

TEST(KeyedDecoder, ReadsFarnsworthAndThisProgramsOwnSpacing) {
    const std::string text = "CQ CQ DE HL1ABC PSE K TNX FER CALL UR RST 599";
    testgen::KeyingOptions farnsworth = test::Ideal(20);
    farnsworth.effectiveWpm = 8;
    EXPECT_EQ(test::KeyAndRead(text, farnsworth).text, text);
    // Letters 7 units apart and words 15, as this program sends: its letter gap is as long as
    // the usual word gap, and is still read as a letter gap from the first one.
    EXPECT_EQ(test::KeyAndRead(text, test::Ideal(20, testgen::Spacing::Program())).text, text);
}

TEST(KeyedDecoder, FindsASpeedFarFromItsGuessBeforeTheFirstLetter) {
    const std::string text = "QRZ? DE DS2XYZ";
    EXPECT_EQ(test::KeyAndRead(text, test::Ideal(40)).text, text);  // 30 ms dots, guess 80
    EXPECT_EQ(test::KeyAndRead(text, test::Ideal(6)).text, text);   // 200 ms dots
}

TEST(KeyedDecoder, GivesTimesAndConfidenceOfEachCharacter) {
    const test::Read clean = test::KeyAndRead("PARIS", test::Ideal(20));
    ASSERT_EQ(clean.characters.size(), 5u);
    EXPECT_DOUBLE_EQ(clean.characters[0].startMs, 0);
    EXPECT_DOUBLE_EQ(clean.characters[0].endMs, 11 * 60);  // .--. ends with its dot
    for (const DecodedChar& c : clean.characters) EXPECT_GT(c.confidence, 0.9) << c.text;

    // A decoder of sound unsure of a mark: the letter is as doubtful as that mark.
    std::vector<KeyStretch> stretches = Keyed(".--. .- .-. .. ...", 60);
    stretches[2].markProbability = 0.6;
    KeyedDecoder decoder;
    for (const KeyStretch& s : stretches) decoder.push(s);
    decoder.finish();
    const std::vector<DecodedChar> read = decoder.takeCharacters();
    ASSERT_EQ(read.size(), 5u);
    EXPECT_LE(read[0].confidence, 0.6);
    EXPECT_GT(read[1].confidence, 0.9);
}

TEST(KeyedDecoder, SkipsInputThatIsNoTime) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    KeyedDecoder decoder;
    decoder.push({true, nan, 60, 1});
    decoder.push({true, 0, -5, 1});
    decoder.push({true, 0, 0, 1});
    decoder.push({true, 0, inf, 1});
    decoder.idle(nan);
    for (KeyStretch s : Keyed("- . ... -", 60)) {
        s.markProbability = s.mark ? 7 : -3;  // out of range: taken as sure
        decoder.push(s);
    }
    decoder.finish();
    const std::vector<DecodedChar> read = decoder.takeCharacters();
    EXPECT_EQ(testgen::DecodedText(read), "TEST");
    for (const DecodedChar& c : read) {
        EXPECT_GE(c.confidence, 0);
        EXPECT_LE(c.confidence, 1);
    }
}

TEST(KeyedDecoder, ClassifiesEveryStretchWithTheUnitOfThatMoment) {
    KeyedDecoder decoder;
    testgen::Feed(decoder, testgen::KeyText("HI ME", test::Ideal(20)), 10, 0);
    decoder.finish();
    const std::vector<decode::ClassifiedStretch> read = decoder.takeStretches();
    using K = decode::StretchKind;
    const std::vector<K> expected = {
        K::Dot,  K::ElementGap, K::Dot,  K::ElementGap, K::Dot, K::ElementGap,
        K::Dot,  K::LetterGap,  K::Dot,  K::ElementGap, K::Dot, K::WordGap,
        K::Dash, K::ElementGap, K::Dash, K::LetterGap,  K::Dot};
    ASSERT_EQ(read.size(), expected.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].kind, expected[i]) << i;
        EXPECT_NEAR(read[i].unitMs, 60, 1) << i;
    }
}

}  // namespace
}  // namespace cwt
