#pragma once
// The PC speaker: channel 2 of the PC's interval timer (1,193,181 Hz) through the I/O ports
// 0x42, 0x43 and 0x61 where the system allows it, else Beep; and WaitMs, the millisecond wait
// that keeps the window responsive. GUI thread only.

#include <cstdint>
#include <functional>
#include <memory>

namespace cwt {

inline constexpr uint16_t kTimerChannel2Port = 0x42;
inline constexpr uint16_t kTimerModePort = 0x43;
inline constexpr uint16_t kSpeakerControlPort = 0x61;  // bit 0: gate of channel 2, bit 1: speaker
inline constexpr int kTimerClockHz = 1193181;

// Port access behind an interface, so tests can record the bytes written.
class SpeakerPorts {
public:
    virtual ~SpeakerPorts() = default;
    // Asks for access to the three ports; false where the system refuses it.
    virtual bool acquire() = 0;
    virtual uint8_t in(uint16_t port) = 0;
    virtual void out(uint16_t port, uint8_t value) = 0;
};

// The real ports through ioperm() (root on x86 Linux); never touches a port it was not given.
class HardwarePorts : public SpeakerPorts {
public:
    bool acquire() override;
    uint8_t in(uint16_t port) override;
    void out(uint16_t port, uint8_t value) override;

private:
    bool m_granted = false;
};

// True when port 0x61 can be read.
bool PortAccessTest(SpeakerPorts& ports);
// Starts a tone; below 19 Hz the divisor would not fit 16 bits and nothing happens.
void SpeakerOn(SpeakerPorts& ports, int frequencyHz);
void SpeakerOff(SpeakerPorts& ports);
// SpeakerOn, WaitMs, SpeakerOff.
void PortTone(SpeakerPorts& ports, int frequencyHz, int durationMs,
              const std::function<bool()>& cutShort = {});

// Returns after at least `durationMs`, handling events meanwhile (at least once, also for 0
// or less). Blocks in the event loop instead of spinning. Returns early once `cutShort`, when
// given, holds after events were handled (the program is ending).
void WaitMs(int durationMs, const std::function<bool()>& cutShort = {});

// A tone of a frequency and a length that returns when the length is over, without handling
// events.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep(int frequencyHz, int durationMs) = 0;
};

// The kernel's PC-speaker input device when it can be opened, else a square tone through the
// sound server, else a silent wait of the same length. Whichever way, and also when the tone
// cannot be made, a beep takes its whole length, so the rhythm holds.
class SystemBeeper : public Beeper {
public:
    enum class Way { Undecided, KernelSpeaker, SoundServer, Silent };

    SystemBeeper();
    // Sounds through an event device opened already (it is closed with the beeper); a device
    // that refuses the tone is left for the sound server or the silent wait.
    explicit SystemBeeper(int kernelSpeakerFd);
    ~SystemBeeper() override;
    void beep(int frequencyHz, int durationMs) override;
    Way way() const { return m_way; }

private:
    void decide();
    void decideWithoutKernel();
    bool kernelTone(int frequencyHz);
    void leaveKernelSpeaker();

    Way m_way = Way::Undecided;
    int m_eventFd = -1;
    struct ServerTone;
    std::unique_ptr<ServerTone> m_server;
};

// Beep through the process's SystemBeeper.
void Beep(int frequencyHz, int durationMs);

}  // namespace cwt
