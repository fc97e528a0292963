#pragma once
// A transmitter's key on a serial port's DTR or RTS line, the way cwdaemon and flrig key it.
//
// Linux raises DTR and RTS when a port opens, which would key a transmitter: opening clears
// both lines at once, before anything else is done with the port. The port is set to hang up
// on close (HUPCL), so the kernel drops the lines when the program ends, however it ends; with
// inverted polarity (line asserted = key up) the line is left asserted instead, and the key is
// down whenever the program does not hold the port.
//
// A paddle watched on the same port shares its open file (SerialPortFile): opening the key line
// then changes no line but the key, and the key cannot be the line that feeds the paddle.
//
// Opened and closed on the GUI thread; once open, only the keying thread calls setKey.

#include <QString>
#include <memory>
#include <string>

#include "rig/SerialCalls.h"

namespace cwt {

class SerialPortFile;

struct KeyLineConfig {
    std::string device;     // /dev/ttyUSB0 …
    bool rts = false;       // the key is on RTS instead of DTR
    bool inverted = false;  // the line is asserted while the key is up
};

class KeyLine {
public:
    explicit KeyLine(const SerialCalls& calls = SystemSerialCalls());
    ~KeyLine();  // close()
    KeyLine(const KeyLine&) = delete;
    KeyLine& operator=(const KeyLine&) = delete;

    // Opens the port with the key up. False when it cannot be opened; errorText() says why, in
    // words for the operator (no permission, busy, missing, not a serial port).
    bool open(const KeyLineConfig& config);
    bool isOpen() const { return m_fd >= 0; }
    QString errorText() const { return m_error; }
    const KeyLineConfig& config() const { return m_config; }

    // One system call; false when the port refused it (the adapter was pulled out, …): the
    // caller stops keying, and lostText() says so in words.
    bool setKey(bool down);
    QString lostText() const;

    // Key up, then close; the port hangs up.
    void close();

private:
    int keyBit() const;

    const SerialCalls& m_calls;
    std::shared_ptr<SerialPortFile> m_file;
    KeyLineConfig m_config;
    int m_fd = -1;
    int m_safetySlot = -1;
    int m_lostErrno = 0;
    QString m_error;
};

}  // namespace cwt
