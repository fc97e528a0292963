#pragma once
// Macro key names ("F5", "^A", "@F12") from a key press given as a Windows virtual-key
// number, so the names match the ones stored in the macro file whatever the toolkit.

#include <cstdint>
#include <string>

namespace cwt {

// The modifiers held with a key.
struct ShiftState {
    bool shift = false;
    bool alt = false;
    bool ctrl = false;
};

// Virtual-key numbers the macro code looks at.
inline constexpr uint16_t kVkBack = 8;
inline constexpr uint16_t kVkReturn = 13;
inline constexpr uint16_t kVkEscape = 27;
inline constexpr uint16_t kVkDelete = 46;
inline constexpr uint16_t kVkF1 = 112;
inline constexpr uint16_t kVkF12 = 123;

// The macro key name of `key` with `shift`, or "" when the combination names no macro.
// Function keys give "F1".."F12", with "^" when Ctrl is held, else "@" when Alt is held.
// Other keys whose low byte is 65..122 give "^" or "@" and that character upper-cased;
// this range also holds the keypad keys (96..111), so Ctrl with keypad 1 names "^A".
// Shift plays no part.
//
// Sets `key` to 0 (the key goes to no control) whenever Ctrl or Alt is held, except with
// C, V and X, which keep copy, paste and cut working.
std::string MacroKeyName(uint16_t& key, ShiftState shift);

// What the usual Linux desktops (GNOME, KDE Plasma, Xfce) do with a key combination before a
// program sees it: a macro captured with it does not run from that combination there.
enum class DesktopKey {
    Free,
    ClosesWindow,     // Alt+F4, everywhere
    SwitchesConsole,  // Ctrl+Alt+F1..F12: the text consoles; the same macro runs with Ctrl+Fn
    WindowCommand,    // Alt with another function key: menus, run dialogs, moving and sizing
                      // windows, depending on the desktop
};
DesktopKey DesktopKeyOf(uint16_t key, ShiftState shift);

}  // namespace cwt
