#include "WavInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cwt::tools {

namespace {

bool IsWav(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

std::unique_ptr<WavInput> WavInput::openFile(const std::string& path, std::string* error) {
    std::unique_ptr<WavInput> input(new WavInput);
    input->m_file = sf_open(path.c_str(), SFM_READ, &input->m_info);
    return check(std::move(input), path.c_str(), error);
}

std::unique_ptr<WavInput> WavInput::openBytes(std::span<const uint8_t> bytes, std::string* error) {
    std::unique_ptr<WavInput> input(new WavInput);
    input->m_memory.bytes = bytes;
    SF_VIRTUAL_IO& io = input->m_io;
    io.get_filelen = [](void* user) -> sf_count_t {
        return static_cast<sf_count_t>(static_cast<Memory*>(user)->bytes.size());
    };
    io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        auto* m = static_cast<Memory*>(user);
        const auto size = static_cast<sf_count_t>(m->bytes.size());
        sf_count_t to = offset;
        if (whence == SEEK_CUR) to = m->position + offset;
        if (whence == SEEK_END) to = size + offset;
        if (to < 0 || to > size) return -1;
        return m->position = to;
    };
    io.read = [](void* data, sf_count_t count, void* user) -> sf_count_t {
        auto* m = static_cast<Memory*>(user);
        const auto size = static_cast<sf_count_t>(m->bytes.size());
        const sf_count_t n = std::clamp<sf_count_t>(count, 0, size - m->position);
        if (n > 0) std::memcpy(data, m->bytes.data() + m->position, static_cast<size_t>(n));
        m->position += n;
        return n;
    };
    io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.tell = [](void* user) -> sf_count_t { return static_cast<Memory*>(user)->position; };
    input->m_file = sf_open_virtual(&io, SFM_READ, &input->m_info, &input->m_memory);
    return check(std::move(input), "the input", error);
}

std::unique_ptr<WavInput> WavInput::check(std::unique_ptr<WavInput> input, const char* what,
                                          std::string* error) {
    const SF_INFO& info = input->m_info;
    const std::string name(what);
    bool ok = true;
    if (!input->m_file)
        ok = Fail(error, name + ": not a readable WAV file (" + sf_strerror(nullptr) + ")");
    else if (!IsWav(info.format))
        ok = Fail(error, name + ": not a WAV file");
    else if (info.channels < 1 || info.channels > kMaxChannels)
        ok = Fail(error, name + ": " + std::to_string(info.channels) +
                             " channels; a WAV file of 1 to 64 channels is needed");
    else if (info.samplerate < kMinRateHz || info.samplerate > kMaxRateHz)
        ok = Fail(error, name + ": a sample rate of " + std::to_string(info.samplerate) +
                             " Hz; 4000 to 384000 Hz is needed");
    else if (info.frames <= 0)
        ok = Fail(error, name + ": holds no sound");
    if (!ok) return nullptr;
    // libsndfile reads what there is of a cut file and says so only in its log, as
    // "data : 16000 (should be 8000)".
    std::string log(4096, '\0');
    sf_command(input->m_file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    for (size_t line = log.find("data"); line != std::string::npos;
         line = log.find("data", line + 4)) {
        const size_t end = log.find('\n', line);
        if (log.compare(line, 7, "data : ") == 0 &&
            log.substr(line, end - line).find("should be") != std::string::npos)
            input->m_truncated = true;
    }
    // Full scale is ±1 whatever the sample format; float files are taken as they are.
    sf_command(input->m_file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return input;
}

WavInput::~WavInput() {
    if (m_file) sf_close(m_file);
}

void WavInput::read(std::vector<float>& out, size_t frames) {
    const auto channels = static_cast<size_t>(m_info.channels);
    m_interleaved.resize(frames * channels);
    const sf_count_t got =
        sf_readf_float(m_file, m_interleaved.data(), static_cast<sf_count_t>(frames));
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    for (size_t i = 0; i < out.size(); ++i) {
        const float x = m_interleaved[i * channels];
        // A float file may hold anything; the decoder takes finite samples only.
        out[i] = std::isfinite(x) ? std::clamp(x, -1e6f, 1e6f) : 0.0f;
    }
    m_framesRead += static_cast<int64_t>(out.size());
}

}  // namespace cwt::tools
