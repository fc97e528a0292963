#include "sound/SampleRing.h"

#include <algorithm>
#include <bit>

namespace cwt {

SampleRing::SampleRing(size_t capacity)
    : m_buffer(std::bit_ceil(std::max<size_t>(capacity, 2))), m_mask(m_buffer.size() - 1) {}

template <typename Fill>
size_t SampleRing::put(size_t count, Fill fill) {
    const uint64_t written = m_written.load(std::memory_order_relaxed);
    const uint64_t read = m_read.load(std::memory_order_acquire);
    const size_t room = m_buffer.size() - static_cast<size_t>(written - read);
    const size_t taken = std::min(count, room);
    for (size_t i = 0; i < taken; ++i) m_buffer[(written + i) & m_mask] = fill(i);
    m_written.store(written + taken, std::memory_order_release);
    if (taken < count) m_dropped.fetch_add(count - taken, std::memory_order_relaxed);
    return taken;
}

size_t SampleRing::write(const float* samples, size_t count) {
    return put(count, [samples](size_t i) { return samples[i]; });
}

size_t SampleRing::writeSilence(size_t count) {
    return put(count, [](size_t) { return 0.0f; });
}

size_t SampleRing::read(float* out, size_t max) {
    const uint64_t read = m_read.load(std::memory_order_relaxed);
    const uint64_t written = m_written.load(std::memory_order_acquire);
    const size_t taken = std::min(max, static_cast<size_t>(written - read));
    for (size_t i = 0; i < taken; ++i) out[i] = m_buffer[(read + i) & m_mask];
    m_read.store(read + taken, std::memory_order_release);
    return taken;
}

void SampleRing::clear() {
    m_read.store(m_written.load(std::memory_order_acquire), std::memory_order_release);
}

size_t SampleRing::available() const {
    return static_cast<size_t>(m_written.load(std::memory_order_acquire) -
                               m_read.load(std::memory_order_acquire));
}

}  // namespace cwt
