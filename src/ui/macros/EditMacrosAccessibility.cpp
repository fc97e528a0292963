// The macro editor for screen readers and for the keyboard: the names of its controls and
// the order Tab follows from the grid to the two buttons.

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include "components/VelFocusFrame.h"
#include "components/VelStringGrid.h"
#include "ui/macros/EditMacrosUnit.h"

void TEditMacrosForm::NameControlsForScreenReaders() {
    // The captions are spaced out for the layout; the names are the words.
    SaveButton->setAccessibleName(QStringLiteral("저장"));
    CloseButton->setAccessibleName(QStringLiteral("닫기"));
    SaveButton->setAccessibleDescription(QStringLiteral("매크로를 화일에 저장하고 창을 닫습니다"));
    CloseButton->setAccessibleDescription(
        QStringLiteral("저장하지 않은 변경을 되돌리고 창을 닫습니다"));
    StringGrid1->setAccessibleName(QStringLiteral("매크로 목록"));
    StringGrid1->setAccessibleDescription(Label3->text().simplified());
    StatusBar1->setAccessibleName(QStringLiteral("상태 표시줄"));
    Label1->setBuddy(StringGrid1);
}

void TEditMacrosForm::OrderControlsForKeyboard() {
    // A click leaves the keys with the grid, as before; Tab reaches the buttons and Space
    // presses them. A macro key pressed on a button still goes to the grid.
    // The flat buttons draw no focus of their own.
    for (QPushButton* button : {SaveButton, CloseButton}) {
        button->setFocusPolicy(Qt::TabFocus);
        cwt::ShowFocusFrame(button);
    }
    setTabOrder(StringGrid1, SaveButton);
    setTabOrder(SaveButton, CloseButton);
}
