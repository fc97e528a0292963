#include "ui/keying/KeyingDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

#include "rig/HamlibKeyer.h"

namespace {

constexpr int kSerialSpeeds[] = {0, 1200, 4800, 9600, 19200, 38400, 57600, 115200};

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

void ChooseText(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        box->setEditText(text);
}

}  // namespace

KeyingDialog::KeyingDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("KeyingDialog"));
    setWindowTitle(QStringLiteral("키잉 설정"));
    setModal(false);

    outputSerial = new QRadioButton(QStringLiteral("직렬 포트의 키 선 (DTR/RTS)"), this);
    outputRig = new QRadioButton(QStringLiteral("무선기의 내장 키어 (Hamlib)"), this);
    auto* outputs = new QButtonGroup(this);
    outputs->addButton(outputSerial);
    outputs->addButton(outputRig);
    buildSerialGroup();
    buildRigGroup();
    sidetone = new QCheckBox(QStringLiteral("송신음(사이드톤)도 내기"), this);
    state = WrappedLabel(QString(), this);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(outputSerial);
    layout->addWidget(serialGroup);
    layout->addWidget(outputRig);
    layout->addWidget(rigGroup);
    layout->addWidget(sidetone);
    layout->addWidget(state);
    layout->addWidget(buttons);

    connect(outputSerial, &QRadioButton::toggled, this, [this] { enableForOutput(); });
    connect(viaCat, &QRadioButton::toggled, this, [this] { enableForOutput(); });
    connect(refreshDevices, &QPushButton::clicked, this, [this] { listDevices(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    listDevices();
    fillRigModels();
    setSettings({});
    NameControlsForScreenReaders();
    OrderControlsForKeyboard();
}

void KeyingDialog::buildSerialGroup() {
    serialGroup = new QGroupBox(QStringLiteral("직렬 포트"), this);
    device = new QComboBox(serialGroup);
    device->setEditable(true);
    device->setMinimumContentsLength(18);
    refreshDevices = new QPushButton(QStringLiteral("다시 찾기"), serialGroup);
    line = new QComboBox(serialGroup);
    line->addItems({QStringLiteral("DTR"), QStringLiteral("RTS")});
    polarity = new QComboBox(serialGroup);
    polarity->addItems({QStringLiteral("선이 켜지면 키 누름 (보통)"),
                        QStringLiteral("선이 꺼지면 키 누름 (반전)")});
    watchdog = new QSpinBox(serialGroup);
    watchdog->setRange(cwt::kMinWatchdogSeconds, cwt::kMaxWatchdogSeconds);
    watchdog->setSuffix(QStringLiteral(" 초"));
    serialHelp = WrappedLabel(
        QStringLiteral("포트를 열 때 DTR과 RTS를 함께 내립니다. 키가 이 시간보다 오래 눌려 있으면 "
                       "키를 올리고 키잉을 끕니다. 반전 극성에서는 프로그램이 포트를 잡고 있지 "
                       "않으면 키가 눌린 상태가 됩니다."),
        serialGroup);

    auto* deviceRow = new QHBoxLayout;
    deviceRow->addWidget(device, 1);
    deviceRow->addWidget(refreshDevices);
    auto* form = new QFormLayout(serialGroup);
    m_deviceLabel = new QLabel(QStringLiteral("장치"), serialGroup);
    m_lineLabel = new QLabel(QStringLiteral("키 선"), serialGroup);
    m_polarityLabel = new QLabel(QStringLiteral("극성"), serialGroup);
    m_watchdogLabel = new QLabel(QStringLiteral("키 누름 제한"), serialGroup);
    form->addRow(m_deviceLabel, deviceRow);
    form->addRow(m_lineLabel, line);
    form->addRow(m_polarityLabel, polarity);
    form->addRow(m_watchdogLabel, watchdog);
    form->addRow(serialHelp);
}

void KeyingDialog::buildRigGroup() {
    rigGroup = new QGroupBox(QStringLiteral("무선기 키어"), this);
    viaRigctld = new QRadioButton(QStringLiteral("rigctld (네트워크)"), rigGroup);
    rigctldAddress = new QLineEdit(rigGroup);
    rigctldAddress->setPlaceholderText(QStringLiteral("localhost:4532"));
    viaCat = new QRadioButton(QStringLiteral("CAT 포트에 직접"), rigGroup);
    auto* connections = new QButtonGroup(this);
    connections->addButton(viaRigctld);
    connections->addButton(viaCat);
    rigModel = new QComboBox(rigGroup);
    rigPort = new QComboBox(rigGroup);
    rigPort->setEditable(true);
    rigSpeed = new QComboBox(rigGroup);
    for (int baud : kSerialSpeeds)
        rigSpeed->addItem(baud == 0 ? QStringLiteral("모델의 기본값") : QString::number(baud),
                          baud);
    rigHelp = WrappedLabel(
        QStringLiteral("무선기의 키어에는 음절 간격(13단위)이 없습니다. 한글은 자모의 로마자로 "
                       "보내고 음절마다 한 단어로 끊으므로, 음절 사이는 단어 간격이 됩니다. "
                       "속도는 배수와 음폭의 단위 길이에서 WPM으로 정합니다. [AR] [BT] [KN]은 "
                       "+ = ( 로 보내고, 해당하는 글자가 없는 부호는 보내지 않고 알립니다. "
                       "마우스로 친 점과 선은 E와 T로 나갑니다."),
        rigGroup);

    auto* form = new QFormLayout(rigGroup);
    form->addRow(viaRigctld, rigctldAddress);
    form->addRow(viaCat);
    m_modelLabel = new QLabel(QStringLiteral("모델"), rigGroup);
    m_portLabel = new QLabel(QStringLiteral("CAT 포트"), rigGroup);
    m_speedLabel = new QLabel(QStringLiteral("CAT 속도"), rigGroup);
    form->addRow(m_modelLabel, rigModel);
    form->addRow(m_portLabel, rigPort);
    form->addRow(m_speedLabel, rigSpeed);
    form->addRow(rigHelp);
}

void KeyingDialog::fillRigModels() {
    for (const cwt::RigModelInfo& info : cwt::RigModels())
        rigModel->addItem(QStringLiteral("%1 %2 (%3)").arg(info.maker, info.name).arg(info.model),
                          info.model);
}

QStringList KeyingDialog::SerialDevices(const QString& devDir) {
    QDir dir(devDir);
    QStringList names = dir.entryList(
        {QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
        QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    // Adapters first (a PC's ttyS ports are many and mostly not wired), then by kind and number.
    auto key = [](const QString& name) {
        qsizetype digits = name.size();
        while (digits > 0 && name[digits - 1].isDigit()) --digits;
        return std::make_tuple(name.startsWith(QStringLiteral("ttyS")), name.left(digits),
                               name.mid(digits).toInt());
    };
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return key(a) < key(b); });
    QStringList paths;
    for (const QString& name : names) paths << dir.filePath(name);
    return paths;
}

void KeyingDialog::listDevices(const QString& devDir) {
    const QString keyPort = device->currentText();
    const QString catPort = rigPort->currentText();
    const QStringList devices = SerialDevices(devDir);
    for (QComboBox* box : {device, rigPort}) {
        box->clear();
        box->addItems(devices);
    }
    ChooseText(device, keyPort);
    ChooseText(rigPort, catPort);
}

void KeyingDialog::setSettings(const cwt::KeyingSettings& s) {
    (s.output == cwt::KeyOutput::RigKeyer ? outputRig : outputSerial)->setChecked(true);
    ChooseText(device, QString::fromStdString(s.device));
    line->setCurrentIndex(s.line == cwt::ModemLine::Rts ? 1 : 0);
    polarity->setCurrentIndex(s.inverted ? 1 : 0);
    watchdog->setValue(s.watchdogSeconds);
    sidetone->setChecked(s.sidetone);
    (s.connection == cwt::RigConnection::Cat ? viaCat : viaRigctld)->setChecked(true);
    rigctldAddress->setText(QString::fromStdString(s.rigctldAddress));
    const int model = rigModel->findData(s.rigModel);
    rigModel->setCurrentIndex(std::max(model, 0));
    ChooseText(rigPort, QString::fromStdString(s.rigPort));
    const int speed = rigSpeed->findData(s.rigSerialSpeed);
    if (speed >= 0) {
        rigSpeed->setCurrentIndex(speed);
    } else {
        rigSpeed->addItem(QString::number(s.rigSerialSpeed), s.rigSerialSpeed);
        rigSpeed->setCurrentIndex(rigSpeed->count() - 1);
    }
    enableForOutput();
}

cwt::KeyingSettings KeyingDialog::settings() const {
    cwt::KeyingSettings s;
    s.output = outputRig->isChecked() ? cwt::KeyOutput::RigKeyer : cwt::KeyOutput::SerialLine;
    s.device = device->currentText().trimmed().toStdString();
    s.line = line->currentIndex() == 1 ? cwt::ModemLine::Rts : cwt::ModemLine::Dtr;
    s.inverted = polarity->currentIndex() == 1;
    s.watchdogSeconds = watchdog->value();
    s.sidetone = sidetone->isChecked();
    s.connection = viaCat->isChecked() ? cwt::RigConnection::Cat : cwt::RigConnection::Rigctld;
    const QString address = rigctldAddress->text().trimmed();
    if (!address.isEmpty()) s.rigctldAddress = address.toStdString();
    if (rigModel->currentIndex() >= 0) s.rigModel = rigModel->currentData().toInt();
    s.rigPort = rigPort->currentText().trimmed().toStdString();
    s.rigSerialSpeed = rigSpeed->currentData().toInt();
    return s;
}

void KeyingDialog::setState(const QString& text) { state->setText(text); }

void KeyingDialog::enableForOutput() {
    serialGroup->setEnabled(outputSerial->isChecked());
    rigGroup->setEnabled(outputRig->isChecked());
    const bool cat = viaCat->isChecked();
    rigctldAddress->setEnabled(!cat);
    for (QWidget* w : std::initializer_list<QWidget*>{rigModel, rigPort, rigSpeed, m_modelLabel,
                                                      m_portLabel, m_speedLabel})
        w->setEnabled(cat);
}
