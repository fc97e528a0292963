// Faults operators have met in other keyers: extra dits, lost elements, a keyer that drifts off
// its grid, the first press after a pause ignored.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/engine/keyer/support/KeyerScript.h"

using namespace cwt::keyer;
using namespace cwt::keyer::test;
using namespace std::chrono_literals;

namespace {

KeyerSettings Settings(KeyerMode mode, int wpm) {
    KeyerSettings settings;
    settings.mode = mode;
    settings.wpm = wpm;
    return settings;
}

}  // namespace

TEST(KeyerFieldFaults, ADitTappedAndReleasedWithinItsTimeIsOneDitNotTwo) {
    // An E that turns into I: the lever must be read when the dit's space ends, not earlier.
    for (const KeyerMode mode :
         {KeyerMode::IambicA, KeyerMode::IambicB, KeyerMode::Ultimatic, KeyerMode::Bug}) {
        for (const double releaseUnits : {0.3, 0.99, 1.5, 1.99}) {
            for (const KeyTime lateBy : {0ms, 3ms}) {
                Keyer keyer(Settings(mode, 30));
                EXPECT_EQ(Play(keyer, Hold(Lever::Dit, 0, releaseUnits, 30), lateBy),
                          Ideal(kT0, ".", Settings(mode, 30)))
                    << "released at " << releaseUnits;
            }
        }
    }
}

TEST(KeyerFieldFaults, AThousandElementsEndExactlyWhereTheGridSays) {
    // Each element is asked for by a tap during the one before; the driver wakes 2.5 ms late.
    KeyerSettings settings = Settings(KeyerMode::IambicB, 37);
    settings.weightPercent = 60;
    const KeyTime unit = KeyerUnit(settings.wpm);
    std::mt19937 random(20);
    std::string code;
    std::vector<LeverEvent> events;
    KeyTime start = kT0;
    for (int i = 0; i < 1000; ++i) {
        code += random() % 2 ? '-' : '.';
        const Lever lever = code.back() == '.' ? Lever::Dit : Lever::Dah;
        const KeyTime press = i == 0 ? kT0 : start - (code[i - 1] == '.' ? 2 : 4) * unit + unit / 3;
        events.push_back({lever, true, press});
        events.push_back({lever, false, press + unit / 4});
        start += (lever == Lever::Dit ? 2 : 4) * unit;
    }
    Keyer keyer(settings);
    const std::vector<KeyEdge> edges = Play(keyer, events, 2500us);
    EXPECT_EQ(edges, Ideal(kT0, code, settings));
    ASSERT_FALSE(edges.empty());
    const KeyTime weightShift = DitLength(settings).mark - unit;
    EXPECT_EQ(edges.back().time, start - unit + weightShift) << "the last tone's end";
}

TEST(KeyerFieldFaults, ADitRightAfterADahIsKeptSoDStaysD) {
    const KeyerSettings settings = Settings(KeyerMode::IambicB, 25);
    // Pressed in the dah's space and held for two dits.
    Keyer inSpace(settings);
    EXPECT_EQ(Play(inSpace, Hold(Lever::Dah, 0, 2, 25) + Hold(Lever::Dit, 3.2, 7, 25)),
              Ideal(kT0, "-..", settings));
    // Pressed just after the dah's space: the dit starts at the press.
    Keyer afterSpace(settings);
    EXPECT_EQ(Play(afterSpace, Hold(Lever::Dah, 0, 2, 25) + Hold(Lever::Dit, 4.05, 4.5, 25)),
              Ideal(kT0, "-", settings) + Ideal(At(4.05, 25), ".", settings));
}

TEST(KeyerFieldFaults, IdleKeysNothingAndTheFirstPressAfterAPauseStartsAtOnce) {
    const KeyerSettings settings = Settings(KeyerMode::IambicA, 18);
    Keyer keyer(settings);
    EXPECT_TRUE(keyer.advance(kT0).empty());
    EXPECT_FALSE(keyer.nextWake());
    EXPECT_EQ(Play(keyer, Hold(Lever::Dit, 0, 0.5, 18)), Ideal(kT0, ".", settings));
    EXPECT_FALSE(keyer.nextWake()) << "idle again after the dit";
    // Ten minutes later the dah starts on the instant of its press.
    const KeyTime later = kT0 + 10min + 123457ns;
    keyer.lever({Lever::Dah, true, later});
    EXPECT_EQ(keyer.advance(later + 9ms), Ideal(later, "-", settings));
}
