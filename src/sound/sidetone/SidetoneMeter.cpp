#include "sound/sidetone/SidetoneMeter.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>

namespace cwt {

namespace {

bool Loud(int16_t sample, int half) { return std::abs(static_cast<int>(sample)) >= half; }

// Where the sound crosses `half` between samples i - 1 and i (the later one loud when `rising`).
double Crossing(const int16_t* data, size_t i, int half) {
    const double before = std::abs(static_cast<double>(data[i - 1]));
    const double after = std::abs(static_cast<double>(data[i]));
    if (after == before) return static_cast<double>(i);
    return static_cast<double>(i - 1) + (half - before) / (after - before);
}

}  // namespace

std::vector<ToneRun> ToneRunsAtHalfLevel(const int16_t* data, size_t count, int rateHz, int level,
                                         double minGapMs) {
    std::vector<ToneRun> runs;
    const int half = std::max(level / 2, 1);
    const auto minGap = static_cast<size_t>(std::ceil(minGapMs * rateHz / 1000.0));
    const double msPerSample = 1000.0 / rateHz;
    size_t i = 0;
    while (i < count) {
        if (!Loud(data[i], half)) {
            ++i;
            continue;
        }
        const double start = i > 0 ? Crossing(data, i, half) : 0.0;
        size_t lastLoud = i;
        for (++i; i < count && i - lastLoud <= minGap; ++i)
            if (Loud(data[i], half)) lastLoud = i;
        const double end =
            lastLoud + 1 < count ? Crossing(data, lastLoud + 1, half) : static_cast<double>(count);
        runs.push_back({start * msPerSample, end * msPerSample});
    }
    return runs;
}

namespace {

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The loudest sample more than `marginMs` away from every tone.
double LoudestOutside(const int16_t* data, size_t count, int rateHz,
                      const std::vector<ToneRun>& tones, double marginMs) {
    const double msPerSample = 1000.0 / rateHz;
    int loudest = 0;
    size_t tone = 0;
    for (size_t i = 0; i < count; ++i) {
        const double ms = static_cast<double>(i) * msPerSample;
        while (tone < tones.size() && tones[tone].endMs + marginMs < ms) ++tone;
        if (tone < tones.size() && ms >= tones[tone].startMs - marginMs) continue;
        loudest = std::max(loudest, std::abs(static_cast<int>(data[i])));
    }
    return loudest / 32768.0;
}

}  // namespace

namespace {

// The latency most tones show against the key-down nearest before them.
double TypicalLatencyNs(const std::vector<KeyedElement>& keyed,
                        const std::vector<int64_t>& startsNs) {
    std::vector<double> latencies;
    size_t element = 0;
    for (const int64_t startNs : startsNs) {
        while (element + 1 < keyed.size() && keyed[element + 1].downNs <= startNs) ++element;
        if (!keyed.empty() && keyed[element].downNs <= startNs)
            latencies.push_back(static_cast<double>(startNs - keyed[element].downNs));
    }
    return Median(latencies);
}

// Which stretch of the recording, between the breaks the monitor found and the dropouts the
// sidetone told, holds a tone that begins at `sample`, keyed down at `downNs`.
size_t StretchOf(const MonitorTimeline::Recording& recording, double sample,
                 const std::vector<int64_t>& dropoutsNs, int64_t downNs) {
    const size_t chunk =
        static_cast<size_t>(std::upper_bound(recording.chunkEnds.begin(), recording.chunkEnds.end(),
                                             static_cast<size_t>(sample)) -
                            recording.chunkEnds.begin());
    const auto breaks = static_cast<size_t>(
        std::count_if(recording.breakChunks.begin(), recording.breakChunks.end(),
                      [chunk](size_t at) { return at <= chunk; }));
    const auto dropouts = static_cast<size_t>(std::count_if(
        dropoutsNs.begin(), dropoutsNs.end(), [downNs](int64_t at) { return at <= downNs; }));
    return breaks * 1'000'000 + dropouts;
}

}  // namespace

SidetoneMatch MatchSidetone(const std::vector<KeyedElement>& keyed,
                            const MonitorTimeline::Recording& recording, int level, int64_t fromNs,
                            const std::vector<int64_t>& dropoutsNs) {
    SidetoneMatch match;
    const int rateHz = MonitorTimeline::kRateHz;
    const double samplesPerMs = rateHz / 1000.0;
    size_t from = 0;
    while (from < recording.samples.size() && recording.timeOf(static_cast<double>(from)) < fromNs)
        from += 64;
    from = std::min(from, recording.samples.size());
    const int16_t* data = recording.samples.data() + from;
    const size_t count = recording.samples.size() - from;
    const std::vector<ToneRun> tones = ToneRunsAtHalfLevel(data, count, rateHz, level);
    match.keyed = keyed.size();
    match.heard = tones.size();
    match.loudestOutside = LoudestOutside(data, count, rateHz, tones, 1.0);
    std::vector<double> startSamples;
    std::vector<double> endSamples;
    std::vector<int64_t> startsNs;
    for (const ToneRun& tone : tones) {
        startSamples.push_back(static_cast<double>(from) + tone.startMs * samplesPerMs);
        endSamples.push_back(static_cast<double>(from) + tone.endMs * samplesPerMs);
        startsNs.push_back(recording.timeOf(startSamples.back()));
    }
    // Each element's tones: those that start while it is down, moved by the typical latency
    // (with a few milliseconds' room for an edge that sounded at once because it came late).
    const double latencyNs = TypicalLatencyNs(keyed, startsNs);
    constexpr double kRoomNs = 5e6;
    std::vector<double> errors;
    std::map<size_t, std::pair<double, double>> stretchLatencies;  // least and most
    // A dropout is told after the server found the stream dry, later still when the server is
    // held up: a tone is near one told from just before its key-down to a while after its end.
    constexpr int64_t kToldBeforeNs = 20'000'000;
    constexpr int64_t kToldAfterNs = 50'000'000;
    auto nearDropout = [&](int64_t fromNs, int64_t toNs) {
        return std::any_of(dropoutsNs.begin(), dropoutsNs.end(), [&](int64_t dropoutNs) {
            return dropoutNs >= fromNs - kToldBeforeNs && dropoutNs <= toNs + kToldAfterNs;
        });
    };
    auto extraTone = [&](size_t at) {
        if (!nearDropout(startsNs[at], recording.timeOf(endSamples[at]))) ++match.extra;
    };
    size_t tone = 0;
    for (const KeyedElement& element : keyed) {
        while (tone < tones.size() && startsNs[tone] < element.downNs + latencyNs - kRoomNs)
            extraTone(tone++);
        const size_t first = tone;
        while (tone < tones.size() && startsNs[tone] <= element.upNs + latencyNs + kRoomNs) ++tone;
        // Left out first, whatever sounded: an element handed in late, or one whose sound the
        // server lost (it may have lost all of it).
        if (element.handedLate) {
            ++match.handedLate;
            continue;
        }
        if (nearDropout(element.downNs, element.upNs + static_cast<int64_t>(latencyNs))) {
            ++match.nearDropouts;
            continue;
        }
        if (tone == first) {
            ++match.missing;
            continue;
        }
        const double start = startSamples[first];
        const double end = endSamples[tone - 1];
        if (recording.breakBetween(start, end)) {
            ++match.acrossBreaks;
            continue;
        }
        if (tone - first > 1) {
            ++match.brokenTones;
            continue;
        }
        match.latencyMs.push_back((recording.timeOf(start) - element.downNs) / 1e6);
        match.latencyMs.push_back((recording.timeOf(end) - element.upNs) / 1e6);
        const size_t stretch = StretchOf(recording, start, dropoutsNs, element.downNs);
        const auto [downLatency, upLatency] =
            std::minmax(match.latencyMs.end()[-2], match.latencyMs.back());
        const auto [range, fresh] = stretchLatencies.try_emplace(stretch, downLatency, upLatency);
        if (!fresh) {
            range->second.first = std::min(range->second.first, downLatency);
            range->second.second = std::max(range->second.second, upLatency);
        }
        errors.push_back((end - start) / samplesPerMs - (element.upNs - element.downNs) / 1e6);
    }
    while (tone < tones.size()) extraTone(tone++);
    match.lengthErrorMs = errors;
    if (!errors.empty()) {
        const auto [least, most] = std::minmax_element(errors.begin(), errors.end());
        match.lengthSpreadMs = *most - *least;
        match.maxLengthErrorMs = std::max(std::fabs(*least), std::fabs(*most));
    }
    for (const auto& [stretch, range] : stretchLatencies)
        match.latencySpreadMs = std::max(match.latencySpreadMs, range.second - range.first);
    if (!match.latencyMs.empty()) {
        match.medianLatencyMs = Median(match.latencyMs);
        const auto [least, most] =
            std::minmax_element(match.latencyMs.begin(), match.latencyMs.end());
        match.minLatencyMs = *least;
        match.maxLatencyMs = *most;
    }
    return match;
}

int LevelOf(const std::vector<int16_t>& samples) {
    int level = 0;
    for (const int16_t sample : samples)
        level = std::max(level, std::abs(static_cast<int>(sample)));
    return level;
}

namespace {

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void SleepUntilNs(int64_t ns) {
    timespec until{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
    }
}

}  // namespace

EdgePlayer::EdgePlayer(std::vector<KeyedElement> elements, Sink sink, int64_t aheadNs)
    : m_keyed(std::move(elements)) {
    m_thread = std::thread([this, sink = std::move(sink), aheadNs] {
        // Real-time where the process may ask for it, as the program's keying threads run; an
        // ordinary thread on a busy machine hands its edges in tens of milliseconds late.
        sched_param priority{};
        priority.sched_priority = 10;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
        for (KeyedElement& element : m_keyed) {
            if (aheadNs > 0) {
                SleepUntilNs(element.downNs - aheadNs);
                element.handedLate = NowNs() > element.downNs;
                sink({true, keyer::KeyTime(element.downNs)});
                sink({false, keyer::KeyTime(element.upNs)});
                continue;
            }
            SleepUntilNs(element.downNs);
            element.downNs = NowNs();
            sink({true, keyer::KeyTime(element.downNs)});
            SleepUntilNs(std::max(element.upNs, element.downNs));
            element.upNs = NowNs();
            sink({false, keyer::KeyTime(element.upNs)});
        }
    });
}

EdgePlayer::~EdgePlayer() { keyed(); }

const std::vector<KeyedElement>& EdgePlayer::keyed() {
    if (m_thread.joinable()) m_thread.join();
    return m_keyed;
}

std::vector<KeyedElement> RhythmFrom(int64_t startNs, const std::vector<double>& lengthsMs) {
    std::vector<KeyedElement> elements;
    double atMs = 0;
    for (size_t i = 0; i + 1 <= lengthsMs.size(); i += 2) {
        const double upMs = atMs + lengthsMs[i];
        elements.push_back(
            {startNs + std::llround(atMs * 1e6), startNs + std::llround(upMs * 1e6)});
        atMs = upMs + (i + 1 < lengthsMs.size() ? lengthsMs[i + 1] : 0);
    }
    return elements;
}

}  // namespace cwt
