// The sound side of the window: the wave component and the PC speaker, the tone controls and
// their labels, the sample-format menus, the timing menus and edits, the master volume.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>

#include "components/NumericPicture.h"
#include "components/VelEdit.h"
#include "sound/SoundBeepUnit.h"
#include "sound/VelWaveCtrl.h"
#include "ui/common/RadioGroup.h"
#include "ui/main/SoundUnit.h"

void TForm1::setUpWaveOutput(std::unique_ptr<cwt::WaveDevice> device) {
    VelWaveCtrl1 = new TVelWaveCtrl(this, std::move(device));
    VelWaveCtrl1->setObjectName("VelWaveCtrl1");
    VelWaveCtrl1->setFileName(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) +
                              "/CW_Tamarik.wav");
    VelWaveCtrl1->setAutoRecord(true);
    VelWaveCtrl1->setPlaySoundRecord(true);
    VelWaveCtrl1->OnPlayDone = [this](TVelWaveCtrl* sender, const TWaveHdr* header,
                                      const uint8_t* buffer) {
        VelWaveCtrl1PlayDone(sender, header, buffer);
    };
    VelWaveCtrl1->OnRecordError = [this](TVelWaveCtrl*, const QString& message) {
        showWarning(QStringLiteral("사운드녹음"), message);
    };
    VelWaveCtrl1->OnDeviceError = [this](TVelWaveCtrl*, const QString& message) {
        DeviceFailed(message);
    };
    VelWaveCtrl1->OnRecordStop = [this](TVelWaveCtrl*) { RecordingStopped(); };
    m_ports = std::make_unique<cwt::HardwarePorts>();
    m_player = std::make_unique<cwt::CodePlayer>(*VelWaveCtrl1, cwt::SpeakerOutput{});
}

cwt::CodeSettings TForm1::codeSettings() const {
    cwt::CodeSettings settings;
    settings.tone.freqHz = BeepFreq->value();
    settings.tone.cut = BeepFreqCut->value();
    settings.tone.slope = TrackBar1->value();
    settings.tone.timbre = SpinEdit4->value();
    settings.tone.kind = static_cast<cwt::WaveKind>(std::max(0, SoundControlType->itemIndex()));
    settings.tone.sampleBits = SampleBits;
    settings.tone.synthRate = SynthRate;
    settings.toneWidth = SpinEdit1->value();
    settings.dotLength = DotLength();
    settings.pcSpeaker = CheckBox1->isChecked();
    return settings;
}

void TForm1::PlayCode(std::string_view code, bool syllableEnd) {
    m_player->PlayCode(code, syllableEnd, codeSettings());
}

void TForm1::QueueCode(std::string_view code, uint8_t nextChar, bool syllableEnd) {
    if (m_currentSign) {
        m_currentSign->QueueCode(code, nextChar, syllableEnd);
        return;
    }
    // Outside a sign: a sign of this one letter.
    cwt::CodePlayer::Sign sign = m_player->BeginSign(codeSettings());
    sign.QueueCode(code, nextChar, syllableEnd);
    sign.Finish();
}

void TForm1::StopRecording() {
    m_stoppingRecording = true;
    VelWaveCtrl1->StopRecording();
    m_stoppingRecording = false;
}

void TForm1::BPS8Click(QObject* Sender) {
    const bool sixteen = Sender == BPS16;
    BPS8->setChecked(!sixteen);
    BPS16->setChecked(sixteen);
    SampleBits = sixteen ? 16 : 8;
    // A cut above the new maximum is clamped, and its change handler runs.
    BeepFreqCut->setMaximum(sixteen ? 32760 : 124);
}

void TForm1::Channel_MonoClick(QObject* Sender) {
    const bool stereo = Sender == Channel_Stereo;
    Channel_Mono->setChecked(!stereo);
    Channel_Stereo->setChecked(stereo);
    ChannelCount = stereo ? 2 : 1;
}

void TForm1::SPS5Click(QObject* Sender) {
    for (QAction* item : SPS) item->setChecked(item == Sender);
    // The rate is named by the characters after "SPS".
    const int code = Sender ? Sender->objectName().mid(3).toInt() : 11;
    switch (code) {
        case 5:
            SynthRate = 5512;
            break;
        case 6:
            SynthRate = 6400;
            break;
        case 22:
            SynthRate = 22050;
            break;
        case 44:
            SynthRate = 44100;
            break;
        default:
            SynthRate = 11025;
            break;
    }
}

void TForm1::Multiple3Click(QObject* Sender) {
    for (QAction* item : Multiple) item->setChecked(item == Sender);
    // The ratio is the digit that ends the item's name.
    const QString name = Sender ? Sender->objectName() : QString();
    const int ratio = name.isEmpty() ? 4 : name.right(1).toInt();
    cwt::ApplyRatio(m_timing, ratio);
    applyTimingToEdits();
}

void TForm1::RadioGroup1Click(QObject* Sender) {
    cwt::ApplyMultiplier(m_timing, std::max(0, RadioGroup1->itemIndex()));
    applyTimingToEdits();
    // A click hands the keys back to the editor; a choice made with the arrows stays in the
    // group, so the arrows can go on.
    if (Sender == RadioGroup1 && !RadioGroup1->lastChoiceByKeyboard()) Memo1->setFocus();
    RadioGroup1->setToolTip(RadioGroup1->itemCaption(RadioGroup1->itemIndex()));
}

// The hidden edits show the model's values; their change handlers would only read the same
// values back.
void TForm1::applyTimingToEdits() {
    const QSignalBlocker small(SmallEdit);
    const QSignalBlocker large(LargeEdit);
    const QSignalBlocker charDelay(CharDelayEdit);
    SmallEdit->setText(QString::fromStdString(m_timing.smallEditText));
    LargeEdit->setText(QString::fromStdString(m_timing.largeEditText));
    CharDelayEdit->setText(QString::fromStdString(m_timing.charDelayEditText));
}

void TForm1::SmallEditChange(QObject* /*Sender*/) {
    if (auto field = cwt::HiddenEditField(SmallEdit->text().toStdString()))
        m_timing.DotLength = *field;
}

void TForm1::LargeEditChange(QObject* /*Sender*/) {
    if (auto field = cwt::HiddenEditField(LargeEdit->text().toStdString()))
        m_timing.DashLength = *field;
}

void TForm1::CharDelayEditChange(QObject* /*Sender*/) {
    if (auto field = cwt::HiddenEditField(CharDelayEdit->text().toStdString()))
        m_timing.CharDelay = *field;
}

void TForm1::BeepFreqChange(QObject* /*Sender*/) {
    if (!isActiveWindow()) return;
    QString frequency =
        QString::fromStdString(cwt::FormatNumericPicture(BeepFreq->value(), "#,###"));
    frequency.replace(QChar(','), QLocale().groupSeparator());
    BeepFreqLabel->setText(QStringLiteral("소리 주파수: ") + frequency);
    BeepFreqLabel->adjustSize();
}

void TForm1::BeepFreqCutChange(QObject* /*Sender*/) {
    if (!isActiveWindow()) return;
    BeepFreqCutLabel->setText(QStringLiteral("소리주파수 컷: %1").arg(BeepFreqCut->value()));
    BeepFreqCutLabel->adjustSize();
}

void TForm1::TrackBar1Change(QObject* /*Sender*/) {
    Label1->setText(QString::number(TrackBar1->value()));
    Label1->adjustSize();
}

void TForm1::SoundControlTypeClick(QObject* /*Sender*/) {
    if (!SoundControlType->lastChoiceByKeyboard()) Memo1->setFocus();
}

void TForm1::WaveVolumeChange(QObject* Sender) {
    const QSignalBlocker detached(WaveVolume);
    WaveVolume->setEnabled(VelWaveCtrl1->VolumeAvailable());
    if (!WaveVolume->isEnabled()) return;
    if (Sender == nullptr) {
        WaveVolume->setValue(65535 - VelWaveCtrl1->Volume().left);
        return;
    }
    const auto volume = static_cast<uint16_t>(WaveVolume->maximum() - WaveVolume->value());
    VelWaveCtrl1->SetVolume({volume, volume});
}
