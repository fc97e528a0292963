#pragma once
// Helpers shared by the sound tests.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QProcess;

namespace cwt::test {

// A QCoreApplication for GoogleTest executables whose code needs an event loop.
void EnsureCoreApp();

// Handles events until `done()` or `timeoutMs`; true when done.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

QByteArray ReadAll(const QString& path);
uint32_t Le32(const QByteArray& bytes, int offset);
uint16_t Le16(const QByteArray& bytes, int offset);

// What Python's wave module reads from a file: "channels rate width frames" and the frames'
// bytes as hex, or the error it raises.
struct WaveModuleView {
    bool ok = false;
    int channels = 0;
    int rate = 0;
    int width = 0;
    int frames = 0;
    QByteArray data;
    QString error;
};
WaveModuleView ReadWithPythonWave(const QString& path);
// What sox says about a file ("soxi -s" sample count), -1 when it refuses it.
long SoxSampleCount(const QString& path);

// Whether a sound server answers; a pulse test fails instead of skipping when the test command
// asks for the server (CWT_PULSE_REQUIRED=1).
bool PulseServerAnswers();
bool PulseRequired();

// Plays a WAV file with paplay and returns when it has ended.
void PlayWithPaplay(const QString& wavPath);

// The built renderer.
QString RendererPath();

// Cycles of PipeWire's graph that ended before every node in it had done its part. The sink
// then mixes a cycle (a graph period: 2.7 ms for the sidetone, 8-11 ms for a send) without the
// late stream: a tone breaks off and goes on, or loses that much, through no fault of the
// program, and the server does not tell the stream. The private PipeWire
// (pipewire-null-sink.sh) logs such cycles ("graph not finished"), only the first one or two in
// two seconds: one it did not log lies within two seconds after one it logged. The watch therefore
// also counts a cycle logged in the two seconds before it began, as the sign that it may have
// lost more unlogged since. A test whose measurement failed asks whether the server lost a
// cycle meanwhile: then it cannot judge the program. PulseAudio mixes in one process and has no
// such cycles.
class ServerCycleWatch {
public:
    ServerCycleWatch();  // watches from now on
    // The server's lines about unfinished cycles since then; empty when there were none.
    std::string unfinishedCycles() const;
    // When those cycles were, on the monotonic clock [ns] (the log tells the raw monotonic clock,
    // 0.2 s apart from it on a machine up for four hours).
    std::vector<int64_t> unfinishedCycleTimesNs() const;

    static constexpr int64_t kLogsOneInNs = 2'000'000'000;  // the server's rate limit

private:
    struct LostCycle {
        int64_t ns;  // monotonic
        QByteArray line;
    };
    std::vector<LostCycle> lostCycles() const;  // those the log tells, each read once

    QString m_logPath;
    qint64 m_readFrom = 0;  // far enough back in the log to hold the last two seconds
    int64_t m_sinceNs = 0;
};

// Records the null sink's monitor with parec (48000 Hz, mono, signed 16 bit). With 100 ms of
// recording latency: at 10 ms the recording stream drives PipeWire's graph at a 5.3 ms cycle,
// and under load the recording then loses or repeats a cycle now and then, which no sender
// caused. The samples keep their times whatever the latency.
class MonitorRecording {
public:
    ~MonitorRecording();
    // Starts parec and returns once samples arrive.
    bool start(const QString& rawPath, const QString& source = QStringLiteral("cwnull.monitor"));
    std::vector<int16_t> stop();
    static constexpr int kRate = 48000;

private:
    QProcess* m_process = nullptr;
    QString m_path;
};

}  // namespace cwt::test
