// What an operator can feed the main window that it was not made for: files that are not
// text, not one encoding, huge, one endless line or not readable at all; every setting at its
// extreme; thousands of keys typed into the live box while it sends. Each gives a clear
// message or a sound result: no crash, no hang, no text lost.
// The huge file's case times the window's repaints by the wall clock, so these run with the
// timing tests, alone: beside another test's build-sized load the clock measures that load.

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <random>

#include "engine/morse/Cp949Text.h"
#include "engine/morse/TextPrep.h"
#include "tests/common/FaultSupport.h"
#include "tests/common/Sanitized.h"
#include "tests/ui/support/MainWindowHarness.h"
#include "ui/common/RadioGroup.h"
#include "ui/main/LongLineWrap.h"
#include "ui/main/TextFileLoader.h"

namespace {

QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
}

QByteArray Cp949(const QString& text) {
    return QByteArray::fromStdString(cwt::Cp949Text::FromEditor(text.toStdU16String()).bytes());
}

// What the editor shows for a file's bytes with the default options (collapse the blanks).
QString Opened(const QByteArray& bytes) {
    const auto file =
        cwt::cp949::DecodeFileLines(std::string_view(bytes.constData(), bytes.size()));
    return QString::fromStdU16String(cwt::TidyEditor(file.text, cwt::Tidying::CollapseSpaces));
}

// Lines of call signs, Q codes and Korean words in code page 949, CR LF after each line,
// until `bytes` are reached.
QByteArray OperatorText(qint64 bytes, QString* firstLine, QString* lastLine) {
    const QStringList words = {"CQ",         "DE",   "HL1ABC", "PARIS", "안녕하세요",
                               "감사합니다", "[AR]", "TEST",   "599",   "73"};
    std::mt19937 random(7);
    QByteArray out;
    out.reserve(bytes + 200);
    while (out.size() < bytes) {
        QStringList line;
        for (int i = 0; i < 12; ++i) line << words[static_cast<int>(random() % words.size())];
        const QString text = line.join(' ');
        if (out.isEmpty()) *firstLine = text;
        *lastLine = text;
        out += Cp949(text) + "\r\n";
    }
    return out;
}

// Watches how long the window's event loop goes without a turn, and whether the busy dialog
// showed, while a long step runs.
class Responsiveness : public QObject {
public:
    Responsiveness() {
        m_clock.start();
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longestGapMs = std::max(m_longestGapMs, m_clock.restart());
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->objectName() == QStringLiteral("busyNotice") && top->isVisible())
                    m_busyShown = true;
        });
        m_timer.start();
    }
    qint64 longestGapMs() const { return std::max(m_longestGapMs, m_clock.elapsed()); }
    bool busyShown() const { return m_busyShown; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longestGapMs = 0;
    bool m_busyShown = false;
};

}  // namespace

class BadInputTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Opens `file` through the menu and returns how long it took.
    static qint64 Open(TForm1* f, const QString& file) {
        f->chooseOpenFile = [file] { return file; };
        QElapsedTimer clock;
        clock.start();
        f->N6->trigger();
        return clock.elapsed();
    }

private slots:
    void initTestCase() { InitMainWindowTests(); }

    void unreadableFilesKeepTheTextAndSayWhy_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder") << "folder"
                                << "폴더입니다.";
        QTest::newRow("vanished") << "vanished.txt"
                                  << "파일이 없습니다.";
        QTest::newRow("pipe") << "pipe"
                              << "일반 파일이 아닙니다";
        QTest::newRow("device") << "/dev/zero"
                                << "일반 파일이 아닙니다";
        QTest::newRow("no permission") << "secret.txt"
                                       << "파일을 읽을 권한이 없습니다.";
        QTest::newRow("too big") << "huge.txt"
                                 << "파일이 너무 큽니다";
    }
    void unreadableFilesKeepTheTextAndSayWhy() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        // The folder can be entered by anyone, so only the file's own rights count.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
        QVERIFY(QDir(m_dir.path()).mkpath("folder"));
        QVERIFY(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600) == 0 ||
                errno == EEXIST);
        WriteFile(path("secret.txt"), "PARIS");
        QFile::setPermissions(path("secret.txt"), QFileDevice::Permissions());
        QFile huge(path("huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxTextFileBytes + 1));
        huge.close();
        WriteFile(path("vanished.txt"), "PARIS");

        MainWindowHarness h;
        TForm1* f = h.form();
        h.setText("operator's own text");
        const QString file = name.startsWith('/') ? name : path(name);
        f->chooseOpenFile = [&] {
            // Chosen in the dialog, gone before it is read.
            if (name == "vanished.txt") QFile::remove(file);
            return file;
        };
        QElapsedTimer clock;
        clock.start();
        if (name == "secret.txt") {
            AsOrdinaryUser user;
            f->N6->trigger();
        } else {
            f->N6->trigger();
        }
        QVERIFY2(clock.elapsed() < 2000, "neither a pipe nor a device may hold the window");
        QCOMPARE(f->Memo1->toPlainText(), QString("operator's own text"));
        QCOMPARE(h.warnings.size(), size_t{1});
        QVERIFY2(h.warnings[0].contains(file) && h.warnings[0].contains(reason),
                 qPrintable(h.warnings[0]));
        QVERIFY(f->AutoStartButton->isEnabled());
    }

    void binaryFileLoadsWhatItHoldsAndSaysWhatWasNotText() {
        QByteArray bytes;
        for (int round = 0; round < 8; ++round)
            for (int b = 0; b < 256; ++b) bytes += static_cast<char>((b * 7 + round) & 0xFF);
        const QString file = WriteFile(path("binary.bin"), bytes);
        MainWindowHarness h;
        TForm1* f = h.form();
        Open(f, file);
        QCOMPARE(f->Memo1->toPlainText(), Opened(bytes));
        QCOMPARE(h.warnings.size(), size_t{1});
        QVERIFY2(h.warnings[0].contains("\uFFFD"), qPrintable(h.warnings[0]));
        // Control bytes send their signs, the rest what the table holds; the send ends.
        h.clickStart();
        QVERIFY(f->AutoStartButton->isEnabled());
        QVERIFY(!f->VelWaveCtrl1->Playing());
        QVERIFY(!h.played().empty());
    }

    void fileOfUtf8AndCp949LinesReadsRightOnEveryLine() {
        const QByteArray bytes = QStringLiteral("안녕하세요 CQ DE HL1ABC\n").toUtf8() +
                                 Cp949(QStringLiteral("감사합니다 73 [AR]")) + "\r\n" +
                                 QStringLiteral("다시 UTF-8 줄").toUtf8() + "\n";
        MainWindowHarness h;
        TForm1* f = h.form();
        Open(f, WriteFile(path("mixed.txt"), bytes));
        QCOMPARE(f->Memo1->toPlainText(),
                 QString("안녕하세요 CQ DE HL1ABC\n감사합니다 73 [AR]\n다시 UTF-8 줄"));
        QVERIFY(h.warnings.empty());
    }

    void fiftyMegabyteFileOpensInSecondsWithTheWindowPainted() {
        QString firstLine, lastLine;
        const QByteArray bytes = OperatorText(50LL * 1024 * 1024, &firstLine, &lastLine);
        const QString file = WriteFile(path("big.txt"), bytes);
        QVERIFY(!file.isEmpty());
        auto device =
            std::make_unique<cwt::SimulatedWaveDevice>(cwt::SimulatedWaveDevice::Clock::RealTime);
        MainWindowHarness h(std::move(device));
        h.showActive();
        TForm1* f = h.form();
        QPointer<QTextDocument> welcome = f->Memo1->document();

        qint64 openMs = 0;
        Responsiveness watch;
        openMs = Open(f, file);
        std::printf(
            "50 MB file: opened in %lld ms, longest time without a repaint %lld ms, "
            "busy dialog %s\n",
            static_cast<long long>(openMs), static_cast<long long>(watch.longestGapMs()),
            watch.busyShown() ? "shown" : "not shown");
        QVERIFY(h.warnings.empty());
        QVERIFY(watch.busyShown());
        if (cwt::test::kSpeedJudged) {
            QVERIFY2(openMs < 20000, qPrintable(QString::number(openMs)));
            QVERIFY2(watch.longestGapMs() < 5000,
                     qPrintable(QString::number(watch.longestGapMs())));
        }
        QCOMPARE(f->Memo1->document()->firstBlock().text(), firstLine);
        QCOMPARE(f->Memo1->document()->lastBlock().text(), lastLine);
        QCOMPARE(f->statusText(2), QStringLiteral("문자수: %1").arg(bytes.size()));
        QVERIFY(!f->Memo1->isReadOnly());

        // Typing into it: two blanks, which Start then collapses into one.
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(f->Memo1, Qt::Key_Space);
        const qint64 keyMs = clock.elapsed();
        QTest::keyClick(f->Memo1, Qt::Key_Space);
        QCOMPARE(f->statusText(2), QStringLiteral("문자수: %1").arg(bytes.size() + 2));

        // Sending it: the first letter plays within seconds, Stop ends it.
        qint64 firstLetterMs = -1;
        h.onDone = [&](int done) {
            if (done == 1) {
                firstLetterMs = clock.elapsed();
                f->AutoStopButton->click();
            }
        };
        clock.restart();
        h.clickStart();
        std::printf(
            "50 MB file: a key typed into it %lld ms, Start to the first letter done "
            "%lld ms\n",
            static_cast<long long>(keyMs), static_cast<long long>(firstLetterMs));
        QVERIFY(firstLetterMs >= 0);
        if (cwt::test::kSpeedJudged) {
            QVERIFY2(keyMs < 2000, qPrintable(QString::number(keyMs)));
            // Start reads the whole text again, as opening it did, and does more with it; on a
            // machine that opened it slowly it takes longer too. The two do not keep one ratio:
            // with the program unchanged, Start took 1.5 times the open on one day (7.9 s against
            // 5.3 s) and 2.2 to 2.9 times on another (8.1 to 9.6 s against 3.2 to 4.0 s, and
            // 14.4 s against 6.0 s in a clean clone), when the open ran faster and Start did not.
            // Three times the open, or 15 s, still catches a send that reads the text more than
            // once again, or in steps that grow with it.
            const qint64 firstLetterLimitMs = std::max<qint64>(15000, 3 * openMs);
            QVERIFY2(firstLetterMs < firstLetterLimitMs,
                     qPrintable(QStringLiteral("%1 ms (limit %2 ms)")
                                    .arg(firstLetterMs)
                                    .arg(firstLetterLimitMs)));
        }
        QVERIFY(f->AutoStartButton->isEnabled());
        QCOMPARE(f->Memo1->document()->firstBlock().text(), " " + firstLine);
        QCOMPARE(f->statusText(2), QStringLiteral("문자수: %1").arg(bytes.size() + 1));

        // The next file replaces it.
        Open(f, WriteFile(path("small.txt"), "CQ\r\n"));
        QTest::qWait(10);
        QCOMPARE(f->Memo1->toPlainText(), QString("CQ"));
        QVERIFY(!welcome);  // the editor's first document went when the big one came
    }

    void megabyteLineKeepsTheLettersComing() {
        QString line;
        while (line.size() < 1000000) line += QStringLiteral("PARIS 안녕 ");
        const QString file = WriteFile(path("line.txt"), line.toUtf8());
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        const qint64 openMs = Open(f, file);
        auto* wrap = f->Memo1->findChild<LongLineWrap*>();
        QVERIFY(wrap && wrap->wrapping());

        // Every letter highlights its character in that line, and the editor repaints. Drawn
        // unwrapped, the line took a third of a second per letter, far longer than the sound
        // server holds ahead; wrapped, a few tens of milliseconds.
        constexpr int kLetters = 100;
        QElapsedTimer clock;
        h.onDone = [&](int done) {
            if (done == 1) clock.start();
            if (done == kLetters + 1) f->AutoStopButton->click();
        };
        h.clickStart();
        const double msPerLetter = static_cast<double>(clock.elapsed()) / kLetters;
        std::printf("1 MB line: opened in %lld ms, %.2f ms of work per letter sent\n",
                    static_cast<long long>(openMs), msPerLetter);
        if (cwt::test::kSpeedJudged)
            QVERIFY2(msPerLetter < 80, qPrintable(QString::number(msPerLetter)));

        // Short lines again: no wrapping.
        h.setText("CQ CQ");
        QTest::qWait(1);
        QVERIFY(!wrap->wrapping());
        QCOMPARE(f->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    }

    void everySettingAtItsExtremePlaysWhatItShould_data() {
        QTest::addColumn<int>("multiplier");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("frequency");
        QTest::addColumn<int>("cut");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("rate");  // index into the rate menu
        QTest::addColumn<bool>("sixteen");
        QTest::newRow("x10, width 10: letters longer than a buffer")
            << 9 << 10 << 897 << 108 << 0 << 2 << false;
        QTest::newRow("x1, width 1") << 0 << 1 << 897 << 108 << 1 << 2 << false;
        QTest::newRow("cut 0") << 4 << 4 << 897 << 0 << 0 << 2 << false;
        QTest::newRow("16 bit, cut 0") << 4 << 4 << 897 << 0 << 2 << 2 << true;
        QTest::newRow("lowest tone at 5.512 kHz") << 4 << 4 << 10 << 108 << 3 << 0 << false;
        QTest::newRow("highest tone at 5.512 kHz") << 4 << 4 << 22000 << 108 << 1 << 0 << false;
        QTest::newRow("6.4 kHz") << 4 << 4 << 1400 << 50 << 2 << 1 << false;
        QTest::newRow("22.05 kHz") << 4 << 4 << 22000 << 124 << 3 << 3 << false;
        QTest::newRow("44.1 kHz, 16 bit") << 9 << 10 << 22000 << 32760 << 1 << 4 << true;
    }
    void everySettingAtItsExtremePlaysWhatItShould() {
        QFETCH(int, multiplier);
        QFETCH(int, width);
        QFETCH(int, frequency);
        QFETCH(int, cut);
        QFETCH(int, kind);
        QFETCH(int, rate);
        QFETCH(bool, sixteen);
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        f->RadioGroup1->setItemIndex(multiplier);
        f->RadioGroup1Click(f->RadioGroup1);
        f->SpinEdit1->setValue(width);
        f->BPS8Click(sixteen ? f->BPS16 : f->BPS8);
        f->SPS5Click(f->SPS[static_cast<size_t>(rate)]);
        f->BeepFreq->setValue(frequency);
        f->BeepFreqCut->setValue(cut);
        f->SoundControlType->setItemIndex(kind);
        // A timbre of 0 typed into its spin edit, which is not a value it takes.
        f->SpinEdit4->setFocus();
        f->SpinEdit4->selectAll();
        QTest::keyClicks(f->SpinEdit4, "0");
        QVERIFY(f->SpinEdit4->value() >= 1);

        const QString text = QStringLiteral("0 예 [SOS]");
        h.setText(text);
        QTemporaryDir dir;
        f->chooseSaveFile = [&] { return dir.filePath("extreme.wav"); };
        QTest::mouseClick(f->RecordButton, Qt::LeftButton);
        h.clickStart();
        const std::vector<uint8_t> meant =
            h.plannedSend(cwt::Cp949Text::FromEditor(text.toStdU16String()).bytes());
        QCOMPARE(h.played().size(), meant.size());
        QVERIFY(h.played() == meant);
        QVERIFY(f->AutoStartButton->isEnabled());
        QVERIFY(h.warnings.empty());
        // Everything played is in the recording, however long its letters were.
        QFile wav(dir.filePath("extreme.wav"));
        QVERIFY(wav.open(QIODevice::ReadOnly));
        const QByteArray file = wav.readAll();
        QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 54), meant.size());
        QVERIFY(file.mid(58, static_cast<qsizetype>(meant.size())) ==
                QByteArray(reinterpret_cast<const char*>(meant.data()),
                           static_cast<qsizetype>(meant.size())));
    }

    void keyStormInTheLiveBoxLosesNoKey() {
        auto device =
            std::make_unique<cwt::SimulatedWaveDevice>(cwt::SimulatedWaveDevice::Clock::RealTime);
        MainWindowHarness h(std::move(device));
        h.showActive();
        TForm1* f = h.form();
        f->RadioGroup1->setItemIndex(0);  // x1: short letters, many of them sent
        f->RadioGroup1Click(f->RadioGroup1);
        f->Edit1->setFocus();
        f->Edit1->clear();

        // The operator types on while letters sound: a key every millisecond, each arriving
        // on its own, so most of them come inside the wait of a letter that sounds.
        const QString keys = QStringLiteral("CQ DE HL1ABC 599 73 ?/=+-.,한글 ");
        constexpr int kKeys = 3000;
        QString typed;
        for (int i = 0; i < kKeys; ++i) {
            QTimer::singleShot(i, Qt::PreciseTimer, f, [&, i] {
                const QChar key = keys[i % keys.size()];
                typed += key;
                QTest::sendKeyEvent(QTest::Click, f->Edit1, Qt::Key_unknown, QString(key),
                                    Qt::NoModifier);
            });
        }
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(typed.size() == kKeys, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!f->VelWaveCtrl1->Playing(), 10000);
        std::printf("key storm: %d keys in %lld ms, %d letters sent meanwhile\n", kKeys,
                    static_cast<long long>(clock.elapsed()), h.doneCount);
        QCOMPARE(f->Edit1->text(), typed);
        QVERIFY(h.doneCount > 0);
        QVERIFY(f->AutoStartButton->isEnabled());
    }
};

QTEST_MAIN(BadInputTest)
#include "tst_BadInput_timing.moc"
