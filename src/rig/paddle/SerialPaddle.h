#pragma once
// A paddle or a straight key on a serial port's input lines, as serial keying adapters wire
// them: the dit contact on CTS and the dah contact on DSR (or on DCD, which some adapters use),
// or a straight key on CTS. The contacts are fed from DTR (or RTS), raised while the port is
// watched. The port may carry the transmitter's key line too: both share one open file.
//
// A thread of its own sleeps in TIOCMIWAIT until a watched line changes and takes the time
// (CLOCK_MONOTONIC) as soon as the call returns; then the transition counters (TIOCGICOUNT)
// tell which lines moved, even a press and release that both came between two readings, and
// the line states (TIOCMGET) where each lever is now. Each change becomes a LeverEvent.
//
// Contact bounce: a lever's first change is reported at once; further changes of that lever
// within debounceNs are taken as bounce, and the state it has when that time is over is
// reported if it differs.
//
// The kernel's wait compares the counters with those it saw when it was entered, so a change
// that came between the thread's last reading and its next wait would not wake it. While a
// lever is closed, and for a second after the last change, the thread therefore also looks
// every 10 ms (one counter read); idle, it only sleeps.
//
// A lever found closed when watching starts is not reported until it has opened once (a key
// held down, or lines of the other polarity, must not key anything): startNote() says so.
//
// When watching ends (stop(), or the port pulled out), every lever reported closed is reported
// open first: no key stays down.
//
// Owned by one thread (the GUI thread: start, stop and the texts). The handlers run on the
// watcher thread and must only hand the event on; they must not wait for the owner thread.

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "rig/SerialCalls.h"
#include "rig/paddle/WaitInterrupter.h"

namespace cwt {

class SerialPortFile;

enum class DahLine { Dsr, Dcd };
enum class PaddleSupply { None, Dtr, Rts };

struct SerialPaddleConfig {
    std::string device;        // /dev/ttyUSB0 …
    bool straightKey = false;  // a straight key on CTS instead of a paddle
    DahLine dahLine = DahLine::Dsr;
    PaddleSupply supply = PaddleSupply::Dtr;  // raised to feed the contacts
    bool inverted = false;                    // a line reads asserted while its contact is open
    int64_t debounceNs = 3'000'000;           // 0: every change is reported
    bool realtime = true;                     // ask for real-time scheduling for the watcher
};

class SerialPaddle {
public:
    using LeverHandler = std::function<void(const keyer::LeverEvent&)>;
    using LostHandler = std::function<void()>;

    explicit SerialPaddle(const SerialCalls& calls = SystemSerialCalls());
    ~SerialPaddle();  // stop()
    SerialPaddle(const SerialPaddle&) = delete;
    SerialPaddle& operator=(const SerialPaddle&) = delete;

    // Opens the port (or shares it with the key line), raises the supply line and starts
    // watching. False when the port cannot be watched; errorText() says why in words.
    // `onLever` gets every change; `onLost` is called once if the port fails while watched
    // (pulled out), after every lever has been released.
    bool start(const SerialPaddleConfig& config, LeverHandler onLever, LostHandler onLost);
    // Ends the watch, wakes the thread out of its wait, drops the supply line, closes the port
    // unless the key line holds it. Returns within a few milliseconds.
    void stop();
    // Started and not stopped; stays true after a loss until stop() (the owner calls it then).
    bool running() const { return m_thread.joinable(); }

    QString errorText() const { return m_error; }
    // Levers found closed at start, in words; empty when none was.
    QString startNote() const { return m_startNote; }
    // Why watching ended, once onLost has been called.
    QString lostText() const;

private:
    struct Watched {
        int bit = 0;  // TIOCM_CTS, TIOCM_DSR, TIOCM_CD
        keyer::Lever lever = keyer::Lever::Dit;
        bool closed = false;        // as last reported
        bool heldAtStart = false;   // closed at start and not opened since
        int64_t settleUntilNs = 0;  // bounce is ignored until then; 0: not settling
        int count = 0;              // transitions counted so far
    };

    bool openPort(const SerialPaddleConfig& config);
    bool readStart();
    void run();
    bool look(int64_t nowNs);
    void report(Watched& lever, bool closed, int64_t atNs);
    void releaseAll();
    void armLooks(int64_t nowNs);
    void lose(int error, bool waiting);
    QString lineName(int bit) const;

    const SerialCalls& m_calls;
    SerialPaddleConfig m_config;
    std::shared_ptr<SerialPortFile> m_file;
    int m_fd = -1;
    int m_supplyBit = 0;
    int m_mask = 0;
    QString m_error;
    QString m_startNote;
    LeverHandler m_onLever;
    LostHandler m_onLost;
    // Watcher thread only, while it runs.
    std::vector<Watched> m_levers;
    bool m_countsWork = true;
    int64_t m_lastChangeNs = 0;
    WaitInterrupter m_interrupter;

    std::atomic<bool> m_quit{false};
    std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;  // the thread has ended its watch (under m_doneMutex)
    mutable std::mutex m_lostMutex;
    QString m_lostText;
    std::thread m_thread;
};

}  // namespace cwt
