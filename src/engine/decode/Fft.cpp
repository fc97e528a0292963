#include "engine/decode/Fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace cwt::decode {

Fft::Fft(size_t size) : m_size(size), m_twiddles(size / 2), m_reversed(size) {
    for (size_t k = 0; k < size / 2; ++k) {
        const double angle =
            -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(size);
        m_twiddles[k] = {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
    }
    int bits = 0;
    while ((size_t{1} << bits) < size) ++bits;
    for (size_t i = 0; i < size; ++i) {
        size_t r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1u) << (bits - 1 - b);
        m_reversed[i] = r;
    }
}

void Fft::forward(std::span<std::complex<float>> data) const {
    for (size_t i = 0; i < m_size; ++i)
        if (i < m_reversed[i]) std::swap(data[i], data[m_reversed[i]]);
    for (size_t half = 1; half < m_size; half *= 2) {
        const size_t stride = m_size / (2 * half);
        for (size_t start = 0; start < m_size; start += 2 * half) {
            for (size_t k = 0; k < half; ++k) {
                const std::complex<float> t = m_twiddles[k * stride] * data[start + k + half];
                data[start + k + half] = data[start + k] - t;
                data[start + k] += t;
            }
        }
    }
}

}  // namespace cwt::decode
