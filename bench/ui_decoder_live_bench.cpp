// The decoding window on a live sound input, through the real server (the null sink of
// scripts/pulse-null-sink.sh, PulseAudio or PipeWire): a text as this program sends it (the
// square tone at 689 Hz, 20 WPM), with white noise, played with paplay into the null sink while
// the window decodes the sink's monitor. Figures: the CPU the whole process spends meanwhile
// (every thread), how long after each letter's end its text was shown, counted in the input's
// own time (what the decoder waited for, plus what was not yet drained; the server's capture
// latency of about 20 ms comes on top), how late a 10 ms timer of the GUI thread ran at worst
// (what decoding takes from the window's answers), and whether the text came out as sent. Run
// with PULSE_SERVER pointing at that server.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "bench/support/CpuTime.h"
#include "bench/support/Percentile.h"
#include "engine/morse/Cp949Text.h"
#include "engine/morse/SendDispatch.h"
#include "sound/CodePlayer.h"
#include "ui/decoder/DecoderWindow.h"

namespace {

constexpr int kRateHz = 11025;
constexpr char16_t kText[] =
    u"CQ CQ DE HL1ABC HL1ABC K HL1ABC DE DS2XYZ GM UR RST 599 599 NAME KIM QTH SEOUL HW? K";

QApplication* App() {
    static int argc = 1;
    static char name[] = "ui_decoder_live_bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window keeps its choices in the practice history: one of the benchmark's own, so that
    // the operator's language or band neither changes the figures nor is changed by them.
    static QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

// Lets the window run for `ms` while this thread sleeps between events: a loop of
// processEvents would spin, and its CPU would be counted as the window's.
void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

using cwt::bench::CpuSeconds;
using cwt::bench::Percentile;

// The text as the main window plays it at 20 WPM, one second of silence before and after,
// with white noise of `noiseRms`. The square tone's fundamental is 4/pi of its amplitude: at
// 0.3, noise of 0.15 puts it about 15 dB over the noise in 500 Hz; at 0.05, noise of 0.211
// puts it 3 dB under (a weaker tone, so that the noise is not clipped in the file).
std::vector<float> Signal(double noiseRms, float toneAmplitude) {
    cwt::CodeSettings settings;
    // A dot lasts five DotLengths with the default tone width: 660 samples, 60 ms, 20 WPM.
    settings.dotLength = 132;
    settings.tone.timbre = 8;
    std::vector<float> signal(kRateHz, 0.0f);
    const std::string bytes = cwt::cp949::EncodeStrict(kText).value_or("");
    for (const cwt::PlannedBuffer& buffer : cwt::PlanWholeSend(bytes, {}))
        for (uint8_t byte : cwt::CodePlayer::Render(buffer.code, buffer.syllableEnd, settings))
            signal.push_back(byte == 128 ? 0.0f : (byte > 128 ? toneAmplitude : -toneAmplitude));
    signal.resize(signal.size() + kRateHz, 0.0f);
    std::mt19937 random(1);
    std::normal_distribution<float> noise(0.0f, static_cast<float>(noiseRms));
    for (float& sample : signal) sample += noise(random);
    return signal;
}

bool WriteWav(const QString& path, const std::vector<float>& samples) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    auto le = [&file](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) file.putChar(static_cast<char>(value >> (8 * i)));
    };
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    file.write("RIFF");
    le(36 + dataBytes, 4);
    file.write("WAVEfmt ");
    le(16, 4), le(1, 2), le(1, 2), le(kRateHz, 4), le(kRateHz * 2, 4), le(2, 2), le(16, 2);
    file.write("data");
    le(dataBytes, 4);
    for (float sample : samples)
        le(static_cast<uint16_t>(static_cast<int16_t>(std::clamp(sample, -1.0f, 1.0f) * 32767)), 2);
    return file.error() == QFile::NoError;
}

void BM_DecodingLive(benchmark::State& state) {
    App();
    const double noiseRms = static_cast<double>(state.range(0)) / 1000;
    const auto toneAmplitude = static_cast<float>(state.range(1)) / 1000;
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("received.wav"));
    if (!WriteWav(wav, Signal(noiseRms, toneAmplitude))) {
        state.SkipWithError("cannot write the signal");
        return;
    }
    for (auto _ : state) {
        DecoderWindow window(nullptr);
        window.show();
        Pause(300);
        const int monitor = window.SourceBox->findData(QStringLiteral("cwnull.monitor"));
        if (monitor < 0) {
            state.SkipWithError("no cwnull.monitor (source scripts/pulse-null-sink.sh DIR)");
            return;
        }
        window.SourceBox->setCurrentIndex(monitor);
        window.StartButtonClick();
        if (!window.decoding()) {
            state.SkipWithError(qPrintable(window.statusText()));
            return;
        }
        Pause(500);
        // How late a 10 ms timer runs while the window decodes.
        QElapsedTimer since;
        qint64 lateMs = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { lateMs = std::max(lateMs, since.restart() - 10); });
        const double cpuBefore = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        since.start();
        tick.start(10);
        QProcess paplay;
        paplay.start(QStringLiteral("paplay"), {wav});
        paplay.waitForStarted();
        while (paplay.state() != QProcess::NotRunning) Pause(20);
        Pause(1000);
        tick.stop();
        const double cpu = CpuSeconds() - cpuBefore;
        state.SetIterationTime(wall.elapsed() / 1000.0);
        std::vector<double> delays = window.characterDelaysMs();
        // What the window estimated, to tell the noise level the signal was decoded at.
        std::fprintf(stderr, "signal to noise shown: %s\n", qPrintable(window.SnrLabel->text()));
        window.StopButtonClick();
        // The first letter waits for the pitch to be found.
        if (!delays.empty()) delays.erase(delays.begin());
        const QString sent = QString::fromStdU16String(kText);
        state.counters["cpu_pct_of_core"] = 100.0 * cpu / (wall.elapsed() / 1000.0);
        state.counters["delay_median_ms"] = Percentile(delays, 0.5);
        state.counters["delay_p90_ms"] = Percentile(delays, 0.9);
        state.counters["delay_max_ms"] = Percentile(delays, 1.0);
        state.counters["gui_late_max_ms"] = static_cast<double>(lateMs);
        state.counters["chars"] = static_cast<double>(delays.size() + 1);
        state.counters["text_as_sent"] = window.text().simplified() == sent ? 1 : 0;
        if (window.text().simplified() != sent)
            std::fprintf(stderr, "decoded: %s\n", qPrintable(window.text().simplified()));
        // Each character's delay in the order the text shows them, to find the slow ones.
        if (std::getenv("CWT_BENCH_SHOW")) {
            std::fprintf(stderr, "delays [ms], first character left out:");
            for (double d : delays) std::fprintf(stderr, " %.0f", d);
            std::fprintf(stderr, "\n");
        }
    }
}
BENCHMARK(BM_DecodingLive)
    ->ArgNames({"noise_rms_x1000", "tone_x1000"})
    ->Args({0, 300})
    ->Args({150, 300})
    ->Args({211, 50})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
