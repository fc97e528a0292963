#pragma once
// The dialog "키잉 설정": how a transmitter is keyed when "무선기 키잉" is on. Either a serial
// port's DTR or RTS line (device, line, polarity, key-down limit), or the rig's own keyer
// through Hamlib (rigctld over the network, or a rig model on its CAT port); and whether the
// tones still sound as sidetone.
//
// Modeless, so that a send keeps running while it is open. OK (accepted()) hands the settings
// to the main window, which keeps them in keying.ini; Cancel keeps the old ones.

#include <QDialog>
#include <QStringList>

#include "engine/keying/KeyingSettings.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

class KeyingDialog : public QDialog {
    Q_OBJECT
public:
    explicit KeyingDialog(QWidget* parent = nullptr);

    void setSettings(const cwt::KeyingSettings& settings);
    cwt::KeyingSettings settings() const;
    // A line on the state of keying ("키잉: /dev/ttyUSB0 DTR, 실시간 …" or that it is off).
    void setState(const QString& text);

    // The serial devices under `devDir`: ttyS*, ttyUSB* and ttyACM*, in natural order.
    static QStringList SerialDevices(const QString& devDir = QStringLiteral("/dev"));
    // Lists the devices again (the refresh button).
    void listDevices(const QString& devDir = QStringLiteral("/dev"));

    QRadioButton* outputSerial = nullptr;
    QRadioButton* outputRig = nullptr;
    QGroupBox* serialGroup = nullptr;
    QComboBox* device = nullptr;
    QPushButton* refreshDevices = nullptr;
    QComboBox* line = nullptr;
    QComboBox* polarity = nullptr;
    QSpinBox* watchdog = nullptr;
    QLabel* serialHelp = nullptr;
    QGroupBox* rigGroup = nullptr;
    QRadioButton* viaRigctld = nullptr;
    QLineEdit* rigctldAddress = nullptr;
    QRadioButton* viaCat = nullptr;
    QComboBox* rigModel = nullptr;
    QComboBox* rigPort = nullptr;
    QComboBox* rigSpeed = nullptr;
    QLabel* rigHelp = nullptr;
    QCheckBox* sidetone = nullptr;
    QLabel* state = nullptr;
    QDialogButtonBox* buttons = nullptr;

private:
    void buildSerialGroup();
    void buildRigGroup();
    void fillRigModels();
    void enableForOutput();
    void NameControlsForScreenReaders();
    void OrderControlsForKeyboard();

    // Labels of the controls, kept for the names screen readers read.
    QLabel* m_deviceLabel = nullptr;
    QLabel* m_lineLabel = nullptr;
    QLabel* m_polarityLabel = nullptr;
    QLabel* m_watchdogLabel = nullptr;
    QLabel* m_modelLabel = nullptr;
    QLabel* m_portLabel = nullptr;
    QLabel* m_speedLabel = nullptr;
};
