// The sending-practice window for screen readers and for the keyboard: the name of every
// control and the order Tab follows, from the input and the keyer to the text, the keying and
// the results.

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QToolButton>

#include "ui/sending/SendingPracticeWindow.h"
#include "ui/sending/SendingProgressPlot.h"
#include "ui/sending/TimingStrip.h"

void SendingPracticeWindow::NameControlsForScreenReaders() {
    InputBox->setAccessibleName(QStringLiteral("입력"));
    KeysBox->setAccessibleName(QStringLiteral("패들 키"));
    KeysBox->setAccessibleDescription(
        QStringLiteral("단점과 장점을 보내는 키보드 키. 키잉하는 동안 이 키들은 패들의 것입니다"));
    StraightKeyButton->setAccessibleName(QStringLiteral("스트레이트 키"));
    PortBox->setAccessibleName(QStringLiteral("직렬 포트"));
    DahLineBox->setAccessibleName(QStringLiteral("장점 선"));
    DahLineBox->setAccessibleDescription(QStringLiteral("단점은 CTS, 장점은 DSR이나 DCD"));
    SupplyBox->setAccessibleName(QStringLiteral("전원 선"));
    SupplyBox->setAccessibleDescription(
        QStringLiteral("패들 접점에 전원을 주는 출력 선. 무선기 키잉과 다른 선을 고르세요"));
    ModeBox->setAccessibleName(QStringLiteral("키어 방식"));
    SpeedBox->setAccessibleName(QStringLiteral("속도"));
    SpeedBox->setAccessibleDescription(QStringLiteral("이 프로그램의 PARIS 기준 분당 단어 수"));
    WeightBox->setAccessibleName(QStringLiteral("무게"));
    WeightBox->setAccessibleDescription(
        QStringLiteral("50이 교과서 부호. 높이면 부호가 길어지고 간격이 짧아집니다"));
    TextKindBox->setAccessibleName(QStringLiteral("보낼 글 종류"));
    CourseBox->setAccessibleName(QStringLiteral("과정"));
    LessonBox->setAccessibleName(QStringLiteral("단계"));
    CountBox->setAccessibleName(QStringLiteral("개수"));
    // The buttons' names without their mnemonics.
    StartButton->setAccessibleName(QStringLiteral("키잉 시작"));
    StopButton->setAccessibleName(QStringLiteral("멈춤"));
    NewTextButton->setAccessibleName(QStringLiteral("새 글"));
    OnAirCheck->setAccessibleName(QStringLiteral("송신"));
    OnAirCheck->setAccessibleDescription(
        QStringLiteral("본 창의 무선기 키잉이 켜져 있으면 무선기의 키 선이 키어를 따릅니다"));
    // The labels keep a name of their own and offer what they show as their text.
    TargetLabel->setAccessibleName(QStringLiteral("보낼 글"));
    StatusLabel->setAccessibleName(QStringLiteral("진행"));
    OnAirLabel->setAccessibleName(QStringLiteral("송신 상태"));
    SidetoneLabel->setAccessibleName(QStringLiteral("사이드톤"));
    StoreLabel->setAccessibleName(QStringLiteral("연습 기록"));
    DecodedView->setAccessibleName(QStringLiteral("받은 글"));
    DecodedView->setAccessibleDescription(
        QStringLiteral("보낸 부호를 읽은 글과 보낼 글의 비교, 틀린 곳"));
    ResultView->setAccessibleName(QStringLiteral("결과"));
    Strip->setAccessibleName(QStringLiteral("타이밍 띠"));
}

void SendingPracticeWindow::OrderControlsForKeyboard() {
    for (QTextBrowser* view : {DecodedView, ResultView}) view->setTabChangesFocus(true);
    Plot->Chart->setFocusPolicy(Qt::TabFocus);  // to read its description; nothing to press
    const QList<QWidget*> order = {InputBox,
                                   KeysBox,
                                   StraightKeyButton,
                                   PortBox,
                                   DahLineBox,
                                   SupplyBox,
                                   SerialStraightCheck,
                                   ModeBox,
                                   SpeedBox,
                                   WeightBox,
                                   DitMemoryCheck,
                                   DahMemoryCheck,
                                   LetterSpaceCheck,
                                   SwapCheck,
                                   TextKindBox,
                                   CourseBox,
                                   LessonBox,
                                   CountBox,
                                   NewTextButton,
                                   StartButton,
                                   StopButton,
                                   OnAirCheck,
                                   DecodedView,
                                   ResultView,
                                   Strip,
                                   Plot->Chart};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}
