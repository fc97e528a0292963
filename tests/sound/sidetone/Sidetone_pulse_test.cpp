// The sidetone through the real server (run on PulseAudio and on PipeWire): the null sink's
// monitor is recorded with the time each chunk arrived, and the tones in it are set beside the
// key edges meant for them. Silence while the sidetone is open and idle, a keyed rhythm that
// comes back element for element at one constant latency, edges that come late, and a close
// while the key is down.
//
// A busy machine makes the server lose sound now and then (PipeWire's graph skips a cycle,
// PulseAudio finds the stream dry): the monitor shows the skipped cycles and the sidetone says
// when its stream lost sound. Elements there are counted and left out of the timing figures;
// the rest must be exact. The monitor's arrival times place its sound to about a cycle of the
// sink, and its samples place one tone against another exactly as long as no cycle was
// skipped between them: so the latency must be the same to a millisecond between one break and
// the next, and within the goals everywhere.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "sound/sidetone/MonitorTimeline.h"
#include "sound/sidetone/Sidetone.h"
#include "sound/sidetone/SidetoneMeter.h"
#include "tests/sound/support/AudioTestSupport.h"

namespace cwt {
namespace {

int64_t NowNs() { return std::chrono::steady_clock::now().time_since_epoch().count(); }
int64_t Ms(double ms) { return std::llround(ms * 1e6); }

void Pause(int ms) {
    test::WaitUntil([] { return false; }, ms);
}

bool OnPipeWire() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    pactl.waitForFinished(5000);
    return pactl.readAllStandardOutput().contains("PipeWire");
}

// Irregular elements and gaps of a straight key at about 20 WPM: no length a whole number of
// samples or blocks.
std::vector<double> StraightKeyLengthsMs() {
    std::vector<double> lengths;
    for (int i = 0; i < 40; ++i) {
        lengths.push_back(40.0 + (i * 37 % 113) + 0.123 * i);
        lengths.push_back(45.0 + (i * 53 % 151) + 0.071 * i);
    }
    return lengths;
}

class SidetoneSound : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureCoreApp();
        if (!test::PulseServerAnswers()) {
            if (test::PulseRequired()) FAIL() << "no sound server answers";
            GTEST_SKIP() << "no sound server";
        }
        // After the application: the sidetone's notices need its event loop.
        m_owned = std::make_unique<Sidetone>();
    }

    void openReady() {
        ASSERT_TRUE(sidetone().open(ToneSettings{})) << sidetone().errorText().toStdString();
        ASSERT_TRUE(test::WaitUntil([this] { return sidetone().isReady(); }, 5000))
            << sidetone().errorText().toStdString();
    }
    Sidetone& sidetone() { return *m_owned; }

    // The tones heard since `fromNs` beside `keyed`, with what the sidetone said it lost and
    // the cycles the server mixed without it (`serverLostNs`).
    SidetoneMatch heard(const MonitorTimeline& monitor, const std::vector<KeyedElement>& keyed,
                        int64_t fromNs, const std::vector<int64_t>& serverLostNs = {}) {
        const MonitorTimeline::Recording recording = monitor.recording();
        std::vector<int64_t> lost = sidetone().dropouts();
        lost.insert(lost.end(), serverLostNs.begin(), serverLostNs.end());
        std::sort(lost.begin(), lost.end());
        return MatchSidetone(keyed, recording, LevelOf(recording.samples), fromNs, lost);
    }

    std::unique_ptr<Sidetone> m_owned;
};

// The tones of a recording as monotonic times: start and end.
std::vector<KeyedElement> TonesOf(const MonitorTimeline::Recording& recording) {
    std::vector<KeyedElement> tones;
    const double samplesPerMs = MonitorTimeline::kRateHz / 1000.0;
    for (const ToneRun& tone :
         ToneRunsAtHalfLevel(recording.samples.data(), recording.samples.size(),
                             MonitorTimeline::kRateHz, LevelOf(recording.samples)))
        tones.push_back({recording.timeOf(tone.startMs * samplesPerMs),
                         recording.timeOf(tone.endMs * samplesPerMs)});
    return tones;
}

void Report(const char* name, const SidetoneMatch& match, const SidetoneFigures& figures) {
    std::printf(
        "%-22s %zu elements, %zu left out (%zu across skipped cycles, %zu near dropouts, %zu "
        "handed in late); key to sound median %.2f ms (%.2f .. %.2f, spread %.2f between breaks), "
        "length error up to %.3f ms; latency chosen %.2f ms, %d late edges\n",
        name, match.keyed, match.disturbed(), match.acrossBreaks, match.nearDropouts,
        match.handedLate, match.medianLatencyMs, match.minLatencyMs, match.maxLatencyMs,
        match.latencySpreadMs, match.maxLengthErrorMs, figures.latencyNs / 1e6, figures.lateEdges);
    std::fflush(stdout);
}

TEST_F(SidetoneSound, SilentFromOpeningToClosingWhileNobodyKeys) {
    MonitorTimeline monitor;
    ASSERT_TRUE(monitor.waitRunning());
    openReady();
    if (OnPipeWire()) {
        EXPECT_EQ(sidetone().path(), SidetonePath::PipeWire);
    }
    Pause(1500);
    sidetone().close();
    Pause(300);
    const auto samples = monitor.recording().samples;
    ASSERT_GT(samples.size(), 48000u);
    EXPECT_EQ(LevelOf(samples), 0);
}

TEST_F(SidetoneSound, AKeyedRhythmComesBackAsKeyedAtOneLatency) {
    openReady();
    // As a key input's watcher thread hands edges in (each when it sees it), and as a keyer
    // does (both edges of an element when the element starts). Every rhythm played is judged
    // whole; when the server lost sound near most of its elements, another is played, so that
    // enough elements are judged at all.
    constexpr size_t kEnoughJudged = 8;
    constexpr int kMostRhythms = 3;
    for (const int64_t aheadNs : {int64_t{0}, Ms(40)}) {
        size_t judged = 0;
        for (int rhythm = 0; rhythm < kMostRhythms && judged < kEnoughJudged; ++rhythm) {
            MonitorTimeline monitor;
            ASSERT_TRUE(monitor.waitRunning());
            const test::ServerCycleWatch serverCycles;
            const int64_t fromNs = NowNs();
            EdgePlayer player(
                RhythmFrom(fromNs + Ms(200), StraightKeyLengthsMs()),
                [this](const keyer::KeyEdge& edge) { sidetone().edge(edge); }, aheadNs);
            const std::vector<KeyedElement> keyed = player.keyed();
            Pause(200);
            const std::vector<int64_t> lostCycles = serverCycles.unfinishedCycleTimesNs();
            const SidetoneMatch match = heard(monitor, keyed, fromNs, lostCycles);
            Report(aheadNs ? "handed ahead" : "handed at its time", match, sidetone().figures());
            EXPECT_TRUE(match.allHeard())
                << match.missing << " missing, " << match.extra << " extra";
            EXPECT_LE(match.maxLengthErrorMs, 0.1);
            EXPECT_LE(match.latencySpreadMs, 1.0);
            EXPECT_LE(match.medianLatencyMs, 10.0);
            EXPECT_LE(match.maxLatencyMs, 15.0);
            // The server logs only the first cycle or two it lost in two seconds, so a tone
            // broken, or a piece of one sounding apart, by one it did not log is not placed:
            // with any logged in or just before this rhythm, either may be the server's.
            if (lostCycles.empty()) {
                EXPECT_EQ(match.brokenTones, 0u) << "tones broke off with no word from the server";
                EXPECT_EQ(match.loudestOutside, 0.0);
            } else if (match.brokenTones > 0 || match.loudestOutside > 0) {
                std::printf("%zu broken tones, %.4f of full scale outside the tones, beside %zu "
                            "cycles the server logged as lost\n",
                            match.brokenTones, match.loudestOutside, lostCycles.size());
            }
            judged += match.judged();
        }
        EXPECT_GE(judged, kEnoughJudged) << "the machine was too busy to judge";
    }
}

TEST_F(SidetoneSound, EdgesWhoseTimeHasPassedSoundAtOnce) {
    openReady();
    MonitorTimeline monitor;
    ASSERT_TRUE(monitor.waitRunning());
    // A whole element whose moment passed 50 ms ago: it sounds now, as long as it was keyed.
    const int64_t handedNs = NowNs();
    const KeyedElement past{handedNs - Ms(50), handedNs - Ms(50) + Ms(37.5)};
    sidetone().keyDown(keyer::KeyTime(past.downNs));
    sidetone().keyUp(keyer::KeyTime(past.upNs));
    Pause(300);
    // A key-up handed in 80 ms after its moment ends a sounding element at once.
    const int64_t downNs = NowNs();
    sidetone().keyDown(keyer::KeyTime(downNs));
    Pause(110);
    const int64_t upHandedNs = NowNs();
    sidetone().keyUp(keyer::KeyTime(upHandedNs - Ms(80)));
    Pause(300);

    // Each element's sound: the first lies before the second key-down.
    const MonitorTimeline::Recording recording = monitor.recording();
    std::vector<KeyedElement> first;
    std::vector<KeyedElement> second;
    for (const KeyedElement& tone : TonesOf(recording))
        (tone.downNs < downNs ? first : second).push_back(tone);
    ASSERT_FALSE(first.empty()) << "the late element was dropped";
    ASSERT_FALSE(second.empty());
    EXPECT_GE(sidetone().figures().lateEdges, 2);
    // Each element is judged unless the server lost sound while it sounded.
    const std::vector<int64_t> dropouts = sidetone().dropouts();
    const int64_t latencyNs = sidetone().figures().latencyNs;
    auto lostSound = [&](int64_t fromNs, int64_t toNs) {
        auto near = [&](int64_t at) {
            return at > fromNs - Ms(50) && at < toNs + latencyNs + Ms(50);
        };
        return std::any_of(dropouts.begin(), dropouts.end(), near) ||
               std::any_of(recording.breakChunks.begin(), recording.breakChunks.end(),
                           [&](size_t chunk) { return near(recording.chunkStartNs[chunk]); });
    };
    if (lostSound(handedNs, handedNs + Ms(37.5))) {
        std::printf("the server lost sound meanwhile: the late element is not judged\n");
    } else {
        // It began when it was handed in (within a block and a cycle of the monitor), and kept
        // its length.
        ASSERT_EQ(first.size(), 1u);
        EXPECT_GT(first[0].downNs, handedNs - Ms(6)) << "it sounded before it was handed in";
        EXPECT_LT(first[0].downNs, handedNs + latencyNs + Ms(6)) << "it waited";
        EXPECT_NEAR((first[0].upNs - first[0].downNs) / 1e6, (past.upNs - past.downNs) / 1e6, 0.1);
    }
    if (lostSound(downNs, upHandedNs)) {
        std::printf("the server lost sound meanwhile: the late key-up is not judged\n");
    } else {
        // It ended when its key-up was handed in, not 80 ms before, nor never.
        EXPECT_GT(second.back().upNs, upHandedNs - Ms(6));
        EXPECT_LT(second.back().upNs, upHandedNs + latencyNs + Ms(6));
    }
}

TEST_F(SidetoneSound, ClosingWhileTheKeyIsDownLeavesNothingSounding) {
    openReady();
    MonitorTimeline monitor;
    ASSERT_TRUE(monitor.waitRunning());
    const int64_t downNs = NowNs();
    sidetone().keyDown(keyer::KeyTime(downNs));
    Pause(200);
    const int64_t latencyNs = sidetone().figures().latencyNs;
    const int64_t closedNs = NowNs();
    sidetone().close();
    const std::vector<int64_t> dropouts = sidetone().dropouts();  // forgotten when reopened
    sidetone().keyDown(keyer::KeyTime(NowNs()));                  // ignored while closed
    Pause(300);
    // Opened again, the key is up: the earlier key-down is not carried over.
    openReady();
    Pause(500);

    // Counted in samples (the sink's cycle changes when the sidetone goes, and with it what the
    // monitor's arrival times say): the tone began at the key-down and its sound ended when
    // the sidetone closed, with at most what the server already held (the latency) and a
    // cycle of the sink after it. Then nothing.
    const MonitorTimeline::Recording recording = monitor.recording();
    const std::vector<ToneRun> tones =
        ToneRunsAtHalfLevel(recording.samples.data(), recording.samples.size(),
                            MonitorTimeline::kRateHz, LevelOf(recording.samples));
    ASSERT_FALSE(tones.empty());
    const double soundedMs = tones.back().endMs - tones.front().startMs;
    const double keyedMs = (closedNs - downNs) / 1e6;
    // Samples tell the time only where the server lost none of them.
    const bool lostSound =
        recording.breaks > 0 || std::any_of(dropouts.begin(), dropouts.end(), [&](int64_t at) {
            return at > downNs - Ms(50) && at < closedNs + Ms(50);
        });
    if (lostSound) {
        std::printf("the server lost sound meanwhile: the tone's length is not judged\n");
    } else {
        EXPECT_GT(soundedMs, keyedMs - latencyNs / 1e6 - 6);
        EXPECT_LT(soundedMs, keyedMs + 6);
    }
    const auto end = static_cast<size_t>(tones.back().endMs * MonitorTimeline::kRateHz / 1000) + 48;
    ASSERT_LT(end, recording.samples.size());
    EXPECT_EQ(
        LevelOf({recording.samples.begin() + static_cast<long>(end), recording.samples.end()}), 0);
}

}  // namespace
}  // namespace cwt
