#include "sound/sidetone/MonitorTimeline.h"

#include <algorithm>
#include <cstring>

#include "sound/PulseClient.h"

namespace cwt {

MonitorTimeline::MonitorTimeline(const char* source, int maxSeconds)
    : m_client(std::make_unique<PulseClient>("CW Tamarik monitor timeline")),
      m_samples(static_cast<size_t>(maxSeconds) * kRateHz),
      m_chunkEnds(static_cast<size_t>(maxSeconds) * 1000),
      m_chunkArrivalNs(m_chunkEnds.size()) {
    PulseClient::Lock lock(*m_client);
    if (!m_client->waitReady(2000)) return;
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRateHz, 1};
    m_stream = pa_stream_new(m_client->context(), "monitor timeline", &format, nullptr);
    if (!m_stream) return;
    pa_stream_set_read_callback(m_stream, &MonitorTimeline::Read, this);
    // A fragment as parec takes by default at this rate, and no latency asked of the sink.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(20000, &format));
    pa_stream_connect_record(m_stream, source, &attr, PA_STREAM_NOFLAGS);
}

MonitorTimeline::~MonitorTimeline() {
    PulseClient::Lock lock(*m_client);
    if (!m_stream) return;
    // A disconnected stream may still deliver what it holds; nothing may reach this object.
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
}

// libpulse thread: appends what arrived, with the time it arrived.
void MonitorTimeline::Read(pa_stream* stream, size_t, void* self) {
    auto* me = static_cast<MonitorTimeline*>(self);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 &&
           bytes > 0) {
        const int64_t arrivedNs = PulseClient::NowUs() * 1000;
        const size_t count = me->m_count.load(std::memory_order_relaxed);
        const size_t chunks = me->m_chunkCount.load(std::memory_order_relaxed);
        const size_t chunk = std::min(bytes / sizeof(int16_t), me->m_samples.size() - count);
        if (chunk > 0 && chunks < me->m_chunkEnds.size()) {
            if (data)
                std::memcpy(me->m_samples.data() + count, data, chunk * sizeof(int16_t));
            else
                std::fill_n(me->m_samples.data() + count, chunk, 0);
            me->m_chunkEnds[chunks] = count + chunk;
            me->m_chunkArrivalNs[chunks] = arrivedNs;
            me->m_count.store(count + chunk, std::memory_order_release);
            me->m_chunkCount.store(chunks + 1, std::memory_order_release);
        }
        pa_stream_drop(stream);
    }
}

bool MonitorTimeline::waitRunning(int timeoutMs) {
    const int64_t untilUs = PulseClient::NowUs() + int64_t{timeoutMs} * 1000;
    while (m_count.load(std::memory_order_acquire) < kRateHz / 10) {
        if (!m_stream || PulseClient::NowUs() > untilUs) return false;
        timespec pause{0, 5'000'000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

MonitorTimeline::Recording MonitorTimeline::recording() const {
    Recording recording;
    const size_t chunks = m_chunkCount.load(std::memory_order_acquire);
    const size_t count = chunks > 0 ? m_chunkEnds[chunks - 1] : 0;
    recording.samples.assign(m_samples.begin(), m_samples.begin() + static_cast<long>(count));
    recording.chunkEnds.assign(m_chunkEnds.begin(),
                               m_chunkEnds.begin() + static_cast<long>(chunks));
    // Each chunk's arrival less the samples up to its end: the moment of sample 0 as that chunk
    // tells it, late by however long the chunk took to arrive.
    std::vector<size_t> sizes(chunks);
    std::vector<int64_t> zeroNs(chunks);
    for (size_t i = 0; i < chunks; ++i) {
        zeroNs[i] =
            m_chunkArrivalNs[i] - static_cast<int64_t>(m_chunkEnds[i]) * 1'000'000'000 / kRateHz;
        sizes[i] = m_chunkEnds[i] - (i > 0 ? m_chunkEnds[i - 1] : 0);
    }
    // A break moves every later chunk's moment later by a cycle or more; a chunk that merely
    // came late moves only its own. So a break begins where the soonest of the chunks that
    // follow (within kSettleNs: the sink may change its cycle later on, and a longer cycle
    // delivers its chunks before the moments they stand for) is later by kBreakNs than anywhere
    // before in the stretch; within a stretch every chunk takes the soonest moment of all.
    std::vector<int64_t> soonestAfterNs(chunks);
    for (size_t i = 0; i < chunks; ++i) {
        soonestAfterNs[i] = zeroNs[i];
        for (size_t j = i + 1; j < chunks && m_chunkArrivalNs[j] - m_chunkArrivalNs[i] < kSettleNs;
             ++j)
            soonestAfterNs[i] = std::min(soonestAfterNs[i], zeroNs[j]);
    }
    recording.chunkStartNs.resize(chunks);
    size_t stretch = 0;
    int64_t stretchSoonestNs = chunks > 0 ? soonestAfterNs[0] : 0;
    for (size_t i = 0; i <= chunks; ++i) {
        if (i < chunks && soonestAfterNs[i] - stretchSoonestNs < kBreakNs) {
            stretchSoonestNs = std::min(stretchSoonestNs, soonestAfterNs[i]);
            continue;
        }
        const int64_t soonestNs =
            i > stretch ? *std::min_element(zeroNs.begin() + static_cast<long>(stretch),
                                            zeroNs.begin() + static_cast<long>(i))
                        : 0;
        for (size_t k = stretch; k < i; ++k) {
            const size_t begin = k > 0 ? m_chunkEnds[k - 1] : 0;
            recording.chunkStartNs[k] =
                soonestNs + static_cast<int64_t>(begin) * 1'000'000'000 / kRateHz;
        }
        if (i < chunks) {
            recording.breakChunks.push_back(i);
            stretchSoonestNs = soonestAfterNs[i];
        }
        stretch = i;
    }
    recording.breaks = static_cast<int>(recording.breakChunks.size());
    if (!sizes.empty()) {
        std::nth_element(sizes.begin(), sizes.begin() + static_cast<long>(sizes.size() / 2),
                         sizes.end());
        recording.typicalChunk = sizes[sizes.size() / 2];
    }
    return recording;
}

namespace {

// The chunk that holds `sample`.
size_t ChunkOf(const std::vector<size_t>& chunkEnds, double sample) {
    const auto at = std::upper_bound(chunkEnds.begin(), chunkEnds.end(),
                                     static_cast<size_t>(std::max(sample, 0.0)));
    return std::min(static_cast<size_t>(at - chunkEnds.begin()), chunkEnds.size() - 1);
}

}  // namespace

int64_t MonitorTimeline::Recording::timeOf(double sample) const {
    if (chunkEnds.empty()) return 0;
    const size_t chunk = ChunkOf(chunkEnds, sample);
    const double begin = chunk > 0 ? static_cast<double>(chunkEnds[chunk - 1]) : 0.0;
    return chunkStartNs[chunk] + static_cast<int64_t>((sample - begin) * 1e9 / kRateHz);
}

bool MonitorTimeline::Recording::breakBetween(double fromSample, double toSample) const {
    if (chunkEnds.empty()) return false;
    // The break lies somewhere in the chunk or two before the one it was found at.
    const size_t first = ChunkOf(chunkEnds, fromSample);
    const size_t last = ChunkOf(chunkEnds, toSample) + 2;
    return std::any_of(breakChunks.begin(), breakChunks.end(),
                       [&](size_t chunk) { return chunk >= first && chunk <= last; });
}

}  // namespace cwt
