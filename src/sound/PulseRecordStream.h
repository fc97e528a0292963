#pragma once
// The input device of a recording that does not capture the played sound: a record stream on
// the server's default source, opened, started, stopped, reset and closed like a wave-in
// device. It is never handed a buffer: what the server sends is dropped.
// GUI thread only; every step returns 0 or an MMSYSERR code (MmErrors.h) and waits at most
// about a second for the server.

#include <QString>
#include <memory>

#include "sound/WaveDevice.h"

namespace cwt {

class PulseRecordStream {
public:
    PulseRecordStream();
    ~PulseRecordStream();

    int open(const WaveFormat& format);
    int start();
    int stop();
    int reset();
    int close();

    bool isOpen() const;
    bool isRunning() const;
    QString lastError() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace cwt
