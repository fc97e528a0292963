// The PulseAudio device against a private server that the test starts, stops, freezes and
// kills: outputs, volume, the input stream of a recording, and a server that goes away.

#include <gtest/gtest.h>
#include <pulse/volume.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include "sound/CodePlayer.h"
#include "sound/PulseWaveDevice.h"
#include "sound/RhythmMeter.h"
#include "sound/SoundBeepUnit.h"
#include "sound/VelWaveCtrl.h"
#include "tests/sound/support/AudioTestSupport.h"
#include "tests/sound/support/PrivateServer.h"

namespace cwt {
namespace {

using test::PrivateServer;

class PulseDevice : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureCoreApp();
        if (!m_server.start()) {
            if (test::PulseRequired()) FAIL() << "cannot start a private PulseAudio server";
            GTEST_SKIP() << "cannot start a private PulseAudio server";
        }
    }
    PrivateServer m_server;
};

std::vector<uint8_t> Tone(int samples) {
    std::vector<uint8_t> tone(static_cast<size_t>(samples));
    for (int i = 0; i < samples; ++i) tone[static_cast<size_t>(i)] = (i / 4) % 2 ? 148 : 108;
    return tone;
}

struct Outcome {
    int dones = 0;
    int failed = 0;
    QStringList errors;
};

void Watch(TVelWaveCtrl& wave, Outcome& outcome) {
    wave.OnPlayDone = [&outcome](TVelWaveCtrl*, const TWaveHdr* header, const uint8_t*) {
        ++outcome.dones;
        if (header->flags & kWaveHdrFailed) ++outcome.failed;
    };
    wave.OnDeviceError = [&outcome](TVelWaveCtrl*, const QString& message) {
        outcome.errors << message;
    };
}

// The program's volume is that of its own stream, also for a stream that does not exist yet
// and on a server whose session manager remembers another volume for the program (WirePlumber
// gives a new stream the volume last set, whatever the stream asks for).
TEST_F(PulseDevice, OutputsAndTheVolumeOfTheProgramsOwnStream) {
    TVelWaveCtrl wave;
    EXPECT_EQ(wave.OutputDeviceCount(), 1);
    EXPECT_TRUE(wave.VolumeAvailable());
    auto* device = static_cast<PulseWaveDevice*>(&wave.Device());
    const auto tone = Tone(5512);
    auto play = [&] {
        wave.PlayBuffer(tone.data(), static_cast<int>(tone.size()), 0, 0);
        EXPECT_TRUE(test::WaitUntil([&] { return !wave.Playing(); }, 3000));
        EXPECT_GE(device->streamIndex(), 0);
    };
    auto streamVolumeIs = [&](const QString& value) {
        return test::WaitUntil(
            [&] {
                return m_server.lines({QStringLiteral("list"), QStringLiteral("sink-inputs")})
                    .contains(value + QStringLiteral(" /"));
            },
            1000);
    };
    auto letGo = [&] {
        EXPECT_TRUE(test::WaitUntil([&] { return device->streamIndex() < 0; }, 3000));
    };
    const QString half = QString::number(pa_sw_volume_from_linear(0x8000 / 65535.0));
    const QString full = QString::number(PA_VOLUME_NORM);

    wave.SetVolume({0x8000, 0x8000});  // before the stream exists: applied when it connects
    play();
    EXPECT_TRUE(streamVolumeIs(half));
    wave.SetVolume({0xFFFF, 0xFFFF});
    EXPECT_TRUE(streamVolumeIs(full));
    wave.SetVolume({0x8000, 0x8000});
    EXPECT_TRUE(streamVolumeIs(half));
    letGo();  // a second after the last use

    wave.SetVolume({0xFFFF, 0xFFFF});
    play();
    EXPECT_TRUE(streamVolumeIs(full));
    EXPECT_EQ(wave.Volume(), (WaveVolume{0xFFFF, 0xFFFF}));
    letGo();
}

TEST_F(PulseDevice, InputStreamOfARecordingOpensStartsStopsAndCloses) {
    QTemporaryDir dir;
    TVelWaveCtrl wave;
    wave.setPlaySoundRecord(false);
    wave.setFileName(dir.filePath(QStringLiteral("input.wav")));
    wave.StartRecording();
    ASSERT_TRUE(wave.Recording()) << wave.LastRecordError().toStdString();
    const QString outputs = m_server.lines(
        {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("source-outputs")});
    EXPECT_EQ(outputs.count(QLatin1Char('\n')), 1) << outputs.toStdString();
    // Played sound does not reach the file on this branch, nor does the input.
    const auto tone = Tone(1000);
    wave.PlayBuffer(tone.data(), 1000, 0, 0);
    test::WaitUntil([&] { return !wave.Playing(); }, 3000);
    wave.StopRecording();
    EXPECT_FALSE(wave.Recording());
    EXPECT_TRUE(wave.LastRecordError().isEmpty()) << wave.LastRecordError().toStdString();
    EXPECT_TRUE(m_server
                    .lines({QStringLiteral("list"), QStringLiteral("short"),
                            QStringLiteral("source-outputs")})
                    .isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("input.wav"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("input.wav.tmp"))));
}

TEST_F(PulseDevice, ServerKilledMidSendEndsPlayingAndARestartedServerWorks) {
    TVelWaveCtrl wave;
    Outcome outcome;
    Watch(wave, outcome);
    const auto tone = Tone(44100);  // four seconds, in a slot of its own
    wave.PlayBuffer(tone.data(), static_cast<int>(tone.size()), 'B', 0);
    wave.PlayBuffer(tone.data(), 1000, 0, 0);
    test::WaitUntil([] { return false; }, 300);
    m_server.kill();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(test::WaitUntil([&] { return !wave.Playing(); }, 3000));
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_EQ(outcome.dones, 2);
    EXPECT_EQ(outcome.failed, 2);
    EXPECT_EQ(outcome.errors.size(), 1);

    // No server: a letter fails at once instead of waiting.
    CodePlayer player(wave, {});
    clock.restart();
    player.PlayCode("SL!", false, {});
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(outcome.failed, 3);
    EXPECT_EQ(wave.OutputDeviceCount(), 0);

    ASSERT_TRUE(m_server.start());
    player.PlayCode("SL!", false, {});
    EXPECT_EQ(outcome.dones, 4);
    EXPECT_EQ(outcome.failed, 3);
}

TEST_F(PulseDevice, FrozenServerNeitherHoldsPlayingNorQuitting) {
    QElapsedTimer clock;
    {
        TVelWaveCtrl wave;
        Outcome outcome;
        Watch(wave, outcome);
        const auto tone = Tone(44100);
        wave.PlayBuffer(tone.data(), static_cast<int>(tone.size()), 0, 0);
        test::WaitUntil([] { return false; }, 300);
        m_server.signal(SIGSTOP);
        clock.start();
        ASSERT_TRUE(test::WaitUntil([&] { return !wave.Playing(); }, 5000));
        EXPECT_EQ(outcome.failed, 1);
        wave.PlayBuffer(tone.data(), 100, 0, 0);  // still frozen: this one fails too
        ASSERT_TRUE(test::WaitUntil([&] { return !wave.Playing(); }, 5000));
        EXPECT_EQ(outcome.failed, 2);
        clock.restart();
    }
    EXPECT_LT(clock.elapsed(), 1000);  // quitting did not wait for the server
    m_server.signal(SIGCONT);
}

// The beep's stream is never let go while the program runs: after the tone, while it idles and
// when it goes away, the server must stay silent.
TEST_F(PulseDevice, BeepSoundsThroughTheServerElseWaitsSilently) {
    QElapsedTimer clock;
    test::MonitorRecording monitor;
    QTemporaryDir dir;
    ASSERT_TRUE(monitor.start(dir.filePath(QStringLiteral("beep.raw"))));
    {
        SystemBeeper beeper;
        clock.start();
        beeper.beep(1000, 150);
        EXPECT_GE(clock.elapsed(), 150);
        if (beeper.way() == SystemBeeper::Way::KernelSpeaker) GTEST_SKIP() << "a PC speaker is there";
        EXPECT_EQ(beeper.way(), SystemBeeper::Way::SoundServer);
        test::WaitUntil([] { return false; }, 1500);
    }
    test::WaitUntil([] { return false; }, 200);
    const std::vector<int16_t> samples = monitor.stop();
    const auto tones =
        ToneRunsOfSamples(samples.data(), samples.size(), test::MonitorRecording::kRate);
    ASSERT_EQ(tones.size(), 1u);  // 150 ms of tone in the server's output
    EXPECT_NEAR(tones[0].endMs - tones[0].startMs, 150.0, 1.0);
    const SilenceReport silence = LoudestOutsideTones(
        samples.data(), samples.size(), test::MonitorRecording::kRate, {{{0.0, 1653 / 11.025}}});
    EXPECT_EQ(silence.sendsFound, 1);
    EXPECT_LE(silence.loudest, 0.01) << "at " << silence.loudestAtMs << " ms";

    m_server.kill();
    SystemBeeper silent;
    clock.restart();
    silent.beep(1000, 120);
    EXPECT_GE(clock.elapsed(), 120);
    EXPECT_EQ(silent.way(), SystemBeeper::Way::Silent);
}

}  // namespace
}  // namespace cwt
