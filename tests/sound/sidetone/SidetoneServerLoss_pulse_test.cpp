// The sidetone when its server goes away or stops answering, on a private server of its own
// (scripts/pulse-null-sink.sh in a temporary folder; PulseAudio, or PipeWire with its pulse
// server when CWT_SOUND_SERVER=pipewire), so that the suite's server is left alone: the loss is
// told in words, the sidetone closes, and nothing waits for the server.

#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "sound/sidetone/Sidetone.h"
#include "tests/sound/support/AudioTestSupport.h"

namespace cwt {
namespace {

// Every process of a private sound server (PulseAudio alone, or PipeWire, WirePlumber and
// pipewire-pulse), reached through PULSE_SERVER and PIPEWIRE_RUNTIME_DIR while it lives.
class PrivateSoundServer {
public:
    PrivateSoundServer()
        : m_savedPulse(qgetenv("PULSE_SERVER")), m_savedPipeWire(qgetenv("PIPEWIRE_RUNTIME_DIR")) {}
    ~PrivateSoundServer() {
        signalAll(SIGCONT);
        QProcess::execute(QStringLiteral("bash"),
                          {script(), QStringLiteral("--stop"), m_dir.path()});
        Restore("PULSE_SERVER", m_savedPulse);
        Restore("PIPEWIRE_RUNTIME_DIR", m_savedPipeWire);
    }
    bool start() {
        QProcess shell;
        shell.start(QStringLiteral("bash"),
                    {QStringLiteral("-c"), QStringLiteral("source \"$0\" \"$1\" >/dev/null"),
                     script(), m_dir.path()});
        if (!shell.waitForFinished(30000)) return false;
        qputenv("PULSE_SERVER",
                "unix:" + QFile::encodeName(m_dir.filePath(QStringLiteral("native"))));
        qputenv("PIPEWIRE_RUNTIME_DIR", QFile::encodeName(m_dir.filePath(QStringLiteral("run"))));
        return !pids().isEmpty() && test::PulseServerAnswers();
    }
    void signalAll(int signalNumber) {
        for (const int pid : pids()) ::kill(pid, signalNumber);
    }

private:
    static QString script() {
        return qEnvironmentVariable("CWT_SOURCE_DIR") +
               QStringLiteral("/scripts/pulse-null-sink.sh");
    }
    static void Restore(const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    // The server's processes: PulseAudio's pid file, or one per PipeWire daemon (not D-Bus).
    QList<int> pids() const {
        QList<int> found;
        const QDir dir(m_dir.path());
        for (const QString& name : dir.entryList({QStringLiteral("*pid")}, QDir::Files)) {
            if (name == QLatin1String("dbus.pid")) continue;
            const int pid = test::ReadAll(dir.filePath(name)).trimmed().toInt();
            if (pid > 0 && !found.contains(pid)) found << pid;
        }
        return found;
    }

    QTemporaryDir m_dir;
    QByteArray m_savedPulse;
    QByteArray m_savedPipeWire;
};

class SidetoneServerLoss : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureCoreApp();
        if (!m_server.start()) {
            if (test::PulseRequired()) FAIL() << "cannot start a private sound server";
            GTEST_SKIP() << "cannot start a private sound server";
        }
        m_sidetone = std::make_unique<Sidetone>();
        QObject::connect(m_sidetone.get(), &Sidetone::failed,
                         [this](const QString& message) { m_failures << message; });
        ASSERT_TRUE(m_sidetone->open(ToneSettings{})) << m_sidetone->errorText().toStdString();
        ASSERT_TRUE(test::WaitUntil([this] { return m_sidetone->isReady(); }, 5000));
        // Keyed while the server goes: nothing may wait for the key-up.
        m_sidetone->keyDown(keyer::KeyTime(std::chrono::steady_clock::now().time_since_epoch()));
    }

    // The loss is told once, in words, and leaves the sidetone closed; closing and keying
    // afterwards return at once.
    void expectToldAndClosed(const char* words) {
        ASSERT_TRUE(test::WaitUntil([this] { return !m_failures.isEmpty(); }, 5000))
            << "the loss was not told";
        EXPECT_EQ(m_failures.size(), 1);
        EXPECT_TRUE(m_failures.first().contains(QString::fromUtf8(words)))
            << m_failures.first().toStdString();
        EXPECT_EQ(m_sidetone->errorText(), m_failures.first());
        EXPECT_FALSE(m_sidetone->isOpen());
        QElapsedTimer clock;
        clock.start();
        m_sidetone->keyUp(keyer::KeyTime(std::chrono::steady_clock::now().time_since_epoch()));
        m_sidetone->close();
        m_sidetone.reset();
        EXPECT_LT(clock.elapsed(), 500);
    }

    PrivateSoundServer m_server;
    std::unique_ptr<Sidetone> m_sidetone;
    QStringList m_failures;
};

TEST_F(SidetoneServerLoss, AServerThatGoesAwayIsTold) {
    m_server.signalAll(SIGKILL);
    expectToldAndClosed("소리 서버와의 연결이 끊겼습니다");
}

TEST_F(SidetoneServerLoss, AServerThatStopsAnsweringIsTold) {
    m_server.signalAll(SIGSTOP);
    expectToldAndClosed("소리 서버가 응답하지 않습니다");
}

TEST(SidetoneWithoutServer, OpeningIsRefusedInWords) {
    test::EnsureCoreApp();
    const QByteArray savedPulse = qgetenv("PULSE_SERVER");
    const QByteArray savedPipeWire = qgetenv("PIPEWIRE_RUNTIME_DIR");
    QTemporaryDir nowhere;
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(nowhere.filePath(QStringLiteral("none"))));
    qputenv("PIPEWIRE_RUNTIME_DIR", QFile::encodeName(nowhere.path()));
    Sidetone sidetone;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(sidetone.open(ToneSettings{}));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(sidetone.errorText().contains(QStringLiteral("소리 서버에 연결할 수 없습니다")))
        << sidetone.errorText().toStdString();
    EXPECT_FALSE(sidetone.isOpen());
    sidetone.keyDown(keyer::KeyTime(1));  // ignored
    qputenv("PULSE_SERVER", savedPulse);
    if (savedPipeWire.isNull())
        qunsetenv("PIPEWIRE_RUNTIME_DIR");
    else
        qputenv("PIPEWIRE_RUNTIME_DIR", savedPipeWire);
}

}  // namespace
}  // namespace cwt
