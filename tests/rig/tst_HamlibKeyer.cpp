// The rig's own keyer through Hamlib, against rigctld with the dummy rig (started here on a free
// port): a send's text and speed reach it, Hangul as Latin letters one word per syllable, a
// stop reaches it and its refusal is reported; a rigctld that is not there, or goes away
// while sending, ends keying with a message in words.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>

#include "rig/HamlibKeyer.h"
#include "rig/TransmitterKeyer.h"
#include "sound/CodePlayer.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/VelWaveCtrl.h"
#include "sound/WholeSend.h"

namespace {

// A TCP port nobody listens on, for now.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Whether something listens on 127.0.0.1:`port`, read from the kernel's table of sockets
// instead of by connecting: rigctld (Hamlib 4.5) closes the descriptor of a finished
// connection more than once (both of its stdio streams, then the descriptor), so a probe that
// connects and leaves at once can close the keyer's connection, accepted meanwhile under the
// same number, before the rig is opened through it ("fdopen ... Bad file descriptor").
bool Listens(int port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) return false;
    const QByteArray local =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A") return true;  // LISTEN
    }
    return false;
}

// rigctld with the dummy rig, talking about every command into its log.
class Rigctld {
public:
    bool start(const QString& log) {
        m_port = FreePort();
        m_log = log;
        // It ends with the test, also when the test dies.
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        // One channel into the file, so that its buffered output and its messages do not
        // write over each other.
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(log);
        m_process.start(QStringLiteral("rigctld"),
                        {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"),
                         QStringLiteral("127.0.0.1"), QStringLiteral("-t"), QString::number(m_port),
                         QStringLiteral("-vvvvv")});
        if (!m_process.waitForStarted(5000)) return false;
        for (int i = 0; i < 100 && !Listens(m_port); ++i) QTest::qWait(50);
        return Listens(m_port);
    }
    void stop() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    ~Rigctld() { stop(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    QString log() const {
        QFile file(m_log);
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }
    // The texts the dummy rig was asked to send, in order.
    QStringList sentTexts() const {
        QStringList texts;
        // rigctld quotes the text after one blank of its own.
        static const QRegularExpression sent(
            QStringLiteral("rigctl\\(d\\): b '[^']*' ' (.*)' '' ''"));
        auto it = sent.globalMatch(log());
        while (it.hasNext()) texts << it.next().captured(1);
        return texts;
    }

private:
    QProcess m_process;
    QString m_log;
    int m_port = 0;
};

cwt::KeyingSettings ThroughRigctld(const std::string& address) {
    cwt::KeyingSettings settings;
    settings.output = cwt::KeyOutput::RigKeyer;
    settings.connection = cwt::RigConnection::Rigctld;
    settings.rigctldAddress = address;
    return settings;
}

// A code player on a device without sound, keyed alongside through rigctld.
struct KeyedThroughRig {
    TVelWaveCtrl wave{nullptr, std::make_unique<cwt::SimulatedWaveDevice>()};
    cwt::CodePlayer player{wave, {}};
    cwt::TransmitterKeyer keyer{&wave};
    QSignalSpy ready{&keyer, &cwt::TransmitterKeyer::rigReady};
    QSignalSpy problems{&keyer, &cwt::TransmitterKeyer::problem};
    QSignalSpy stopped{&keyer, &cwt::TransmitterKeyer::stopped};

    // True once the rig is open.
    bool start(const Rigctld& rig) {
        player.setListener(&keyer);
        return keyer.start(ThroughRigctld(rig.address())) && ready.wait(5000);
    }
    // Why start() failed: what the keyer reported and the end of rigctld's log.
    QString whyNotStarted(const Rigctld& rig) const {
        QStringList told;
        for (const QList<QVariant>& problem : problems) told << problem.front().toString();
        return QStringLiteral("problems: [%1]\nrigctld log:\n%2")
            .arg(told.join(QStringLiteral(" | ")), rig.log().right(4000));
    }
    cwt::HamlibKeyer* hamlib() { return keyer.findChild<cwt::HamlibKeyer*>(); }
};

}  // namespace

class TestHamlibKeyer : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty())
            QSKIP("rigctld is not installed (Debian package libhamlib-utils)");
    }

    void textSpeedAndStopReachTheRig() {
        Rigctld rig;
        QVERIFY(rig.start(m_dir.filePath(QStringLiteral("rigctld.log"))));
        KeyedThroughRig k;
        QVERIFY2(k.start(rig), qPrintable(k.whyNotStarted(rig)));
        QVERIFY2(k.ready.front().front().toString().contains(QStringLiteral("rigctld 127.0.0.1")),
                 qPrintable(k.ready.front().front().toString()));

        // 한 CQ [AR] at x5, width 4: a 68 ms unit, 18 WPM.
        cwt::CodeSettings settings;
        cwt::SendWholeText(k.player, "\xC7\xD1 CQ [AR]", {}, settings);
        cwt::HamlibKeyer* hamlib = k.hamlib();
        QVERIFY(hamlib && hamlib->waitIdle(5000));
        QTRY_VERIFY2_WITH_TIMEOUT(rig.sentTexts().join(QString()) == QStringLiteral("JEF  CQ +"),
                                  qPrintable(rig.sentTexts().join('|') + rig.log().right(3000)),
                                  5000);
        QVERIFY(rig.log().contains(QStringLiteral("dummy_set_level called: KEYSPD 18")));
        QVERIFY(k.problems.isEmpty());

        // A stop reaches rigctld; the dummy rig has no stop of its own and says so.
        k.keyer.stopSending();
        QVERIFY(hamlib->waitIdle(5000));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("cmd=stop_morse")), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(k.problems.size(), 1, 5000);
        QVERIFY2(k.problems.front().front().toString().contains(QStringLiteral("중지")),
                 qPrintable(k.problems.front().front().toString()));

        // Another speed: the next letter sets it first.
        settings.dotLength = 300;  // x10: 136 ms, 9 WPM
        k.player.PlayCode("L!", false, settings);
        QVERIFY(hamlib->waitIdle(5000));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("KEYSPD 9")), 5000);
        QCOMPARE(rig.sentTexts().last(), QStringLiteral("T"));
    }

    void aRigctldThatIsNotThereEndsKeyingInWords() {
        cwt::TransmitterKeyer keyer(nullptr);
        QSignalSpy stopped(&keyer, &cwt::TransmitterKeyer::stopped);
        QSignalSpy problems(&keyer, &cwt::TransmitterKeyer::problem);
        QVERIFY(keyer.start(ThroughRigctld("127.0.0.1:" + std::to_string(FreePort()))));
        QVERIFY(stopped.wait(10000));
        QVERIFY(!keyer.active());
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.front().front().toString().contains(QStringLiteral("rigctld")),
                 qPrintable(problems.front().front().toString()));
    }

    void aRigctldThatGoesAwayEndsKeying() {
        Rigctld rig;
        QVERIFY(rig.start(m_dir.filePath(QStringLiteral("gone.log"))));
        KeyedThroughRig k;
        QVERIFY2(k.start(rig), qPrintable(k.whyNotStarted(rig)));
        rig.stop();
        // Writing to the closed connection must not end the program (SIGPIPE).
        for (int i = 0; i < 5 && k.stopped.isEmpty(); ++i) {
            k.player.PlayCode("SL!", false, cwt::CodeSettings{});
            QTest::qWait(200);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!k.stopped.isEmpty(), 10000);
        QVERIFY(!k.keyer.active());
        QVERIFY(k.problems.back().front().toString().contains(QStringLiteral("끊겼습니다")));
    }
};

QTEST_GUILESS_MAIN(TestHamlibKeyer)
#include "tst_HamlibKeyer.moc"
