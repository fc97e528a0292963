// cw-tamarik-render: a text file sent as the main window's Start button sends it, on the wave
// path, with a recording running for the whole send. Without --play the wave component runs
// on a device that completes every buffer at once, so the WAV file is exactly what the
// window's recording would leave, written faster than real time.

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <memory>

#include "RenderOptions.h"
#include "sound/PulseWaveDevice.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/VelWaveCtrl.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& message) {
    std::fprintf(stderr, "cw-tamarik-render: %s\n", message.c_str());
    return kExitFailure;
}

int Render(const cwt::render::RenderOptions& options) {
    QFile input(QString::fromLocal8Bit(options.input.c_str()));
    if (!input.open(QIODevice::ReadOnly))
        return Fail("cannot read " + options.input + ": " + input.errorString().toStdString());
    const QByteArray bytes = input.readAll();
    std::string error;
    const std::optional<std::string> text = cwt::EditorTextOfFile(bytes.toStdString(), &error);
    if (!text) return Fail(options.input + ": " + error);

    std::unique_ptr<cwt::WaveDevice> device;
    if (options.play) {
        device = std::make_unique<cwt::PulseWaveDevice>();
    } else {
        auto simulated =
            std::make_unique<cwt::SimulatedWaveDevice>(cwt::SimulatedWaveDevice::Clock::Instant);
        // Each buffer goes to the file when it is done; a copy of the whole send in memory
        // would grow with the text, to gigabytes for a book.
        simulated->setKeepPlayed(false);
        device = std::move(simulated);
    }
    TVelWaveCtrl wave(nullptr, std::move(device));
    wave.setPlaySoundRecord(true);
    QString deviceError;
    wave.OnDeviceError = [&deviceError](TVelWaveCtrl*, const QString& message) {
        if (deviceError.isEmpty()) deviceError = message;
    };
    if (!options.output.empty()) {
        wave.setFileName(QString::fromLocal8Bit(options.output.c_str()));
        wave.StartRecording();
        if (!wave.Recording()) return Fail(wave.LastRecordError().toStdString());
    }

    cwt::CodePlayer player(wave, cwt::SpeakerOutput{});
    cwt::SendWholeText(player, *text, options.send, options.settings);

    wave.StopRecording();
    if (options.play) wave.Drain(2000);
    if (!deviceError.isEmpty()) return Fail(deviceError.toStdString());
    if (!wave.LastRecordError().isEmpty()) return Fail(wave.LastRecordError().toStdString());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<cwt::render::RenderOptions> options =
        cwt::render::ParseArguments(args, &error);
    if (!options) {
        std::fprintf(stderr, "cw-tamarik-render: %s\nTry 'cw-tamarik-render --help'.\n",
                     error.c_str());
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(cwt::render::UsageText(), stdout);
        return 0;
    }
    return Render(*options);
}
