#pragma once
// The macro file cw_macro.ini: section "CW Macros", one "key=definition" line per macro in
// the grid's row order. Read with the profile functions' rules (blanks and one pair of
// quotes around a definition dropped); written in UTF-8 through a temporary file that
// replaces the old one only when it was written whole, so a failed save loses nothing.
// Other sections of the file keep their lines as they were.

#include <QList>
#include <QString>

inline const QString kMacroFileName = QStringLiteral("cw_macro.ini");
inline const QString kMacroSection = QStringLiteral("CW Macros");

struct MacroEntry {
    QString key;
    QString definition;
};

// The macros of the section in file order, each with the value of its own line, read with the
// profile functions' rules; a key written twice gives two macros, of which the first is found
// first. Empty when the file or the section is missing or unreadable. A definition of any
// length is read whole.
QList<MacroEntry> ReadMacroFile(const QString& path);

// Replaces the section with `entries`, a line for each (a key given twice too). False when
// the file could not be written; the old file is then unchanged (also when it exists but
// cannot be read, so that its other sections are never dropped).
bool WriteMacroFile(const QString& path, const QList<MacroEntry>& entries);
