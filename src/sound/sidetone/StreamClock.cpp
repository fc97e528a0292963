#include "sound/sidetone/StreamClock.h"

#include <cmath>

namespace cwt {

void StreamClock::reset(int rateHz) {
    m_rateHz = rateHz;
    m_synced = false;
    m_sampleZeroNs = 0;
    m_offLine = false;
    m_jumps = 0;
}

int64_t StreamClock::timeOf(int64_t index) const {
    return static_cast<int64_t>(
        std::llround(m_sampleZeroNs + static_cast<double>(index) * 1e9 / m_rateHz));
}

int64_t StreamClock::observe(int64_t index, int64_t reportedNs) {
    const double lineNs = m_sampleZeroNs + static_cast<double>(index) * 1e9 / m_rateHz;
    const double deviationNs = static_cast<double>(reportedNs) - lineNs;
    if (!m_synced) {
        m_sampleZeroNs += deviationNs;
        m_synced = true;
        ++m_jumps;
    } else if (std::fabs(deviationNs) <= kJumpNs) {
        m_sampleZeroNs += deviationNs * kGain;
        m_offLine = false;
    } else if (m_offLine && std::fabs(deviationNs - m_offDeviationNs) <= kAgreeNs) {
        m_sampleZeroNs += deviationNs;
        m_offLine = false;
        ++m_jumps;
    } else {
        m_offLine = true;
        m_offDeviationNs = deviationNs;
    }
    return timeOf(index);
}

}  // namespace cwt
