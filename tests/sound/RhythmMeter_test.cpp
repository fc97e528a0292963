// The silence check of the sound tests on recordings made up here: it must line each send up
// with its own tones, leave the tones and their ringing edges alone, and find a thump, a hum or
// a send that never sounded.

#include <gtest/gtest.h>

#include "sound/RhythmMeter.h"

namespace cwt {
namespace {

constexpr int kRate = 48000;

// A recording of `ms` milliseconds holding `level` everywhere.
std::vector<int16_t> Recording(double ms, int16_t level = 0) {
    return std::vector<int16_t>(static_cast<size_t>(ms * kRate / 1000), level);
}

// A square tone of full amplitude `amplitude` from `startMs` to `endMs`.
void AddTone(std::vector<int16_t>& samples, double startMs, double endMs, int amplitude = 5120) {
    for (size_t i = static_cast<size_t>(startMs * kRate / 1000);
         i < static_cast<size_t>(endMs * kRate / 1000) && i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((i / 26) % 2 ? amplitude : -amplitude);
}

void Fill(std::vector<int16_t>& samples, double startMs, double endMs, int16_t level) {
    for (size_t i = static_cast<size_t>(startMs * kRate / 1000);
         i < static_cast<size_t>(endMs * kRate / 1000) && i < samples.size(); ++i)
        samples[i] = level;
}

// Two sends as meant (each from its own zero) and as they sounded, 300 ms and 900 ms into a
// recording: a dot, a dash and a dot, then a dash and a dot.
const std::vector<std::vector<ToneRun>> kSends = {{{0, 60}, {120, 300}, {360, 420}},
                                                  {{0, 180}, {240, 300}}};

std::vector<int16_t> TwoSends() {
    auto samples = Recording(1500);
    for (const ToneRun& tone : kSends[0]) AddTone(samples, 300 + tone.startMs, 300 + tone.endMs);
    for (const ToneRun& tone : kSends[1]) AddTone(samples, 900 + tone.startMs, 900 + tone.endMs);
    return samples;
}

TEST(LoudestOutsideTones, SilenceAroundTheSentTonesAndRingingAtTheirEdges) {
    auto samples = TwoSends();
    Fill(samples, 300 + 60, 300 + 60.5, 3000);  // a resampler's ringing just past a tone's end
    Fill(samples, 1200, 1500, 200);             // 0.6 % of full scale after the last send
    const SilenceReport report = LoudestOutsideTones(samples.data(), samples.size(), kRate, kSends);
    EXPECT_EQ(report.sendsFound, 2);
    EXPECT_NEAR(report.loudest, 200 / 32768.0, 1e-9);
    EXPECT_GE(report.loudestAtMs, 1200);
}

TEST(LoudestOutsideTones, ThumpBetweenSendsIsFoundAndDoesNotHideTheSecondSend) {
    auto samples = TwoSends();
    Fill(samples, 760, 800, -32768);  // the unsigned 8-bit zero of a stream that ran dry
    const SilenceReport report = LoudestOutsideTones(samples.data(), samples.size(), kRate, kSends);
    EXPECT_EQ(report.sendsFound, 2);
    EXPECT_DOUBLE_EQ(report.loudest, 1.0);
    EXPECT_NEAR(report.loudestAtMs, 760, 0.1);
}

TEST(LoudestOutsideTones, SendThatNeverSoundedLeavesItsWindowOpen) {
    auto samples = Recording(1500);
    for (const ToneRun& tone : kSends[0]) AddTone(samples, 300 + tone.startMs, 300 + tone.endMs);
    AddTone(samples, 1100, 1110, 9000);  // something short that is not the second send
    const SilenceReport report = LoudestOutsideTones(samples.data(), samples.size(), kRate, kSends);
    EXPECT_EQ(report.sendsFound, 1);
    EXPECT_NEAR(report.loudest, 9000 / 32768.0, 1e-9);
}

}  // namespace
}  // namespace cwt
