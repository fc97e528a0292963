#pragma once
// When a transmitter's key goes down and up: the tones of the element layout (Timing.h) as key
// edges. The wave output lays out its samples from the same tone spans, so the key and the
// tones cannot disagree on where a tone starts or ends.
//
// Ticks are whatever the caller counts a unit in: samples on the wave output (ToneUnit), or
// milliseconds on the PC speaker (DotMs).

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/morse/SendDispatch.h"

namespace cwt {

// One tone of a code string, in units from the start of its layout.
struct ToneSpan {
    int startUnits = 0;
    int lengthUnits = 0;  // 1 for S, 3 for L
    bool operator==(const ToneSpan&) const = default;
};

// The tones of one code string in order: every element is followed by one unit of silence, a
// silent element (any byte but S and L) is one unit of silence, and a final '!' on a longer
// string is the gap mark, not an element.
std::vector<ToneSpan> ToneSpansOf(std::string_view code);

struct KeyEdge {
    int64_t at = 0;  // ticks from the start of the schedule
    bool down = false;
    bool operator==(const KeyEdge&) const = default;
};

struct KeySchedule {
    std::vector<KeyEdge> edges;  // down and up in turn, in time order
    int64_t length = 0;          // ticks, the final pause included
};

// One code string at `unitTicks` per unit, from 0; its length is the layout's total.
KeySchedule KeyScheduleOfCode(std::string_view code, bool syllableEnd, int64_t unitTicks);

// Every buffer of a whole send, each starting where the one before ended, as the wave output
// plays them sample for sample.
KeySchedule KeyScheduleOfSend(const std::vector<PlannedBuffer>& plan, int64_t unitTicks);

}  // namespace cwt
