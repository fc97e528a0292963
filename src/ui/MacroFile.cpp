#include "ui/MacroFile.h"

#include <QFile>
#include <QSaveFile>
#include <string>
#include <utility>
#include <vector>

#include "engine/Cp949Text.h"
#include "engine/IniProfile.h"

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    const cwt::IniProfile ini =
        cwt::IniProfile::Parse(std::string_view(bytes.constData(), bytes.size()));
    // Each entry with its own line's value: of a key written twice, the first still counts
    // when the key is pressed, and the second's text stays there to be seen and kept.
    QList<MacroEntry> entries;
    for (const auto& [key, value] : ini.Entries(utf8(kMacroSection)))
        entries.append({decoded(key), decoded(value)});
    return entries;
}

bool WriteMacroFile(const QString& path, const QList<MacroEntry>& entries) {
    QByteArray old;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) return false;
        old = existing.readAll();
        existing.close();
    }
    cwt::IniProfile ini = cwt::IniProfile::Parse(std::string_view(old.constData(), old.size()));
    std::vector<cwt::IniProfile::Entry> lines;
    lines.reserve(entries.size());
    for (const MacroEntry& entry : entries)
        lines.emplace_back(utf8(entry.key), utf8(entry.definition));
    ini.ReplaceSection(utf8(kMacroSection), lines, cwt::IniProfile::RepeatedKeys::Keep);

    const std::string text = ini.Serialize();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    // The device buffers what is written, and QSaveFile::commit() does not look at errors
    // that only show when that buffer goes to the disk: flush and check first, so a file
    // written in part never replaces the old one.
    const bool written = file.write(text.data(), static_cast<qint64>(text.size())) ==
                             static_cast<qint64>(text.size()) &&
                         file.flush() && file.error() == QFileDevice::NoError;
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
