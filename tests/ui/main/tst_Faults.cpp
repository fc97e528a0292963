// The main window when what is under it fails: the sound goes away in the middle of a send or
// is not there at start, the recording's disk fills up, its folder may not be written, its
// file is renamed or deleted under it, or the operator picks another file while one is open.
// No send hangs or runs through its text in silence, the operator is told, and every byte
// recorded so far stays in a playable file.

#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QtEndian>
#include <QtTest>

#include "engine/morse/Cp949Text.h"
#include "tests/common/FaultSupport.h"
#include "tests/ui/support/MainWindowHarness.h"
#include "ui/main/CW_Tamarik.h"

namespace {

const QString kLongText = QStringLiteral("CQ CQ CQ DE HL1ABC HL1ABC PSE K 안녕하세요 [AR]");

QByteArray Bytes(const std::vector<uint8_t>& v, size_t count) {
    return QByteArray(reinterpret_cast<const char*>(v.data()),
                      static_cast<qsizetype>(std::min(count, v.size())));
}

bool AnyContains(const std::vector<QString>& texts, const QString& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const QString& text) { return text.contains(part); });
}

// The recording a file holds: the data chunk's size, and what Python's wave module reads.
struct Recorded {
    quint32 dataBytes = 0;
    WaveRead wave;
};

Recorded ReadRecording(const QString& path) {
    Recorded recorded;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return recorded;
    const QByteArray head = file.read(58);
    if (head.size() == 58) recorded.dataBytes = qFromLittleEndian<quint32>(head.constData() + 54);
    recorded.wave = ReadWithPythonWave(path);
    return recorded;
}

}  // namespace

class FaultsTest : public QObject {
    Q_OBJECT

    // Presses Record and picks `file` in the save dialog.
    static void Record(TForm1* f, const QString& file) {
        f->chooseSaveFile = [file] { return file; };
        QTest::mouseClick(f->RecordButton, Qt::LeftButton);
    }
    static bool RecordButtonIsUp(TForm1* f) {
        return !f->RecordButton->isChecked() && f->RecordButton->text() == "사운드녹음";
    }

private slots:
    void initTestCase() { InitMainWindowTests(); }

    void soundLostMidSendStopsTheSendAndAStartAfterwardsWorks() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        h.setText(kLongText);
        h.device().failAfter(5);
        h.clickStart();
        // The send ended at the failed letter instead of running through the rest.
        QVERIFY(f->AutoStartButton->isEnabled());
        QVERIFY(!f->AutoStopButton->isEnabled());
        QVERIFY(!f->VelWaveCtrl1->Playing());
        QVERIFY2(h.doneCount <= 7, qPrintable(QString::number(h.doneCount)));
        QCOMPARE(h.warnings.size(), size_t{1});
        QVERIFY2(h.warnings[0].contains("송신을 멈추었습니다"), qPrintable(h.warnings[0]));
        QCOMPARE(f->Memo1->toPlainText(), kLongText);

        // Still no sound: the next Start stops again and says so again.
        h.clickStart();
        QVERIFY(f->AutoStartButton->isEnabled());
        QCOMPARE(h.warnings.size(), size_t{2});

        // The sound is back: the whole text plays.
        h.device().recover();
        h.device().clearPlayed();
        h.clickStart();
        QCOMPARE(h.played(),
                 h.plannedSend(cwt::Cp949Text::FromEditor(kLongText.toStdU16String()).bytes()));
        QCOMPARE(h.warnings.size(), size_t{2});
    }

    void soundLostDuringRandomGroupsEndsThem() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        f->Memo1->clear();
        h.device().failAfter(3);
        QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);  // returns when they end
        QVERIFY(!f->RandomSoundButton->isChecked());
        QCOMPARE(f->RandomSoundButton->text(), QString("무작위 5문자 생성"));
        QVERIFY(f->AutoStartButton->isEnabled());
        QCOMPARE(h.warnings.size(), size_t{1});
        QVERIFY(f->Memo1->toPlainText().size() <= 5);  // one group, not an editor full of them
    }

    void lettersTypedWithoutSoundAreToldOnce() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        h.device().setFailOpen(true);
        f->Edit1->setFocus();
        QTest::keyClicks(f->Edit1, "abc");
        QCOMPARE(h.warnings.size(), size_t{1});
        QVERIFY(f->Edit1->text().endsWith("abc"));
    }

    void noSoundServerAtStartSendsOnThePcSpeaker() {
        const QByteArray saved = qgetenv("PULSE_SERVER");
        QTemporaryDir dir;
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(dir.filePath("no-server")));
        QElapsedTimer clock;
        clock.start();
        ProgramWindows windows = CreateProgramWindows();
        const qint64 startMs = clock.elapsed();
        TForm1* f = windows.Form1.get();
        std::vector<QString> warnings;
        f->showWarning = [&](const QString&, const QString& text) { warnings.push_back(text); };
        QVERIFY(f->CheckBox1->isChecked());
        f->Memo1->setPlainText("EE");
        clock.restart();
        f->AutoStartButton->click();
        const qint64 sendMs = clock.elapsed();
        std::printf(
            "no sound server: window created in %lld ms, \"EE\" sent on the PC speaker "
            "path in %lld ms\n",
            static_cast<long long>(startMs), static_cast<long long>(sendMs));
        QVERIFY(startMs < 5000);
        QVERIFY2(sendMs >= 500 && sendMs < 5000, qPrintable(QString::number(sendMs)));
        QVERIFY(f->AutoStartButton->isEnabled());
        QVERIFY(warnings.empty());

        // The operator unticks "PC Speaker": the wave output fails, the send stops, he is told.
        f->CheckBox1->setChecked(false);
        f->Memo1->setPlainText(kLongText);
        clock.restart();
        f->AutoStartButton->click();
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(f->AutoStartButton->isEnabled());
        QCOMPARE(warnings.size(), size_t{1});
        windows.Form1.reset();
        if (saved.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", saved);
    }

    void fullDiskEndsTheRecordingKeepingEveryByteWritten() {
        SmallDisk disk(64);
        QTemporaryDir fallback;
        const QString file =
            disk.mounted() ? disk.filePath("take.wav") : fallback.filePath("take.wav");
        std::unique_ptr<FileSizeLimit> limit;
        if (!disk.mounted()) limit = std::make_unique<FileSizeLimit>(58 + 40000);
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        h.setText(kLongText);
        Record(f, file);
        QVERIFY(f->VelWaveCtrl1->Recording());
        h.clickStart();
        limit.reset();

        // The send went on to the end; the recording ended where the disk was full.
        QCOMPARE(h.played(),
                 h.plannedSend(cwt::Cp949Text::FromEditor(kLongText.toStdU16String()).bytes()));
        QVERIFY(!f->VelWaveCtrl1->Recording());
        QVERIFY(RecordButtonIsUp(f));
        QVERIFY(AnyContains(h.warnings, "Write 'data' chunk failed : MMIOERR_CANNOTWRITE"));
        const Recorded recorded = ReadRecording(file);
        std::printf("full disk: %u bytes of %zu recorded before it filled\n", recorded.dataBytes,
                    h.played().size());
        QVERIFY(recorded.dataBytes > 10000 && recorded.dataBytes < h.played().size());
        QVERIFY2(recorded.wave.ok, qPrintable(recorded.wave.error));
        QCOMPARE(static_cast<quint32>(recorded.wave.frames), recorded.dataBytes);
        QCOMPARE(recorded.wave.data, Bytes(h.played(), recorded.dataBytes));
    }

    void folderThatCannotBeWrittenRefusesTheRecordingOnly() {
        SmallDisk disk(64, true);
        QTemporaryDir fallback;
        QString folder = disk.path();
        if (!disk.mounted()) {
            folder = fallback.path();
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        AsOrdinaryUser* user = disk.mounted() ? nullptr : new AsOrdinaryUser;
        Record(f, folder + "/take.wav");
        delete user;
        QVERIFY(!f->VelWaveCtrl1->Recording());
        QVERIFY(RecordButtonIsUp(f));
        QCOMPARE(h.warnings.size(), size_t{1});
        QVERIFY2(h.warnings[0].contains("녹음 파일을 만들 수 없습니다"), qPrintable(h.warnings[0]));
        QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
        // Sending is not affected.
        h.setText("PARIS");
        h.clickStart();
        QCOMPARE(h.played(), h.plannedSend("PARIS"));
    }

    void recordingFileRenamedOrDeletedMidwayIsKept_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("renamed") << "renamed";
        QTest::newRow("deleted") << "deleted";
        QTest::newRow("folder renamed") << "folder renamed";
    }
    void recordingFileRenamedOrDeletedMidwayIsKept() {
        QFETCH(QString, change);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("takes"));
        const QString file = dir.filePath("takes/take.wav");
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        h.setText(kLongText);
        Record(f, file);
        size_t playedBeforeChange = 0;
        h.onDone = [&](int done) {
            if (done != 4) return;
            playedBeforeChange = h.played().size();
            if (change == "renamed")
                QFile::rename(file + ".tmp", dir.filePath("takes/moved.wav"));
            else if (change == "deleted")
                QFile::remove(file + ".tmp");
            else
                QDir(dir.path()).rename("takes", "moved");
        };
        h.clickStart();
        QVERIFY(!f->VelWaveCtrl1->Recording());
        QVERIFY(RecordButtonIsUp(f));
        QCOMPARE(h.warnings.size(), size_t{1});
        QVERIFY2(h.warnings[0].contains("옮겨지거나 지워져서 녹음을 끝냅니다"),
                 qPrintable(h.warnings[0]));

        // Where the recording is now: under its name, or in the temporary folder when its own
        // folder went away; the message names it.
        QString kept = file;
        if (change == "folder renamed") {
            const QString tempDir = f->VelWaveCtrl1->TempDir();
            const QStringList rescued = QDir(tempDir).entryList({"take-*.wav"}, QDir::Files);
            QCOMPARE(rescued.size(), 1);
            kept = tempDir + "/" + rescued[0];
        }
        QVERIFY2(h.warnings[0].contains(kept), qPrintable(h.warnings[0]));
        const Recorded recorded = ReadRecording(kept);
        QVERIFY2(recorded.wave.ok, qPrintable(recorded.wave.error));
        // Everything played up to the change, the letter during which it came included.
        QCOMPARE(static_cast<size_t>(recorded.dataBytes), playedBeforeChange);
        QCOMPARE(recorded.wave.data, Bytes(h.played(), recorded.dataBytes));
        QVERIFY(!QFile::exists(file + ".tmp"));
        if (change == "folder renamed") QFile::remove(kept);
    }

    void anotherFileChosenWhileARecordingIsOpenGetsTheRest() {
        QTemporaryDir dir;
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        f->Memo1->clear();
        Record(f, dir.filePath("first.wav"));
        // Random groups raise the record button without ending the recording, which goes on
        // after them.
        h.onDone = [&](int done) {
            if (done == 6) f->RandomSoundButton->setChecked(false);
        };
        QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);
        h.onDone = nullptr;
        QVERIFY(!f->RecordButton->isChecked());
        QVERIFY(f->VelWaveCtrl1->Recording());
        h.setText("PARIS");
        h.clickStart();
        const size_t firstBytes = h.played().size();

        // The operator records again, into another file.
        Record(f, dir.filePath("second.wav"));
        QVERIFY(AnyContains(h.warnings,
                            "'" + dir.filePath("first.wav") + "' 파일의 녹음을 마쳤습니다"));
        h.setText("TEST");
        h.clickStart();
        QVERIFY(RecordButtonIsUp(f));
        QVERIFY(!f->VelWaveCtrl1->Recording());

        const Recorded first = ReadRecording(dir.filePath("first.wav"));
        const Recorded second = ReadRecording(dir.filePath("second.wav"));
        QVERIFY2(first.wave.ok && second.wave.ok, qPrintable(first.wave.error + second.wave.error));
        QCOMPARE(static_cast<size_t>(first.dataBytes), firstBytes);
        QCOMPARE(first.wave.data + second.wave.data, Bytes(h.played(), h.played().size()));
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_Faults.moc"
