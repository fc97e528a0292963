#include "sound/sidetone/StreamClock.h"

#include <algorithm>
#include <cmath>

namespace cwt {

void StreamClock::reset(int rateHz) {
    m_rateHz = rateHz;
    m_synced = false;
    m_sampleZeroNs = 0;
    m_offLine = false;
    m_lastIndex = 0;
    m_jumps = 0;
    m_oddReports = 0;
}

void StreamClock::resync() {
    if (!m_synced) return;
    m_sinceJump = 0;
    m_offLine = false;
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
        m_sinceJump = 1;
        ++m_jumps;
    } else if (std::fabs(deviationNs) <= kJumpNs) {
        // The first reports after a jump are averaged, so that the first one's jitter does not
        // stay for seconds.
        const double blockSeconds = static_cast<double>(index - m_lastIndex) / m_rateHz;
        const double average = m_sinceJump < kAveragedReports ? 1.0 / ++m_sinceJump : 0.0;
        const double gain = std::max(blockSeconds / kSettleSeconds, average);
        m_sampleZeroNs += deviationNs * std::clamp(gain, 0.0, 1.0);
        if (m_offLine) ++m_oddReports;
        m_offLine = false;
    } else if (m_offLine && std::fabs(deviationNs - m_offDeviationNs) <= kAgreeNs) {
        m_sampleZeroNs += deviationNs;
        m_offLine = false;
        m_sinceJump = 1;
        ++m_jumps;
    } else {
        m_offLine = true;
        m_offDeviationNs = deviationNs;
    }
    m_lastIndex = index;
    return timeOf(index);
}

}  // namespace cwt
