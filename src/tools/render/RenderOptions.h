#pragma once
// The command line of cw-tamarik-render: every option stands for a control of the main window.

#include <optional>
#include <string>
#include <vector>

#include "sound/CodePlayer.h"
#include "sound/WholeSend.h"

namespace cwt::render {

struct RenderOptions {
    int multiplier = 5;  // "배수"
    CodeSettings settings;
    WholeSendOptions send;
    bool play = false;
    bool help = false;
    std::string input;
    std::string output;
};

// Parses the arguments (without the program name); on a usage error returns nothing and sets
// `error`.
std::optional<RenderOptions> ParseArguments(const std::vector<std::string>& args,
                                            std::string* error);

const char* UsageText();

}  // namespace cwt::render
