// Keying a transmitter from the main window: the check item "무선기 키잉" turns it on with the
// settings of keying.ini, the dialog "키잉 설정" changes them. Every send of the main window
// reaches the keyer through the code player, the copy practice's excepted; the operator's Stop
// also stops the rig's keyer, and closing the window raises the key at once.

#include <QAction>
#include <QPushButton>

#include "rig/TransmitterKeyer.h"
#include "ui/keying/KeyingDialog.h"
#include "ui/keying/KeyingFile.h"
#include "ui/main/SoundUnit.h"

void TForm1::setUpKeying() {
    m_keyer = new cwt::TransmitterKeyer(VelWaveCtrl1, cwt::SystemSerialCalls(), this);
    m_player->setListener(m_keyer);
    // What the other windows send (the copy practice) is for the ears: it never goes on the air.
    m_keyer->offTheAir = [this] { return m_otherSend; };
    connect(m_keyer, &cwt::TransmitterKeyer::problem, this, [this](const QString& message) {
        showWarning(QStringLiteral("무선기 키잉"), message);
    });
    connect(m_keyer, &cwt::TransmitterKeyer::stopped, this,
            [this] { TransmitterKeying->setChecked(false); });
    connect(TransmitterKeying, &QAction::triggered, this, [this] { TransmitterKeyingClick(); });
    connect(KeyingSetup, &QAction::triggered, this, [this] { KeyingSetupClick(); });
    // The operator's Stop: the end of a send by itself must not cut what the rig still sends.
    connect(AutoStopButton, &QPushButton::clicked, m_keyer, &cwt::TransmitterKeyer::stopSending);
    connect(this, &TForm1::closed, m_keyer, &cwt::TransmitterKeyer::finish);
}

void TForm1::TransmitterKeyingClick() {
    if (!TransmitterKeying->isChecked()) {
        m_keyer->finish();
        return;
    }
    // A port that cannot be opened is told in words; the tones go on alone.
    if (!m_keyer->start(ReadKeyingFile(KeyingFilePath()))) TransmitterKeying->setChecked(false);
}

void TForm1::KeyingSetupClick() {
    if (!m_keyingDialog) {
        m_keyingDialog = new KeyingDialog(this);
        connect(m_keyingDialog, &QDialog::accepted, this, [this] { KeyingDialogAccepted(); });
    }
    m_keyingDialog->setSettings(ReadKeyingFile(KeyingFilePath()));
    m_keyingDialog->setState(m_keyer->active() ? m_keyer->statusText()
                                               : QStringLiteral("무선기 키잉이 꺼져 있습니다."));
    m_keyingDialog->show();
    m_keyingDialog->raise();
    m_keyingDialog->activateWindow();
}

void TForm1::KeyingDialogAccepted() {
    const cwt::KeyingSettings settings = m_keyingDialog->settings();
    if (!WriteKeyingFile(KeyingFilePath(), settings))
        showWarning(QStringLiteral("키잉 설정"),
                    QStringLiteral("%1 에 설정을 저장할 수 없습니다. 다음에 무선기 키잉을 켤 때는 "
                                   "저장되어 있던 설정을 씁니다.")
                        .arg(KeyingFilePath()));
    // Keying that is on goes on with the new settings.
    if (TransmitterKeying->isChecked() && !m_keyer->start(settings))
        TransmitterKeying->setChecked(false);
}
