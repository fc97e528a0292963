// What the rig's keyer is sent: Hangul as its Latin letters with one word per syllable, signs
// that have a character of their own, codes that have none, and the keyer's speed.
#include "engine/keying/RigText.h"

#include <gtest/gtest.h>

#include "engine/morse/SendDispatch.h"

using namespace cwt;

namespace {

// The text a whole send gives, and the codes that could not be sent.
std::pair<std::string, std::vector<std::string>> RigTextOfSend(std::string_view text,
                                                               SendOptions options = {}) {
    RigTextBuilder builder;
    std::string out;
    std::vector<std::string> unsendable;
    for (const PlannedBuffer& buffer : PlanWholeSend(text, options)) {
        const bool runs = buffer.userValue != 0 && buffer.code.back() != '!';
        auto piece = builder.add(buffer.code, buffer.syllableEnd, runs);
        out += piece.text;
        unsendable.insert(unsendable.end(), piece.unsendable.begin(), piece.unsendable.end());
    }
    return {out, unsendable};
}

}  // namespace

TEST(RigText, HangulGoesAsLatinLettersOneWordPerSyllable) {
    // 한 is J E F, 글 is L D V (CP949 bytes of "한글 CQ").
    EXPECT_EQ(RigTextOfSend("\xC7\xD1\xB1\xDB CQ").first, "JEF LDV  CQ");
    // 예 is S and U, three units apart as the rig's letter gap is.
    EXPECT_EQ(RigTextOfSend("\xBF\xB9").first, "SU ");
}

TEST(RigText, SignsThatAreACharacterGoAsThatCharacter) {
    // Start and end marks: BT and AR, joined.
    EXPECT_EQ(RigTextOfSend("E", {true, false}).first, "=E+");
    // [KN] is "(" ; [SK] has no character and goes letter by letter.
    EXPECT_EQ(RigTextOfSend("[KN][SK]").first, "(SK");
    // Letters a gap mark separates were never joined.
    RigTextBuilder builder;
    EXPECT_EQ(builder.add("LSL!", false, false).text + builder.add("SL!", false, false).text, "KA");
}

TEST(RigText, CodesWithoutACharacterAreListedNotSent) {
    RigTextBuilder builder;
    const auto error = builder.add("SSSSSSSS", false, false);
    EXPECT_EQ(error.text, "");
    EXPECT_EQ(error.unsendable, std::vector<std::string>{"SSSSSSSS"});
    // Mouse keying: a dot and a dash alone are E and T.
    EXPECT_EQ(builder.add("S", false, false).text, "E");
    EXPECT_EQ(builder.add("L", false, false).text, "T");
    // A stop forgets a sign cut in the middle.
    builder.add("SL", false, true);
    builder.clear();
    EXPECT_EQ(builder.add("L!", false, false).text, "T");
}

TEST(RigText, KeyerSpeedFromTheUnit) {
    EXPECT_EQ(KeyerWpm(1200.0 / 20), 20);
    EXPECT_EQ(KeyerWpm(750 * 1000.0 / 11025), 18);  // the start-up unit, 68 ms
    EXPECT_EQ(KeyerWpm(72), 17);                    // the PC speaker's start-up unit
    EXPECT_EQ(KeyerWpm(0), 1);
    EXPECT_EQ(KeyerWpm(5000), 1);
}
