// The wave path of the code player: what PlayCode and a sign hand to the wave component.

#include <QtTest>

#include "sound/CodePlayer.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/VelWaveCtrl.h"
#include "tests/sound/support/AudioTestSupport.h"

class TestCodePlayer : public QObject {
    Q_OBJECT

private slots:
    void playCodeReturnsWhenPlayedAndReadsTheSettingsEachTime() {
        auto device =
            std::make_unique<cwt::SimulatedWaveDevice>(cwt::SimulatedWaveDevice::Clock::RealTime);
        cwt::SimulatedWaveDevice* output = device.get();
        TVelWaveCtrl wave(nullptr, std::move(device));
        cwt::CodePlayer player(wave, {});
        cwt::CodeSettings settings;
        settings.dotLength = 30;  // x1
        settings.toneWidth = 1;   // 60 samples
        player.PlayCode("S!", false, settings);
        QVERIFY(!wave.Playing());
        QCOMPARE(output->played().size(), size_t(8 * 60));
        for (int i = 0; i < 60; ++i)
            QCOMPARE(output->played()[i], uint8_t((i / 4) % 2 ? 148 : 108));
        for (size_t i = 60; i < 480; ++i) QCOMPARE(output->played()[i], uint8_t(128));

        settings.toneWidth = 2;
        settings.tone.sampleBits = 16;
        output->clearPlayed();
        player.PlayCode("S!", false, settings);
        QCOMPARE(output->played().size(), size_t(8 * 90));
        QCOMPARE(output->played().back(), uint8_t(0));  // silence at 16 bit
    }

    void signQueuesEveryLetterInOrderWithItsNextLetter() {
        auto device = std::make_unique<cwt::SimulatedWaveDevice>();
        cwt::SimulatedWaveDevice* output = device.get();
        TVelWaveCtrl wave(nullptr, std::move(device));
        QByteArray shown;
        wave.OnPlayDone = [&](TVelWaveCtrl*, const TWaveHdr* header, const uint8_t*) {
            shown += header->userValue ? char(header->userValue) : '.';
        };
        cwt::CodePlayer player(wave, {});
        cwt::CodeSettings settings;
        settings.dotLength = 30;
        settings.toneWidth = 1;
        // Six letters joined: more than the four slots.
        const char* codes[] = {"S", "L", "SS", "LL", "SSS", "LLL!"};
        const char next[] = {'B', 'C', 'D', 'E', 'F', 0};
        auto sign = player.BeginSign(settings);
        std::vector<uint8_t> expected;
        for (int i = 0; i < 6; ++i) {
            sign.QueueCode(codes[i], static_cast<uint8_t>(next[i]), false);
            const auto bytes = cwt::CodePlayer::Render(codes[i], false, settings);
            expected.insert(expected.end(), bytes.begin(), bytes.end());
        }
        sign.Finish();
        QVERIFY(!wave.Playing());
        QCOMPARE(shown, QByteArray("BCDEF."));
        QCOMPARE(output->played(), expected);
    }
};

QTEST_GUILESS_MAIN(TestCodePlayer)
#include "tst_CodePlayer.moc"
