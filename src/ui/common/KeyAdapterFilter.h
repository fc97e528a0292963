#pragma once
// A paddle or straight key on keyboard keys (a USB adapter that types Ctrl or brackets), for a
// window that keys: the window installs it, and every press and release of a bound key aimed
// at that window becomes a lever event. Those keys are the paddle's while it is enabled: they
// reach no control and trigger no shortcut.
//
// Auto-repeat is ignored. Every closed lever is released when the window is deactivated
// (another window takes the keyboard), hidden or closed, or the application goes to the
// background (from the event loop, just after), and when the filter is disabled or given
// another mapping (at once): a release that will never come must not leave a key down on the
// transmitter. A release is taken from wherever it arrives (a menu that opened meanwhile), a
// press only in the window. Destroying the filter reports nothing: its owner, which goes with
// it, stops what it fed (the keyer, TransmitterKeyer::stopLive) itself.
//
// Each event's time is the display server's time of the key, on the monotonic clock
// (KeyEventClock), or its arrival where the event carries none.
//
// GUI thread.

#include <QObject>
#include <QPointer>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "ui/common/KeyAdapterMapping.h"
#include "ui/common/KeyEventClock.h"

class QKeyEvent;
class QWidget;

namespace cwt {

// The key of a key event, as a binding names it.
KeyboardKey KeyOf(const QKeyEvent& event);

class KeyAdapterFilter : public QObject {
    Q_OBJECT

public:
    KeyAdapterFilter(QWidget* window, KeyAdapterMapping mapping);
    ~KeyAdapterFilter() override;

    const KeyAdapterMapping& mapping() const { return m_mapping; }
    void setMapping(const KeyAdapterMapping& mapping);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Opens every closed lever now.
    void releaseAll();
    // How much later than the quickest the last key event reached the GUI thread.
    int64_t lastDelayNs() const { return m_clock.lastDelayNs(); }

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void leverChanged(const cwt::keyer::LeverEvent& event);

private:
    bool keyEvent(QObject* watched, QKeyEvent* event);
    void releaseSoon();
    void setHeld(size_t binding, bool held, keyer::KeyTime time);
    bool leverClosed(keyer::Lever lever) const;
    void emitLever(keyer::Lever lever, bool closed, keyer::KeyTime time);

    QPointer<QWidget> m_window;
    KeyAdapterMapping m_mapping;
    bool m_enabled = true;
    std::vector<bool> m_held;  // per binding
    keyer::KeyTime m_lastTime{0};
    KeyEventClock m_clock;
};

}  // namespace cwt
