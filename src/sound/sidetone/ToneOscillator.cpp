#include "sound/sidetone/ToneOscillator.h"

#include <algorithm>

namespace cwt {

void ToneOscillator::start(const ToneSettings& settings) {
    const int full = settings.sampleBits == 16 ? 65536 : 256;
    const int cut = std::clamp(settings.cut, 0, full / 2);
    m_kind = settings.kind;
    m_hi = std::min(full - cut, full - 1);
    m_lo = cut;
    m_timbre = settings.timbre <= 0 ? 1 : settings.timbre;
    m_step = ToneStep(settings);
    m_level = full / 2;
    m_up = true;
    m_index = 0;
}

// The rising flank of M3 and M4: up by a step, turning at the top.
void ToneOscillator::rise() {
    m_level += m_step;
    if (m_level >= m_hi) {
        m_level = m_hi;
        m_up = false;
    }
}

uint8_t ToneOscillator::next() {
    // Only "index mod timbre" matters, so the index wraps and a key held for hours cannot
    // overflow it.
    const bool flip = m_index == 0;
    m_index = m_index + 1 == m_timbre ? 0 : m_index + 1;
    switch (m_kind) {
        case WaveKind::M1:
            if (flip) m_up = !m_up;
            m_level = m_up ? m_hi : m_lo;
            break;
        case WaveKind::M2:
            if (flip) m_up = !m_up;
            m_level = m_up ? std::min(m_level + m_step, m_hi) : std::max(m_level - m_step, m_lo);
            break;
        case WaveKind::M3:
            if (m_up) {
                rise();
            } else {
                m_level -= m_step;
                if (m_level <= m_lo) {
                    m_level = m_lo;
                    m_up = true;
                }
            }
            break;
        case WaveKind::M4:
            if (m_up) {
                rise();
            } else {
                m_level = m_lo;  // the sample after the peak drops to the bottom
                m_up = true;
            }
            break;
    }
    return static_cast<uint8_t>(m_level & 0xFF);
}

}  // namespace cwt
