#pragma once
// A sound server of the test's own with the null sink "cwnull", reachable through
// PULSE_SERVER while the test runs: PulseAudio, or PipeWire with its pulse server when
// CWT_SOUND_SERVER=pipewire. The test can freeze it, kill it and start it again.

#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace cwt::test {

class PrivateServer {
public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    static QString Script();
    // Starts the server (or starts it again after kill()); true once it answers.
    bool start();
    pid_t pid() const;
    void signal(int sig);
    // Kills the server the clients talk to and waits until it no longer answers.
    void kill();
    // What pactl prints for these arguments.
    QString lines(const QStringList& pactlArgs);

private:
    QTemporaryDir m_dir;
    QByteArray m_saved;
};

}  // namespace cwt::test
