// The window with its own decoder, on the sound another station sending with this program
// makes: the text comes out as sent, English and Hangul, live and from a recording; each
// letter shows within half a second of its end, as input time counts it; noise alone writes
// nothing; a word space the decoder finds late reaches the screen. (That screen readers hear each
// insertion is shown through AT-SPI by tests/a11y/test_decoder_window.py: without a platform's
// accessibility Qt raises no events.)

#include <sndfile.h>

#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "bench/gen/FistGenerator.h"
#include "bench/gen/SoundChannel.h"
#include "tests/ui/decoder/support/GeneratedInput.h"
#include "tests/ui/decoder/support/ProgramSignal.h"
#include "ui/decoder/DecodedTextView.h"
#include "ui/decoder/DecoderWindow.h"

namespace {

using cwt::test::GeneratedInput;
using cwt::test::kSignalRateHz;

// Feeds `samples` to the window as a live input gives them, 25 ms at a time, and lets the
// window take each piece as its timer would.
void FeedLive(DecoderWindow& window, const std::vector<float>& samples) {
    auto input = std::make_unique<GeneratedInput>(samples, kSignalRateHz, false);
    GeneratedInput* generated = input.get();
    generated->holdAt(0);
    window.startInput(std::move(input));
    const size_t step = kSignalRateHz / 40;
    for (size_t held = step; !generated->allRead(); held += step) {
        generated->holdAt(std::min(held, samples.size()));
        window.pollInput();
    }
    window.StopButtonClick();
}

bool WriteWav(const QString& path, const std::vector<float>& samples, int format) {
    SF_INFO info{};
    info.samplerate = kSignalRateHz;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) return false;
    const auto frames = static_cast<sf_count_t>(samples.size());
    const bool written = sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

}  // namespace

class DecodingInTheWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    }

    void englishComesAsSentEachLetterSoonAfterItsEnd() {
        DecoderWindow window(nullptr);
        const QString sent = QStringLiteral("CQ CQ DE HL1ABC K");
        FeedLive(window, cwt::test::ProgramSignal(sent.toStdU16String()));

        // The first letter waits for the pitch to be found.
        std::vector<double> delays = window.characterDelaysMs();
        QVERIFY(delays.size() >= 12);
        delays.erase(delays.begin());
        const double worst = *std::max_element(delays.begin(), delays.end());
        QVERIFY2(worst <= 500, qPrintable(QStringLiteral("%1 ms").arg(worst)));
        QVERIFY(window.decoder()->locked());
        QVERIFY(qAbs(window.decoder()->pitchHz() - cwt::test::PitchOf({})) < 15);
        QCOMPARE(window.text().simplified(), sent);
    }

    // A sign first: its word gap is read as a letter gap until later gaps show what a word gap
    // is, and the blank is then put in on screen. Keyed with the usual spacing and with this
    // program's own.
    void theFirstWordGapAfterASignReachesTheScreen() {
        cwt::testgen::KeyingOptions keying;
        keying.style = cwt::testgen::KeyingStyle::Computer;
        keying.wpm = 20;
        cwt::testgen::ChannelSettings channel;
        channel.sampleRateHz = kSignalRateHz;
        channel.snrDb500 = 20;
        channel.tailMs = 1500;
        const std::string sent = "[AR] 73 TU";
        {
            DecoderWindow window(nullptr);
            FeedLive(window, cwt::testgen::RenderChannel(
                                 cwt::testgen::KeyText(sent, keying).stretches, channel));
            QCOMPARE(window.text().simplified(), QString::fromStdString(sent));
        }
        DecoderWindow window(nullptr);
        FeedLive(window, cwt::test::ProgramSignal(u"[AR] 73 TU"));
        QCOMPARE(window.text().simplified(), QString::fromStdString(sent));
    }

    // Syllables with finals and compound vowels, composed as they are keyed.
    void hangulComesAsSent() {
        DecoderWindow window(nullptr);
        window.KoreanButton->setChecked(true);
        const QString sent = QStringLiteral("안녕하세요 감사합니다 원격 괜찮습니다");
        FeedLive(window, cwt::test::ProgramSignal(sent.toStdU16String()));
        QCOMPARE(window.text().simplified(), sent);
        window.EnglishButton->setChecked(true);
        window.close();
    }

    void noiseAloneWritesNothing() {
        DecoderWindow window(nullptr);
        cwt::test::SignalOptions options;
        options.noiseRms = 0.1;
        options.leadSeconds = 20;
        options.tailSeconds = 0;
        FeedLive(window, cwt::test::ProgramSignal(u"", options));
        QCOMPARE(window.text(), QString());
    }

    // A recording in 16-bit and in float WAV reads as the live sound did, and the progress bar
    // goes away at its end.
    void aRecordingIsReadAsSent() {
        QTemporaryDir dir;
        const QString sent = QStringLiteral("TEST DE DS2XYZ 599 [AR]");
        const std::vector<float> signal = cwt::test::ProgramSignal(sent.toStdU16String());
        for (int format : {SF_FORMAT_PCM_16, SF_FORMAT_FLOAT}) {
            const QString path = dir.filePath(QStringLiteral("received-%1.wav").arg(format));
            QVERIFY(WriteWav(path, signal, format));
            DecoderWindow window(nullptr);
            QVERIFY2(window.decodeFile(path), qPrintable(window.statusText()));
            QVERIFY(window.FileProgress->isVisibleTo(&window));
            QTRY_VERIFY_WITH_TIMEOUT(!window.decodingFile(), 20000);
            QVERIFY(!window.FileProgress->isVisibleTo(&window));
            QCOMPARE(window.text().simplified(), sent);
        }
    }

private:
    QTemporaryDir m_data;
};

QTEST_MAIN(DecodingInTheWindowTest)
#include "tst_DecodingInTheWindow.moc"
