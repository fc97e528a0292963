#pragma once
// A whole send without a window: the text of a file as the editor would hold it, and the
// Start button's tidying, start mark, scan and end mark played through a CodePlayer. The
// headless renderer and the benchmarks send through here.

#include <optional>
#include <string>
#include <string_view>

#include "audio/CodePlayer.h"

namespace cwt {

// A text file's bytes as the editor's code page 949 text, decoded as the window opens a file
// (UTF-16 with a byte-order mark, UTF-8, code page 949), every line followed by CR LF. Fails
// with a message for bytes that none of these can read and for a character code page 949
// cannot hold.
std::optional<std::string> EditorTextOfFile(std::string_view fileBytes, std::string* error);

struct WholeSendOptions {
    bool collapseSpaces = true;   // DoubleSpaceTrimCheck
    bool trimBlanks = true;       // OpenSpaceTrimCheck
    bool startEndMarks = false;   // StartEndMarkCheck
    bool sentenceEndMark = true;  // SentenceEndMark
};

// Tidies `text` and plays it; returns the number of code strings played (0: nothing to send).
int SendWholeText(CodePlayer& player, std::string_view text, const WholeSendOptions& options,
                  const CodeSettings& settings);

}  // namespace cwt
