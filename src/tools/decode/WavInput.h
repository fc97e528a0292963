#pragma once
// Reads a WAV file (or its bytes) as the decoder takes it: the first channel as floats, in
// blocks, with libsndfile, so every common WAV reads (8, 16, 24 and 32-bit PCM, float,
// WAVE_FORMAT_EXTENSIBLE, RF64). What is not a WAV, or holds no sound, or claims more than a
// receiver's recording could (a rate or channel count out of range), is refused with a
// sentence that says why.

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace cwt::tools {

class WavInput {
public:
    static constexpr int kMinRateHz = 4000;
    static constexpr int kMaxRateHz = 384000;
    static constexpr int kMaxChannels = 64;

    // Opens the file; on failure returns nothing and sets `error`.
    static std::unique_ptr<WavInput> openFile(const std::string& path, std::string* error);
    // Opens WAV bytes held in memory (they must outlive the reader).
    static std::unique_ptr<WavInput> openBytes(std::span<const uint8_t> bytes, std::string* error);

    ~WavInput();
    WavInput(const WavInput&) = delete;
    WavInput& operator=(const WavInput&) = delete;

    int rateHz() const { return m_info.samplerate; }
    int channels() const { return m_info.channels; }
    // The header announces more sound than the file holds: it was cut short.
    bool truncated() const { return m_truncated; }

    // Replaces `out` with up to `frames` samples of the first channel; empty at the end.
    void read(std::vector<float>& out, size_t frames);
    int64_t framesRead() const { return m_framesRead; }

private:
    struct Memory {
        std::span<const uint8_t> bytes;
        sf_count_t position = 0;
    };
    WavInput() = default;
    static std::unique_ptr<WavInput> check(std::unique_ptr<WavInput> input, const char* what,
                                           std::string* error);

    SNDFILE* m_file = nullptr;
    SF_INFO m_info{};
    Memory m_memory;
    SF_VIRTUAL_IO m_io{};
    std::vector<float> m_interleaved;
    int64_t m_framesRead = 0;
    bool m_truncated = false;
};

}  // namespace cwt::tools
