// The PC speaker: the bytes written to the timer ports, the rhythm of the speaker path of the
// code player, and the wait that keeps the window responsive.

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QtTest>
#include <ctime>
#include <functional>
#include <vector>

#include "sound/CodePlayer.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/SoundBeepUnit.h"
#include "sound/VelWaveCtrl.h"

namespace {

// A speaker control register and a log of every byte written, with the time it was written.
class RecordingPorts : public cwt::SpeakerPorts {
public:
    struct Write {
        uint16_t port;
        uint8_t value;
        qint64 atMs;
    };
    bool permitted = true;
    uint8_t control = 0;
    int reads = 0;
    std::vector<Write> writes;
    QElapsedTimer clock;

    RecordingPorts() { clock.start(); }
    bool acquire() override { return permitted; }
    uint8_t in(uint16_t port) override {
        ++reads;
        return port == cwt::kSpeakerControlPort ? control : 0xFF;
    }
    void out(uint16_t port, uint8_t value) override {
        if (port == cwt::kSpeakerControlPort) control = value;
        writes.push_back({port, value, clock.elapsed()});
    }
    std::vector<std::pair<uint16_t, uint8_t>> bytes() const {
        std::vector<std::pair<uint16_t, uint8_t>> out;
        for (const Write& w : writes) out.push_back({w.port, w.value});
        return out;
    }
};

struct RecordingBeeper : cwt::Beeper {
    std::vector<std::pair<int, int>> beeps;
    std::function<void()> whileSounding;
    void beep(int frequencyHz, int durationMs) override {
        beeps.push_back({frequencyHz, durationMs});
        if (whileSounding) whileSounding();
    }
};

using Bytes = std::vector<std::pair<uint16_t, uint8_t>>;

}  // namespace

class TestPcSpeaker : public QObject {
    Q_OBJECT

private slots:
    void portBytesOfATone() {
        RecordingPorts ports;
        cwt::SpeakerOn(ports, 1000);  // divisor 1193 = 0x04A9
        QCOMPARE(ports.bytes(), (Bytes{{0x61, 0x03}, {0x43, 0xB6}, {0x42, 0xA9}, {0x42, 0x04}}));
        ports.writes.clear();
        cwt::SpeakerOn(ports, 2000);  // the gate is open already: only the divisor
        QCOMPARE(ports.bytes(), (Bytes{{0x42, 0x54}, {0x42, 0x02}}));
        ports.writes.clear();
        ports.control = 0x4F;
        cwt::SpeakerOff(ports);
        QCOMPARE(ports.bytes(), (Bytes{{0x61, 0x4C}}));
    }

    void tooLowAFrequencyIsSilenceForTheFullDuration() {
        RecordingPorts ports;
        QElapsedTimer clock;
        clock.start();
        cwt::PortTone(ports, 18, 60);
        QVERIFY(clock.elapsed() >= 60);
        QCOMPARE(ports.bytes(), (Bytes{{0x61, 0x00}}));  // only the speaker-off
        ports.writes.clear();
        cwt::PortTone(ports, 19, 1);
        QCOMPARE(ports.writes.at(2).port, uint16_t(0x42));
    }

    void portAccessIsAskedBeforeAnyRead() {
        RecordingPorts refused;
        refused.permitted = false;
        QVERIFY(!cwt::PortAccessTest(refused));
        QCOMPARE(refused.reads, 0);
        RecordingPorts granted;
        QVERIFY(cwt::PortAccessTest(granted));
        QCOMPARE(granted.reads, 1);
        QVERIFY(granted.writes.empty());
    }

    void waitHandlesEventsWithoutSpinning() {
        bool ran = false;
        QMetaObject::invokeMethod(
            this, [&] { ran = true; }, Qt::QueuedConnection);
        cwt::WaitMs(0);
        QVERIFY(ran);  // events are handled once even for no wait

        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start(10);
        QElapsedTimer clock;
        clock.start();
        const std::clock_t cpuBefore = std::clock();
        cwt::WaitMs(200);
        const double cpuMs =
            1000.0 * static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY(clock.elapsed() < 300);
        QVERIFY(ticks >= 10);
        QVERIFY2(cpuMs < 40, qPrintable(QString::number(cpuMs)));
    }

    void speakerPathKeepsTheRhythmOnThePorts() {
        // SmallEdit 12: DotLength 120, a unit of 57 ms; S, L, gap mark at 897 Hz.
        TVelWaveCtrl wave(nullptr, std::make_unique<cwt::SimulatedWaveDevice>());
        RecordingPorts ports;
        cwt::CodePlayer player(wave, cwt::SpeakerOutput{&ports, true, nullptr});
        cwt::CodeSettings settings;
        settings.dotLength = 120;
        settings.pcSpeaker = true;
        settings.toneWidth = 9;  // the tone width has no effect on this path
        const qint64 start = ports.clock.elapsed();
        player.PlayCode("SL!", false, settings);
        const qint64 total = ports.clock.elapsed() - start;
        std::vector<qint64> edges;  // speaker on and off, from the control register writes
        for (const auto& w : ports.writes)
            if (w.port == 0x61) edges.push_back(w.atMs - start);
        QCOMPARE(edges.size(), size_t(4));
        const qint64 expected[] = {0, 57, 114, 285};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(edges[i] >= expected[i] && edges[i] <= expected[i] + 30,
                     qPrintable(QStringLiteral("edge %1 at %2 ms").arg(i).arg(edges[i])));
        QVERIFY2(total >= 684 && total <= 684 + 50, qPrintable(QString::number(total)));
        QVERIFY(!wave.Playing());
        const Bytes divisor = {{0x42, static_cast<uint8_t>((1193181 / 897) & 0xFF)},
                               {0x42, static_cast<uint8_t>((1193181 / 897) >> 8)}};
        const Bytes written = ports.bytes();
        QCOMPARE(Bytes(written.begin() + 2, written.begin() + 4), divisor);

        QElapsedTimer clock;
        clock.start();
        player.PlayCode("SSS", false, settings);
        QVERIFY2(clock.elapsed() >= 342 && clock.elapsed() <= 342 + 50,
                 qPrintable(QString::number(clock.elapsed())));
    }

    void withoutPortsTheBeeperSoundsEveryTone() {
        TVelWaveCtrl wave(nullptr, std::make_unique<cwt::SimulatedWaveDevice>());
        RecordingBeeper beeper;
        cwt::CodePlayer player(wave, cwt::SpeakerOutput{nullptr, false, &beeper});
        cwt::CodeSettings settings;
        settings.pcSpeaker = true;
        settings.dotLength = 30;  // 14 ms
        settings.tone.freqHz = 1400;
        QElapsedTimer clock;
        clock.start();
        player.PlayCode("L S!", true, settings);  // a silent element in the middle
        QCOMPARE(beeper.beeps, (std::vector<std::pair<int, int>>{{1400, 42}, {1400, 14}}));
        // The beeper takes the tones' time; the gaps, the silent element and the 13-unit
        // syllable end are waited out here: 1 + 1 + 1 + 13 units.
        QVERIFY(clock.elapsed() >= 16 * 14);

        auto sign = player.BeginSign(settings);
        sign.QueueCode("S", 'T', false);
        sign.QueueCode("L!", 0, false);
        sign.Finish();
        QCOMPARE(beeper.beeps.size(), size_t(4));
        QVERIFY(!wave.Playing());
    }

    void everyToneTakesTheFrequencyTheBarHasAsItStarts() {
        TVelWaveCtrl wave(nullptr, std::make_unique<cwt::SimulatedWaveDevice>());
        RecordingBeeper beeper;
        int barHz = 600;
        beeper.whileSounding = [&] { barHz += 100; };  // the operator drags the bar meanwhile
        cwt::CodePlayer player(wave, cwt::SpeakerOutput{nullptr, false, &beeper});
        player.setSpeakerFrequency([&] { return barHz; });
        cwt::CodeSettings settings;
        settings.pcSpeaker = true;
        settings.dotLength = 10;
        settings.tone.freqHz = 897;  // what the bar said when the code started
        player.PlayCode("SLS", false, settings);
        auto sign = player.BeginSign(settings);
        sign.QueueCode("L", 'E', false);
        sign.QueueCode("S!", 0, false);
        sign.Finish();
        QCOMPARE(beeper.beeps, (std::vector<std::pair<int, int>>{
                                   {600, 5}, {700, 15}, {800, 5}, {900, 15}, {1000, 5}}));
    }

    void kernelSpeakerGetsEachToneAndItsEndAndARefusedToneStillTakesItsTime() {
        int pipeFds[2];
        QVERIFY(::pipe(pipeFds) == 0);
        QElapsedTimer clock;
        {
            cwt::SystemBeeper beeper(pipeFds[1]);
            clock.start();
            beeper.beep(1000, 60);
            QVERIFY(clock.elapsed() >= 60);
            QCOMPARE(beeper.way(), cwt::SystemBeeper::Way::KernelSpeaker);
        }
        input_event events[3] = {};
        QCOMPARE(::read(pipeFds[0], events, sizeof events), ssize_t(2 * sizeof(input_event)));
        ::close(pipeFds[0]);
        QCOMPARE(events[0].type, EV_SND);
        QCOMPARE(events[0].code, SND_TONE);
        QCOMPARE(events[0].value, 1000);
        QCOMPARE(events[1].value, 0);

        // A device that refuses every tone (unplugged, say); with no sound server either, the
        // tone becomes a silent wait of its whole length, this time and from now on.
        const QByteArray server = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:/nonexistent/cwt-no-server");
        cwt::SystemBeeper refused(::open("/dev/full", O_WRONLY | O_CLOEXEC));
        clock.restart();
        refused.beep(1000, 80);
        QVERIFY2(clock.elapsed() >= 80, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(refused.way(), cwt::SystemBeeper::Way::Silent);
        clock.restart();
        refused.beep(1000, 40);
        QVERIFY(clock.elapsed() >= 40);
        if (server.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", server);
    }
};

QTEST_GUILESS_MAIN(TestPcSpeaker)
#include "tst_PcSpeaker.moc"
