#include "sound/PulseMixer.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>
#include <unistd.h>

#include <QByteArray>
#include <QMetaObject>
#include <cstdio>
#include <cstdlib>

#include "sound/PulseMixerVolume.h"

using namespace cwt::mixer;

namespace {

constexpr int kReplyTimeoutMs = 1000;
constexpr int kConnectTimeoutMs = 2000;
// Lists are copied into storage reserved before the request, so the libpulse thread never
// allocates; a server with more sinks or streams than this shows only the first ones.
constexpr size_t kMaxSinks = 64;
constexpr size_t kMaxStreams = 128;
constexpr size_t kNameBytes = 256;

// Names longer than the record's field are cut; the dialog only shows and logs them.
void CopyName(char (&target)[kNameBytes], const char* source) {
    std::snprintf(target, kNameBytes, "%s", source ? source : "");
}

// Holds the loop lock of the GUI-side calls for one scope.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

// One info request: the libpulse thread fills `out` (within its reserved capacity) and marks
// it done; the GUI thread waits for that under the loop lock.
template <class Record>
struct ListQuery {
    pa_threaded_mainloop* loop = nullptr;
    std::vector<Record>* out = nullptr;
    bool done = false;
};

struct Deadline {
    pa_threaded_mainloop* loop = nullptr;
    bool fired = false;
};

}  // namespace

struct PulseMixer::SinkRecord {
    uint32_t index = PA_INVALID_INDEX;
    char name[kNameBytes] = {};
    char description[kNameBytes] = {};
    pa_cvolume volume{};
    pa_channel_map map{};
    bool mute = false;
    uint32_t flags = 0;
    uint32_t card = PA_INVALID_INDEX;
    bool suspended = false;
};

struct PulseMixer::StreamRecord {
    uint32_t index = PA_INVALID_INDEX;
    uint32_t sink = PA_INVALID_INDEX;
    uint32_t client = PA_INVALID_INDEX;
    pa_cvolume volume{};
    pa_channel_map map{};
    bool mute = false;
    bool hasVolume = false;
    bool volumeWritable = false;
    bool corked = false;
    unsigned long processId = 0;  // 0 when the stream does not say
    char applicationName[kNameBytes] = {};
    char mediaName[kNameBytes] = {};
};

// The libpulse callbacks. They run on the libpulse thread with the loop lock held: they only
// copy into reserved storage, signal the waiting GUI thread, or post a notice to it.
struct PulseMixerCallbacks {
    static void onContextState(pa_context* context, void* userdata) {
        auto* self = static_cast<PulseMixer*>(userdata);
        pa_threaded_mainloop_signal(self->m_loop, 0);
        if (!self->m_ready || PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) return;
        self->m_ready = false;
        const char* reason = pa_strerror(pa_context_errno(context));  // static text
        const uint64_t generation = self->m_generation;
        QMetaObject::invokeMethod(
            self,
            [self, generation, reason] {
                if (generation == self->m_generation) self->postLost(QString::fromUtf8(reason));
            },
            Qt::QueuedConnection);
    }

    static void onSubscribe(pa_context*, pa_subscription_event_type_t event, uint32_t index,
                            void* userdata) {
        auto* self = static_cast<PulseMixer*>(userdata);
        const uint32_t facility = event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const uint32_t type = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        const uint64_t generation = self->m_generation;
        QMetaObject::invokeMethod(
            self, [=] { self->deliverEvent(generation, facility, type, index); },
            Qt::QueuedConnection);
    }

    static void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*,
                           void* userdata) {
        auto* deadline = static_cast<Deadline*>(userdata);
        deadline->fired = true;
        pa_threaded_mainloop_signal(deadline->loop, 0);
    }

    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
        auto* query = static_cast<ListQuery<PulseMixer::SinkRecord>*>(userdata);
        if (eol != 0) {
            query->done = true;
            pa_threaded_mainloop_signal(query->loop, 0);
            return;
        }
        if (query->out->size() == query->out->capacity()) return;
        PulseMixer::SinkRecord& record = query->out->emplace_back();
        record.index = info->index;
        CopyName(record.name, info->name);
        CopyName(record.description, info->description);
        record.volume = info->volume;
        record.map = info->channel_map;
        record.mute = info->mute != 0;
        record.flags = info->flags;
        record.card = info->card;
        record.suspended = info->state == PA_SINK_SUSPENDED;
    }

    static void onStreamInfo(pa_context*, const pa_sink_input_info* info, int eol, void* userdata) {
        auto* query = static_cast<ListQuery<PulseMixer::StreamRecord>*>(userdata);
        if (eol != 0) {
            query->done = true;
            pa_threaded_mainloop_signal(query->loop, 0);
            return;
        }
        if (query->out->size() == query->out->capacity()) return;
        PulseMixer::StreamRecord& record = query->out->emplace_back();
        record.index = info->index;
        record.sink = info->sink;
        record.client = info->client;
        record.volume = info->volume;
        record.map = info->channel_map;
        record.mute = info->mute != 0;
        record.hasVolume = info->has_volume != 0;
        record.volumeWritable = info->volume_writable != 0;
        record.corked = info->corked != 0;
        const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        record.processId = pid ? std::strtoul(pid, nullptr, 10) : 0;
        CopyName(record.applicationName,
                 pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_NAME));
        CopyName(record.mediaName, info->name);
    }
};

PulseMixer::PulseMixer(QObject* parent) : QObject(parent) {}

PulseMixer::~PulseMixer() {
    if (!m_loop) return;
    {
        LoopLock lock(m_loop);
        dropLocked();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

bool PulseMixer::ensureLoop() {
    if (m_loop) return true;
    m_loop = pa_threaded_mainloop_new();
    if (m_loop && pa_threaded_mainloop_start(m_loop) == 0) return true;
    if (m_loop) pa_threaded_mainloop_free(m_loop);
    m_loop = nullptr;
    m_lastErrorCode = PA_ERR_INTERNAL;
    m_lastError = QStringLiteral("cannot start the sound server's event loop");
    return false;
}

// Waits, with the loop lock held, until `done()` or for `timeoutMs`. A timer on the loop
// wakes the wait at the deadline, so a server that never answers cannot hold it.
template <class Done>
bool PulseMixer::waitLocked(Done done, int timeoutMs) {
    Deadline deadline{m_loop};
    pa_time_event* timer =
        pa_context_rttime_new(m_context, pa_rtclock_now() + pa_usec_t(timeoutMs) * PA_USEC_PER_MSEC,
                              &PulseMixerCallbacks::onDeadline, &deadline);
    if (!timer) return done();
    while (!done() && !deadline.fired) pa_threaded_mainloop_wait(m_loop);
    pa_threaded_mainloop_get_api(m_loop)->time_free(timer);
    return done();
}

bool PulseMixer::connect() {
    if (!ensureLoop()) return false;
    LoopLock lock(m_loop);
    dropLocked();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "CW Tamarik");
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "CW Tamarik",
                                             properties);
    pa_proplist_free(properties);
    if (!m_context) {
        m_lastErrorCode = PA_ERR_INTERNAL;
        m_lastError = QStringLiteral("cannot create a sound server connection");
        return false;
    }
    ++m_generation;
    pa_context_set_state_callback(m_context, &PulseMixerCallbacks::onContextState, this);
    bool settled = false;
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        settled = waitLocked(
            [this] {
                const pa_context_state_t state = pa_context_get_state(m_context);
                return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
            },
            kConnectTimeoutMs);
    }
    if (pa_context_get_state(m_context) != PA_CONTEXT_READY) {
        m_lastErrorCode = settled ? pa_context_errno(m_context) : PA_ERR_TIMEOUT;
        m_lastError = QString::fromUtf8(pa_strerror(m_lastErrorCode));
        dropLocked();
        return false;
    }
    m_ready = true;
    pa_context_set_subscribe_callback(m_context, &PulseMixerCallbacks::onSubscribe, this);
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK |
                                                          PA_SUBSCRIPTION_MASK_SINK_INPUT);
    if (pa_operation* op = pa_context_subscribe(m_context, mask, nullptr, nullptr))
        pa_operation_unref(op);
    return true;
}

void PulseMixer::dropLocked() {
    if (!m_context) return;
    m_ready = false;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
    ++m_generation;  // notices already posted from the old connection are dropped
}

bool PulseMixer::connectedLocked() {
    if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY) return true;
    m_lastErrorCode = PA_ERR_CONNECTIONTERMINATED;
    m_lastError = QStringLiteral("not connected to the sound server");
    return false;
}

// Waits for an info request; true when the server answered it. A request the server leaves
// unanswered drops the connection: nothing later may wait on that server again.
bool PulseMixer::runLocked(pa_operation* op, const bool& done) {
    if (!op) {
        m_lastErrorCode = pa_context_errno(m_context);
        m_lastError = QString::fromUtf8(pa_strerror(m_lastErrorCode));
        return false;
    }
    const bool finished =
        waitLocked([&] { return done || pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
                   kReplyTimeoutMs);
    if (!finished) pa_operation_cancel(op);  // its callback can no longer run
    pa_operation_unref(op);
    if (done) return true;
    if (finished) {  // cancelled because the connection failed
        m_lastErrorCode = PA_ERR_CONNECTIONTERMINATED;
        m_lastError = QString::fromUtf8(pa_strerror(m_lastErrorCode));
        return false;
    }
    m_lastErrorCode = PA_ERR_TIMEOUT;
    m_lastError = QStringLiteral("the sound server did not answer");
    dropLocked();
    postLost(m_lastError);
    return false;
}

bool PulseMixer::querySinks(std::vector<SinkRecord>& out, const QString* name, uint32_t index) {
    out.clear();
    out.reserve(name || index != PA_INVALID_INDEX ? 1 : kMaxSinks);
    if (!m_loop) return connectedLocked();
    LoopLock lock(m_loop);
    if (!connectedLocked()) return false;
    ListQuery<SinkRecord> query{m_loop, &out};
    pa_operation* op = nullptr;
    if (name) {
        const QByteArray utf8 = name->toUtf8();
        op = pa_context_get_sink_info_by_name(m_context, utf8.constData(),
                                              &PulseMixerCallbacks::onSinkInfo, &query);
    } else if (index != PA_INVALID_INDEX) {
        op = pa_context_get_sink_info_by_index(m_context, index, &PulseMixerCallbacks::onSinkInfo,
                                               &query);
    } else {
        op = pa_context_get_sink_info_list(m_context, &PulseMixerCallbacks::onSinkInfo, &query);
    }
    return runLocked(op, query.done);
}

bool PulseMixer::queryStreams(std::vector<StreamRecord>& out, uint32_t index) {
    out.clear();
    out.reserve(index != PA_INVALID_INDEX ? 1 : kMaxStreams);
    if (!m_loop) return connectedLocked();
    LoopLock lock(m_loop);
    if (!connectedLocked()) return false;
    ListQuery<StreamRecord> query{m_loop, &out};
    pa_operation* op = index != PA_INVALID_INDEX
                           ? pa_context_get_sink_input_info(
                                 m_context, index, &PulseMixerCallbacks::onStreamInfo, &query)
                           : pa_context_get_sink_input_info_list(
                                 m_context, &PulseMixerCallbacks::onStreamInfo, &query);
    return runLocked(op, query.done);
}

// The open mixer's sink, looked up by name: a sink that was unloaded and loaded again is
// found under its new index, and the notices follow it.
std::optional<PulseMixer::SinkRecord> PulseMixer::openSink() {
    std::vector<SinkRecord> sinks;
    if (!m_open || !querySinks(sinks, &m_sinkId, PA_INVALID_INDEX) || sinks.empty())
        return std::nullopt;
    m_sinkIndex = sinks.front().index;
    return sinks.front();
}

void PulseMixer::postLost(const QString& reason) {
    QMetaObject::invokeMethod(
        this, [this, reason] { emit connectionLost(reason); }, Qt::QueuedConnection);
}

void PulseMixer::deliverEvent(uint64_t generation, uint32_t facility, uint32_t type,
                              uint32_t index) {
    if (!m_open || generation != m_generation) return;
    uint32_t lineId = 0;
    if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
        if (index != m_sinkIndex) return;  // another mixer's
        lineId = sinkLineId(index);
    } else if (facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT) {
        lineId = streamLineId(index);
    } else {
        return;
    }
    if (type == PA_SUBSCRIPTION_EVENT_CHANGE) {
        emit controlChanged(controlIdOf(lineId, false));
        emit controlChanged(controlIdOf(lineId, true));
    } else {
        emit lineChanged(lineId);
    }
}

std::vector<MixerCaps> PulseMixer::listMixers() {
    const bool connected = m_open && m_loop && [this] {
        LoopLock lock(m_loop);
        return connectedLocked();
    }();
    if (!connected && !connect()) return {};
    std::vector<SinkRecord> sinks;
    querySinks(sinks, nullptr, PA_INVALID_INDEX);
    if (!m_open) {
        LoopLock lock(m_loop);
        dropLocked();
    }
    std::vector<MixerCaps> mixers;
    for (const SinkRecord& sink : sinks)
        mixers.push_back(
            {QString::fromUtf8(sink.name), QString::fromUtf8(sink.description), sink.flags, 1});
    return mixers;
}

bool PulseMixer::open(const QString& sinkId) {
    close();
    if (!connect()) return false;
    m_open = true;
    m_sinkId = sinkId;
    m_sinkIndex = PA_INVALID_INDEX;
    openSink();
    return true;
}

void PulseMixer::close() {
    m_open = false;
    if (!m_loop) return;
    LoopLock lock(m_loop);
    dropLocked();
}

bool PulseMixer::isOpen() const { return m_open; }

MixerCaps PulseMixer::caps() {
    MixerCaps caps;
    caps.id = m_sinkId;
    if (const auto sink = openSink()) {
        caps.name = QString::fromUtf8(sink->description);
        caps.support = sink->flags;
        caps.destinations = 1;
    }
    return caps;
}

std::optional<MixerLine> PulseMixer::destinationLine(uint32_t destination) {
    const auto sink = destination == 0 ? openSink() : std::nullopt;
    if (!sink) return std::nullopt;
    std::vector<StreamRecord> streams;
    queryStreams(streams, PA_INVALID_INDEX);
    MixerLine line;
    line.lineId = sinkLineId(sink->index);
    line.flags = sink->suspended ? 0 : kLineActive;
    line.user = sink->card;
    line.channels = sink->map.channels;
    line.controls = 2;
    for (const StreamRecord& stream : streams) line.connections += stream.sink == sink->index;
    line.shortName = QString::fromUtf8(sink->name);
    line.name = QString::fromUtf8(sink->description);
    line.targetType = kTargetWaveOut;
    line.targetDeviceId = sink->index;
    line.targetName = line.name;
    line.componentType = kDstSpeakers;
    return line;
}

std::optional<MixerLine> PulseMixer::sourceLine(uint32_t destination, uint32_t source) {
    const auto sink = destination == 0 ? openSink() : std::nullopt;
    if (!sink) return std::nullopt;
    std::vector<StreamRecord> streams;
    queryStreams(streams, PA_INVALID_INDEX);
    uint32_t position = 0;
    for (const StreamRecord& stream : streams) {
        if (stream.sink != sink->index || position++ != source) continue;
        MixerLine line;
        line.destination = destination;
        line.source = source;
        line.lineId = streamLineId(stream.index);
        line.flags = kLineSource | (stream.corked ? 0 : kLineActive);
        line.user = stream.client;
        line.channels = stream.map.channels;
        line.controls = stream.hasVolume ? 2 : 1;
        line.shortName = QString::fromUtf8(stream.applicationName);
        line.name = QString::fromUtf8(stream.mediaName);
        line.targetType = kTargetWaveOut;
        line.targetDeviceId = sink->index;
        line.targetName = QString::fromUtf8(sink->description);
        // Our own stream, found by the process that plays it, is the wave output.
        line.componentType =
            stream.processId == static_cast<unsigned long>(getpid()) ? kSrcWaveOut : kSrcUndefined;
        return line;
    }
    return std::nullopt;
}

int PulseMixer::lineControl(uint32_t lineId, uint32_t controlType, MixerControl& control) {
    control = {};
    const uint32_t index = lineId & ~kStreamBit;
    uint32_t channels = 0;
    bool hasVolume = true;
    bool volumeWritable = true;
    if ((lineId & kStreamBit) != 0) {
        std::vector<StreamRecord> streams;
        if (!queryStreams(streams, index)) return m_lastErrorCode;
        if (streams.empty()) return kInvalidLine;
        channels = streams.front().map.channels;
        hasVolume = streams.front().hasVolume;
        volumeWritable = streams.front().volumeWritable;
    } else {
        std::vector<SinkRecord> sinks;
        if (!querySinks(sinks, nullptr, index)) return m_lastErrorCode;
        if (sinks.empty()) return kInvalidLine;
        channels = sinks.front().map.channels;
    }
    const bool mute = controlType == kControlMute;
    if (!mute && (controlType != kControlVolume || !hasVolume)) return kInvalidControl;
    control.controlId = controlIdOf(lineId, mute);
    control.controlType = controlType;
    control.flags = (mute || channels == 1 ? kControlUniform : 0) |
                    (!mute && !volumeWritable ? kControlDisabled : 0);
    control.minimum = 0;
    control.maximum = mute ? 1 : cwt::kMixerVolumeMax;
    return kNoError;
}

bool PulseMixer::getControlDetails(uint32_t controlId, uint32_t channels, int32_t& left,
                                   int32_t& right) {
    const uint32_t lineId = controlId >> 1;
    const bool mute = (controlId & 1) != 0;
    const uint32_t index = lineId & ~kStreamBit;
    pa_cvolume volume{};
    pa_channel_map map{};
    bool muted = false;
    if ((lineId & kStreamBit) != 0) {
        std::vector<StreamRecord> streams;
        if (!queryStreams(streams, index) || streams.empty()) return false;
        volume = streams.front().volume;
        map = streams.front().map;
        muted = streams.front().mute;
    } else {
        std::vector<SinkRecord> sinks;
        if (!querySinks(sinks, nullptr, index) || sinks.empty()) return false;
        volume = sinks.front().volume;
        map = sinks.front().map;
        muted = sinks.front().mute;
    }
    if (mute) {
        left = right = muted ? 1 : 0;
    } else if (channels <= 1) {
        left = right = cwt::MixerVolumeOf(pa_cvolume_max(&volume));
    } else {
        const cwt::MixerLeftRight values = cwt::LeftRightOf(volume, map);
        left = values.left;
        right = values.right;
    }
    return true;
}

bool PulseMixer::setControlDetails(uint32_t controlId, uint32_t channels, int32_t left,
                                   int32_t right) {
    const uint32_t lineId = controlId >> 1;
    const bool mute = (controlId & 1) != 0;
    const bool stream = (lineId & kStreamBit) != 0;
    const uint32_t index = lineId & ~kStreamBit;
    pa_channel_map map{};
    if (!mute) {  // the channel layout decides which channel gets which value
        if (stream) {
            std::vector<StreamRecord> streams;
            if (!queryStreams(streams, index) || streams.empty()) return false;
            map = streams.front().map;
        } else {
            std::vector<SinkRecord> sinks;
            if (!querySinks(sinks, nullptr, index) || sinks.empty()) return false;
            map = sinks.front().map;
        }
    }
    pa_cvolume volume = cwt::CVolumeOf(map, left, right);
    if (!mute && channels <= 1 && map.channels > 0)
        pa_cvolume_set(&volume, map.channels, cwt::PulseVolumeOf(left));
    if (!m_loop) return false;
    LoopLock lock(m_loop);
    if (!connectedLocked()) return false;
    pa_operation* op = nullptr;
    if (mute && stream)
        op = pa_context_set_sink_input_mute(m_context, index, left != 0, nullptr, nullptr);
    else if (mute)
        op = pa_context_set_sink_mute_by_index(m_context, index, left != 0, nullptr, nullptr);
    else if (stream)
        op = pa_context_set_sink_input_volume(m_context, index, &volume, nullptr, nullptr);
    else
        op = pa_context_set_sink_volume_by_index(m_context, index, &volume, nullptr, nullptr);
    if (!op) {
        m_lastErrorCode = pa_context_errno(m_context);
        m_lastError = QString::fromUtf8(pa_strerror(m_lastErrorCode));
        return false;
    }
    pa_operation_unref(op);
    return true;
}
