#include "rig/LiveKeyPath.h"

namespace cwt {

namespace {

// The letters of a live key are numbered apart from the letters of sends, so that the keying
// thread never takes one for the other when a send's Stop finishes its letter.
constexpr uint32_t kLiveLetters = 0x8000'0000u;

}  // namespace

void LiveTimedEdges(std::span<const keyer::KeyEdge> edges, int64_t delayNs, int64_t nowNs,
                    uint32_t letter, std::vector<TimedEdge>& timed, int& late) {
    for (size_t i = 0; i < edges.size(); ++i) {
        const int64_t atNs = edges[i].time.count() + delayNs;
        const bool endedAlready = edges[i].down && i + 1 < edges.size() && !edges[i + 1].down &&
                                  edges[i + 1].time.count() + delayNs <= nowNs;
        if (endedAlready) {
            ++late;
            ++i;
            continue;
        }
        timed.push_back({atNs, letter, edges[i].down});
    }
}

LiveKeyPath::LiveKeyPath() { m_timed.reserve(256); }

void LiveKeyPath::attach(KeyingThread* thread, int64_t delayNs) {
    std::lock_guard lock(m_mutex);
    m_thread = thread;
    m_delayNs = delayNs;
}

void LiveKeyPath::detach() {
    std::lock_guard lock(m_mutex);
    m_thread = nullptr;
}

bool LiveKeyPath::attached() const {
    std::lock_guard lock(m_mutex);
    return m_thread != nullptr;
}

void LiveKeyPath::open() {
    std::lock_guard lock(m_mutex);
    m_open = true;
}

bool LiveKeyPath::close() {
    std::lock_guard lock(m_mutex);
    const bool wasOpen = m_open;
    m_open = false;
    if (wasOpen && m_thread) m_thread->cancel();
    return wasOpen;
}

bool LiveKeyPath::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool LiveKeyPath::key(std::span<const keyer::KeyEdge> edges) {
    std::lock_guard lock(m_mutex);
    if (!m_open || !m_thread) return false;
    m_timed.clear();
    int late = 0;
    m_letter = (m_letter + 1) & ~kLiveLetters;
    LiveTimedEdges(edges, m_delayNs, MonotonicNowNs(), m_letter | kLiveLetters, m_timed, late);
    m_late.fetch_add(late, std::memory_order_relaxed);
    return m_timed.empty() || m_thread->handOver(m_timed);
}

void LiveKeyPath::cut() {
    std::lock_guard lock(m_mutex);
    if (m_thread) m_thread->cancel();
}

}  // namespace cwt
