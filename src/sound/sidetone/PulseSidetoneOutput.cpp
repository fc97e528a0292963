#include "sound/sidetone/PulseSidetoneOutput.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>

#include "sound/PulseClient.h"

namespace cwt {

namespace {

// The server asks for more once this much has been played [µs]: small, so that the stream is
// topped up often and holds little more than its target.
constexpr int kRequestUs = 1000;
// The libpulse thread of the sidetone renders every millisecond; an ordinary thread on a busy
// machine can be held up for tens of milliseconds, longer than the stream holds. Real-time
// when the process may ask for it (as the server's own threads are), else it stays ordinary.
constexpr int kRealtimePriority = 5;

}  // namespace

struct PulseSidetoneOutput::Stream {
    PulseSidetoneOutput& owner;
    int targetUs;
    PulseClient& client;
    SidetoneEngine& engine;
    SidetoneOutput::Listener& listener;
    pa_stream* stream = nullptr;
    bool realtimeTried = false;
    bool dry = false;  // the last write found the server past it
    bool timingAsked = false;  // fresh timing was asked for after a dropout

    void ranDry(int64_t nowNs);

    void create();
    void release();
    void fail();

    static void StateChanged(pa_stream* stream, void* self);
    static void WriteRequested(pa_stream* stream, size_t bytes, void* self);
    static void RanDry(pa_stream* stream, void* self);
    static void TimingUpdated(pa_stream* stream, int success, void* self);
};

// Lock held; libpulse thread (the context came up).
void PulseSidetoneOutput::Stream::create() {
    if (stream) return;
    const pa_sample_spec format{PA_SAMPLE_S16NE, static_cast<uint32_t>(kRateHz), 1};
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, "Sidetone");
    stream =
        pa_stream_new_with_proplist(client.context(), "Sidetone", &format, nullptr, properties);
    pa_proplist_free(properties);
    if (!stream) {
        fail();
        return;
    }
    pa_stream_set_state_callback(stream, &Stream::StateChanged, this);
    pa_stream_set_write_callback(stream, &Stream::WriteRequested, this);
    pa_stream_set_underflow_callback(stream, &Stream::RanDry, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength =
        static_cast<uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(targetUs), &format));
    attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(kRequestUs, &format));
    // No prebuffering: the stream plays from the first request on and, should it run dry, keeps
    // its timeline (what comes too late is dropped), so the sound stays where the clock says.
    attr.prebuf = 0;
    attr.fragsize = static_cast<uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) < 0) fail();
}

// Lock held.
void PulseSidetoneOutput::Stream::release() {
    if (!stream) return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream, nullptr, nullptr);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY || state == PA_STREAM_CREATING) pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

// Lock held; libpulse thread.
void PulseSidetoneOutput::Stream::fail() {
    listener.outputFailed(pa_strerror(pa_context_errno(client.context())));
    release();
}

// libpulse thread.
void PulseSidetoneOutput::Stream::StateChanged(pa_stream* stream, void* self) {
    auto* me = static_cast<Stream*>(self);
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            me->listener.outputRunning();
            break;
        case PA_STREAM_FAILED:
            me->fail();
            break;
        default:
            break;
    }
}

// libpulse thread: renders what the server asks for, straight into its memory.
void PulseSidetoneOutput::Stream::WriteRequested(pa_stream* stream, size_t bytes, void* self) {
    auto* me = static_cast<Stream*>(self);
    if (!me->realtimeTried) {
        me->realtimeTried = true;
        sched_param priority{};
        priority.sched_priority = kRealtimePriority;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    }
    while (bytes >= sizeof(int16_t)) {
        void* block = nullptr;
        size_t blockBytes = bytes;
        if (pa_stream_begin_write(stream, &block, &blockBytes) < 0 || !block) {
            me->fail();
            return;
        }
        blockBytes = std::min(blockBytes, bytes) / sizeof(int16_t) * sizeof(int16_t);
        if (blockBytes == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        const int64_t nowNs = PulseClient::NowUs() * 1000;
        // The latency of a sample written now: what the stream holds and the sink's own.
        pa_usec_t latencyUs = 0;
        int negative = 0;
        int64_t firstNs = SidetoneEngine::kUnknownTime;
        if (pa_stream_get_latency(stream, &latencyUs, &negative) == 0) {
            firstNs = nowNs + (negative ? -1 : 1) * static_cast<int64_t>(latencyUs) * 1000;
            // The server has already played past what is written now: the stream ran dry,
            // whether or not the server says so (it tells only the first time in a while).
            const bool dry = negative && latencyUs > 0;
            if (dry && !me->dry) me->ranDry(nowNs);
            me->dry = dry;
        }
        me->engine.render(static_cast<int16_t*>(block),
                          static_cast<int>(blockBytes / sizeof(int16_t)), firstNs, nowNs);
        if (pa_stream_write(stream, block, blockBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            me->fail();
            return;
        }
        bytes -= blockBytes;
    }
}

// libpulse thread.
void PulseSidetoneOutput::Stream::RanDry(pa_stream*, void* self) {
    auto* me = static_cast<Stream*>(self);
    me->owner.m_underflows.fetch_add(1, std::memory_order_relaxed);
    me->ranDry(PulseClient::NowUs() * 1000);
}

// Lock held; libpulse thread. The server played past the stream: where its sound lies now is
// known only from fresh timing (libpulse interpolates from the last report, which knew nothing
// of the dropout), so it is asked for, and the clock takes it when it comes.
void PulseSidetoneOutput::Stream::ranDry(int64_t nowNs) {
    engine.noteDropout(nowNs);
    if (timingAsked || !stream) return;
    if (pa_operation* asked = pa_stream_update_timing_info(stream, &Stream::TimingUpdated, this)) {
        timingAsked = true;
        pa_operation_unref(asked);
    }
}

// libpulse thread, the one that renders.
void PulseSidetoneOutput::Stream::TimingUpdated(pa_stream*, int success, void* self) {
    auto* me = static_cast<Stream*>(self);
    me->timingAsked = false;
    if (success) me->engine.resyncClock();
}

PulseSidetoneOutput::PulseSidetoneOutput(int targetUs) : m_targetUs(targetUs) {}

PulseSidetoneOutput::~PulseSidetoneOutput() { close(); }

bool PulseSidetoneOutput::open(SidetoneEngine& engine, Listener& listener) {
    close();
    m_underflows.store(0, std::memory_order_relaxed);
    m_client = std::make_unique<PulseClient>("CW Tamarik");
    m_stream = std::unique_ptr<Stream>(new Stream{*this, m_targetUs, *m_client, engine, listener});
    PulseClient::Lock lock(*m_client);
    Stream* stream = m_stream.get();
    // libpulse thread: the context came up, or failed (also later: the server went away).
    m_client->onReady = [stream] { stream->create(); };
    m_client->onFailed = [stream](const char* reason) {
        stream->listener.outputFailed(reason);
        stream->release();
    };
    m_client->connect();
    return !m_client->failed();
}

void PulseSidetoneOutput::close() {
    if (!m_client) return;
    {
        PulseClient::Lock lock(*m_client);
        m_stream->release();
        m_client->onReady = nullptr;
        m_client->onFailed = nullptr;
        m_client->disconnect();
    }
    m_client.reset();  // stops the libpulse thread
    m_stream.reset();
}

std::string PulseSidetoneOutput::error() const {
    if (!m_client) return {};
    PulseClient::Lock lock(*m_client);
    return m_client->error();
}

}  // namespace cwt
