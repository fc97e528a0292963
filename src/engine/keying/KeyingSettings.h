#pragma once
// The settings of the dialog "키잉 설정", kept in keying.ini in the configuration folder, and
// how they are written there. Nothing else about keying is kept: whether the transmitter is
// keyed starts off at every start.

#include <string>

#include "engine/config/IniProfile.h"

namespace cwt {

enum class KeyOutput { SerialLine, RigKeyer };
enum class ModemLine { Dtr, Rts };
enum class RigConnection { Cat, Rigctld };

struct KeyingSettings {
    KeyOutput output = KeyOutput::SerialLine;
    // The serial key line.
    std::string device = "/dev/ttyUSB0";
    ModemLine line = ModemLine::Dtr;
    bool inverted = false;    // the line is asserted while the key is up
    int watchdogSeconds = 5;  // continuous key-down that raises the key, 1..60
    bool sidetone = true;     // the tones still sound while the transmitter is keyed
    // The rig's own keyer through Hamlib.
    RigConnection connection = RigConnection::Rigctld;
    int rigModel = 1;                      // Hamlib model number for a rig on a CAT port
    std::string rigPort = "/dev/ttyUSB0";  // its CAT port
    int rigSerialSpeed = 0;                // baud; 0 keeps the rig's default
    std::string rigctldAddress = "localhost:4532";

    bool operator==(const KeyingSettings&) const = default;
};

inline constexpr std::string_view kKeyingSection = "Keying";
inline constexpr int kMinWatchdogSeconds = 1;
inline constexpr int kMaxWatchdogSeconds = 60;

// Values that are missing or not understood keep their defaults; numbers out of range are
// brought into it.
KeyingSettings ReadKeyingSettings(const IniProfile& file);
void WriteKeyingSettings(IniProfile& file, const KeyingSettings& settings);

}  // namespace cwt
