#include "sound/ToneSynth.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cwt {
namespace {

std::vector<int> First(const ToneSettings& settings, int count) {
    const std::vector<uint8_t> tone = SynthesizeTone(settings, count);
    return {tone.begin(), tone.end()};
}

ToneSettings Kind(WaveKind kind) {
    ToneSettings settings;
    settings.kind = kind;
    return settings;
}

TEST(ToneSynth, WorkedExampleOfEveryKind) {
    EXPECT_EQ(First(Kind(WaveKind::M1), 12),
              (std::vector<int>{108, 108, 108, 108, 148, 148, 148, 148, 108, 108, 108, 108}));
    EXPECT_EQ(First(Kind(WaveKind::M2), 12),
              (std::vector<int>{108, 108, 108, 108, 129, 148, 148, 148, 127, 108, 108, 108}));
    EXPECT_EQ(First(Kind(WaveKind::M3), 12),
              (std::vector<int>{148, 127, 108, 129, 148, 127, 108, 129, 148, 127, 108, 129}));
    EXPECT_EQ(First(Kind(WaveKind::M4), 12),
              (std::vector<int>{148, 108, 129, 148, 108, 129, 148, 108, 129, 148, 108, 129}));

    ToneSettings low = Kind(WaveKind::M4);
    low.cut = 60;
    EXPECT_EQ(First(low, 13),
              (std::vector<int>{149, 170, 191, 196, 60, 81, 102, 123, 144, 165, 186, 196, 60}));
}

TEST(ToneSynth, SquareWaveFollowsTimbreAndIgnoresFrequencyAndRate) {
    ToneSettings settings;
    const std::vector<uint8_t> reference = SynthesizeTone(settings, 400);
    for (int i = 0; i < 400; ++i) ASSERT_EQ(reference[i], (i / 4) % 2 ? 148 : 108) << i;
    settings.freqHz = 22000;
    settings.synthRate = 44100;
    settings.slope = 7;
    EXPECT_EQ(SynthesizeTone(settings, 400), reference);

    settings.timbre = 7;
    const std::vector<uint8_t> slower = SynthesizeTone(settings, 70);
    for (int i = 0; i < 70; ++i) ASSERT_EQ(slower[i], (i / 7) % 2 ? 148 : 108) << i;
}

TEST(ToneSynth, StepRoundsHalvesToEvenAndScalesWithSlopeAndRate) {
    ToneSettings settings;
    EXPECT_EQ(ToneStep(settings), 21);
    settings.slope = 10;
    EXPECT_EQ(ToneStep(settings), 21);
    settings.slope = 5;  // 10.5 rounds to the even 10
    EXPECT_EQ(ToneStep(settings), 10);
    settings.slope = 20;
    EXPECT_EQ(ToneStep(settings), 42);
    settings.slope = 0;
    settings.synthRate = 44100;
    EXPECT_EQ(ToneStep(settings), 5);
    settings.synthRate = 11025;
    settings.sampleBits = 16;
    EXPECT_EQ(ToneStep(settings), 5332);
    // Exact halves round to the even neighbour.
    ToneSettings half;
    half.synthRate = 512;
    half.freqHz = 5;  // 256 / (512 / 5) = 2.5 → 2
    EXPECT_EQ(ToneStep(half), 2);
    half.freqHz = 7;  // 3.5 → 4
    EXPECT_EQ(ToneStep(half), 4);
}

TEST(ToneSynth, SixteenBitStoresLowBytesAndSilenceIsZero) {
    ToneSettings settings = Kind(WaveKind::M1);
    settings.sampleBits = 16;
    settings.cut = 1000;  // levels 1000 and 64536: low bytes 0xE8 and 0x18
    const std::vector<int> bytes = First(settings, 8);
    EXPECT_EQ(bytes, (std::vector<int>{0xE8, 0xE8, 0xE8, 0xE8, 0x18, 0x18, 0x18, 0x18}));
    EXPECT_EQ(SilenceByte(16), 0);
    EXPECT_EQ(SilenceByte(8), 128);
}

TEST(ToneSynth, OddSettingsStaySound) {
    ToneSettings settings;
    settings.timbre = 0;  // counts as 1: the level flips every sample
    EXPECT_EQ(First(settings, 4), (std::vector<int>{108, 148, 108, 148}));
    settings.timbre = -3;
    EXPECT_EQ(First(settings, 2), (std::vector<int>{108, 148}));

    ToneSettings top = Kind(WaveKind::M1);
    top.cut = 0;  // the top level would be 256, whose low byte 0 is a full-scale click
    EXPECT_EQ(First(top, 8), (std::vector<int>{0, 0, 0, 0, 255, 255, 255, 255}));
    top.kind = WaveKind::M3;
    for (int value : First(top, 100)) EXPECT_NE(value, 0 + 256);

    EXPECT_TRUE(SynthesizeTone(settings, 0).empty());
    EXPECT_TRUE(SynthesizeTone(settings, -5).empty());
    uint8_t untouched = 77;
    SynthesizeTone(settings, &untouched, 0);
    EXPECT_EQ(untouched, 77);
}

// Tone (non-silence) and silence runs of a rendering, as (isTone, length) pairs.
std::vector<std::pair<bool, int>> Runs(const std::vector<uint8_t>& sound) {
    std::vector<std::pair<bool, int>> runs;
    for (uint8_t byte : sound) {
        const bool tone = byte != 128;
        if (runs.empty() || runs.back().first != tone) runs.push_back({tone, 0});
        ++runs.back().second;
    }
    return runs;
}

TEST(ElementLayout, ElementsGapsAndGapMarks) {
    const int unit = 600;
    const std::vector<uint8_t> tone = SynthesizeTone(ToneSettings{}, 3 * unit);

    const std::vector<uint8_t> sl = LayOutCode("SL!", false, unit, tone, 128);
    ASSERT_EQ(sl.size(), 7200u);
    EXPECT_EQ(Runs(sl), (std::vector<std::pair<bool, int>>{
                            {true, 600}, {false, 600}, {true, 1800}, {false, 4200}}));
    EXPECT_TRUE(std::equal(sl.begin(), sl.begin() + 600, tone.begin()));
    EXPECT_TRUE(std::equal(sl.begin() + 1200, sl.begin() + 3000, tone.begin()));

    EXPECT_EQ(
        Runs(LayOutCode("SSS", false, unit, tone, 128)),
        (std::vector<std::pair<bool, int>>{
            {true, 600}, {false, 600}, {true, 600}, {false, 600}, {true, 600}, {false, 600}}));
    EXPECT_EQ(Runs(LayOutCode("L!", true, unit, tone, 128)),
              (std::vector<std::pair<bool, int>>{{true, 1800}, {false, 600 + 12 * 600}}));
    // A syllable-end flag without a gap mark changes nothing.
    EXPECT_EQ(LayOutCode("L", true, unit, tone, 128).size(), 2400u);
}

TEST(ElementLayout, SilentElementsAndTheLoneGapMark) {
    const std::vector<uint8_t> tone = SynthesizeTone(ToneSettings{}, 30);
    const std::vector<uint8_t> blanks = LayOutCode("  x", false, 10, tone, 128);
    EXPECT_EQ(blanks, std::vector<uint8_t>(60, 128));
    // "!" alone is one silent element with the gap mark: eight units.
    EXPECT_EQ(LayOutCode("!", false, 10, tone, 128), std::vector<uint8_t>(80, 128));
    EXPECT_EQ(LayOutCode("!", false, 10, tone, 0), std::vector<uint8_t>(80, 0));
    EXPECT_TRUE(LayOutCode("", false, 10, tone, 128).empty());
}

TEST(ElementLayout, LongestLetterOutgrowsOneSlot) {
    // 예 at a syllable end with the largest unit: 28 units of 3300 samples.
    const int unit = 3300;
    const std::vector<uint8_t> tone = SynthesizeTone(ToneSettings{}, 3 * unit);
    const std::vector<uint8_t> sound = LayOutCode("SSS SSL!", true, unit, tone, 128);
    EXPECT_EQ(sound.size(), 28u * 3300u);
    EXPECT_GT(sound.size(), 65535u);
    EXPECT_EQ(Runs(sound).back(), (std::pair<bool, int>{false, 13 * 3300}));
}

}  // namespace
}  // namespace cwt
