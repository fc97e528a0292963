// The mixer dialog when its sound server goes away, stops answering or comes late. Each case
// runs on a private server of its own (scripts/pulse-null-sink.sh in a temporary folder), so
// stopping it disturbs no other test.

#include <signal.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/mixer/VolumeCtrlUnit.h"

namespace {

struct Told {
    QString text;
    bool error = false;
};

}  // namespace

class TestVolumeFormServerLoss : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_script;
    std::unique_ptr<TVolumeForm> m_form;
    QList<Told> m_told;

    bool startServer() {
        QProcess shell;
        shell.start(QStringLiteral("bash"),
                    {"-c", QStringLiteral("source '%1' '%2'").arg(m_script, m_dir.path())});
        return shell.waitForFinished(15000) && shell.exitCode() == 0;
    }
    void stopServer() {
        signalServer(SIGCONT);
        QProcess::execute(QStringLiteral("bash"), {m_script, "--stop", m_dir.path()});
    }
    void signalServer(int signalNumber) {
        QFile pidFile(m_dir.filePath(QStringLiteral("pid")));
        if (!pidFile.open(QIODevice::ReadOnly)) return;
        const pid_t pid = pidFile.readAll().trimmed().toInt();
        if (pid > 0) ::kill(pid, signalNumber);
    }
    void makeForm() {
        m_form = std::make_unique<TVolumeForm>();
        m_told.clear();
        m_form->setMessageSink([this](const QString& text, bool error) {
            m_told.append({text, error});
        });
    }
    void reopen() {
        m_told.clear();
        m_form->close();
        m_form->show();
    }
    QString log() const { return m_form->Memo1->toPlainText(); }
    bool told(const QString& start, bool error) const {
        for (const Told& message : m_told)
            if (message.text.startsWith(start) && message.error == error) return true;
        return false;
    }
    static qint64 msToMoveVolume(QSlider* bar, int value) {
        QElapsedTimer timer;
        timer.start();
        bar->setValue(value);
        return timer.elapsed();
    }

private slots:
    void initTestCase() {
        // PulseAudio, or PipeWire's pulse server when CWT_SOUND_SERVER=pipewire.
        m_script = qEnvironmentVariable("CWT_SOURCE_DIR") + "/scripts/pulse-null-sink.sh";
        const QString server = qEnvironmentVariable("CWT_SOUND_SERVER") == "pipewire"
                                   ? QStringLiteral("pipewire-pulse")
                                   : QStringLiteral("pulseaudio");
        const bool canStart =
            QFile::exists(m_script) && !QStandardPaths::findExecutable(server).isEmpty();
        if (!canStart && qEnvironmentVariableIsSet("CWT_PULSE_REQUIRED"))
            QFAIL(
                qPrintable("cannot start a private sound server (CWT_SOURCE_DIR, " + server + ")"));
        if (!canStart) QSKIP(qPrintable("no " + server + " to start a private sound server"));
        QVERIFY(m_dir.isValid());
        qputenv("PULSE_SERVER", "unix:" + m_dir.filePath(QStringLiteral("native")).toUtf8());
    }

    void init() { QVERIFY(startServer()); }

    void cleanup() {
        m_form.reset();
        stopServer();
    }

    // The server leaves files without write permission behind.
    void cleanupTestCase() {
        QProcess::execute(QStringLiteral("chmod"), {"-R", "u+w", m_dir.path()});
    }

    void serverGoingAwayLeavesTheDialogUsable() {
        makeForm();
        m_form->show();
        QVERIFY(m_form->slotFound(1));

        stopServer();
        QTRY_VERIFY(log().contains(QStringLiteral("Sound server connection lost")));
        QVERIFY(msToMoveVolume(m_form->tbVolume, 30000) < 200);
        m_form->AudioCheck->click();
        m_form->Button1->click();
        QVERIFY(told(QStringLiteral("raise error code id "), false));

        reopen();
        QVERIFY(told(QStringLiteral("Can't find audio output mixer line for "), true));
        QVERIFY(log().contains(QStringLiteral("Can't open the sound server: ")));
        QVERIFY(!m_form->slotFound(1));

        // The server is back: the next show finds everything again.
        QVERIFY(startServer());
        reopen();
        QVERIFY(m_form->slotFound(1));
        QVERIFY(!told(QStringLiteral("Can't find audio output mixer line"), true));
        QVERIFY(m_form->tbVolume->isEnabled());
    }

    // A server that stops answering costs one timeout, then the dialog no longer waits on it.
    void silentServerIsDroppedAfterOneTimeout() {
        makeForm();
        m_form->show();
        QVERIFY(m_form->slotFound(1));

        signalServer(SIGSTOP);
        const qint64 firstMs = msToMoveVolume(m_form->tbVolume, 20000);
        QVERIFY2(firstMs >= 900 && firstMs < 3000, qPrintable(QString::number(firstMs)));
        QTRY_VERIFY(log().contains(QStringLiteral("Sound server connection lost")));
        QVERIFY(msToMoveVolume(m_form->tbVolume, 10000) < 100);

        QElapsedTimer showing;
        showing.start();
        reopen();
        QVERIFY2(showing.elapsed() < 5000, qPrintable(QString::number(showing.elapsed())));
        QVERIFY(told(QStringLiteral("Can't find audio output mixer line for "), true));

        signalServer(SIGCONT);
        reopen();
        QVERIFY(m_form->slotFound(1));
    }

    // No server at start-up: an empty list, and the first show after the server came lists
    // the sinks and opens the first.
    void serverComingLateIsListedAtShow() {
        stopServer();
        makeForm();
        QCOMPARE(m_form->MixerNames->count(), 0);
        QVERIFY(startServer());
        m_form->show();
        QVERIFY(m_form->MixerNames->findData(QStringLiteral("cwnull")) >= 0);
        QVERIFY(m_form->slotFound(1));
    }
};

QTEST_MAIN(TestVolumeFormServerLoss)
#include "tst_VolumeFormServerLoss_pulse.moc"
