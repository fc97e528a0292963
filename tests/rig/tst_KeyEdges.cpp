// The key edges a send hands to the keying thread, against the tones of the same send: the
// engine's schedule equals the tone edges of the rendered sound sample for sample, and the
// keyer's absolute times are those samples turned into time, whatever the speed, for signs,
// Hangul, marks and letters longer than one buffer slot; with the sidetone off the same key
// comes with silence of the same length. On an output that tells when each letter sounds, no
// letter is keyed before the output has told it.

#include <sys/ioctl.h>

#include <QtTest>

#include "engine/keying/KeySchedule.h"
#include "engine/morse/TextPrep.h"
#include "engine/morse/Timing.h"
#include "rig/KeyingThread.h"
#include "rig/TransmitterKeyer.h"
#include "sound/CodePlayer.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/SoundBeepUnit.h"
#include "sound/VelWaveCtrl.h"
#include "sound/WholeSend.h"
#include "tests/common/FakeSerialPort.h"

namespace {

struct Sent {
    std::vector<uint8_t> played;
    std::vector<cwt::TimedEdge> handed;
};

cwt::KeyingSettings SerialKeying(bool sidetone = true) {
    cwt::KeyingSettings keying;
    keying.sidetone = sidetone;
    return keying;
}

// Keys `player`'s sends on the fake port, at ordinary priority, and collects every edge the
// keyer hands to its thread.
bool KeyAlongside(cwt::TransmitterKeyer& keyer, cwt::CodePlayer& player,
                  std::vector<cwt::TimedEdge>& handed, bool sidetone = true) {
    keyer.threadOptions.realtime = false;
    keyer.onHandOver = [&handed](std::span<const cwt::TimedEdge> edges) {
        handed.insert(handed.end(), edges.begin(), edges.end());
    };
    player.setListener(&keyer);
    return keyer.start(SerialKeying(sidetone));
}

// Sends `text` (code page 949) as the Start button would, on a device that completes every
// buffer at once, with a transmitter keyed alongside on the fake port.
Sent SendKeyed(std::string_view text, const cwt::CodeSettings& settings,
               const cwt::WholeSendOptions& options, bool sidetone = true) {
    cwt::test::ResetFakePort();
    auto device = std::make_unique<cwt::SimulatedWaveDevice>();
    cwt::SimulatedWaveDevice* output = device.get();
    TVelWaveCtrl wave(nullptr, std::move(device));
    cwt::CodePlayer player(wave, {});
    cwt::TransmitterKeyer keyer(&wave, cwt::test::FakeSerialCalls());
    Sent sent;
    if (!KeyAlongside(keyer, player, sent.handed, sidetone)) return sent;
    cwt::SendWholeText(player, text, options, settings);
    sent.played = output->played();
    return sent;
}

// Where the rendered sound turns from silence to tone and back, in samples.
std::vector<cwt::KeyEdge> ToneEdges(const std::vector<uint8_t>& bytes, uint8_t silence = 128) {
    std::vector<cwt::KeyEdge> edges;
    bool tone = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if ((bytes[i] != silence) == tone) continue;
        tone = !tone;
        edges.push_back({static_cast<int64_t>(i), tone});
    }
    if (tone) edges.push_back({static_cast<int64_t>(bytes.size()), false});
    return edges;
}

int64_t SampleNs(int64_t sample) { return (sample * 1'000'000'000 + 11025 / 2) / 11025; }

// An output that tells when each letter sounds when the test says so, as a sound server's
// timing does some milliseconds after the letter was queued.
class TellingDevice : public cwt::SimulatedWaveDevice {
public:
    uint64_t askSoundTime() override { return ++m_asked; }
    void setStartLeadMs(int leadMs) override { m_leadMs = leadMs; }
    void tell(uint64_t id, int64_t timeNs) { emit soundTimeKnown(id, timeNs / 1000); }
    uint64_t asked() const { return m_asked; }
    int leadMs() const { return m_leadMs; }

private:
    uint64_t m_asked = 0;
    int m_leadMs = 0;
};

// A player on a TellingDevice, keyed alongside on the fake port.
struct ToldKeying {
    ToldKeying() {
        cwt::test::ResetFakePort();
        auto owned = std::make_unique<TellingDevice>();
        device = owned.get();
        wave = std::make_unique<TVelWaveCtrl>(nullptr, std::move(owned));
        player = std::make_unique<cwt::CodePlayer>(*wave, cwt::SpeakerOutput{});
        keyer = std::make_unique<cwt::TransmitterKeyer>(wave.get(), cwt::test::FakeSerialCalls());
        started = KeyAlongside(*keyer, *player, handed);
    }
    TellingDevice* device = nullptr;
    std::unique_ptr<TVelWaveCtrl> wave;
    std::unique_ptr<cwt::CodePlayer> player;
    std::unique_ptr<cwt::TransmitterKeyer> keyer;
    std::vector<cwt::TimedEdge> handed;
    bool started = false;
};

constexpr int64_t kSecondNs = 1'000'000'000;

// A second from now, in whole microseconds as the output tells it.
int64_t ASecondFromNowNs() { return (cwt::MonotonicNowNs() + kSecondNs) / 1000 * 1000; }

cwt::CodeSettings Speed(int multiplier, int width) {
    cwt::CodeSettings settings;
    settings.dotLength = 30 * multiplier;
    settings.toneWidth = width;
    return settings;
}

}  // namespace

class TestKeyEdges : public QObject {
    Q_OBJECT

private slots:
    void keyEdgesAreTheToneEdgesOfTheRenderedSend_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("multiplier");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("marks");
        // 한글, 예: Hangul with its syllable gap and a silent element inside a letter.
        const QByteArray mixed("CQ \xC7\xD1\xB1\xDB \xBF\xB9 [AR] 599 73?\r\nDE HL0CW [BT] K");
        QTest::newRow("x1 width 1") << mixed << 1 << 1 << true;
        QTest::newRow("x5 width 4") << mixed << 5 << 4 << false;
        // A unit of 3300 samples: letters longer than one 65,535-byte slot, played in pieces.
        QTest::newRow("x10 width 10") << QByteArray("0 \xBF\xB9 [SK]") << 10 << 10 << true;
    }
    void keyEdgesAreTheToneEdgesOfTheRenderedSend() {
        QFETCH(QByteArray, text);
        QFETCH(int, multiplier);
        QFETCH(int, width);
        QFETCH(bool, marks);
        const cwt::CodeSettings settings = Speed(multiplier, width);
        cwt::WholeSendOptions options;
        options.startEndMarks = marks;
        const Sent sent = SendKeyed(text.toStdString(), settings, options);
        const std::vector<cwt::KeyEdge> tones = ToneEdges(sent.played);
        QVERIFY(tones.size() > 40);

        // The engine's schedule of the whole send, in samples.
        const std::string tidied = cwt::Tidy(text.toStdString(), cwt::SendTidying(true, true));
        const cwt::KeySchedule schedule = cwt::KeyScheduleOfSend(
            cwt::PlanWholeSend(tidied, {marks, true}), cwt::ToneUnit(width, 30 * multiplier));
        QCOMPARE(schedule.edges, tones);
        QCOMPARE(schedule.length, static_cast<int64_t>(sent.played.size()));

        // What the keying thread was given: the same samples, turned into time from one anchor.
        QCOMPARE(sent.handed.size(), tones.size());
        const int64_t anchor = sent.handed.front().atNs - SampleNs(tones.front().at);
        for (size_t i = 0; i < tones.size(); ++i) {
            QCOMPARE(sent.handed[i].down, tones[i].down);
            QCOMPARE(sent.handed[i].atNs - anchor, SampleNs(tones[i].at));
        }
    }

    // The copy practice's slower effective speed: silence after a letter's own gaps.
    void extraSilenceAfterALetterMovesTheNextKeyAsFar() {
        cwt::test::ResetFakePort();
        auto device = std::make_unique<cwt::SimulatedWaveDevice>();
        cwt::SimulatedWaveDevice* output = device.get();
        TVelWaveCtrl wave(nullptr, std::move(device));
        cwt::CodePlayer player(wave, {});
        cwt::TransmitterKeyer keyer(&wave, cwt::test::FakeSerialCalls());
        std::vector<cwt::TimedEdge> handed;
        QVERIFY(KeyAlongside(keyer, player, handed));
        const cwt::CodeSettings settings = Speed(1, 1);
        player.PlayCode("SL!", false, settings, 1234);
        auto sign = player.BeginSign(settings);
        sign.QueueCode("LS", 'K', false, 77);
        sign.QueueCode("SLS!", 0, false, 500);
        sign.Finish();
        player.PlayCode("S!", false, settings);
        const std::vector<cwt::KeyEdge> tones = ToneEdges(output->played());
        QCOMPARE(handed.size(), tones.size());
        const int64_t anchor = handed.front().atNs - SampleNs(tones.front().at);
        for (size_t i = 0; i < tones.size(); ++i)
            QCOMPARE(handed[i].atNs - anchor, SampleNs(tones[i].at));
    }

    void withoutSidetoneTheSameKeyComesWithSilenceAsLong() {
        const QByteArray text("\xC7\xD1 [AR] E");
        const cwt::CodeSettings settings = Speed(1, 2);
        const Sent loud = SendKeyed(text.toStdString(), settings, {});
        const Sent quiet = SendKeyed(text.toStdString(), settings, {}, false);
        QCOMPARE(quiet.played.size(), loud.played.size());
        QVERIFY(std::all_of(quiet.played.begin(), quiet.played.end(),
                            [](uint8_t b) { return b == 128; }));
        QCOMPARE(quiet.handed.size(), loud.handed.size());
        for (size_t i = 0; i < loud.handed.size(); ++i)
            QCOMPARE(quiet.handed[i].atNs - quiet.handed[0].atNs,
                     loud.handed[i].atNs - loud.handed[0].atNs);
    }

    // Letters wait for the output to tell when they sound and are keyed from there, in order;
    // keying asks for silence in front of a fresh sound and gives it back when it ends.
    void lettersAreKeyedWhereTheOutputSaysTheySound() {
        ToldKeying k;
        QVERIFY(k.started);
        QVERIFY(k.device->leadMs() > 0);
        const cwt::CodeSettings settings = Speed(1, 4);
        k.player->PlayCode("SL!", false, settings);
        k.player->PlayCode("LS!", false, settings);
        QCOMPARE(k.device->asked(), uint64_t(2));
        QVERIFY(k.handed.empty());  // played, but not yet told

        const int64_t at = ASecondFromNowNs();
        k.device->tell(1, at);
        QCOMPARE(k.handed.size(), size_t(4));
        QCOMPARE(k.handed[0].atNs, at);
        QCOMPARE(k.handed[3].atNs, at + SampleNs(5 * cwt::ToneUnit(4, 30)));
        // The second letter follows the first: the output says where, the key goes there.
        k.device->tell(2, at + 12'000'000);
        QCOMPARE(k.handed.size(), size_t(8));
        QCOMPARE(k.handed[4].atNs, at + 12'000'000);
        QVERIFY(k.handed[4].letter != k.handed[0].letter);

        k.keyer->finish();
        QCOMPARE(k.device->leadMs(), 0);
    }

    // A letter the output never plays is never keyed (a stop forgot it, or the output failed),
    // and a stop drops the letters still waiting; the letters after them are keyed as told.
    void lettersThatNeverSoundAreNotKeyed() {
        ToldKeying k;
        QVERIFY(k.started);
        const cwt::CodeSettings settings = Speed(1, 4);
        const int64_t at = ASecondFromNowNs();
        k.player->PlayCode("S!", false, settings);
        k.device->tell(1, -1000);
        QVERIFY(k.handed.empty());

        k.player->PlayCode("S!", false, settings);
        k.player->PlayCode("S!", false, settings);
        k.keyer->stopSending();
        k.device->tell(2, at);
        k.device->tell(3, at + kSecondNs / 10);
        QVERIFY(k.handed.empty());

        k.player->PlayCode("L!", false, settings);
        k.device->tell(4, at);
        QCOMPARE(k.handed.size(), size_t(2));
        QCOMPARE(k.handed[0].atNs, at);
    }

    // A live key that breaks into a send takes over from letters still waiting for their
    // sound too: told afterwards, they are not keyed.
    void aLiveKeyDropsTheLettersStillWaiting() {
        ToldKeying k;
        QVERIFY(k.started);
        k.player->PlayCode("SL!", false, Speed(1, 4));
        QVERIFY(k.handed.empty());
        const int64_t nowNs = cwt::MonotonicNowNs();
        const cwt::keyer::KeyEdge live[] = {{true, cwt::keyer::KeyTime{nowNs}},
                                            {false, cwt::keyer::KeyTime{nowNs + 50'000'000}}};
        QCOMPARE(k.keyer->keyLive(live), cwt::TransmitterKeyer::LiveKeying::Keyed);
        QCOMPARE(k.handed.size(), size_t(2));
        k.device->tell(1, ASecondFromNowNs());
        QCOMPARE(k.handed.size(), size_t(2));
    }

    // Told too late for its first edge (the machine held the program up), a letter is keyed
    // whole from a moment later, and the letters that follow it without a pause keep their
    // distance from it; after a pause the key is back on the sound.
    void aLetterToldLateIsKeyedWholeAndItsFollowersWithIt() {
        ToldKeying k;
        QVERIFY(k.started);
        const cwt::CodeSettings settings = Speed(1, 4);
        const int64_t unitNs = SampleNs(cwt::ToneUnit(4, 30));
        for (int i = 0; i < 3; ++i) k.player->PlayCode("SS!", false, settings);  // 10 units each
        const int64_t told = cwt::MonotonicNowNs();
        const int64_t past = (told - 5 * unitNs) / 1000 * 1000;
        const int64_t next = (past + 10 * unitNs + 500) / 1000 * 1000;
        k.device->tell(1, past);
        k.device->tell(2, next);
        QCOMPARE(k.handed.size(), size_t(8));
        QVERIFY(k.handed[0].atNs >= told);
        QCOMPARE(k.handed[1].atNs - k.handed[0].atNs, unitNs);
        QCOMPARE(k.handed[4].atNs - k.handed[0].atNs, next - past);

        const int64_t later = ASecondFromNowNs();
        k.device->tell(3, later);
        QCOMPARE(k.handed[8].atNs, later);
    }

    // On the PC speaker the unit is DotMs, and each letter's key starts when it is played.
    void onThePcSpeakerTheKeyCountsInDotMs() {
        cwt::test::ResetFakePort();
        TVelWaveCtrl wave(nullptr, std::make_unique<cwt::SimulatedWaveDevice>());
        struct Silent : cwt::Beeper {
            void beep(int, int) override {}
        } beeper;
        cwt::CodePlayer player(wave, {nullptr, false, &beeper});
        cwt::TransmitterKeyer keyer(&wave, cwt::test::FakeSerialCalls());
        std::vector<cwt::TimedEdge> handed;
        QVERIFY(KeyAlongside(keyer, player, handed));
        cwt::CodeSettings settings = Speed(1, 4);
        settings.pcSpeaker = true;
        const int dotMs = cwt::DotMs(settings.dotLength);  // 14
        player.PlayCode("SL!", false, settings);
        QCOMPARE(handed.size(), size_t(4));
        const int64_t ms = 1'000'000;
        QCOMPARE(handed[1].atNs - handed[0].atNs, dotMs * ms);
        QCOMPARE(handed[2].atNs - handed[0].atNs, 2 * dotMs * ms);
        QCOMPARE(handed[3].atNs - handed[0].atNs, 5 * dotMs * ms);
        // The next letter starts no earlier than this one's final pause has ended.
        player.PlayCode("S!", false, settings);
        QVERIFY(handed[4].atNs >= handed[0].atNs + 8 * dotMs * ms);
    }
};

QTEST_GUILESS_MAIN(TestKeyEdges)
#include "tst_KeyEdges.moc"
