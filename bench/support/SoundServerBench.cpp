#include "bench/support/SoundServerBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <cerrno>

namespace cwt::bench {

QCoreApplication* App() {
    static int argc = 1;
    static char* argv[] = {program_invocation_short_name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return app;
}

void Pause(int ms) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(5);
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool ServerAnswers() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(5000) && pactl.exitCode() == 0;
}

bool OnPipeWire() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    pactl.waitForFinished(5000);
    return pactl.readAllStandardOutput().contains("PipeWire");
}

bool ServerReady(benchmark::State& state) {
    App();
    if (ServerAnswers()) return true;
    state.SkipWithError("no sound server (source scripts/pulse-null-sink.sh DIR)");
    return false;
}

}  // namespace cwt::bench
