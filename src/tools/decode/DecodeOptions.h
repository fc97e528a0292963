#pragma once
// The command line of cw-tamarik-decode.

#include <optional>
#include <string>
#include <vector>

namespace cwt::tools {

struct DecodeOptions {
    bool korean = false;
    bool json = false;
    bool help = false;
    std::optional<double> pitchHz;
    std::optional<double> wpm;
    std::string input;
};

const char* DecodeUsageText();

// The arguments after the program's name; nothing and `error` set on wrong usage.
std::optional<DecodeOptions> ParseDecodeArguments(const std::vector<std::string>& args,
                                                  std::string* error);

}  // namespace cwt::tools
