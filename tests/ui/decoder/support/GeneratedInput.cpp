#include "tests/ui/decoder/support/GeneratedInput.h"

#include <algorithm>

namespace cwt::test {

GeneratedInput::GeneratedInput(std::vector<float> samples, int rateHz, bool paced,
                               size_t stepSamples)
    : m_samples(std::move(samples)),
      m_rateHz(rateHz),
      m_paced(paced),
      m_step(stepSamples > 0 ? stepSamples : m_samples.size()),
      m_held(m_samples.size()) {
    m_clock.start();
}

size_t GeneratedInput::read(float* out, size_t max) {
    size_t arrived = std::min(m_held, m_samples.size());
    if (m_paced)
        arrived = std::min(arrived,
                           static_cast<size_t>(m_clock.nsecsElapsed() / 1000 * m_rateHz / 1000000));
    else
        max = std::min(max, m_step);
    const size_t n = std::min(max, arrived - std::min(arrived, m_position));
    std::copy_n(m_samples.begin() + static_cast<long>(m_position), n, out);
    m_position += n;
    return n;
}

}  // namespace cwt::test
