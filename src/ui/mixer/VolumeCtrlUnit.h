#pragma once
// The mixer dialog "Volume Control": shows and sets the master volume, balance and mute of a
// sound-server sink and the volume and mute of this program's own playback stream on it, and
// keeps a diagnostic log of what it found.
//
// Created hidden at start-up, which lists the sinks. Every show opens the chosen sink afresh;
// closing the window closes it. Change notices of the sound server arrive on the GUI thread
// and move the track bars with their change handlers detached, so that showing a value never
// writes it back. The controls keep the names of the window's layout and are public, as the
// controls of a form are: the main window and the tests reach them by name.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;

class PulseMixer;

namespace cwt {

// The master line's volume and balance, from its left and right values, with `half` the
// balance bar's half range. Integer arithmetic, quotients truncated toward zero.
struct VolumeBalance {
    int32_t volume = 0;
    int32_t balance = 0;
};
VolumeBalance ReadVolumeBalance(int32_t left, int32_t right, int32_t half);

struct LeftRight {
    int32_t left = 0;
    int32_t right = 0;
};
LeftRight WriteVolumeBalance(int32_t volume, int32_t balance, int32_t half);

}  // namespace cwt

class TVolumeForm : public QWidget {
    Q_OBJECT

public:
    // `parent` is the main window, or none; the form is always a top-level window, hidden
    // until shown. Creating it lists the sound server's sinks (FormCreate).
    explicit TVolumeForm(QWidget* parent = nullptr);
    ~TVolumeForm() override;

    // Shows the window (which opens the chosen sink), or brings it to the front.
    void bringToFront();

    // How the dialog tells the operator about a failure. `error` marks the failures that
    // stop the show step; the others are plain messages. The default opens a modal box
    // without blocking the caller; tests install a recorder.
    using MessageSink = std::function<void(const QString& text, bool error)>;
    void setMessageSink(MessageSink sink);

    // ----- Handlers -----
    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormClose(QObject* Sender);
    void MixerNamesChange(QObject* Sender);
    void tbLeftVolumeChange(QObject* Sender);
    void tbRightVolumeChange(QObject* Sender);
    void tbVolumeChange(QObject* Sender);
    void tbPanChange(QObject* Sender);
    void tbWaveVolumeChange(QObject* Sender);
    void AudioCheckClick(QObject* Sender);
    void WaveCheckClick(QObject* Sender);
    void Button1Click(QObject* Sender);

    // ----- Mixer notices -----
    // A control changed outside this dialog (or through it): re-read it and show it.
    void MixerControlChange(uint32_t controlId);
    // A line came or went; only logged.
    void MixerLineChange(uint32_t lineId);
    // Further notices the mixer window may receive; only logged with their parameter.
    void MomPositionCb(qintptr param);
    void MciSignal(qintptr param);
    void MimMoreData(qintptr param);

    // The values of one of the eight control slots (0 … 7); both 0 when not found.
    bool slotFound(int slot) const;
    int32_t slotLeft(int slot) const;
    int32_t slotRight(int slot) const;

    // ----- Controls of the layout -----
    QLabel* Label2 = nullptr;
    QComboBox* MixerNames = nullptr;  // one entry per sink; the sink's name is the item data
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QSlider* tbLeftVolume = nullptr;  // vertical bars show a value v at position max - v
    QSlider* tbRightVolume = nullptr;
    QSlider* tbVolume = nullptr;
    QSlider* tbPan = nullptr;  // -50 … 50
    QCheckBox* AudioCheck = nullptr;
    QSlider* tbWaveVolume = nullptr;
    QCheckBox* WaveCheck = nullptr;
    QPlainTextEdit* Memo1 = nullptr;  // the diagnostic log
    QPushButton* Button1 = nullptr;   // dump of the master controls
    QLineEdit* Edit1 = nullptr;       // bounds of the last dumped control
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;

    static constexpr int kLeft = 127;
    static constexpr int kTop = 113;
    static constexpr int kWidth = 771;
    static constexpr int kHeight = 408;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct MixerState;

    void buildLayout();
    // Names and the Tab order (VolumeCtrlAccessibility.cpp).
    void NameControlsForScreenReaders();
    void OrderControlsForKeyboard();
    void attachHandlers();
    void detachHandlers();
    void logLine(const QString& line);
    void tell(const QString& text, bool error);

    // The mixer operations of the dialog, on the slots of MixerState.
    bool OpenMixer();
    bool FindLineControl(uint32_t lineId, uint32_t controlType, int slot);
    void ReadControlValues(int slot);
    void WriteControlValues(int slot);
    void SetChannelValue(int slot, int channel, int32_t value);
    void SetControlValues(int slot, int32_t left, int32_t right);
    void ShowControlValues(int slot);
    void LogControlInfo(uint32_t lineId, uint32_t controlType);

    void listMixers();
    void logCaps(bool withSupport);
    bool scanDestinations();
    void scanSources();
    void showSlots();
    int32_t panHalf() const;

    std::unique_ptr<PulseMixer> m_mixer;
    std::unique_ptr<MixerState> m_state;
    MessageSink m_tell;
    std::vector<QMetaObject::Connection> m_handlers;
};
