#pragma once
// A ring of samples between exactly one writing thread and one reading thread, without locks:
// the libpulse thread writes what the server sends, the decoding side reads it. The storage
// is allocated once, so a write never allocates. When the reader falls behind, what does not
// fit is dropped and counted; nothing already in the ring is overwritten.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cwt {

class SampleRing {
public:
    // Holds up to `capacity` samples (rounded up to a power of two).
    explicit SampleRing(size_t capacity);

    // Writing thread: copies as many of `samples` as fit; returns how many did.
    size_t write(const float* samples, size_t count);
    // Writing thread: `count` samples of silence, for a hole in the server's data.
    size_t writeSilence(size_t count);
    // Reading thread: moves up to `max` samples to `out`; returns how many.
    size_t read(float* out, size_t max);
    // Reading thread: forgets everything written so far.
    void clear();

    // Any thread: samples waiting to be read, and samples dropped because the ring was full.
    size_t available() const;
    uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }
    size_t capacity() const { return m_buffer.size(); }

private:
    template <typename Fill>
    size_t put(size_t count, Fill fill);

    std::vector<float> m_buffer;
    size_t m_mask;
    // Running counts; each is written by one thread only.
    std::atomic<uint64_t> m_written{0};
    std::atomic<uint64_t> m_read{0};
    std::atomic<uint64_t> m_dropped{0};
};

}  // namespace cwt
