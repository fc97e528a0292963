#include "ui/common/WindowsKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <array>
#include <utility>

namespace {

struct KeyNumber {
    int qtKey;
    uint16_t vk;
};

// Keys outside the letter, digit and function-key runs. Shifted characters map to the key
// that types them on a US layout.
constexpr std::array kOtherKeys{
    KeyNumber{Qt::Key_Backspace, 8},      KeyNumber{Qt::Key_Tab, 9},
    KeyNumber{Qt::Key_Backtab, 9},        KeyNumber{Qt::Key_Clear, 12},
    KeyNumber{Qt::Key_Return, 13},        KeyNumber{Qt::Key_Enter, 13},
    KeyNumber{Qt::Key_Shift, 16},         KeyNumber{Qt::Key_Control, 17},
    KeyNumber{Qt::Key_Alt, 18},           KeyNumber{Qt::Key_AltGr, 18},
    KeyNumber{Qt::Key_Pause, 19},         KeyNumber{Qt::Key_CapsLock, 20},
    KeyNumber{Qt::Key_Hangul, 21},        KeyNumber{Qt::Key_Hangul_Hanja, 25},
    KeyNumber{Qt::Key_Escape, 27},        KeyNumber{Qt::Key_Space, 32},
    KeyNumber{Qt::Key_PageUp, 33},        KeyNumber{Qt::Key_PageDown, 34},
    KeyNumber{Qt::Key_End, 35},           KeyNumber{Qt::Key_Home, 36},
    KeyNumber{Qt::Key_Left, 37},          KeyNumber{Qt::Key_Up, 38},
    KeyNumber{Qt::Key_Right, 39},         KeyNumber{Qt::Key_Down, 40},
    KeyNumber{Qt::Key_Print, 44},         KeyNumber{Qt::Key_Insert, 45},
    KeyNumber{Qt::Key_Delete, 46},        KeyNumber{Qt::Key_Help, 47},
    KeyNumber{Qt::Key_Meta, 91},          KeyNumber{Qt::Key_Menu, 93},
    KeyNumber{Qt::Key_NumLock, 144},      KeyNumber{Qt::Key_ScrollLock, 145},
    KeyNumber{Qt::Key_Semicolon, 186},    KeyNumber{Qt::Key_Colon, 186},
    KeyNumber{Qt::Key_Equal, 187},        KeyNumber{Qt::Key_Plus, 187},
    KeyNumber{Qt::Key_Comma, 188},        KeyNumber{Qt::Key_Less, 188},
    KeyNumber{Qt::Key_Minus, 189},        KeyNumber{Qt::Key_Underscore, 189},
    KeyNumber{Qt::Key_Period, 190},       KeyNumber{Qt::Key_Greater, 190},
    KeyNumber{Qt::Key_Slash, 191},        KeyNumber{Qt::Key_Question, 191},
    KeyNumber{Qt::Key_QuoteLeft, 192},    KeyNumber{Qt::Key_AsciiTilde, 192},
    KeyNumber{Qt::Key_BracketLeft, 219},  KeyNumber{Qt::Key_BraceLeft, 219},
    KeyNumber{Qt::Key_Backslash, 220},    KeyNumber{Qt::Key_Bar, 220},
    KeyNumber{Qt::Key_BracketRight, 221}, KeyNumber{Qt::Key_BraceRight, 221},
    KeyNumber{Qt::Key_Apostrophe, 222},   KeyNumber{Qt::Key_QuoteDbl, 222},
    KeyNumber{Qt::Key_Exclam, 49},        KeyNumber{Qt::Key_At, 50},
    KeyNumber{Qt::Key_NumberSign, 51},    KeyNumber{Qt::Key_Dollar, 52},
    KeyNumber{Qt::Key_Percent, 53},       KeyNumber{Qt::Key_AsciiCircum, 54},
    KeyNumber{Qt::Key_Ampersand, 55},     KeyNumber{Qt::Key_Asterisk, 56},
    KeyNumber{Qt::Key_ParenLeft, 57},     KeyNumber{Qt::Key_ParenRight, 48},
};

// The operator keys of the keypad.
constexpr std::array kKeypadOperators{
    KeyNumber{Qt::Key_Asterisk, 106}, KeyNumber{Qt::Key_Plus, 107},  KeyNumber{Qt::Key_Minus, 109},
    KeyNumber{Qt::Key_Period, 110},   KeyNumber{Qt::Key_Comma, 110}, KeyNumber{Qt::Key_Slash, 111},
    KeyNumber{Qt::Key_Enter, 13},
};

template <size_t N>
uint16_t lookUp(const std::array<KeyNumber, N>& table, int qtKey) {
    for (const KeyNumber& k : table)
        if (k.qtKey == qtKey) return k.vk;
    return 0;
}

}  // namespace

uint16_t WindowsKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<uint16_t>((keypad ? 96 : 48) + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint16_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<uint16_t>(112 + (qtKey - Qt::Key_F1));
    if (keypad) {
        if (const uint16_t vk = lookUp(kKeypadOperators, qtKey)) return vk;
    }
    return lookUp(kOtherKeys, qtKey);
}

uint16_t WindowsKeyOf(const QKeyEvent& event) {
    return WindowsKeyOf(event.key(), event.modifiers());
}

cwt::ShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers) {
    return cwt::ShiftState{modifiers.testFlag(Qt::ShiftModifier),
                           modifiers.testFlag(Qt::AltModifier),
                           modifiers.testFlag(Qt::ControlModifier)};
}

KeyPreview::KeyPreview(QWidget* window, Handler handler)
    : QObject(window), m_window(window), m_handler(std::move(handler)) {
    qApp->installEventFilter(this);
}

KeyPreview::~KeyPreview() { qApp->removeEventFilter(this); }

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !m_window) return false;
    auto* target = static_cast<QWidget*>(watched);
    if (target->window() != m_window) return false;
    // A key press that the focused control ignores travels on to its parents; the window
    // sees it once, on its way to the control. The control is the window's own focus widget,
    // which Qt delivers the key to, not the application's: that one is gone once the window
    // has lost the focus (closed or left while the key's macro was sending), and the key
    // travelling on to the window would then be taken for a new press of it.
    QWidget* focus = m_window->focusWidget();
    if (target != (focus ? focus : m_window.data())) return false;

    auto* keyEvent = static_cast<QKeyEvent*>(event);
    uint16_t key = WindowsKeyOf(*keyEvent);
    if (key == 0) return false;
    m_handler(key, ShiftStateOf(keyEvent->modifiers()));
    return key == 0;
}
