#include "engine/keyer/KeyerSettings.h"

#include <algorithm>
#include <cmath>

#include "engine/practice/EffectiveSpeed.h"

namespace cwt::keyer {

namespace {

constexpr double kNsPerMinute = 60e9;
constexpr KeyTime kStuckFloor = std::chrono::seconds(3);
constexpr int kStuckUnits = 30;
constexpr int kTextbookWeightPercent = 50;

// How far the weight moves the end of every tone, to the nanosecond.
KeyTime WeightShift(const KeyerSettings& settings) {
    const KeyTime unit = KeyerUnit(settings.wpm);
    const int percent = std::clamp(settings.weightPercent, kMinWeightPercent, kMaxWeightPercent);
    return KeyTime(std::llround(static_cast<double>(unit.count()) *
                                (percent - kTextbookWeightPercent) / kTextbookWeightPercent));
}

}  // namespace

KeyerSettings Sanitized(KeyerSettings settings) {
    settings.wpm = std::clamp(settings.wpm, kMinWpm, kMaxWpm);
    settings.weightPercent =
        std::clamp(settings.weightPercent, kMinWeightPercent, kMaxWeightPercent);
    return settings;
}

KeyTime KeyerUnit(int wpm) {
    // The inverse of WpmOfUnitMs: "PARIS " as this program sends it, wpm times a minute.
    const int clamped = std::clamp(wpm, kMinWpm, kMaxWpm);
    return KeyTime(std::llround(kNsPerMinute / (static_cast<double>(ParisUnits()) * clamped)));
}

ElementLength DitLength(const KeyerSettings& settings) {
    const KeyTime unit = KeyerUnit(settings.wpm);
    return {unit + WeightShift(settings), 2 * unit};
}

ElementLength DahLength(const KeyerSettings& settings) {
    const KeyTime unit = KeyerUnit(settings.wpm);
    return {3 * unit + WeightShift(settings), 4 * unit};
}

KeyTime StuckLeverLimit(int wpm) { return std::max(kStuckFloor, kStuckUnits * KeyerUnit(wpm)); }

}  // namespace cwt::keyer
