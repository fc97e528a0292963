// The headless renderer's speed: a text of about a minute sent on the device that completes
// every buffer at once, with the recording written to a file, as cw-tamarik-render does.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>

#include "sound/CodePlayer.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/VelWaveCtrl.h"
#include "sound/WholeSend.h"

namespace {

void BM_RenderMinuteOfText(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "sound_render_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    // Default settings (x5, width 4): "PARIS " lasts 3.4 s; with Hangul and signs about a minute.
    std::string text;
    for (int i = 0; i < 9; ++i) text += i % 3 == 2 ? "\xED\x95\x9C\xEA\xB8\x80 [AR]\n" : "PARIS ";
    std::string error;
    const std::string editorText = *cwt::EditorTextOfFile(text, &error);
    QTemporaryDir dir;
    double audioSeconds = 0;
    for (auto _ : state) {
        auto device = std::make_unique<cwt::SimulatedWaveDevice>();
        TVelWaveCtrl wave(nullptr, std::move(device));
        wave.setPlaySoundRecord(true);
        wave.setFileName(dir.filePath(QStringLiteral("minute.wav")));
        wave.StartRecording();
        cwt::CodePlayer player(wave, {});
        cwt::SendWholeText(player, editorText, {}, cwt::CodeSettings{});
        wave.StopRecording();
        audioSeconds = QFileInfo(dir.filePath(QStringLiteral("minute.wav"))).size() / 11025.0;
    }
    state.counters["audio_s"] = audioSeconds;
    state.counters["x_real_time"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderMinuteOfText)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
