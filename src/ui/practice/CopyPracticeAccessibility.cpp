// The copy-practice window for screen readers and for the keyboard: the name of every
// control and the order Tab follows, from the choices to the start, the answer box and the
// results.

#include <QChartView>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBrowser>

#include "ui/practice/CopyPracticeWindow.h"
#include "ui/practice/ProgressPlot.h"

void CopyPracticeWindow::NameControlsForScreenReaders() {
    CourseBox->setAccessibleName(QStringLiteral("과정"));
    LessonBox->setAccessibleName(QStringLiteral("단계"));
    KindBox->setAccessibleName(QStringLiteral("문제 종류"));
    ItemCountBox->setAccessibleName(QStringLiteral("문제 수"));
    EffectiveSpeedBox->setAccessibleName(QStringLiteral("유효 속도"));
    EffectiveSpeedBox->setAccessibleDescription(
        QStringLiteral("문자 사이를 늘여 맞추는 평균 속도, 분당 단어 수. 문자 속도보다 빠르게 "
                       "고르면 문자 속도로 보냅니다"));
    AnswerEdit->setAccessibleName(QStringLiteral("받아 적기"));
    AnswerEdit->setAccessibleDescription(
        QStringLiteral("들은 글자를 쓰고 Enter를 누르면 채점합니다"));
    // The labels keep a name of their own and offer what they show as their text; the score
    // label's name is its text, "점수: N%".
    LessonCharsLabel->setAccessibleName(QStringLiteral("단계의 글자"));
    SpeedLabel->setAccessibleName(QStringLiteral("속도"));
    ProgressLabel->setAccessibleName(QStringLiteral("진행"));
    PassLabel->setAccessibleName(QStringLiteral("통과"));
    StoreLabel->setAccessibleName(QStringLiteral("연습 기록"));
    ResultView->setAccessibleName(QStringLiteral("결과"));
}

void CopyPracticeWindow::OrderControlsForKeyboard() {
    ResultView->setTabChangesFocus(true);
    for (QChartView* chart : {Plot->ScoreChart, Plot->AccuracyChart})
        chart->setFocusPolicy(Qt::TabFocus);  // to read its description; nothing to press
    const QList<QWidget*> order = {CourseBox,    LessonBox,         KindBox,
                                   ItemCountBox, EffectiveSpeedBox, StartButton,
                                   StopButton,   AnswerEdit,        NextLessonButton,
                                   ResultView,   Plot->ScoreChart,  Plot->AccuracyChart};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}
