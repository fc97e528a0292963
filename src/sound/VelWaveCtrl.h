#pragma once
// TVelWaveCtrl: the non-visual wave output component. It plays blocks of PCM bytes through a
// WaveDevice in four 65,535-byte slots and, while a recording runs, appends every played block
// to a WAV file. It lives on the GUI thread; the device's notices are handled there, in order.
//
// A caller queues one or more buffers with PlayBuffer, every buffer but the last with a
// non-zero user value and the last with 0, then waits until Playing turns false: the buffer
// with user value 0 closes the device once its OnPlayDone has run.

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "sound/RiffFile.h"
#include "sound/WaveDevice.h"

namespace cwt {
class PulseRecordStream;
}  // namespace cwt

enum TSamplesPerSec {
    sps5512,
    sps6000,
    sps8000,
    sps11025,
    sps16000,
    sps22050,
    sps32000,
    sps32075,
    sps44100,
    sps48000
};
enum TChannels { chMono, chStereo };
enum TBitsPerSample { bps8Bit, bps16Bit };

int SamplesPerSecValue(TSamplesPerSec rate);

// The header of a played buffer, as the events see it.
struct TWaveHdr {
    const uint8_t* data = nullptr;  // the buffer's bytes
    uint32_t bufferLength = 0;      // its length in bytes
    uint32_t bytesRecorded = 0;
    uint32_t userValue = 0;  // UserValue, or UserHigh × 256, or 0
    uint32_t flags = 0;      // kWaveHdrDone, kWaveHdrFailed
    uint32_t loops = 0;
};
inline constexpr uint32_t kWaveHdrDone = 0x0001;
// The buffer never reached the output (the device could not be opened or failed).
inline constexpr uint32_t kWaveHdrFailed = 0x1000;

class TVelWaveCtrl;
using TNotifyEvent = std::function<void(TVelWaveCtrl* sender)>;
// May change the header (its length, at most one slot) and point `buffer` at other bytes; the
// component then plays what they describe.
using TOnPlayData =
    std::function<void(TVelWaveCtrl* sender, TWaveHdr& header, const uint8_t*& buffer)>;
using TOnPlayDone =
    std::function<void(TVelWaveCtrl* sender, const TWaveHdr* header, const uint8_t* buffer)>;
// A recording ended by a failure, or a recording that could not start; `message` is for the
// operator ("Ascend in 'data' chunk failed : MMIOERR_CANNOTWRITE", or a Korean sentence).
using TOnRecordError = std::function<void(TVelWaveCtrl* sender, const QString& message)>;
// The device failed (no sound server, or it went away); the buffers completed with
// kWaveHdrFailed. Fired once per failure, with a Korean message.
using TOnDeviceError = std::function<void(TVelWaveCtrl* sender, const QString& message)>;

class TVelWaveCtrl : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Playing READ Playing)
    Q_PROPERTY(bool Recording READ Recording)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(QString TempDir READ TempDir WRITE setTempDir)
    Q_PROPERTY(bool AutoRecord READ AutoRecord WRITE setAutoRecord)
    Q_PROPERTY(bool AutoOpen READ AutoOpen WRITE setAutoOpen)
    Q_PROPERTY(bool AutoStop READ AutoStop WRITE setAutoStop)
    Q_PROPERTY(QString DispStr READ DispStr WRITE setDispStr)
    Q_PROPERTY(bool PlaySoundRecord READ PlaySoundRecord WRITE setPlaySoundRecord)

public:
    static constexpr int kSlotCount = 4;
    static constexpr int kSlotBytes = 65535;

    // Without a device the component plays through PulseWaveDevice.
    explicit TVelWaveCtrl(QObject* owner = nullptr, std::unique_ptr<cwt::WaveDevice> device = {});
    // Finishes an open recording, closes the device and stops receiving its notices.
    ~TVelWaveCtrl() override;

    // Queues `size` bytes. A block longer than one slot is played in slot-sized pieces, but is
    // one buffer to the caller: one OnPlayDone with all its bytes and the caller's user value,
    // one append to the recording. When the next slot is still held by the device, waits for
    // it, processing events. Never blocks on a device that does not answer: a failed device
    // completes the buffers with kWaveHdrFailed.
    void PlayBuffer(const uint8_t* data, int size, uint8_t userValue, uint8_t userHigh);

    bool Playing() const { return m_playing; }

    // The program is ending: playing stops at once (what the device has not handed over is
    // forgotten, the device closes, Playing turns false) and every later PlayBuffer does
    // nothing, so no wait for sound outlives the window that sent it.
    void ShutDown();
    bool Recording() const { return m_recording; }

    TSamplesPerSec SamplesPerSec() const { return m_samplesPerSec; }
    void setSamplesPerSec(TSamplesPerSec value) { m_samplesPerSec = value; }
    TChannels Channels() const { return m_channels; }
    void setChannels(TChannels value) { m_channels = value; }
    TBitsPerSample BitsPerSample() const { return m_bitsPerSample; }
    void setBitsPerSample(TBitsPerSample value) { m_bitsPerSample = value; }
    // The WAV file a recording writes. Read when the recording's file is created; a change
    // while it is open applies to the next recording, the open one is finished under the name
    // it was created with.
    QString FileName() const { return m_fileName; }
    void setFileName(const QString& value) { m_fileName = value; }
    QString TempDir() const { return m_tempDir; }
    void setTempDir(const QString& value) { m_tempDir = value; }
    bool AutoRecord() const { return m_autoRecord; }
    void setAutoRecord(bool value) { m_autoRecord = value; }
    bool AutoOpen() const { return m_autoOpen; }
    void setAutoOpen(bool value) { m_autoOpen = value; }
    bool AutoStop() const { return m_autoStop; }
    void setAutoStop(bool value) { m_autoStop = value; }
    QString DispStr() const { return m_dispStr; }
    void setDispStr(const QString& value) { m_dispStr = value; }
    // True: a recording captures the played buffers (the main window's choice). False: it
    // opens the default input instead and writes nothing from it.
    bool PlaySoundRecord() const { return m_playSoundRecord; }
    void setPlaySoundRecord(bool value) { m_playSoundRecord = value; }

    // The format block of the device and of recorded files, from the properties.
    cwt::WaveFormat FillWaveFormat() const;

    // Recording (see VelWaveCtrlRecord.cpp).
    void StartRecording();
    void StopRecording();
    // The last recording failure, empty when the last recording went well.
    QString LastRecordError() const { return m_recordError; }
    // The file the open recording writes (its final name), empty when none is open.
    QString RecordFileName() const { return m_recordPath; }

    // The program's master volume: the volume of its own output stream.
    bool VolumeAvailable() { return m_device->hasVolume(); }
    cwt::WaveVolume Volume() { return m_device->volume(); }
    void SetVolume(cwt::WaveVolume volume) { m_device->setVolume(volume); }
    // Number of output devices (sound server sinks); 0 when no server answers.
    int OutputDeviceCount() { return m_device->outputCount(); }

    cwt::WaveDevice& Device() { return *m_device; }
    // Waits (processing events) until the output has sounded what it holds, at most
    // `timeoutMs`; for a program that quits right after its last buffer.
    bool Drain(int timeoutMs) { return m_device->drain(timeoutMs); }

    // Events; each is optional.
    TNotifyEvent OnMCINOTIFY;  // never fired: no MCI device here
    TNotifyEvent OnPlayStart;
    TOnPlayData OnPlayData;
    TOnPlayDone OnPlayDone;
    TNotifyEvent OnPlayStop;
    TNotifyEvent OnPlayPause;    // never fired
    TNotifyEvent OnPlayRestart;  // never fired
    TOnPlayDone OnInputDone;     // never fired: the input device is never handed a buffer
    TNotifyEvent OnRecordStart;
    TOnPlayDone OnRecordData;  // after each append, with the appended header and bytes
    TNotifyEvent OnRecordStop;
    TOnRecordError OnRecordError;
    TOnDeviceError OnDeviceError;

private:
    struct Slot;
    struct Joined;

    void OpenDevice();
    void CloseDevice();
    void HandleDeviceNotice(const cwt::WaveDevice::Notice& notice);
    void HandleDone(const cwt::WaveDevice::Notice& notice);
    Slot* WaitForFreeSlot();
    void WriteSlot(const uint8_t* data, int size, uint32_t userValue, bool lastPiece,
                   const std::shared_ptr<Joined>& joined);
    const uint8_t* KeepDoneBytes(const Slot& slot, int depth);

    // Recording.
    void RecordBuffer(const TWaveHdr& header);
    bool CreateRecordFile();
    void FinishRecordFile();
    // The temporary file was renamed or deleted: copies the open file back under its name, or
    // else into TempDir; false when the copy is not where the final name can be given to it.
    bool RescueRecording(const QString& tempPath, const QString& finalPath);
    void CloseRecording();
    bool CheckResult(int code, const char* operation);
    void ReportRecordError(const QString& message);
    void FireRecordError();

    std::unique_ptr<cwt::WaveDevice> m_device;
    std::array<std::unique_ptr<Slot>, kSlotCount> m_slots;
    int m_slotIndex = 0;
    uint64_t m_lastTicket = 0;
    bool m_deviceOpen = false;
    bool m_playing = false;
    bool m_deviceErrorReported = false;
    bool m_shutDown = false;
    int m_doneDepth = 0;
    std::vector<std::unique_ptr<uint8_t[]>> m_doneCopies;  // one per nesting level of OnPlayDone

    TSamplesPerSec m_samplesPerSec = sps11025;
    TChannels m_channels = chMono;
    TBitsPerSample m_bitsPerSample = bps8Bit;
    QString m_fileName;
    QString m_tempDir;
    bool m_autoRecord = false;
    bool m_autoOpen = true;
    bool m_autoStop = true;
    QString m_dispStr;
    bool m_playSoundRecord = false;

    // Recording state.
    bool m_recording = false;
    bool m_recordOpen = false;
    bool m_finishing = false;  // a failed step while finishing must not start finishing again
    cwt::WaveFormat m_recordFormat;
    std::unique_ptr<cwt::RiffFile> m_file;
    cwt::ChunkInfo m_riffChunk;
    cwt::ChunkInfo m_subChunk;
    std::unique_ptr<cwt::PulseRecordStream> m_input;
    QString m_recordPath;  // FileName as it was when the file was created
    int32_t m_byteTotal = 0;
    uint32_t m_sampleCount = 0;
    QString m_recordError;
    bool m_recordErrorPending = false;
};
