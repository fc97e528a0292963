// Keying a transmitter from the main window: "무선기 키잉" is off at every start and the dialog
// "키잉 설정" keeps its settings in keying.ini; a port that cannot be opened is told in words and
// the send goes on with tones only; while keying, Stop ends the key with the letter being
// sent, closing the window raises it at once, and a port lost in the middle of a send ends
// keying with a message while the tones go on.

#include <sys/ioctl.h>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "rig/TransmitterKeyer.h"
#include "tests/common/FakeSerialPort.h"
#include "tests/ui/support/MainWindowHarness.h"
#include "ui/common/RadioGroup.h"
#include "ui/common/SystemRoot.h"
#include "ui/keying/KeyingDialog.h"
#include "ui/keying/KeyingFile.h"

namespace {

bool AnyContains(const std::vector<QString>& texts, const QString& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const QString& text) { return text.contains(part); });
}

KeyingDialog* OpenDialog(TForm1* f) {
    f->KeyingSetup->trigger();
    return f->findChild<KeyingDialog*>();
}

// Keying on the fake port, at x1 with width 1 on a device that keeps real time.
struct Keyed {
    MainWindowHarness h{
        std::make_unique<cwt::SimulatedWaveDevice>(cwt::SimulatedWaveDevice::Clock::RealTime)};
    TForm1* f = h.form();

    Keyed() {
        cwt::test::ResetFakePort();
        cwt::KeyingSettings settings;
        settings.watchdogSeconds = 1;
        WriteKeyingFile(KeyingFilePath(), settings);
        f->findChild<cwt::TransmitterKeyer*>()->setSerialCalls(cwt::test::FakeSerialCalls());
        f->RadioGroup1->setItemIndex(0);
        f->RadioGroup1Click(f->RadioGroup1);
        f->SpinEdit1->setValue(1);
        f->TransmitterKeying->trigger();
    }
    static std::vector<cwt::test::KeyChange> changes() {
        return cwt::test::KeyChanges(TIOCM_DTR, false);
    }
};

}  // namespace

class KeyingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitMainWindowTests(); }
    void init() { QFile::remove(KeyingFilePath()); }

    void offAtEveryStartAndTheDialogKeepsItsSettings() {
        {
            MainWindowHarness h;
            TForm1* f = h.form();
            QVERIFY(f->TransmitterKeying->isCheckable());
            QVERIFY(!f->TransmitterKeying->isChecked());
            KeyingDialog* dialog = OpenDialog(f);
            QVERIFY(dialog && dialog->isVisible());
            QVERIFY(!dialog->isModal());
            QCOMPARE(dialog->settings(), cwt::KeyingSettings{});
            dialog->device->setEditText(QStringLiteral("/dev/ttyACM1"));
            dialog->line->setCurrentIndex(1);
            dialog->polarity->setCurrentIndex(1);
            dialog->watchdog->setValue(9);
            dialog->sidetone->setChecked(false);
            dialog->buttons->button(QDialogButtonBox::Ok)->click();
            f->TransmitterKeying->trigger();  // on, then the program ends
        }
        const cwt::KeyingSettings kept = ReadKeyingFile(ReadSystemRoot() + "/keying.ini");
        QCOMPARE(kept.device, std::string("/dev/ttyACM1"));
        QCOMPARE(kept.line, cwt::ModemLine::Rts);
        QVERIFY(kept.inverted);
        QCOMPARE(kept.watchdogSeconds, 9);
        QVERIFY(!kept.sidetone);

        MainWindowHarness again;
        QVERIFY(!again.form()->TransmitterKeying->isChecked());
        QCOMPARE(OpenDialog(again.form())->settings(), kept);
    }

    void everyControlOfTheDialogHasAName() {
        MainWindowHarness h;
        KeyingDialog* dialog = OpenDialog(h.form());
        for (bool rig : {false, true}) {
            (rig ? dialog->outputRig : dialog->outputSerial)->setChecked(true);
            for (QWidget* w : dialog->findChildren<QWidget*>()) {
                QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
                if (!iface || !w->isVisibleTo(dialog) || !w->focusPolicy()) continue;
                QVERIFY2(!iface->text(QAccessible::Name).trimmed().isEmpty(),
                         qPrintable(w->metaObject()->className() + (" " + w->objectName())));
            }
        }
        // The serial devices it lists: adapters first, in natural order.
        QTemporaryDir dev;
        for (const char* name : {"ttyS10", "ttyS2", "ttyUSB1", "ttyACM0", "tty0", "ttyUSB0"}) {
            QFile file(dev.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(
            KeyingDialog::SerialDevices(dev.path()),
            QStringList({dev.filePath("ttyACM0"), dev.filePath("ttyUSB0"), dev.filePath("ttyUSB1"),
                         dev.filePath("ttyS2"), dev.filePath("ttyS10")}));
    }

    void aPortThatCannotBeOpenedIsToldAndTheSendGoesOnWithTones() {
        cwt::KeyingSettings settings;
        settings.device = "/nonexistent/ttyUSB7";
        QVERIFY(WriteKeyingFile(KeyingFilePath(), settings));
        MainWindowHarness h;
        TForm1* f = h.form();
        f->TransmitterKeying->trigger();
        QVERIFY(!f->TransmitterKeying->isChecked());
        QVERIFY(AnyContains(h.warnings, QStringLiteral("/nonexistent/ttyUSB7 포트가 없습니다")));
        QVERIFY(AnyContains(h.warnings, QStringLiteral("소리로만")));
        h.setText(QStringLiteral("CQ [AR]"));
        h.clickStart();
        QCOMPARE(h.played(), h.plannedSend("CQ [AR]"));
    }

    void stopEndsTheKeyWithTheLetterBeingSent() {
        Keyed k;
        QVERIFY(k.f->TransmitterKeying->isChecked());
        k.h.setText(QStringLiteral("TEST TEST TEST TEST TEST"));
        int64_t stoppedNs = 0;
        QTimer::singleShot(300, k.f, [&] {
            stoppedNs = cwt::MonotonicNowNs();
            k.f->AutoStopButton->click();
        });
        k.h.clickStart();
        QTest::qWait(400);
        const auto changes = Keyed::changes();
        QVERIFY(changes.size() > 4);
        QVERIFY(!changes.back().down);
        // The letter being sent may end (S, the longest here, is 8 units of 5.4 ms); nothing
        // after it is keyed, though the wave output still held the next one.
        int downsAfterStop = 0;
        for (const auto& c : changes) downsAfterStop += c.down && c.ns > stoppedNs ? 1 : 0;
        QVERIFY2(downsAfterStop <= 3, qPrintable(QString::number(downsAfterStop)));
        QVERIFY(k.f->TransmitterKeying->isChecked());
    }

    void closingTheWindowRaisesTheKeyAtOnce() {
        Keyed k;
        k.f->RadioGroup1->setItemIndex(9);  // x10: a dash is 163 ms at width 1
        k.f->RadioGroup1Click(k.f->RadioGroup1);
        k.h.setText(QStringLiteral("TTTTTTTTTT"));
        int64_t closedNs = 0;
        k.h.onDone = [&](int) {};
        QTimer::singleShot(0, k.f, [&] {
            // Close while the key is down.
            QTRY_VERIFY(!Keyed::changes().empty() && Keyed::changes().back().down);
            closedNs = cwt::MonotonicNowNs();
            k.f->close();
        });
        k.h.clickStart();
        QVERIFY(closedNs > 0);
        const auto changes = Keyed::changes();
        QVERIFY(!changes.back().down);
        QVERIFY2(changes.back().ns - closedNs < 50'000'000,
                 qPrintable(QString::number((changes.back().ns - closedNs) / 1e6)));
        QCOMPARE(cwt::test::FakePort().closes, 1);
    }

    // Copy practice is heard, never transmitted, even with the sidetone off.
    void copyPracticeIsNotKeyed() {
        Keyed k;
        cwt::KeyingSettings quiet = ReadKeyingFile(KeyingFilePath());
        quiet.sidetone = false;
        QVERIFY(WriteKeyingFile(KeyingFilePath(), quiet));
        k.f->TransmitterKeying->trigger();  // off, and on again with these settings
        k.f->TransmitterKeying->trigger();
        QVERIFY(k.f->TransmitterKeying->isChecked());
        const size_t before = Keyed::changes().size();
        QVERIFY(k.f->beginSend());
        k.h.device().clearPlayed();
        k.f->codePlayer().PlayCode("SL!", false, k.f->codeSettings());
        k.f->endSend();
        QCOMPARE(Keyed::changes().size(), before);
        QCOMPARE(k.h.played(), k.h.renderedCodes({"SL!"}));  // tones, not silence
        // The main window's own send is keyed, and silent as chosen.
        k.h.device().clearPlayed();
        k.f->PlayCode("S!", false);
        QTRY_COMPARE(Keyed::changes().size(), before + 2);
        const std::vector<uint8_t> silent = k.h.played();
        QVERIFY(!silent.empty());
        QVERIFY(std::all_of(silent.begin(), silent.end(), [](uint8_t b) { return b == 128; }));
    }

    void aLostPortEndsKeyingAndTheTonesGoOn() {
        Keyed k;
        k.h.setText(QStringLiteral("CQ CQ CQ"));
        QTimer::singleShot(150, k.f, [] {
            cwt::test::FakePort().modemErrno = EIO;
            cwt::test::FakePort().modemFailAfter = 0;
        });
        k.h.clickStart();
        QTRY_VERIFY(!k.f->TransmitterKeying->isChecked());
        QVERIFY(AnyContains(k.h.warnings, QStringLiteral("연결이 끊겼습니다")));
        QCOMPARE(k.h.played(), k.h.plannedSend("CQ CQ CQ"));
    }
};

QTEST_MAIN(KeyingTest)
#include "tst_Keying.moc"
