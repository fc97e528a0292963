#pragma once
// An INI file of the configuration folder, read and changed as a whole with the profile
// functions' rules (IniProfile). A change is written to a temporary file that replaces the old
// one only when it was written whole, so a failed save loses nothing.

#include <QString>
#include <functional>

#include "engine/config/IniProfile.h"

// The file's lines; an empty profile when the file is missing or cannot be read.
cwt::IniProfile ReadIniFile(const QString& path);

// Reads the file, lets `change` edit it and writes it back. False when the file exists but
// cannot be read (its other sections would be lost) or cannot be written; the old file is then
// unchanged.
bool ChangeIniFile(const QString& path, const std::function<void(cwt::IniProfile&)>& change);
