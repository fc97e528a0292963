// The decoding window for screen readers and for the keyboard: the name of every control and
// the order Tab follows, from the input to the settings, the waterfall and the text.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "ui/decoder/DecodedTextView.h"
#include "ui/decoder/DecoderWindow.h"
#include "ui/decoder/WaterfallView.h"

void DecoderWindow::NameControlsForScreenReaders() {
    SourceBox->setAccessibleName(QStringLiteral("입력 장치"));
    RefreshSourcesButton->setAccessibleName(QStringLiteral("입력 장치 목록 새로 고침"));
    StartButton->setAccessibleName(QStringLiteral("해독 시작"));
    StopButton->setAccessibleName(QStringLiteral("해독 멈춤"));
    OpenFileButton->setAccessibleName(QStringLiteral("WAV 파일 열기"));
    OpenFileButton->setAccessibleDescription(QStringLiteral("녹음한 WAV 파일을 골라 해독합니다"));
    EnglishButton->setAccessibleName(QStringLiteral("영문"));
    KoreanButton->setAccessibleName(QStringLiteral("한글"));
    LowBox->setAccessibleName(QStringLiteral("통과 대역 하한"));
    HighBox->setAccessibleName(QStringLiteral("통과 대역 상한"));
    AutoPitchBox->setAccessibleName(QStringLiteral("음높이 자동"));
    AutoPitchBox->setAccessibleDescription(
        QStringLiteral("켜면 통과 대역에서 가장 뚜렷한 신호를 찾아 해독합니다"));
    PitchBox->setAccessibleName(QStringLiteral("고른 음높이"));
    PitchBox->setAccessibleDescription(
        QStringLiteral("음높이 자동을 끄면 이 음높이의 신호를 해독합니다"));
    Waterfall->setAccessibleName(QStringLiteral("스펙트럼"));
    Waterfall->setAccessibleDescription(
        QStringLiteral("통과 대역의 폭포 그림. 누른 곳의 음높이를 해독합니다. 왼쪽과 오른쪽 "
                       "화살표는 음높이를 10 Hz씩 옮기고, Home은 자동으로 돌아갑니다"));
    // The labels keep a name of their own and offer what they show as their text.
    PitchLabel->setAccessibleName(QStringLiteral("찾은 음높이"));
    SpeedLabel->setAccessibleName(QStringLiteral("속도"));
    SnrLabel->setAccessibleName(QStringLiteral("신호 대 잡음비"));
    TextView->setAccessibleName(QStringLiteral("해독한 글"));
    CopyButton->setAccessibleName(QStringLiteral("해독한 글 복사"));
    SaveButton->setAccessibleName(QStringLiteral("해독한 글 저장"));
    ClearButton->setAccessibleName(QStringLiteral("해독한 글 지우기"));
    FileProgress->setAccessibleName(QStringLiteral("파일 해독 진행"));
    StatusLabel->setAccessibleName(QStringLiteral("상태"));
}

void DecoderWindow::OrderControlsForKeyboard() {
    const QList<QWidget*> order = {SourceBox,      RefreshSourcesButton, StartButton,  StopButton,
                                   OpenFileButton, EnglishButton,        KoreanButton, LowBox,
                                   HighBox,        AutoPitchBox,         PitchBox,     Waterfall,
                                   TextView,       CopyButton,           SaveButton,   ClearButton};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}
