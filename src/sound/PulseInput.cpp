#include "sound/PulseInput.h"

#include <atomic>
#include <string>

#include "sound/PulseClient.h"
#include "sound/SampleRing.h"

namespace cwt {

namespace {
constexpr int kAnswerMs = 1000;
// Ten seconds at 48 kHz: a reader that stalls that long loses samples, and says so.
constexpr size_t kRingSamples = 1 << 19;
}  // namespace

struct PulseInput::Impl {
    PulseClient client{"CW Tamarik"};
    SampleRing ring{kRingSamples};
    pa_stream* stream = nullptr;
    int rateHz = 0;
    std::string sourceName;
    std::string error;
    std::atomic<State> state{State::Closed};

    // libpulse thread: moves what the server sent into the ring. The server's memory blocks
    // hold whole frames at frame-aligned offsets, so the bytes read as floats.
    static void Read(pa_stream* stream, size_t, void* self) {
        auto& d = *static_cast<Impl*>(self);
        const void* data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0) {
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
            const size_t samples = bytes / sizeof(float);
            if (data)
                d.ring.write(static_cast<const float*>(data), samples);
            else
                d.ring.writeSilence(samples);  // a hole: the time passed all the same
            pa_stream_drop(stream);
        }
    }

    // libpulse thread: a stream that ends while it was running lost its source, or the server.
    static void StreamState(pa_stream* stream, void* self) {
        auto& d = *static_cast<Impl*>(self);
        const pa_stream_state_t now = pa_stream_get_state(stream);
        if (now == PA_STREAM_FAILED || now == PA_STREAM_TERMINATED) {
            const bool serverUp = PA_CONTEXT_IS_GOOD(pa_context_get_state(d.client.context()));
            d.lose(serverUp ? State::SourceLost : State::ServerLost);
        }
        d.client.signal();
    }

    // libpulse thread or GUI thread: the server's loss outranks the source's.
    void lose(State why) {
        State current = state.load();
        while (current == State::Running ||
               (current == State::SourceLost && why == State::ServerLost)) {
            if (state.compare_exchange_weak(current, why)) return;
        }
    }

    void setError() {
        error = client.context() ? pa_strerror(pa_context_errno(client.context())) : client.error();
    }

    // Lock held.
    void dropStream() {
        if (!stream) return;
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }

    bool connect(const std::string& source, int fragmentMs);
};

// Lock held.
bool PulseInput::Impl::connect(const std::string& source, int fragmentMs) {
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_FLOAT32NE;
    sampleFormat.rate = static_cast<uint32_t>(rateHz);
    sampleFormat.channels = 1;
    if (!pa_sample_spec_valid(&sampleFormat)) {
        error = "invalid sample rate";
        return false;
    }
    stream = pa_stream_new(client.context(), "Received signal", &sampleFormat, nullptr);
    if (!stream) {
        setError();
        return false;
    }
    pa_stream_set_state_callback(stream, &Impl::StreamState, this);
    pa_stream_set_read_callback(stream, &Impl::Read, this);
    // A small fragment: the decoder sees a letter's end within tens of milliseconds.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(fragmentMs) * PA_USEC_PER_MSEC, &sampleFormat));
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
    if (!source.empty()) flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);
    const bool settled =
        pa_stream_connect_record(stream, source.empty() ? nullptr : source.c_str(), &attr, flags) >=
            0 &&
        client.waitFor([this] { return pa_stream_get_state(stream) != PA_STREAM_CREATING; },
                       kAnswerMs);
    if (!settled || pa_stream_get_state(stream) != PA_STREAM_READY) {
        setError();
        if (!settled && error == "OK") error = "Timeout";
        dropStream();
        return false;
    }
    const char* device = pa_stream_get_device_name(stream);
    sourceName = device ? device : source;
    return true;
}

PulseInput::PulseInput() : m_impl(std::make_unique<Impl>()) {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    // libpulse thread: the server went away; the stream goes with it.
    d.client.onFailed = [&d](const char*) { d.lose(State::ServerLost); };
}

PulseInput::~PulseInput() {
    close();
    PulseClient::Lock lock(m_impl->client);
    m_impl->client.onFailed = nullptr;
}

SourceListing PulseInput::listSources() { return ListSources(m_impl->client, kAnswerMs); }

bool PulseInput::open(const QString& sourceName, int rateHz, int fragmentMs) {
    close();
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    d.error.clear();
    d.client.dropIfFailed();
    if (!d.client.waitReady(kAnswerMs)) {
        d.error = d.client.error().empty() ? "Timeout" : d.client.error();
        return false;
    }
    d.rateHz = rateHz;
    d.ring.clear();
    if (!d.connect(sourceName.toStdString(), fragmentMs)) return false;
    d.state = State::Running;
    return true;
}

void PulseInput::close() {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    d.dropStream();
    d.state = State::Closed;
}

bool PulseInput::isOpen() const {
    PulseClient::Lock lock(m_impl->client);
    return m_impl->stream != nullptr;
}

QString PulseInput::sourceName() const {
    PulseClient::Lock lock(m_impl->client);
    return QString::fromStdString(m_impl->sourceName);
}

QString PulseInput::lastError() const {
    PulseClient::Lock lock(m_impl->client);
    return QString::fromStdString(m_impl->error);
}

uint64_t PulseInput::droppedSamples() const { return m_impl->ring.dropped(); }

int PulseInput::rateHz() const { return m_impl->rateHz; }

size_t PulseInput::read(float* out, size_t max) { return m_impl->ring.read(out, max); }

SampleInput::State PulseInput::state() const { return m_impl->state.load(); }

}  // namespace cwt
