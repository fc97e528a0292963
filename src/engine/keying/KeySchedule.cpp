#include "engine/keying/KeySchedule.h"

#include "engine/morse/Timing.h"

namespace cwt {

std::vector<ToneSpan> ToneSpansOf(std::string_view code) {
    const CodeLayout layout = LayoutOf(code, false);
    std::vector<ToneSpan> spans;
    int pos = 0;
    for (int i = 0; i < layout.elementCount; ++i) {
        const char element = code[static_cast<size_t>(i)];
        const int length = element == 'L' ? 3 : 1;
        if (element == 'L' || element == 'S') spans.push_back({pos, length});
        pos += length + 1;  // the element and the unit of silence after it
    }
    return spans;
}

namespace {

void AppendCode(KeySchedule& schedule, std::string_view code, bool syllableEnd, int64_t unitTicks) {
    for (const ToneSpan& span : ToneSpansOf(code)) {
        const int64_t start = schedule.length + span.startUnits * unitTicks;
        schedule.edges.push_back({start, true});
        schedule.edges.push_back({start + span.lengthUnits * unitTicks, false});
    }
    schedule.length += LayoutOf(code, syllableEnd).totalUnits * unitTicks;
}

}  // namespace

KeySchedule KeyScheduleOfCode(std::string_view code, bool syllableEnd, int64_t unitTicks) {
    KeySchedule schedule;
    AppendCode(schedule, code, syllableEnd, unitTicks);
    return schedule;
}

KeySchedule KeyScheduleOfSend(const std::vector<PlannedBuffer>& plan, int64_t unitTicks) {
    KeySchedule schedule;
    for (const PlannedBuffer& buffer : plan)
        AppendCode(schedule, buffer.code, buffer.syllableEnd, unitTicks);
    return schedule;
}

}  // namespace cwt
