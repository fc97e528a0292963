#pragma once
// What the operator chooses for the keyer, and the element lengths that follow from it.
//
// Speed. A speed of w WPM is "PARIS " sent w times a minute as this program sends it: 74 units
// with its 7-unit letter gap and 15-unit word gap (see engine/practice/EffectiveSpeed.h). A unit
// is therefore 60000 / (74 w) ms, about 810.8 / w ms, where the common convention (50 units,
// dit = 1200 / w ms) would give 1200 / w: a keyer at 15 WPM here keys the dits of 22.2 WPM by
// that convention. The main window's tones and the keyer share one speed scale this way.
//
// Weight. 50 % is the textbook element: a dit is 1 unit of tone and 1 of space, a dah 3 and 1.
// Each per cent away from 50 moves the end of every tone by 1/50 unit: at weight w a dit sounds
// w/50 units and a dah 2 + w/50 units, and the space after either shrinks by the same amount, so
// a dit always takes 2 units and a dah 4 from its start to the start of the next element. At
// 75 % a dit is 1.5 on and 0.5 off, a dah 3.5 on and 0.5 off; at 25 % a dit 0.5 on and 1.5 off.
// The speed of the keyed text does not change with the weight.

#include "engine/keyer/KeyEvents.h"

namespace cwt::keyer {

enum class KeyerMode {
    Straight,   // the key follows either lever (or the straight key) as it is
    IambicA,    // Curtis: a squeeze released during an element ends with that element
    IambicB,    // a squeeze released during an element adds one element of the other lever
    Ultimatic,  // with both levers closed, the one closed last repeats
    Bug,        // the dit lever makes dits; the dah lever keys the key by hand
};

inline constexpr int kMinWpm = 5;
inline constexpr int kMaxWpm = 60;
inline constexpr int kMinWeightPercent = 25;
inline constexpr int kMaxWeightPercent = 75;
// The letter gap that automatic letter spacing makes, in units on the grid: the element's own
// space and two units more (3 units of silence at weight 50).
inline constexpr int kLetterGapUnits = 3;

struct KeyerSettings {
    KeyerMode mode = KeyerMode::IambicB;
    int wpm = 15;            // kMinWpm..kMaxWpm, this program's WPM
    int weightPercent = 50;  // kMinWeightPercent..kMaxWeightPercent
    // A lever closed during an element (and released again before it ends) gives its element
    // after this one. Off, only the levers' state at the end of the element counts (mode B
    // still answers a squeeze released during the element).
    bool ditMemory = true;
    bool dahMemory = true;
    // When the levers were open at the end of an element (its space), the next element does not
    // start before a full letter gap (kLetterGapUnits) has passed: letters cannot run together.
    bool autoLetterSpace = false;
    // The left lever makes dahs and the right one dits.
    bool swapLevers = false;

    bool operator==(const KeyerSettings&) const = default;
};

// `settings` with speed and weight brought into their ranges.
KeyerSettings Sanitized(KeyerSettings settings);

// One unit at `wpm` (this program's WPM), to the nanosecond; every element and gap of the
// keyer is a whole number of these, moved by the weight.
KeyTime KeyerUnit(int wpm);

// The lengths of one element: its tone, and its tone with the space that follows it.
struct ElementLength {
    KeyTime mark{0};
    KeyTime period{0};
};
ElementLength DitLength(const KeyerSettings& settings);
ElementLength DahLength(const KeyerSettings& settings);

// How long a lever may stay closed before the keyer counts it as stuck and lets it go: no
// shorter than 3 s, and no shorter than 30 units, so that a run of five dahs ("0", 19 units)
// at the lowest speeds is never taken for a stuck lever.
KeyTime StuckLeverLimit(int wpm);

}  // namespace cwt::keyer
