#pragma once
// One open file per serial device in the program. A USB-serial adapter often carries both the
// transmitter's key (DTR or RTS) and a paddle (CTS, DSR or DCD): the key line and the paddle
// then share one descriptor. A second open would be refused (the port is made exclusive), and
// closing one of two descriptors would not hang the port up while the other still holds it.
//
// Linux raises DTR and RTS when a port is first opened, which would key a transmitter: a first
// open drops every output line but those its opener keeps raised, in one call, before anything
// else is done with the port. The port is set to ignore the carrier (CLOCAL) and to hang up
// when the last user closes it (HUPCL), so that the kernel drops the lines however the program
// ends; a user that needs other attributes (an inverted key line) sets them itself.
//
// Opened and released on the GUI thread; fd() and calls() may be used by any thread while a
// user holds the file.

#include <QString>
#include <memory>
#include <string>

#include "rig/SerialCalls.h"

namespace cwt {

class SerialPortFile {
public:
    SerialPortFile(int fd, std::string device, const SerialCalls& calls);
    ~SerialPortFile();  // closes the descriptor
    SerialPortFile(const SerialPortFile&) = delete;
    SerialPortFile& operator=(const SerialPortFile&) = delete;

    int fd() const { return m_fd; }
    const SerialCalls& calls() const { return m_calls; }
    const std::string& device() const { return m_device; }

    // Output lines given to one user (the key, a paddle's supply): a line cannot be given
    // twice. False when some of `bits` are taken already (nothing is claimed then).
    bool claim(int bits);
    void release(int bits);

private:
    int m_fd;
    std::string m_device;
    const SerialCalls& m_calls;
    int m_claimed = 0;
};

// Why a port could not be opened: the step that failed and its errno.
struct SerialOpenFailure {
    std::string step;
    int error = 0;
};

// The open file of `device`, shared when it is open already, else opened as said above with
// `keepRaised` (TIOCM_DTR, TIOCM_RTS) left asserted. Null when it cannot be opened; then
// `failure` says where and why.
std::shared_ptr<SerialPortFile> OpenSerialPort(const std::string& device, const SerialCalls& calls,
                                               int keepRaised, SerialOpenFailure& failure);

// Why `device` could not be opened, in words for the operator (no permission, busy, missing,
// not a serial port). `lines` names the lines it was opened for ("DTR/RTS", "CTS/DSR").
QString SerialOpenErrorText(const std::string& device, const SerialOpenFailure& failure,
                            const QString& lines);

}  // namespace cwt
