#include "RenderOptions.h"

#include <charconv>

#include "engine/morse/Timing.h"

namespace cwt::render {

namespace {

std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

struct Range {
    const char* name;
    int low;
    int high;
    int* target;
};

}  // namespace

const char* UsageText() {
    return "Usage: cw-tamarik-render [OPTIONS] INPUT.txt -o OUTPUT.wav\n"
           "\n"
           "Sends a text file in Morse code exactly as CW Tamarik's Start button does, with\n"
           "a recording running for the whole send, and writes that recording as a WAV file\n"
           "(8-bit mono, 11025 samples per second), faster than real time and without a\n"
           "sound device. A text that sends nothing leaves no file. The file is read as the\n"
           "window opens it: UTF-8, code page 949, or UTF-16 with a byte-order mark.\n"
           "\n"
           "Options:\n"
           "  --multiplier N     speed multiplier x1..x10 (default 5)\n"
           "  --width N          tone width 1..10 (default 4)\n"
           "  --freq N           frequency 10..22000 Hz (default 897)\n"
           "  --cut N            cut 0..124 at 8 bit, 0..32760 at 16 bit (default 108)\n"
           "  --slope N          slope factor 0..20 (default 0)\n"
           "  --timbre N         timbre 1..50 (default 4)\n"
           "  --wave K           waveform M1, M2, M3 or M4 (default M1)\n"
           "  --bits B           BitsPerSample of the synthesis: 8 or 16 (default 8)\n"
           "  --rate R           SamplePerSec of the synthesis: 5512, 6400, 11025, 22050 or\n"
           "                     44100 (default 11025)\n"
           "  --no-collapse      do not reduce runs of blanks to one blank\n"
           "  --no-trim          do not remove blanks and control characters at the ends\n"
           "  --marks            send the start mark BT and the end mark AR\n"
           "  --no-sentence-end  send nothing for a line end (default: BT)\n"
           "  --play             play through the sound server in real time (with -o, also\n"
           "                     record)\n"
           "  -o FILE            the WAV file to write (required unless --play); an existing\n"
           "                     file is moved to its name with the extension .BAK in the\n"
           "                     current directory\n"
           "  --help             show this text\n"
           "\n"
           "Exit status: 0 on success, 1 when the input cannot be read or sent or the file\n"
           "cannot be written, 2 on wrong usage.\n";
}

std::optional<RenderOptions> ParseArguments(const std::vector<std::string>& args,
                                            std::string* error) {
    RenderOptions options;
    int cut = options.settings.tone.cut;
    int bits = 8;
    int rate = 11025;
    const Range ranges[] = {
        {"--multiplier", 1, 10, &options.multiplier},
        {"--width", 1, 10, &options.settings.toneWidth},
        {"--freq", 10, 22000, &options.settings.tone.freqHz},
        {"--cut", 0, 32760, &cut},
        {"--slope", 0, 20, &options.settings.tone.slope},
        {"--timbre", 1, 50, &options.settings.tone.timbre},
        {"--bits", 8, 16, &bits},
        {"--rate", 5512, 44100, &rate},
    };
    auto fail = [error](std::string message) -> std::optional<RenderOptions> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (arg == "--no-collapse") {
            options.send.collapseSpaces = false;
            continue;
        }
        if (arg == "--no-trim") {
            options.send.trimBlanks = false;
            continue;
        }
        if (arg == "--marks") {
            options.send.startEndMarks = true;
            continue;
        }
        if (arg == "--no-sentence-end") {
            options.send.sentenceEndMark = false;
            continue;
        }
        if (arg == "--play") {
            options.play = true;
            continue;
        }
        if (arg == "-o") {
            const std::string* file = value();
            if (!file || file->empty()) return fail("-o needs a file name");
            options.output = *file;
            continue;
        }
        if (arg == "--wave") {
            const std::string* kind = value();
            if (!kind) return fail("--wave needs M1, M2, M3 or M4");
            if (*kind == "M1")
                options.settings.tone.kind = WaveKind::M1;
            else if (*kind == "M2")
                options.settings.tone.kind = WaveKind::M2;
            else if (*kind == "M3")
                options.settings.tone.kind = WaveKind::M3;
            else if (*kind == "M4")
                options.settings.tone.kind = WaveKind::M4;
            else
                return fail("--wave: '" + *kind + "' is not one of M1, M2, M3, M4");
            continue;
        }
        bool matched = false;
        for (const Range& range : ranges) {
            if (arg != range.name) continue;
            matched = true;
            const std::string* text = value();
            if (!text) return fail(std::string(range.name) + " needs a value");
            const std::optional<int> number = WholeNumber(*text);
            if (!number || *number < range.low || *number > range.high)
                return fail(std::string(range.name) + ": '" + *text +
                            "' is not a whole number from " + std::to_string(range.low) + " to " +
                            std::to_string(range.high));
            *range.target = *number;
        }
        if (matched) continue;
        if (arg.size() > 1 && arg[0] == '-') return fail("unknown option " + arg);
        if (!options.input.empty()) return fail("more than one input file: " + arg);
        options.input = arg;
    }
    if (bits != 8 && bits != 16) return fail("--bits: " + std::to_string(bits) + " is not 8 or 16");
    if (rate != 5512 && rate != 6400 && rate != 11025 && rate != 22050 && rate != 44100)
        return fail("--rate: " + std::to_string(rate) +
                    " is not one of 5512, 6400, 11025, 22050, 44100");
    const int cutMax = bits == 8 ? 124 : 32760;
    if (cut > cutMax)
        return fail("--cut: " + std::to_string(cut) + " is above " + std::to_string(cutMax) +
                    " at " + std::to_string(bits) + " bit");
    if (options.input.empty()) return fail("no input file");
    if (options.output.empty() && !options.play)
        return fail("no output file (-o FILE), and no --play");
    options.settings.tone.cut = cut;
    options.settings.tone.sampleBits = bits;
    options.settings.tone.synthRate = rate;
    // DotLength as the window derives it at start-up: ratio 4:1, then the multiplier.
    TimingModel timing;
    ApplyRatio(timing, 4);
    ApplyMultiplier(timing, options.multiplier - 1);
    options.settings.dotLength = timing.DotLength;
    options.settings.pcSpeaker = false;
    return options;
}

}  // namespace cwt::render
