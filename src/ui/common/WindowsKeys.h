#pragma once
// Key presses in the Windows virtual-key numbers (F1 = 112, A = 65, keypad 0 = 96 …), which
// name the macro keys, and the key preview of a window: a handler that sees every key
// pressed in the window before the focused control does.

#include <QObject>
#include <QPointer>
#include <Qt>
#include <cstdint>
#include <functional>

#include "engine/config/MacroKeys.h"

class QKeyEvent;
class QWidget;

// The virtual-key number of a key press, or 0 for keys that have none. Keypad keys count
// as keypad keys only while Num Lock is on, as on Windows (with it off they are the
// cursor keys they are labelled with). Shifted punctuation gives its unshifted key on a
// US layout, because the number names the key, not the character.
uint16_t WindowsKeyOf(const QKeyEvent& event);
uint16_t WindowsKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

cwt::ShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers);

// Calls its handler for every key press aimed at a control of `window` (or at the window
// itself), before that control sees it. The handler gets the virtual-key number and the
// modifiers; when it sets the number to 0 the key press goes no further.
class KeyPreview : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(uint16_t& key, cwt::ShiftState shift)>;

    KeyPreview(QWidget* window, Handler handler);
    ~KeyPreview() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    Handler m_handler;
};
