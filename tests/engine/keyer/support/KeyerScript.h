#pragma once
// Lever scripts played into a keyer as its real-time driver plays them, and the edges an ideal
// keyer would give, to the nanosecond.

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "engine/keyer/Keyer.h"

namespace cwt::keyer::test {

using namespace std::chrono_literals;

// Far from the clock's origin, as on a machine that has been up for a while.
inline constexpr KeyTime kT0 = 5h;

// A time `units` units of `wpm` after kT0.
inline KeyTime At(double units, int wpm) {
    return kT0 + KeyTime(static_cast<long long>(units * KeyerUnit(wpm).count()));
}

// A lever held from `fromUnits` to `toUnits`.
inline std::vector<LeverEvent> Hold(Lever lever, double fromUnits, double toUnits, int wpm) {
    return {{lever, true, At(fromUnits, wpm)}, {lever, false, At(toUnits, wpm)}};
}

// Two scripts (or two edge lists) one after the other.
template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Plays `events` as the driver would: it hears each event `lateBy` after it happened, wakes
// `lateBy` after nextWake(), calls lever() for every event it has heard and then advance().
// Every edge must alternate down and up, in time order (reset's cut aside).
inline std::vector<KeyEdge> Play(Keyer& keyer, std::vector<LeverEvent> events,
                                 KeyTime lateBy = KeyTime(0)) {
    std::stable_sort(events.begin(), events.end(),
                     [](const LeverEvent& a, const LeverEvent& b) { return a.time < b.time; });
    const KeyTime end = (events.empty() ? kT0 : events.back().time) + std::chrono::minutes(1);
    std::vector<KeyEdge> edges;
    size_t next = 0;
    for (;;) {
        const std::optional<KeyTime> wake = keyer.nextWake();
        if (!wake && next == events.size()) break;
        if (wake && *wake > end) {
            ADD_FAILURE() << "still keying a minute after the levers' last event";
            break;
        }
        KeyTime now = wake ? *wake : KeyTime::max();
        if (next < events.size()) now = std::min(now, events[next].time);
        now += lateBy;
        while (next < events.size() && events[next].time + lateBy <= now)
            keyer.lever(events[next++]);
        keyer.advance(now, edges);
    }
    for (size_t i = 0; i < edges.size(); ++i) {
        EXPECT_EQ(edges[i].down, i % 2 == 0) << "edge " << i;
        if (i > 0) {
            EXPECT_LE(edges[i - 1].time, edges[i].time) << "edge " << i;
        }
    }
    return edges;
}

// The edges of `code` ('.' and '-') keyed without a pause from `start` with `settings`.
inline std::vector<KeyEdge> Ideal(KeyTime start, std::string_view code,
                                  const KeyerSettings& settings) {
    std::vector<KeyEdge> edges;
    for (const char element : code) {
        const ElementLength length = element == '.' ? DitLength(settings) : DahLength(settings);
        edges.push_back({true, start});
        edges.push_back({false, start + length.mark});
        start += length.period;
    }
    return edges;
}

}  // namespace cwt::keyer::test

namespace cwt::keyer {

inline bool operator==(const KeyEdge& a, const KeyEdge& b) {
    return a.down == b.down && a.time == b.time;
}

inline void PrintTo(const KeyEdge& edge, std::ostream* os) {
    *os << (edge.down ? "down@" : "up@") << (edge.time - test::kT0).count() << "ns";
}

}  // namespace cwt::keyer
