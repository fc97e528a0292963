#include "ui/decoder/SndFileReader.h"

#include <sndfile.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace cwt {
namespace {

// Frames read from the file at a time: a few thousand, whatever the channel count.
constexpr size_t kChunkFrames = 4096;

class SndFileReader : public SampleFileReader {
public:
    SndFileReader(SNDFILE* file, const SF_INFO& info) : m_file(file), m_info(info) {}
    ~SndFileReader() override { sf_close(m_file); }
    SndFileReader(const SndFileReader&) = delete;
    SndFileReader& operator=(const SndFileReader&) = delete;

    int rateHz() const override { return m_info.samplerate; }
    long long frames() const override { return m_info.frames; }

    size_t read(float* out, size_t max) override {
        const size_t channels = static_cast<size_t>(m_info.channels);
        const size_t frames = std::min(max, kChunkFrames);
        m_interleaved.resize(frames * channels);
        const sf_count_t got =
            sf_readf_float(m_file, m_interleaved.data(), static_cast<sf_count_t>(frames));
        if (got <= 0) return 0;
        for (size_t i = 0; i < static_cast<size_t>(got); ++i) out[i] = m_interleaved[i * channels];
        return static_cast<size_t>(got);
    }

private:
    SNDFILE* m_file;
    SF_INFO m_info;
    std::vector<float> m_interleaved;
};

}  // namespace

std::unique_ptr<SampleFileReader> OpenSoundFile(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("파일이 없습니다");
        return nullptr;
    }
    if (!info.isFile()) {
        *error = QStringLiteral("보통 파일이 아닙니다");
        return nullptr;
    }
    SF_INFO format{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &format);
    if (!file) {
        *error = QStringLiteral("소리 파일로 읽을 수 없습니다 (%1)")
                     .arg(QString::fromLocal8Bit(sf_strerror(nullptr)));
        return nullptr;
    }
    if (format.frames <= 0 || format.channels <= 0 || format.samplerate <= 0) {
        sf_close(file);
        *error = QStringLiteral("소리가 들어 있지 않습니다");
        return nullptr;
    }
    // Integer samples come as ±1 whatever their width; float files as they were written.
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return std::make_unique<SndFileReader>(file, format);
}

}  // namespace cwt
