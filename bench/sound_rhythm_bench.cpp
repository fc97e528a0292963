// Sound through the real server (the null sink of scripts/pulse-null-sink.sh, PulseAudio or
// PipeWire): the rhythm at several speeds, the loudest sound outside the tones, the CPU time a
// send costs, and how soon the first tone sounds. paplay playing the same bytes from a WAV file
// gives the server's own figures beside the program's. Each figure is a counter of its
// benchmark; run with PULSE_SERVER pointing at that server.

#include <benchmark/benchmark.h>
#include <pulse/pulseaudio.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>

#include "bench/support/CpuTime.h"
#include "bench/support/SoundServerBench.h"
#include "engine/morse/Timing.h"
#include "sound/CodePlayer.h"
#include "sound/PulseClient.h"
#include "sound/PulseWaveDevice.h"
#include "sound/RhythmMeter.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/VelWaveCtrl.h"
#include "sound/WholeSend.h"

namespace {

using Clock = std::chrono::steady_clock;

using cwt::bench::CpuSeconds;
using cwt::bench::Pause;
// Every benchmark here needs the application and an answering server.
using cwt::bench::ServerReady;

cwt::CodeSettings Settings(int multiplier, int width) {
    cwt::TimingModel timing;
    cwt::ApplyRatio(timing, 4);
    cwt::ApplyMultiplier(timing, multiplier - 1);
    cwt::CodeSettings settings;
    settings.dotLength = timing.DotLength;
    settings.toneWidth = width;
    return settings;
}

// The speed and width a benchmark runs at: its arguments "x" and "width".
cwt::CodeSettings Settings(const benchmark::State& state) {
    return Settings(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
}

double UnitMs(const cwt::CodeSettings& settings) {
    return cwt::ToneUnit(settings.toneWidth, settings.dotLength) * 1000.0 / 11025.0;
}

// What a send hands to the wave output; with `wavPath`, also recorded there as the program's
// recording would be, for paplay.
std::vector<uint8_t> Meant(const std::string& text, const cwt::CodeSettings& settings,
                           const QString& wavPath = {}) {
    auto device = std::make_unique<cwt::SimulatedWaveDevice>();
    cwt::SimulatedWaveDevice* output = device.get();
    TVelWaveCtrl wave(nullptr, std::move(device));
    cwt::CodePlayer player(wave, {});
    wave.setPlaySoundRecord(true);
    if (!wavPath.isEmpty()) {
        wave.setFileName(wavPath);
        wave.StartRecording();
    }
    cwt::SendWholeText(player, text, {}, settings);
    wave.StopRecording();
    return output->played();
}

// The sink's monitor recorded with parec into a file. 100 ms of recording latency: with 10 ms
// the recording stream drives PipeWire's whole graph at a 5.3 ms cycle, and under load the
// recording itself then loses or repeats a cycle now and then, which no sender caused.
class Monitor {
public:
    explicit Monitor(const QString& rawPath) : m_path(rawPath) {
        m_parec.setStandardOutputFile(rawPath);
        m_parec.start(
            QStringLiteral("parec"),
            {QStringLiteral("-d"), QStringLiteral("cwnull.monitor"), QStringLiteral("--rate=48000"),
             QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"),
             QStringLiteral("--latency-msec=100"), QStringLiteral("--raw")});
        m_parec.waitForStarted();
        QElapsedTimer wait;
        wait.start();
        while (QFileInfo(rawPath).size() < 4800 && wait.elapsed() < 5000) Pause(10);
    }
    std::vector<int16_t> stop() {
        Pause(150);  // the last sound reaches the recording
        m_parec.terminate();
        m_parec.waitForFinished();
        QFile file(m_path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        std::vector<int16_t> samples(static_cast<size_t>(bytes.size() / 2));
        std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
        return samples;
    }

private:
    QProcess m_parec;
    QString m_path;
};

void PlayWithPaplay(const QString& wavPath) {
    QProcess paplay;
    paplay.start(QStringLiteral("paplay"), {wavPath});
    paplay.waitForStarted();
    while (paplay.state() != QProcess::NotRunning) Pause(20);
}

// The rhythm figures of a recording against the bytes meant; the tones of a later send in the
// same recording are left out.
cwt::RhythmReport RhythmOf(const std::vector<int16_t>& samples, const std::vector<uint8_t>& meant) {
    const auto meantTones = cwt::ToneRunsOfBytes(meant.data(), meant.size(), 11025);
    auto measured = cwt::ToneRunsOfSamples(samples.data(), samples.size(), 48000);
    if (!measured.empty()) {
        const double end = measured[0].startMs + meant.size() * 1000.0 / 11025 + 500;
        while (!measured.empty() && measured.back().startMs > end) measured.pop_back();
    }
    return cwt::CompareRhythm(meantTones, measured, 1.0);
}

void SetRhythmCounters(benchmark::State& state, const cwt::RhythmReport& report) {
    state.counters["tones"] = report.measuredTones;
    state.counters["tones_meant"] = report.expectedTones;
    state.counters["element_err_mean_ms"] = report.meanElementErrorMs;
    state.counters["element_err_max_ms"] = report.maxElementErrorMs;
    state.counters["gap_err_mean_ms"] = report.meanGapErrorMs;
    state.counters["gap_err_max_ms"] = report.maxGapErrorMs;
    state.counters["edge_err_max_ms"] = report.maxEdgeErrorMs;
    state.counters["stretched_gaps"] = report.stretchedGaps;
    state.counters["duration_ratio"] = report.durationRatio;
}

// Words, a Hangul syllable pair and a sign, repeated until the send lasts `seconds`.
std::string TextOf(const cwt::CodeSettings& settings, double seconds) {
    static const char* const kPieces[] = {"PARIS ", "CODE ", "\xEA\xB0\x80\xED\x95\x9C ", "[AR] ",
                                          "73 "};
    std::string utf8;
    std::string text;
    std::string error;
    for (int i = 0;; ++i) {
        utf8 += kPieces[i % 5];
        text = *cwt::EditorTextOfFile(utf8, &error);
        if (Meant(text, settings).size() >= seconds * 11025) return text;
    }
}

// The rhythm of a few seconds of text at one speed, recorded from the sink's monitor, and the
// loudest sample outside the tones: before the send, while the stream idles and when it is let
// go, then around a short second send after which the component is destroyed at once, as when
// the program quits.
void BM_RhythmThroughServer(benchmark::State& state) {
    if (!ServerReady(state)) return;
    const cwt::CodeSettings settings = Settings(state);
    const std::string text = TextOf(settings, 6.0);
    const std::string lastText = "PARIS";
    const std::vector<uint8_t> meantBytes = Meant(text, settings);
    const std::vector<uint8_t> lastBytes = Meant(lastText, settings);
    cwt::RhythmReport report;
    cwt::SilenceReport silence;
    int underflows = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        Monitor monitor(dir.filePath(QStringLiteral("monitor.raw")));
        Pause(200);
        const auto start = Clock::now();
        {
            TVelWaveCtrl wave;
            cwt::CodePlayer player(wave, {});
            const int before = wave.Device().underflowCount();
            cwt::SendWholeText(player, text, {}, settings);
            // Underflows while sending are lost time; the stream running dry after the last
            // letter is not counted.
            underflows = wave.Device().underflowCount() - before;
            wave.Drain(3000);
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
            Pause(cwt::PulseWaveDevice::kIdleDisconnectMs + 500);
            cwt::SendWholeText(player, lastText, {}, settings);
        }
        const std::vector<int16_t> samples = monitor.stop();
        report = RhythmOf(samples, meantBytes);
        silence = cwt::LoudestOutsideTones(
            samples.data(), samples.size(), 48000,
            {cwt::ToneRunsOfBytes(meantBytes.data(), meantBytes.size(), 11025),
             cwt::ToneRunsOfBytes(lastBytes.data(), lastBytes.size(), 11025)});
    }
    state.counters["unit_ms"] = UnitMs(settings);
    SetRhythmCounters(state, report);
    state.counters["underflows"] = underflows;
    state.counters["sends_found"] = silence.sendsFound;
    state.counters["outside_peak_pct"] = 100.0 * silence.loudest;
}
BENCHMARK(BM_RhythmThroughServer)
    ->ArgNames({"x", "width"})
    ->Args({1, 1})
    ->Args({1, 4})
    ->Args({5, 4})
    ->Args({10, 1})
    ->Args({10, 4})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The same bytes played by paplay from a WAV file: what the server itself makes of them.
void BM_PaplayRhythmThroughServer(benchmark::State& state) {
    if (!ServerReady(state)) return;
    const cwt::CodeSettings settings = Settings(state);
    QTemporaryDir dir;
    const QString wavPath = dir.filePath(QStringLiteral("reference.wav"));
    const std::vector<uint8_t> meantBytes = Meant(TextOf(settings, 6.0), settings, wavPath);
    cwt::RhythmReport report;
    cwt::SilenceReport silence;
    for (auto _ : state) {
        Monitor monitor(dir.filePath(QStringLiteral("monitor.raw")));
        Pause(200);
        const auto start = Clock::now();
        PlayWithPaplay(wavPath);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        Pause(500);
        const std::vector<int16_t> samples = monitor.stop();
        report = RhythmOf(samples, meantBytes);
        silence = cwt::LoudestOutsideTones(
            samples.data(), samples.size(), 48000,
            {cwt::ToneRunsOfBytes(meantBytes.data(), meantBytes.size(), 11025)});
    }
    SetRhythmCounters(state, report);
    state.counters["outside_peak_pct"] = 100.0 * silence.loudest;
}
BENCHMARK(BM_PaplayRhythmThroughServer)
    ->ArgNames({"x", "width"})
    ->Args({1, 1})
    ->Args({10, 4})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// CPU time of the whole process (GUI and libpulse threads) while a 60-second text is sent.
void BM_CpuWhileSending60s(benchmark::State& state) {
    if (!ServerReady(state)) return;
    const cwt::CodeSettings settings = Settings(state);
    const std::string text = TextOf(settings, 60.0);
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        TVelWaveCtrl wave;
        cwt::CodePlayer player(wave, {});
        const double cpuBefore = CpuSeconds();
        const auto start = Clock::now();
        cwt::SendWholeText(player, text, {}, settings);
        wall = std::chrono::duration<double>(Clock::now() - start).count();
        cpu = CpuSeconds() - cpuBefore;
        state.SetIterationTime(wall);
    }
    state.counters["send_s"] = wall;
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_pct_of_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_CpuWhileSending60s)
    ->ArgNames({"x", "width"})
    ->Args({5, 4})
    ->Args({1, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// Listens to the sink's monitor in this process and notes when the first loud sample arrives.
class MonitorListener {
public:
    MonitorListener() : m_client("first-tone monitor") {
        cwt::PulseClient::Lock lock(m_client);
        if (!m_client.waitReady(5000)) return;
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, 48000, 1};
        m_stream = pa_stream_new(m_client.context(), "monitor", &sampleFormat, nullptr);
        pa_stream_set_read_callback(m_stream, &MonitorListener::Read, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        // Delivered every 10 ms, like the tests' parec; a smaller fragment would also lower the
        // sink's latency and flatter the figure.
        attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(10000, &sampleFormat));
        pa_stream_connect_record(m_stream, "cwnull.monitor", &attr, PA_STREAM_ADJUST_LATENCY);
    }
    ~MonitorListener() {
        cwt::PulseClient::Lock lock(m_client);
        if (!m_stream) return;
        // A disconnected stream may still deliver what it holds; nothing may reach this object.
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    void arm() {
        m_heardNs.store(0);
        m_armed.store(true);
    }
    // When the server rendered the first tone: the arrival of the monitor's chunk that holds
    // it (a little late, by the monitor's own delivery).
    int64_t heardNs() const { return m_heardNs.load(); }
    // The sink's configured latency [ms]: how long a rendered sample takes to the speakers at
    // most, on a sink with a sound card.
    double sinkLatencyMs() {
        cwt::PulseClient::Lock lock(m_client);
        double latencyMs = -1;
        if (!m_client.ready()) return latencyMs;
        const auto takeLatency = [](pa_context*, const pa_sink_info* info, int eol, void* out) {
            if (!eol && info) *static_cast<double*>(out) = info->configured_latency / 1000.0;
        };
        m_client.waitOperation(
            pa_context_get_sink_info_by_name(m_client.context(), "cwnull", takeLatency, &latencyMs),
            5000);
        return latencyMs;
    }

private:
    // libpulse thread.
    static void Read(pa_stream* stream, size_t, void* self) {
        auto* me = static_cast<MonitorListener*>(self);
        const void* data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 &&
               bytes > 0) {
            const int64_t now = Clock::now().time_since_epoch().count();
            if (data && me->m_armed.load()) {
                const auto* samples = static_cast<const int16_t*>(data);
                const size_t count = bytes / 2;
                for (size_t i = 0; i < count; ++i) {
                    if (std::abs(samples[i]) > 1000) {
                        me->m_heardNs.store(now);
                        me->m_armed.store(false);
                        break;
                    }
                }
            }
            pa_stream_drop(stream);
        }
    }

    cwt::PulseClient m_client;
    pa_stream* m_stream = nullptr;
    std::atomic<bool> m_armed{false};
    std::atomic<int64_t> m_heardNs{0};
};

// From PlayCode to the first tone in the server's output: when the server rendered it, and at
// most the sink's latency later for a sink with a sound card. With the stream still open from
// the letter before (warm), after the stream was let go (cold), and, for comparison, from
// starting paplay with the same letter in a WAV file (paplay).
void BM_StartToFirstTone(benchmark::State& state) {
    if (!ServerReady(state)) return;
    enum Way { Warm, Cold, Paplay };
    const auto way = static_cast<Way>(state.range(0));
    MonitorListener listener;
    Pause(300);
    TVelWaveCtrl wave;
    cwt::CodePlayer player(wave, {});
    const cwt::CodeSettings settings = Settings(1, 1);
    QTemporaryDir dir;
    const QString wavPath = dir.filePath(QStringLiteral("letter.wav"));
    Meant("E", settings, wavPath);                              // E: one dot, "S!"
    if (way != Paplay) player.PlayCode("S!", false, settings);  // connects the context
    double sum = 0;
    double worst = 0;
    double sinkLatencyMs = 0;
    int count = 0;
    for (auto _ : state) {
        Pause(way == Warm ? 100 : cwt::PulseWaveDevice::kIdleDisconnectMs + 300);
        listener.arm();
        const int64_t start = Clock::now().time_since_epoch().count();
        QProcess paplay;
        if (way == Paplay)
            paplay.start(QStringLiteral("paplay"), {wavPath});
        else
            player.PlayCode("S!", false, settings);
        QElapsedTimer wait;
        wait.start();
        while (listener.heardNs() == 0 && wait.elapsed() < 2000) Pause(5);
        if (way == Paplay) paplay.waitForFinished();
        if (listener.heardNs() == 0) {
            // No figure at all rather than a time measured from zero.
            state.SkipWithError("no tone reached the sink's monitor within 2 s");
            break;
        }
        const double ms = (listener.heardNs() - start) / 1e6;
        if (count == 0) sinkLatencyMs = listener.sinkLatencyMs();
        state.SetIterationTime(ms / 1000.0);
        sum += ms;
        worst = std::max(worst, ms);
        ++count;
    }
    if (count == 0) return;
    state.counters["rendered_mean_ms"] = sum / count;
    state.counters["rendered_max_ms"] = worst;
    state.counters["sink_latency_ms"] = sinkLatencyMs;
    state.counters["in_output_max_ms"] = worst + sinkLatencyMs;
}
BENCHMARK(BM_StartToFirstTone)
    ->ArgNames({"way"})
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
