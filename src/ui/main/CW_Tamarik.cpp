#include "ui/main/CW_Tamarik.h"

#include <QApplication>
#include <QIcon>

#include "components/VelAccessible.h"
#include "sound/WaveDevice.h"
#include "ui/chart/MorseCodeShowUnit.h"
#include "ui/common/Fonts.h"
#include "ui/macros/EditMacrosUnit.h"
#include "ui/main/SoundUnit.h"
#include "ui/memo/WaveDispUnit.h"
#include "ui/mixer/VolumeCtrlUnit.h"

ProgramWindows CreateProgramWindows(std::unique_ptr<cwt::WaveDevice> device) {
    ProgramWindows windows;
    windows.Form1 = std::make_unique<TForm1>(std::move(device));
    TForm1* main = windows.Form1.get();
    windows.MorseCodeForm = new TMorseCodeForm(main);
    windows.Form2 = new TForm2(main);
    windows.VolumeForm = new TVolumeForm(main);
    windows.EditMacrosForm = new TEditMacrosForm(main);
    main->setWindows(windows.MorseCodeForm, windows.Form2, windows.VolumeForm,
                     windows.EditMacrosForm);
    return windows;
}

int CW_Tamarik(int argc, char** argv) {
    QApplication app(argc, argv);
    // Before any window: Qt keeps the accessible interface it first makes for a widget.
    cwt::InstallVelAccessibility();
    QApplication::setApplicationName(QStringLiteral("cw-tamarik"));
    QApplication::setApplicationDisplayName(QString());
    QGuiApplication::setDesktopFileName(QStringLiteral("cw-tamarik"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/cw-tamarik.png")));
    cwt::InstallFontSubstitutions();
    // The other windows may still be open when the main window closes; the program ends all
    // the same.
    QApplication::setQuitOnLastWindowClosed(false);

    ProgramWindows windows = CreateProgramWindows();
    QObject::connect(windows.Form1.get(), &TForm1::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    windows.Form1->show();
    return QApplication::exec();
}
