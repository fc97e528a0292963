#include "ui/macros/MacroFile.h"

#include <string>
#include <utility>
#include <vector>

#include "engine/config/IniProfile.h"
#include "engine/morse/Cp949Text.h"
#include "ui/common/IniFile.h"

namespace {

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// The file is written in UTF-8; a value that is not UTF-8 comes from an older file in the
// Korean code page.
QString decoded(const std::string& bytes) {
    if (cwt::cp949::IsValidUtf8(bytes)) return QString::fromUtf8(bytes.data(), bytes.size());
    return QString::fromStdU16String(cwt::cp949::Decode(bytes));
}

}  // namespace

QList<MacroEntry> ReadMacroFile(const QString& path) {
    const cwt::IniProfile ini = ReadIniFile(path);
    // Each entry with its own line's value: of a key written twice, the first still counts
    // when the key is pressed, and the second's text stays there to be seen and kept.
    QList<MacroEntry> entries;
    for (const auto& [key, value] : ini.Entries(utf8(kMacroSection)))
        entries.append({decoded(key), decoded(value)});
    return entries;
}

bool WriteMacroFile(const QString& path, const QList<MacroEntry>& entries) {
    std::vector<cwt::IniProfile::Entry> lines;
    lines.reserve(entries.size());
    for (const MacroEntry& entry : entries)
        lines.emplace_back(utf8(entry.key), utf8(entry.definition));
    return ChangeIniFile(path, [&](cwt::IniProfile& ini) {
        ini.ReplaceSection(utf8(kMacroSection), lines, cwt::IniProfile::RepeatedKeys::Keep);
    });
}
