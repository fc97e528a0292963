#include "ui/common/KeyEventClock.h"

namespace cwt {

namespace {

// No GUI thread is held up this long by itself; delays beyond it, several in a row, mean that
// the server's clock moved.
constexpr int64_t kFarTooLateNs = 500'000'000;
constexpr int kFarTooLateInARow = 3;

}  // namespace

int64_t KeyEventClock::timeOf(uint64_t serverMs, int64_t arrivalNs) {
    if (serverMs == 0) {
        m_lastDelayNs = 0;
        return arrivalNs;
    }
    const int64_t offsetNs = arrivalNs - static_cast<int64_t>(serverMs) * 1'000'000;
    if (!m_offsetNs || offsetNs < *m_offsetNs) {
        m_offsetNs = offsetNs;
        m_farTooLate = 0;
    } else if (offsetNs - *m_offsetNs > kFarTooLateNs) {
        if (++m_farTooLate >= kFarTooLateInARow) {
            m_offsetNs = offsetNs;
            m_farTooLate = 0;
        }
    } else {
        m_farTooLate = 0;
    }
    const int64_t delayNs = offsetNs - *m_offsetNs;
    // A delay that is not believable (a clock that moved, not yet measured afresh) keeps the
    // arrival.
    m_lastDelayNs = delayNs > kFarTooLateNs ? 0 : delayNs;
    return arrivalNs - m_lastDelayNs;
}

}  // namespace cwt
