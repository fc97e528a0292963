// The real program on a virtual X display, played through the real sound server's null sink:
// an operator types a short text into the live box and clicks Start, and what reached the
// sound server must follow the timing model edge for edge. Also measures the start-up time
// and the CPU time the program takes while it sends a longer text.

#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "sound/RhythmMeter.h"
#include "tests/sound/support/AudioTestSupport.h"
#include "tests/ui/support/MainWindowHarness.h"

namespace {

constexpr int kMonitorRate = 48000;

bool PulseRequired() { return qgetenv("CWT_PULSE_REQUIRED") == "1"; }

bool Run(const QString& program, const QStringList& args, QString* output = nullptr,
         int timeoutMs = 10000) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output) *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// User and system time of a process, in clock ticks.
long long CpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QString line = QString::fromLatin1(stat.readAll());
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QStringList fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

// The sound server's own lines about the program's stream running dry, logged since the watch
// was made: PulseAudio's "Implicit underrun of 'Morse'", pipewire-pulse's "underrun read" for
// this program. With the graph cycles PipeWire ended unfinished, they tell whether a stretched
// gap was the program's sound coming late or the server losing time.
class ServerLogWatch {
public:
    ServerLogWatch() {
        const QString dir = qEnvironmentVariable("CWT_PULSE_DIR");
        if (dir.isEmpty()) return;
        for (const char* name : {"pulse.log", "pipewire-pulse.log"}) {
            const QString path = dir + '/' + QString::fromLatin1(name);
            m_logs.push_back({path, QFileInfo(path).size()});
        }
    }
    QString underruns() const {
        QString found;
        for (const auto& [path, from] : m_logs) {
            QFile log(path);
            if (!log.open(QIODevice::ReadOnly) || !log.seek(from)) continue;
            for (const QByteArray& line : log.readAll().split('\n'))
                if (line.contains("underrun of 'Morse'") ||
                    (line.contains("underrun read") && line.contains("CW Tamarik")))
                    found += QString::fromUtf8(line.trimmed()) + '\n';
        }
        return found + QString::fromStdString(m_cycles.unfinishedCycles());
    }

private:
    std::vector<std::pair<QString, qint64>> m_logs;
    cwt::test::ServerCycleWatch m_cycles;
};

// Each gap between two tones that differs from the one meant by more than `toleranceMs`: where
// it is and by how much, so that a failed rhythm tells which letter boundary it was.
QString GapsOff(const std::vector<cwt::ToneRun>& meant, const std::vector<cwt::ToneRun>& measured,
                double toleranceMs) {
    QString text;
    const size_t count = std::min(meant.size(), measured.size());
    for (size_t i = 1; i < count; ++i) {
        const double meantGap = meant[i].startMs - meant[i - 1].endMs;
        const double gap = measured[i].startMs - measured[i - 1].endMs;
        if (std::abs(gap - meantGap) > toleranceMs)
            text += QStringLiteral("gap before tone %1 (meant at %2 ms): %3 ms instead of %4\n")
                        .arg(i + 1)
                        .arg(meant[i].startMs, 0, 'f', 1)
                        .arg(gap, 0, 'f', 2)
                        .arg(meantGap, 0, 'f', 2);
    }
    return text;
}

// Where the operator clicks, in window coordinates: the same window built here.
// What the program's fresh window plays for a text is taken from the same window built here,
// sending at full speed on a simulated device.
struct ClickPoints {
    QPoint edit1;
    QPoint start;
    QPoint stop;
    std::vector<uint8_t> meantParis;
};

ClickPoints PointsOfTheLayout() {
    MainWindowHarness h;
    TForm1* f = h.form();
    f->show();
    QTest::qWait(50);
    auto centre = [f](QWidget* w) { return w->mapTo(f, w->rect().center()); };
    return {centre(f->Edit1), centre(f->AutoStartButton), centre(f->AutoStopButton),
            h.plannedSend("PARIS")};
}

class VirtualDisplay {
public:
    ~VirtualDisplay() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            m_server.waitForFinished(3000);
        }
    }
    // Xvfb writes its display's number once it takes clients (-displayfd); its socket's file
    // appears before that, and a file left by an earlier server may be there already.
    // -noreset: by default the server resets whenever its last client leaves, and the program
    // connecting just as one of the window searches below leaves is refused.
    bool start() {
        for (int n = 60 + getpid() % 100; n < 300; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                continue;
            m_server.start(QStringLiteral("Xvfb"),
                           {QStringLiteral(":%1").arg(n), "-displayfd", "1", "-screen", "0",
                            "1280x1024x24", "-nolisten", "tcp", "-noreset"});
            if (!m_server.waitForStarted(3000)) return false;
            QByteArray told;
            QElapsedTimer clock;
            clock.start();
            while (!told.contains('\n') && clock.elapsed() < 10000 &&
                   m_server.state() == QProcess::Running) {
                m_server.waitForReadyRead(100);
                told += m_server.readAllStandardOutput();
            }
            if (told.trimmed() == QByteArray::number(n)) {
                m_name = QStringLiteral(":%1").arg(n);
                qputenv("DISPLAY", m_name.toLocal8Bit());
                return true;
            }
            m_server.kill();  // display taken meanwhile, or it never answered
            m_server.waitForFinished(3000);
        }
        return false;
    }
    QString name() const { return m_name; }

private:
    QProcess m_server;
    QString m_name;
};

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        InitMainWindowTests();
        const bool server = Run(QStringLiteral("pactl"), {QStringLiteral("info")});
        if (!server) {
            if (PulseRequired()) QFAIL("no sound server answers");
            QSKIP("no sound server");
        }
        for (const char* tool : {"Xvfb", "xdotool", "parec"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(tool)));
        m_program = qEnvironmentVariable("CWT_BINARY_DIR") + "/src/ui/cw-tamarik";
        QVERIFY2(QFile::exists(m_program), qPrintable(m_program));
    }

    void operatorSendsATextThatKeepsTime() {
        const ClickPoints points = PointsOfTheLayout();
        VirtualDisplay display;
        QVERIFY(display.start());
        QTemporaryDir dir;

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display.name());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        QElapsedTimer startUp;
        startUp.start();
        program.start(m_program, {});
        // Polled often, so the time is that of the window and not of the polling.
        QString window;
        while (!Run("xdotool", {"search", "--onlyvisible", "--name", "CW Tamarik"}, &window) &&
               startUp.elapsed() < 15000)
            QThread::msleep(5);
        const qint64 startUpMs = startUp.elapsed();
        QVERIFY(!window.trimmed().isEmpty());
        window = window.split('\n').first().trimmed();
        QString geometry;
        QVERIFY(Run("xdotool", {"getwindowgeometry", window}, &geometry));
        const auto position = QRegularExpression("Position: (\\d+),(\\d+)").match(geometry);
        QVERIFY(position.hasMatch());
        const QPoint origin(position.captured(1).toInt(), position.captured(2).toInt());
        auto click = [&](QPoint at) {
            at += origin;
            return Run("xdotool", {"mousemove", "--sync", QString::number(at.x()),
                                   QString::number(at.y()), "click", "1"});
        };
        auto typeIntoEdit1 = [&](const QString& text) {
            return click(points.edit1) && Run("xdotool", {"key", "End", "shift+Home"}) &&
                   Run("xdotool", {"type", "--delay", "20", text});
        };

        // The live box sends the first typed letter at once; the rest is typed meanwhile.
        QVERIFY(typeIntoEdit1("PARIS"));
        QTest::qWait(2000);
        cwt::test::MonitorRecording monitor;
        QVERIFY(monitor.start(dir.filePath("monitor.raw")));
        const ServerLogWatch server;
        QVERIFY(click(points.start));
        const std::vector<uint8_t>& meantBytes = points.meantParis;
        QTest::qWait(static_cast<int>(meantBytes.size() * 1000 / 11025) + 1500);
        const std::vector<int16_t> samples = monitor.stop();

        const auto meant = cwt::ToneRunsOfBytes(meantBytes.data(), meantBytes.size(), 11025);
        const auto measured = cwt::ToneRunsOfSamples(samples.data(), samples.size(), kMonitorRate);
        const cwt::RhythmReport report = cwt::CompareRhythm(meant, measured, 1.0);
        std::printf("start-up to a shown window: %lld ms\n", static_cast<long long>(startUpMs));
        std::printf(
            "PARIS through the window: %d of %d tones, edges within %.3f ms, gaps %.3f ms "
            "max, %d stretched gaps, duration ratio %.5f\n",
            report.measuredTones, report.expectedTones, report.maxEdgeErrorMs, report.maxGapErrorMs,
            report.stretchedGaps, report.durationRatio);
        const QString told =
            GapsOff(meant, measured, 1.0) +
            QStringLiteral("the server logged (a stream that ends runs dry once):\n") +
            server.underruns();
        QVERIFY2(report.measuredTones == report.expectedTones, qPrintable(told));
        QVERIFY2(report.maxEdgeErrorMs <= 1.5, qPrintable(told));
        QVERIFY2(report.stretchedGaps == 0, qPrintable(told));
        QVERIFY(startUpMs < 3000);

        // A longer text: the program waits for the sound server without spinning.
        QVERIFY(typeIntoEdit1("PARIS PARIS PARIS PARIS PARIS PARIS"));
        QTest::qWait(2000);
        QVERIFY(click(points.start));
        QTest::qWait(1000);
        const long long before = CpuTicks(program.processId());
        QElapsedTimer sending;
        sending.start();
        QTest::qWait(5000);
        const long long after = CpuTicks(program.processId());
        const double cpuPercent = 100.0 * static_cast<double>(after - before) /
                                  static_cast<double>(sysconf(_SC_CLK_TCK)) /
                                  (static_cast<double>(sending.elapsed()) / 1000.0);
        std::printf("CPU while sending: %.2f %% of one core over %.1f s\n", cpuPercent,
                    static_cast<double>(sending.elapsed()) / 1000.0);
        QVERIFY(click(points.stop));
        QVERIFY(before >= 0 && after >= before);
        QVERIFY2(cpuPercent < 10.0, qPrintable(QString::number(cpuPercent)));

        program.terminate();
        QVERIFY(program.waitForFinished(5000));
    }

private:
    QString m_program;
};

QTEST_MAIN(EndToEndTest)
#include "tst_EndToEnd_pulse.moc"
