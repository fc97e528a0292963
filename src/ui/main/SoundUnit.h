#pragma once
// The main window: the text to send, the tone and timing controls, the sending controls and
// their displays, the procedure-sign buttons and the status bar. It owns the wave component.
//
// A send runs inside the handler that started it (Start, the pause button's resume, a macro,
// a sign button, a typed character, a mouse click on the big letter, the random groups).
// Every wait for sound blocks on the event loop, so Stop, Pause, key presses, menu choices,
// timer ticks and the wave device's notices are handled nested inside the running send. The
// send looks at the Start button's enabled state and the pause button's down state between
// bytes, so a stop or pause takes effect when the letter being played is over.
//
// The controls keep the names of the window's layout and are public, as the controls of a
// form are: the other windows and the tests reach them by name.

#include <QMainWindow>
#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "engine/morse/Timing.h"
#include "engine/morse/TranscriptDecoder.h"
#include "sound/CodePlayer.h"
#include "sound/WaveDevice.h"
#include "ui/common/SendPort.h"
#include "ui/common/WindowFrame.h"
#include "ui/macros/MacroHotKeys.h"

class QAction;
class QCheckBox;
class QDockWidget;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QTimer;
class QWidget;

class CodePictures;
class CopyPracticeWindow;
class SendingPracticeWindow;
class RadioGroup;
class TEditMacrosForm;
class TForm2;
class TMorseCodeForm;
class TVolumeForm;
class TVelWaveCtrl;
class KeyPreview;
struct TWaveHdr;

class KeyingDialog;

namespace cwt {
class HardwarePorts;
class TransmitterKeyer;
class TVelEdit;
class TVelLabel;
class TVelSpeedButton;
struct SendUnit;
struct ShiftState;
}  // namespace cwt

using cwt::TVelEdit;
using cwt::TVelLabel;
using cwt::TVelSpeedButton;

class TForm1 : public QMainWindow, public cwt::SendPort, private MacroHost {
    Q_OBJECT

public:
    // `device` is the wave output behind VelWaveCtrl1: none chooses the sound server, a
    // simulated device lets the tests send at full speed.
    explicit TForm1(std::unique_ptr<cwt::WaveDevice> device = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // The windows the main window shows on demand; created after it, in the program's order.
    void setWindows(TMorseCodeForm* chart, TForm2* memo, TVolumeForm* mixer,
                    TEditMacrosForm* macros);

    // ----- Sending (the sequencer) -----
    void AutoStartButtonClick(QObject* Sender);
    void AutoStopButtonClick(QObject* Sender);
    void PauseButtonClick(QObject* Sender);
    void BeginSending(QObject* Sender);
    void SendChar(uint8_t Ch, bool characterGap, bool syllableEnd);
    void SendSign(std::string_view signText);
    void SendStartMark();
    void SendErrorSign();
    void SendKRSign();
    // Plays one code string and returns when it has sounded.
    void PlayCode(std::string_view code, bool syllableEnd);
    // Queues one letter of a sign; `nextChar` is the letter to show when it is done.
    void QueueCode(std::string_view code, uint8_t nextChar, bool syllableEnd);
    // The wave component's notice that a buffer has played (user value, its bytes).
    void VelWaveCtrl1PlayDone(TVelWaveCtrl* Sender, const TWaveHdr* Header, const uint8_t* Buffer);
    // Ends the recording of VelWaveCtrl1.
    void StopRecording();

    // ----- Keys, random groups, sign buttons, live typing, mouse keying -----
    // Sees every key pressed anywhere in the window before the focused control and runs the
    // macro hot keys of the macro editor's table; setting `Key` to 0 keeps the key from the
    // control.
    void FormKeyDown(uint16_t& Key, cwt::ShiftState Shift);
    void RandomSoundButtonClick(QObject* Sender);
    QString RandomGroup(int count, int groups, int set);
    void FuncButton1Click(QObject* Sender);
    void Edit1KeyPress(QChar key);
    void Label5MouseDown(Qt::MouseButton button);
    void RecordButtonClick(QObject* Sender);

    // ----- Window handlers -----
    void N6Click(QObject* Sender);
    void N2Click(QObject* Sender);
    void N4Click(QObject* Sender);
    void DoubleSpaceTrimCheckClick(QObject* Sender);
    void vuswlq1Click(QObject* Sender);
    void VolumeMenuClick(QObject* Sender);
    void Function1Click(QObject* Sender);
    void GroupBox1EndDock(bool floating);
    void Panel3Resize();
    void DispPanelResize();
    void Label10Click();
    void About1Click(QObject* Sender);
    void N10Click(QObject* Sender);
    void N12Click(QObject* Sender);
    void Button1Click(QObject* Sender);
    void Button2Click(QObject* Sender);

    // ----- Sound settings -----
    void BPS8Click(QObject* Sender);
    void Channel_MonoClick(QObject* Sender);
    void SPS5Click(QObject* Sender);
    void Multiple3Click(QObject* Sender);
    void RadioGroup1Click(QObject* Sender);
    void BeepFreqChange(QObject* Sender);
    void BeepFreqCutChange(QObject* Sender);
    void TrackBar1Change(QObject* Sender);
    void SoundControlTypeClick(QObject* Sender);
    void SmallEditChange(QObject* Sender);
    void LargeEditChange(QObject* Sender);
    void CharDelayEditChange(QObject* Sender);
    void WaveVolumeChange(QObject* Sender);

    // ----- Copy practice (SoundUnitPractice.cpp) -----
    // Shows the copy-practice window "수신 연습", made on first use.
    void CopyPracticeMenuClick(QObject* Sender);
    CopyPracticeWindow* copyPractice() const { return m_practice; }
    // Shows the sending-practice window "송신 연습", made on first use.
    void SendingPracticeMenuClick(QObject* Sender);
    SendingPracticeWindow* sendingPractice() const { return m_sending; }

    // ----- The seam of the other windows' sends (SoundUnitPractice.cpp) -----
    // Another window's send goes through this window's sound path and settings, and is a send
    // of this window: Start, the random groups and the live box wait, Stop ends it, and a
    // recording ends with it. False when the window is already sending.
    bool beginSend() override;
    // Stop was pressed here, or the sound failed: the other window's send ends.
    bool sendStopped() const override;
    void endSend() override;
    // The player of this window's sends: the wave output, or the PC speaker when it is chosen.
    cwt::CodePlayer& codePlayer() override { return *m_player; }
    cwt::CodeSettings codeSettings() const override;
    int outputSampleRate() const override;
    // The transmitter of 무선기 키잉 for another window's live key (SoundUnitPractice.cpp).
    cwt::TransmitterKeyer::LiveKeying liveKeying() const override;
    QString liveKeyingRefusal() const override;
    std::shared_ptr<cwt::LiveKeyPath> liveKeyPath() override;
    void stopLive() override;

    // ----- Displays -----
    void Timer1Timer();
    // Elapsed time as the status bar shows it: minutes (hours are not shown), seconds and
    // milliseconds, "nn:ss:zzz".
    static QString FormatElapsed(long long elapsedMs);
    void Memo1Change();
    void ShowCaretPos();
    QString statusText(int panel) const;

    // Byte length of Memo1's lines, each followed by CR LF: the count of status panel 2, and
    // what a macro notes as MacroStartPos before it appends its line.
    int Memo1LinesByteLength() const;
    // Memo1's caret line and column, 0-based, as status panel 0 shows them (plus one).
    std::pair<int, int> Memo1CaretLineColumn() const;

    // ----- Timing and tone values read at every rendering -----
    int DotLength() const { return m_timing.DotLength; }
    int DashLength() const { return m_timing.DashLength; }
    int CharDelay() const { return m_timing.CharDelay; }
    int LongShortRatio() const { return m_timing.LongShortRatio; }
    int SampleBits = 8;
    int ChannelCount = 1;
    int SynthRate = 11025;
    bool PortAccess = false;

    // ----- Sequencer fields -----
    int32_t DispLine = 0;
    int32_t ResumePos = 0;
    int32_t MacroStartPos = 0;
    int32_t GapUnit() const { return m_transcript.GapUnit(); }

    // Dialogs the window opens; the tests replace them. Each returns the chosen file name, or
    // an empty string when the operator cancels.
    std::function<QString()> chooseOpenFile;
    std::function<QString()> chooseSaveFile;
    // Shows a warning to the operator.
    std::function<void(const QString& title, const QString& text)> showWarning;
    // Opens an address in the web browser.
    std::function<void(const QString& url)> openUrl;

    // ----- Controls, as the layout names them -----
    QFrame* Panel2 = nullptr;
    QLabel* BeepFreqLabel = nullptr;
    QLabel* Label3 = nullptr;
    QSlider* BeepFreq = nullptr;
    QLabel* BeepFreqCutLabel = nullptr;
    QSlider* BeepFreqCut = nullptr;
    QLabel* Label1 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label4 = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QLabel* Label6 = nullptr;
    QSpinBox* SpinEdit4 = nullptr;
    RadioGroup* SoundControlType = nullptr;
    RadioGroup* RadioGroup1 = nullptr;
    QPushButton* RecordButton = nullptr;
    RadioGroup* RadioGroup2 = nullptr;
    QPushButton* RandomSoundButton = nullptr;
    QLabel* Label8 = nullptr;
    TVelEdit* SmallEdit = nullptr;
    TVelEdit* LargeEdit = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label7 = nullptr;
    TVelEdit* CharDelayEdit = nullptr;
    QPushButton* Button1 = nullptr;

    QFrame* Panel1 = nullptr;
    QLabel* Label5 = nullptr;
    TVelLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QSlider* WaveVolume = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QLabel* Label10 = nullptr;

    QWidget* CenterPanel = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* DispPanel = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* AutoStartButton = nullptr;
    QPushButton* AutoStopButton = nullptr;
    QPushButton* PauseButton = nullptr;
    QPlainTextEdit* DispMemo = nullptr;
    QPushButton* Button2 = nullptr;

    QMainWindow* Panel3 = nullptr;  // the dock site of the Function box
    QDockWidget* FunctionDock = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    std::array<TVelSpeedButton*, 12> FuncButton{};
    QLineEdit* Edit2 = nullptr;

    QStatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    TVelWaveCtrl* VelWaveCtrl1 = nullptr;

    QMenu* N1 = nullptr;
    QAction* N6 = nullptr;
    QAction* N2 = nullptr;
    QAction* N4 = nullptr;
    QAction* BPS8 = nullptr;
    QAction* BPS16 = nullptr;
    QAction* Channel_Mono = nullptr;
    QAction* Channel_Stereo = nullptr;
    std::array<QAction*, 5> SPS{};       // SPS5, SPS6, SPS11, SPS22, SPS44
    std::array<QAction*, 6> Multiple{};  // Multiple3 … Multiple8
    QAction* OpenSpaceTrimCheck = nullptr;
    QAction* DoubleSpaceTrimCheck = nullptr;
    QAction* StartEndMarkCheck = nullptr;
    QAction* SentenceEndMark = nullptr;
    QAction* vuswlq1 = nullptr;
    QAction* macroAutoStart = nullptr;
    QAction* VolumeMenu = nullptr;      // "볼륨 조절": the mixer dialog
    QAction* TranscriptMenu = nullptr;  // "해독 메모 보기": the memo window
    QAction* Function1 = nullptr;
    QAction* KeyingSetup = nullptr;        // "키잉 설정": the keying dialog
    QAction* TransmitterKeying = nullptr;  // "무선기 키잉": keys a transmitter while sending
    QMenu* PracticeMenu = nullptr;        // "연습"
    QAction* CopyPracticeMenu = nullptr;  // "수신 연습"
    QAction* SendingPracticeMenu = nullptr;  // "송신 연습"
    QAction* About1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N10 = nullptr;
    QAction* N12 = nullptr;

    // Window geometry of the layout: outer size 616 x 567 less the frame (WindowFrame.h).
    static constexpr int kLeft = 323;
    static constexpr int kTop = 185;
    static constexpr int kClientWidth = 616 - kLayoutFrameWidth;
    static constexpr int kClientHeight = 567 - kLayoutFrameHeight;
    static constexpr int kPanel3DockedHeight = 58;
    static constexpr int kPanel3EmptyHeight = 4;
    static constexpr int kDispMemoTopStrip = 38;
    static constexpr int kElapsedTimePanel = 5;

signals:
    // The window has closed: the program ends.
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Layout (SoundUnitLayout.cpp).
    void buildLayout();
    void buildSettingsBand();
    void buildLeftColumn();
    void buildCentre();
    void buildFunctionBox();
    void buildStatusBar();
    void buildMenus();
    void buildSampleFormatMenus();
    void buildOptionsMenu();
    void buildPracticeMenu();
    void connectHandlers();
    void placeBottomAlignedControls();

    // Start-up and shut-down (SoundUnit.cpp).
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();

    // Sending (SoundUnitSending.cpp).
    struct Source;
    bool chooseSource(QObject* Sender, Source& source);
    void runScan(Source& source, int startPosition, bool resuming);
    void sendCharacterUnit(const cwt::SendUnit& unit, int& bytesSent);
    void selectUnit(const Source& source, const cwt::SendUnit& unit);
    void appendDispCell(const QString& cell);
    void addDispLine();
    bool stopped() const;
    bool paused() const;
    void releaseRecordButton();
    void setRecordButtonColour(bool recording);
    void SetEdit1Background(bool focused);
    void setStatusText(int panel, const QString& text);
    void showPicture(int row);
    void clearPicture();

    // Random groups (SoundUnitRandom.cpp).
    void runGroupLoop(int line);
    void writeGroup(const QString& group, int& line, int& groupNumber);
    void sendGroup(const QString& group);

    // What the macro hot keys need from the window (SoundUnitKeys.cpp).
    bool stopButtonEnabled() const override;
    bool edit1IsActiveControl() const override;
    void setEdit1TextCaretAtEnd(const QString& text) override;
    int memo1LinesByteLength() const override;
    void appendMemo1Line(const QString& line) override;
    void setMacroStartPos(int bytePos) override;
    bool macroAutoStartChecked() const override;
    void autoStartButtonClick() override;

    // Names, labels and the Tab order for screen readers and the keyboard
    // (SoundUnitAccessibility.cpp).
    void NameControlsForScreenReaders();
    void OrderControlsForKeyboard();
    // Space, Enter, "." and "-" on the big letter and the link label, which take the focus.
    bool filterActiveLabelKey(QObject* watched, QKeyEvent* event);

    // Failures of the sound and of the recording (SoundUnitFaults.cpp).
    void SoundFailed();
    void DeviceFailed(const QString& message);
    void RecordingStopped();

    // Live sending (SoundUnitLive.cpp).
    bool filterEdit1Event(QEvent* event);
    bool filterBigLetterEvent(QEvent* event);
    void pressToggle(QPushButton* pressed);

    // Menus and options (SoundUnitMenus.cpp).
    void showOpenedFile(const QString& fileName, const std::u16string& text, qint64 undecodable);

    // Keying a transmitter (SoundUnitKeying.cpp).
    void setUpKeying();
    void TransmitterKeyingClick();
    void KeyingSetupClick();
    void KeyingDialogAccepted();

    // Sound settings (SoundUnitSound.cpp).
    void applyTimingToEdits();
    void setUpWaveOutput(std::unique_ptr<cwt::WaveDevice> device);

    cwt::TimingModel m_timing;
    cwt::TranscriptDecoder m_transcript;
    std::unique_ptr<CodePictures> m_pictures;
    std::unique_ptr<cwt::HardwarePorts> m_ports;
    std::unique_ptr<cwt::CodePlayer> m_player;
    cwt::TransmitterKeyer* m_keyer = nullptr;
    KeyingDialog* m_keyingDialog = nullptr;
    cwt::CodePlayer::Sign* m_currentSign = nullptr;  // the sign whose letters QueueCode queues
    KeyPreview* m_keyPreview = nullptr;
    std::unique_ptr<MacroHotKeys> m_hotKeys;
    std::mt19937 m_random;
    bool m_scanPassedEnd = false;

    TMorseCodeForm* m_chart = nullptr;
    TForm2* m_memo = nullptr;
    TVolumeForm* m_mixer = nullptr;
    TEditMacrosForm* m_macros = nullptr;
    CopyPracticeWindow* m_practice = nullptr;
    SendingPracticeWindow* m_sending = nullptr;
    QObject* m_otherSendWatch = nullptr;  // sees Stop end another window's send
    bool m_otherSend = false;             // another window's send holds the sending state

    std::array<QLabel*, 7> m_statusPanels{};
    std::chrono::steady_clock::time_point StartTime{};
    std::chrono::steady_clock::duration PausedTime{};

    int m_activeRuns = 0;           // send runs in progress, nested ones included
    bool m_resumeAfterRun = false;  // a resume waits until the paused run has returned
    bool m_edit1KeyPressAttached = true;
    bool m_shown = false;
    bool m_closed = false;             // the window has closed: the program is ending
    bool m_soundFailureTold = false;   // a stopped send has told the failure being handled
    bool m_stoppingRecording = false;  // the window itself ends the recording
};
