#include "ui/common/PracticeHistoryLabel.h"

#include <QLabel>

#include "components/VelAccessible.h"
#include "store/ProgressStore.h"

namespace cwt {

QLabel* MakeHistoryLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void ShowHistoryState(QLabel* label, const ProgressStore& store) {
    QString text;
    if (!store.setAsidePath().isEmpty())
        text = QStringLiteral("기록 파일이 손상되어 %1(으)로 옮겨 두고 새로 시작했습니다. ")
                   .arg(store.setAsidePath());
    if (store.problem().isEmpty())
        text += QStringLiteral("연습 기록: %1").arg(store.path());
    else
        text += store.problem() +
                QStringLiteral(
                    " 연습은 계속할 수 있지만, 기록은 저장할 수 있을 때까지 이 프로그램 안에만 "
                    "남습니다.");
    SetLabelText(label, text);
}

}  // namespace cwt
