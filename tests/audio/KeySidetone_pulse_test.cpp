// The key against the sidetone through the real sound server: a send is keyed on the
// recording port while the null sink's monitor is recorded in this process with the time each
// chunk arrives, so every tone edge the server rendered gets a CLOCK_MONOTONIC time to set
// beside the key edge meant for it. Prints how far the key is from the sound (median, spread,
// largest) for a send on a stream that has to start and for one that continues.
//
// The null sink renders up to one block ahead of the time it stands for, so the sound's time
// found here is the server's rendering, known to a few milliseconds; within one recording the
// times are exact to a sample. Key and sound must keep together within a send (spread under
// 1 ms) and lie within a few milliseconds of each other.
#include <gtest/gtest.h>
#include <pulse/pulseaudio.h>
#include <sys/ioctl.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "../common/FakeSerialPort.h"
#include "audio/CodePlayer.h"
#include "audio/PulseClient.h"
#include "audio/RhythmMeter.h"
#include "audio/TransmitterKeyer.h"
#include "audio/VelWaveCtrl.h"
#include "audio/WholeSend.h"
#include "support/AudioTestSupport.h"

namespace cwt {
namespace {

constexpr int kRate = 48000;

// The monitor of the null sink, with the CLOCK_MONOTONIC time each chunk arrived. The sink
// renders in real time and hands each chunk to the monitor once it has been rendered, so a
// chunk never arrives before its last sample's time: the chunk that arrived soonest after its
// last sample fixes the time of every sample (the sink runs on the same clock).
class MonitorTimeline {
public:
    MonitorTimeline() {
        PulseClient::Lock lock(m_client);
        m_client.connect();
        if (!m_client.waitReady(2000)) return;
        const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
        m_stream = pa_stream_new(m_client.context(), "monitor", &format, nullptr);
        pa_stream_set_read_callback(m_stream, &MonitorTimeline::Read, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(2000, &format));
        pa_stream_connect_record(m_stream, "cwnull.monitor", &attr, PA_STREAM_ADJUST_LATENCY);
    }
    ~MonitorTimeline() {
        PulseClient::Lock lock(m_client);
        if (!m_stream) return;
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    // Tone edges heard so far, as CLOCK_MONOTONIC times.
    std::vector<test::KeyChange> toneEdges() {
        std::lock_guard lock(m_mutex);
        const std::vector<ToneRun> runs =
            ToneRunsOfSamples(m_samples.data(), m_samples.size(), kRate);
        std::vector<test::KeyChange> edges;
        for (const ToneRun& run : runs) {
            edges.push_back({m_firstSampleNs + static_cast<int64_t>(run.startMs * 1e6), true});
            edges.push_back({m_firstSampleNs + static_cast<int64_t>(run.endMs * 1e6), false});
        }
        return edges;
    }

private:
    // libpulse thread.
    static void Read(pa_stream* stream, size_t, void* self) {
        auto* me = static_cast<MonitorTimeline*>(self);
        const void* data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 &&
               bytes > 0) {
            const int64_t arrived = MonotonicNowNs();
            std::lock_guard lock(me->m_mutex);
            const size_t count = bytes / 2;
            if (data) {
                const auto* samples = static_cast<const int16_t*>(data);
                me->m_samples.insert(me->m_samples.end(), samples, samples + count);
            } else {
                me->m_samples.resize(me->m_samples.size() + count, 0);
            }
            const int64_t firstNs =
                arrived - static_cast<int64_t>(me->m_samples.size()) * 1'000'000'000 / kRate;
            me->m_firstSampleNs = std::min(me->m_firstSampleNs, firstNs);
            pa_stream_drop(stream);
        }
    }

    PulseClient m_client{"key timeline"};
    pa_stream* m_stream = nullptr;
    std::mutex m_mutex;
    std::vector<int16_t> m_samples;
    int64_t m_firstSampleNs = INT64_MAX;
};

struct Offsets {
    size_t edges = 0;
    double firstMs = 0;  // the first key edge after the tone's
    double medianMs = 0;
    double minMs = 0;
    double maxMs = 0;
};

Offsets Compare(const std::vector<test::KeyChange>& keys,
                const std::vector<test::KeyChange>& tones) {
    Offsets o;
    EXPECT_EQ(keys.size(), tones.size());
    std::vector<double> ms;
    for (size_t i = 0; i < std::min(keys.size(), tones.size()); ++i) {
        EXPECT_EQ(keys[i].down, tones[i].down) << i;
        ms.push_back(double(keys[i].ns - tones[i].ns) / 1e6);
    }
    if (ms.empty()) return o;
    o.edges = ms.size();
    o.firstMs = ms.front();
    std::sort(ms.begin(), ms.end());
    o.medianMs = ms[ms.size() / 2];
    o.minMs = ms.front();
    o.maxMs = ms.back();
    return o;
}

void Report(const char* name, const Offsets& o) {
    std::printf(
        "%-34s %4zu edges  key - tone: first %+.2f ms, median %+.2f ms, "
        "from %+.2f to %+.2f ms (spread %.2f ms)\n",
        name, o.edges, o.firstMs, o.medianMs, o.minMs, o.maxMs, o.maxMs - o.minMs);
    std::fflush(stdout);
}

void Pause(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class KeySidetone : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureCoreApp();
        if (!test::PulseServerAnswers()) {
            if (test::PulseRequired()) FAIL() << "no sound server answers";
            GTEST_SKIP() << "no sound server";
        }
        // After the application object: the device's notices need its event loop.
        m_wave = std::make_unique<TVelWaveCtrl>();
        m_player = std::make_unique<CodePlayer>(*m_wave, SpeakerOutput{});
        m_keyer = std::make_unique<TransmitterKeyer>(m_wave.get(), test::FakeSerialCalls());
        m_player->setListener(m_keyer.get());
    }

    // Sends `text` keyed alongside and returns the key edges and the tone edges it gave.
    Offsets send(const std::string& text, int multiplier, int width, bool afresh) {
        MonitorTimeline monitor;
        Pause(300);
        if (afresh) Pause(1300);  // the stream of the send before is let go
        CodeSettings settings;
        settings.dotLength = 30 * multiplier;
        settings.toneWidth = width;
        const int64_t sendStart = MonotonicNowNs();
        SendWholeText(*m_player, text, {}, settings);
        Pause(400);
        std::vector<test::KeyChange> keys = test::KeyChanges(TIOCM_DTR, false);
        std::erase_if(keys, [&](const test::KeyChange& k) { return k.ns < sendStart; });
        return Compare(keys, monitor.toneEdges());
    }

    std::unique_ptr<TVelWaveCtrl> m_wave;
    std::unique_ptr<CodePlayer> m_player;
    std::unique_ptr<TransmitterKeyer> m_keyer;
};

TEST_F(KeySidetone, KeyAndSidetoneStayTogether) {
    ASSERT_TRUE(m_keyer->start({}));
    m_player->PlayCode("S!", false, CodeSettings{});  // connects to the server
    const std::pair<const char*, Offsets> sends[] = {
        {"x1 width 4, stream starting", send("CQ TEST", 1, 4, true)},
        {"x1 width 4, stream running", send("CQ TEST", 1, 4, false)},
        {"x1 width 1, stream running", send("HL0CW 599 \xC7\xD1", 1, 1, false)},
        {"x5 width 4, stream running", send("TEST", 5, 4, false)},
    };
    for (const auto& [name, o] : sends) {
        Report(name, o);
        EXPECT_GT(o.edges, 10u) << name;
        EXPECT_LT(o.maxMs - o.minMs, 1.0) << name;
        EXPECT_LT(std::abs(o.medianMs), 5.0) << name;
    }
}

}  // namespace
}  // namespace cwt
