#pragma once
// "수신 연습": copy practice by the Koch method. The window sends items (groups of five,
// words, call signs) through the main window's sound path with its tone, width and speed,
// adding silence between letters for a slower effective speed; the operator types what was
// heard; each copy is scored, and the session's score, the accuracy of every character and
// the characters taken for others are shown and kept, with a plot of the progress.
//
// Modeless and usable from the keyboard alone: Enter in the answer box hands in the copy.
// A session is a send of the main window through its seam (cwt::SendPort), so the two never
// play at once. Only the practice history and this window's own choices are kept.

#include <QWidget>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/practice/CopyScore.h"
#include "engine/practice/KochCourse.h"
#include "engine/practice/PracticeItems.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTextBrowser;
class ProgressPlot;

namespace cwt {
class ProgressStore;
class SendPort;
}  // namespace cwt

class CopyPracticeWindow : public QWidget {
    Q_OBJECT

public:
    // `sender`: the main window's seam, which outlives this window; `parent`: the window this one
    // belongs to.
    CopyPracticeWindow(cwt::SendPort& sender, QWidget* parent);
    ~CopyPracticeWindow() override;

    // ----- Handlers -----
    void StartButtonClick();
    void StopButtonClick();
    // Enter in the answer box: the copy of the item just heard.
    void AnswerEditReturn();
    void NextLessonButtonClick();
    void CourseBoxChange();
    void LessonBoxChange();

    // ----- What the window shows and uses -----
    cwt::Course course() const;
    int lesson() const;
    cwt::ItemKind itemKind() const;
    // The speeds in words per minute (PARIS) that the next item is sent with: the main
    // window's, and the effective speed chosen here, never above it.
    double characterWpm() const;
    double effectiveWpm() const;

    bool sessionRunning() const { return m_running; }
    bool itemPlaying() const { return m_playing; }
    const std::vector<std::u16string>& sessionItems() const { return m_items; }
    int itemIndex() const { return m_index; }
    const cwt::SessionScore& sessionScore() const { return m_score; }
    cwt::ProgressStore& store() { return *m_store; }
    // The items are drawn from this; the tests seed it.
    std::mt19937& random() { return m_random; }
    // The pause between a copy handed in and the next item.
    int itemPauseMs = 700;

    // ----- Controls -----
    QComboBox* CourseBox = nullptr;               // 과정
    QSpinBox* LessonBox = nullptr;                // 단계
    QLabel* LessonCharsLabel = nullptr;           // the lesson's characters
    QComboBox* KindBox = nullptr;                 // 문제 종류
    QSpinBox* ItemCountBox = nullptr;             // 문제 수
    QDoubleSpinBox* EffectiveSpeedBox = nullptr;  // 유효 속도
    QLabel* SpeedLabel = nullptr;                 // both speeds in WPM
    QPushButton* StartButton = nullptr;           // 연습 시작
    QPushButton* StopButton = nullptr;            // 연습 멈춤
    QLabel* ProgressLabel = nullptr;              // which item, and what to do
    QLineEdit* AnswerEdit = nullptr;              // 받아 적기
    QLabel* ScoreLabel = nullptr;                 // "점수: N%"
    QLabel* PassLabel = nullptr;                  // passed or what is still missing
    QPushButton* NextLessonButton = nullptr;      // 다음 단계로
    QTextBrowser* ResultView = nullptr;           // items with their errors, accuracy, confusions
    ProgressPlot* Plot = nullptr;
    QLabel* StoreLabel = nullptr;  // where the history is kept, or what went wrong

signals:
    // A session has ended, finished or stopped.
    void sessionEnded();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    QWidget* buildSettings();
    QWidget* buildSession();
    QWidget* buildResults();
    void connectHandlers();
    void NameControlsForScreenReaders();
    void OrderControlsForKeyboard();

    void loadChoices();
    void saveChoices();
    void refreshSpeeds();
    void refreshLesson();
    void refreshPlot();
    void showStoreState();
    void setSettingsEnabled(bool enabled);
    QString shortageText(cwt::ItemShortage shortage) const;

    void playCurrentItem();
    void takeAnswer();
    void finishSession();
    void endSession(const QString& progress);
    void showScore();

    cwt::SendPort& m_sender;
    std::unique_ptr<cwt::ProgressStore> m_store;
    std::mt19937 m_random;
    std::vector<std::u16string> m_items;
    cwt::SessionScore m_score;
    int m_index = 0;
    bool m_running = false;
    bool m_playing = false;
    bool m_answerWaiting = false;   // Enter came while the item was still sounding
    bool m_awaitingAnswer = false;  // the item has sounded and its copy is not in yet
    bool m_stopRequested = false;
    double m_sessionCharacterWpm = 0;
    double m_sessionEffectiveWpm = 0;
};
