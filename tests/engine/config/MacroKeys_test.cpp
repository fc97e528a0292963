// Macro key names from virtual-key numbers, and which keys are kept from the controls.
#include "engine/config/MacroKeys.h"

#include <gtest/gtest.h>

using cwt::MacroKeyName;
using cwt::ShiftState;

namespace {

constexpr ShiftState kNone{};
constexpr ShiftState kShift{true, false, false};
constexpr ShiftState kAlt{false, true, false};
constexpr ShiftState kCtrl{false, false, true};
constexpr ShiftState kCtrlAlt{false, true, true};

struct Result {
    std::string name;
    uint16_t key;
};

Result press(uint16_t key, ShiftState shift) {
    std::string name = MacroKeyName(key, shift);
    return {name, key};
}

}  // namespace

TEST(MacroKeyName, FunctionKeysWithAndWithoutModifiers) {
    EXPECT_EQ(press(112, kNone).name, "F1");
    EXPECT_EQ(press(123, kNone).name, "F12");
    EXPECT_EQ(press(112, kShift).name, "F1");  // Shift plays no part
    EXPECT_EQ(press(116, kCtrl).name, "^F5");
    EXPECT_EQ(press(116, kAlt).name, "@F5");
    EXPECT_EQ(press(112, kCtrlAlt).name, "^F1");  // Ctrl wins over Alt
    EXPECT_EQ(press(124, kCtrl).name, "");        // F13 is beyond the range
    // A plain function key reaches the controls; with Ctrl or Alt it is kept from them.
    EXPECT_EQ(press(112, kNone).key, 112);
    EXPECT_EQ(press(112, kCtrl).key, 0);
    EXPECT_EQ(press(112, kAlt).key, 0);
}

TEST(MacroKeyName, LettersNeedCtrlOrAlt) {
    EXPECT_EQ(press('A', kCtrl).name, "^A");
    EXPECT_EQ(press('Z', kAlt).name, "@Z");
    EXPECT_EQ(press('Q', kCtrlAlt).name, "^Q");
    const Result plain = press('A', kNone);
    EXPECT_EQ(plain.name, "");
    EXPECT_EQ(plain.key, 'A');
    EXPECT_EQ(press('A', kShift).key, 'A');
    EXPECT_EQ(press('Z', kCtrl).key, 0);
}

TEST(MacroKeyName, KeypadKeysNameLettersAndTheGraveAccent) {
    EXPECT_EQ(press(97, kCtrl).name, "^A");   // keypad 1 selects the Ctrl+A macro
    EXPECT_EQ(press(105, kAlt).name, "@I");   // keypad 9
    EXPECT_EQ(press(96, kCtrl).name, "^`");   // keypad 0
    EXPECT_EQ(press(106, kCtrl).name, "^J");  // keypad *
    EXPECT_EQ(press(111, kAlt).name, "@O");   // keypad /
    EXPECT_EQ(press(97, kNone).name, "");
    EXPECT_EQ(press(97, kCtrl).key, 0);
    // Only the low byte names the key.
    EXPECT_EQ(press(0x141, kCtrl).name, "^A");
}

TEST(MacroKeyName, CopyPasteAndCutPassWhileStillNamingMacros) {
    for (uint16_t letter : {uint16_t('C'), uint16_t('V'), uint16_t('X')}) {
        const Result ctrl = press(letter, kCtrl);
        EXPECT_EQ(ctrl.name, std::string("^") + char(letter));
        EXPECT_EQ(ctrl.key, letter);
        EXPECT_EQ(press(letter, kAlt).key, letter);
    }
    EXPECT_EQ(press('B', kCtrl).key, 0);
}

TEST(MacroKeyName, OtherKeysNameNothingButAreStillKeptWithModifiers) {
    const Result ctrlEnter = press(13, kCtrl);
    EXPECT_EQ(ctrlEnter.name, "");
    EXPECT_EQ(ctrlEnter.key, 0);
    const Result enter = press(13, kNone);
    EXPECT_EQ(enter.name, "");
    EXPECT_EQ(enter.key, 13);
    EXPECT_EQ(press(46, kAlt).name, "");  // Delete
}

TEST(DesktopKeyOf, AltWithFunctionKeysBelongsToTheDesktop) {
    using cwt::DesktopKey;
    using cwt::DesktopKeyOf;
    EXPECT_EQ(DesktopKeyOf(115, kAlt), DesktopKey::ClosesWindow);                 // Alt+F4
    EXPECT_EQ(DesktopKeyOf(115, {true, true, false}), DesktopKey::ClosesWindow);  // with Shift
    EXPECT_EQ(DesktopKeyOf(112, kCtrlAlt), DesktopKey::SwitchesConsole);
    EXPECT_EQ(DesktopKeyOf(123, kCtrlAlt), DesktopKey::SwitchesConsole);
    EXPECT_EQ(DesktopKeyOf(113, kAlt), DesktopKey::WindowCommand);
    EXPECT_EQ(DesktopKeyOf(123, kAlt), DesktopKey::WindowCommand);
    // What the desktops leave alone: function keys without Alt, letters, other keys.
    for (ShiftState free : {kNone, kShift, kCtrl})
        for (uint16_t f = 112; f <= 123; ++f) EXPECT_EQ(DesktopKeyOf(f, free), DesktopKey::Free);
    EXPECT_EQ(DesktopKeyOf('T', kCtrlAlt), DesktopKey::Free);
    EXPECT_EQ(DesktopKeyOf('F', kAlt), DesktopKey::Free);
    EXPECT_EQ(DesktopKeyOf(124, kAlt), DesktopKey::Free);  // F13 names no macro
}
