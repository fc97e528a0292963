#pragma once
// Which keyboard keys are a paddle's levers or a straight key. USB paddle adapters that type
// keys send Left Ctrl and Right Ctrl (the Vail adapter) or `[` and `]` (VBand); a straight key
// may be any key the operator chooses. A value the window keeps in its settings (toSetting,
// fromSetting); nothing here reads a key event.

#include <QString>
#include <Qt>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/keyer/KeyEvents.h"

namespace cwt {

// One key as the keyboard reports it. Qt gives both Ctrl keys as Qt::Key_Control: the native
// scan code tells them apart. On Linux, X11 and Wayland both give the xkb key code, which is the
// kernel's (evdev) key code + 8, whatever the layout: it names the key an adapter presses even
// where the layout puts another character on it. Where a platform gives none, the key symbol
// (X keysym) and last Qt's key name it.
struct KeyboardKey {
    uint32_t scanCode = 0;  // xkb key code: Left Ctrl 37, Right Ctrl 105, `[` 34, `]` 35
    uint32_t keySym = 0;    // X keysym: XK_Control_L 0xffe3, XK_Control_R 0xffe4, `[` 0x5b
    int qtKey = 0;          // Qt::Key

    // The same key: by scan code when both have one, else by key symbol, else by Qt's key.
    bool sameKey(const KeyboardKey& other) const;
    // How the operator knows the key ("왼쪽 Ctrl", "[", "Space" …).
    QString name() const;
    bool operator==(const KeyboardKey&) const = default;
};

struct KeyBinding {
    KeyboardKey key;
    keyer::Lever lever = keyer::Lever::Dit;
    bool operator==(const KeyBinding&) const = default;
};

namespace keys {
inline constexpr KeyboardKey kLeftCtrl{37, 0xffe3, Qt::Key_Control};
inline constexpr KeyboardKey kRightCtrl{105, 0xffe4, Qt::Key_Control};
inline constexpr KeyboardKey kLeftBracket{34, 0x5b, Qt::Key_BracketLeft};
inline constexpr KeyboardKey kRightBracket{35, 0x5d, Qt::Key_BracketRight};
}  // namespace keys

class KeyAdapterMapping {
public:
    // Dit on Left Ctrl and `[`, dah on Right Ctrl and `]` (both adapters at once), no
    // straight key.
    static KeyAdapterMapping defaults();

    const std::vector<KeyBinding>& bindings() const { return m_bindings; }
    // Adds a binding; a key bound already (the same key) is bound anew.
    void bind(const KeyboardKey& key, keyer::Lever lever);
    void unbind(const KeyboardKey& key);
    // The straight key: at most one key; nullopt removes it.
    void setStraightKey(std::optional<KeyboardKey> key);
    std::optional<KeyboardKey> straightKey() const;

    // The binding a pressed key belongs to, or nullptr. A key that only Qt's key names (no
    // scan code, no key symbol) and that names keys of two levers (Ctrl without its side)
    // belongs to none.
    const KeyBinding* bindingOf(const KeyboardKey& pressed) const;

    // One line for a settings file, and back; nullopt for a line that is not one.
    QString toSetting() const;
    static std::optional<KeyAdapterMapping> fromSetting(const QString& line);

    bool operator==(const KeyAdapterMapping&) const = default;

private:
    std::vector<KeyBinding> m_bindings;
};

}  // namespace cwt
