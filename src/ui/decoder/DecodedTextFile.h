#pragma once
// Saves the decoded text as a UTF-8 file. The text goes to a temporary file beside the
// target, which replaces the old file only when everything was written: a failed save
// leaves the old file as it was. False with the reason in words, in `error`.

#include <QString>

bool SaveDecodedText(const QString& path, const QString& text, QString* error);
