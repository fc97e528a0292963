#include "sound/sidetone/SidetoneEngine.h"

#include <chrono>

namespace cwt {

void SidetoneEngine::start(int rateHz, const ToneSettings& tone) {
    keyer::KeyEdge stale;
    while (m_queue.pop(stale)) {
    }
    m_heldEdge = false;
    m_tone.store(tone);
    ToneSettings seen;
    m_tone.loadIfChanged(m_toneSeen, seen);
    m_renderer.reset(rateHz, tone);
    m_clock.reset(rateHz);
    m_gauge.reset();
    m_written = 0;
    m_latencyNs.store(0, std::memory_order_relaxed);
    m_latencyChosen.store(false, std::memory_order_relaxed);
    m_lateEdges.store(0, std::memory_order_relaxed);
    m_clockJumps.store(0, std::memory_order_relaxed);
    m_dropoutCount.store(0, std::memory_order_relaxed);
    m_blocks.store(0, std::memory_order_release);
}

void SidetoneEngine::noteDropout(int64_t nowNs) {
    const int count = m_dropoutCount.load(std::memory_order_relaxed);
    if (count == kDropoutCapacity) return;
    m_dropoutNs[static_cast<size_t>(count)] = nowNs;
    m_dropoutCount.store(count + 1, std::memory_order_release);
}

std::vector<int64_t> SidetoneEngine::dropouts() const {
    const int count = m_dropoutCount.load(std::memory_order_acquire);
    return {m_dropoutNs.begin(), m_dropoutNs.begin() + count};
}

bool SidetoneEngine::push(const keyer::KeyEdge& edge) {
    if (m_queue.push(edge)) return true;
    m_droppedEdges.fetch_add(1, std::memory_order_relaxed);
    return false;
}

SidetoneFigures SidetoneEngine::figures() const {
    SidetoneFigures figures;
    figures.blocks = m_blocks.load(std::memory_order_acquire);
    figures.latencyNs = m_latencyNs.load(std::memory_order_relaxed);
    figures.latencyChosen = m_latencyChosen.load(std::memory_order_relaxed);
    figures.lateEdges = m_lateEdges.load(std::memory_order_relaxed);
    figures.droppedEdges = m_droppedEdges.load(std::memory_order_relaxed);
    figures.clockJumps = m_clockJumps.load(std::memory_order_relaxed);
    figures.dropouts = m_dropoutCount.load(std::memory_order_relaxed);
    return figures;
}

// Audio thread. Until it is chosen the latency follows the gauge block by block. A later raise
// waits until no element sounds, so that no element changes its length; the sound after it
// moves by the raise, which is told as a dropout.
void SidetoneEngine::applyLatency(int64_t nowNs, bool chosenNow) {
    const int64_t latencyNs = m_gauge.latencyNs();
    if (latencyNs == m_renderer.latencyNs()) return;
    const bool raise = m_gauge.chosen() && !chosenNow;
    if (raise && m_renderer.sounding()) return;
    if (raise) noteDropout(nowNs);
    m_renderer.setLatency(std::chrono::nanoseconds(latencyNs));
}

// Audio thread: moves what other threads handed in into the renderer, as far as it has room.
void SidetoneEngine::takeHandedIn() {
    ToneSettings tone;
    if (m_tone.loadIfChanged(m_toneSeen, tone)) m_renderer.setTone(tone);
    if (m_heldEdge) {
        if (!m_renderer.take(m_held)) return;
        m_heldEdge = false;
    }
    while (m_queue.pop(m_held)) {
        if (!m_renderer.take(m_held)) {
            m_heldEdge = true;
            return;
        }
    }
}

void SidetoneEngine::render(int16_t* out, int frames, int64_t reportedFirstNs, int64_t nowNs) {
    int64_t firstNs = 0;
    const int jumpsBefore = m_clock.jumps();
    const int oddBefore = m_clock.oddReports();
    if (reportedFirstNs != kUnknownTime)
        firstNs = m_clock.observe(m_written, reportedFirstNs);
    else
        firstNs = m_clock.synced() ? m_clock.timeOf(m_written) : nowNs;
    // The stream's sound moved (the graph skipped its cycle, or it ran dry), or the stream was
    // called too late for a cycle, which the graph may have played without it.
    if ((jumpsBefore > 0 && m_clock.jumps() > jumpsBefore) || m_clock.oddReports() > oddBefore)
        noteDropout(nowNs);
    const bool chosenNow = m_gauge.observe(firstNs, nowNs);
    applyLatency(nowNs, chosenNow);
    takeHandedIn();
    m_renderer.render(out, frames, firstNs);
    m_written += frames;

    m_latencyNs.store(m_gauge.latencyNs(), std::memory_order_relaxed);
    m_latencyChosen.store(m_gauge.chosen(), std::memory_order_relaxed);
    m_lateEdges.store(m_renderer.lateEdges(), std::memory_order_relaxed);
    m_clockJumps.store(m_clock.jumps(), std::memory_order_relaxed);
    m_blocks.fetch_add(1, std::memory_order_release);
    if (chosenNow && m_chosenHandler) m_chosenHandler(m_chosenContext);
}

}  // namespace cwt
