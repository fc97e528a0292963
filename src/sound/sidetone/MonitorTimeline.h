#pragma once
// Records a sink's monitor (the null sink "cwnull" of the test servers) with the monotonic time
// of every sample, so that sound can be set beside the key edges meant for it. For the tests
// and benchmarks of the sidetone.
//
// The sink hands each chunk to the monitor once it has rendered it, so a chunk arrives no
// sooner than the server rendered it: among chunks that follow each other without a break, the
// one that arrived soonest after its samples fixes the time of all. A server renders a cycle
// ahead of the moment the cycle stands for, so the times found are the server's output, known
// to about one cycle of the sink; within one recording they are exact to a sample.
//
// When the server's graph misses a cycle (a busy machine), the sink skips it and the monitor
// never has it: every later sample stands for a later moment than counting samples would say.
// The recording is cut at such breaks into stretches, each timed by its soonest chunk; the
// breaks are counted, and what sounded across one is not what the stream played.
//
// The recording asks for nothing small: a monitor that asked for short fragments would drive
// the sink's cycle itself and hide what the stream under test asks for.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct pa_stream;

namespace cwt {

class PulseClient;

class MonitorTimeline {
public:
    static constexpr int kRateHz = 48000;
    // Later chunks all this much later mean a break [ns]: less than PipeWire's cycle at the
    // sidetone's 128 samples (2.7 ms), more than a busy machine delays a whole stretch of
    // chunks.
    static constexpr int64_t kBreakNs = 2'000'000;
    // The chunks that fix a chunk's time arrive within this time after it.
    static constexpr int64_t kSettleNs = 400'000'000;

    // Starts recording `source` (mono, signed 16 bit, 48 kHz) for at most `maxSeconds`.
    explicit MonitorTimeline(const char* source = "cwnull.monitor", int maxSeconds = 120);
    ~MonitorTimeline();
    MonitorTimeline(const MonitorTimeline&) = delete;
    MonitorTimeline& operator=(const MonitorTimeline&) = delete;

    // Waits until samples arrive; false when the server did not start the recording.
    bool waitRunning(int timeoutMs = 3000);

    struct Recording {
        std::vector<int16_t> samples;
        std::vector<size_t> chunkEnds;      // samples up to the end of each chunk
        std::vector<int64_t> chunkStartNs;  // CLOCK_MONOTONIC time of each chunk's first sample
        size_t typicalChunk = 0;            // the commonest chunk the sink delivered [samples]
        int breaks = 0;                     // times the sink skipped cycles, by the arrivals
        std::vector<size_t> breakChunks;    // the chunks at which they were found

        // The monotonic time of a position in samples (fractional).
        int64_t timeOf(double sample) const;
        // Whether the sink skipped a cycle between these two positions (or in the chunks around
        // them, which is as close as the monitor can tell).
        bool breakBetween(double fromSample, double toSample) const;
    };
    // What has been recorded so far. Any thread but the libpulse thread.
    Recording recording() const;

private:
    static void Read(pa_stream* stream, size_t bytes, void* self);

    std::unique_ptr<PulseClient> m_client;
    pa_stream* m_stream = nullptr;
    std::vector<int16_t> m_samples;  // allocated up front: the libpulse thread only fills it
    std::atomic<size_t> m_count{0};
    // Each chunk's end and arrival, allocated up front as well.
    std::vector<size_t> m_chunkEnds;
    std::vector<int64_t> m_chunkArrivalNs;
    std::atomic<size_t> m_chunkCount{0};
};

}  // namespace cwt
