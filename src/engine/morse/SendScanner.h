#pragma once
// Walks a code page 949 text from a start position and turns it into send units: a
// bracketed procedure sign such as [AR], or one character with the bytes it sends.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cwt {

// Bytes that exist only between the scan and the send: they select the rows of 예 and 얘.
inline constexpr uint8_t kYePlaceholder = 17;
inline constexpr uint8_t kYaePlaceholder = 18;
// A line end sends this byte (the sign BT) when "문장끝 부호 사용" is checked.
inline constexpr uint8_t kSentenceEndByte = 4;

struct SendUnit {
    enum class Kind { Sign, Character };
    enum class Display { Cell, NewLine, None };

    Kind kind = Kind::Character;
    int position = 1;      // 1-based byte position of the first highlighted byte
    int length = 0;        // highlighted bytes
    int nextPosition = 1;  // where the scan goes on
    std::string token;     // Sign: the sign's letters, sent as token + "!"
    std::string character; // Character: its one or two bytes
    bool hangul = false;   // Character: starts with a lead byte, shown as "[한글]"
    bool syllable = false; // Character: a Hangul syllable sent as its Latin letters
    std::string bytesToSend;  // Character: the converted bytes, in order
    Display display = Display::Cell;
    std::string cell;      // the play display's cell ("|[AR]", "|JEF", "|A", "|"), code page 949

    bool isSign() const { return kind == Kind::Sign; }
};

class SendScanner {
public:
    // Without `withCells` the units carry no display cell (for sends nobody watches).
    SendScanner(std::string_view text, int startPosition, bool sentenceEndMark,
                bool withCells = true);

    // The next unit, or nothing at the end of the text.
    std::optional<SendUnit> next();
    // The same into a unit the caller keeps, so its strings are reused; false at the end.
    bool next(SendUnit& unit);

    // Whether a CR that comes next sends the sentence-end byte; the option may change while a
    // long text is sent, and each line end follows it as it stands then.
    void setSentenceEndMark(bool on) { m_sentenceEndMark = on; }

    int position() const { return m_pos; }
    bool passedEnd() const { return m_pos > static_cast<int>(m_text.size()); }

private:
    uint8_t at(int pos) const { return static_cast<uint8_t>(m_text[static_cast<size_t>(pos - 1)]); }
    void characterAt(int pos, SendUnit& unit) const;

    std::string_view m_text;
    int m_pos;
    bool m_sentenceEndMark;
    bool m_withCells;
};

}  // namespace cwt
