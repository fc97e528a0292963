// Writes pictures of the program's windows as they appear on the display it runs on:
//   cw-tamarik-screens OUTDIR
// main-idle.png, main-sending.png, chart.png, memo.png and keying.png. The send plays on a
// simulated device that keeps real time, so the pictures show a send in progress without sound.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>

#include "audio/SimulatedWaveDevice.h"
#include "ui/CW_Tamarik.h"
#include "ui/Fonts.h"
#include "ui/KeyingDialog.h"
#include "ui/MorseCodeShowUnit.h"
#include "ui/SoundUnit.h"
#include "ui/WaveDispUnit.h"

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
    form->KeyingSetup->trigger();
    if (auto* keying = form->findChild<KeyingDialog*>())
        ok = Save(keying, out + "/keying.png") && ok;
    return ok ? 0 : 1;
}
