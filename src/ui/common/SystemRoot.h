#pragma once
// Where the program keeps its files: the per-user configuration folder
// $XDG_CONFIG_HOME/cw-tamarik (default ~/.config/cw-tamarik), created when needed.

#include <QString>

// The configuration folder, without a trailing separator; never empty.
QString ReadSystemRoot();

// The folder for temporary files, inside the configuration folder.
QString TempDirOf(const QString& systemRoot);
