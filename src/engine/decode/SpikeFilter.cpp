#include "engine/decode/SpikeFilter.h"

#include <algorithm>

namespace cwt::decode {

namespace {

// How sure the input was that a stretch is what it is now taken for.
double OwnBelief(const KeyStretch& s) { return s.mark ? s.markProbability : 1 - s.markProbability; }

void SetOwnBelief(KeyStretch& s, double belief) {
    s.markProbability = s.mark ? belief : 1 - belief;
}

// A stretch taken for the other kind than the input said is as doubtful as a coin.
constexpr double kOverruledBelief = 0.5;

}  // namespace

void SpikeFilter::push(KeyStretch stretch, double spikeLimitMs, double dropoutLimitMs,
                       std::vector<KeyStretch>& settled) {
    if (stretch.mark && stretch.lengthMs < spikeLimitMs) {
        stretch.mark = false;
        stretch.markProbability = kOverruledBelief;
    } else if (!stretch.mark && stretch.lengthMs < dropoutLimitMs && holdsMark()) {
        stretch.mark = true;
        stretch.markProbability = kOverruledBelief;
    }
    if (m_held && m_held->mark == stretch.mark) {
        // Joined: as doubtful as its most doubtful part.
        const double belief = std::min(OwnBelief(*m_held), OwnBelief(stretch));
        m_held->lengthMs = stretch.startMs + stretch.lengthMs - m_held->startMs;
        SetOwnBelief(*m_held, belief);
        return;
    }
    if (m_held) settled.push_back(*m_held);
    m_held = stretch;
}

void SpikeFilter::idle(double nowMs, double dropoutLimitMs, std::vector<KeyStretch>& settled) {
    if (holdsMark() && nowMs - (m_held->startMs + m_held->lengthMs) >= dropoutLimitMs) {
        settled.push_back(*m_held);
        m_held.reset();
    }
}

void SpikeFilter::flush(std::vector<KeyStretch>& settled) {
    if (m_held) settled.push_back(*m_held);
    m_held.reset();
}

}  // namespace cwt::decode
