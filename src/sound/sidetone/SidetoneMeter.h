#pragma once
// Measures the sidetone against the key, for its tests and benchmarks: where its tones begin
// and end (to a fraction of a sample), how far each tone edge lies from the key edge meant for
// it, how long each element sounded against how long it was keyed, and what sounds outside the
// tones. Also plays a keyed rhythm into a sidetone from a thread of its own, as a key input or
// a keyer would hand it in.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "engine/keyer/KeyEvents.h"
#include "sound/RhythmMeter.h"
#include "sound/sidetone/MonitorTimeline.h"

namespace cwt {

// Tones of a 16-bit recording, each edge where the sound crosses half of `level` (the tone's
// level), placed between the two samples it crosses between. A quieter stretch shorter than
// `minGapMs` (a zero crossing of the wave) does not end a tone.
std::vector<ToneRun> ToneRunsAtHalfLevel(const int16_t* data, size_t count, int rateHz, int level,
                                         double minGapMs = 0.5);

// A keyed element: key-down and key-up [ns].
struct KeyedElement {
    int64_t downNs = 0;
    int64_t upNs = 0;
    bool handedLate = false;  // its edges were handed in after the key-down's moment
};

struct SidetoneMatch {
    size_t keyed = 0;                   // elements keyed
    size_t heard = 0;                   // tones found
    size_t missing = 0;                 // keyed elements with no tone
    size_t extra = 0;                   // tones that belong to no keyed element
    std::vector<double> latencyMs;      // each edge: tone minus key
    std::vector<double> lengthErrorMs;  // each element: heard minus keyed length
    // Elements during which the server lost sound: the sink skipped a cycle, or the sidetone
    // was told that its stream lost sound. Left out of the length and latency figures: the
    // server, not the stream, lost that sound.
    size_t acrossBreaks = 0;
    size_t nearDropouts = 0;
    // Elements whose tone broke off and went on with no word from the server: a fault.
    size_t brokenTones = 0;
    // Elements handed in after their moment (the thread that hands them was held up): they
    // sound at once, so their latency is that thread's, not the sidetone's. Left out too.
    size_t handedLate = 0;
    double medianLatencyMs = 0;
    double minLatencyMs = 0;
    double maxLatencyMs = 0;
    double maxLengthErrorMs = 0;  // largest |heard − keyed|
    double lengthSpreadMs = 0;    // largest minus smallest length error
    double loudestOutside = 0;    // loudest sample outside the tones, 0..1 of full scale
    bool allHeard() const { return keyed > 0 && missing == 0 && extra == 0; }
    size_t disturbed() const { return acrossBreaks + nearDropouts + handedLate; }
    size_t judged() const { return lengthErrorMs.size(); }
    // How far the latency moved, within each stretch of the recording that no break or dropout
    // cuts: there the monitor's samples time every tone exactly against the others, while
    // across a break the monitor knows the sound's time only to a cycle of the sink.
    double latencySpreadMs = 0;
};

// Sets the tones of a monitor's recording beside the keyed elements: each tone belongs to the
// element that was keyed down before it and not yet up, by the typical latency. `level` is the
// tone's level in the recording. Only the recording from `fromNs` on counts (earlier sound
// belongs to something else).
// Elements near a moment in `dropoutsNs` (the sidetone's own word that the server lost its
// sound) count as disturbed.
SidetoneMatch MatchSidetone(const std::vector<KeyedElement>& keyed,
                            const MonitorTimeline::Recording& recording, int level,
                            int64_t fromNs = 0, const std::vector<int64_t>& dropoutsNs = {});
// The loudest sample of a recording, as its tones' level.
int LevelOf(const std::vector<int16_t>& samples);

// Hands a rhythm's edges to `edge` from a thread of its own: either as a key input's watcher
// thread does, which wakes when the line changes and stamps the edge with the time it woke
// (so the edges keyed are those times, as late as the machine made them), or as a keyer does,
// which hands out both edges of an element, at their planned times, `aheadNs` before the
// element starts.
class EdgePlayer {
public:
    using Sink = std::function<void(const keyer::KeyEdge&)>;
    EdgePlayer(std::vector<KeyedElement> elements, Sink sink, int64_t aheadNs = 0);
    ~EdgePlayer();
    // Waits for the rhythm's end; the elements as they were handed in.
    const std::vector<KeyedElement>& keyed();

private:
    std::vector<KeyedElement> m_keyed;
    std::thread m_thread;
};

// A rhythm whose first key-down is at `startNs` on the monotonic clock: `lengthsMs` alternate
// element, gap, element, … .
std::vector<KeyedElement> RhythmFrom(int64_t startNs, const std::vector<double>& lengthsMs);

}  // namespace cwt
