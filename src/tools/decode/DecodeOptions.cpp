#include "DecodeOptions.h"

#include <charconv>
#include <cmath>

namespace cwt::tools {

namespace {

std::optional<double> Number(const std::string& text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

const char* DecodeUsageText() {
    return "Usage: cw-tamarik-decode [--korean] [--pitch HZ] [--wpm N] [--json] FILE.wav\n"
           "\n"
           "Reads Morse code (CW) from a recording of a receiver and prints the text. The\n"
           "signal is found between 300 and 1200 Hz and its speed measured, unless given.\n"
           "The WAV file may have any common rate and 8, 16, 24 or 32-bit or float samples;\n"
           "of several channels the first is read.\n"
           "\n"
           "Options:\n"
           "  --korean     read Korean Morse as Hangul (default: English)\n"
           "  --pitch HZ   the signal's pitch, 100 to 3000 Hz (default: found)\n"
           "  --wpm N      the speed to start from, 5 to 60 words per minute (default:\n"
           "               measured)\n"
           "  --json       print the characters with their times and confidences as JSON\n"
           "  --help       show this text\n"
           "\n"
           "Exit status: 0 on success, 1 when the file cannot be read or is not a WAV file\n"
           "(the text read up to a damaged part is still printed), 2 on wrong usage.\n";
}

std::optional<DecodeOptions> ParseDecodeArguments(const std::vector<std::string>& args,
                                                  std::string* error) {
    DecodeOptions options;
    const auto fail = [error](const std::string& message) -> std::optional<DecodeOptions> {
        if (error) *error = message;
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--korean") {
            options.korean = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--pitch" || arg == "--wpm") {
            if (i + 1 >= args.size()) return fail(arg + " needs a value");
            const std::optional<double> value = Number(args[++i]);
            const bool pitch = arg == "--pitch";
            const double low = pitch ? 100 : 5;
            const double high = pitch ? 3000 : 60;
            if (!value || *value < low || *value > high)
                return fail(arg + " takes a number from " + std::to_string(int(low)) + " to " +
                            std::to_string(int(high)) + ", not " + args[i]);
            (pitch ? options.pitchHz : options.wpm) = value;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return fail("unknown option " + arg);
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            return fail("only one input file is read");
        }
    }
    if (options.input.empty() && !options.help) return fail("no input file");
    return options;
}

}  // namespace cwt::tools
