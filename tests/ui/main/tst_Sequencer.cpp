// The send run of the main window: what it plays, what it shows while it plays, and how Stop
// and Pause end it when the letter being played is over.

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include "components/VelLabel.h"
#include "components/VelSpeedButton.h"
#include "engine/morse/Cp949Text.h"
#include "tests/ui/support/MainWindowHarness.h"
#include "ui/memo/WaveDispUnit.h"

namespace {

std::string Cp949(const QString& text) {
    return cwt::Cp949Text::FromEditor(text.toStdU16String()).bytes();
}

}  // namespace

class SequencerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitMainWindowTests(); }

    void signThenWordsPlaysThePlanAndWritesTheDisplayLine() {
        MainWindowHarness h;
        h.showActive();
        h.setText("[AR] TEST");
        QStringList selections;
        h.onDone = [&](int) { selections << h.form()->Memo1->textCursor().selectedText(); };
        h.clickStart();

        QCOMPARE(h.played(), h.plannedSend("[AR] TEST"));
        QCOMPARE(h.form()->DispMemo->toPlainText(), QString("|[AR]| |T|E|S|T"));
        // The sign's two letters are one highlight; then each character in turn.
        QCOMPARE(selections.first(), QString("AR"));
        QCOMPARE(selections.mid(2), (QStringList{" ", "T", "E", "S", "T"}));
        QCOMPARE(h.form()->statusText(1), QString("[영문]"));
        QCOMPARE(h.form()->statusText(3), QString("실행문자수: 5"));
        QCOMPARE(h.form()->statusText(4), QString("진행부호수: 5"));
        QCOMPARE(h.form()->Label5->text(), QString("T"));
        QVERIFY(h.form()->AutoStartButton->isEnabled());
        QVERIFY(!h.form()->AutoStopButton->isEnabled());
        QVERIFY(!h.form()->Memo1->isReadOnly());
    }

    void hangulSyllableShowsItsJamoInTurnAndCountsThreeBytes() {
        MainWindowHarness h;
        h.showActive();
        h.setText("한");
        QStringList jamo;
        QStringList bigLetters;
        h.onDone = [&](int) {
            jamo << h.form()->Label2->text();
            bigLetters << h.form()->Label5->text();
        };
        h.clickStart();

        QCOMPARE(jamo, (QStringList{"ㅎ", "ㅏ", "ㄴ"}));
        QCOMPARE(bigLetters, (QStringList{"한", "한", "한"}));
        QCOMPARE(h.form()->statusText(1), QString("[한글]"));
        QCOMPARE(h.form()->statusText(4), QString("진행부호수: 3"));
        QCOMPARE(h.form()->statusText(3), QString("실행문자수: 2"));
        QCOMPARE(h.form()->DispMemo->toPlainText(), QString("|JEF"));
        // J and E end with the character gap, F with the syllable's 13 units.
        QCOMPARE(h.played(), h.plannedSend(Cp949("한")));
        // The transcript decoded the three letters back.
        QVERIFY(h.windows().Form2->Memo1->toPlainText().endsWith("J\nE\nF"));
    }

    void highlightCoversExactlyTheCharacterInEdit1AndMemo1() {
        MainWindowHarness h;
        h.showActive();
        h.setText("가 A\n예");
        QStringList selections;
        h.onDone = [&](int) { selections << h.form()->Memo1->textCursor().selectedText(); };
        h.clickStart();
        selections.removeDuplicates();
        QCOMPARE(selections, (QStringList{"가", " ", "A", QString(QChar(0x2029)), "예"}));
        QCOMPARE(h.form()->DispMemo->toPlainText(), QString("|LE| |A\n|예"));

        h.device().clearPlayed();
        h.form()->Edit1->setText("K E");
        h.form()->Edit1->setFocus();
        QStringList edit1Selections;
        h.onDone = [&](int) { edit1Selections << h.form()->Edit1->selectedText(); };
        h.clickStart();
        QCOMPARE(edit1Selections, (QStringList{"K", " ", "E"}));
        QCOMPARE(h.played(), h.plannedSend("K E"));
        QVERIFY(h.form()->Edit1->isEnabled());
        QVERIFY(!h.form()->Edit1->isReadOnly());
    }

    void stopEndsTheSendAfterTheLetterBeingPlayed() {
        MainWindowHarness h;
        h.showActive();
        h.form()->StartEndMarkCheck->setChecked(true);
        h.setText("ABCDEFGH");
        // Buffers: the start mark's B and T, then one per letter.
        h.onDone = [&](int done) {
            if (done == 4) QTest::mouseClick(h.form()->AutoStopButton, Qt::LeftButton);
        };
        h.clickStart();

        std::vector<cwt::PlannedBuffer> expected = cwt::PlanWholeSend("AB", {true, true});
        expected.resize(expected.size() - 2);  // no end mark (A and R) after a stop
        QCOMPARE(h.played(), h.rendered(expected));
        QCOMPARE(h.form()->ResumePos, 3);
        QVERIFY(h.form()->AutoStartButton->isEnabled());
        QVERIFY(!h.form()->AutoStopButton->isEnabled());
        QVERIFY(!h.form()->PauseButton->isEnabled());
        QVERIFY(h.form()->RandomSoundButton->isEnabled());
        QVERIFY(!h.form()->Timer1->isActive());
    }

    void pauseAndResumeContinueAtResumePosWithTheElapsedTime() {
        MainWindowHarness h;
        h.showActive();
        h.form()->StartEndMarkCheck->setChecked(true);
        h.setText("ABCD");
        h.onDone = [&](int done) {
            if (done == 4) QTest::mouseClick(h.form()->PauseButton, Qt::LeftButton);
        };
        h.clickStart();

        // Paused after B: the sending state is kept.
        TForm1* f = h.form();
        QCOMPARE(f->ResumePos, 3);
        QVERIFY(f->PauseButton->isChecked());
        QCOMPARE(f->PauseButton->text(), QString("재시작"));
        QVERIFY(!f->AutoStartButton->isEnabled());
        QVERIFY(f->AutoStopButton->isEnabled());
        QVERIFY(f->Memo1->isReadOnly());
        QVERIFY(!f->Timer1->isActive());
        QCOMPARE(f->DispMemo->toPlainText(), QString("|A|B"));
        f->Timer1Timer();
        const QString atPause = f->statusText(5);
        QTest::qWait(300);  // paused time does not count

        h.onDone = nullptr;
        h.device().clearPlayed();
        QTest::mouseClick(f->PauseButton, Qt::LeftButton);

        // No second start mark; C, D and the end mark.
        std::vector<cwt::PlannedBuffer> expected = cwt::PlanWholeSend("CD", {true, true});
        expected.erase(expected.begin(), expected.begin() + 2);
        QCOMPARE(h.played(), h.rendered(expected));
        QCOMPARE(f->DispMemo->toPlainText(), QString("|A|B|C|D"));
        QCOMPARE(f->statusText(4), QString("진행부호수: 2"));
        QCOMPARE(f->PauseButton->text(), QString("일시정지"));
        QVERIFY(f->AutoStartButton->isEnabled());
        f->Timer1Timer();
        const QString afterResume = f->statusText(5);
        QVERIFY2(afterResume >= atPause, qPrintable(atPause + " / " + afterResume));
        QVERIFY2(afterResume < QString("진행시간: 00:00:250"), qPrintable(afterResume));
    }

    void stopWhilePausedReleasesPauseSoTheNextSendRunsWhole() {
        MainWindowHarness h;
        h.showActive();
        h.setText("EEEE");
        h.onDone = [&](int done) {
            if (done == 1) QTest::mouseClick(h.form()->PauseButton, Qt::LeftButton);
        };
        h.clickStart();
        QVERIFY(h.form()->PauseButton->isChecked());
        h.onDone = nullptr;
        QTest::mouseClick(h.form()->AutoStopButton, Qt::LeftButton);
        QVERIFY(!h.form()->PauseButton->isChecked());
        QCOMPARE(h.form()->PauseButton->text(), QString("일시정지"));
        QVERIFY(!h.form()->PauseButton->isEnabled());

        h.device().clearPlayed();
        h.clickStart();
        QCOMPARE(h.played(), h.plannedSend("EEEE"));
    }

    void resumeAskedWhileTheLastLetterPlaysFollowsIt() {
        MainWindowHarness h;
        h.showActive();
        h.setText("ABC");
        // Pause and resume within the same letter: nothing is lost or sent twice.
        h.onDone = [&](int done) {
            if (done != 1) return;
            QTest::mouseClick(h.form()->PauseButton, Qt::LeftButton);
            QTest::mouseClick(h.form()->PauseButton, Qt::LeftButton);
        };
        h.clickStart();
        QCOMPARE(h.played(), h.plannedSend("ABC"));
        QVERIFY(h.form()->AutoStartButton->isEnabled());
    }

    void startAndEndMarksFrameTheText() {
        MainWindowHarness h;
        h.showActive();
        h.form()->StartEndMarkCheck->setChecked(true);
        h.setText("[AR]E");
        h.clickStart();
        QCOMPARE(h.played(), h.plannedSend("[AR]E", true));
        // BT, AR, E, AR: seven buffers.
        QCOMPARE(h.doneCount, 7);
    }

    void emptyEditorChangesNothing() {
        MainWindowHarness h;
        h.showActive();
        h.setText("");
        const QString display = h.form()->DispMemo->toPlainText();
        h.clickStart();
        QVERIFY(h.played().empty());
        QCOMPARE(h.form()->DispMemo->toPlainText(), display);
        QVERIFY(h.form()->AutoStartButton->isEnabled());
        QVERIFY(!h.form()->AutoStopButton->isEnabled());
        QVERIFY(h.form()->Edit1->isEnabled());
        QVERIFY(!h.form()->Memo1->isReadOnly());
        QVERIFY(!h.form()->Timer1->isActive());
        QCOMPARE(h.form()->statusText(3), QString("진행문자수: 0"));

        // Blanks only, with trimming and no collapsing, tidy to nothing as well.
        h.form()->DoubleSpaceTrimCheck->setChecked(false);
        h.form()->Edit1->setText("   ");
        h.form()->Edit1->setFocus();
        h.clickStart();
        QVERIFY(h.played().empty());
        QVERIFY(!h.form()->Edit1->isReadOnly());
        QVERIFY(h.form()->AutoStartButton->isEnabled());
    }

    void tidyingIsWrittenBackAndLineEndsFollowTheOptions() {
        MainWindowHarness h;
        h.showActive();
        h.setText("\n\nA     B\nC");
        h.clickStart();
        QCOMPARE(h.form()->Memo1->toPlainText(), QString("A B\nC"));
        // With the sentence-end mark the line end sends BT.
        QCOMPARE(h.played(), h.plannedSend("A B\r\nC", false, true));
        QCOMPARE(h.form()->DispMemo->toPlainText(), QString("|A| |B\n|C"));

        h.device().clearPlayed();
        h.form()->SentenceEndMark->trigger();
        QVERIFY(!h.form()->SentenceEndMark->isChecked());
        h.form()->DoubleSpaceTrimCheck->setChecked(false);
        h.form()->OpenSpaceTrimCheck->setChecked(false);
        h.setText("E\n");
        h.clickStart();
        QCOMPARE(h.played(), h.plannedSend("E\r\n", false, false));
        // The text's last line end leaves an empty last display line.
        QCOMPARE(h.form()->DispMemo->toPlainText(), QString("|E\n"));
    }

    void aBlankIsAWordSpace() {
        MainWindowHarness h;
        h.showActive();
        h.setText(" ");
        h.clickStart();
        QCOMPARE(h.form()->statusText(1), QString("[영문]"));
        QCOMPARE(h.form()->DispMemo->toPlainText(), QString("| "));
        // Eight units of silence, and the transcript gets a blank line.
        QCOMPARE(h.played(), std::vector<uint8_t>(8 * 5 * 150, 128));
        QVERIFY(h.windows().Form2->Memo1->toPlainText().endsWith("\n "));
    }

    void closingDuringASendStopsIt() {
        MainWindowHarness h;
        h.showActive();
        h.setText("ABCDEFGH");
        h.onDone = [&](int done) {
            if (done == 2) h.form()->close();
        };
        h.clickStart();
        QCOMPARE(h.played(), h.plannedSend("AB"));
        QVERIFY(!h.form()->isVisible());
        QVERIFY(h.form()->AutoStartButton->isEnabled());
    }

    void statusBarTexts() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        QCOMPARE(f->statusText(2), QString("문자수: %1").arg(f->Memo1LinesByteLength()));
        h.setText("한글 AB");
        // Every line counts with its CR LF.
        QCOMPARE(f->statusText(2), QString("문자수: 9"));
        h.setText("A\nB\n");
        QCOMPARE(f->statusText(2), QString("문자수: 6"));
        h.setText("");
        QCOMPARE(f->statusText(2), QString("문자수: 0"));

        h.setText("AB\nCDE");
        QTextCursor cursor = f->Memo1->textCursor();
        cursor.setPosition(5);
        f->Memo1->setTextCursor(cursor);
        QCOMPARE(f->statusText(0), QString("  2: 3"));

        QCOMPARE(TForm1::FormatElapsed(0), QString("00:00:000"));
        QCOMPARE(TForm1::FormatElapsed(61234), QString("01:01:234"));
        QCOMPARE(TForm1::FormatElapsed(3600000 + 59999), QString("00:59:999"));
        QCOMPARE(f->statusText(5), QString("진행시간: 00:00:000"));
        QCOMPARE(f->statusText(6), QString());
    }

    void signButtonIsIgnoredWhilePlaying() {
        MainWindowHarness h;
        h.showActive();
        h.setText("EE");
        h.onDone = [&](int done) {
            if (done == 1) QTest::mouseClick(h.form()->FuncButton[1], Qt::LeftButton);
        };
        h.clickStart();
        QCOMPARE(h.played(), h.plannedSend("EE"));

        // Idle, "KA" sends K, a character gap and A; the sign line shows "KA".
        h.onDone = nullptr;
        h.device().clearPlayed();
        QTest::mouseClick(h.form()->FuncButton[6], Qt::LeftButton);
        std::vector<cwt::PlannedBuffer> ka;
        for (const auto& letter : cwt::PlanSign("K!A").letters)
            ka.push_back({letter.code, false, 0});
        QCOMPARE(h.played(), h.rendered(ka));
        QCOMPARE(h.form()->Label2->text(), QString("KA"));
        QVERIFY(!h.form()->FuncButton[10]->isVisible());
    }

    void signLettersStepThroughTheBigLetter() {
        MainWindowHarness h;
        h.showActive();
        QStringList bigLetters;
        h.onDone = [&](int) { bigLetters << h.form()->Label5->text(); };
        QTest::mouseClick(h.form()->FuncButton[6], Qt::LeftButton);  // KA
        // The sign shows its first letter; the done notice of K shows the next one.
        QCOMPARE(bigLetters, (QStringList{"K", "A"}));
        QCOMPARE(h.form()->Label2->text(), QString("KA"));
        QVERIFY(!h.form()->Image1->pixmap().isNull());
    }

    void liveTypingAndMouseKeying() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        f->Edit1->setFocus();
        QCOMPARE(f->Edit1->palette().color(QPalette::Base), QColor(0xFE, 0xFF, 0xD2));
        f->Edit1->end(false);
        QTest::keyClicks(f->Edit1, "a");
        QCOMPARE(h.played(), h.renderedCodes({"SL"}));  // no character gap
        QVERIFY(f->Edit1->text().endsWith("a"));
        QCOMPARE(f->Label5->text(), QString("a"));

        h.device().clearPlayed();
        QTest::keyClicks(f->Edit1, "!#");
        QTest::keyClick(f->Edit1, Qt::Key_Return);
        QTest::keyClick(f->Edit1, Qt::Key_Backspace);
        QVERIFY(h.played().empty());
        QVERIFY(f->Edit1->text().endsWith("a!"));

        QTest::mouseClick(f->Label5, Qt::LeftButton);
        QTest::mouseClick(f->Label2, Qt::RightButton);
        QTest::mouseClick(f->Label5, Qt::MiddleButton);
        QCOMPARE(h.played(), h.renderedCodes({"S", "L"}));

        // A typed blank shows on the big letter in place of the letter before it.
        QTest::keyClicks(f->Edit1, "e ");
        QCOMPARE(f->Label5->text(), QString(" "));
    }

    void everyPressOfAQuickPairKeysAnElement() {
        // Through the window system, the second press of a quick pair comes as a double
        // click; it keys like any press, for both buttons.
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        QWindow* window = f->windowHandle();
        const QPoint letter = f->Label5->mapTo(f, f->Label5->rect().center());
        const QPoint sign = f->Label2->mapTo(f, f->Label2->rect().center());
        QTest::mouseDClick(window, Qt::LeftButton, {}, letter);
        QTest::mouseDClick(window, Qt::LeftButton, {}, letter);
        QTest::mouseDClick(window, Qt::RightButton, {}, sign);
        QCOMPARE(h.played(), h.renderedCodes({"S", "S", "S", "S", "L", "L"}));
    }

    void sentenceEndOptionCountsFromTheNextLineEnd() {
        // The option changed during a long send applies to the line ends still to come.
        MainWindowHarness h;
        h.showActive();
        h.setText("A\nB\nC");
        int toggledAfter = -1;
        h.onDone = [&](int done) {
            if (toggledAfter < 0 && done == 3) {  // A, then the two letters of BT
                h.form()->SentenceEndMark->trigger();
                toggledAfter = done;
            }
        };
        h.clickStart();
        QVERIFY(!h.form()->SentenceEndMark->isChecked());
        std::vector<uint8_t> expected = h.plannedSend("A\r\n", false, true);
        const std::vector<uint8_t> rest = h.plannedSend("B\r\nC", false, false);
        expected.insert(expected.end(), rest.begin(), rest.end());
        QCOMPARE(h.played(), expected);
    }

    void tabIntoTheLiveBoxKeepsItsText() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        f->Memo1->setFocus();
        QTest::keyClick(f->Memo1, Qt::Key_Tab);  // the editor hands Tab on to the live box
        QCOMPARE(QApplication::focusWidget(), f->Edit1);
        QVERIFY(!f->Edit1->hasSelectedText());
        QTest::keyClicks(f->Edit1, "k");
        QCOMPARE(f->Edit1->text(), QString("영어 문자를 입력 하세요..k"));
    }
};

QTEST_MAIN(SequencerTest)
#include "tst_Sequencer.moc"
