// The mixer dialog for screen readers and for the keyboard: the names of its controls and
// the order Tab follows, from the choice of mixer through the volumes to the log and the
// dump's four results.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include "ui/mixer/VolumeCtrlUnit.h"

void TVolumeForm::NameControlsForScreenReaders() {
    Label2->setBuddy(MixerNames);
    MixerNames->setAccessibleName(Label2->text());
    // "L        R" over the three bars names the first two; the third is the volume itself.
    tbLeftVolume->setAccessibleName(QStringLiteral("마스타 볼륨 L"));
    tbRightVolume->setAccessibleName(QStringLiteral("마스타 볼륨 R"));
    tbVolume->setAccessibleName(QStringLiteral("마스타 볼륨"));
    tbPan->setAccessibleName(QStringLiteral("마스타 밸런스"));
    tbWaveVolume->setAccessibleName(QStringLiteral("웨이브 볼륨"));
    // The two check boxes share the caption "음소거"; their hints tell them apart.
    AudioCheck->setAccessibleDescription(AudioCheck->toolTip());
    WaveCheck->setAccessibleDescription(WaveCheck->toolTip());
    Memo1->setAccessibleName(QStringLiteral("믹서 진단 기록"));
    Button1->setAccessibleDescription(QStringLiteral("마스타 볼륨과 음소거의 정보를 기록합니다"));
    Edit1->setAccessibleName(QStringLiteral("최소값"));
    Edit2->setAccessibleName(QStringLiteral("최대값"));
    Edit3->setAccessibleName(QStringLiteral("부호 없는 최소값"));
    Edit4->setAccessibleName(QStringLiteral("부호 없는 최대값"));
}

void TVolumeForm::OrderControlsForKeyboard() {
    // Tab leaves the log instead of typing into it.
    Memo1->setTabChangesFocus(true);
    const QList<QWidget*> order = {MixerNames, tbLeftVolume, tbRightVolume, tbVolume, tbPan,
                                   AudioCheck, tbWaveVolume, WaveCheck,     Memo1,    Button1,
                                   Edit1,      Edit2,        Edit3,         Edit4};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}
