#include "ui/common/KeyAdapterFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <chrono>

namespace cwt {

namespace {

keyer::KeyTime Now() { return std::chrono::steady_clock::now().time_since_epoch(); }

}  // namespace

KeyboardKey KeyOf(const QKeyEvent& event) {
    return {event.nativeScanCode(), event.nativeVirtualKey(), event.key()};
}

KeyAdapterFilter::KeyAdapterFilter(QWidget* window, KeyAdapterMapping mapping)
    : QObject(window),
      m_window(window),
      m_mapping(std::move(mapping)),
      m_held(m_mapping.bindings().size(), false) {
    qApp->installEventFilter(this);
}

KeyAdapterFilter::~KeyAdapterFilter() { qApp->removeEventFilter(this); }

void KeyAdapterFilter::setMapping(const KeyAdapterMapping& mapping) {
    releaseAll();
    m_mapping = mapping;
    m_held.assign(m_mapping.bindings().size(), false);
}

void KeyAdapterFilter::setEnabled(bool enabled) {
    if (!enabled) releaseAll();
    m_enabled = enabled;
}

void KeyAdapterFilter::releaseAll() {
    const keyer::KeyTime now = Now();
    for (size_t i = 0; i < m_held.size(); ++i) setHeld(i, false, now);
}

// A window that is being destroyed hides itself when its own members are gone already: the
// release is sent from the event loop, and never if the filter goes with the window.
void KeyAdapterFilter::releaseSoon() {
    QMetaObject::invokeMethod(this, &KeyAdapterFilter::releaseAll, Qt::QueuedConnection);
}

bool KeyAdapterFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return keyEvent(watched, static_cast<QKeyEvent*>(event));
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
        case QEvent::Close:
            if (watched == m_window) releaseSoon();
            break;
        case QEvent::ApplicationStateChange:
            if (QGuiApplication::applicationState() != Qt::ApplicationActive) releaseSoon();
            break;
        default:
            break;
    }
    return false;
}

// Returns true for the keys that are the paddle's.
bool KeyAdapterFilter::keyEvent(QObject* watched, QKeyEvent* event) {
    // A key event reaches the window's QWindow first and then the focused widget: one of them.
    if (!m_enabled || !m_window || !watched->isWidgetType()) return false;
    const KeyBinding* binding = m_mapping.bindingOf(KeyOf(*event));
    if (!binding) return false;
    const auto index = static_cast<size_t>(binding - m_mapping.bindings().data());
    const bool inWindow = static_cast<QWidget*>(watched)->window() == m_window;
    if (event->type() == QEvent::KeyRelease) {
        if (!m_held[index] && !inWindow) return false;
    } else if (!inWindow) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride || event->isAutoRepeat()) {
        event->accept();  // no shortcut, no control takes it
        return true;
    }
    const keyer::KeyTime time{m_clock.timeOf(event->timestamp(), Now().count())};
    setHeld(index, event->type() == QEvent::KeyPress, time);
    event->accept();
    return true;
}

void KeyAdapterFilter::setHeld(size_t binding, bool held, keyer::KeyTime time) {
    if (m_held[binding] == held) return;
    const keyer::Lever lever = m_mapping.bindings()[binding].lever;
    const bool wasClosed = leverClosed(lever);
    m_held[binding] = held;
    if (leverClosed(lever) != wasClosed) emitLever(lever, !wasClosed, time);
}

bool KeyAdapterFilter::leverClosed(keyer::Lever lever) const {
    for (size_t i = 0; i < m_held.size(); ++i)
        if (m_held[i] && m_mapping.bindings()[i].lever == lever) return true;
    return false;
}

void KeyAdapterFilter::emitLever(keyer::Lever lever, bool closed, keyer::KeyTime time) {
    // Server times have a millisecond's grain: events keep their order all the same.
    m_lastTime = std::max(m_lastTime, time);
    emit leverChanged({lever, closed, m_lastTime});
}

}  // namespace cwt
