// Recordings as operators bring them: every common sample format and rate, stereo read from
// its first channel, and files that are no sound (text, a header cut short, nothing at all, a
// header that promises more than is there, a directory) refused in words or read as far as
// they go, never a crash.

#include "ui/decoder/SndFileReader.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

namespace {

// A ramp over a second: sample i of channel 0 is -0.5 + i / rate (at most about ±0.5), and the
// other channels are its negative, so a reader that mixes or picks the wrong channel shows.
float Ramp(int i, int rateHz) { return -0.5f + static_cast<float>(i) / static_cast<float>(rateHz); }

bool WriteFile(const QString& path, int format, int rateHz, int channels, int frames) {
    SF_INFO info{};
    info.samplerate = rateHz;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<float> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(c == 0 ? Ramp(i, rateHz) : -Ramp(i, rateHz));
    const sf_count_t written = sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    return written == frames;
}

std::vector<float> ReadAll(cwt::SampleFileReader& reader) {
    std::vector<float> all;
    std::vector<float> piece(1000);
    size_t n;
    while ((n = reader.read(piece.data(), piece.size())) > 0)
        all.insert(all.end(), piece.begin(), piece.begin() + static_cast<long>(n));
    return all;
}

QByteArray Header16(uint32_t rateHz, uint32_t dataBytes) {
    QByteArray header;
    auto le = [&header](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) header.append(static_cast<char>(value >> (8 * i)));
    };
    header.append("RIFF");
    le(36 + dataBytes, 4);
    header.append("WAVEfmt ");
    le(16, 4), le(1, 2), le(1, 2), le(rateHz, 4), le(rateHz * 2, 4), le(2, 2), le(16, 2);
    header.append("data");
    le(dataBytes, 4);
    return header;
}

class SoundFileTest : public testing::Test {
protected:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

TEST_F(SoundFileTest, ReadsEveryCommonFormatAndRateFromTheFirstChannel) {
    struct Case {
        int format;
        int rateHz;
        int channels;
        float tolerance;  // the format's own quantisation
    };
    const Case cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 1.0f / 64},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 2, 1e-4f},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 1, 1e-6f},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_32, 48000, 2, 1e-6f},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, 0.0f},
        {SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 96000, 4, 1e-4f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.format << std::dec << " " << c.rateHz
                                        << " Hz, " << c.channels << " channels");
        const QString file = path("in.wav");
        ASSERT_TRUE(WriteFile(file, c.format, c.rateHz, c.channels, c.rateHz));
        QString error;
        auto reader = cwt::OpenSoundFile(file, &error);
        ASSERT_TRUE(reader) << error.toStdString();
        EXPECT_EQ(reader->rateHz(), c.rateHz);
        EXPECT_EQ(reader->frames(), c.rateHz);
        const std::vector<float> samples = ReadAll(*reader);
        ASSERT_EQ(samples.size(), static_cast<size_t>(c.rateHz));
        for (int i = 0; i < c.rateHz; i += 97)
            ASSERT_NEAR(samples[static_cast<size_t>(i)], Ramp(i, c.rateHz), c.tolerance) << i;
        reader.reset();
        QFile::remove(file);
    }
}

TEST_F(SoundFileTest, RefusesWhatIsNoSoundInWords) {
    QFile text(path("notes.wav"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("CQ CQ DE HL1ABC\n");
    text.close();
    QFile empty(path("empty.wav"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    QFile cut(path("cut.wav"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(Header16(8000, 1600).left(20));
    cut.close();
    QFile silent(path("no-samples.wav"));
    ASSERT_TRUE(silent.open(QIODevice::WriteOnly));
    silent.write(Header16(8000, 0));
    silent.close();
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.wav")));

    for (const char* name :
         {"notes.wav", "empty.wav", "cut.wav", "no-samples.wav", "folder.wav", "absent.wav"}) {
        SCOPED_TRACE(name);
        QString error;
        EXPECT_FALSE(cwt::OpenSoundFile(path(name), &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

// A recorder that stopped without fixing its header: the samples that are there are read, and
// reading ends where the file does.
TEST_F(SoundFileTest, AHeaderPromisingMoreThanThereIsReadsWhatIsThere) {
    QFile file(path("short.wav"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Header16(8000, 0x7ffffff0u));
    for (int i = 0; i < 800; ++i) {
        const int16_t sample = static_cast<int16_t>(i * 10);
        file.write(reinterpret_cast<const char*>(&sample), 2);
    }
    file.close();
    QString error;
    auto reader = cwt::OpenSoundFile(file.fileName(), &error);
    ASSERT_TRUE(reader) << error.toStdString();
    const std::vector<float> samples = ReadAll(*reader);
    ASSERT_EQ(samples.size(), 800u);
    EXPECT_NEAR(samples[799], 7990.0f / 32768.0f, 1e-6f);
}

}  // namespace
