#include "sound/RhythmMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace cwt {

std::vector<ToneRun> ToneRunsOfBytes(const uint8_t* data, size_t count, int rate, uint8_t silence) {
    std::vector<ToneRun> runs;
    const double msPerSample = 1000.0 / rate;
    size_t i = 0;
    while (i < count) {
        if (data[i] == silence) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < count && data[i] != silence) ++i;
        runs.push_back({start * msPerSample, i * msPerSample});
    }
    return runs;
}

std::vector<ToneRun> ToneRunsOfSamples(const int16_t* data, size_t count, int rate, int threshold,
                                       double minGapMs) {
    std::vector<ToneRun> runs;
    const double msPerSample = 1000.0 / rate;
    const size_t minGap = static_cast<size_t>(std::ceil(minGapMs * rate / 1000.0));
    bool inTone = false;
    size_t start = 0;
    size_t lastLoud = 0;
    for (size_t i = 0; i < count; ++i) {
        if (std::abs(static_cast<int>(data[i])) <= threshold) continue;
        if (inTone && i - lastLoud > minGap) {
            runs.push_back({start * msPerSample, (lastLoud + 1) * msPerSample});
            inTone = false;
        }
        if (!inTone) {
            inTone = true;
            start = i;
        }
        lastLoud = i;
    }
    if (inTone) runs.push_back({start * msPerSample, (lastLoud + 1) * msPerSample});
    return runs;
}

RhythmReport CompareRhythm(const std::vector<ToneRun>& meant, const std::vector<ToneRun>& measured,
                           double toleranceMs) {
    RhythmReport report;
    report.expectedTones = static_cast<int>(meant.size());
    report.measuredTones = static_cast<int>(measured.size());
    const size_t n = std::min(meant.size(), measured.size());
    if (n == 0) return report;
    const double offset = measured[0].startMs - meant[0].startMs;
    double elementSum = 0;
    double gapSum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double element = std::fabs((measured[i].endMs - measured[i].startMs) -
                                         (meant[i].endMs - meant[i].startMs));
        elementSum += element;
        report.maxElementErrorMs = std::max(report.maxElementErrorMs, element);
        report.maxEdgeErrorMs = std::max(
            {report.maxEdgeErrorMs, std::fabs(measured[i].startMs - offset - meant[i].startMs),
             std::fabs(measured[i].endMs - offset - meant[i].endMs)});
        if (i + 1 < n) {
            const double gapMeasured = measured[i + 1].startMs - measured[i].endMs;
            const double gapMeant = meant[i + 1].startMs - meant[i].endMs;
            gapSum += std::fabs(gapMeasured - gapMeant);
            report.maxGapErrorMs =
                std::max(report.maxGapErrorMs, std::fabs(gapMeasured - gapMeant));
            if (gapMeasured - gapMeant > toleranceMs) ++report.stretchedGaps;
        }
    }
    report.meanElementErrorMs = elementSum / static_cast<double>(n);
    report.meanGapErrorMs = n > 1 ? gapSum / static_cast<double>(n - 1) : 0;
    const double meantLength = meant[n - 1].endMs - meant[0].startMs;
    const double measuredLength = measured[n - 1].endMs - measured[0].startMs;
    report.durationRatio = meantLength > 0 ? measuredLength / meantLength : 0;
    return report;
}

namespace {

// Where each send's tones lie in the recording, by lining up its first tone.
std::vector<ToneRun> PlaceSends(const std::vector<std::vector<ToneRun>>& sends,
                                const std::vector<ToneRun>& found, double toleranceMs,
                                int* sendsFound) {
    std::vector<ToneRun> placed;
    size_t next = 0;
    for (const auto& send : sends) {
        if (send.empty()) continue;
        const double meantLength = send[0].endMs - send[0].startMs;
        while (next < found.size() &&
               std::fabs(found[next].endMs - found[next].startMs - meantLength) > toleranceMs)
            ++next;
        if (next == found.size()) break;
        const double offset = found[next].startMs - send[0].startMs;
        for (const ToneRun& tone : send)
            placed.push_back({tone.startMs + offset, tone.endMs + offset});
        const double sendEnd = placed.back().endMs;
        while (next < found.size() && found[next].startMs < sendEnd) ++next;
        ++*sendsFound;
    }
    return placed;
}

}  // namespace

SilenceReport LoudestOutsideTones(const int16_t* data, size_t count, int rate,
                                  const std::vector<std::vector<ToneRun>>& sends, double marginMs,
                                  double toleranceMs) {
    SilenceReport report;
    const std::vector<ToneRun> placed =
        PlaceSends(sends, ToneRunsOfSamples(data, count, rate), toleranceMs, &report.sendsFound);
    const double samplesPerMs = rate / 1000.0;
    size_t tone = 0;
    int loudest = 0;
    for (size_t i = 0; i < count; ++i) {
        const double ms = static_cast<double>(i) / samplesPerMs;
        while (tone < placed.size() && placed[tone].endMs + marginMs < ms) ++tone;
        if (tone < placed.size() && placed[tone].startMs - marginMs <= ms) continue;
        const int magnitude = std::abs(static_cast<int>(data[i]));
        if (magnitude > loudest) {
            loudest = magnitude;
            report.loudestAtMs = ms;
        }
    }
    report.loudest = loudest / 32768.0;
    return report;
}

}  // namespace cwt
