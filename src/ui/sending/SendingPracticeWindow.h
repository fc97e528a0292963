#pragma once
// "송신 연습": sending practice with a paddle, a bug or a straight key, on keyboard keys (a USB
// adapter that types Ctrl or brackets) or a serial port's lines. The keyer runs on a thread of
// its own (LiveKeyer); its sidetone is a stream of its own with the main window's tone, open
// while the window is; what was keyed is decoded as it comes and set against the text asked,
// and after each stretch the window shows the operator's fist: the figures, a score and every
// element against its ideal length. Sessions go into the practice history.
//
// With 무선기 키잉 on and 송신 on, the transmitter's key line follows the keyer at once,
// through the main window's seam (cwt::SendPort); the window then holds the main window's
// sending state, so the main window sends nothing on the air meanwhile, and its Stop stops the
// keying here too.
//
// While the window keys, the paddle's keys belong to the paddle: they move no focus, trigger no
// shortcut and type into no field. Everything else works from the keyboard as usual; Esc stops.

#include <QWidget>
#include <memory>
#include <random>
#include <vector>

#include "engine/keyer/KeyerSettings.h"
#include "engine/practice/KochCourse.h"
#include "engine/sending/KeyedStretch.h"
#include "engine/sending/SendingTexts.h"
#include "rig/paddle/LiveKeyerCore.h"
#include "rig/paddle/SerialPaddle.h"
#include "ui/common/KeyAdapterMapping.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTextBrowser;
class QKeyEvent;
class QTimer;
class QToolButton;
class SendingProgressPlot;
class TimingStrip;

namespace cwt {
class KeyAdapterFilter;
class LiveKeyer;
class ProgressStore;
class SendPort;
class SerialPaddle;
class Sidetone;
}  // namespace cwt

class SendingPracticeWindow : public QWidget {
    Q_OBJECT

public:
    // `sender`: the main window's seam, which outlives this window; `parent`: the window this one
    // belongs to.
    SendingPracticeWindow(cwt::SendPort& sender, QWidget* parent);
    ~SendingPracticeWindow() override;

    enum class Input { Keyboard, Serial };

    // ----- Handlers -----
    void StartButtonClick();
    void StopButtonClick();
    void OnAirCheckClick();
    void NewTextButtonClick();
    void StraightKeyButtonClick();

    // ----- What the window uses -----
    Input input() const;
    cwt::KeyAdapterMapping keyMapping() const;
    cwt::SerialPaddleConfig serialConfig() const;
    cwt::keyer::KeyerSettings keyerSettings() const;
    cwt::Course course() const;
    int lesson() const;
    cwt::SendingTextKind textKind() const;

    bool keying() const { return m_keying; }
    bool onAir() const { return m_onAir; }
    const std::u16string& target() const { return m_target; }
    cwt::ProgressStore& store() { return *m_store; }
    std::mt19937& random() { return m_random; }
    // The system calls a paddle on a serial port goes through; tests give a fake port's.
    void setSerialCalls(const cwt::SerialCalls& calls) { m_serialCalls = &calls; }
    // A stretch ends when the key has stayed up this long (at least this many units of the
    // keyer's speed).
    int pauseMs = 3000;

    // ----- Controls -----
    QComboBox* InputBox = nullptr;             // 입력: keyboard keys or serial port
    QComboBox* KeysBox = nullptr;              // 키: which adapter keys
    QToolButton* StraightKeyButton = nullptr;  // 스트레이트 키: a key of the operator's choice
    QComboBox* PortBox = nullptr;              // 직렬 포트
    QComboBox* DahLineBox = nullptr;           // 장점 선: DSR or DCD
    QCheckBox* SerialStraightCheck = nullptr;  // 스트레이트 키 (CTS)
    QComboBox* SupplyBox = nullptr;            // 전원 선: DTR or RTS
    QComboBox* ModeBox = nullptr;              // 키어 방식
    QSpinBox* SpeedBox = nullptr;              // 속도 (WPM)
    QSpinBox* WeightBox = nullptr;             // 무게 (%)
    QCheckBox* DitMemoryCheck = nullptr;       // 단점 기억
    QCheckBox* DahMemoryCheck = nullptr;       // 장점 기억
    QCheckBox* LetterSpaceCheck = nullptr;     // 자동 문자 간격
    QCheckBox* SwapCheck = nullptr;            // 좌우 바꿈
    QComboBox* TextKindBox = nullptr;          // 보낼 글
    QComboBox* CourseBox = nullptr;            // 과정
    QSpinBox* LessonBox = nullptr;             // 단계
    QSpinBox* CountBox = nullptr;              // 개수
    QLabel* TargetLabel = nullptr;             // the text to key
    QPushButton* NewTextButton = nullptr;      // 새 글
    QPushButton* StartButton = nullptr;        // 키잉 시작
    QPushButton* StopButton = nullptr;         // 멈춤
    QCheckBox* OnAirCheck = nullptr;           // 송신
    QLabel* StatusLabel = nullptr;             // what to do, or why not
    QLabel* OnAirLabel = nullptr;              // whether the transmitter follows, and why not
    QLabel* SidetoneLabel = nullptr;           // which sound path the sidetone takes, or why none
    QTextBrowser* DecodedView = nullptr;       // the keyed text against the target, as it comes
    QTextBrowser* ResultView = nullptr;        // the last stretch: errors, figures, score
    TimingStrip* Strip = nullptr;              // the last stretch's elements against the ideal
    SendingProgressPlot* Plot = nullptr;
    QLabel* StoreLabel = nullptr;  // where the history is kept, or what went wrong

signals:
    // A stretch has ended and its results are shown.
    void stretchEnded();
    // The live keyer handed edges on (after the window has taken them).
    void edgesTaken();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Layout and choices (SendingPracticeWindow.cpp)
    void buildLayout();
    QWidget* buildInput();
    QWidget* buildKeyer();
    QWidget* buildText();
    QWidget* buildKeying();
    QWidget* buildResults();
    void connectHandlers();
    void NameControlsForScreenReaders();
    void OrderControlsForKeyboard();
    void loadChoices();
    void saveChoices();
    void refreshInput();
    void refreshStraightKey();
    bool captureStraightKey(QKeyEvent* event);
    void courseChanged();
    void refreshLesson();
    void showStoreState();
    void setChoicesEnabled(bool enabled);

    // The sidetone (SendingPracticeSidetone.cpp)
    cwt::LiveKeyerCore::EdgeSink sidetoneSink();
    void makeSidetone();
    void openSidetone();
    void refreshSidetone();
    void closeSidetone();
    void showSidetoneState();
    int sidetoneDisturbances() const;
    void markSidetoneStretch();
    void showSidetoneStretch();

    // Keying (SendingPracticeKeying.cpp)
    void openKeyer();
    void closeKeyer();
    bool startInput();
    void stopInput();
    void takeEdges();
    void keyerSettingsChanged();
    void serialLost();
    void takeOnAir();
    void leaveAir();
    void checkOnAir();
    void refreshOnAir();
    void stopKeying(const QString& status);

    // Stretches (SendingPracticeStretch.cpp)
    void drawTarget();
    void startStretch();
    void tick();
    void endStretch(bool stopped);
    void showDecoded();

    cwt::SendPort& m_sender;
    std::unique_ptr<cwt::ProgressStore> m_store;
    std::mt19937 m_random;
    cwt::KeyAdapterMapping m_mapping;
    cwt::KeyAdapterFilter* m_filter = nullptr;
    int m_disturbancesAtStretch = 0;
    cwt::Sidetone* m_sidetone = nullptr;  // a child: ends after the keyer that feeds it
    std::unique_ptr<cwt::LiveKeyer> m_keyer;
    std::unique_ptr<cwt::SerialPaddle> m_paddle;
    const cwt::SerialCalls* m_serialCalls = &cwt::SystemSerialCalls();
    QTimer* m_ticker = nullptr;
    bool m_keying = false;
    bool m_onAir = false;
    bool m_capturingStraightKey = false;
    std::u16string m_target;
    std::unique_ptr<cwt::KeyedStretch> m_stretch;
};
