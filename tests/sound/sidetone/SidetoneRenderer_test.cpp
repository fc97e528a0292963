// The sidetone's samples without a server: each edge at its moment plus the latency, to a
// fraction of a sample whatever the blocks; the program's own tone; exact silence; edges that
// come early or late; a tone change between elements.

#include "sound/sidetone/SidetoneRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sound/ToneSynth.h"
#include "sound/sidetone/SidetoneMeter.h"
#include "sound/sidetone/ToneOscillator.h"

namespace cwt {
namespace {

constexpr int kRate = 48000;
constexpr int64_t kLatencyNs = 3'000'000;
constexpr int kLevel = 5120;  // the default tone: bytes 108 and 148, widened

// An edge and the moment it reaches the audio thread.
struct Handed {
    keyer::KeyEdge edge;
    int64_t handedNs = 0;
};

int64_t Ms(double ms) { return std::llround(ms * 1e6); }

// A key-down length whose key-up falls in the middle of a flat stretch of the default square
// wave (never on one of its flips): its half-level crossing is then the key-up's moment exactly.
double FlatEndMs(int flats, double shift = 0) { return (4.0 * flats + 2 + shift) * 1000 / 11025; }

// Renders `samples` samples in blocks of the sizes given (used in turn); sample 0 sounds at 0
// and a block is rendered `leadNs` before its first sample sounds, having taken the edges handed
// in by then.
std::vector<int16_t> Render(SidetoneRenderer& renderer, const std::vector<Handed>& edges,
                            int64_t samples, const std::vector<int>& blocks, int64_t leadNs = 0,
                            int rate = kRate) {
    std::vector<int16_t> out(static_cast<size_t>(samples));
    size_t next = 0;
    int64_t at = 0;
    for (size_t b = 0; at < samples; ++b) {
        const int frames =
            static_cast<int>(std::min<int64_t>(blocks[b % blocks.size()], samples - at));
        const int64_t firstNs = at * 1'000'000'000 / rate;
        while (next < edges.size() && edges[next].handedNs <= firstNs - leadNs)
            EXPECT_TRUE(renderer.take(edges[next++].edge));
        renderer.render(out.data() + at, frames, firstNs);
        at += frames;
    }
    return out;
}

SidetoneRenderer Renderer(int rate = kRate, const ToneSettings& tone = {}) {
    SidetoneRenderer renderer;
    renderer.reset(rate, tone);
    renderer.setLatency(std::chrono::nanoseconds(kLatencyNs));
    return renderer;
}

std::vector<Handed> Element(int64_t downNs, int64_t upNs, int64_t handedNs = 0) {
    return {{{true, keyer::KeyTime(downNs)}, handedNs}, {{false, keyer::KeyTime(upNs)}, handedNs}};
}

double SampleOf(int64_t ns) { return static_cast<double>(ns) * kRate / 1e9; }

std::vector<ToneRun> Tones(const std::vector<int16_t>& samples) {
    return ToneRunsAtHalfLevel(samples.data(), samples.size(), kRate, kLevel);
}

double InSamples(double ms) { return ms * kRate / 1000; }

TEST(SidetoneRenderer, EachEdgeSoundsAtItsMomentWhateverTheBlocks) {
    // Elements of odd lengths at odd moments, all handed in ahead, as a keyer does.
    std::vector<Handed> edges;
    const double lengthsMs[] = {FlatEndMs(13, 0.3), FlatEndMs(131, -0.8), FlatEndMs(60, 0.7),
                                FlatEndMs(400, 0.1)};
    double atMs = 10.0137;
    for (const double lengthMs : lengthsMs) {
        const auto element = Element(Ms(atMs), Ms(atMs + lengthMs));
        edges.insert(edges.end(), element.begin(), element.end());
        atMs += lengthMs + 23.4567;
    }
    SidetoneRenderer reference = Renderer();
    const std::vector<int16_t> expected = Render(reference, edges, kRate, {128});
    for (const std::vector<int>& blocks :
         std::vector<std::vector<int>>{{1}, {7, 300, 33}, {1024}}) {
        SidetoneRenderer renderer = Renderer();
        EXPECT_EQ(Render(renderer, edges, kRate, blocks), expected) << blocks.size();
    }
    const std::vector<ToneRun> tones = Tones(expected);
    ASSERT_EQ(tones.size(), std::size(lengthsMs));
    for (size_t i = 0; i < tones.size(); ++i) {
        const double down = SampleOf(edges[2 * i].edge.time.count() + kLatencyNs);
        const double up = SampleOf(edges[2 * i + 1].edge.time.count() + kLatencyNs);
        EXPECT_NEAR(InSamples(tones[i].startMs), down, 0.01) << i;
        EXPECT_NEAR(InSamples(tones[i].endMs), up, 0.01) << i;
    }
}

// Sample for sample the bytes the program writes for an element, widened as the wave device
// widens them: at four output samples per program sample, the middle of each group of four
// holds the program's sample.
TEST(SidetoneRenderer, SoundsTheProgramsTone) {
    std::vector<ToneSettings> tones;
    for (const WaveKind kind : {WaveKind::M1, WaveKind::M2, WaveKind::M3, WaveKind::M4}) {
        ToneSettings tone;
        tone.kind = kind;
        tones.push_back(tone);
        tone.cut = 60;
        tone.slope = 5;
        tone.timbre = 3;
        tones.push_back(tone);
        tone.sampleBits = 16;
        tone.cut = 1000;
        tone.synthRate = 22050;
        tones.push_back(tone);
    }
    constexpr int kRate4 = 4 * ToneOscillator::kRateHz;
    constexpr int kStart = 441;  // the key-down's sample: 10 ms at this rate
    for (const ToneSettings& tone : tones) {
        SidetoneRenderer renderer = Renderer(kRate4, tone);
        renderer.setLatency(std::chrono::nanoseconds(0));
        const auto out = Render(renderer, Element(Ms(10), Ms(500)), kRate4 / 10, {256}, 0, kRate4);
        const std::vector<uint8_t> bytes = SynthesizeTone(tone, 500);
        for (int k = 0; k < 500; ++k)
            ASSERT_EQ(out[static_cast<size_t>(kStart + 4 * k + 2)], (bytes[k] - 128) * 256)
                << "kind " << static_cast<int>(tone.kind) << " sample " << k;
    }
}

TEST(SidetoneRenderer, SilenceIsExactlyZero) {
    SidetoneRenderer idle = Renderer();
    const auto silent = Render(idle, {}, kRate, {128});
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](int16_t s) { return s == 0; }));

    SidetoneRenderer renderer = Renderer();
    const auto edges = Element(Ms(100.3), Ms(160.9));
    const auto out = Render(renderer, edges, kRate / 2, {128});
    // The rise and the fall take one program sample, centred on the edge.
    const double ramp = 0.5 * kRate / ToneOscillator::kRateHz;
    const double down = SampleOf(edges[0].edge.time.count() + kLatencyNs);
    const double up = SampleOf(edges[1].edge.time.count() + kLatencyNs);
    for (size_t n = 0; n < out.size(); ++n) {
        const auto at = static_cast<double>(n);
        if (at <= down - ramp || at >= up + ramp) {
            ASSERT_EQ(out[n], 0) << n;
        }
    }
    EXPECT_FALSE(renderer.sounding());
}

TEST(SidetoneRenderer, ALateKeyDownSoundsAtOnceAndKeepsItsLength) {
    // Handed in 20 ms after the key-down; with a 3 ms latency its moment has passed.
    const double lengthMs = FlatEndMs(100);
    SidetoneRenderer renderer = Renderer();
    const auto out = Render(renderer, Element(Ms(50), Ms(50 + lengthMs), Ms(70)), kRate / 2, {128});
    const auto tones = Tones(out);
    ASSERT_EQ(tones.size(), 1u);
    // The first block rendered after the edges came in starts at sample 3456 (72 ms).
    EXPECT_NEAR(InSamples(tones[0].startMs), 3456, 0.01);
    EXPECT_NEAR(tones[0].endMs - tones[0].startMs, lengthMs, 1e-3);
    EXPECT_EQ(renderer.lateEdges(), 1);
}

TEST(SidetoneRenderer, ALateKeyUpEndsTheElementAtOnce) {
    SidetoneRenderer renderer = Renderer();
    auto edges = Element(Ms(50), Ms(80));
    edges[1].handedNs = Ms(120);
    const auto tones = Tones(Render(renderer, edges, kRate / 2, {128}));
    ASSERT_EQ(tones.size(), 1u);
    EXPECT_NEAR(InSamples(tones[0].startMs), SampleOf(Ms(53)), 0.01);
    // The block that follows the key-up's arrival starts at 120 ms (sample 5760).
    EXPECT_NEAR(InSamples(tones[0].endMs), 5760, 0.01);
    EXPECT_EQ(renderer.lateEdges(), 1);
}

TEST(SidetoneRenderer, BothEdgesLateStillGiveTheKeyedLength) {
    const double lengthMs = FlatEndMs(40);
    SidetoneRenderer renderer = Renderer();
    const auto tones =
        Tones(Render(renderer, Element(Ms(50), Ms(50 + lengthMs), Ms(100)), kRate / 2, {128}));
    ASSERT_EQ(tones.size(), 1u);
    EXPECT_NEAR(tones[0].endMs - tones[0].startMs, lengthMs, 1e-3);
}

TEST(SidetoneRenderer, RepeatedEdgesAndAStrayKeyUpChangeNothing) {
    const std::vector<Handed> plain = Element(Ms(30), Ms(90));
    std::vector<Handed> noisy = {{{false, keyer::KeyTime(Ms(10))}, 0},
                                 {{true, keyer::KeyTime(Ms(30))}, 0},
                                 {{true, keyer::KeyTime(Ms(40))}, 0},
                                 {{false, keyer::KeyTime(Ms(90))}, 0},
                                 {{false, keyer::KeyTime(Ms(95))}, 0}};
    SidetoneRenderer a = Renderer();
    SidetoneRenderer b = Renderer();
    EXPECT_EQ(Render(a, noisy, kRate / 4, {128}), Render(b, plain, kRate / 4, {128}));
}

TEST(SidetoneRenderer, EdgesHandedOutOfOrderSoundInTimeOrder) {
    // Two producers: one hands in the second element before the other hands in the first.
    auto first = Element(Ms(20), Ms(40));
    auto second = Element(Ms(60), Ms(80));
    std::vector<Handed> shuffled = {second[0], second[1], first[0], first[1]};
    std::vector<Handed> ordered = {first[0], first[1], second[0], second[1]};
    SidetoneRenderer a = Renderer();
    SidetoneRenderer b = Renderer();
    EXPECT_EQ(Render(a, shuffled, kRate / 8, {128}), Render(b, ordered, kRate / 8, {128}));
}

TEST(SidetoneRenderer, AToneChangeWaitsForTheNextElement) {
    ToneSettings square;
    ToneSettings triangle;
    triangle.kind = WaveKind::M3;
    std::vector<Handed> edges = Element(Ms(10), Ms(60));
    const auto second = Element(Ms(100), Ms(150));
    edges.insert(edges.end(), second.begin(), second.end());
    const int64_t samples = kRate / 4;
    // The change comes while the first element sounds.
    SidetoneRenderer changed = Renderer(kRate, square);
    std::vector<int16_t> out(static_cast<size_t>(samples));
    for (const Handed& handed : edges) changed.take(handed.edge);
    changed.render(out.data(), kRate * 30 / 1000, 0);
    changed.setTone(triangle);
    changed.render(out.data() + kRate * 30 / 1000, static_cast<int>(samples - kRate * 30 / 1000),
                   Ms(30));
    SidetoneRenderer allSquare = Renderer(kRate, square);
    SidetoneRenderer allTriangle = Renderer(kRate, triangle);
    const auto squareOut = Render(allSquare, edges, samples, {128});
    const auto triangleOut = Render(allTriangle, edges, samples, {128});
    const auto middle = out.begin() + kRate * 80 / 1000;
    EXPECT_TRUE(std::equal(out.begin(), middle, squareOut.begin()));
    EXPECT_TRUE(std::equal(middle, out.end(), triangleOut.begin() + kRate * 80 / 1000));
    EXPECT_FALSE(std::equal(middle, out.end(), squareOut.begin() + kRate * 80 / 1000));
}

}  // namespace
}  // namespace cwt
