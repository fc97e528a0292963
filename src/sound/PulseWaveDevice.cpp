#include "sound/PulseWaveDevice.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "sound/PulseClient.h"

namespace cwt {

namespace {

// What the server holds of the stream [ms]: small enough that a letter starts at once, large
// enough that the GUI thread has tens of milliseconds to queue the next letter.
constexpr int kTargetMs = 50;
// The server asks for more once this much has been played [ms].
constexpr int kRequestMs = 10;
// Data waiting this long without the server taking any means the server no longer answers.
constexpr int kStallMs = 2000;
constexpr int kWatchdogMs = 250;
constexpr size_t kPendingCapacity = 64;
constexpr size_t kNoticeCapacity = 256;

}  // namespace

struct PulseWaveDevice::Impl {
    explicit Impl(const std::string& name) : client(name) {}

    PulseClient client;
    pa_stream* stream = nullptr;
    WaveFormat format;
    bool wantOpen = false;      // between open() and close()
    bool openedPosted = false;  // the Opened notice of this use is queued
    bool triggered = false;     // the stream was started after its first write
    bool blocked = false;       // a barrier was handed over
    bool failed = false;        // this use failed: writes complete failed until the next open
    bool tailPadded = true;     // silence follows the last bytes handed over
    char error[128] = {};       // fixed: the libpulse thread writes it
    WaveVolume volume;
    bool volumeSet = false;  // the program set its volume: each new stream gets it

    struct Pending {
        uint64_t ticket;
        const uint8_t* data;
        int size;
        int offset;
        bool barrier;
    };
    std::array<Pending, kPendingCapacity> pending{};
    size_t pendingHead = 0;
    size_t pendingCount = 0;
    int64_t lastProgressUs = 0;
    pa_time_event* watchdog = nullptr;

    // Notices for the GUI thread. Produced with the loop lock held (so by one producer at a
    // time), consumed by the GUI thread without it.
    std::array<Notice, kNoticeCapacity> notices{};
    std::atomic<size_t> noticeHead{0};
    std::atomic<size_t> noticeTail{0};
    int wakeFd = -1;

    std::atomic<int> underflows{0};
    std::atomic<bool> drained{false};
    int64_t lastSinkUs = -1;  // the sink's latency when a stream last told it [µs]

    // When the stream's sound plays, for queuedSoundUs(). A run is what plays without the
    // stream running dry in between: its byte k sounds at runStartUs + k / byte rate. On
    // PipeWire the stream is played in whole graph periods, and the latency interpolated
    // between the server's timing reports wanders by several milliseconds; every report tells
    // when the run's first byte sounds, and the latest of these is kept, so the run's sound is
    // one straight line that a transmitter keyed alongside can follow without jumps.
    int64_t written = 0;         // stream bytes written since the stream was created
    int64_t runStartIndex = -1;  // `written` at the run's first byte; -1: no run
    int64_t runStartUs = -1;     // when that byte sounds [CLOCK_MONOTONIC µs]; -1: no report yet
    int64_t lastTimingAskedUs = 0;

    // Any thread holding the lock. No allocation: the libpulse thread calls it.
    void post(const Notice& notice) {
        const size_t tail = noticeTail.load(std::memory_order_relaxed);
        if (tail - noticeHead.load(std::memory_order_acquire) < kNoticeCapacity) {
            notices[tail % kNoticeCapacity] = notice;
            noticeTail.store(tail + 1, std::memory_order_release);
        }
        wake();
    }
    void wake() const {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }

    Pending& front() { return pending[pendingHead]; }
    void popFront() {
        pendingHead = (pendingHead + 1) % kPendingCapacity;
        --pendingCount;
    }
    void clearPending() {
        pendingHead = 0;
        pendingCount = 0;
        blocked = false;
    }

    void createStream();
    void releaseStream();
    void beforeWriting();
    void countWritten(size_t streamBytes);
    int64_t runSoundEndUs() const;
    void applyVolume();
    void feed();
    bool handOver(const uint8_t* data, size_t bytes);
    bool writeSilence(size_t streamBytes);
    void padTail();
    void failAll(const char* reason);
    void armWatchdog();

    static void StreamState(pa_stream* stream, void* self);
    static void StreamWrite(pa_stream* stream, size_t bytes, void* self);
    static void StreamUnderflow(pa_stream* stream, void* self);
    static void TimingUpdated(pa_stream* stream, void* self);
    static void DrainDone(pa_stream* stream, int success, void* self);
    static void WatchdogTick(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                             void* self);
};

namespace {

// The stream carries 8-bit samples widened to signed 16 bit. A server fills whatever the stream
// does not deliver with zero bytes (pipewire-pulse does so when the stream runs dry, and when it
// is let go or flushed): in unsigned 8 bit a zero is full negative scale, a thump in the
// operator's ears; in signed 16 bit it is silence. Widening is what the server would do with
// unsigned 8 bit anyway, so the sound is the same sample for sample.
bool Widened(const WaveFormat& format) { return format.bitsPerSample == 8; }

pa_sample_spec SampleFormatOf(const WaveFormat& format) {
    pa_sample_spec sampleFormat{};
    sampleFormat.format = Widened(format) ? PA_SAMPLE_S16NE : PA_SAMPLE_S16LE;
    sampleFormat.rate = static_cast<uint32_t>(format.samplesPerSec);
    sampleFormat.channels = static_cast<uint8_t>(format.channels);
    return sampleFormat;
}

pa_cvolume VolumeOf(const WaveVolume& volume, int channels) {
    pa_cvolume cv{};
    cv.channels = static_cast<uint8_t>(channels);
    cv.values[0] = pa_sw_volume_from_linear(volume.left / 65535.0);
    if (channels > 1) cv.values[1] = pa_sw_volume_from_linear(volume.right / 65535.0);
    return cv;
}

}  // namespace

// Lock held.
void PulseWaveDevice::Impl::createStream() {
    const pa_sample_spec sampleFormat = SampleFormatOf(format);
    stream = pa_stream_new(client.context(), "Morse", &sampleFormat, nullptr);
    if (!stream) {
        failAll(pa_strerror(pa_context_errno(client.context())));
        return;
    }
    pa_stream_set_state_callback(stream, &Impl::StreamState, this);
    pa_stream_set_write_callback(stream, &Impl::StreamWrite, this);
    pa_stream_set_underflow_callback(stream, &Impl::StreamUnderflow, this);
    pa_stream_set_latency_update_callback(stream, &Impl::TimingUpdated, this);
    written = 0;
    runStartIndex = -1;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength =
        static_cast<uint32_t>(pa_usec_to_bytes(kTargetMs * PA_USEC_PER_MSEC, &sampleFormat));
    attr.minreq =
        static_cast<uint32_t>(pa_usec_to_bytes(kRequestMs * PA_USEC_PER_MSEC, &sampleFormat));
    // One frame of prebuffer: playback starts with the first write and starts again at once
    // after the stream ran dry between two letters.
    attr.prebuf = static_cast<uint32_t>(pa_frame_size(&sampleFormat));
    attr.fragsize = static_cast<uint32_t>(-1);
    const pa_cvolume cv = VolumeOf(volume, format.channels);
    triggered = false;
    tailPadded = true;
    // Timing updates let queuedSoundUs() say when what was written will sound.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, volumeSet ? &cv : nullptr,
                                   nullptr) < 0)
        failAll(pa_strerror(pa_context_errno(client.context())));
}

// Lock held.
void PulseWaveDevice::Impl::releaseStream() {
    if (!stream) return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
    if (pa_stream_get_state(stream) == PA_STREAM_READY ||
        pa_stream_get_state(stream) == PA_STREAM_CREATING)
        pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

// Lock held; libpulse thread or GUI thread. Writes `bytes` of the device's format into the
// stream, widened to 16 bit for an 8-bit format, straight into the server's memory block; the
// caller's bytes are no longer needed once this returns.
bool PulseWaveDevice::Impl::handOver(const uint8_t* data, size_t bytes) {
    beforeWriting();
    if (!Widened(format)) {
        if (pa_stream_write(stream, data, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return false;
        countWritten(bytes);
        return true;
    }
    while (bytes > 0) {
        void* block = nullptr;
        size_t blockBytes = bytes * sizeof(int16_t);
        if (pa_stream_begin_write(stream, &block, &blockBytes) < 0 || block == nullptr)
            return false;
        const size_t count = std::min(bytes, blockBytes / sizeof(int16_t));
        if (count == 0) {
            pa_stream_cancel_write(stream);
            return false;
        }
        auto* samples = static_cast<int16_t*>(block);
        for (size_t i = 0; i < count; ++i)
            samples[i] = static_cast<int16_t>((static_cast<int>(data[i]) - 128) * 256);
        if (pa_stream_write(stream, block, count * sizeof(int16_t), nullptr, 0, PA_SEEK_RELATIVE) <
            0)
            return false;
        countWritten(count * sizeof(int16_t));
        data += count;
        bytes -= count;
    }
    return true;
}

// Lock held; before anything is written. pipewire-pulse keeps back the part of a graph period
// of silence that is left behind a run, and plays it in front of the next run, which then
// starts later than the server's timing says. Long after the last run has sounded (by
// everything the reports told, with a margin for them), only that silence is left: it goes.
void PulseWaveDevice::Impl::beforeWriting() {
    constexpr int64_t kLongSilentUs = 100000;
    if (runStartIndex < 0 || runStartUs < 0) return;
    if (PulseClient::NowUs() < runSoundEndUs() + kLongSilentUs) return;
    runStartIndex = -1;
    if (pa_operation* op = pa_stream_flush(stream, nullptr, nullptr)) pa_operation_unref(op);
}

// Lock held. Bytes written into the stream; the first after the stream ran dry begin a run.
void PulseWaveDevice::Impl::countWritten(size_t streamBytes) {
    const int64_t now = PulseClient::NowUs();
    if (runStartIndex < 0 || (runStartUs >= 0 && now >= runSoundEndUs())) {
        runStartIndex = written;
        runStartUs = -1;
    }
    written += static_cast<int64_t>(streamBytes);
    // Fresh reports while a run is young and then now and then: each may improve the estimate.
    if (now - lastTimingAskedUs >= 20000) {
        lastTimingAskedUs = now;
        if (pa_operation* op = pa_stream_update_timing_info(stream, nullptr, nullptr))
            pa_operation_unref(op);
    }
}

// Lock held; a run with a known start. When everything written so far has sounded.
int64_t PulseWaveDevice::Impl::runSoundEndUs() const {
    const uint64_t runBytes = static_cast<uint64_t>(written - runStartIndex);
    return runStartUs +
           static_cast<int64_t>(pa_bytes_to_usec(runBytes, pa_stream_get_sample_spec(stream)));
}

// Lock held; libpulse thread or GUI thread. Writes `streamBytes` of silence (zero bytes in
// the stream's format).
bool PulseWaveDevice::Impl::writeSilence(size_t streamBytes) {
    while (streamBytes > 0) {
        void* block = nullptr;
        size_t blockBytes = streamBytes;
        if (pa_stream_begin_write(stream, &block, &blockBytes) < 0 || block == nullptr ||
            blockBytes == 0)
            return false;
        blockBytes = std::min(blockBytes, streamBytes);
        std::memset(block, 0, blockBytes);
        if (pa_stream_write(stream, block, blockBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return false;
        countWritten(blockBytes);
        streamBytes -= blockBytes;
    }
    return true;
}

// Lock held; libpulse thread or GUI thread; called when the server asked for more and nothing
// was there to hand over.
// pipewire-pulse plays a stream one graph period at a time. When a stream runs dry it keeps
// back the last bytes that do not fill a whole period and plays them only in front of whatever
// is written next: the end of a tone would go missing and sound later, as a click before the
// next tone. So once the server holds less than a period, two periods of silence go behind the
// last bytes and they play out on time. Not earlier: a letter that comes in time follows the
// last one without a gap.
void PulseWaveDevice::Impl::padTail() {
    if (tailPadded) return;
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    const size_t writable = pa_stream_writable_size(stream);
    if (!attr || writable == static_cast<size_t>(-1) || writable >= attr->tlength) return;
    // The server's period is at most what it took off the asked target length for its own
    // latency (both servers do so for a stream that adjusts its latency), and at least the
    // minimum request.
    const pa_sample_spec* sampleFormat = pa_stream_get_sample_spec(stream);
    const size_t asked = pa_usec_to_bytes(kTargetMs * PA_USEC_PER_MSEC, sampleFormat);
    const size_t frame = pa_frame_size(sampleFormat);
    const size_t period =
        std::max<size_t>(attr->minreq, asked > attr->tlength ? asked - attr->tlength : 0) + frame;
    if (attr->tlength - writable >= period) return;
    tailPadded = true;
    if (!writeSilence(std::min(2 * period / frame * frame, writable)))
        failAll(pa_strerror(pa_context_errno(client.context())));
}

// Lock held; libpulse thread or GUI thread. Hands over as much as the server asks for and
// queues a Done for every write whose last byte went.
void PulseWaveDevice::Impl::feed() {
    if (!stream || pa_stream_get_state(stream) != PA_STREAM_READY) return;
    bool handedOver = false;
    const size_t writableStream = pa_stream_writable_size(stream);
    if (writableStream == static_cast<size_t>(-1)) return;
    // In bytes of the device's format, whole frames.
    const size_t frameBytes = static_cast<size_t>(std::max(format.blockAlign(), 1));
    size_t writable = (Widened(format) ? writableStream / sizeof(int16_t) : writableStream) /
                      frameBytes * frameBytes;
    while (pendingCount > 0 && !blocked) {
        Pending& head = front();
        const int left = head.size - head.offset;
        if (left > 0) {
            if (writable == 0) break;
            const size_t n = std::min(writable, static_cast<size_t>(left));
            if (!handOver(head.data + head.offset, n)) {
                failAll(pa_strerror(pa_context_errno(client.context())));
                return;
            }
            if (!triggered) {
                if (pa_operation* op = pa_stream_trigger(stream, nullptr, nullptr))
                    pa_operation_unref(op);
                triggered = true;
            }
            head.offset += static_cast<int>(n);
            writable -= n;
            tailPadded = false;
            handedOver = true;
            lastProgressUs = PulseClient::NowUs();
            if (head.offset < head.size) return;
        }
        post({Notice::Kind::Done, head.ticket, false});
        if (head.barrier) blocked = true;
        popFront();
    }
    // Only when this call handed nothing over: the next letter usually follows within a
    // millisecond and must not find silence in front of it.
    if ((pendingCount == 0 || blocked) && !handedOver) padTail();
}

// Lock held; libpulse thread or GUI thread.
void PulseWaveDevice::Impl::failAll(const char* reason) {
    failed = true;
    std::snprintf(error, sizeof error, "%s", reason);
    while (pendingCount > 0) {
        post({Notice::Kind::Done, front().ticket, true});
        popFront();
    }
    clearPending();
    releaseStream();
}

// Lock held.
void PulseWaveDevice::Impl::armWatchdog() {
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, kWatchdogMs * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = client.api();
    if (watchdog)
        api->time_restart(watchdog, &when);
    else
        watchdog = api->time_new(api, &when, &Impl::WatchdogTick, this);
}

// libpulse thread.
void PulseWaveDevice::Impl::WatchdogTick(pa_mainloop_api*, pa_time_event*, const timeval*,
                                         void* self) {
    auto* d = static_cast<Impl*>(self);
    if (d->pendingCount == 0 || d->blocked) return;  // nothing waits; armed again by write()
    if (PulseClient::NowUs() - d->lastProgressUs > kStallMs * 1000LL) {
        d->failAll("소리 서버가 응답하지 않습니다");
        d->client.disconnect();  // a fresh connection is tried at the next open
        return;
    }
    d->armWatchdog();
}

// libpulse thread.
void PulseWaveDevice::Impl::StreamState(pa_stream* stream, void* self) {
    auto* d = static_cast<Impl*>(self);
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            // On PipeWire a new stream starts at the volume the session manager remembers for
            // the program (full at first), whatever it asked for at connect: the program's own
            // volume is set again.
            if (d->volumeSet) d->applyVolume();
            if (d->wantOpen && !d->openedPosted) {
                d->openedPosted = true;
                d->post({Notice::Kind::Opened, 0, false});
            }
            d->lastProgressUs = PulseClient::NowUs();
            d->feed();
            break;
        case PA_STREAM_FAILED:
            d->failAll(pa_strerror(pa_context_errno(d->client.context())));
            break;
        default:
            break;
    }
}

// libpulse thread.
void PulseWaveDevice::Impl::StreamWrite(pa_stream*, size_t, void* self) {
    static_cast<Impl*>(self)->feed();
}

// libpulse thread.
void PulseWaveDevice::Impl::StreamUnderflow(pa_stream*, void* self) {
    auto* d = static_cast<Impl*>(self);
    d->underflows.fetch_add(1, std::memory_order_relaxed);
    // Whatever comes next starts afresh; a run whose sound is known ends by the clock.
    if (d->runStartUs < 0) d->runStartIndex = -1;
}

// libpulse thread: a fresh timing report. The run's first byte sounds no earlier than it says.
void PulseWaveDevice::Impl::TimingUpdated(pa_stream* stream, void* self) {
    auto* d = static_cast<Impl*>(self);
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    pa_usec_t latency = 0;
    int negative = 0;
    // Only once the server has begun to read the run: before, a report is a forecast, which on
    // a new stream can be a few milliseconds early and would move the key within the send.
    if (d->runStartIndex < 0 || !timing || !timing->playing || timing->read_index_corrupt ||
        timing->read_index <= d->runStartIndex ||
        pa_stream_get_latency(stream, &latency, &negative) != 0 || negative)
        return;
    const int64_t runBytesUs = static_cast<int64_t>(pa_bytes_to_usec(
        static_cast<uint64_t>(d->written - d->runStartIndex), pa_stream_get_sample_spec(stream)));
    const int64_t startUs = PulseClient::NowUs() + static_cast<int64_t>(latency) - runBytesUs;
    d->runStartUs = std::max(d->runStartUs, startUs);
}

// libpulse thread.
void PulseWaveDevice::Impl::DrainDone(pa_stream*, int, void* self) {
    auto* d = static_cast<Impl*>(self);
    d->drained.store(true, std::memory_order_release);
    d->wake();
}

PulseWaveDevice::PulseWaveDevice(const QString& clientName, QObject* parent)
    : WaveDevice(parent), m_impl(std::make_unique<Impl>(clientName.toStdString())) {
    Impl& d = *m_impl;
    d.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    auto* notifier = new QSocketNotifier(d.wakeFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { takeNotices(); });
    auto* idle = new QTimer(this);
    idle->setObjectName(QStringLiteral("idleDisconnect"));
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, this, [this] { disconnectWhenIdle(); });

    PulseClient::Lock lock(d.client);
    // libpulse thread: the context came up while a use was waiting for it.
    d.client.onReady = [&d] {
        if (d.wantOpen && !d.stream && !d.failed) d.createStream();
    };
    // libpulse thread: the server went away.
    d.client.onFailed = [&d](const char* reason) { d.failAll(reason); };
    d.client.connect();
}

PulseWaveDevice::~PulseWaveDevice() {
    Impl& d = *m_impl;
    {
        PulseClient::Lock lock(d.client);
        d.wantOpen = false;
        d.clearPending();
        if (d.stream && pa_stream_get_state(d.stream) == PA_STREAM_READY) {
            if (pa_operation* op = pa_stream_flush(d.stream, nullptr, nullptr))
                pa_operation_unref(op);
        }
        d.releaseStream();
        if (d.watchdog) d.client.api()->time_free(d.watchdog);
        d.watchdog = nullptr;
        d.client.onReady = nullptr;
        d.client.onFailed = nullptr;
        d.client.disconnect();
    }
    const int fd = d.wakeFd;
    m_impl.reset();  // stops the libpulse thread
    qDeleteAll(findChildren<QSocketNotifier*>());
    ::close(fd);
}

// GUI thread: picks up the notices the libpulse thread queued, in order.
void PulseWaveDevice::takeNotices() {
    Impl& d = *m_impl;
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(d.wakeFd, &count, sizeof count);
    QPointer<PulseWaveDevice> alive(this);
    for (;;) {
        const size_t head = d.noticeHead.load(std::memory_order_relaxed);
        if (head == d.noticeTail.load(std::memory_order_acquire)) break;
        const Notice notice = d.notices[head % kNoticeCapacity];
        d.noticeHead.store(head + 1, std::memory_order_release);
        deliver(notice);
        if (!alive) return;
    }
}

void PulseWaveDevice::open(const WaveFormat& format) {
    Impl& d = *m_impl;
    if (auto* idle = findChild<QTimer*>(QStringLiteral("idleDisconnect"))) idle->stop();
    PulseClient::Lock lock(d.client);
    d.wantOpen = true;
    d.openedPosted = false;
    d.blocked = false;
    d.failed = false;
    d.error[0] = '\0';
    if (d.stream && (!(d.format == format) || pa_stream_get_state(d.stream) != PA_STREAM_READY))
        d.releaseStream();
    d.format = format;
    d.client.dropIfFailed();
    d.client.connect();
    if (d.client.failed()) {
        d.failed = true;
        std::snprintf(d.error, sizeof d.error, "%s", d.client.error().c_str());
        return;
    }
    if (d.client.ready() && !d.stream) {
        d.createStream();
    } else if (d.stream && pa_stream_get_state(d.stream) == PA_STREAM_READY) {
        // The stream of the previous use is still running: continue it.
        d.openedPosted = true;
        d.post({Notice::Kind::Opened, 0, false});
    }
}

void PulseWaveDevice::write(uint64_t ticket, const uint8_t* data, int size, bool barrier) {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    if (d.failed || !d.wantOpen || d.pendingCount == kPendingCapacity) {
        d.post({Notice::Kind::Done, ticket, true});
        return;
    }
    if (d.pendingCount == 0) d.lastProgressUs = PulseClient::NowUs();
    d.pending[(d.pendingHead + d.pendingCount) % kPendingCapacity] = {
        ticket, data, std::max(size, 0), 0, barrier};
    ++d.pendingCount;
    d.armWatchdog();
    d.feed();
}

void PulseWaveDevice::reset() {
    PulseClient::Lock lock(m_impl->client);
    m_impl->clearPending();
}

void PulseWaveDevice::close() {
    Impl& d = *m_impl;
    {
        PulseClient::Lock lock(d.client);
        d.clearPending();
        d.wantOpen = false;
        d.post({Notice::Kind::Closed, 0, false});
    }
    // The stream stays a little: the next letter usually follows at once and continues it.
    if (auto* idle = findChild<QTimer*>(QStringLiteral("idleDisconnect")))
        idle->start(kIdleDisconnectMs);
}

void PulseWaveDevice::disconnectWhenIdle() {
    PulseClient::Lock lock(m_impl->client);
    if (!m_impl->wantOpen) m_impl->releaseStream();
}

bool PulseWaveDevice::drain(int timeoutMs) {
    Impl& d = *m_impl;
    {
        PulseClient::Lock lock(d.client);
        if (!d.stream || pa_stream_get_state(d.stream) != PA_STREAM_READY) return true;
        d.drained.store(false);
        pa_operation* op = pa_stream_drain(d.stream, &Impl::DrainDone, &d);
        if (!op) return false;
        pa_operation_unref(op);
    }
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(std::max(timeoutMs, 0));
    QPointer<PulseWaveDevice> alive(this);
    while (alive && !d.drained.load(std::memory_order_acquire) && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return alive && d.drained.load(std::memory_order_acquire);
}

int PulseWaveDevice::outputCount() {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    d.client.dropIfFailed();
    if (!d.client.waitReady(1000)) return 0;
    int count = 0;
    pa_operation* op = pa_context_get_sink_info_list(
        d.client.context(),
        [](pa_context*, const pa_sink_info*, int eol, void* counter) {  // libpulse thread
            if (!eol) ++*static_cast<int*>(counter);
        },
        &count);
    if (!d.client.waitOperation(op, 1000)) return 0;
    return count;
}

bool PulseWaveDevice::hasVolume() {
    PulseClient::Lock lock(m_impl->client);
    m_impl->client.dropIfFailed();
    return m_impl->client.waitReady(1000);
}

WaveVolume PulseWaveDevice::volume() {
    PulseClient::Lock lock(m_impl->client);
    return m_impl->volume;
}

// Lock held; libpulse thread or GUI thread.
void PulseWaveDevice::Impl::applyVolume() {
    const pa_cvolume cv = VolumeOf(volume, format.channels);
    if (pa_operation* op = pa_context_set_sink_input_volume(
            client.context(), pa_stream_get_index(stream), &cv, nullptr, nullptr))
        pa_operation_unref(op);
}

void PulseWaveDevice::setVolume(WaveVolume volume) {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    d.volume = volume;
    d.volumeSet = true;
    if (!d.stream || pa_stream_get_state(d.stream) != PA_STREAM_READY)
        return;  // applied at connect
    d.applyVolume();
}

QString PulseWaveDevice::lastError() const {
    PulseClient::Lock lock(m_impl->client);
    return QString::fromUtf8(m_impl->error);
}

int PulseWaveDevice::underflowCount() const {
    return m_impl->underflows.load(std::memory_order_relaxed);
}

int64_t PulseWaveDevice::queuedSoundUs() {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    // Before a stream exists (the first letter after a pause), the sink's latency of the last
    // stream is the best guess of how long a first letter takes to sound.
    if (!d.stream || pa_stream_get_state(d.stream) != PA_STREAM_READY) return d.lastSinkUs;
    if (const pa_timing_info* timing = pa_stream_get_timing_info(d.stream))
        d.lastSinkUs = static_cast<int64_t>(timing->sink_usec);
    size_t pendingBytes = 0;
    for (size_t i = 0; i < d.pendingCount; ++i) {
        const Impl::Pending& p = d.pending[(d.pendingHead + i) % kPendingCapacity];
        pendingBytes += static_cast<size_t>(p.size - p.offset);
    }
    // Not yet handed over: bytes of the device's format (the stream carries them widened).
    const int64_t pendingUs =
        static_cast<int64_t>(pendingBytes) * 1000000 / std::max(d.format.avgBytesPerSec(), 1);
    const int64_t now = PulseClient::NowUs();
    if (d.runStartIndex >= 0 && d.runStartUs >= 0 && d.runSoundEndUs() > now)
        return d.runSoundEndUs() - now + pendingUs;
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(d.stream, &latency, &negative) != 0) return d.lastSinkUs;
    return static_cast<int64_t>(negative ? 0 : latency) + pendingUs;
}

int PulseWaveDevice::streamIndex() const {
    PulseClient::Lock lock(m_impl->client);
    if (!m_impl->stream || pa_stream_get_state(m_impl->stream) != PA_STREAM_READY) return -1;
    return static_cast<int>(pa_stream_get_index(m_impl->stream));
}

}  // namespace cwt
