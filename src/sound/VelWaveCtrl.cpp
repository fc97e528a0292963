#include "sound/VelWaveCtrl.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <cstring>

#include "sound/PulseRecordStream.h"
#include "sound/PulseWaveDevice.h"
#include "sound/RiffFile.h"

int SamplesPerSecValue(TSamplesPerSec rate) {
    static constexpr int kValues[] = {5512,  6000,  8000,  11025, 16000,
                                      22050, 32000, 32075, 44100, 48000};
    const int index = static_cast<int>(rate);
    return index >= 0 && index < 10 ? kValues[index] : 11025;
}

// One of the four buffer slots: its header and its 65,535 bytes, held by the device from the
// write until the buffer's Done notice (or until the device is closed).
struct TVelWaveCtrl::Slot {
    TWaveHdr header;
    std::unique_ptr<uint8_t[]> data = std::make_unique<uint8_t[]>(kSlotBytes);
    bool held = false;
    uint64_t ticket = 0;
    std::shared_ptr<Joined> joined;  // set for the pieces of a block longer than a slot
    bool lastPiece = true;
};

// A caller's block that did not fit one slot: the bytes of its pieces as they were written.
struct TVelWaveCtrl::Joined {
    uint32_t userValue = 0;
    std::vector<uint8_t> bytes;
    bool failed = false;
    bool dropped = false;  // a piece was forgotten when the device closed: so is the rest
};

TVelWaveCtrl::TVelWaveCtrl(QObject* owner, std::unique_ptr<cwt::WaveDevice> device)
    : QObject(owner), m_device(std::move(device)) {
    if (!m_device) m_device = std::make_unique<cwt::PulseWaveDevice>();
    m_device->setNoticeHandler([this](const cwt::WaveDevice::Notice& n) { HandleDeviceNotice(n); });
    for (auto& slot : m_slots) slot = std::make_unique<Slot>();
}

TVelWaveCtrl::~TVelWaveCtrl() {
    // The owner is going away: no event may reach it any more.
    OnMCINOTIFY = nullptr;
    OnPlayStart = nullptr;
    OnPlayData = nullptr;
    OnPlayDone = nullptr;
    OnPlayStop = nullptr;
    OnInputDone = nullptr;
    OnRecordStart = nullptr;
    OnRecordData = nullptr;
    OnRecordStop = nullptr;
    OnRecordError = nullptr;
    OnDeviceError = nullptr;
    // An open recording keeps what was played.
    StopRecording();
    m_device->setNoticeHandler({});
    if (m_deviceOpen) {
        m_device->reset();
        m_device->close();
    }
}

cwt::WaveFormat TVelWaveCtrl::FillWaveFormat() const {
    cwt::WaveFormat format;
    format.samplesPerSec = SamplesPerSecValue(m_samplesPerSec);
    format.channels = m_channels == chStereo ? 2 : 1;
    format.bitsPerSample = m_bitsPerSample == bps16Bit ? 16 : 8;
    return format;
}

void TVelWaveCtrl::OpenDevice() {
    m_slotIndex = 0;
    m_device->open(FillWaveFormat());
    m_deviceOpen = true;
}

void TVelWaveCtrl::CloseDevice() {
    // Forgets what the device has not handed over yet; what the output holds plays out.
    m_device->reset();
    m_device->close();
    for (auto& slot : m_slots) {
        if (slot->held && slot->joined) slot->joined->dropped = true;
        slot->held = false;
        slot->joined.reset();
    }
    m_playing = false;
    m_deviceOpen = false;
    m_autoStop = true;
}

void TVelWaveCtrl::ShutDown() {
    m_shutDown = true;
    if (m_deviceOpen) CloseDevice();
    m_playing = false;
}

void TVelWaveCtrl::PlayBuffer(const uint8_t* data, int size, uint8_t userValue, uint8_t userHigh) {
    if (m_shutDown) return;
    if (size < 0 || data == nullptr) size = 0;
    const uint32_t user = userValue != 0 ? userValue : userHigh != 0 ? userHigh * 256u : 0u;
    if (size <= kSlotBytes) {
        WriteSlot(data, size, user, true, nullptr);
        return;
    }
    auto joined = std::make_shared<Joined>();
    joined->userValue = user;
    joined->bytes.reserve(static_cast<size_t>(size));
    QPointer<TVelWaveCtrl> alive(this);
    for (int offset = 0; offset < size && alive && !joined->dropped; offset += kSlotBytes) {
        const int piece = std::min(kSlotBytes, size - offset);
        WriteSlot(data + offset, piece, user, offset + piece == size, joined);
    }
}

TVelWaveCtrl::Slot* TVelWaveCtrl::WaitForFreeSlot() {
    // The next slot in the ring may still be held by the device (a sign of more than four
    // letters): wait for its Done notice instead of overwriting bytes the device is reading.
    QPointer<TVelWaveCtrl> alive(this);
    for (;;) {
        if (m_shutDown) return nullptr;  // shut down while this piece waited: it never plays
        if (!m_deviceOpen) OpenDevice();
        Slot& slot = *m_slots[static_cast<size_t>(m_slotIndex)];
        if (!slot.held) return &slot;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!alive) return nullptr;  // destroyed meanwhile: touch nothing
    }
}

void TVelWaveCtrl::WriteSlot(const uint8_t* data, int size, uint32_t userValue, bool lastPiece,
                             const std::shared_ptr<Joined>& joined) {
    QPointer<TVelWaveCtrl> alive(this);
    Slot* slotPtr = WaitForFreeSlot();
    if (slotPtr == nullptr || (joined && joined->dropped)) return;
    Slot& slot = *slotPtr;
    m_playing = true;

    slot.header = {};
    if (size > 0) std::memcpy(slot.data.get(), data, static_cast<size_t>(size));
    std::memset(slot.data.get() + size, 128, static_cast<size_t>(kSlotBytes - size));
    slot.header.bufferLength = static_cast<uint32_t>(size);
    slot.header.userValue = userValue;
    slot.header.data = slot.data.get();

    const uint8_t* buffer = slot.data.get();
    if (OnPlayData) {
        OnPlayData(this, slot.header, buffer);
        if (!alive) return;
    }
    const int length = static_cast<int>(std::min<uint32_t>(slot.header.bufferLength, kSlotBytes));
    if (buffer != nullptr && buffer != slot.data.get())
        std::memmove(slot.data.get(), buffer, static_cast<size_t>(length));
    slot.header.bufferLength = static_cast<uint32_t>(length);
    slot.header.data = slot.data.get();

    slot.held = true;
    slot.ticket = ++m_lastTicket;
    slot.joined = joined;
    slot.lastPiece = lastPiece;
    if (joined)
        joined->bytes.insert(joined->bytes.end(), slot.data.get(), slot.data.get() + length);
    // A buffer that closes the device is a barrier: what is queued after it must not sound
    // before its notice has been handled (and the close drops it).
    const bool barrier = lastPiece && slot.header.userValue == 0;
    m_slotIndex = (m_slotIndex + 1) % kSlotCount;
    m_device->write(slot.ticket, slot.data.get(), length, barrier);
}

void TVelWaveCtrl::HandleDeviceNotice(const cwt::WaveDevice::Notice& notice) {
    switch (notice.kind) {
        case cwt::WaveDevice::Notice::Kind::Opened:
            if (OnPlayStart) OnPlayStart(this);
            break;
        case cwt::WaveDevice::Notice::Kind::Closed:
            if (OnPlayStop) OnPlayStop(this);
            break;
        case cwt::WaveDevice::Notice::Kind::Done:
            HandleDone(notice);
            break;
    }
}

const uint8_t* TVelWaveCtrl::KeepDoneBytes(const Slot& slot, int depth) {
    // The slot is free again once its notice arrives (a handler may queue into it), so the
    // handlers see a copy; one per nesting level of handlers.
    while (static_cast<int>(m_doneCopies.size()) <= depth)
        m_doneCopies.push_back(std::make_unique<uint8_t[]>(kSlotBytes));
    uint8_t* copy = m_doneCopies[static_cast<size_t>(depth)].get();
    std::memcpy(copy, slot.data.get(), slot.header.bufferLength);
    return copy;
}

void TVelWaveCtrl::HandleDone(const cwt::WaveDevice::Notice& notice) {
    auto found = std::find_if(m_slots.begin(), m_slots.end(), [&](const auto& slot) {
        return slot->held && slot->ticket == notice.ticket;
    });
    if (found == m_slots.end()) return;  // forgotten when the device closed
    Slot& slot = **found;
    std::shared_ptr<Joined> joined = std::move(slot.joined);
    slot.joined.reset();

    if (joined && !slot.lastPiece) {
        slot.held = false;
        if (notice.failed) joined->failed = true;
        return;
    }
    const bool failed = notice.failed || (joined && joined->failed);
    TWaveHdr header = slot.header;
    header.flags |= kWaveHdrDone | (failed ? kWaveHdrFailed : 0u);
    if (joined) {
        header.data = joined->bytes.data();
        header.bufferLength = static_cast<uint32_t>(joined->bytes.size());
        header.userValue = joined->userValue;
    } else {
        header.data = KeepDoneBytes(slot, m_doneDepth);
    }
    slot.held = false;

    bool reportDevice = false;
    if (!failed) {
        m_deviceErrorReported = false;
    } else if (!m_deviceErrorReported) {
        m_deviceErrorReported = true;
        reportDevice = true;
    }

    QPointer<TVelWaveCtrl> alive(this);
    if (OnPlayDone) {
        ++m_doneDepth;
        OnPlayDone(this, &header, header.data);
        if (!alive) return;
        --m_doneDepth;
    }
    if (!failed && m_playSoundRecord && m_playing && m_recording) {
        RecordBuffer(header);
        if (!alive) return;
    }
    if (header.userValue == 0) CloseDevice();
    if (reportDevice && OnDeviceError) {
        const QString reason = m_device->lastError();
        OnDeviceError(this, reason.isEmpty()
                                ? QStringLiteral("소리를 낼 수 없습니다.")
                                : QStringLiteral("소리를 낼 수 없습니다: %1").arg(reason));
    }
}
