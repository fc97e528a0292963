// When the sound or the recording fails under the window: a send that can no longer sound
// ends as if Stop had been pressed, instead of running through the rest of the text in
// silence; a recording that ended by itself raises its button; and the operator is told.

#include <QPushButton>
#include <QTimer>

#include "sound/VelWaveCtrl.h"
#include "ui/main/SoundUnit.h"

void TForm1::SoundFailed() {
    const bool textSend = AutoStopButton->isEnabled();
    const bool groups = RandomSoundButton->isChecked();
    if (!textSend && !groups) return;  // a single letter: the device's own notice tells it
    if (textSend) AutoStopButtonClick(nullptr);
    // The group loop notices the released button after this letter and ends.
    if (groups) RandomSoundButton->setChecked(false);
    const QString reason = VelWaveCtrl1->Device().lastError();
    showWarning(QStringLiteral("소리 장치"),
                (reason.isEmpty() ? QStringLiteral("소리를 낼 수 없습니다.")
                                  : QStringLiteral("소리를 낼 수 없습니다: %1").arg(reason)) +
                    QStringLiteral("\n송신을 멈추었습니다. 소리 장치를 확인한 다음 다시 "
                                   "시작하세요."));
    // The device's notice of the same failure follows at once; it would say it again.
    m_soundFailureTold = true;
    QTimer::singleShot(0, this, [this] { m_soundFailureTold = false; });
}

void TForm1::DeviceFailed(const QString& message) {
    if (!m_soundFailureTold) showWarning(QStringLiteral("소리 장치"), message);
}

void TForm1::RecordingStopped() {
    // Ended by a failure (the warning says why): the button comes up.
    if (m_stoppingRecording || !RecordButton->isChecked() || VelWaveCtrl1->Recording()) return;
    RecordButton->setChecked(false);
    RecordButton->setText(QStringLiteral("사운드녹음"));
    setRecordButtonColour(false);
}
