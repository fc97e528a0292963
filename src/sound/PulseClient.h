#pragma once
// A libpulse client on its own thread: a pa_threaded_mainloop and a context that reconnects
// when it was lost (the server restarted). Shared by the playback device and the input stream
// of a recording. Everything here is called with the loop lock held, except the constructor,
// the destructor and lock().

#include <pulse/pulseaudio.h>

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

namespace cwt {

class PulseClient {
public:
    explicit PulseClient(std::string name);
    ~PulseClient();
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    // Holds the loop lock for its lifetime (any thread but the libpulse thread itself).
    class Lock {
    public:
        explicit Lock(PulseClient& client) : m_loop(client.m_loop) {
            pa_threaded_mainloop_lock(m_loop);
        }
        ~Lock() { pa_threaded_mainloop_unlock(m_loop); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* m_loop;
    };

    // Starts connecting unless a context is connecting or connected. Without autospawn: a
    // server that is not there is reported, not started.
    void connect();
    // Drops a failed context so that connect() starts afresh.
    void dropIfFailed();
    void disconnect();
    pa_context* context() const { return m_context; }
    bool ready() const;
    bool failed() const { return m_failed; }
    std::string error() const { return m_error; }  // lock held, not on the libpulse thread

    // Waits, with the lock held, until `done()` is true or `timeoutMs` have passed; whatever
    // changes what `done` reads must call signal(). True when done.
    bool waitFor(const std::function<bool()>& done, int timeoutMs);
    // Wakes waitFor (libpulse thread or any thread holding the lock).
    void signal() { pa_threaded_mainloop_signal(m_loop, 0); }
    // Waits for an operation to finish (or fail); unrefs it.
    bool waitOperation(pa_operation* operation, int timeoutMs);
    bool waitReady(int timeoutMs);

    // Called on the libpulse thread when the context becomes ready or fails.
    std::function<void()> onReady;
    std::function<void(const char* error)> onFailed;

    pa_threaded_mainloop* loop() const { return m_loop; }
    pa_mainloop_api* api() const { return m_api; }
    static int64_t NowUs();

private:
    static void ContextState(pa_context* context, void* self);

    std::string m_name;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_mainloop_api* m_api = nullptr;
    pa_context* m_context = nullptr;
    bool m_failed = false;
    // A fixed buffer: the libpulse thread writes it, and allocates nothing.
    char m_error[128] = {};

    void setError(const char* text);
};

}  // namespace cwt
