// cw-tamarik-decode: the text in a recording of a receiver's CW, read by the same decoder the
// window "수신 해독" uses, as plain text or as JSON with each character's times and confidence.

#include <cstdio>
#include <string>
#include <vector>

#include "DecodeOptions.h"
#include "WavInput.h"
#include "engine/decode/BandDecoder.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr size_t kBlockFrames = 8192;

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;  // UTF-8 passes as it is
        }
    }
    return out + "\"";
}

void PrintJson(const std::vector<cwt::decode::DecodedChar>& characters,
               const cwt::decode::BandDecoder& decoder) {
    std::string text;
    for (const auto& c : characters)
        text += (c.wordSpaceBefore && !text.empty() ? " " : "") + c.text;
    std::printf(
        "{\n  \"text\": %s,\n  \"pitchHz\": %.1f,\n  \"wpm\": %.1f,\n  \"snrDb\": %.1f,\n"
        "  \"characters\": [",
        JsonString(text).c_str(), decoder.locked() ? decoder.pitchHz() : 0.0, decoder.wpm(),
        decoder.locked() ? decoder.snrDb() : 0.0);
    for (size_t i = 0; i < characters.size(); ++i) {
        const auto& c = characters[i];
        std::printf(
            "%s\n    {\"text\": %s, \"code\": %s, \"known\": %s, \"wordSpaceBefore\": %s, "
            "\"startMs\": %.1f, \"endMs\": %.1f, \"confidence\": %.3f}",
            i ? "," : "", JsonString(c.text).c_str(), JsonString(c.code).c_str(),
            c.known ? "true" : "false", c.wordSpaceBefore ? "true" : "false", c.startMs, c.endMs,
            c.confidence);
    }
    std::printf("\n  ]\n}\n");
}

void PrintText(const std::vector<cwt::decode::DecodedChar>& characters) {
    std::string text;
    for (const auto& c : characters)
        text += (c.wordSpaceBefore && !text.empty() ? " " : "") + c.text;
    if (!text.empty()) std::printf("%s\n", text.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        cwt::tools::ParseDecodeArguments(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::fprintf(stderr, "cw-tamarik-decode: %s\n\n%s", error.c_str(),
                     cwt::tools::DecodeUsageText());
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(cwt::tools::DecodeUsageText(), stdout);
        return 0;
    }
    const auto input = cwt::tools::WavInput::openFile(options->input, &error);
    if (!input) {
        std::fprintf(stderr, "cw-tamarik-decode: %s\n", error.c_str());
        return kExitFailure;
    }
    cwt::decode::BandDecoderSettings settings;
    settings.korean = options->korean;
    settings.pitchHz = options->pitchHz;
    settings.wpm = options->wpm;
    if (settings.pitchHz) {
        // A picked pitch outside the usual pass band widens it.
        settings.lowHz = std::min(settings.lowHz, *settings.pitchHz - 50);
        settings.highHz = std::max(settings.highHz, *settings.pitchHz + 50);
    }
    cwt::decode::BandDecoder decoder(input->rateHz(), settings);
    std::vector<cwt::decode::DecodedChar> characters;
    std::vector<float> block;
    for (input->read(block, kBlockFrames); !block.empty(); input->read(block, kBlockFrames)) {
        decoder.push(block);
        cwt::decode::AppendDecoded(characters, decoder.takeCharacters());
    }
    decoder.finish();
    // A word space found late is set on the character it names: the text and --json give the
    // characters as finally read.
    cwt::decode::AppendDecoded(characters, decoder.takeCharacters());
    if (options->json)
        PrintJson(characters, decoder);
    else
        PrintText(characters);
    if (input->truncated()) {
        std::fprintf(stderr,
                     "cw-tamarik-decode: %s: the file ends early: its header announces more sound "
                     "than it holds\n",
                     options->input.c_str());
        return kExitFailure;
    }
    return 0;
}
