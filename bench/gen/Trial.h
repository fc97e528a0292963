#pragma once
// One measured point of the decoding benchmark, also run on smaller sets by the tests: lines of
// generated text keyed in one style, read back by the timing-to-text stage as a live key would
// feed it, and the errors counted.
//
// An operator keys ten lines in one sitting (one decoder, one key on/off imbalance), with a
// pause of three seconds between lines. Each line steps its speed up or down (alternately) by
// `stepFactor` at its middle word and starts the next line at the base speed again.

#include <cstdint>

#include "bench/gen/ErrorRate.h"
#include "bench/gen/FistGenerator.h"

namespace cwt::testgen {

struct Trial {
    bool korean = false;
    KeyingStyle style = KeyingStyle::Paddle;
    double wpm = 20;
    Spacing spacing = Spacing::Standard();
    double effectiveWpm = 0;  // Farnsworth; 0: none
    double endWpm = 0;        // a drift over each line; 0: none
    double stepFactor = 1.3;  // 1: no steps
    size_t characters = 5000;
    uint64_t seed = 1;
};

// Errors are counted in the characters right after each step.
inline constexpr size_t kAfterStepCharacters = 10;

struct TrialResult {
    ErrorTally characters;  // blanks dropped (syllables in Korean)
    ErrorTally withSpaces;  // word spaces counted as characters too
    ErrorTally jamo;        // Korean only: on the jamo sent
    long steps = 0;
    long errorsAfterSteps = 0;
    long charactersAfterSteps = 0;
    double decodeSeconds = 0;
};

TrialResult RunTrial(const Trial& trial);

}  // namespace cwt::testgen
