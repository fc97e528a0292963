#include "tests/sound/support/AudioTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <ctime>

namespace cwt::test {

void EnsureCoreApp() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "audio-test";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(5);
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

uint32_t Le32(const QByteArray& bytes, int offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(offset + i));
    return value;
}

uint16_t Le16(const QByteArray& bytes, int offset) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(offset)) |
                                 static_cast<uint8_t>(bytes.at(offset + 1)) << 8);
}

WaveModuleView ReadWithPythonWave(const QString& path) {
    WaveModuleView view;
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral(
             "import sys, wave\n"
             "w = wave.open(sys.argv[1], 'rb')\n"
             "print(w.getnchannels(), w.getframerate(), w.getsampwidth(), w.getnframes())\n"
             "print(w.readframes(w.getnframes()).hex())\n"),
         path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        view.error = QString::fromUtf8(python.readAllStandardError());
        return view;
    }
    const QList<QByteArray> lines = python.readAllStandardOutput().split('\n');
    const QList<QByteArray> fields = lines.value(0).split(' ');
    if (fields.size() != 4) return view;
    view.channels = fields[0].toInt();
    view.rate = fields[1].toInt();
    view.width = fields[2].toInt();
    view.frames = fields[3].toInt();
    view.data = QByteArray::fromHex(lines.value(1));
    view.ok = true;
    return view;
}

long SoxSampleCount(const QString& path) {
    QProcess soxi;
    soxi.start(QStringLiteral("soxi"), {QStringLiteral("-s"), path});
    if (!soxi.waitForFinished(30000) || soxi.exitCode() != 0) return -1;
    bool ok = false;
    const long count = soxi.readAllStandardOutput().trimmed().toLong(&ok);
    return ok ? count : -1;
}

bool PulseServerAnswers() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit &&
           pactl.exitCode() == 0;
}

bool PulseRequired() { return qEnvironmentVariable("CWT_PULSE_REQUIRED") == QLatin1String("1"); }

namespace {

int64_t NowNsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// The server logs several thousand lines a second at the level that tells lost cycles.
constexpr qint64 kLogBytesOfTwoSeconds = 8 << 20;

}  // namespace

ServerCycleWatch::ServerCycleWatch() {
    const QString dir = qEnvironmentVariable("CWT_PULSE_DIR");
    if (dir.isEmpty()) return;
    m_logPath = dir + QStringLiteral("/pipewire.log");
    m_readFrom = std::max<qint64>(0, QFileInfo(m_logPath).size() - kLogBytesOfTwoSeconds);
    m_sinceNs = NowNsOf(CLOCK_MONOTONIC) - kLogsOneInNs;
}

std::vector<ServerCycleWatch::LostCycle> ServerCycleWatch::lostCycles() const {
    std::vector<LostCycle> found;
    if (m_logPath.isEmpty()) return found;
    QFile log(m_logPath);
    if (!log.open(QIODevice::ReadOnly) || !log.seek(m_readFrom)) return found;
    // Each line begins "[D][14456.631592] pw.node ...": the raw monotonic clock, which runs
    // apart from the monotonic one by the clock's corrections since boot (fixed over a test).
    const int64_t rawToMonotonicNs = NowNsOf(CLOCK_MONOTONIC) - NowNsOf(CLOCK_MONOTONIC_RAW);
    const QByteArray text = log.readAll();
    for (const QByteArray& mark : {QByteArrayLiteral("graph not finished"),
                                   QByteArrayLiteral("XRun!")}) {
        for (qsizetype at = text.indexOf(mark); at >= 0; at = text.indexOf(mark, at + 1)) {
            const qsizetype begin = text.lastIndexOf('\n', at) + 1;
            qsizetype end = text.indexOf('\n', at);
            if (end < 0) end = text.size();
            const QByteArray line = text.mid(begin, end - begin).trimmed();
            const qsizetype open = line.indexOf("][");
            const qsizetype close = line.indexOf(']', open + 2);
            bool ok = false;
            const double seconds = line.mid(open + 2, close - open - 2).toDouble(&ok);
            if (open < 0 || close <= open || !ok) continue;
            const int64_t ns = std::llround(seconds * 1e9) + rawToMonotonicNs;
            if (ns >= m_sinceNs) found.push_back({ns, line});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const LostCycle& a, const LostCycle& b) { return a.ns < b.ns; });
    return found;
}

std::string ServerCycleWatch::unfinishedCycles() const {
    std::string text;
    for (const LostCycle& cycle : lostCycles()) text += cycle.line.toStdString() + '\n';
    return text;
}

std::vector<int64_t> ServerCycleWatch::unfinishedCycleTimesNs() const {
    std::vector<int64_t> times;
    for (const LostCycle& cycle : lostCycles()) times.push_back(cycle.ns);
    return times;
}

MonitorRecording::~MonitorRecording() {
    if (m_process) stop();
}

bool MonitorRecording::start(const QString& rawPath, const QString& source) {
    m_path = rawPath;
    QFile::remove(rawPath);
    m_process = new QProcess;
    m_process->setStandardOutputFile(rawPath);
    m_process->start(QStringLiteral("parec"),
                     {QStringLiteral("-d"), source, QStringLiteral("--rate=48000"),
                      QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"),
                      QStringLiteral("--latency-msec=100"), QStringLiteral("--raw")});
    if (!m_process->waitForStarted(5000)) return false;
    return WaitUntil([&] { return QFileInfo(rawPath).size() > 4800; }, 5000);
}

std::vector<int16_t> MonitorRecording::stop() {
    if (!m_process) return {};
    m_process->terminate();
    m_process->waitForFinished(5000);
    delete m_process;
    m_process = nullptr;
    const QByteArray raw = ReadAll(m_path);
    std::vector<int16_t> samples(static_cast<size_t>(raw.size() / 2));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                          static_cast<uint8_t>(raw[2 * i + 1]) << 8);
    return samples;
}

void PlayWithPaplay(const QString& wavPath) {
    QProcess paplay;
    paplay.start(QStringLiteral("paplay"), {wavPath});
    paplay.waitForStarted(5000);
    WaitUntil([&] { return paplay.state() == QProcess::NotRunning; }, 60000);
}

QString RendererPath() {
    return qEnvironmentVariable("CWT_BINARY_DIR") +
           QStringLiteral("/src/tools/render/cw-tamarik-render");
}

}  // namespace cwt::test
