// cw-tamarik-decode reads every common WAV format to the same text, and turns away whatever
// is not a sound file it can read, with a sentence and a non-zero exit, never a crash.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "WavInput.h"
#include "bench/gen/FistGenerator.h"
#include "bench/gen/SoundChannel.h"
#include "bench/gen/Symbols.h"
#include "engine/decode/BandDecoder.h"

namespace cwt {
namespace {

namespace fs = std::filesystem;
const std::string kText = "CQ CQ DE HL1ABC HL1ABC K";

std::vector<float> Signal(int rateHz, const std::string& text = kText) {
    testgen::KeyingOptions keying;
    keying.style = testgen::KeyingStyle::Computer;
    keying.wpm = 22;
    testgen::ChannelSettings channel;
    channel.sampleRateHz = rateHz;
    channel.snrDb500 = 20;
    channel.tailMs = 1500;
    return testgen::RenderChannel(testgen::KeyText(text, keying).stretches, channel);
}

class DecodeTool : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("cwt-decode-test-" + std::to_string(getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    // The signal in the first channel (the others carry a strong unrelated tone).
    fs::path Write(const std::string& name, int format, int rateHz, int channels = 1,
                   const std::string& text = kText) {
        const std::vector<float> mono = Signal(rateHz, text);
        std::vector<float> frames(mono.size() * static_cast<size_t>(channels));
        for (size_t i = 0; i < mono.size(); ++i)
            for (int c = 0; c < channels; ++c)
                frames[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                    c == 0 ? mono[i] : 0.5f * float(std::sin(0.3 * double(i)));
        SF_INFO info{};
        info.samplerate = rateHz;
        info.channels = channels;
        info.format = format;
        const fs::path path = dir / name;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
        sf_writef_float(file, frames.data(), static_cast<sf_count_t>(mono.size()));
        sf_close(file);
        return path;
    }

    fs::path WriteBytes(const std::string& name, const std::string& bytes) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string Bytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    struct Run {
        int status = -1;  // the exit code; -1 when the tool did not exit by itself
        std::string out;
    };
    static Run Tool(const std::string& args) {
        Run run;
        FILE* pipe = popen((std::string(CWT_DECODE_TOOL) + " " + args + " 2>&1").c_str(), "r");
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
        const int status = pclose(pipe);
        if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
        return run;
    }
};

TEST_F(DecodeTool, ReadsTheFirstChannelOfEveryCommonFormat) {
    const struct {
        const char* name;
        int format;
        int rate;
        int channels;
    } files[] = {
        {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1},
        {"s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2},
        {"s24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 2},
        {"float.wav", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 48000, 3},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const Run run = Tool(Write(f.name, f.format, f.rate, f.channels).string());
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, kText + "\n");
    }
}

TEST_F(DecodeTool, GivesCharactersWithTimesAsJson) {
    const Run run =
        Tool("--json " + Write("s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000).string());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"text\": \"" + kText + "\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("{\"text\": \"Q\", \"code\": \"--.-\", \"known\": true"),
              std::string::npos);
}

TEST_F(DecodeTool, GivesTheFirstWordSpaceFoundLateInTextAndJson) {
    // The word gap after the sign is known for one only once later gaps were read; the text
    // and the characters come out as finally read, with no trace of the correction.
    const fs::path wav = Write("sign.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, "[AR] 73 TU");
    EXPECT_EQ(Tool(wav.string()).out, "[AR] 73 TU\n");
    const Run json = Tool("--json " + wav.string());
    EXPECT_NE(json.out.find("\"text\": \"[AR] 73 TU\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("{\"text\": \"7\", \"code\": \"--...\", \"known\": true, "
                            "\"wordSpaceBefore\": true"),
              std::string::npos)
        << json.out;
    EXPECT_EQ(json.out.find("{\"text\": \"\""), std::string::npos) << json.out;
}

TEST_F(DecodeTool, TurnsAwayWhatItCannotReadWithASentence) {
    const std::string good = Bytes(Write("good.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000));
    std::string hugeChannels = good;
    hugeChannels[22] = '\xff';  // the format chunk's channel count: 65535
    hugeChannels[23] = '\xff';
    std::string noRate = good;
    for (int i = 24; i < 28; ++i) noRate[static_cast<size_t>(i)] = 0;
    std::string hugeChunk = good;
    for (int i = 16; i < 20; ++i) hugeChunk[static_cast<size_t>(i)] = '\xff';  // fmt size 4 GB
    const struct {
        const char* name;
        std::string bytes;
        const char* says;
    } bad[] = {
        {"empty.wav", "", "not a readable WAV file"},
        {"text.wav", "CQ CQ DE HL1ABC\n", "not a readable WAV file"},
        {"header.wav", good.substr(0, 30), "not a readable WAV file"},
        {"channels.wav", hugeChannels, ".wav"},
        {"rate.wav", noRate, ".wav"},
        {"chunk.wav", hugeChunk, ".wav"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.name);
        const Run run = Tool(WriteBytes(b.name, b.bytes).string());
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find(std::string("cw-tamarik-decode: ") + (dir / b.name).string()),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find(b.says), std::string::npos) << run.out;
    }
    const Run aiff = Tool(Write("sound.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000).string());
    EXPECT_EQ(aiff.status, 1);
    EXPECT_NE(aiff.out.find("not a WAV file"), std::string::npos) << aiff.out;
    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("--pitch 50 x.wav").status, 2);
    EXPECT_EQ(Tool((dir / "missing.wav").string()).status, 1);
}

TEST_F(DecodeTool, PrintsWhatATruncatedFileHeldAndSaysItEndsEarly) {
    const std::string good = Bytes(Write("good.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000));
    const Run run = Tool(WriteBytes("cut.wav", good.substr(0, good.size() * 3 / 4)).string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("CQ CQ DE"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("ends early"), std::string::npos) << run.out;
}

TEST(WavInput, ReadsBytesHeldInMemoryAsFromAFile) {
    // A WAV of 16-bit mono with two samples: full scale positive and negative.
    std::string wav = "RIFF";
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) wav += static_cast<char>((v >> (8 * i)) & 0xff);
    };
    const auto u16 = [&](uint16_t v) {
        wav += static_cast<char>(v & 0xff);
        wav += static_cast<char>(v >> 8);
    };
    u32(36 + 4);
    wav += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    wav += "data";
    u32(4);
    u16(0x4000);
    u16(0xc000);
    std::string error;
    const auto input = tools::WavInput::openBytes(
        {reinterpret_cast<const uint8_t*>(wav.data()), wav.size()}, &error);
    ASSERT_TRUE(input) << error;
    EXPECT_EQ(input->rateHz(), 8000);
    std::vector<float> block;
    input->read(block, 100);
    ASSERT_EQ(block.size(), 2u);
    EXPECT_FLOAT_EQ(block[0], 0.5f);
    EXPECT_FLOAT_EQ(block[1], -0.5f);
    input->read(block, 100);
    EXPECT_TRUE(block.empty());
}

}  // namespace
}  // namespace cwt
