#include "engine/keying/KeyingSettings.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace cwt {

namespace {

std::optional<int> NumberOf(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, ec] = std::from_chars(text->data(), end, value);
    if (ec != std::errc() || stop != end) return std::nullopt;
    return value;
}

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

}  // namespace

KeyingSettings ReadKeyingSettings(const IniProfile& file) {
    KeyingSettings s;
    auto value = [&](std::string_view key) { return file.Value(kKeyingSection, key); };
    auto is = [&](std::string_view key, std::string_view word) {
        const auto v = value(key);
        return v && SameWord(*v, word);
    };
    if (is("Output", "hamlib")) s.output = KeyOutput::RigKeyer;
    if (auto v = value("Device"); v && !v->empty()) s.device = *v;
    if (is("Line", "RTS")) s.line = ModemLine::Rts;
    s.inverted = is("Polarity", "inverted");
    if (auto n = NumberOf(value("WatchdogSeconds")))
        s.watchdogSeconds = std::clamp(*n, kMinWatchdogSeconds, kMaxWatchdogSeconds);
    if (auto n = NumberOf(value("Sidetone"))) s.sidetone = *n != 0;
    if (is("RigConnection", "cat")) s.connection = RigConnection::Cat;
    if (auto n = NumberOf(value("RigModel")); n && *n > 0) s.rigModel = *n;
    if (auto v = value("RigPort"); v && !v->empty()) s.rigPort = *v;
    if (auto n = NumberOf(value("RigSerialSpeed")); n && *n >= 0) s.rigSerialSpeed = *n;
    if (auto v = value("RigctldAddress"); v && !v->empty()) s.rigctldAddress = *v;
    return s;
}

void WriteKeyingSettings(IniProfile& file, const KeyingSettings& s) {
    file.ReplaceSection(kKeyingSection,
                        {{"Output", s.output == KeyOutput::RigKeyer ? "hamlib" : "serial"},
                         {"Device", s.device},
                         {"Line", s.line == ModemLine::Rts ? "RTS" : "DTR"},
                         {"Polarity", s.inverted ? "inverted" : "normal"},
                         {"WatchdogSeconds", std::to_string(s.watchdogSeconds)},
                         {"Sidetone", s.sidetone ? "1" : "0"},
                         {"RigConnection", s.connection == RigConnection::Cat ? "cat" : "rigctld"},
                         {"RigModel", std::to_string(s.rigModel)},
                         {"RigPort", s.rigPort},
                         {"RigSerialSpeed", std::to_string(s.rigSerialSpeed)},
                         {"RigctldAddress", s.rigctldAddress}});
}

}  // namespace cwt
