#pragma once
// What a sent byte or a procedure sign plays: the code strings, their flags, and what the
// big-letter displays show. The main window and the headless renderer both send through
// these two plans, so they cannot disagree.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/morse/SendScanner.h"

namespace cwt {

// One letter of a sign, queued without waiting; `nextChar` is the buffer's user value (the
// next letter to show, 0 after the last letter, which lets the device close).
struct SignLetter {
    std::string_view code;  // a table code, '!' where the character gap follows; static
    uint8_t nextChar = 0;
};

struct SignPlan {
    std::string displayLetters;  // the sign text without '!', for the sign line; empty for "!"
    uint8_t firstLetter = 0;     // the big letter; 0 for the text "!"
    int pictureRow = -1;         // code picture of the first letter, -1 for none
    std::vector<SignLetter> letters;
};

// Letters run together; a '!' after a letter inserts the character gap; the sign always
// ends with the character gap. "!" alone is eight units of silence.
SignPlan PlanSign(std::string_view signText);

struct CharPlan {
    enum class Action { Nothing, PlayCode, SendSign };
    Action action = Action::Nothing;
    std::string code;         // PlayCode: the code string, with '!' for the character gap
    bool syllableEnd = false; // PlayCode: the gap after the letter is 13 units
    std::string signText;     // SendSign: the sign text (the sign shows its own letters)
    int pictureRow = -1;      // PlayCode: code picture to show, -1 clears it
    bool showsLetter = false; // PlayCode: the big letter shows the byte (live typing)
};

// The dispatch of one byte sent with `SendChar`: table rows, the word space, the
// placeholders of 예 and 얘, the control codes of the start mark, the signs, ER and KR.
CharPlan PlanChar(uint8_t ch, bool characterGap, bool syllableEnd);

// The sign text each control code sends; empty for bytes that are not sign codes.
std::string_view SignOfControlCode(uint8_t ch);

inline constexpr std::string_view kStartMarkSign = "BT!";
inline constexpr std::string_view kEndMarkSign = "AR";

// Every buffer a whole send plays, in order, as pressing Start would send `text` (code page
// 949 bytes, already tidied): start mark, units, end mark. Used by the renderer and the
// benchmarks; the window does the same unit by unit, with its displays.
struct PlannedBuffer {
    std::string_view code;  // a table code, with or without '!'; lives as long as the program
    bool syllableEnd = false;
    uint8_t userValue = 0;
};
struct SendOptions {
    bool startEndMarks = false;
    bool sentenceEndMark = true;
};
std::vector<PlannedBuffer> PlanWholeSend(std::string_view text, const SendOptions& options);

// The same buffers a unit at a time, so that a long text is played without a plan of all of it
// in memory. `text` must outlive the planner.
class WholeSendPlanner {
public:
    WholeSendPlanner(std::string_view text, const SendOptions& options);
    // A temporary string would be gone before the first unit is planned.
    WholeSendPlanner(std::string&& text, const SendOptions& options) = delete;
    // Appends the buffers of the next unit to `out` (some units play nothing), the start mark
    // with the first and the end mark with the last; false, with nothing appended, once the
    // whole text is planned.
    bool next(std::vector<PlannedBuffer>& out);

private:
    SendScanner m_scanner;
    SendOptions m_options;
    SendUnit m_unit;
    bool m_started = false;
    bool m_done = false;
};

}  // namespace cwt
