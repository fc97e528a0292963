#include "sound/PulseClient.h"

#include <time.h>

namespace cwt {

PulseClient::PulseClient(std::string name) : m_name(std::move(name)) {
    m_loop = pa_threaded_mainloop_new();
    m_api = pa_threaded_mainloop_get_api(m_loop);
    pa_threaded_mainloop_set_name(m_loop, "cwt-pulse");
    pa_threaded_mainloop_start(m_loop);
}

PulseClient::~PulseClient() {
    {
        Lock lock(*this);
        disconnect();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

int64_t PulseClient::NowUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void PulseClient::setError(const char* text) { std::snprintf(m_error, sizeof m_error, "%s", text); }

bool PulseClient::ready() const {
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

void PulseClient::connect() {
    if (m_context) return;
    m_failed = false;
    m_error[0] = '\0';
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, m_name.c_str());
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "cw-tamarik");
    m_context = pa_context_new_with_proplist(m_api, m_name.c_str(), props);
    pa_proplist_free(props);
    if (!m_context) {
        m_failed = true;
        setError("cannot create a PulseAudio context");
        return;
    }
    pa_context_set_state_callback(m_context, &PulseClient::ContextState, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        m_failed = true;
        setError(pa_strerror(pa_context_errno(m_context)));
    }
}

void PulseClient::dropIfFailed() {
    if (m_context && m_failed) disconnect();
}

void PulseClient::disconnect() {
    if (!m_context) return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

// libpulse thread.
void PulseClient::ContextState(pa_context* context, void* self) {
    auto* client = static_cast<PulseClient*>(self);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            if (client->onReady) client->onReady();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            client->m_failed = true;
            client->setError(pa_strerror(pa_context_errno(context)));
            if (client->onFailed) client->onFailed(client->m_error);
            break;
        default:
            break;
    }
    client->signal();
}

namespace {
struct Deadline {
    PulseClient* client;
    bool expired = false;
};
// libpulse thread.
void DeadlineReached(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
    auto* deadline = static_cast<Deadline*>(data);
    deadline->expired = true;
    deadline->client->signal();
}
}  // namespace

bool PulseClient::waitFor(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    Deadline deadline{this};
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(timeoutMs) * 1000);
    pa_time_event* event = m_api->time_new(m_api, &when, &DeadlineReached, &deadline);
    while (!done() && !deadline.expired) pa_threaded_mainloop_wait(m_loop);
    m_api->time_free(event);
    return done();
}

namespace {
// libpulse thread.
void OperationChanged(pa_operation*, void* self) { static_cast<PulseClient*>(self)->signal(); }
}  // namespace

bool PulseClient::waitOperation(pa_operation* operation, int timeoutMs) {
    if (!operation) return false;
    pa_operation_set_state_callback(operation, &OperationChanged, this);
    const bool finished =
        waitFor([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; },
                timeoutMs);
    const bool ok = finished && pa_operation_get_state(operation) == PA_OPERATION_DONE;
    if (!finished) pa_operation_cancel(operation);
    pa_operation_set_state_callback(operation, nullptr, nullptr);
    pa_operation_unref(operation);
    return ok;
}

bool PulseClient::waitReady(int timeoutMs) {
    connect();
    return waitFor([this] { return ready() || m_failed || !m_context; }, timeoutMs) && ready();
}

}  // namespace cwt
