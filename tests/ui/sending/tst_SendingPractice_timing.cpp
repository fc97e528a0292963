// The sending-practice window with the real main window: its choices on first use and kept
// after; Left and Right Ctrl (by their scan codes) keying the keyer in a rhythm, read back as
// the text asked, scored and kept in the history; the paddle's keys kept from the controls while
// keying only; Stop and focus loss cutting the key; the transmitter's key line following the
// keyer while 송신 is on, with the main window held meanwhile; a paddle on a (fake) serial port,
// and that port pulled out.
//
// The test's hands key in real time from the GUI thread, as an operator's do: a tap that a busy
// machine delivers more than a unit and a half late is no longer in the keyer's memory and the
// letter breaks in two. So the test runs with the timing tests, alone on the cores.

#include <sys/ioctl.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTextBrowser>
#include <QtTest>

#include "rig/TransmitterKeyer.h"
#include "store/ProgressStore.h"
#include "tests/common/FakeSerialPort.h"
#include "tests/ui/sending/support/PaddleScript.h"
#include "tests/ui/support/PracticeWindowTest.h"
#include "ui/keying/KeyingFile.h"
#include "ui/sending/SendingPracticeWindow.h"
#include "ui/sending/TimingStrip.h"

namespace {

constexpr int kWpm = 15;

// The Latin letters of a lesson text (English: as it is).
std::string Letters(const std::u16string& text) {
    std::string letters;
    for (char16_t c : text) letters += static_cast<char>(c);
    return letters;
}

}  // namespace

class TestSendingPractice : public QObject, private PracticeWindowTest {
    Q_OBJECT

private:
    SendingPracticeWindow* open() {
        form()->SendingPracticeMenu->trigger();
        SendingPracticeWindow* w = form()->sendingPractice();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w)) qWarning("the window did not become active");
        return w;
    }
    // A lesson text of one group, keyed in iambic B.
    SendingPracticeWindow* openForLesson(int count = 1) {
        SendingPracticeWindow* w = open();
        w->CourseBox->setCurrentIndex(0);
        w->TextKindBox->setCurrentIndex(static_cast<int>(cwt::SendingTextKind::LessonGroups));
        w->LessonBox->setValue(2);
        w->CountBox->setValue(count);
        w->SpeedBox->setValue(kWpm);
        w->pauseMs = 1500;
        w->NewTextButton->click();
        return w;
    }
    // Keys `letters` with the Ctrl keys and waits for the stretch to end.
    bool keyAndWait(SendingPracticeWindow* w, std::string_view letters) {
        QSignalSpy ended(w, &SendingPracticeWindow::stretchEnded);
        cwt::test::PlayPaddle(w, cwt::test::PlanPaddle(letters), kWpm);
        return ended.wait(8000);
    }

private slots:
    void initTestCase() { InitMainWindowTests(); }
    void init() { startWithEmptyHistory(); }
    void cleanup() { m_h.reset(); }

    void firstUseIsIambicBAt15WpmOnBothAdaptersAndChoicesAreKept() {
        QCOMPARE(form()->PracticeMenu->actions().value(1)->text(), QString("송신 연습"));
        QVERIFY(!form()->sendingPractice());  // made on first use
        SendingPracticeWindow* w = open();
        QCOMPARE(w->windowTitle(), QString("송신 연습"));
        const cwt::keyer::KeyerSettings settings = w->keyerSettings();
        QCOMPARE(settings.mode, cwt::keyer::KeyerMode::IambicB);
        QCOMPARE(settings.wpm, 15);
        QCOMPARE(settings.weightPercent, 50);
        QCOMPARE(w->keyMapping(), cwt::KeyAdapterMapping::defaults());
        QCOMPARE(w->textKind(), cwt::SendingTextKind::Free);
        QCOMPARE(w->input(), SendingPracticeWindow::Input::Keyboard);
        QVERIFY(!w->OnAirCheck->isChecked());

        w->ModeBox->setCurrentIndex(static_cast<int>(cwt::keyer::KeyerMode::Ultimatic));
        w->SpeedBox->setValue(22);
        w->WeightBox->setValue(60);
        w->KeysBox->setCurrentIndex(2);  // [ ] only
        w->TextKindBox->setCurrentIndex(static_cast<int>(cwt::SendingTextKind::Words));
        w->close();
        restartProgram();
        SendingPracticeWindow* again = open();
        QCOMPARE(again->keyerSettings().mode, cwt::keyer::KeyerMode::Ultimatic);
        QCOMPARE(again->keyerSettings().wpm, 22);
        QCOMPARE(again->keyerSettings().weightPercent, 60);
        QVERIFY(!again->keyMapping().bindingOf(cwt::keys::kLeftCtrl));
        QVERIFY(again->keyMapping().bindingOf(cwt::keys::kRightBracket));
        QCOMPARE(again->textKind(), cwt::SendingTextKind::Words);
        QVERIFY(!again->OnAirCheck->isChecked());  // never kept
    }

    void ctrlKeysInARhythmAreReadAsTheTextScoredAndKept() {
        SendingPracticeWindow* w = openForLesson();
        const std::string letters = Letters(w->target());
        QCOMPARE(letters.size(), size_t{5});
        w->StartButton->click();
        QVERIFY(w->keying());
        QVERIFY(keyAndWait(w, letters));

        const std::vector<cwt::SendingPoint> kept = w->store().sendingHistory(cwt::Course::English);
        QCOMPARE(kept.size(), size_t{1});
        QVERIFY2(kept[0].accuracy.value_or(0) == 1.0, qPrintable(w->ResultView->toPlainText()));
        // The keyer timed the elements and the test its letter gaps: a good fist.
        QVERIFY2(kept[0].fistScore.value_or(0) >= 80, qPrintable(w->ResultView->toPlainText()));
        QVERIFY(std::abs(kept[0].measuredWpm - kWpm) < 2);
        QVERIFY(w->ResultView->toPlainText().contains("틀린 글자가 없습니다"));
        QVERIFY(w->Strip->elementCount() >= 10);
        QCOMPARE(w->Strip->offCount(), 0);
        // The next text is drawn and keying goes on.
        QVERIFY(w->keying());
        QVERIFY(Letters(w->target()) != letters || w->target().size() == 5);
        w->StopButton->click();
        QVERIFY(!w->keying());
    }

    void aWrongLetterIsMarkedAndNamed() {
        SendingPracticeWindow* w = openForLesson();
        std::string letters = Letters(w->target());
        const char wrong = letters[2] == 'K' ? 'R' : 'K';
        const char asked = letters[2];
        letters[2] = wrong;
        w->StartButton->click();
        QVERIFY(keyAndWait(w, letters));
        const QString result = w->ResultView->toPlainText();
        QVERIFY2(result.contains(QStringLiteral("%1 대신 %2").arg(QChar(asked), QChar(wrong))),
                 qPrintable(result));
        const auto kept = w->store().sendingHistory(cwt::Course::English);
        QCOMPARE(kept.back().accuracy.value_or(0), 0.8);
        w->StopButton->click();
    }

    void thePaddlesKeysArePaddlesOnlyWhileKeying() {
        SendingPracticeWindow* w = openForLesson();
        auto bracket = [](QWidget* target, bool press) {
            QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_BracketLeft,
                            Qt::NoModifier, 34, 0x5b, 0, QStringLiteral("["));
            QApplication::sendEvent(target, &event);
        };
        // Idle, a bracket is typed into a field as anywhere else.
        w->InputBox->setCurrentIndex(1);
        w->PortBox->setCurrentText(QString());
        w->PortBox->setFocus();
        bracket(w->PortBox->lineEdit(), true);
        bracket(w->PortBox->lineEdit(), false);
        QCOMPARE(w->PortBox->currentText(), QString("["));
        w->InputBox->setCurrentIndex(0);

        // Keying, it is the paddle's: it keys a dit and no control sees it.
        struct Counter : QObject {
            int keys = 0;
            bool eventFilter(QObject*, QEvent* event) override {
                keys += event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
                return false;
            }
        } counter;
        w->SpeedBox->installEventFilter(&counter);
        w->StartButton->click();
        QSignalSpy edges(w, &SendingPracticeWindow::edgesTaken);
        bracket(w->SpeedBox, true);
        bracket(w->SpeedBox, false);
        QVERIFY(edges.wait(2000));
        QCOMPARE(counter.keys, 0);
        // Focus stays where keying put it, whatever the paddle does.
        QWidget* focused = QApplication::focusWidget();
        cwt::test::PlayPaddle(w, cwt::test::PlanPaddle("MM"), kWpm);
        QCOMPARE(QApplication::focusWidget(), focused);
        w->StopButton->click();
    }

    void stopAndFocusLossCutTheKeyAndKeyNothingMore() {
        SendingPracticeWindow* w = openForLesson();
        w->SpeedBox->setValue(8);  // dahs of 300 ms
        w->StartButton->click();
        QSignalSpy edges(w, &SendingPracticeWindow::edgesTaken);
        cwt::test::SendCtrl(w, true, true);  // dah held: dahs until something stops them
        QVERIFY(edges.wait(2000));
        // Another window takes the keyboard: the release never comes, the key goes up anyway.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTest::qWait(700);
        const int after = edges.count();
        QTest::qWait(1200);
        QCOMPARE(edges.count(), after);
        QVERIFY(w->keying());  // keying goes on once the operator comes back
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(!w->keying());
        QVERIFY(w->StartButton->isEnabled());
    }

    void onTheAirTheKeyLineFollowsTheKeyerAndTheMainWindowWaits() {
        cwt::test::ResetFakePort();
        cwt::KeyingSettings keying;
        keying.watchdogSeconds = 2;
        WriteKeyingFile(KeyingFilePath(), keying);
        form()->findChild<cwt::TransmitterKeyer*>()->setSerialCalls(cwt::test::FakeSerialCalls());
        form()->TransmitterKeying->trigger();
        QVERIFY(form()->TransmitterKeying->isChecked());

        SendingPracticeWindow* w = openForLesson();
        QVERIFY(w->OnAirLabel->text().contains("송신을 켜면"));
        w->OnAirCheck->click();
        w->StartButton->click();
        QVERIFY(w->onAir());
        QVERIFY(!form()->AutoStartButton->isEnabled());  // the main window sends nothing now
        QVERIFY(keyAndWait(w, "TEN"));
        std::vector<cwt::test::KeyChange> changes = cwt::test::KeyChanges(TIOCM_DTR, false);
        // The key line dropped when the port was opened.
        while (!changes.empty() && !changes.front().down) changes.erase(changes.begin());
        // T E N: four elements, each keyed as long as the keyer made it.
        QCOMPARE(changes.size(), size_t{8});
        const double unitMs = cwt::keyer::KeyerUnit(kWpm).count() / 1e6;
        const double marks[] = {3, 1, 3, 1};
        for (size_t i = 0; i < 4; ++i) {
            const double ms = (changes[2 * i + 1].ns - changes[2 * i].ns) / 1e6;
            QVERIFY2(std::abs(ms - marks[i] * unitMs) < 2,
                     qPrintable(QStringLiteral("element %1: %2 ms").arg(i).arg(ms)));
        }
        // The main window's Stop ends the keying here too.
        QVERIFY(form()->AutoStopButton->isEnabled());
        form()->AutoStopButton->click();
        QTRY_VERIFY(!w->keying());
        QVERIFY(!w->onAir());
        QVERIFY(form()->AutoStartButton->isEnabled());
        QVERIFY(!(cwt::test::FakePort().lines.load() & TIOCM_DTR));
    }

    // A held lever keeps the transmitter keyed (dah after dah): closing the window raises the
    // key at once; a key port that goes away takes the window off the air and it says so.
    void onTheAirClosingOrALostKeyPortEndsTheKeying() {
        cwt::test::ResetFakePort();
        WriteKeyingFile(KeyingFilePath(), cwt::KeyingSettings{});
        form()->findChild<cwt::TransmitterKeyer*>()->setSerialCalls(cwt::test::FakeSerialCalls());
        form()->TransmitterKeying->trigger();
        const auto keyDown = [] { return (cwt::test::FakePort().lines.load() & TIOCM_DTR) != 0; };

        SendingPracticeWindow* w = openForLesson();
        w->OnAirCheck->click();
        w->StartButton->click();
        QVERIFY(w->onAir());
        cwt::test::SendCtrl(w, true, true);
        QTRY_VERIFY_WITH_TIMEOUT(keyDown(), 1000);
        w->close();
        QVERIFY(!keyDown());
        QVERIFY(!w->onAir());
        QVERIFY(form()->AutoStartButton->isEnabled());
        cwt::test::SendCtrl(w, true, false);

        w = open();
        QVERIFY(!w->OnAirCheck->isChecked());  // closing took the window off the air
        w->OnAirCheck->click();
        w->StartButton->click();
        QVERIFY(w->onAir());
        cwt::test::SendCtrl(w, true, true);
        QTRY_VERIFY_WITH_TIMEOUT(keyDown(), 1000);
        cwt::test::PullOutFakePort();
        QTRY_VERIFY_WITH_TIMEOUT(!w->onAir(), 3000);
        cwt::test::SendCtrl(w, true, false);
        QVERIFY(!w->OnAirCheck->isChecked());
        QVERIFY2(w->OnAirLabel->text().contains("꺼져"), qPrintable(w->OnAirLabel->text()));
        QVERIFY(w->keying());  // the practice goes on with the sidetone
        QVERIFY(form()->AutoStartButton->isEnabled());
        w->StopButton->click();
    }

    void withoutTransmitterKeyingTheWindowSaysSoAndKeysOnlyTheSidetone() {
        cwt::test::ResetFakePort();
        SendingPracticeWindow* w = openForLesson();
        w->OnAirCheck->click();
        w->StartButton->click();
        QVERIFY(!w->onAir());
        QVERIFY(w->OnAirLabel->text().contains("무선기 키잉이 꺼져"));
        QVERIFY(form()->AutoStartButton->isEnabled());
        w->StopButton->click();
    }

    // The rig's own keyer takes letters: the paddle keys only the sidetone, and the window says
    // why before the operator keys.
    void aHamlibRigIsNotKeyedFromThePaddleAndTheWindowSaysSo() {
        cwt::test::ResetFakePort();
        cwt::KeyingSettings keying;
        keying.output = cwt::KeyOutput::RigKeyer;
        keying.rigctldAddress = "127.0.0.1:1";  // nothing answers there
        WriteKeyingFile(KeyingFilePath(), keying);
        form()->TransmitterKeying->trigger();
        SendingPracticeWindow* w = openForLesson();
        w->OnAirCheck->click();
        w->StartButton->click();
        QVERIFY(w->keying());
        QVERIFY(!w->onAir());
        QVERIFY2(w->OnAirLabel->text().contains("Hamlib"), qPrintable(w->OnAirLabel->text()));
        QVERIFY(form()->AutoStartButton->isEnabled());
        QVERIFY(keyAndWait(w, "TEN"));
        w->StopButton->click();
        QCOMPARE(cwt::test::FakePort().opens, 0);
        if (form()->TransmitterKeying->isChecked()) form()->TransmitterKeying->trigger();
    }

    void aPaddleOnASerialPortKeysAndAPulledOutPortStopsKeying() {
        cwt::test::ResetFakePort();
        SendingPracticeWindow* w = openForLesson();
        w->setSerialCalls(cwt::test::FakeSerialCalls());
        w->InputBox->setCurrentIndex(1);
        w->PortBox->setCurrentText("/dev/ttyUSB0");
        w->StartButton->click();
        QVERIFY2(w->keying(), qPrintable(w->StatusLabel->text()));
        QVERIFY(cwt::test::FakeWaitBlocked());
        QSignalSpy edges(w, &SendingPracticeWindow::edgesTaken);
        cwt::test::SetFakeInputLines(TIOCM_CTS);  // the dit contact closes …
        QVERIFY(edges.wait(2000));
        cwt::test::SetFakeInputLines(0);  // … and opens
        cwt::test::PullOutFakePort();
        QTRY_VERIFY_WITH_TIMEOUT(!w->keying(), 3000);
        QVERIFY(!w->StatusLabel->text().isEmpty());
        QVERIFY(w->InputBox->isEnabled());
    }
};

QTEST_MAIN(TestSendingPractice)
#include "tst_SendingPractice_timing.moc"
