// What the drivers rely on: speed and weight as defined, settings that change between
// elements, the letter gap kept by itself, reset on focus loss or Stop, a stuck lever let go.
#include <gtest/gtest.h>

#include "engine/practice/EffectiveSpeed.h"
#include "tests/engine/keyer/support/KeyerScript.h"

using namespace cwt::keyer;
using namespace cwt::keyer::test;
using namespace std::chrono_literals;

namespace {

KeyerSettings AtWpm(int wpm) {
    KeyerSettings settings;
    settings.wpm = wpm;
    return settings;
}

}  // namespace

TEST(KeyerTiming, SpeedIsThisProgramsWpmAndWeightMovesEveryToneEndAlike) {
    for (const int wpm : {5, 15, 60}) {
        const double unitMs = KeyerUnit(wpm).count() / 1e6;
        EXPECT_NEAR(cwt::WpmOfUnitMs(unitMs), wpm, 1e-5) << "a unit rounded to the nanosecond";
    }
    EXPECT_EQ(KeyerUnit(5), KeyerUnit(1)) << "out of range speeds are clamped";
    KeyerSettings heavy = AtWpm(20);
    heavy.weightPercent = 75;
    KeyerSettings light = AtWpm(20);
    light.weightPercent = 25;
    const KeyTime unit = KeyerUnit(20);
    const auto ns = [](KeyTime time) { return static_cast<double>(time.count()); };
    EXPECT_NEAR(ns(DitLength(heavy).mark), ns(unit) * 1.5, 1);
    EXPECT_NEAR(ns(DahLength(heavy).mark), ns(unit) * 3.5, 1);
    EXPECT_NEAR(ns(DitLength(light).mark), ns(unit) * 0.5, 1);
    EXPECT_NEAR(ns(DahLength(light).mark), ns(unit) * 2.5, 1);
    EXPECT_EQ(DitLength(heavy).period, 2 * unit);
    EXPECT_EQ(DahLength(light).period, 4 * unit);
}

TEST(KeyerDriver, NewSettingsTakeEffectWithTheNextElement) {
    Keyer keyer(AtWpm(20));
    keyer.lever({Lever::Dit, true, kT0});
    EXPECT_EQ(keyer.advance(kT0), Ideal(kT0, ".", AtWpm(20)));
    keyer.setSettings(AtWpm(40), At(1, 20));
    const KeyTime secondDit = At(2, 20);
    EXPECT_EQ(keyer.nextWake(), secondDit) << "the dit sounding keeps its length";
    EXPECT_EQ(keyer.advance(secondDit + 1ms), Ideal(secondDit, ".", AtWpm(40)));
}

TEST(KeyerDriver, AutomaticLetterSpaceHoldsANewLetterForAFullGap) {
    KeyerSettings settings = AtWpm(20);
    settings.autoLetterSpace = true;
    const KeyTime unit = KeyerUnit(20);
    // The dah comes half a unit after the dit's space: it waits until 3 units after the tone.
    const auto late = Hold(Lever::Dit, 0, 0.5, 20) + Hold(Lever::Dah, 2.5, 3, 20);
    Keyer keyer(settings);
    EXPECT_EQ(Play(keyer, late), Ideal(kT0, ".", settings) + Ideal(kT0 + 4 * unit, "-", settings));
    Keyer plain(AtWpm(20));
    EXPECT_EQ(Play(plain, late), Ideal(kT0, ".", settings) + Ideal(At(2.5, 20), "-", settings));
    // Closed before the space ended, it is part of the letter.
    Keyer within(settings);
    EXPECT_EQ(Play(within, Hold(Lever::Dit, 0, 0.5, 20) + Hold(Lever::Dah, 1.5, 2.5, 20)),
              Ideal(kT0, ".-", settings));
}

TEST(KeyerDriver, ResetRaisesAKeyThatIsDownAndForgetsTheLevers) {
    Keyer keyer(AtWpm(20));
    keyer.lever({Lever::Dah, true, kT0});
    keyer.lever({Lever::Dit, true, kT0 + 1ms});
    EXPECT_EQ(keyer.advance(kT0 + 2ms).size(), 2u);
    EXPECT_EQ(keyer.reset(At(1, 20)), (KeyEdge{false, At(1, 20)})) << "cut in the dah's tone";
    EXPECT_FALSE(keyer.nextWake());
    keyer.lever({Lever::Dah, false, At(5, 20)});
    EXPECT_TRUE(keyer.advance(At(20, 20)).empty()) << "no dit from the memory, nothing more";
    // In an element's space, or idle, the key is up: nothing to raise.
    keyer.lever({Lever::Dit, true, At(21, 20)});
    EXPECT_EQ(keyer.advance(At(21, 20)).size(), 2u);
    EXPECT_FALSE(keyer.reset(At(22.5, 20)));
    EXPECT_FALSE(keyer.reset(At(30, 20)));
    // A hand-keyed tone goes up at the reset.
    keyer.lever({Lever::Straight, true, At(31, 20)});
    EXPECT_EQ(keyer.advance(At(31, 20)).size(), 1u);
    EXPECT_EQ(keyer.reset(At(32, 20)), (KeyEdge{false, At(32, 20)}));
    // A key down that was never handed out is simply dropped.
    keyer.lever({Lever::Straight, true, At(40, 20)});
    EXPECT_FALSE(keyer.reset(At(40, 20)));
}

TEST(KeyerDriver, ALeverHeldTooLongIsLetGoUntilItIsClosedAgain) {
    EXPECT_EQ(StuckLeverLimit(20), 3s);
    EXPECT_EQ(StuckLeverLimit(5), 30 * KeyerUnit(5)) << "five dahs at 5 WPM take 3.1 s";
    Keyer keyer(AtWpm(20));
    const std::vector<KeyEdge> dits = Play(keyer, Hold(Lever::Dit, 0, 1000, 20));
    ASSERT_FALSE(dits.empty());
    EXPECT_LT(dits.back().time, kT0 + 3s);
    EXPECT_GT(dits.back().time, kT0 + 3s - 2 * KeyerUnit(20));
    EXPECT_EQ(keyer.stuckLever(), Lever::Dit);
    keyer.lever({Lever::Dit, true, At(1001, 20)});
    EXPECT_FALSE(keyer.stuckLever());
    EXPECT_EQ(keyer.advance(At(1001, 20)).size(), 2u);
    // A straight key goes up at the limit itself.
    Keyer straight(AtWpm(20));
    EXPECT_EQ(Play(straight, Hold(Lever::Straight, 0, 1000, 20)),
              (std::vector<KeyEdge>{{true, kT0}, {false, kT0 + 3s}}));
    EXPECT_EQ(straight.stuckLever(), Lever::Straight);
}
