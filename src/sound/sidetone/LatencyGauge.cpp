#include "sound/sidetone/LatencyGauge.h"

#include <algorithm>

namespace cwt {

void LatencyGauge::reset() {
    m_blocks = 0;
    m_gathered = 0;
    m_previousNowNs = 0;
    m_watchFromNs = 0;
    m_latencyNs = 0;
    m_chosen = false;
}

bool LatencyGauge::observe(int64_t firstSampleNs, int64_t nowNs) {
    const int64_t previousNowNs = m_previousNowNs;
    m_previousNowNs = nowNs;
    if (m_blocks++ == 0) return false;
    const int64_t reachNs = firstSampleNs - previousNowNs;
    if (m_chosen) {
        if (!gather(reachNs, nowNs)) return false;
        const int64_t raisedNs = std::min(windowLatencyNs(), kMostNs);
        if (raisedNs > m_latencyNs + kRaiseStepNs) m_latencyNs = raisedNs;
        return false;
    }
    m_latencyNs = std::max({m_latencyNs, reachNs + kMarginNs, kLeastNs});
    if (m_blocks <= kSkippedBlocks || !gather(reachNs, nowNs)) return false;
    m_latencyNs = windowLatencyNs();
    m_chosen = true;
    return true;
}

// Keeps a block's reach; true once the window spans enough blocks and time.
bool LatencyGauge::gather(int64_t reachNs, int64_t nowNs) {
    if (m_gathered == 0) m_watchFromNs = nowNs;
    m_reachNs[static_cast<size_t>(m_gathered++)] = reachNs;
    const bool watchedLongEnough = nowNs - m_watchFromNs >= kWatchNs;
    return m_gathered >= kMostBlocks || (m_gathered >= kBlocks && watchedLongEnough);
}

// The latency the window's blocks ask for; starts the next window. The 90th percentile: a
// block that the scheduler woke late does not set the latency of the whole session.
int64_t LatencyGauge::windowLatencyNs() {
    const auto end = m_reachNs.begin() + m_gathered;
    const auto percentile = m_reachNs.begin() + m_gathered * 9 / 10;
    std::nth_element(m_reachNs.begin(), percentile, end);
    m_gathered = 0;
    return std::max(*percentile + kMarginNs, kLeastNs);
}

}  // namespace cwt
