#include "engine/config/MacroKeys.h"

namespace cwt {

namespace {

// The low byte is what names a character key: keys whose number only differs above it
// name the same macro.
constexpr uint8_t lowByte(uint16_t key) { return static_cast<uint8_t>(key & 0xFF); }

bool passesWithModifier(uint16_t key) {
    const uint8_t low = lowByte(key);
    return low == 'C' || low == 'V' || low == 'X';
}

std::string nameOf(uint16_t key, ShiftState shift) {
    if (key >= kVkF1 && key <= kVkF12) {
        const std::string part = "F" + std::to_string(key - kVkF1 + 1);
        if (shift.ctrl) return "^" + part;
        if (shift.alt) return "@" + part;
        return part;
    }
    const uint8_t low = lowByte(key);
    if (low < 65 || low > 122) return {};
    char c = static_cast<char>(low);
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (shift.ctrl) return std::string("^") + c;
    if (shift.alt) return std::string("@") + c;
    return {};
}

}  // namespace

std::string MacroKeyName(uint16_t& key, ShiftState shift) {
    std::string name = nameOf(key, shift);
    if ((shift.ctrl || shift.alt) && !passesWithModifier(key)) key = 0;
    return name;
}

DesktopKey DesktopKeyOf(uint16_t key, ShiftState shift) {
    if (key < kVkF1 || key > kVkF12 || !shift.alt) return DesktopKey::Free;
    if (shift.ctrl) return DesktopKey::SwitchesConsole;
    return key == kVkF1 + 3 ? DesktopKey::ClosesWindow : DesktopKey::WindowCommand;
}

}  // namespace cwt
