// What each mode keys for a given movement of the levers, edge for edge.
#include <gtest/gtest.h>

#include "tests/engine/keyer/support/KeyerScript.h"

using namespace cwt::keyer;
using namespace cwt::keyer::test;

namespace {

constexpr int kWpm = 20;

KeyerSettings Mode(KeyerMode mode) {
    KeyerSettings settings;
    settings.mode = mode;
    settings.wpm = kWpm;
    return settings;
}

std::vector<KeyEdge> Keyed(const KeyerSettings& settings, const std::vector<LeverEvent>& events,
                           KeyTime lateBy = KeyTime(0)) {
    Keyer keyer(settings);
    return Play(keyer, events, lateBy);
}

std::vector<KeyEdge> Keyed(KeyerMode mode, const std::vector<LeverEvent>& events) {
    return Keyed(Mode(mode), events);
}

std::vector<KeyEdge> Ideal(double startUnits, std::string_view code) {
    return cwt::keyer::test::Ideal(At(startUnits, kWpm), code, Mode(KeyerMode::IambicB));
}

std::vector<LeverEvent> H(Lever lever, double fromUnits, double toUnits) {
    return Hold(lever, fromUnits, toUnits, kWpm);
}

constexpr auto kA = KeyerMode::IambicA;
constexpr auto kB = KeyerMode::IambicB;

}  // namespace

TEST(KeyerIambic, SqueezeReleasedJustAfterTheSecondDahStartsIsKInModeAAndCInModeB) {
    // Dah first, the dit joins; the second dah starts at 6 units, both open a quarter unit later.
    const auto squeeze = H(Lever::Dah, 0, 6.25) + H(Lever::Dit, 0.5, 6.25);
    EXPECT_EQ(Keyed(kA, squeeze), Ideal(0, "-.-"));
    EXPECT_EQ(Keyed(kB, squeeze), Ideal(0, "-.-."));
    // Opened in the dit's space instead: A stops there, B still adds the dah.
    const auto early = H(Lever::Dah, 0, 5.5) + H(Lever::Dit, 0.5, 5.5);
    EXPECT_EQ(Keyed(kA, early), Ideal(0, "-."));
    EXPECT_EQ(Keyed(kB, early), Ideal(0, "-.-"));
}

TEST(KeyerIambic, BothLeversOpenedInOneEventAddOneElementInModeBEvenWhenHeardLate) {
    for (const KeyTime lateBy : {KeyTime(0), KeyTime(std::chrono::milliseconds(7))}) {
        SCOPED_TRACE(lateBy.count());
        // Closed at one instant: the dit starts. Opened together during it, then during the dah.
        const auto inDit = H(Lever::Dit, 0, 0.5) + H(Lever::Dah, 0, 0.5);
        const auto inDah = H(Lever::Dit, 0, 2.5) + H(Lever::Dah, 0, 2.5);
        EXPECT_EQ(Keyed(Mode(kB), inDit, lateBy), Ideal(0, ".-"));
        EXPECT_EQ(Keyed(Mode(kB), inDah, lateBy), Ideal(0, ".-."));
        EXPECT_EQ(Keyed(Mode(kA), inDit, lateBy), Ideal(0, "."));
        EXPECT_EQ(Keyed(Mode(kA), inDah, lateBy), Ideal(0, ".-"));
    }
}

TEST(KeyerIambic, ALeverTappedDuringAnElementGivesItsElementUnlessMemoryIsOff) {
    for (const KeyerMode mode : {kA, kB, KeyerMode::Ultimatic}) {
        // In the dah's tone, and in its space.
        EXPECT_EQ(Keyed(mode, H(Lever::Dah, 0, 1) + H(Lever::Dit, 1.5, 2)), Ideal(0, "-."));
        EXPECT_EQ(Keyed(mode, H(Lever::Dah, 0, 1) + H(Lever::Dit, 3.2, 3.6)), Ideal(0, "-."));
        // The same lever tapped again in its own space.
        EXPECT_EQ(Keyed(mode, H(Lever::Dit, 0, 0.5) + H(Lever::Dit, 1.2, 1.5)), Ideal(0, ".."));
    }
    KeyerSettings noMemory = Mode(kB);
    noMemory.ditMemory = noMemory.dahMemory = false;
    EXPECT_EQ(Keyed(noMemory, H(Lever::Dah, 0, 1) + H(Lever::Dit, 1.5, 2)), Ideal(0, "-"));
    // Still held when the element ends: the state counts without memory too.
    EXPECT_EQ(Keyed(noMemory, H(Lever::Dah, 0, 1) + H(Lever::Dit, 3.5, 4.5)), Ideal(0, "-."));
}

TEST(KeyerModes, OneLeverHeldRepeatsItsElementAndSwappedLeversSwapThem) {
    for (const KeyerMode mode : {kA, kB, KeyerMode::Ultimatic, KeyerMode::Bug}) {
        EXPECT_EQ(Keyed(mode, H(Lever::Dit, 0, 9.5)), Ideal(0, "....."));
    }
    for (const KeyerMode mode : {kA, kB, KeyerMode::Ultimatic}) {
        EXPECT_EQ(Keyed(mode, H(Lever::Dah, 0, 10.5)), Ideal(0, "---"));
    }
    KeyerSettings swapped = Mode(kB);
    swapped.swapLevers = true;
    EXPECT_EQ(Keyed(swapped, H(Lever::Dit, 0, 10.5)), Ideal(0, "---"));
    EXPECT_EQ(Keyed(swapped, H(Lever::Dah, 0, 3.5)), Ideal(0, ".."));
}

TEST(KeyerUltimatic, TheLeverClosedLastWinsAndClosingItAgainRearmsIt) {
    // Dit from 0; the dah joins at 3 and takes over; the dit, opened and closed again during the
    // second dah, takes over from it.
    const auto events = H(Lever::Dit, 0, 9.2) + H(Lever::Dit, 9.5, 15.9) + H(Lever::Dah, 3, 15.9);
    EXPECT_EQ(Keyed(KeyerMode::Ultimatic, events), Ideal(0, "..--.."));
    // Iambic alternates on the same levers.
    EXPECT_EQ(Keyed(kA, events), Ideal(0, "..-.-."));
    // A dit tapped while the dah is held comes once, then the dahs go on.
    EXPECT_EQ(Keyed(KeyerMode::Ultimatic, H(Lever::Dah, 0, 11) + H(Lever::Dit, 1, 1.5)),
              Ideal(0, "-.--"));
}

TEST(KeyerBug, DitsComeByThemselvesAndTheDahLeverKeysByHand) {
    // Three dits, a hand dah, and a dit tapped 0.2 units after the dah: it waits for a space.
    const std::vector<KeyEdge> handDah = {{true, At(7, kWpm)}, {false, At(10.3, kWpm)}};
    const KeyTime spaceAfter = At(10.3, kWpm) + KeyerUnit(kWpm);
    EXPECT_EQ(Keyed(KeyerMode::Bug,
                    H(Lever::Dit, 0, 5.5) + H(Lever::Dah, 7, 10.3) + H(Lever::Dit, 10.5, 10.8)),
              Ideal(0, "...") + handDah + test::Ideal(spaceAfter, ".", Mode(KeyerMode::Bug)));
    // Closed during a dit, the dah waits for the dit's end.
    const std::vector<KeyEdge> waitingDah = {{true, At(2, kWpm)}, {false, At(4, kWpm)}};
    EXPECT_EQ(Keyed(KeyerMode::Bug, H(Lever::Dit, 0, 0.5) + H(Lever::Dah, 1.5, 4)),
              Ideal(0, ".") + waitingDah);
}

TEST(KeyerStraight, TheKeyFollowsTheContactsAsTheyAre) {
    const std::vector<KeyEdge> asKeyed = {
        {true, At(0, kWpm)}, {false, At(1.3, kWpm)}, {true, At(2, kWpm)}, {false, At(5.7, kWpm)}};
    for (const KeyerMode mode : {KeyerMode::Straight, kB, KeyerMode::Bug}) {
        EXPECT_EQ(Keyed(mode, H(Lever::Straight, 0, 1.3) + H(Lever::Straight, 2, 5.7)), asKeyed);
    }
    // In straight mode both paddle levers key, together one long tone.
    EXPECT_EQ(Keyed(KeyerMode::Straight, H(Lever::Dit, 0, 2) + H(Lever::Dah, 1, 3)),
              (std::vector<KeyEdge>{{true, At(0, kWpm)}, {false, At(3, kWpm)}}));
}
