// The sending-practice window keying: the live keyer and its inputs (the keyboard adapter, a
// paddle on a serial port), and the transmitter's key line following it when 송신 is on.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <vector>

#include "components/VelAccessible.h"
#include "rig/paddle/LiveKeyer.h"
#include "rig/paddle/SerialPaddle.h"
#include "ui/common/KeyAdapterFilter.h"
#include "ui/common/SendPort.h"
#include "ui/sending/SendingPracticeWindow.h"

using LiveKeying = cwt::TransmitterKeyer::LiveKeying;

// ----- The keyer -----

void SendingPracticeWindow::openKeyer() {
    openSidetone();
    if (m_keyer) return;
    m_keyer = std::make_unique<cwt::LiveKeyer>(keyerSettings(), sidetoneSink(),
                                               cwt::LiveKeyer::Options{});
    connect(m_keyer.get(), &cwt::LiveKeyer::edgesReady, this, [this] { takeEdges(); });
    connect(m_filter, &cwt::KeyAdapterFilter::leverChanged, m_keyer.get(),
            [keyer = m_keyer.get()](const cwt::keyer::LeverEvent& event) { keyer->lever(event); });
}

void SendingPracticeWindow::closeKeyer() {
    stopInput();
    leaveAir();
    m_keyer.reset();  // the key goes up on the sidetone as the keyer ends
    closeSidetone();
}

void SendingPracticeWindow::keyerSettingsChanged() {
    // The element that sounds keeps its lengths; the next one takes the new ones.
    if (m_keyer) m_keyer->setSettings(keyerSettings());
}

// The edges the keyer handed on since the last call (the sidetone and the key line had them
// from its own thread): read as the stretch's.
void SendingPracticeWindow::takeEdges() {
    if (!m_keyer) return;
    for (const cwt::LiveEdge& live : m_keyer->takeEdges())
        if (m_keying && m_stretch) m_stretch->add(live.edge, live.cut);
    if (const std::optional<cwt::keyer::Lever> stuck = m_keyer->stuckLever(); stuck && m_keying)
        cwt::SetLabelText(StatusLabel,
                          QStringLiteral("%1 레버가 너무 오래 닫혀 있어 놓은 것으로 칩니다. "
                                         "패들이나 어댑터를 확인하세요.")
                              .arg(*stuck == cwt::keyer::Lever::Dah ? QStringLiteral("장점")
                                                                    : QStringLiteral("단점")));
    emit edgesTaken();
}

// ----- Inputs -----

bool SendingPracticeWindow::startInput() {
    if (input() == Input::Keyboard) {
        m_filter->setEnabled(true);
        return true;
    }
    m_paddle = std::make_unique<cwt::SerialPaddle>(*m_serialCalls);
    cwt::LiveKeyer* keyer = m_keyer.get();
    // Both handlers run on the paddle's thread; the keyer takes events from any thread.
    const bool started = m_paddle->start(
        serialConfig(), [keyer](const cwt::keyer::LeverEvent& event) { keyer->lever(event); },
        [this, keyer] {
            keyer->reset();
            QMetaObject::invokeMethod(
                this, [this] { serialLost(); }, Qt::QueuedConnection);
        });
    if (!started) {
        cwt::SetLabelText(StatusLabel, m_paddle->errorText());
        m_paddle.reset();
        return false;
    }
    if (!m_paddle->startNote().isEmpty()) cwt::SetLabelText(StatusLabel, m_paddle->startNote());
    return true;
}

void SendingPracticeWindow::stopInput() {
    m_filter->setEnabled(false);
    if (m_paddle) m_paddle->stop();
    m_paddle.reset();
}

void SendingPracticeWindow::serialLost() {
    if (!m_keying || !m_paddle) return;
    const QString why = m_paddle->lostText();
    stopKeying(why + QStringLiteral(" 키잉을 멈췄습니다."));
}

// ----- Start and stop -----

void SendingPracticeWindow::StartButtonClick() {
    if (m_keying) return;
    openKeyer();
    refreshSidetone();
    m_keyer->setSettings(keyerSettings());
    cwt::SetLabelText(StatusLabel, QString());
    if (!startInput()) return;
    saveChoices();
    m_keying = true;
    setChoicesEnabled(false);
    if (OnAirCheck->isChecked()) takeOnAir();
    refreshOnAir();
    startStretch();
    m_ticker->start();
    if (StatusLabel->text().isEmpty())
        cwt::SetLabelText(StatusLabel,
                          input() == Input::Keyboard
                              ? QStringLiteral("키보드의 패들 키로 보내세요. 멈추려면 Esc.")
                              : QStringLiteral("패들로 보내세요. 멈추려면 Esc."));
    // No field may take the paddle's keys, nor a button a stray Space.
    DecodedView->setFocus();
}

void SendingPracticeWindow::StopButtonClick() { stopKeying(QStringLiteral("키잉을 멈췄습니다.")); }

void SendingPracticeWindow::stopKeying(const QString& status) {
    if (!m_keying) return;
    // The inputs stop first, so that nothing keys after the keyer's reset.
    stopInput();
    if (m_keyer) m_keyer->reset();
    leaveAir();
    m_ticker->stop();
    m_keying = false;
    endStretch(true);
    setChoicesEnabled(true);
    refreshOnAir();
    cwt::SetLabelText(StatusLabel, status);
    StartButton->setFocus();
}

// ----- On the air -----

void SendingPracticeWindow::OnAirCheckClick() {
    if (!OnAirCheck->isChecked())
        leaveAir();
    else if (m_keying)
        takeOnAir();
    refreshOnAir();
}

// Holds the main window's sending state and keys its transmitter from here on.
void SendingPracticeWindow::takeOnAir() {
    if (m_onAir || !m_keyer || m_sender.liveKeying() != LiveKeying::Keyed) return;
    if (!m_sender.beginSend()) {
        cwt::SetLabelText(OnAirLabel, QStringLiteral("본 창이 보내는 중이라 송신하지 않습니다. "
                                                     "본 창의 송신이 끝난 뒤 송신을 다시 켜세요."));
        OnAirCheck->setChecked(false);
        return;
    }
    const std::shared_ptr<cwt::LiveKeyPath> keyLine = m_sender.liveKeyPath();
    if (!keyLine) {
        m_sender.endSend();
        return;
    }
    m_onAir = true;
    keyLine->open();
    m_keyer->setKeyLine(keyLine);
}

// The key line no longer follows the keyer: what it still holds is dropped and the key goes up
// at once (stopLive closes the path before the keyer's thread hears of it).
void SendingPracticeWindow::leaveAir() {
    if (!m_onAir) return;
    m_onAir = false;
    m_sender.stopLive();
    if (m_keyer) m_keyer->setKeyLine(nullptr);
    m_sender.endSend();
}

// Every 20 ms on the air: the main window's Stop ends the keying here as it ends any send of
// its own; 무선기 키잉 turned off, or off after a fault, leaves the practice to the sidetone.
void SendingPracticeWindow::checkOnAir() {
    if (!m_onAir) return;
    if (m_sender.sendStopped()) {
        m_onAir = false;
        m_sender.stopLive();
        if (m_keyer) m_keyer->setKeyLine(nullptr);
        stopKeying(QStringLiteral("본 창에서 멈춰 키잉을 멈췄습니다."));
    } else if (m_sender.liveKeying() != LiveKeying::Keyed) {
        leaveAir();
        OnAirCheck->setChecked(false);
        refreshOnAir();
    }
}

void SendingPracticeWindow::refreshOnAir() {
    QString text;
    const LiveKeying state = m_sender.liveKeying();
    if (m_onAir)
        text = QStringLiteral("송신 중: 무선기의 키 선이 키어를 그대로 따릅니다.");
    else if (state == LiveKeying::Keyed)
        text = OnAirCheck->isChecked()
                   ? QStringLiteral("키잉을 시작하면 무선기의 키 선이 키어를 따릅니다.")
                   : QStringLiteral(
                         "송신을 켜면 무선기의 키 선이 키어를 따릅니다. 꺼져 있으면 "
                         "사이드톤으로만 연습합니다.");
    else
        text = m_sender.liveKeyingRefusal() + QStringLiteral(" 지금은 사이드톤으로만 연습합니다.");
    cwt::SetLabelText(OnAirLabel, text);
}
