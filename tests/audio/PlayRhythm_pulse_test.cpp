// Plays texts through the real sound server and records its output: every tone and every gap
// must sound when the timing model says, with no extra silence between letters.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdio>

#include "audio/CodePlayer.h"
#include "audio/PulseWaveDevice.h"
#include "audio/RhythmMeter.h"
#include "audio/SimulatedWaveDevice.h"
#include "audio/VelWaveCtrl.h"
#include "audio/WholeSend.h"
#include "engine/Timing.h"
#include "support/AudioTestSupport.h"

namespace cwt {
namespace {

struct Speed {
    int multiplier;
    int width;
    const char* text;  // UTF-8
};

CodeSettings SettingsOf(const Speed& speed) {
    CodeSettings settings;
    TimingModel timing;
    ApplyRatio(timing, 4);
    ApplyMultiplier(timing, speed.multiplier - 1);
    settings.dotLength = timing.DotLength;
    settings.toneWidth = speed.width;
    return settings;
}

// What the send hands to the wave output, from the same send on a device without sound.
std::vector<uint8_t> Meant(const std::string& text, const CodeSettings& settings) {
    auto device = std::make_unique<SimulatedWaveDevice>();
    SimulatedWaveDevice* output = device.get();
    TVelWaveCtrl wave(nullptr, std::move(device));
    CodePlayer player(wave, {});
    SendWholeText(player, text, {}, settings);
    return output->played();
}

class PlayRhythm : public ::testing::TestWithParam<Speed> {
protected:
    void SetUp() override {
        test::EnsureCoreApp();
        if (!test::PulseServerAnswers()) {
            if (test::PulseRequired())
                FAIL() << "no sound server answers (PULSE_SERVER="
                       << qgetenv("PULSE_SERVER").constData() << ")";
            GTEST_SKIP() << "no sound server";
        }
    }
};

TEST_P(PlayRhythm, EveryToneAndGapWithinOneMillisecond) {
    const Speed speed = GetParam();
    const CodeSettings settings = SettingsOf(speed);
    std::string error;
    const std::optional<std::string> text = EditorTextOfFile(speed.text, &error);
    ASSERT_TRUE(text) << error;
    const std::vector<uint8_t> meantBytes = Meant(*text, settings);

    QTemporaryDir dir;
    test::MonitorRecording monitor;
    ASSERT_TRUE(monitor.start(dir.filePath(QStringLiteral("monitor.raw"))));
    {
        TVelWaveCtrl wave;
        CodePlayer player(wave, {});
        SendWholeText(player, *text, {}, settings);
        EXPECT_FALSE(wave.Playing());
        EXPECT_TRUE(wave.Drain(3000));
        test::WaitUntil([] { return false; }, 100);
    }
    const std::vector<int16_t> samples = monitor.stop();

    const auto meant = ToneRunsOfBytes(meantBytes.data(), meantBytes.size(), 11025);
    const auto measured =
        ToneRunsOfSamples(samples.data(), samples.size(), test::MonitorRecording::kRate);
    const RhythmReport report = CompareRhythm(meant, measured, 1.0);
    std::printf(
        "x%d width %d: %d tones, edges within %.3f ms, elements %.3f/%.3f ms, gaps %.3f/%.3f ms "
        "(mean/max), %d stretched gaps, duration ratio %.5f\n",
        speed.multiplier, speed.width, report.measuredTones, report.maxEdgeErrorMs,
        report.meanElementErrorMs, report.maxElementErrorMs, report.meanGapErrorMs,
        report.maxGapErrorMs, report.stretchedGaps, report.durationRatio);
    ASSERT_EQ(report.measuredTones, report.expectedTones);
    EXPECT_LE(report.maxEdgeErrorMs, 1.0);
    EXPECT_LE(report.maxGapErrorMs, 1.0);
    EXPECT_EQ(report.stretchedGaps, 0);
}

INSTANTIATE_TEST_SUITE_P(Speeds, PlayRhythm,
                         ::testing::Values(Speed{1, 1,
                                                 "PARIS 0? \xEA\xB0\x80\xED\x95\x9C [AR] TEST"},
                                           Speed{10, 1, "TEST \xEA\xB0\x80 [SK]"}),
                         [](const auto& info) {
                             return "x" + std::to_string(info.param.multiplier) + "_width" +
                                    std::to_string(info.param.width);
                         });

}  // namespace
}  // namespace cwt
