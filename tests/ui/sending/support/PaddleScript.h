#pragma once
// An operator's hands on a keyboard paddle adapter, for the window tests: key presses and
// releases of Left and Right Ctrl (with their native scan codes, as X11 gives them) at planned
// moments, played on the GUI thread in real time.
//
// A text is keyed as an operator uses the keyer's memory: the first element of a letter by
// pressing its lever, every further one by tapping its lever while the element before it sounds.
// The keyer then times every element itself; only the gaps between letters are the hands', so a
// test machine that delivers a key event late by up to a unit still keys the same text.

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>
#include <string_view>
#include <vector>

#include "engine/keyer/KeyerSettings.h"
#include "engine/morse/MorseTable.h"
#include "ui/common/KeyAdapterMapping.h"

namespace cwt::test {

struct KeyAction {
    double atUnits = 0;
    bool dah = false;  // Right Ctrl; else Left Ctrl
    bool press = false;
};

// The presses and releases that key `letters` (Latin letters and blanks) on an iambic keyer,
// in units from the first press; `endUnits` is set to where the last letter's gap ends.
inline std::vector<KeyAction> PlanPaddle(std::string_view letters, double* endUnits = nullptr) {
    std::vector<KeyAction> actions;
    double t = 0;
    for (char letter : letters) {
        if (letter == ' ') {
            t += 4;  // with the letter gap, seven units
            continue;
        }
        double start = t;      // of the element being planned
        double previous = -1;  // the start of the element before it in the letter
        for (char element : CodeOfChar(static_cast<uint8_t>(letter))) {
            if (element != 'S' && element != 'L') continue;
            const bool dah = element == 'L';
            // The first by pressing its lever; the others tapped while the one before sounds.
            const double press = previous < 0 ? start : previous + 0.4;
            actions.push_back({press, dah, true});
            actions.push_back({press + (previous < 0 ? 0.15 : 0.3), dah, false});
            previous = start;
            start += dah ? 4 : 2;
        }
        t = start + 2;  // the element's own space and two more: a three-unit letter gap
    }
    if (endUnits) *endUnits = t;
    return actions;
}

// Sends a Ctrl key press or release as the display server reports a USB paddle adapter's.
inline bool SendCtrl(QWidget* window, bool right, bool press) {
    const cwt::KeyboardKey key = right ? keys::kRightCtrl : keys::kLeftCtrl;
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Control,
                    press ? Qt::ControlModifier : Qt::NoModifier, key.scanCode, key.keySym, 0);
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    return QApplication::sendEvent(target, &event);
}

// Plays `actions` at `wpm` into `window`, returning when the last has been sent.
inline void PlayPaddle(QWidget* window, const std::vector<KeyAction>& actions, int wpm) {
    const double unitMs = std::chrono::duration<double, std::milli>(keyer::KeyerUnit(wpm)).count();
    QElapsedTimer clock;
    clock.start();
    for (const KeyAction& action : actions) {
        const auto due = static_cast<qint64>(action.atUnits * unitMs);
        while (clock.elapsed() < due) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        SendCtrl(window, action.dah, action.press);
    }
}

}  // namespace cwt::test
