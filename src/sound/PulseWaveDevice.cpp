#include "sound/PulseWaveDevice.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "sound/PulseClient.h"

namespace cwt {

namespace {

// What the server holds of the stream [ms], its own latency included: small enough that a
// letter starts at once. (Most of the time the GUI thread has to queue the next letter comes
// from the kept tail below.)
constexpr int kTargetMs = 50;
// The server asks for more once this much has been played [ms].
constexpr int kRequestMs = 10;
// Data waiting this long without the server taking any means the server no longer answers.
constexpr int kStallMs = 2000;
constexpr int kWatchdogMs = 250;
constexpr size_t kPendingCapacity = 64;
// Once no more than this is left of a write to hand over [ms], the device copies the rest and
// tells the write done: the GUI thread gets that much longer to queue the next letter before
// the stream would run dry between the two (the server itself holds only some 15 ms more).
constexpr int kKeptTailMs = 40;
// The kept rest of a write in the largest format (48 kHz, two channels, 16 bit).
constexpr size_t kKeptTailCapacity = 48000 * 2 * 2 * kKeptTailMs / 1000;
constexpr size_t kNoticeCapacity = 256;
// While the start of a run is not known, the server is asked for its timing this often [µs].
constexpr int64_t kTimingPollUs = 2000;
// A run's start is fixed once the server's timing reports agree on it. Only reports that tell
// something new count: the server had read more, or its sink's latency changed, since the
// report before. Two in a row this close fix it [µs] (PulseAudio tells the sink's latency to
// the microsecond, so its reports agree at once).
constexpr int64_t kReportsAgreeUs = 500;
// pipewire-pulse reads the stream once a graph period and tells a fixed latency, so that a
// report made later in a period puts the start later, by up to a period: the earliest of the
// last few reports counts once they lie within this of each other [µs]. On a new stream it
// reads ahead once and then waits some periods, which puts the first reports far apart.
constexpr int64_t kReportsNearUs = 3000;
constexpr size_t kNearReports = 4;
// Without reports that agree, this many fix it at the earliest of the last few.
constexpr int kMostReports = 12;

}  // namespace

struct PulseWaveDevice::Impl {
    explicit Impl(const std::string& name) : client(name) {}

    // What the GUI thread takes from the libpulse thread: a notice for the wave component, or
    // the answer to askSoundTime().
    struct Queued {
        Notice notice;
        uint64_t soundTimeId = 0;  // non-zero: an answer, not a notice
        int64_t timeUs = -1;
    };

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
        uint64_t soundTimeId;  // askSoundTime() wants to know when its first byte sounds
        bool kept = false;     // the rest of a write told done: `data` is keptTail
    };
    std::array<Pending, kPendingCapacity> pending{};
    std::array<uint8_t, kKeptTailCapacity> keptTail{};
    size_t pendingHead = 0;
    size_t pendingCount = 0;
    int64_t lastProgressUs = 0;
    pa_time_event* watchdog = nullptr;

    // Notices for the GUI thread. Produced with the loop lock held (so by one producer at a
    // time), consumed by the GUI thread without it.
    std::array<Queued, kNoticeCapacity> notices{};
    std::atomic<size_t> noticeHead{0};
    std::atomic<size_t> noticeTail{0};
    int wakeFd = -1;

    std::atomic<int> underflows{0};
    std::atomic<bool> drained{false};

    // When the stream's sound plays, for askSoundTime(). A run is what plays without the stream
    // running dry in between: its byte k sounds at runStartUs + k / byte rate, one straight line
    // that a transmitter keyed alongside follows sample for sample. The line is fixed once the
    // server's timing reports agree on it and is not moved after: the latency interpolated
    // between later reports wanders by milliseconds (on PipeWire the stream is played in whole
    // graph periods), while the sound does not.
    int64_t written = 0;         // stream bytes written since the stream was created
    int64_t runStartIndex = -1;  // `written` at the run's first byte; -1: no run
    int64_t runStartUs = -1;     // when that byte sounds [CLOCK_MONOTONIC µs]; -1: not known yet
    std::array<int64_t, kNearReports> runReportUs{};  // the last reports' starts of the run
    int runReports = 0;                               // reports on this run that told something new
    int64_t runReportRead = -1;                       // the server's read index in the last of them
    int64_t runReportSinkUs = -1;                     // and its sink's latency
    int64_t lastRunEndUs = -1;  // when the last run's sound ended, as well as the reports told
    bool leadingIn = false;     // the run began with silence, and the write after it waits
    bool ledIn = false;         // that write may go now, whether the server asks for it or not
    int64_t lastTimingAskedUs = 0;
    bool timingAsked = false;  // a timing request is on its way
    pa_time_event* timingPoll = nullptr;
    int leadMs = 0;  // silence in front of every run

    // askSoundTime(): the id the next write takes, and the asked writes whose first byte has
    // been handed over, with where it went, until the start of its run is known.
    uint64_t lastSoundTimeId = 0;
    uint64_t soundTimeAsked = 0;
    struct Watched {
        uint64_t id;
        int64_t index;  // `written` at its first byte
    };
    std::array<Watched, kPendingCapacity> watched{};
    size_t watchedCount = 0;

    // Any thread holding the lock. No allocation: the libpulse thread calls it.
    void post(const Notice& notice) { queue({notice, 0, -1}); }
    void postSoundTime(uint64_t id, int64_t timeUs) {
        if (id != 0) queue({{}, id, timeUs});
    }
    void queue(const Queued& queued) {
        const size_t tail = noticeTail.load(std::memory_order_relaxed);
        if (tail - noticeHead.load(std::memory_order_acquire) < kNoticeCapacity) {
            notices[tail % kNoticeCapacity] = queued;
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
    bool holdsKeptTail() const { return pendingCount > 0 && pending[pendingHead].kept; }
    // Forgets every write not told done. The kept rest of one that was told done plays out, as
    // what the server holds does.
    void clearPending() {
        const size_t keep = holdsKeptTail() ? 1 : 0;
        // A write that is forgotten never sounds.
        for (size_t i = keep; i < pendingCount; ++i) {
            Pending& p = pending[(pendingHead + i) % kPendingCapacity];
            if (p.offset == 0) postSoundTime(p.soundTimeId, -1);
        }
        if (keep) pending[0] = front();
        pendingHead = 0;
        pendingCount = keep;
        blocked = false;
    }

    void createStream();
    void releaseStream();
    bool startsRun(int64_t nowUs) const;
    void startRun();
    void endRun();
    bool leadIn();
    void watchFirstByte(Pending& write);
    void answerWatched();
    void pollTiming();
    void askTiming();
    void countWritten(size_t streamBytes, bool mayStartRun);
    int64_t runSoundEndUs() const;
    int64_t runEndEstimateUs() const;
    int64_t latestReportUs() const;
    bool takeReport(int64_t startUs);
    int64_t soundUs(int64_t index) const;
    void applyVolume();
    void feed();
    void keepTail(Pending& head);
    size_t writableBytes() const;
    bool handOver(const uint8_t* data, size_t bytes);
    bool writeSilence(size_t streamBytes, bool mayStartRun);
    void padTail();
    void failAll(const char* reason);
    void armWatchdog();

    static void StreamState(pa_stream* stream, void* self);
    static void StreamWrite(pa_stream* stream, size_t bytes, void* self);
    static void StreamUnderflow(pa_stream* stream, void* self);
    static void TimingUpdated(pa_stream* stream, void* self);
    static void TimingAnswered(pa_stream* stream, int success, void* self);
    static void TimingPollTick(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                               void* self);
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
    endRun();
    lastRunEndUs = -1;  // nothing of it is left in the new stream
    written = 0;
    timingAsked = false;  // an answer for the stream before never comes
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
    // Timing updates tell when what was written will sound (askSoundTime()).
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, volumeSet ? &cv : nullptr,
                                   nullptr) < 0)
        failAll(pa_strerror(pa_context_errno(client.context())));
}

// Lock held.
void PulseWaveDevice::Impl::releaseStream() {
    if (holdsKeptTail()) popFront();  // its sound goes with the stream
    if (!stream) return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
    endRun();
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
    if (!Widened(format)) {
        if (pa_stream_write(stream, data, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return false;
        countWritten(bytes, true);
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
        countWritten(count * sizeof(int16_t), true);
        data += count;
        bytes -= count;
    }
    return true;
}

// Lock held. The run's start by the last report that told something new; -1 before the first.
int64_t PulseWaveDevice::Impl::latestReportUs() const {
    return runReports > 0 ? runReportUs[static_cast<size_t>(runReports - 1) % kNearReports] : -1;
}

// Lock held. A report that tells something new puts the run's start at `startUs`; true when
// that fixes the start.
bool PulseWaveDevice::Impl::takeReport(int64_t startUs) {
    const int64_t lastUs = latestReportUs();
    runReportUs[static_cast<size_t>(runReports) % kNearReports] = startUs;
    ++runReports;
    if (lastUs >= 0 && std::llabs(startUs - lastUs) <= kReportsAgreeUs) {
        runStartUs = std::min(startUs, lastUs);
        return true;
    }
    if (runReports < static_cast<int>(kNearReports)) return false;
    const auto [earliest, latest] = std::minmax_element(runReportUs.begin(), runReportUs.end());
    if (*latest - *earliest > kReportsNearUs && runReports < kMostReports) return false;
    runStartUs = *earliest;
    return true;
}

// Lock held; a run. When everything written so far sounds, as well as the reports tell; -1
// before the first.
int64_t PulseWaveDevice::Impl::runEndEstimateUs() const {
    if (runStartUs >= 0) return runSoundEndUs();
    const int64_t reportUs = latestReportUs();
    return reportUs >= 0 ? reportUs + soundUs(written - runStartIndex) : -1;
}

// Lock held. Whether bytes written now start a run: the stream ran dry, or is about to, so that
// they would not follow the sound before them sample for sample.
bool PulseWaveDevice::Impl::startsRun(int64_t nowUs) const {
    // Bytes that come this close to the end of what sounds may reach the server after it ran
    // dry. (A sending GUI thread queues the next letter tens of milliseconds before that.)
    constexpr int64_t kTooLateUs = 5000;
    return runStartIndex < 0 || (runStartUs >= 0 && nowUs + kTooLateUs >= runSoundEndUs());
}

// Lock held.
void PulseWaveDevice::Impl::startRun() {
    endRun();
    runStartIndex = written;
    pollTiming();
}

// Lock held. The run is over (or the stream went); an asked write in it whose start never
// became certain gets the best the reports told, or -1 when none came.
void PulseWaveDevice::Impl::endRun() {
    if (runStartIndex >= 0) lastRunEndUs = runEndEstimateUs();
    const int64_t reportUs = latestReportUs();
    for (size_t i = 0; i < watchedCount; ++i)
        postSoundTime(watched[i].id,
                      runStartIndex >= 0 && reportUs >= 0 && watched[i].index >= runStartIndex
                          ? reportUs + soundUs(watched[i].index - runStartIndex)
                          : -1);
    watchedCount = 0;
    runStartIndex = -1;
    runStartUs = -1;
    runReports = 0;
    runReportRead = -1;
    runReportSinkUs = -1;
    leadingIn = false;
    ledIn = false;
}

// Lock held; a write's first byte is about to go. With a lead asked for, a run that starts after
// a pause starts with that much silence, and the write waits until the server's timing has told
// when the run starts; meanwhile the server is kept playing silence. False while the write
// waits.
bool PulseWaveDevice::Impl::leadIn() {
    // A letter that comes only just too late to follow the sound before it (the machine held
    // the program up) goes at once: silence in front of it would lengthen the gap that is heard.
    // Its start is known from the reports a little after it has begun.
    constexpr int64_t kPauseUs = 100000;
    if (leadMs <= 0) return true;
    const pa_sample_spec* sampleFormat = pa_stream_get_sample_spec(stream);
    const size_t frame = pa_frame_size(sampleFormat);
    const size_t leadBytes =
        pa_usec_to_bytes(static_cast<pa_usec_t>(leadMs) * PA_USEC_PER_MSEC, sampleFormat) / frame *
        frame;
    const int64_t nowUs = PulseClient::NowUs();
    if (startsRun(nowUs)) {
        const int64_t endUs = runStartIndex >= 0 ? runEndEstimateUs() : lastRunEndUs;
        if (endUs >= 0 && nowUs < endUs + kPauseUs) return true;
        if (!writeSilence(leadBytes, true)) {
            failAll(pa_strerror(pa_context_errno(client.context())));
            return false;
        }
        leadingIn = true;
    }
    if (!leadingIn) return true;
    if (runStartUs >= 0) {
        leadingIn = false;
        ledIn = true;
        return true;
    }
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    const size_t writable = pa_stream_writable_size(stream);
    if (!attr || writable == static_cast<size_t>(-1)) return false;
    const size_t held = writable < attr->tlength ? attr->tlength - writable : 0;
    if (held < leadBytes &&
        !writeSilence(std::min((leadBytes - held) / frame * frame, writable / frame * frame), true))
        failAll(pa_strerror(pa_context_errno(client.context())));
    return false;
}

// Lock held; `write`'s first byte goes next.
void PulseWaveDevice::Impl::watchFirstByte(Pending& write) {
    if (write.soundTimeId == 0) return;
    if (watchedCount < watched.size()) watched[watchedCount++] = {write.soundTimeId, written};
    write.soundTimeId = 0;
    answerWatched();
}

// Lock held. Answers every asked write whose run's start is known.
void PulseWaveDevice::Impl::answerWatched() {
    if (runStartIndex < 0 || runStartUs < 0) return;
    for (size_t i = 0; i < watchedCount; ++i)
        postSoundTime(watched[i].id, runStartUs + soundUs(watched[i].index - runStartIndex));
    watchedCount = 0;
}

// Lock held. Asks for the server's timing now and then while the start of the run is not known.
void PulseWaveDevice::Impl::pollTiming() {
    askTiming();
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, kTimingPollUs);
    pa_mainloop_api* api = client.api();
    if (timingPoll)
        api->time_restart(timingPoll, &when);
    else
        timingPoll = api->time_new(api, &when, &Impl::TimingPollTick, this);
}

// Lock held.
void PulseWaveDevice::Impl::askTiming() {
    if (!stream || timingAsked) return;
    lastTimingAskedUs = PulseClient::NowUs();
    if (pa_operation* op = pa_stream_update_timing_info(stream, &Impl::TimingAnswered, this)) {
        timingAsked = true;
        pa_operation_unref(op);
    }
}

// Lock held. Bytes written into the stream; the first after the stream ran dry begin a run,
// unless they are only the silence behind the last run.
void PulseWaveDevice::Impl::countWritten(size_t streamBytes, bool mayStartRun) {
    if (mayStartRun && startsRun(PulseClient::NowUs())) startRun();
    written += static_cast<int64_t>(streamBytes);
    // Fresh reports now and then: they tell whether the stream keeps to its line.
    if (PulseClient::NowUs() - lastTimingAskedUs >= 20000) askTiming();
}

// Lock held; a run with a known start. When everything written so far has sounded.
int64_t PulseWaveDevice::Impl::runSoundEndUs() const {
    return runStartUs + soundUs(written - runStartIndex);
}

// Lock held. Microseconds that `streamBytes` of the stream sound.
int64_t PulseWaveDevice::Impl::soundUs(int64_t streamBytes) const {
    return static_cast<int64_t>(
        pa_bytes_to_usec(static_cast<uint64_t>(std::max<int64_t>(streamBytes, 0)),
                         pa_stream_get_sample_spec(stream)));
}

// Lock held; libpulse thread or GUI thread. Writes `streamBytes` of silence (zero bytes in
// the stream's format).
bool PulseWaveDevice::Impl::writeSilence(size_t streamBytes, bool mayStartRun) {
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
        countWritten(blockBytes, mayStartRun);
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
    if (!writeSilence(std::min(2 * period / frame * frame, writable), false))
        failAll(pa_strerror(pa_context_errno(client.context())));
}

// Lock held. What the server asks for, in bytes of the device's format, whole frames.
size_t PulseWaveDevice::Impl::writableBytes() const {
    const size_t writableStream = pa_stream_writable_size(stream);
    if (writableStream == static_cast<size_t>(-1)) return 0;
    const size_t frameBytes = static_cast<size_t>(std::max(format.blockAlign(), 1));
    return (Widened(format) ? writableStream / sizeof(int16_t) : writableStream) / frameBytes *
           frameBytes;
}

// Lock held; libpulse thread or GUI thread. Hands over as much as the server asks for and
// queues a Done for every write whose last byte went.
void PulseWaveDevice::Impl::feed() {
    if (!stream || pa_stream_get_state(stream) != PA_STREAM_READY) return;
    bool handedOver = false;
    if (pa_stream_writable_size(stream) == static_cast<size_t>(-1)) return;
    size_t writable = writableBytes();
    while (pendingCount > 0) {
        Pending& head = front();
        if (blocked && !head.kept) break;
        const int left = head.size - head.offset;
        if (!head.kept && head.offset == 0 && (left == 0 || writable > 0)) {
            if (left > 0) {
                const bool goes = leadIn();
                if (!stream) return;  // failed
                if (!goes) break;
                writable = writableBytes();
                // It goes at once, behind the silence the server holds: waiting for the server
                // to ask would leave it only the end of that silence to arrive in.
                if (std::exchange(ledIn, false))
                    writable = std::max(writable, static_cast<size_t>(left));
                // The run its first byte belongs to is settled before it is watched.
                if (startsRun(PulseClient::NowUs())) startRun();
            }
            watchFirstByte(head);
        }
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
            if (head.offset < head.size) {
                keepTail(head);
                return;
            }
        }
        if (!head.kept) {
            post({Notice::Kind::Done, head.ticket, false});
            if (head.barrier) blocked = true;
        }
        popFront();
    }
    // Only when this call handed nothing over and nothing is left to hand over: the next letter
    // usually follows within a millisecond and must not find silence in front of it.
    if ((pendingCount == 0 || (blocked && !holdsKeptTail())) && !handedOver) padTail();
}

// Lock held; the head has begun to go. Once its rest fits the kept tail, the rest is copied
// there and the write is told done; what comes after a barrier still waits until reset() or
// close(), and the rest goes on being handed over before it.
void PulseWaveDevice::Impl::keepTail(Pending& head) {
    if (head.kept) return;
    const size_t frame = static_cast<size_t>(std::max(format.blockAlign(), 1));
    const size_t keptBytes = std::min<size_t>(
        static_cast<size_t>(format.avgBytesPerSec()) * kKeptTailMs / 1000 / frame * frame,
        keptTail.size());
    const size_t left = static_cast<size_t>(head.size - head.offset);
    if (left > keptBytes) return;
    std::memcpy(keptTail.data(), head.data + head.offset, left);
    post({Notice::Kind::Done, head.ticket, false});
    if (head.barrier) blocked = true;
    head.data = keptTail.data();
    head.size = static_cast<int>(left);
    head.offset = 0;
    head.soundTimeId = 0;
    head.kept = true;
}

// Lock held; libpulse thread or GUI thread.
void PulseWaveDevice::Impl::failAll(const char* reason) {
    failed = true;
    std::snprintf(error, sizeof error, "%s", reason);
    while (pendingCount > 0) {
        if (!front().kept) post({Notice::Kind::Done, front().ticket, true});
        if (front().offset == 0) postSoundTime(front().soundTimeId, -1);
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
void PulseWaveDevice::Impl::StreamUnderflow(pa_stream* stream, void* self) {
    auto* d = static_cast<Impl*>(self);
    d->underflows.fetch_add(1, std::memory_order_relaxed);
    // Whatever comes next starts afresh. The notice may come late, after a run has begun that
    // follows the one that ran dry: the server tells where the stream ran dry. Without that, a
    // run whose sound is known ends by the clock.
    const int64_t dryAt = pa_stream_get_underflow_index(stream);
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (dryAt >= 0 && timing && !timing->write_index_corrupt) {
        if (d->runStartIndex >= 0 && dryAt > d->runStartIndex + (timing->write_index - d->written))
            d->endRun();
    } else if (d->runStartUs < 0) {
        d->endRun();
    }
}

// libpulse thread: a fresh timing report, which tells when the run's first byte sounds. The
// report says how far the server had read the stream, and how long the sink took to play what it
// had read, at the moment it was made; libpulse's own latency figure is not used, as its
// interpolation is held from going back in time and sticks at nothing after a flush. The
// server counts the stream's bytes from its own write index, which libpulse keeps up to date
// with every write.
void PulseWaveDevice::Impl::TimingUpdated(pa_stream* stream, void* self) {
    auto* d = static_cast<Impl*>(self);
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (!timing || timing->read_index_corrupt || timing->write_index_corrupt) return;
    timeval wallNow{};
    pa_gettimeofday(&wallNow);
    const int64_t madeUs =
        PulseClient::NowUs() - (static_cast<int64_t>(pa_timeval_load(&wallNow)) -
                                static_cast<int64_t>(pa_timeval_load(&timing->timestamp)));
    // Only once the server has begun to read the run: before, a report is a forecast.
    if (d->runStartIndex < 0 || d->runStartUs >= 0 || !timing->playing) return;
    const int64_t runStartRead = d->runStartIndex + (timing->write_index - d->written);
    const int64_t sinkUs = static_cast<int64_t>(timing->sink_usec);
    if (timing->read_index <= runStartRead ||
        (timing->read_index == d->runReportRead && sinkUs == d->runReportSinkUs))
        return;
    const int64_t startUs = madeUs + sinkUs - d->soundUs(timing->read_index - runStartRead);
    d->runReportRead = timing->read_index;
    d->runReportSinkUs = sinkUs;
    if (!d->takeReport(startUs)) return;
    d->answerWatched();
    d->feed();  // a write that waited for the start goes
}

// libpulse thread.
void PulseWaveDevice::Impl::TimingAnswered(pa_stream*, int, void* self) {
    static_cast<Impl*>(self)->timingAsked = false;
}

// libpulse thread.
void PulseWaveDevice::Impl::TimingPollTick(pa_mainloop_api*, pa_time_event*, const timeval*,
                                           void* self) {
    auto* d = static_cast<Impl*>(self);
    if (d->stream && d->runStartIndex >= 0 && d->runStartUs < 0) d->pollTiming();
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
        if (d.timingPoll) d.client.api()->time_free(d.timingPoll);
        d.timingPoll = nullptr;
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
        const Impl::Queued queued = d.notices[head % kNoticeCapacity];
        d.noticeHead.store(head + 1, std::memory_order_release);
        if (queued.soundTimeId != 0)
            emit soundTimeKnown(queued.soundTimeId, queued.timeUs);
        else
            deliver(queued.notice);
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
    const uint64_t soundTimeId = std::exchange(d.soundTimeAsked, 0);
    if (d.failed || !d.wantOpen || d.pendingCount == kPendingCapacity) {
        d.post({Notice::Kind::Done, ticket, true});
        d.postSoundTime(soundTimeId, -1);
        return;
    }
    if (d.pendingCount == 0) d.lastProgressUs = PulseClient::NowUs();
    d.pending[(d.pendingHead + d.pendingCount) % kPendingCapacity] = {
        ticket, data, std::max(size, 0), 0, barrier, soundTimeId};
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
    QElapsedTimer clock;
    clock.start();
    // The kept rest of the last write goes to the server as it asks, within some milliseconds;
    // the server drains what it holds.
    for (;;) {
        {
            PulseClient::Lock lock(d.client);
            if (!d.holdsKeptTail()) break;
        }
        if (clock.elapsed() >= timeoutMs) return false;
        QThread::msleep(1);
    }
    {
        PulseClient::Lock lock(d.client);
        if (!d.stream || pa_stream_get_state(d.stream) != PA_STREAM_READY) return true;
        d.drained.store(false);
        pa_operation* op = pa_stream_drain(d.stream, &Impl::DrainDone, &d);
        if (!op) return false;
        pa_operation_unref(op);
    }
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

uint64_t PulseWaveDevice::askSoundTime() {
    Impl& d = *m_impl;
    PulseClient::Lock lock(d.client);
    if (d.client.failed()) return 0;
    d.soundTimeAsked = ++d.lastSoundTimeId;
    return d.soundTimeAsked;
}

void PulseWaveDevice::setStartLeadMs(int leadMs) {
    PulseClient::Lock lock(m_impl->client);
    m_impl->leadMs = std::max(leadMs, 0);
}

int PulseWaveDevice::streamIndex() const {
    PulseClient::Lock lock(m_impl->client);
    if (!m_impl->stream || pa_stream_get_state(m_impl->stream) != PA_STREAM_READY) return -1;
    return static_cast<int>(pa_stream_get_index(m_impl->stream));
}

}  // namespace cwt
