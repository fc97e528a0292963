#pragma once
// What the rig's own keyer is sent for the code strings the program sounds. A rig's keyer
// takes letters, not elements: every code string becomes the Latin letter whose code it is, so
// Hangul goes out as its jamo letters (한 is J E F) and a syllable ends with a blank, which
// makes each syllable one word. The rig has no 13-unit syllable gap; its word gap stands in.

#include <string>
#include <string_view>
#include <vector>

namespace cwt {

class RigTextBuilder {
public:
    struct Piece {
        std::string text;                     // for the rig's keyer; may be empty
        std::vector<std::string> unsendable;  // codes no character of the rig stands for
    };

    // One code string as it is queued to sound. `runsIntoNext`: a letter of a sign that the
    // next letter joins (no gap mark); nothing is sent until the letters that run together
    // are complete, and a run whose joined code is a character of the table (AR is "+", BT
    // "=", KN "(") goes as that character, otherwise letter by letter.
    Piece add(std::string_view code, bool syllableEnd, bool runsIntoNext);

    // Forgets letters still waiting for the rest of their sign (after a stop).
    void clear() { m_run.clear(); }

private:
    std::vector<std::string> m_run;  // element strings of letters that run together
};

// Words per minute of a keyer whose dot lasts `unitMs` (PARIS: 50 units a word); at least 1.
int KeyerWpm(double unitMs);

}  // namespace cwt
