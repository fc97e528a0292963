#include "tests/sound/support/PrivateServer.h"

#include <signal.h>

#include <QFile>
#include <QProcess>

#include "tests/sound/support/AudioTestSupport.h"

namespace cwt::test {

PrivateServer::PrivateServer() : m_saved(qgetenv("PULSE_SERVER")) {}

PrivateServer::~PrivateServer() {
    if (pid() > 0) ::kill(pid(), SIGCONT);
    QProcess::execute(QStringLiteral("bash"), {Script(), QStringLiteral("--stop"), m_dir.path()});
    if (m_saved.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", m_saved);
}

QString PrivateServer::Script() {
    return qEnvironmentVariable("CWT_SOURCE_DIR") + QStringLiteral("/scripts/pulse-null-sink.sh");
}

bool PrivateServer::start() {
    QProcess shell;
    shell.start(
        QStringLiteral("bash"),
        {QStringLiteral("-c"), QStringLiteral("source \"$0\" \"$1\""), Script(), m_dir.path()});
    if (!shell.waitForFinished(20000)) return false;
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_dir.filePath(QStringLiteral("native"))));
    return pid() > 0 && PulseServerAnswers();
}

pid_t PrivateServer::pid() const {
    return ReadAll(m_dir.filePath(QStringLiteral("pid"))).trimmed().toInt();
}

void PrivateServer::signal(int sig) { ::kill(pid(), sig); }

void PrivateServer::kill() {
    ::kill(pid(), SIGKILL);
    WaitUntil([] { return !PulseServerAnswers(); }, 3000);
    QFile::remove(m_dir.filePath(QStringLiteral("pid")));
}

QString PrivateServer::lines(const QStringList& pactlArgs) {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), pactlArgs);
    pactl.waitForFinished(5000);
    return QString::fromUtf8(pactl.readAllStandardOutput());
}

}  // namespace cwt::test
