// The copy-practice window on the simulated device: what it sends (byte for byte the main
// window's sound at the character speed, the same tones stretched to the effective speed),
// the session with its score, pass and history, the main window's state meanwhile, and
// practice going on when the history cannot be kept.

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTextBrowser>
#include <QtCharts/QChartView>
#include <QtEndian>
#include <cstdio>

#include "engine/morse/Cp949Text.h"
#include "engine/practice/EffectiveSpeed.h"
#include "store/ProgressStore.h"
#include "tests/ui/support/PracticeWindowTest.h"
#include "ui/practice/CopyPracticeWindow.h"
#include "ui/practice/ProgressPlot.h"

namespace {

constexpr int kWavHeaderBytes = 58;

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray WavData(const QByteArray& file) {
    if (file.size() < kWavHeaderBytes) return {};
    const quint32 size = qFromLittleEndian<quint32>(file.constData() + kWavHeaderBytes - 4);
    return file.mid(kWavHeaderBytes, size);
}

// Runs of sound (bytes other than silence) and the silences between them.
struct Runs {
    std::vector<std::vector<uint8_t>> tones;
    std::vector<size_t> silences;  // before each tone, and after the last
};
Runs SplitRuns(const std::vector<uint8_t>& bytes) {
    Runs runs;
    size_t silence = 0;
    std::vector<uint8_t> tone;
    for (uint8_t b : bytes) {
        if (b == 128) {
            if (!tone.empty()) runs.tones.push_back(std::move(tone)), tone.clear();
            ++silence;
        } else {
            if (tone.empty()) runs.silences.push_back(silence), silence = 0;
            tone.push_back(b);
        }
    }
    if (!tone.empty()) runs.tones.push_back(tone);
    runs.silences.push_back(silence);
    return runs;
}

}  // namespace

class TestCopyPractice : public QObject, private PracticeWindowTest {
    Q_OBJECT

private:
    CopyPracticeWindow* open() {
        form()->CopyPracticeMenu->trigger();
        CopyPracticeWindow* practice = form()->copyPractice();
        practice->itemPauseMs = 0;
        return practice;
    }
    // A session of `items` items of the lesson, at the character speed unless said.
    void choose(CopyPracticeWindow* p, cwt::Course course, int lesson, cwt::ItemKind kind,
                int items, double effective = 1000) {
        p->CourseBox->setCurrentIndex(course == cwt::Course::Korean ? 1 : 0);
        p->LessonBox->setValue(lesson);
        p->KindBox->setCurrentIndex(static_cast<int>(kind));
        p->ItemCountBox->setValue(items);
        p->EffectiveSpeedBox->setValue(std::min(effective, p->EffectiveSpeedBox->maximum()));
    }
    // Waits until the current item has sounded and its copy is asked for.
    bool waitForAnswerPrompt(CopyPracticeWindow* p) {
        return QTest::qWaitFor(
            [p] {
                return !p->sessionRunning() ||
                       (!p->itemPlaying() && p->ProgressLabel->text().endsWith("Enter"));
            },
            5000);
    }
    void answer(CopyPracticeWindow* p, const QString& copy) {
        QVERIFY(waitForAnswerPrompt(p));
        QVERIFY(p->sessionRunning());
        p->AnswerEdit->insert(copy);  // Hangul comes from an input method, not from keys
        QTest::keyClick(p->AnswerEdit, Qt::Key_Return);
    }
    QString currentItem(CopyPracticeWindow* p) {
        return QString::fromStdU16String(p->sessionItems()[static_cast<size_t>(p->itemIndex())]);
    }
    // Records one practice session of a single item, copied right; returns the item.
    QString recordPracticeItem(CopyPracticeWindow* p, const QString& file) {
        form()->chooseSaveFile = [file] { return file; };
        QTest::mouseClick(form()->RecordButton, Qt::LeftButton);
        p->StartButton->click();
        const QString item = currentItem(p);
        answer(p, item);
        return item;
    }

private slots:
    void initTestCase() { InitMainWindowTests(); }
    void init() { startWithEmptyHistory(); }
    void cleanup() { m_h.reset(); }

    void menuOpensOneModelessWindowBeforeAbout() {
        const QList<QAction*> bar = form()->menuBar()->actions();
        QStringList titles;
        for (QAction* entry : bar) titles << entry->text();
        QCOMPARE(titles.last(), QString("About"));
        QCOMPARE(titles[titles.size() - 2], QString("연습"));
        QCOMPARE(form()->PracticeMenu->actions().value(0)->text(), QString("수신 연습"));
        QVERIFY(!form()->copyPractice());  // made on first use, not at start-up
        CopyPracticeWindow* p = open();
        QVERIFY(p->isVisible());
        QCOMPARE(p->windowTitle(), QString("수신 연습"));
        QVERIFY(!p->isModal());
        QTRY_COMPARE(QApplication::activeWindow(), p);
        QCOMPARE(open(), p);
        // The main window still answers its own controls while the window is open.
        m_h->setText("E");
        m_h->clickStart();
        QCOMPARE(m_h->played(), m_h->plannedSend("E"));
    }

    void itemAtCharacterSpeedIsTheMainWindowsSendByteForByte_data() {
        QTest::addColumn<int>("course");
        QTest::addColumn<int>("lesson");
        QTest::addColumn<int>("kind");
        QTest::newRow("English groups") << 0 << 39 << 0;
        QTest::newRow("call signs") << 0 << 39 << 2;
        QTest::newRow("Korean groups") << 1 << 25 << 0;
        QTest::newRow("Korean words") << 1 << 25 << 1;
    }
    void itemAtCharacterSpeedIsTheMainWindowsSendByteForByte() {
        QFETCH(int, course);
        QFETCH(int, lesson);
        QFETCH(int, kind);
        QTemporaryDir dir;
        CopyPracticeWindow* p = open();
        p->random().seed(static_cast<unsigned>(lesson * 10 + kind));
        choose(p, static_cast<cwt::Course>(course), lesson, static_cast<cwt::ItemKind>(kind), 1);
        QCOMPARE(p->effectiveWpm(), p->characterWpm());
        const QString item = recordPracticeItem(p, dir.filePath("practice.wav"));
        QVERIFY(!p->sessionRunning());
        // The session is a send: its end ended the recording and raised the button.
        QVERIFY(!form()->RecordButton->isChecked());
        const std::vector<uint8_t> practicePlayed = m_h->played();
        m_h->device().clearPlayed();

        form()->chooseSaveFile = [&] { return dir.filePath("main.wav"); };
        QTest::mouseClick(form()->RecordButton, Qt::LeftButton);
        m_h->setText(item);
        m_h->clickStart();
        QCOMPARE(m_h->played(), practicePlayed);
        const QByteArray practiceFile = FileBytes(dir.filePath("practice.wav"));
        QVERIFY(WavData(practiceFile).size() > 1000);
        QCOMPARE(practiceFile, FileBytes(dir.filePath("main.wav")));
        const auto text = cwt::cp949::EncodeStrict(item.toStdU16String());
        QCOMPARE(practicePlayed, m_h->plannedSend(*text));
    }

    void slowerEffectiveSpeedKeepsTheTonesAndTakesTheWpm() {
        // The speed of PARIS as the main window sends it, measured from its sound.
        m_h->setText("PARIS PARIS");
        m_h->clickStart();
        const double twoWords = static_cast<double>(m_h->played().size());
        m_h->device().clearPlayed();
        m_h->setText("PARIS");
        m_h->clickStart();
        const double parisWordBytes = twoWords - static_cast<double>(m_h->played().size());
        m_h->device().clearPlayed();
        CopyPracticeWindow* p = open();
        QVERIFY(qAbs(p->characterWpm() - 60.0 * 11025 / parisWordBytes) < 0.001);

        for (double effective : {6.0, 5.0, 3.5}) {
            p->random().seed(7);
            choose(p, cwt::Course::English, 20, cwt::ItemKind::Groups, 1);
            p->StartButton->click();
            answer(p, currentItem(p));
            const std::vector<uint8_t> full = m_h->played();
            m_h->device().clearPlayed();

            p->random().seed(7);
            choose(p, cwt::Course::English, 20, cwt::ItemKind::Groups, 1, effective);
            QCOMPARE(p->effectiveWpm(), effective);
            p->StartButton->click();
            answer(p, currentItem(p));
            const std::vector<uint8_t> slow = m_h->played();
            m_h->device().clearPlayed();

            // The same tones, sample for sample; only the silences grow.
            const Runs a = SplitRuns(full);
            const Runs b = SplitRuns(slow);
            QCOMPARE(b.tones, a.tones);
            QCOMPARE(b.silences.size(), a.silences.size());
            for (size_t i = 0; i < a.silences.size(); ++i) QVERIFY(b.silences[i] >= a.silences[i]);
            // The item is as many PARIS words long as at the character speed, at the new WPM.
            const double words = static_cast<double>(full.size()) / parisWordBytes;
            const double expectedSeconds = words * 60.0 / effective;
            const double seconds = static_cast<double>(slow.size()) / 11025;
            std::printf(
                "effective %.1f WPM (character %.2f): %.4f s for %.4f s expected, %+.4f %%\n",
                effective, p->characterWpm(), seconds, expectedSeconds,
                (seconds / expectedSeconds - 1) * 100);
            QVERIFY2(qAbs(seconds / expectedSeconds - 1) < 0.01,
                     qPrintable(QString("%1 s against %2 s").arg(seconds).arg(expectedSeconds)));
        }
    }

    void sessionIsScoredKeptAndPlottedAndAPassOffersTheNextLesson() {
        CopyPracticeWindow* p = open();
        choose(p, cwt::Course::English, 1, cwt::ItemKind::Groups, 10);
        p->StartButton->click();
        for (int i = 0; i < 10; ++i) {
            QString copy = currentItem(p);
            if (i == 3) copy[0] = copy[0] == 'K' ? 'M' : 'K';  // one character wrong
            answer(p, copy);
            const int sent = 5 * (i + 1);
            const int good = i < 3 ? sent : sent - 1;
            QCOMPARE(p->ScoreLabel->text(), QString("점수: %1%").arg(good * 100 / sent));
        }
        QVERIFY(!p->sessionRunning());
        QCOMPARE(p->ScoreLabel->text(), QString("점수: 98%"));  // 49 of 50
        QVERIFY(p->PassLabel->text().contains("통과"));
        QVERIFY(p->ResultView->toPlainText().contains("틀림 1"));
        QVERIFY(p->ResultView->toPlainText().contains("글자별 정확도"));
        QCOMPARE(p->store().scoreHistory(cwt::Course::English).size(), size_t{1});
        QCOMPARE(p->Plot->ScoreChart->accessibleDescription(),
                 QString("연습 1회, 마지막 점수 98%, 최고 98%"));
        QVERIFY(p->Plot->AccuracyChart->accessibleDescription().contains("M 100%") ||
                p->Plot->AccuracyChart->accessibleDescription().contains("K 100%"));
        QVERIFY(p->NextLessonButton->isEnabled());
        QVERIFY(p->NextLessonButton->hasFocus());
        QTest::keyClick(p->NextLessonButton, Qt::Key_Space);
        QCOMPARE(p->lesson(), 2);

        // Nine items are 45 characters: all right, still too short to pass.
        choose(p, cwt::Course::English, 2, cwt::ItemKind::Groups, 9);
        p->StartButton->click();
        for (int i = 0; i < 9; ++i) answer(p, currentItem(p).toLower());
        QCOMPARE(p->ScoreLabel->text(), QString("점수: 100%"));
        QVERIFY(!p->NextLessonButton->isEnabled());
        QVERIFY(p->PassLabel->text().contains("50자"));
        // The lesson reached is kept with the window's other choices.
        m_h = std::make_unique<MainWindowHarness>();
        QCOMPARE(open()->lesson(), 2);
    }

    void mainWindowSendsNothingElseDuringASessionAndItsStopEndsIt() {
        TForm1* f = form();
        CopyPracticeWindow* p = open();
        choose(p, cwt::Course::English, 1, cwt::ItemKind::Groups, 3);
        p->StartButton->click();
        QVERIFY(waitForAnswerPrompt(p));
        QVERIFY(!f->AutoStartButton->isEnabled());
        QVERIFY(f->AutoStopButton->isEnabled());
        QVERIFY(!f->PauseButton->isEnabled());
        QVERIFY(!f->RandomSoundButton->isEnabled());
        QVERIFY(!f->Edit1->isEnabled());
        // The main window's Stop ends the session; nothing is kept of it.
        QTest::mouseClick(f->AutoStopButton, Qt::LeftButton);
        answer(p, currentItem(p));
        QVERIFY(QTest::qWaitFor([p] { return !p->sessionRunning(); }, 5000));
        QVERIFY(p->ProgressLabel->text().contains("멈췄습니다"));
        QVERIFY(p->store().scoreHistory(cwt::Course::English).empty());
        QVERIFY(f->AutoStartButton->isEnabled());
        QVERIFY(f->RandomSoundButton->isEnabled());
        QVERIFY(p->StartButton->isEnabled());

        // Stopped there, and the main window sending again: the session does not play into
        // that send.
        p->StartButton->click();
        QVERIFY(waitForAnswerPrompt(p));
        QTest::mouseClick(f->AutoStopButton, Qt::LeftButton);
        QVERIFY(f->RandomSoundButton->isEnabled());
        f->BeginSending(f->AutoStartButton);
        const size_t sent = m_h->played().size();
        answer(p, currentItem(p));
        QVERIFY(QTest::qWaitFor([p] { return !p->sessionRunning(); }, 5000));
        QCOMPARE(m_h->played().size(), sent);
        QVERIFY(!f->AutoStartButton->isEnabled());  // the main window's send goes on
        QVERIFY(!f->RandomSoundButton->isEnabled());
        f->AutoStopButtonClick(nullptr);
        f->RandomSoundButton->setEnabled(true);

        // While the main window sends, a session does not start.
        f->BeginSending(f->AutoStartButton);
        const size_t before = m_h->played().size();
        p->StartButton->click();
        QVERIFY(!p->sessionRunning());
        QVERIFY(p->ProgressLabel->text().contains("본 창"));
        QCOMPARE(m_h->played().size(), before);
        f->AutoStopButtonClick(nullptr);
    }

    void stopDuringAnItemEndsItAfterTheLetter() {
        CopyPracticeWindow* p = open();
        choose(p, cwt::Course::English, 1, cwt::ItemKind::Groups, 3);
        m_h->onDone = [p](int done) {
            if (done == 2) QTest::mouseClick(p->StopButton, Qt::LeftButton);
        };
        p->StartButton->click();
        QVERIFY(!p->sessionRunning());
        QCOMPARE(m_h->doneCount, 2);  // two letters of five
        QVERIFY(p->ProgressLabel->text().contains("멈췄습니다"));
        QVERIFY(form()->AutoStartButton->isEnabled());
        QVERIFY(p->StartButton->hasFocus());
    }

    void copyHandedInWhileTheItemSoundsCountsWhenItEnds() {
        CopyPracticeWindow* p = open();
        choose(p, cwt::Course::Korean, 5, cwt::ItemKind::Groups, 2);
        m_h->onDone = [this, p](int done) {
            if (done != 3) return;
            // Typed while the item sounds; Enter waits for its end.
            p->AnswerEdit->setText(currentItem(p));
            QTest::keyClick(p->AnswerEdit, Qt::Key_Return);
            QVERIFY(p->itemPlaying());
        };
        p->StartButton->click();
        QCOMPARE(p->itemIndex(), 1);
        QCOMPARE(p->ScoreLabel->text(), QString("점수: 100%"));
        // Enter before the next item has sounded means nothing.
        m_h->onDone = nullptr;
        QVERIFY(!p->itemPlaying());
        QTest::keyClick(p->AnswerEdit, Qt::Key_Return);
        QCOMPARE(p->itemIndex(), 1);
        QVERIFY(waitForAnswerPrompt(p));
        QCOMPARE(p->itemIndex(), 1);
        answer(p, "ㄱ");
        QVERIFY(!p->sessionRunning());
        QVERIFY(p->ScoreLabel->text() != QString("점수: 100%"));
    }

    void historyThatCannotBeKeptLeavesPracticeGoing() {
        // The data folder is a file: nothing can be kept there.
        cleanup();
        QTemporaryDir dir;
        const QString blocker = dir.filePath("not-a-folder");
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("XDG_DATA_HOME", blocker.toLocal8Bit());
        restartProgram();
        CopyPracticeWindow* p = open();
        QVERIFY2(p->StoreLabel->text().contains("만들 수 없습니다"),
                 qPrintable(p->StoreLabel->text()));
        choose(p, cwt::Course::English, 3, cwt::ItemKind::Groups, 2);
        p->StartButton->click();
        answer(p, currentItem(p));
        answer(p, currentItem(p));
        QCOMPARE(p->ScoreLabel->text(), QString("점수: 100%"));
        QVERIFY(p->ProgressLabel->text().contains("저장하지 못했습니다"));
        // The session of this run still shows in the plot.
        QCOMPARE(p->Plot->ScoreChart->accessibleDescription(),
                 QString("연습 1회, 마지막 점수 100%, 최고 100%"));
    }

    void everyControlIsNamedAndTabGoesFromTheChoicesToTheAnswer() {
        CopyPracticeWindow* p = open();
        QTRY_COMPARE(QApplication::activeWindow(), p);
        for (auto [widget, name] : std::initializer_list<std::pair<QWidget*, QString>>{
                 {p->CourseBox, "과정"},
                 {p->LessonBox, "단계"},
                 {p->KindBox, "문제 종류"},
                 {p->ItemCountBox, "문제 수"},
                 {p->EffectiveSpeedBox, "유효 속도"},
                 {p->AnswerEdit, "받아 적기"},
                 {p->ResultView, "결과"}}) {
            QCOMPARE(widget->accessibleName(), name);
        }
        QCOMPARE(p->StartButton->text(), QString("연습 시작"));
        QCOMPARE(p->StopButton->text(), QString("연습 멈춤"));
        QVERIFY(p->ScoreLabel->accessibleName().isEmpty());  // its name is its text
        // From the course to the start button with Tab alone; Space starts.
        p->CourseBox->setFocus();
        // A spin box passes its focus to the line edit inside it: the stop is named by the box.
        auto stopName = [](QWidget* w) {
            while (w && w->accessibleName().isEmpty() && !qobject_cast<QAbstractButton*>(w))
                w = w->parentWidget();
            if (!w) return QString();
            return w->accessibleName().isEmpty() ? qobject_cast<QAbstractButton*>(w)->text()
                                                 : w->accessibleName();
        };
        QStringList stops;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            stops << stopName(QApplication::focusWidget());
        }
        QCOMPARE(stops, QStringList({"단계", "문제 종류", "문제 수", "유효 속도", "연습 시작"}));
        choose(p, cwt::Course::English, 1, cwt::ItemKind::Groups, 1);
        QTest::keyClick(p->StartButton, Qt::Key_Space);
        QVERIFY(!p->sessionRunning() || p->AnswerEdit->hasFocus());
        if (p->sessionRunning()) answer(p, currentItem(p));
        QCOMPARE(p->ScoreLabel->text(), QString("점수: 100%"));
        // Call signs are offered in the English course only.
        p->CourseBox->setCurrentIndex(1);
        auto* kinds = qobject_cast<QStandardItemModel*>(p->KindBox->model());
        QVERIFY(!kinds->item(2)->isEnabled());
        p->CourseBox->setCurrentIndex(0);
        QVERIFY(kinds->item(2)->isEnabled());
    }
};

QTEST_MAIN(TestCopyPractice)
#include "tst_CopyPractice.moc"
