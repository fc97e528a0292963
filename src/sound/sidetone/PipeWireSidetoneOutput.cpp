#include "sound/sidetone/PipeWireSidetoneOutput.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

namespace cwt {

namespace {

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void InitPipeWireOnce() {
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

}  // namespace

struct PipeWireSidetoneOutput::Connection {
    SidetoneEngine& engine;
    SidetoneOutput::Listener& listener;
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook coreListener{};
    spa_hook streamListener{};
    bool listening = false;
    // Data thread only: the graph's ticks at the last cycle, and that cycle's length in ticks.
    uint64_t lastTicks = 0;
    uint64_t lastCycleTicks = 0;

    ~Connection();
    void noteLostCycles(const pw_time& time, uint64_t frames, int64_t nowNs);
    bool connect(int quantumFrames, std::string& error);
    bool connectStream(int quantumFrames);

    static void CoreError(void* self, uint32_t id, int seq, int res, const char* message);
    static void StateChanged(void* self, pw_stream_state old, pw_stream_state state,
                             const char* error);
    static void Process(void* self);
};

namespace {

const pw_core_events kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = &PipeWireSidetoneOutput::Connection::CoreError;
    return events;
}();

const pw_stream_events kStreamEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = &PipeWireSidetoneOutput::Connection::StateChanged;
    events.process = &PipeWireSidetoneOutput::Connection::Process;
    return events;
}();

}  // namespace

// Owner thread. Everything the connection made goes, in reverse order; the loop thread is
// stopped before the context it runs goes.
PipeWireSidetoneOutput::Connection::~Connection() {
    if (loop) pw_thread_loop_lock(loop);
    if (stream) {
        if (listening) spa_hook_remove(&streamListener);
        pw_stream_disconnect(stream);
        pw_stream_destroy(stream);
    }
    if (core) {
        spa_hook_remove(&coreListener);
        pw_core_disconnect(core);
    }
    if (loop) {
        pw_thread_loop_unlock(loop);
        pw_thread_loop_stop(loop);
    }
    if (context) pw_context_destroy(context);
    if (loop) pw_thread_loop_destroy(loop);
}

bool PipeWireSidetoneOutput::Connection::connect(int quantumFrames, std::string& error) {
    loop = pw_thread_loop_new("cwt-sidetone", nullptr);
    if (!loop) {
        error = std::strerror(errno);
        return false;
    }
    // client-rt.conf: the stream's data thread becomes real-time (RTKit or, where allowed,
    // directly), as every PipeWire client that plays in short cycles needs.
    context = pw_context_new(pw_thread_loop_get_loop(loop),
                             pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    if (!context || pw_thread_loop_start(loop) < 0) {
        error = std::strerror(errno);
        return false;
    }
    pw_thread_loop_lock(loop);
    core = pw_context_connect(context, nullptr, 0);
    if (!core) {
        error = std::strerror(errno);
        pw_thread_loop_unlock(loop);
        return false;
    }
    pw_core_add_listener(core, &coreListener, &kCoreEvents, this);
    const bool started = connectStream(quantumFrames);
    if (!started) error = std::strerror(errno);
    pw_thread_loop_unlock(loop);
    return started;
}

// Loop locked.
bool PipeWireSidetoneOutput::Connection::connectStream(int quantumFrames) {
    char latency[32];
    std::snprintf(latency, sizeof latency, "%d/%d", quantumFrames, kRateHz);
    pw_properties* properties = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_NAME,
        "Sidetone", PW_KEY_APP_NAME, "CW Tamarik", PW_KEY_NODE_NAME, "cw-tamarik-sidetone",
        PW_KEY_NODE_LATENCY, latency, nullptr);
    stream = pw_stream_new(core, "CW Tamarik sidetone", properties);
    if (!stream) return false;
    pw_stream_add_listener(stream, &streamListener, &kStreamEvents, this);
    listening = true;
    uint8_t podBuffer[512];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(podBuffer, sizeof podBuffer);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_S16;
    info.rate = static_cast<uint32_t>(kRateHz);
    info.channels = 1;
    info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const auto flags = static_cast<pw_stream_flags>(
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    return pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) >= 0;
}

// Loop thread: the core's errors; one about the core itself with EPIPE means the server went.
void PipeWireSidetoneOutput::Connection::CoreError(void* self, uint32_t id, int, int res,
                                                   const char* message) {
    if (id != PW_ID_CORE) return;
    auto* me = static_cast<Connection*>(self);
    me->listener.outputFailed(res == -EPIPE ? spa_strerror(res) : message);
}

// Loop thread.
void PipeWireSidetoneOutput::Connection::StateChanged(void* self, pw_stream_state old,
                                                      pw_stream_state state, const char* error) {
    auto* me = static_cast<Connection*>(self);
    switch (state) {
        case PW_STREAM_STATE_STREAMING:
            me->listener.outputRunning();
            break;
        case PW_STREAM_STATE_ERROR:
            me->listener.outputFailed(error ? error : "stream error");
            break;
        case PW_STREAM_STATE_UNCONNECTED:
            // Only the server disconnects it: the owner removes this listener first.
            if (old != PW_STREAM_STATE_UNCONNECTED) me->listener.outputFailed("disconnected");
            break;
        default:
            break;
    }
}

// PipeWire's real-time thread, once per graph cycle: renders the cycle's block.
void PipeWireSidetoneOutput::Connection::Process(void* self) {
    auto* me = static_cast<Connection*>(self);
    pw_buffer* buffer = pw_stream_dequeue_buffer(me->stream);
    if (!buffer) return;
    spa_data& data = buffer->buffer->datas[0];
    if (!data.data) {
        pw_stream_queue_buffer(me->stream, buffer);
        return;
    }
    uint64_t frames = data.maxsize / sizeof(int16_t);
    if (buffer->requested) frames = std::min<uint64_t>(frames, buffer->requested);
    const int64_t nowNs = MonotonicNs();
    // The graph's time of this cycle, and how long until the stream's next sample reaches the
    // device: the converter's and the device's delay and what the stream has queued.
    pw_time time{};
    int64_t firstNs = SidetoneEngine::kUnknownTime;
    const bool timed = pw_stream_get_time_n(me->stream, &time, sizeof time) == 0 &&
                       time.now != 0 && time.rate.denom != 0;
    if (timed) {
        const double deviceNs =
            static_cast<double>(time.delay) * 1e9 * time.rate.num / time.rate.denom;
        const double streamNs =
            static_cast<double>(time.queued + time.buffered) * 1e9 / SidetoneOutput::kRateHz;
        firstNs = time.now + static_cast<int64_t>(deviceNs + streamNs);
    }
    me->engine.render(static_cast<int16_t*>(data.data), static_cast<int>(frames), firstNs, nowNs);
    data.chunk->offset = 0;
    data.chunk->stride = sizeof(int16_t);
    data.chunk->size = static_cast<uint32_t>(frames * sizeof(int16_t));
    buffer->size = frames;
    pw_stream_queue_buffer(me->stream, buffer);
    if (timed) me->noteLostCycles(time, frames, nowNs);
}

// Data thread, once the block is queued. A busy machine may not wake the stream for a cycle or
// more, or wake it so late that its block is queued after the graph went on without it: the
// sink takes the block when its next cycle begins, and its own thread must still mix it before
// then, so a block queued in the last eighth of the cycle is at times left out too. Either way
// the sound of those cycles was lost, though the cycle's timing still looks right. Told as
// dropouts.
void PipeWireSidetoneOutput::Connection::noteLostCycles(const pw_time& time, uint64_t frames,
                                                        int64_t nowNs) {
    const auto cycleNs = static_cast<int64_t>(frames * 1'000'000'000 / SidetoneOutput::kRateHz);
    // The cycle in the graph's ticks (the graph may run at another rate than the stream).
    const auto cycleTicks =
        static_cast<uint64_t>(static_cast<double>(frames) * time.rate.denom /
                              (static_cast<double>(time.rate.num) * SidetoneOutput::kRateHz));
    const bool queuedLate = MonotonicNs() - time.now > cycleNs - cycleNs / 8;
    // More than half a cycle more than the last cycle's ticks: whole cycles went by.
    const bool skipped = lastTicks != 0 && time.ticks > lastTicks + lastCycleTicks * 3 / 2;
    if (queuedLate || skipped) engine.noteDropout(nowNs);
    lastTicks = time.ticks;
    lastCycleTicks = cycleTicks;
}

PipeWireSidetoneOutput::PipeWireSidetoneOutput(int quantumFrames)
    : m_quantumFrames(quantumFrames) {}

PipeWireSidetoneOutput::~PipeWireSidetoneOutput() { close(); }

bool PipeWireSidetoneOutput::open(SidetoneEngine& engine, Listener& listener) {
    close();
    m_error.clear();
    InitPipeWireOnce();
    m_connection = std::unique_ptr<Connection>(new Connection{engine, listener});
    if (m_connection->connect(m_quantumFrames, m_error)) return true;
    m_connection.reset();
    return false;
}

void PipeWireSidetoneOutput::close() { m_connection.reset(); }

}  // namespace cwt
