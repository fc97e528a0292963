// The main window sending through a real sound server that is killed, frozen or restarted in
// the middle of a send: Playing never stays true, the send stops and says so within seconds,
// and once the server is back a Start sends again without restarting the program. Each case
// runs on a private server of its own (scripts/pulse-null-sink.sh in a temporary folder).

#include <signal.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "sound/VelWaveCtrl.h"
#include "ui/common/Fonts.h"
#include "ui/common/RadioGroup.h"
#include "ui/main/CW_Tamarik.h"
#include "ui/main/SoundUnit.h"

namespace {

const QString kText = QStringLiteral("CQ CQ CQ DE HL1ABC HL1ABC PSE K");

}  // namespace

class ServerLossTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_script;
    QByteArray m_savedServer;
    ProgramWindows m_windows;
    QStringList m_warnings;
    int m_dones = 0;
    int m_failed = 0;

    TForm1* form() const { return m_windows.Form1.get(); }

    bool startServer() {
        QProcess shell;
        shell.start(QStringLiteral("bash"),
                    {"-c", QStringLiteral("source '%1' '%2'").arg(m_script, m_dir.path())});
        return shell.waitForFinished(20000) && shell.exitCode() == 0;
    }
    void signalServer(int signalNumber) {
        QFile pidFile(m_dir.filePath(QStringLiteral("pid")));
        if (!pidFile.open(QIODevice::ReadOnly)) return;
        const pid_t pid = pidFile.readAll().trimmed().toInt();
        if (pid > 0) ::kill(pid, signalNumber);
    }
    void killServer() {
        signalServer(SIGKILL);
        QFile::remove(m_dir.filePath(QStringLiteral("pid")));
    }
    // Starts a send of `kText` and returns how long it took to come back to idle; `midway`
    // runs once the third letter has sounded.
    qint64 sendAndTime(const std::function<void()>& midway) {
        m_dones = m_failed = 0;
        auto* wave = form()->VelWaveCtrl1;
        wave->OnPlayDone = [this, midway, original = wave->OnPlayDone](TVelWaveCtrl* sender,
                                                                       const TWaveHdr* header,
                                                                       const uint8_t* buffer) {
            ++m_dones;
            if (header->flags & kWaveHdrFailed) ++m_failed;
            if (m_dones == 3 && midway) midway();
            original(sender, header, buffer);
        };
        form()->Memo1->setPlainText(kText);
        QElapsedTimer clock;
        clock.start();
        form()->AutoStartButton->click();  // returns when the send has ended
        return clock.elapsed();
    }

private slots:
    void initTestCase() {
        cwt::InstallFontSubstitutions();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
        m_script = qEnvironmentVariable("CWT_SOURCE_DIR") + "/scripts/pulse-null-sink.sh";
        m_savedServer = qgetenv("PULSE_SERVER");
        if (!startServer()) {
            if (qgetenv("CWT_PULSE_REQUIRED") == "1") QFAIL("cannot start a private server");
            QSKIP("cannot start a private PulseAudio server");
        }
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_dir.filePath("native")));
    }
    void cleanupTestCase() {
        signalServer(SIGCONT);
        QProcess::execute(QStringLiteral("bash"), {m_script, "--stop", m_dir.path()});
        if (m_savedServer.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", m_savedServer);
    }
    void init() {
        QVERIFY(startServer());
        m_windows = CreateProgramWindows();
        m_warnings.clear();
        form()->showWarning = [this](const QString&, const QString& text) { m_warnings << text; };
        QVERIFY(!form()->CheckBox1->isChecked());
        // x1: the shortest letters, so a whole text sounds in a few seconds.
        form()->RadioGroup1->setItemIndex(0);
        form()->RadioGroup1Click(form()->RadioGroup1);
    }
    void cleanup() { m_windows = {}; }

    void serverKilledMidSendStopsItAndARestartedServerSendsAgain() {
        const qint64 killedMs = sendAndTime([this] { killServer(); });
        std::printf(
            "server killed after 3 letters: the send stopped %lld ms after Start, %d of "
            "%d buffers failed\n",
            static_cast<long long>(killedMs), m_failed, m_dones);
        QVERIFY(form()->AutoStartButton->isEnabled());
        QVERIFY(!form()->VelWaveCtrl1->Playing());
        QVERIFY(m_failed >= 1 && m_dones <= 6);
        QCOMPARE(m_warnings.size(), 1);
        QVERIFY2(m_warnings[0].contains("송신을 멈추었습니다"), qPrintable(m_warnings[0]));

        QVERIFY(startServer());
        const qint64 againMs = sendAndTime(nullptr);
        std::printf("restarted server: the whole text sent in %lld ms, %d of %d buffers failed\n",
                    static_cast<long long>(againMs), m_failed, m_dones);
        QCOMPARE(m_failed, 0);
        QCOMPARE(m_warnings.size(), 1);
        QVERIFY(againMs > 2000);  // it sounded: 31 characters take seconds even at x1
    }

    void frozenServerStopsTheSendWithinSeconds() {
        const qint64 frozenMs = sendAndTime([this] { signalServer(SIGSTOP); });
        std::printf("server frozen after 3 letters: the send stopped %lld ms after Start\n",
                    static_cast<long long>(frozenMs));
        signalServer(SIGCONT);
        QVERIFY(form()->AutoStartButton->isEnabled());
        QVERIFY(m_failed >= 1);
        QCOMPARE(m_warnings.size(), 1);
        QVERIFY(frozenMs < 10000);
    }

    void serverKilledDuringRandomGroupsEndsThem() {
        form()->Memo1->clear();
        auto* wave = form()->VelWaveCtrl1;
        int dones = 0;
        wave->OnPlayDone = [&, original = wave->OnPlayDone](TVelWaveCtrl* sender,
                                                            const TWaveHdr* header,
                                                            const uint8_t* buffer) {
            if (++dones == 3) killServer();
            original(sender, header, buffer);
        };
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(form()->RandomSoundButton, Qt::LeftButton);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(!form()->RandomSoundButton->isChecked());
        QVERIFY(form()->AutoStartButton->isEnabled());
        QCOMPARE(m_warnings.size(), 1);
        QVERIFY(form()->Memo1->toPlainText().size() <= 11);
    }
};

QTEST_MAIN(ServerLossTest)
#include "tst_ServerLoss_pulse.moc"
