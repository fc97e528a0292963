// The main window's side of the practice windows: the menu "연습" that opens them (copy
// practice, sending practice, decoding); and the seam through which another window's send
// holds the sending state while it sends through this window's sound path, or keys its
// transmitter from a live key.

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <functional>

#include "sound/VelWaveCtrl.h"
#include "rig/TransmitterKeyer.h"
#include "ui/decoder/DecoderWindow.h"
#include "ui/main/SoundUnit.h"
#include "ui/practice/CopyPracticeWindow.h"
#include "ui/sending/SendingPracticeWindow.h"

namespace {

// Calls back when the watched widget becomes enabled.
class EnabledWatch : public QObject {
public:
    EnabledWatch(QWidget* watched, std::function<void()> enabled)
        : QObject(watched), m_enabled(std::move(enabled)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && static_cast<QWidget*>(watched)->isEnabled())
            m_enabled();
        return false;
    }

private:
    std::function<void()> m_enabled;
};

// "수신 해독" needs nothing of this window: it is found among its children, or made.
void ShowDecoderWindow(QWidget* owner) {
    auto* window = owner->findChild<DecoderWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) window = new DecoderWindow(owner);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

void TForm1::buildPracticeMenu() {
    QMenuBar* bar = menuBar();
    PracticeMenu = new QMenu(QStringLiteral("연습"), bar);
    CopyPracticeMenu = PracticeMenu->addAction(QStringLiteral("수신 연습"));
    bar->insertMenu(About1, PracticeMenu);  // just before "About"
    connect(CopyPracticeMenu, &QAction::triggered, this,
            [this] { CopyPracticeMenuClick(CopyPracticeMenu); });
    SendingPracticeMenu = PracticeMenu->addAction(QStringLiteral("송신 연습"));
    connect(SendingPracticeMenu, &QAction::triggered, this,
            [this] { SendingPracticeMenuClick(SendingPracticeMenu); });
    connect(PracticeMenu->addAction(QStringLiteral("수신 해독")), &QAction::triggered, this,
            [this] { ShowDecoderWindow(this); });
}

void TForm1::CopyPracticeMenuClick(QObject* /*Sender*/) {
    if (!m_practice) m_practice = new CopyPracticeWindow(*this, this);
    m_practice->show();
    m_practice->raise();
    m_practice->activateWindow();
}

void TForm1::SendingPracticeMenuClick(QObject* /*Sender*/) {
    if (!m_sending) m_sending = new SendingPracticeWindow(*this, this);
    m_sending->show();
    m_sending->raise();
    m_sending->activateWindow();
}

bool TForm1::beginSend() {
    if (m_closed || !AutoStartButton->isEnabled() || VelWaveCtrl1->Playing()) return false;
    if (!m_otherSendWatch) {
        // Stop, or a sound failure, ends the other window's send as it ends a run: the window
        // is idle again, and a send started afterwards is not the other window's.
        m_otherSendWatch = new EnabledWatch(AutoStartButton, [this] {
            if (!m_otherSend) return;
            m_otherSend = false;
            RandomSoundButton->setEnabled(true);
        });
    }
    BeginSending(nullptr);
    // The pause would resume the editor's text, and the live box would play into the send.
    PauseButton->setEnabled(false);
    Edit1->setEnabled(false);
    m_otherSend = true;
    return true;
}

bool TForm1::sendStopped() const { return !m_otherSend; }

void TForm1::endSend() {
    if (!m_otherSend) return;
    m_otherSend = false;
    AutoStopButtonClick(nullptr);
    RandomSoundButton->setEnabled(true);
}

int TForm1::outputSampleRate() const { return SamplesPerSecValue(VelWaveCtrl1->SamplesPerSec()); }

cwt::TransmitterKeyer::LiveKeying TForm1::liveKeying() const { return m_keyer->liveKeying(); }

QString TForm1::liveKeyingRefusal() const { return m_keyer->liveRefusal(); }

std::shared_ptr<cwt::LiveKeyPath> TForm1::liveKeyPath() {
    // Only a window that holds the sending state keys live: the main window then sends nothing.
    if (!m_otherSend) return nullptr;
    return m_keyer->livePath();
}

void TForm1::stopLive() { m_keyer->stopLive(); }
