#pragma once
// Sound files read through libsndfile, which knows every WAV variant an operator's recorder
// writes (8, 16, 24 and 32-bit integer, float, extensible headers, any rate) and refuses
// damaged headers in words; the window takes the first channel, as floats of ±1.

#include <QString>
#include <memory>

#include "ui/decoder/SampleFileReader.h"

namespace cwt {

// Opens `path` for reading; null with the reason in `error` when it is no sound file libsndfile
// reads, holds no samples, or is not a regular file (a pipe or a device would block the window).
std::unique_ptr<SampleFileReader> OpenSoundFile(const QString& path, QString* error);

}  // namespace cwt
