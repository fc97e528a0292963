// The main window for screen readers and for the keyboard: the name of every control, the
// labels that name the controls beside them, the order Tab follows, and the keys of the two
// labels that act (the big letter keys a dot or a dash, the link opens the address).

#include <QCheckBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>

#include "components/VelAccessible.h"
#include "components/VelEdit.h"
#include "components/VelFocusFrame.h"
#include "components/VelLabel.h"
#include "components/VelSpeedButton.h"
#include "ui/common/RadioGroup.h"
#include "ui/main/SoundUnit.h"

namespace {

// The radio buttons of a group, in item order.
QList<QWidget*> ItemsOf(RadioGroup* group) {
    QList<QWidget*> items;
    for (QRadioButton* button : group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        items << button;
    return items;
}

}  // namespace

void TForm1::NameControlsForScreenReaders() {
    // Controls without a caption take the text of their label or their hint.
    BeepFreq->setAccessibleName(QStringLiteral("소리 주파수"));
    BeepFreqCut->setAccessibleName(QStringLiteral("소리주파수 컷"));
    TrackBar1->setAccessibleName(QStringLiteral("기울기"));
    SpinEdit1->setAccessibleName(QStringLiteral("음폭"));
    SpinEdit4->setAccessibleName(QStringLiteral("음색"));
    SmallEdit->setAccessibleName(QStringLiteral("단음 길이"));
    LargeEdit->setAccessibleName(QStringLiteral("장음 길이"));
    CharDelayEdit->setAccessibleName(QStringLiteral("문자간 지연"));
    Label5->setAccessibleName(QStringLiteral("송신 문자"));
    Label5->setAccessibleDescription(
        QStringLiteral("보내는 문자. 스페이스나 마침표는 단음, 엔터나 빼기는 장음을 보냅니다"));
    Label2->setAccessibleName(QStringLiteral("송신 부호"));
    Image1->setAccessibleName(QStringLiteral("송신 부호 그림"));
    WaveVolume->setAccessibleName(QStringLiteral("마스타볼륨"));
    Memo1->setAccessibleName(QStringLiteral("송신 문장"));
    Splitter1->handle(1)->setAccessibleName(QStringLiteral("송신 문장 높이 조절"));
    Edit1->setAccessibleName(QStringLiteral("실시간 입력"));
    DispMemo->setAccessibleName(QStringLiteral("송신 표시"));
    Edit2->setAccessibleName(QStringLiteral("예비 입력"));
    StatusBar1->setAccessibleName(QStringLiteral("상태 표시줄"));
    // The menu bar's button for the menus that do not fit, when the window is narrow.
    if (auto* more = menuBar()->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button")))
        more->setAccessibleName(QStringLiteral("메뉴 더 보기"));
    FunctionDock->titleBarWidget()->setAccessibleName(QStringLiteral("Function 상자 손잡이"));
    // The panels, so that a screen reader can tell the parts of the window apart.
    Panel2->setAccessibleName(QStringLiteral("소리와 속도 설정"));
    Panel1->setAccessibleName(QStringLiteral("송신 문자 표시"));
    DispPanel->setAccessibleName(QStringLiteral("송신"));
    Panel3->setAccessibleName(QStringLiteral("부호 버튼"));
    m_statusPanels[0]->setAccessibleDescription(QStringLiteral("편집 위치: 줄, 칸"));
    m_statusPanels[1]->setAccessibleDescription(QStringLiteral("보내는 문자의 언어"));

    // The labels beside the sliders and spin boxes say whom they label.
    BeepFreqLabel->setBuddy(BeepFreq);
    BeepFreqCutLabel->setBuddy(BeepFreqCut);
    Label1->setBuddy(TrackBar1);
    Label4->setBuddy(SpinEdit1);
    Label6->setBuddy(SpinEdit4);
    Label8->setBuddy(SmallEdit);
    Label7->setBuddy(CharDelayEdit);

    // The link label is a link: Tab reaches it, Space or Enter opens the address.
    cwt::MarkAsLink(Label10);
    connect(Label10, &QLabel::linkActivated, this, [this] { Label10Click(); });
    for (QLabel* label : {Label5, Label10}) {
        label->setFocusPolicy(Qt::TabFocus);
        cwt::ShowFocusFrame(label);
    }
}

void TForm1::OrderControlsForKeyboard() {
    // Tab leaves the two text boxes instead of typing a tab character: Morse has none.
    Memo1->setTabChangesFocus(true);
    DispMemo->setTabChangesFocus(true);
    // What was sent can be read line by line with the arrows.
    DispMemo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    // The settings band from left to right, the left column from the top, then the text,
    // the sending buttons, the play display and the sign buttons.
    QList<QWidget*> order = {BeepFreq, BeepFreqCut, TrackBar1, SpinEdit1, SpinEdit4};
    order << ItemsOf(SoundControlType) << ItemsOf(RadioGroup1) << RecordButton
          << ItemsOf(RadioGroup2) << RandomSoundButton;
    order << Label5 << CheckBox1 << WaveVolume << Label10;
    order << Memo1 << Edit1 << AutoStartButton << AutoStopButton << PauseButton << DispMemo;
    for (TVelSpeedButton* button : FuncButton) order << button;
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

bool TForm1::filterActiveLabelKey(QObject* watched, QKeyEvent* event) {
    const int key = event->key();
    const bool space = key == Qt::Key_Space;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    if (watched == Label10) {
        if (!space && !enter) return false;
        if (!event->isAutoRepeat()) Label10Click();
        return true;
    }
    // The big letter: the keys stand for the mouse buttons, a dot and a dash.
    if (space || key == Qt::Key_Period) {
        Label5MouseDown(Qt::LeftButton);
        return true;
    }
    if (enter || key == Qt::Key_Minus) {
        Label5MouseDown(Qt::RightButton);
        return true;
    }
    return false;
}
