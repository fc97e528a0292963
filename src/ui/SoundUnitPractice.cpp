// The main window's side of the copy practice: the menu "연습" that opens its window, and the
// send state a practice session holds while it sends through this window's sound path.

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <functional>

#include "audio/VelWaveCtrl.h"
#include "ui/CopyPracticeWindow.h"
#include "ui/SoundUnit.h"

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

}  // namespace

void TForm1::buildPracticeMenu() {
    QMenuBar* bar = menuBar();
    PracticeMenu = new QMenu(QStringLiteral("연습"), bar);
    CopyPracticeMenu = PracticeMenu->addAction(QStringLiteral("수신 연습"));
    bar->insertMenu(About1, PracticeMenu);  // just before "About"
    connect(CopyPracticeMenu, &QAction::triggered, this,
            [this] { CopyPracticeMenuClick(CopyPracticeMenu); });
}

void TForm1::CopyPracticeMenuClick(QObject* /*Sender*/) {
    if (!m_practice) m_practice = new CopyPracticeWindow(this);
    m_practice->show();
    m_practice->raise();
    m_practice->activateWindow();
}

bool TForm1::BeginPracticeSend() {
    if (!AutoStartButton->isEnabled() || VelWaveCtrl1->Playing()) return false;
    if (!m_practiceWatch) {
        // Stop, or a sound failure, ends the session's send as it ends a run: the window is
        // idle again, and a send started afterwards is not the session's.
        m_practiceWatch = new EnabledWatch(AutoStartButton, [this] {
            if (!m_practiceSend) return;
            m_practiceSend = false;
            RandomSoundButton->setEnabled(true);
        });
    }
    BeginSending(nullptr);
    // The pause would resume the editor's text, and the live box would play into the session.
    PauseButton->setEnabled(false);
    Edit1->setEnabled(false);
    m_practiceSend = true;
    return true;
}

bool TForm1::PracticeSendStopped() const { return !m_practiceSend; }

void TForm1::EndPracticeSend() {
    if (!m_practiceSend) return;
    m_practiceSend = false;
    AutoStopButtonClick(nullptr);
    RandomSoundButton->setEnabled(true);
}
