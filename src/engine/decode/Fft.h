#pragma once
// A small radix-2 complex FFT for the band decoder's spectrum. The decoder needs one size
// (1024 points, about fifteen times a second), so a plain iterative transform with
// precomputed twiddles is all it takes; no outside library.

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace cwt::decode {

class Fft {
public:
    // `size` must be a power of two, at least 2.
    explicit Fft(size_t size);

    size_t size() const { return m_size; }

    // In place, forward (e^{-j2πkn/N}), unscaled. `data` must hold size() values.
    void forward(std::span<std::complex<float>> data) const;

private:
    size_t m_size;
    std::vector<std::complex<float>> m_twiddles;  // e^{-j2πk/N}, k < N/2
    std::vector<size_t> m_reversed;               // bit-reversed index of each position
};

}  // namespace cwt::decode
