// The chart window for screen readers: the picture is named and described, since its table
// cannot be read from the pixels.

#include <QLabel>

#include "ui/chart/MorseCodeShowUnit.h"

void TMorseCodeForm::NameControlsForScreenReaders() {
    Image1->setAccessibleName(QStringLiteral("모스 코드표"));
    Image1->setAccessibleDescription(QStringLiteral(
        "영문자와 그 한글 자모, 숫자와 부호, 한글 자모와 그 영문자의 모스 부호 그림"));
}
