// The wave component's rules on the simulated device: user values, slots, oversize blocks,
// failures and destruction.

#include <QPointer>
#include <QtTest>
#include <vector>

#include "sound/SimulatedWaveDevice.h"
#include "sound/VelWaveCtrl.h"
#include "tests/sound/support/AudioTestSupport.h"

using cwt::SimulatedWaveDevice;

namespace {

struct Done {
    uint32_t userValue;
    QByteArray bytes;
    bool playingDuringHandler;
    bool failed;
};

std::vector<uint8_t> Pattern(int size, int seed) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 7 + seed * 31) % 251);
    return bytes;
}

QByteArray Bytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

}  // namespace

class TestVelWaveCtrl : public QObject {
    Q_OBJECT

    SimulatedWaveDevice* m_device = nullptr;
    std::unique_ptr<TVelWaveCtrl> m_wave;
    std::vector<Done> m_dones;

    void make(SimulatedWaveDevice::Clock clock = SimulatedWaveDevice::Clock::Instant) {
        auto device = std::make_unique<SimulatedWaveDevice>(clock);
        m_device = device.get();
        m_wave = std::make_unique<TVelWaveCtrl>(nullptr, std::move(device));
        m_dones.clear();
        m_wave->OnPlayDone = [this](TVelWaveCtrl* sender, const TWaveHdr* header,
                                    const uint8_t* buffer) {
            m_dones.push_back(
                {header->userValue,
                 QByteArray(reinterpret_cast<const char*>(buffer), header->bufferLength),
                 sender->Playing(), (header->flags & kWaveHdrFailed) != 0});
        };
    }
    bool waitIdle(int timeoutMs = 5000) {
        return cwt::test::WaitUntil([this] { return !m_wave->Playing(); }, timeoutMs);
    }
    QByteArray played() const { return Bytes(m_device->played()); }

private slots:
    void cleanup() { m_wave.reset(); }

    void bufferWithUserValueZeroClosesAndDropsWhatFollows() {
        make();
        const auto a = Pattern(100, 1), b = Pattern(200, 2), c = Pattern(300, 3);
        m_wave->PlayBuffer(a.data(), 100, 66, 0);
        m_wave->PlayBuffer(b.data(), 200, 0, 0);
        m_wave->PlayBuffer(c.data(), 300, 0, 0);
        QVERIFY(m_wave->Playing());
        QVERIFY(waitIdle());
        QCoreApplication::processEvents();
        QCOMPARE(m_dones.size(), size_t(2));
        QCOMPARE(m_dones[0].userValue, 66u);
        QCOMPARE(m_dones[1].userValue, 0u);
        QCOMPARE(m_dones[0].bytes, Bytes(a));
        QCOMPARE(m_dones[1].bytes, Bytes(b));
        // OnPlayDone runs while Playing is still true, also for the buffer that closes.
        QVERIFY(m_dones[0].playingDuringHandler);
        QVERIFY(m_dones[1].playingDuringHandler);
        QCOMPARE(played(), Bytes(a) + Bytes(b));
        QVERIFY(!m_device->isOpen());
    }

    void userHighKeepsTheDeviceOpen() {
        make();
        const auto a = Pattern(50, 4);
        int starts = 0, stops = 0;
        m_wave->OnPlayStart = [&](TVelWaveCtrl*) { ++starts; };
        m_wave->OnPlayStop = [&](TVelWaveCtrl*) { ++stops; };
        m_wave->PlayBuffer(a.data(), 50, 0, 5);
        QVERIFY(cwt::test::WaitUntil([&] { return m_dones.size() == 1; }, 2000));
        QCOMPARE(m_dones[0].userValue, 1280u);
        QVERIFY(m_wave->Playing());
        QVERIFY(m_device->isOpen());
        m_wave->PlayBuffer(a.data(), 50, 0, 0);
        QVERIFY(waitIdle());
        QVERIFY(cwt::test::WaitUntil([&] { return stops == 1; }, 2000));
        QCOMPARE(starts, 1);
        QCOMPARE(m_wave->AutoStop(), true);
    }

    void fifthBufferWaitsForSlotZeroAndNothingIsOverwritten() {
        make();
        std::vector<const uint8_t*> slotsWritten;
        m_wave->OnPlayData = [&](TVelWaveCtrl*, TWaveHdr&, const uint8_t*& buffer) {
            slotsWritten.push_back(buffer);
        };
        std::vector<std::vector<uint8_t>> letters;
        for (int i = 0; i < 6; ++i) letters.push_back(Pattern(1000 + i, i));
        size_t donesBeforeFifth = 0;
        for (int i = 0; i < 6; ++i) {
            if (i == 4) donesBeforeFifth = m_dones.size();
            m_wave->PlayBuffer(letters[i].data(), static_cast<int>(letters[i].size()),
                               static_cast<uint8_t>(i < 5 ? 'A' + i : 0), 0);
            if (i == 4) QVERIFY(m_dones.size() > donesBeforeFifth);  // it waited for slot 0
        }
        QCOMPARE(donesBeforeFifth, size_t(0));
        QVERIFY(waitIdle());
        QCOMPARE(m_dones.size(), size_t(6));
        QByteArray all;
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(m_dones[i].bytes, Bytes(letters[i]));
            all += Bytes(letters[i]);
        }
        QCOMPARE(played(), all);
        QCOMPARE(slotsWritten.size(), size_t(6));
        QCOMPARE(slotsWritten[4], slotsWritten[0]);
        QCOMPARE(slotsWritten[5], slotsWritten[1]);
        QVERIFY(slotsWritten[1] != slotsWritten[0]);
    }

    void blockLongerThanASlotIsOneBuffer() {
        make();
        int writes = 0;
        m_wave->OnPlayData = [&](TVelWaveCtrl*, TWaveHdr& header, const uint8_t*&) {
            ++writes;
            QVERIFY(header.bufferLength <= 65535u);
        };
        const auto block = Pattern(150000, 9);
        m_wave->PlayBuffer(block.data(), 150000, 9, 0);
        QVERIFY(cwt::test::WaitUntil([&] { return !m_dones.empty(); }, 2000));
        QCoreApplication::processEvents();
        QCOMPARE(writes, 3);
        QCOMPARE(m_dones.size(), size_t(1));
        QCOMPARE(m_dones[0].userValue, 9u);
        QCOMPARE(m_dones[0].bytes, Bytes(block));
        QVERIFY(m_wave->Playing());  // the caller's non-zero user value keeps it open

        m_dones.clear();
        m_device->clearPlayed();
        m_wave->PlayBuffer(block.data(), 150000, 0, 0);
        QVERIFY(waitIdle());
        QCOMPARE(m_dones.size(), size_t(1));
        QCOMPARE(m_dones[0].bytes, Bytes(block));
        QCOMPARE(played(), Bytes(block));
    }

    void emptyBufferStillCompletes() {
        make();
        m_wave->PlayBuffer(nullptr, 0, 0, 0);
        QVERIFY(waitIdle());
        QCOMPARE(m_dones.size(), size_t(1));
        QCOMPARE(m_dones[0].bytes.size(), 0);
        m_wave->PlayBuffer(nullptr, -4, 0, 0);
        QVERIFY(waitIdle());
    }

    void playDataHandlerMayReplaceTheBytes() {
        make();
        static const uint8_t other[3] = {1, 2, 3};
        m_wave->OnPlayData = [](TVelWaveCtrl*, TWaveHdr& header, const uint8_t*& buffer) {
            buffer = other;
            header.bufferLength = 3;
        };
        const auto a = Pattern(500, 5);
        m_wave->PlayBuffer(a.data(), 500, 0, 0);
        QVERIFY(waitIdle());
        QCOMPARE(played(), QByteArray("\x01\x02\x03", 3));
        QCOMPARE(m_dones[0].bytes, QByteArray("\x01\x02\x03", 3));
    }

    void deviceThatCannotOpenNeverLeavesPlayingSet() {
        make();
        QStringList errors;
        m_wave->OnDeviceError = [&](TVelWaveCtrl*, const QString& message) { errors << message; };
        m_device->setFailOpen(true);
        const auto a = Pattern(100, 1);
        m_wave->PlayBuffer(a.data(), 100, 'B', 0);
        m_wave->PlayBuffer(a.data(), 100, 0, 0);
        QVERIFY(waitIdle());
        QCOMPARE(m_dones.size(), size_t(2));
        QVERIFY(m_dones[0].failed && m_dones[1].failed);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].startsWith(QStringLiteral("소리를 낼 수 없습니다")));
        QVERIFY(m_device->played().empty());

        m_device->setFailOpen(false);
        m_device->recover();
        m_dones.clear();
        m_wave->PlayBuffer(a.data(), 100, 0, 0);
        QVERIFY(waitIdle());
        QVERIFY(!m_dones.at(0).failed);
    }

    void deviceFailingMidSignCompletesEveryLetter() {
        make(SimulatedWaveDevice::Clock::RealTime);
        int errors = 0;
        m_wave->OnDeviceError = [&](TVelWaveCtrl*, const QString&) { ++errors; };
        m_device->failAfter(1);
        const auto a = Pattern(110, 1);  // 10 ms each
        m_wave->PlayBuffer(a.data(), 110, 'B', 0);
        m_wave->PlayBuffer(a.data(), 110, 'C', 0);
        m_wave->PlayBuffer(a.data(), 110, 0, 0);
        QVERIFY(waitIdle());
        QCOMPARE(m_dones.size(), size_t(3));
        QVERIFY(!m_dones[0].failed);
        QVERIFY(m_dones[1].failed && m_dones[2].failed);
        QCOMPARE(errors, 1);
    }

    void destroyedInsideItsOwnNoticeWhileACallerWaits() {
        make();
        TVelWaveCtrl* wave = m_wave.release();
        QPointer<TVelWaveCtrl> watch(wave);
        int dones = 0;
        wave->OnPlayDone = [&](TVelWaveCtrl* sender, const TWaveHdr*, const uint8_t*) {
            ++dones;
            delete sender;
        };
        const auto a = Pattern(100, 1);
        for (int i = 0; i < 6 && watch; ++i) wave->PlayBuffer(a.data(), 100, 'X', 0);
        QVERIFY(watch.isNull());
        QCOMPARE(dones, 1);
        QCoreApplication::processEvents();  // notices of the dead device go nowhere
    }

    void destructionFinishesTheRecordingAndClosesTheDevice() {
        QTemporaryDir dir;
        make(SimulatedWaveDevice::Clock::RealTime);
        m_wave->setPlaySoundRecord(true);
        m_wave->setFileName(dir.filePath(QStringLiteral("end.wav")));
        m_wave->StartRecording();
        QVERIFY(m_wave->Recording());
        bool stopped = false;
        m_wave->OnRecordStop = [&](TVelWaveCtrl*) { stopped = true; };
        const auto a = Pattern(1103, 1);  // 100 ms
        m_wave->PlayBuffer(a.data(), 1103, 'B', 0);
        QVERIFY(cwt::test::WaitUntil([&] { return m_dones.size() == 1; }, 2000));
        m_wave->PlayBuffer(a.data(), 1103, 0, 0);  // still sounding when the component goes
        m_wave.reset();
        QVERIFY(!stopped);  // the owner's events are not called from the destructor
        const QByteArray file = cwt::test::ReadAll(dir.filePath(QStringLiteral("end.wav")));
        QCOMPARE(file.size(), 58 + 1103 + 1);
        QCOMPARE(file.mid(58, 1103), Bytes(a));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("end.wav.tmp"))));
        QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(TestVelWaveCtrl)
#include "tst_VelWaveCtrl.moc"
