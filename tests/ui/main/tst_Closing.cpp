// Closing the main window while it sends: whatever started the send, nothing more sounds after
// the close, the letter being played is cut short, and nothing is left waiting for sound, so
// the program can end at once.

#include <sys/ioctl.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "components/VelSpeedButton.h"
#include "components/VelStringGrid.h"
#include "rig/TransmitterKeyer.h"
#include "tests/common/FakeSerialPort.h"
#include "tests/ui/support/MainWindowHarness.h"
#include "ui/common/RadioGroup.h"
#include "ui/keying/KeyingFile.h"
#include "ui/macros/EditMacrosUnit.h"

namespace {

// Binds `key` to `definition` in the macro table's empty last row.
void DefineMacro(const MainWindowHarness& h, const QString& key, const QString& definition) {
    cwt::TVelStringGrid* table = h.windows().EditMacrosForm->macroTable();
    const int row = table->RowCount() - 1;
    table->setCells(TEditMacrosForm::kKeyCol, row, key);
    table->setCells(TEditMacrosForm::kDefinitionCol, row, definition);
}

// x10 with tone width 10: a unit of 3300 samples, 0.3 s; the digit 0 sounds for 7.8 s.
void SendSlowly(TForm1* f) {
    f->RadioGroup1->setItemIndex(9);
    f->RadioGroup1Click(f->RadioGroup1);
    f->SpinEdit1->setValue(10);
}

// Keys a transmitter on the fake serial port, without the tones: the rig alone sounds.
void KeyWithoutSidetone(TForm1* f) {
    cwt::test::ResetFakePort();
    cwt::KeyingSettings settings;
    settings.sidetone = false;
    QVERIFY(WriteKeyingFile(KeyingFilePath(), settings));
    f->findChild<cwt::TransmitterKeyer*>()->setSerialCalls(cwt::test::FakeSerialCalls());
    f->TransmitterKeying->trigger();
    QVERIFY(f->TransmitterKeying->isChecked());
}

}  // namespace

class ClosingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitMainWindowTests(); }

    void closingDuringAMacroSendSoundsNothingMore() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        DefineMacro(h, "F2", "ABCDEFGHIJ");
        QVERIFY(f->macroAutoStart->isChecked());
        h.setText(QString());
        f->Memo1->setFocus();
        h.onDone = [&](int done) {
            if (done == 2) f->close();
        };
        QTest::keyClick(f->Memo1, Qt::Key_F2);
        QCoreApplication::processEvents();

        QVERIFY(!f->isVisible());
        QCOMPARE(h.played(), h.plannedSend("AB"));
        // The key that chose the macro, travelling on to the window after the window had lost
        // the focus, chose it only once: the line is appended once and not sent again.
        QCOMPARE(f->Memo1->toPlainText(), QString("ABCDEFGHIJ"));
        QVERIFY(!f->VelWaveCtrl1->Playing());
        QVERIFY(f->AutoStartButton->isEnabled());
    }

    void closingCutsEveryKindOfSendShort_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"Start", "macro", "sign button", "live typing", "mouse keying",
                                 "random groups", "another window", "PC speaker", "keying"})
            QTest::newRow(kind) << QString(kind);
    }

    void closingCutsEveryKindOfSendShort() {
        QFETCH(QString, kind);
        MainWindowHarness h(
            std::make_unique<cwt::SimulatedWaveDevice>(cwt::SimulatedWaveDevice::Clock::RealTime));
        h.showActive();
        TForm1* f = h.form();
        SendSlowly(f);
        cwt::SendPort& port = *f;

        QElapsedTimer clock;
        qint64 closedAtMs = -1;
        QTimer::singleShot(300, f, [&] {
            closedAtMs = clock.elapsed();
            f->close();
        });
        clock.start();
        // Each of these returns when its send has ended; every one would sound for seconds.
        if (kind == "Start" || kind == "PC speaker" || kind == "keying") {
            f->CheckBox1->setChecked(kind == "PC speaker");
            if (kind == "keying") KeyWithoutSidetone(f);
            h.setText("0000");
            h.clickStart();
        } else if (kind == "macro") {
            DefineMacro(h, "F2", "0000");
            h.setText(QString());
            f->Memo1->setFocus();
            QTest::keyClick(f->Memo1, Qt::Key_F2);
        } else if (kind == "sign button") {
            QTest::mouseClick(f->FuncButton[0], Qt::LeftButton);  // VVV
        } else if (kind == "live typing") {
            f->Edit1->setFocus();
            QTest::keyClick(f->Edit1, Qt::Key_0);
        } else if (kind == "mouse keying") {
            QTest::mousePress(f->Label5, Qt::RightButton);  // a dash: 1.2 s with its gap
        } else if (kind == "random groups") {
            QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);
        } else if (kind == "another window") {
            QVERIFY(port.beginSend());
            port.codePlayer().PlayCode("LLLLL!", false, port.codeSettings());
            QVERIFY(port.sendStopped());
            port.endSend();
        }
        const qint64 returnedMs = clock.elapsed();

        QVERIFY2(closedAtMs >= 0, "the send ended before the window closed");
        QVERIFY(!f->isVisible());
        // Cut at the close, not at the end of the letter (0.9 s or more later).
        QVERIFY2(returnedMs - closedAtMs < 400,
                 qPrintable(QString("closed at %1 ms, the send returned at %2 ms")
                                .arg(closedAtMs)
                                .arg(returnedMs)));
        QVERIFY(!f->VelWaveCtrl1->Playing());
        QVERIFY(f->AutoStartButton->isEnabled());
        QVERIFY(!f->RandomSoundButton->isChecked());
        if (kind == "keying") {
            const auto changes = cwt::test::KeyChanges(TIOCM_DTR, false);
            QVERIFY(!changes.empty());
            QVERIFY(!changes.back().down);
            QCOMPARE(cwt::test::FakePort().closes, 1);
        }

        // Nothing is left to sound, and nothing sends any more.
        const std::vector<uint8_t> played = h.played();
        QCOMPARE(h.device().queuedCount(), 0);
        QTest::mouseClick(f->FuncButton[0], Qt::LeftButton);
        QTest::mousePress(f->Label5, Qt::LeftButton);
        f->AutoStartButtonClick(nullptr);
        QVERIFY(!port.beginSend());
        QTest::qWait(100);
        QCOMPARE(h.device().queuedCount(), 0);
        QCOMPARE(h.played(), played);
        QVERIFY(clock.elapsed() - returnedMs < 1000);
    }
};

QTEST_MAIN(ClosingTest)
#include "tst_Closing.moc"
