// Writes pictures of the program's windows as they appear on the display it runs on:
//   cw-tamarik-screens OUTDIR
// main-idle.png, main-sending.png, chart.png, memo.png, the copy practice idle, while an item
// sounds and after a session with its plot (practice-idle.png, practice-session.png,
// practice-plot.png), the decoding window idle and after reading a recording of Hangul
// (decoder-idle.png, decoder-file.png), and the keying dialog (keying.png). The sends play on a simulated device
// that keeps real time, so the pictures show them in progress without sound. The practice history
// is written into $XDG_DATA_HOME, which scripts/screenshots.sh points at a folder of its own.

#include <sndfile.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>

#include "engine/morse/Cp949Text.h"
#include "engine/morse/SendDispatch.h"
#include "sound/CodePlayer.h"
#include "sound/SimulatedWaveDevice.h"
#include "store/ProgressStore.h"
#include "ui/chart/MorseCodeShowUnit.h"
#include "ui/common/Fonts.h"
#include "ui/common/RadioGroup.h"
#include "ui/decoder/DecoderWindow.h"
#include "ui/keying/KeyingDialog.h"
#include "ui/main/CW_Tamarik.h"
#include "ui/main/SoundUnit.h"
#include "ui/memo/WaveDispUnit.h"
#include "ui/practice/CopyPracticeWindow.h"
#include "ui/sending/SendingPracticeWindow.h"

namespace {

void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget* window, const QString& path) {
    window->raise();
    Settle(300);
    const QPixmap picture = window->screen()->grabWindow(window->winId());
    const bool saved = !picture.isNull() && picture.save(path);
    std::printf("%s %s (%dx%d)\n", saved ? "wrote" : "FAILED", qPrintable(path), picture.width(),
                picture.height());
    return saved;
}

// Two weeks of practice in the English course, rising towards a pass, for the plot.
void WriteHistory(cwt::ProgressStore& store) {
    const std::u16string_view items[] = {u"KMRSU", u"MKSRU", u"RSUMK", u"SUKMR"};
    for (int day = 0; day < 12; ++day) {
        cwt::SessionScore score;
        for (int i = 0; i < 12; ++i) {
            std::u16string copied(items[i % 4]);
            if ((i * 7 + day) % 12 >= day) copied[static_cast<size_t>(i % 5)] = u'S';
            score.add(cwt::ScoreItem(cwt::Course::English, items[i % 4], copied));
        }
        cwt::PracticeSession session = cwt::SessionOf(score);
        session.when = QDateTime::currentDateTime().addDays(day - 13).addSecs(day * 1500);
        session.lesson = 4;
        session.characterWpm = 11.9;
        session.effectiveWpm = 8;
        store.saveSession(session);
    }
}

// Copies each item as soon as it has sounded, with one mistake in the second.
void CopyEachItem(CopyPracticeWindow* practice) {
    auto* copier = new QTimer(practice);
    QObject::connect(copier, &QTimer::timeout, practice, [practice] {
        const int index = practice->itemIndex();
        if (!practice->sessionRunning() || practice->itemPlaying() ||
            !practice->ProgressLabel->text().contains("Enter"))
            return;
        QString copy =
            QString::fromStdU16String(practice->sessionItems()[static_cast<size_t>(index)]);
        if (index == 1) copy[2] = copy[2] == 'K' ? 'M' : 'K';
        practice->AnswerEdit->setText(copy);
        practice->AnswerEditReturn();
    });
    QObject::connect(practice, &CopyPracticeWindow::sessionEnded, copier, &QObject::deleteLater);
    copier->start(100);
}

bool ShootPractice(TForm1* form, const QString& out) {
    form->CopyPracticeMenu->trigger();
    CopyPracticeWindow* practice = form->copyPractice();
    bool ok = Save(practice, out + "/practice-idle.png");

    // An item sounding, the first letters already copied.
    practice->ItemCountBox->setValue(3);
    QTimer::singleShot(2200, practice, [&] {
        practice->AnswerEdit->setText(
            QString::fromStdU16String(practice->sessionItems()[0]).left(2));
        ok = Save(practice, out + "/practice-session.png") && ok;
        practice->StopButton->click();
    });
    practice->StartButton->click();  // returns when the stop has taken effect

    // A finished session at the fastest speed, on top of some history.
    WriteHistory(practice->store());
    form->RadioGroup1->setItemIndex(0);
    form->RadioGroup1Click(form->RadioGroup1);
    practice->EffectiveSpeedBox->setValue(practice->EffectiveSpeedBox->maximum());
    practice->itemPauseMs = 100;
    bool ended = false;
    QObject::connect(practice, &CopyPracticeWindow::sessionEnded, practice, [&] { ended = true; });
    CopyEachItem(practice);
    practice->StartButton->click();
    QElapsedTimer waited;
    waited.start();
    while (!ended && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return Save(practice, out + "/practice-plot.png") && ended && ok;
}

// A recording of this program sending `text` at 20 WPM (a dot is five DotLengths) at 689 Hz,
// with a little noise, as a WAV file for the decoding window.
bool WriteRecording(const QString& path, std::u16string_view text) {
    cwt::CodeSettings settings;
    settings.dotLength = 132;
    settings.tone.timbre = 8;
    std::vector<float> samples(11025, 0.0f);
    const std::string bytes = cwt::cp949::EncodeStrict(text).value_or("");
    for (const cwt::PlannedBuffer& buffer : cwt::PlanWholeSend(bytes, {}))
        for (uint8_t byte : cwt::CodePlayer::Render(buffer.code, buffer.syllableEnd, settings))
            samples.push_back((static_cast<float>(byte) - 128.0f) / 400.0f);
    samples.resize(samples.size() + 11025, 0.0f);
    uint32_t noise = 1;
    for (float& sample : samples) {
        noise = noise * 1664525u + 1013904223u;
        sample += (static_cast<float>(noise >> 8) / 16777216.0f - 0.5f) * 0.05f;
    }
    SF_INFO info{};
    info.samplerate = 11025;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) return false;
    const auto frames = static_cast<sf_count_t>(samples.size());
    const bool written = sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

// The decoding window idle, and after reading a recording of Hangul.
bool ShootDecoder(TForm1* form, const QString& out) {
    for (QAction* action : form->PracticeMenu->actions())
        if (action->text() == QStringLiteral("수신 해독")) action->trigger();
    auto* decoder = form->findChild<DecoderWindow*>();
    if (!decoder) return false;
    bool ok = Save(decoder, out + "/decoder-idle.png");
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("received.wav"));
    decoder->KoreanButton->setChecked(true);
    ok = WriteRecording(wav, u"안녕하세요 감사합니다 원격 괜찮습니다 [AR]") &&
         decoder->decodeFile(wav) && ok;
    QElapsedTimer waited;
    waited.start();
    while (decoder->decodingFile() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ok = Save(decoder, out + "/decoder-file.png") && ok;
    decoder->EnglishButton->setChecked(true);
    decoder->close();
    return ok;
}

// The sending practice idle with a Korean lesson to key: its longest labels and Hangul text.
bool ShootSending(TForm1* form, const QString& out) {
    form->SendingPracticeMenu->trigger();
    SendingPracticeWindow* sending = form->sendingPractice();
    sending->CourseBox->setCurrentIndex(static_cast<int>(cwt::Course::Korean));
    sending->TextKindBox->setCurrentIndex(static_cast<int>(cwt::SendingTextKind::LessonGroups));
    sending->LessonBox->setValue(5);
    sending->NewTextButton->click();
    return Save(sending, out + "/sending-idle.png");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: cw-tamarik-screens OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    cwt::InstallFontSubstitutions();

    ProgramWindows windows = CreateProgramWindows(
        std::make_unique<cwt::SimulatedWaveDevice>(cwt::SimulatedWaveDevice::Clock::RealTime));
    TForm1* form = windows.Form1.get();
    form->show();
    bool ok = Save(form, out + "/main-idle.png");

    form->Memo1->setPlainText(QStringLiteral("한글 CQ [AR]\nCQ DE HL0CW"));
    // Inside the first syllable: the big letter shows it, the line under it a jamo.
    QTimer::singleShot(2500, form, [&] {
        ok = Save(form, out + "/main-sending.png") && ok;
        form->AutoStopButton->click();
    });
    form->AutoStartButton->click();  // returns when the stop has taken effect

    windows.MorseCodeForm->bringToFront();
    ok = Save(windows.MorseCodeForm, out + "/chart.png") && ok;
    windows.Form2->bringToFront();
    ok = Save(windows.Form2, out + "/memo.png") && ok;
    ok = ShootPractice(form, out) && ok;
    ok = ShootDecoder(form, out) && ok;
    ok = ShootSending(form, out) && ok;
    form->KeyingSetup->trigger();
    if (auto* keying = form->findChild<KeyingDialog*>())
        ok = Save(keying, out + "/keying.png") && ok;
    return ok ? 0 : 1;
}
