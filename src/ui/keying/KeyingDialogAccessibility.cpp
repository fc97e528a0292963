// The dialog "키잉 설정" for screen readers and for the keyboard: every control carries the
// name of the label beside it, and Tab goes from the choice of output through its settings to
// the sidetone and the buttons.

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "ui/keying/KeyingDialog.h"

void KeyingDialog::NameControlsForScreenReaders() {
    const std::pair<QLabel*, QWidget*> labelled[] = {
        {m_deviceLabel, device},     {m_lineLabel, line},      {m_polarityLabel, polarity},
        {m_watchdogLabel, watchdog}, {m_modelLabel, rigModel}, {m_portLabel, rigPort},
        {m_speedLabel, rigSpeed}};
    for (const auto& [label, control] : labelled) {
        label->setBuddy(control);
        control->setAccessibleName(label->text());
    }
    device->setAccessibleName(QStringLiteral("키잉 직렬 포트 장치"));
    refreshDevices->setAccessibleDescription(QStringLiteral("직렬 포트 목록을 다시 만듭니다"));
    watchdog->setAccessibleDescription(
        QStringLiteral("키가 이 시간보다 오래 눌려 있으면 키를 올리고 키잉을 끕니다"));
    rigctldAddress->setAccessibleName(QStringLiteral("rigctld 주소와 포트"));
    rigModel->setAccessibleName(QStringLiteral("무선기 모델"));
    rigPort->setAccessibleName(QStringLiteral("무선기 CAT 포트"));
    rigSpeed->setAccessibleName(QStringLiteral("무선기 CAT 속도"));
    // The text boxes of the two editable lists are what the keyboard lands on.
    for (QComboBox* box : {device, rigPort})
        box->lineEdit()->setAccessibleName(box->accessibleName());
    if (auto* edit = watchdog->findChild<QLineEdit*>())
        edit->setAccessibleName(watchdog->accessibleName());
    serialGroup->setAccessibleDescription(serialHelp->text());
    rigGroup->setAccessibleDescription(rigHelp->text());
    state->setAccessibleName(QStringLiteral("키잉 상태"));
}

void KeyingDialog::OrderControlsForKeyboard() {
    const QList<QWidget*> order = {
        outputSerial,   device, refreshDevices, line,    polarity, watchdog, outputRig, viaRigctld,
        rigctldAddress, viaCat, rigModel,       rigPort, rigSpeed, sidetone, buttons};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}
