#include "engine/practice/EffectiveSpeed.h"

#include <cmath>

#include "engine/morse/Timing.h"

namespace cwt {

namespace {

constexpr int kLetterGapShares = 3;
constexpr int kWordSpaceShares = 4;

// Shares of the extra silence a buffer takes: none inside a joined sign, four for a code of
// silence only (the word space), three for a letter that ends with the character gap.
int SharesOf(const PlannedBuffer& buffer) {
    const std::string_view code = buffer.code;
    if (buffer.userValue != 0 || code.empty() || code.back() != '!') return 0;
    const bool sounds = code.find_first_of("SL") != std::string_view::npos;
    return sounds ? kLetterGapShares : kWordSpaceShares;
}

}  // namespace

int ParisUnits() {
    static const int units = static_cast<int>(PlanUnits(PlanWholeSend("PARIS ", {})));
    return units;
}

double WpmOfUnitMs(double unitMs) {
    if (!(unitMs > 0)) return 0;
    return 60000.0 / (ParisUnits() * unitMs);
}

long long PlanUnits(const std::vector<PlannedBuffer>& plan) {
    long long units = 0;
    for (const PlannedBuffer& buffer : plan)
        units += LayoutOf(buffer.code, buffer.syllableEnd).totalUnits;
    return units;
}

std::vector<long long> ExtraSilence(const std::vector<PlannedBuffer>& plan, int ticksPerUnit,
                                    double characterWpm, double effectiveWpm) {
    std::vector<long long> extra(plan.size(), 0);
    if (!(effectiveWpm > 0) || !(effectiveWpm < characterWpm) || ticksPerUnit <= 0) return extra;
    long long totalShares = 0;
    for (const PlannedBuffer& buffer : plan) totalShares += SharesOf(buffer);
    if (totalShares == 0) return extra;
    const double stretch = characterWpm / effectiveWpm - 1.0;
    const double total = static_cast<double>(PlanUnits(plan)) * ticksPerUnit * stretch;
    // Each buffer gets the rounded running total less what the buffers before it got.
    long long sharesSoFar = 0;
    long long givenSoFar = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        const int shares = SharesOf(plan[i]);
        if (shares == 0) continue;
        sharesSoFar += shares;
        const auto upToHere = std::llround(total * static_cast<double>(sharesSoFar) /
                                           static_cast<double>(totalShares));
        extra[i] = upToHere - givenSoFar;
        givenSoFar = upToHere;
    }
    return extra;
}

}  // namespace cwt
