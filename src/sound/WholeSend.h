#pragma once
// A whole send without a window: the text of a file as the editor would hold it, and the
// Start button's tidying, start mark, scan and end mark played through a CodePlayer. The
// headless renderer and the benchmarks send through here.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/morse/SendDispatch.h"
#include "sound/CodePlayer.h"

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

// Plays planned buffers as the window sends them: the letters of a sign queued together and
// waited for after the last, every other code string played and waited for. `extraSilence`,
// when not empty, holds the silence to add after each buffer (see CodePlayer::PlayCode).
// `stopRequested`, when given, is asked before each code string and each sign; a true answer
// ends the send there. Returns the number of code strings played.
int PlayPlan(CodePlayer& player, const std::vector<PlannedBuffer>& plan,
             const CodeSettings& settings, const std::vector<long long>& extraSilence = {},
             const std::function<bool()>& stopRequested = {});

// Tidies `text` and plays it; returns the number of code strings played (0: nothing to send).
int SendWholeText(CodePlayer& player, std::string_view text, const WholeSendOptions& options,
                  const CodeSettings& settings);

}  // namespace cwt
