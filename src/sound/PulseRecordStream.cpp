#include "sound/PulseRecordStream.h"

#include "sound/MmErrors.h"
#include "sound/PulseClient.h"

namespace cwt {

namespace {
constexpr int kAnswerMs = 1000;
}  // namespace

struct PulseRecordStream::Impl {
    PulseClient client{"CW Tamarik"};
    pa_stream* stream = nullptr;
    bool running = false;
    std::string error;

    // libpulse thread: the input is never handed a buffer, so what arrives is dropped.
    static void Read(pa_stream* stream, size_t, void*) {
        const void* data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0) {
            if (pa_stream_peek(stream, &data, &bytes) < 0) return;
            if (bytes == 0) return;
            pa_stream_drop(stream);
        }
    }
    // libpulse thread.
    static void State(pa_stream*, void* self) { static_cast<Impl*>(self)->client.signal(); }

    int fail(int code) {
        error = client.context() ? pa_strerror(pa_context_errno(client.context())) : client.error();
        return code;
    }
    bool streamReady() const { return stream && pa_stream_get_state(stream) == PA_STREAM_READY; }
    int cork(bool pause) {
        if (!streamReady()) return kMmSysErrInvalHandle;
        if (!client.waitOperation(pa_stream_cork(stream, pause ? 1 : 0, nullptr, nullptr),
                                  kAnswerMs))
            return fail(kMmSysErrError);
        running = !pause;
        return kMmNoError;
    }
};

PulseRecordStream::PulseRecordStream() : m_impl(std::make_unique<Impl>()) {}

PulseRecordStream::~PulseRecordStream() { close(); }

int PulseRecordStream::open(const WaveFormat& format) {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    if (d.stream) return kMmSysErrAllocated;
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return kWavErrBadFormat;
    d.client.dropIfFailed();
    if (!d.client.waitReady(kAnswerMs)) return d.fail(kMmSysErrNoDriver);
    pa_sample_spec sampleFormat{};
    sampleFormat.format = format.bitsPerSample == 16 ? PA_SAMPLE_S16LE : PA_SAMPLE_U8;
    sampleFormat.rate = static_cast<uint32_t>(format.samplesPerSec);
    sampleFormat.channels = static_cast<uint8_t>(format.channels);
    if (!pa_sample_spec_valid(&sampleFormat)) return kWavErrBadFormat;
    d.stream = pa_stream_new(d.client.context(), "Recording input", &sampleFormat, nullptr);
    if (!d.stream) return d.fail(kMmSysErrNoMem);
    pa_stream_set_state_callback(d.stream, &Impl::State, &d);
    pa_stream_set_read_callback(d.stream, &Impl::Read, &d);
    if (pa_stream_connect_record(d.stream, nullptr, nullptr, PA_STREAM_START_CORKED) < 0) {
        const int code = d.fail(kMmSysErrBadDeviceId);
        pa_stream_unref(d.stream);
        d.stream = nullptr;
        return code;
    }
    const bool settled = d.client.waitFor(
        [&d] { return pa_stream_get_state(d.stream) != PA_STREAM_CREATING; }, kAnswerMs);
    if (!settled || !d.streamReady()) {
        const int code = d.fail(kMmSysErrBadDeviceId);
        pa_stream_set_state_callback(d.stream, nullptr, nullptr);
        pa_stream_set_read_callback(d.stream, nullptr, nullptr);
        pa_stream_disconnect(d.stream);
        pa_stream_unref(d.stream);
        d.stream = nullptr;
        return code;
    }
    return kMmNoError;
}

int PulseRecordStream::start() {
    PulseClient::Lock lock(m_impl->client);
    return m_impl->cork(false);
}

int PulseRecordStream::stop() {
    PulseClient::Lock lock(m_impl->client);
    return m_impl->cork(true);
}

int PulseRecordStream::reset() {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    if (!d.streamReady()) return kMmSysErrInvalHandle;
    const int code = d.cork(true);
    if (code != kMmNoError) return code;
    if (!d.client.waitOperation(pa_stream_flush(d.stream, nullptr, nullptr), kAnswerMs))
        return d.fail(kMmSysErrError);
    return kMmNoError;
}

int PulseRecordStream::close() {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    if (!d.stream) return kMmSysErrInvalHandle;
    pa_stream_set_state_callback(d.stream, nullptr, nullptr);
    pa_stream_set_read_callback(d.stream, nullptr, nullptr);
    if (d.streamReady()) pa_stream_disconnect(d.stream);
    pa_stream_unref(d.stream);
    d.stream = nullptr;
    d.running = false;
    return kMmNoError;
}

bool PulseRecordStream::isOpen() const {
    PulseClient::Lock lock(m_impl->client);
    return m_impl->stream != nullptr;
}

bool PulseRecordStream::isRunning() const {
    PulseClient::Lock lock(m_impl->client);
    return m_impl->running;
}

QString PulseRecordStream::lastError() const {
    PulseClient::Lock lock(m_impl->client);
    return QString::fromStdString(m_impl->error);
}

}  // namespace cwt
