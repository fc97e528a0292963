// The record stream that is read, against a private server the test starts, kills and
// freezes: the sources it lists, the samples of what is played into a sink's monitor, and
// a source or a server that goes away.

#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <numbers>
#include <vector>

#include "sound/PulseInput.h"
#include "tests/sound/support/AudioTestSupport.h"
#include "tests/sound/support/PrivateServer.h"

namespace cwt {
namespace {

constexpr int kRateHz = 8000;
using State = SampleInput::State;

class PulseInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureCoreApp();
        if (!m_server.start()) {
            if (test::PulseRequired()) FAIL() << "cannot start a private sound server";
            GTEST_SKIP() << "cannot start a private sound server";
        }
    }

    // Reads for `ms` of wall time, as the window's timer does.
    std::vector<float> readFor(PulseInput& input, int ms) {
        std::vector<float> samples;
        float block[4096];
        test::WaitUntil(
            [&] {
                size_t n;
                while ((n = input.read(block, std::size(block))) > 0)
                    samples.insert(samples.end(), block, block + n);
                return false;
            },
            ms);
        return samples;
    }

    bool sox(const QStringList& args) {
        return QProcess::execute(QStringLiteral("sox"), args) == 0;
    }

    test::PrivateServer m_server;
    QTemporaryDir m_dir;
};

// Power of `freqHz` in the samples, per sample (Goertzel).
double PowerAt(const std::vector<float>& samples, double freqHz) {
    const double w = 2 * std::numbers::pi * freqHz / kRateHz;
    double s1 = 0, s2 = 0;
    for (float x : samples) {
        const double s0 = x + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
    return power / (static_cast<double>(samples.size()) * samples.size());
}

TEST_F(PulseInputTest, ListsEverySourceWithItsDescriptionAndTheDefault) {
    m_server.lines({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                    QStringLiteral("sink_name=receiver"),
                    QStringLiteral("sink_properties=device.description=Receiver")});
    PulseInput input;
    const SourceListing listing = input.listSources();
    ASSERT_TRUE(listing.ok) << listing.error.toStdString();
    EXPECT_FALSE(listing.defaultName.isEmpty());
    const SoundSource* receiver = nullptr;
    for (const SoundSource& source : listing.sources)
        if (source.name == QStringLiteral("receiver.monitor")) receiver = &source;
    ASSERT_NE(receiver, nullptr);
    EXPECT_TRUE(receiver->monitor);
    EXPECT_TRUE(receiver->description.contains(QStringLiteral("Receiver")))
        << receiver->description.toStdString();
}

// What paplay plays into the null sink comes out of its monitor as mono samples at the rate
// asked for, the tone where it should be, and as many samples as the time that passed.
TEST_F(PulseInputTest, ReadsWhatIsPlayedAtTheRateAskedFor) {
    const QString wav = m_dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(
        sox({QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("48000"),
             QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"), QStringLiteral("2"),
             wav, QStringLiteral("synth"), QStringLiteral("1.0"), QStringLiteral("sine"),
             QStringLiteral("700"), QStringLiteral("vol"), QStringLiteral("0.5")}));
    PulseInput input;
    ASSERT_TRUE(input.open(QStringLiteral("cwnull.monitor"), kRateHz))
        << input.lastError().toStdString();
    EXPECT_EQ(input.sourceName(), QStringLiteral("cwnull.monitor"));
    EXPECT_EQ(input.rateHz(), kRateHz);
    QElapsedTimer clock;
    clock.start();
    std::vector<float> heard = readFor(input, 200);
    test::PlayWithPaplay(wav);
    const std::vector<float> rest = readFor(input, 300);
    heard.insert(heard.end(), rest.begin(), rest.end());
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_EQ(input.state(), State::Running);
    EXPECT_EQ(input.droppedSamples(), 0u);
    // The server may still hold the last fragment or two when the clock stops.
    EXPECT_NEAR(heard.size() / seconds, kRateHz, kRateHz * 0.1);
    const double tone = PowerAt(heard, 700);
    EXPECT_GT(tone, 100 * PowerAt(heard, 1100));
    // A sine of amplitude 0.5 playing for about half of what was read: 0.25²/4 per sample.
    EXPECT_GT(tone, 0.1 * 0.25 * 0.25 / 4);
}

TEST_F(PulseInputTest, DefaultSourceIsTheServersAndASourceThatIsNotThereIsRefused) {
    PulseInput input;
    ASSERT_TRUE(input.open(QString(), kRateHz)) << input.lastError().toStdString();
    EXPECT_EQ(input.sourceName(), input.listSources().defaultName);
    ASSERT_FALSE(input.open(QStringLiteral("no-such-source"), kRateHz));
    EXPECT_FALSE(input.lastError().isEmpty());
    EXPECT_EQ(input.state(), State::Closed);
    EXPECT_FALSE(input.isOpen());
}

// A receiver's sound card unplugged: its source goes, and the input says so instead of
// recording another source.
TEST_F(PulseInputTest, SourceThatGoesAwayIsReported) {
    const QString module =
        m_server
            .lines({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                    QStringLiteral("sink_name=receiver")})
            .trimmed();
    ASSERT_FALSE(module.isEmpty());
    PulseInput input;
    ASSERT_TRUE(input.open(QStringLiteral("receiver.monitor"), kRateHz))
        << input.lastError().toStdString();
    m_server.lines({QStringLiteral("unload-module"), module});
    EXPECT_TRUE(test::WaitUntil([&] { return input.state() == State::SourceLost; }, 5000))
        << static_cast<int>(input.state());
    QElapsedTimer clock;
    clock.start();
    input.close();
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_EQ(input.state(), State::Closed);
}

TEST_F(PulseInputTest, ServerThatGoesAwayIsReportedAndOneStartedAgainIsRead) {
    PulseInput input;
    ASSERT_TRUE(input.open(QStringLiteral("cwnull.monitor"), kRateHz));
    m_server.kill();
    EXPECT_TRUE(test::WaitUntil([&] { return input.state() == State::ServerLost; }, 3000));
    EXPECT_FALSE(input.listSources().ok);
    ASSERT_TRUE(m_server.start());
    ASSERT_TRUE(input.open(QStringLiteral("cwnull.monitor"), kRateHz))
        << input.lastError().toStdString();
    EXPECT_FALSE(readFor(input, 300).empty());
    EXPECT_EQ(input.state(), State::Running);
}

// A server that stopped answering costs each call about a second, never a hang.
TEST_F(PulseInputTest, FrozenServerHoldsNoCallLong) {
    PulseInput input;
    ASSERT_TRUE(input.open(QStringLiteral("cwnull.monitor"), kRateHz));
    m_server.signal(SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(input.listSources().ok);
    EXPECT_LT(clock.elapsed(), 2500);
    clock.restart();
    input.close();
    EXPECT_FALSE(input.open(QStringLiteral("cwnull.monitor"), kRateHz));
    EXPECT_FALSE(input.lastError().isEmpty());
    EXPECT_LT(clock.elapsed(), 2500);
    m_server.signal(SIGCONT);
}

}  // namespace
}  // namespace cwt
