#pragma once
// How long every element and gap lasts. Code strings count in units; a unit is ToneUnit
// samples on the wave output and DotMs milliseconds on the PC speaker.
//
//   element S                1 unit of tone      element L               3 units of tone
//   silent element (blank)   1 unit of silence   gap after every element 1 unit of silence
//   gap mark '!'             6 more units (7 after the letter), 12 more (13) at a syllable end
//
// The long/short ratio menu and DashLength change no length: a long element is always three
// short ones.

#include <optional>
#include <string>
#include <string_view>

namespace cwt {

// The multiplier group "배수", the ratio menu "장,단음 배수" and the hidden timing edits.
struct TimingModel {
    int multiplierIndex = 4;  // item of "x1".."x10"; the multiplier is index + 1
    int LongShortRatio = 4;   // 3..8
    int DotLength = 150;      // 10 × SmallEdit
    int DashLength = 600;     // 10 × LargeEdit
    int CharDelay = 600;      // 10 × CharDelayEdit
    std::string smallEditText = "15";
    std::string largeEditText = "60";
    std::string charDelayEditText = "60";
};

// The multiplier handler: SmallEdit := 3m, LargeEdit := CharDelayEdit := ratio × 3m, and the
// lengths follow from the edits.
void ApplyMultiplier(TimingModel& model, int itemIndex);
// The ratio handler: DashLength := DotLength × ratio, and the edits follow.
void ApplyRatio(TimingModel& model, int ratio);
// A hidden edit's change: 10 × its trimmed value when that sorts after "0" as a string and is
// a whole number; nothing otherwise (the field keeps its value).
std::optional<int> HiddenEditField(std::string_view text);

// The wave output's unit in samples: (width + 1) × DotLength; a width of 0 or below, which
// the spin edit holds until its range check runs, counts as 1.
int ToneUnit(int width, int dotLength);
// The PC speaker's unit: DotLength / 2.0889 ms, rounded to the nearest, halves to even.
int DotMs(int dotLength);

// The layout of one code string in units.
struct CodeLayout {
    int elementCount = 0;   // a final '!' on a longer string is the gap mark, not an element
    bool endOfWord = false; // the string ends with '!'
    int totalUnits = 0;     // tone, silent elements, every element's gap and the gap mark
};
CodeLayout LayoutOf(std::string_view code, bool syllableEnd);

// One buffer slot of the wave output holds 65,535 bytes. The longest layout is 예 at a
// syllable end: SSS SSL is 9 units of elements, 7 gaps and 12 more for the gap mark, 28 units.
// So a unit of more than 2,340 samples can overflow a slot: x10 with a width of 7 or more,
// x9 with 8 or more, x8 with 9 or more. Such letters are played in several slot-sized pieces.
inline constexpr int kSlotBytes = 65535;
inline constexpr int kLongestLayoutUnits = 28;
inline constexpr int kLargestToneUnitInOneSlot = kSlotBytes / kLongestLayoutUnits;  // 2340

}  // namespace cwt
