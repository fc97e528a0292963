// What the keyer costs its driver: lever events and wake-ups per second of CPU, with a script
// of squeezes and taps at 40 WPM played as the real-time driver plays it (lever(), advance(),
// nextWake()), and the edges it keys.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "engine/keyer/Keyer.h"

namespace {

using cwt::keyer::KeyEdge;
using cwt::keyer::Keyer;
using cwt::keyer::KeyerMode;
using cwt::keyer::KeyerSettings;
using cwt::keyer::KeyTime;
using cwt::keyer::Lever;
using cwt::keyer::LeverEvent;

// Each lever closes and opens at random moments, 0.5 to 6 units apart.
std::vector<LeverEvent> RandomLevers(int count, KeyTime unit) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> pause(0.5, 6.0);
    std::vector<LeverEvent> events;
    bool closed[2] = {false, false};
    KeyTime time = std::chrono::hours(1);
    for (int i = 0; i < count; ++i) {
        const int side = static_cast<int>(random() % 2);
        closed[side] = !closed[side];
        time += KeyTime(static_cast<long long>(pause(random) * unit.count()));
        events.push_back({side == 0 ? Lever::Dit : Lever::Dah, closed[side], time});
    }
    return events;
}

void PlayLevers(benchmark::State& state) {
    KeyerSettings settings;
    settings.mode = static_cast<KeyerMode>(state.range(0));
    settings.wpm = 40;
    const std::vector<LeverEvent> events = RandomLevers(100000, cwt::keyer::KeyerUnit(40));
    std::vector<KeyEdge> edges;
    edges.reserve(64);
    size_t keyed = 0;
    size_t wakes = 0;
    for (auto _ : state) {
        Keyer keyer(settings);
        keyed = wakes = 0;
        for (const LeverEvent& event : events) {
            // The wake-ups due before this event, then the event itself.
            while (const auto wake = keyer.nextWake()) {
                if (*wake >= event.time) break;
                keyer.advance(*wake, edges);
                ++wakes;
            }
            keyer.lever(event);
            keyer.advance(event.time, edges);
            keyed += edges.size();
            edges.clear();
        }
        benchmark::DoNotOptimize(keyed);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * events.size()));
    state.counters["edges"] = static_cast<double>(keyed);
    state.counters["wakes"] = static_cast<double>(wakes);
    state.counters["calls/s"] =
        benchmark::Counter(static_cast<double>((events.size() + wakes) * state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(PlayLevers)
    ->ArgName("mode")
    ->Arg(static_cast<int>(KeyerMode::IambicB))
    ->Arg(static_cast<int>(KeyerMode::Ultimatic))
    ->Arg(static_cast<int>(KeyerMode::Bug))
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
