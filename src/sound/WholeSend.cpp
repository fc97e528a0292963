#include "sound/WholeSend.h"

#include <algorithm>
#include <cstdio>

#include "engine/morse/Cp949Text.h"
#include "engine/morse/SendDispatch.h"
#include "engine/morse/TextPrep.h"

namespace cwt {

namespace {

std::u16string EditorLines(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    size_t lineStart = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'\r' && text[i] != u'\n') {
            ++i;
            continue;
        }
        out.append(text.substr(lineStart, i - lineStart));
        out.append(u"\r\n");
        i += text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
        lineStart = i;
    }
    // A last line without a line break is a line all the same.
    if (lineStart < text.size()) {
        out.append(text.substr(lineStart));
        out.append(u"\r\n");
    }
    return out;
}

std::string Unencodable(std::u16string_view text) {
    int line = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') ++line;
        if (cp949::EncodeUnit(text[i])) continue;
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size())
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        char buffer[96];
        std::snprintf(buffer, sizeof buffer,
                      "line %d: character U+%04X cannot be sent (not in code page 949)", line,
                      static_cast<unsigned>(code));
        return buffer;
    }
    return "a character cannot be sent (not in code page 949)";
}

std::string Undecodable(std::u16string_view text) {
    const std::u16string_view before = text.substr(0, text.find(u'\uFFFD'));
    const auto line = 1 + std::count(before.begin(), before.end(), u'\n');
    return "line " + std::to_string(line) +
           ": bytes that are not text in UTF-8, code page 949 or UTF-16";
}

}  // namespace

std::optional<std::string> EditorTextOfFile(std::string_view fileBytes, std::string* error) {
    // Decoded exactly as the window opens a file, so every file it reads can be rendered.
    const cp949::FileText file = cp949::DecodeFileLines(fileBytes);
    if (file.undecodable > 0) {
        if (error) *error = Undecodable(file.text);
        return std::nullopt;
    }
    const std::u16string lines = EditorLines(file.text);
    std::optional<std::string> bytes = cp949::EncodeStrict(lines);
    if (!bytes && error) *error = Unencodable(lines);
    return bytes;
}

int PlayPlan(CodePlayer& player, const std::vector<PlannedBuffer>& plan,
             const CodeSettings& settings, const std::vector<long long>& extraSilence,
             const std::function<bool()>& stopRequested) {
    auto extraAfter = [&extraSilence](size_t i) {
        return i < extraSilence.size() ? extraSilence[i] : 0LL;
    };
    // A buffer with a user value is a letter of a sign that the next one joins; the sign is
    // queued letter by letter and waited for after its last letter, as SendSign does.
    std::optional<CodePlayer::Sign> sign;
    int played = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        const PlannedBuffer& buffer = plan[i];
        if (!sign && stopRequested && stopRequested()) break;
        ++played;
        if (buffer.userValue != 0 || sign) {
            if (!sign) sign.emplace(player.BeginSign(settings));
            sign->QueueCode(buffer.code, buffer.userValue, buffer.syllableEnd, extraAfter(i));
            if (buffer.userValue == 0) {
                sign->Finish();
                sign.reset();
            }
            continue;
        }
        player.PlayCode(buffer.code, buffer.syllableEnd, settings, extraAfter(i));
    }
    if (sign) sign->Finish();
    return played;
}

int SendWholeText(CodePlayer& player, std::string_view text, const WholeSendOptions& options,
                  const CodeSettings& settings) {
    const std::string tidied = Tidy(text, SendTidying(options.collapseSpaces, options.trimBlanks));
    SendOptions sendOptions;
    sendOptions.startEndMarks = options.startEndMarks;
    sendOptions.sentenceEndMark = options.sentenceEndMark;
    // Planned and played a unit at a time: a book's plan would take as much memory as the book
    // many times over. A unit holds whole signs, so each piece plays as it would in one plan.
    WholeSendPlanner planner(tidied, sendOptions);
    std::vector<PlannedBuffer> unit;
    int played = 0;
    while (planner.next(unit)) {
        played += PlayPlan(player, unit, settings);
        unit.clear();
    }
    return played;
}

}  // namespace cwt
