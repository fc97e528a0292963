#include "tests/ui/decoder/support/GeneratedInput.h"

#include <algorithm>

namespace cwt::test {

GeneratedInput::GeneratedInput(std::vector<float> samples, int rateHz, bool paced)
    : m_samples(std::move(samples)), m_rateHz(rateHz), m_paced(paced) {
    m_clock.start();
}

size_t GeneratedInput::read(float* out, size_t max) {
    size_t arrived = m_samples.size();
    if (m_paced)
        arrived = std::min(arrived,
                           static_cast<size_t>(m_clock.nsecsElapsed() / 1000 * m_rateHz / 1000000));
    const size_t n = std::min(max, arrived - std::min(arrived, m_position));
    std::copy_n(m_samples.begin() + static_cast<long>(m_position), n, out);
    m_position += n;
    return n;
}

}  // namespace cwt::test
