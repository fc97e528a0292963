#pragma once
// keying.ini in the configuration folder: the settings of the dialog "키잉 설정", section
// "Keying". Whether the transmitter is keyed is not kept; it starts off at every start.

#include <QString>

#include "engine/keying/KeyingSettings.h"

inline const QString kKeyingFileName = QStringLiteral("keying.ini");

// The file of the configuration folder.
QString KeyingFilePath();
// The defaults for what the file does not hold (or when there is no file).
cwt::KeyingSettings ReadKeyingFile(const QString& path);
// False when the file could not be written; the old one is then unchanged.
bool WriteKeyingFile(const QString& path, const cwt::KeyingSettings& settings);
