#pragma once
// A sound file read in pieces as mono samples: the first channel, as floats.

#include <QString>
#include <cstddef>
#include <functional>
#include <memory>

namespace cwt {

class SampleFileReader {
public:
    virtual ~SampleFileReader() = default;
    virtual int rateHz() const = 0;
    virtual long long frames() const = 0;
    // Reads up to `max` samples; 0 at the end.
    virtual size_t read(float* out, size_t max) = 0;
};

using SampleFileOpener =
    std::function<std::unique_ptr<SampleFileReader>(const QString& path, QString* error)>;

}  // namespace cwt
