#pragma once
// Tidying of the text to send, and the bracketed procedure-sign parser.
//
// Byte versions work on code page 949 text with CR LF line breaks (the renderer and the
// scan); the editor versions work on the editor's UTF-16 text, whose line break is a single
// LF, and give the same result character for character.

#include <string>
#include <string_view>

namespace cwt {

// Reduces every run of blanks (32 only, tabs stay) to one blank, then removes the line
// breaks at the very beginning and end. A blank at the very beginning or end stays.
std::string CollapseSpaces(std::string_view text);
std::u16string CollapseSpacesEditor(std::u16string_view text);

// Removes leading and trailing blanks and control characters (everything of code 32 or below).
std::string TrimBlanksAndControls(std::string_view text);
std::u16string TrimBlanksAndControlsEditor(std::u16string_view text);

enum class Tidying { None, CollapseSpaces, Trim };

// At send time: collapse when "연속된 Space 1개의 Space로 변환" is checked, else trim when
// "파일 열기시 시작,끝 공백제거" is checked.
Tidying SendTidying(bool doubleSpaceTrim, bool openSpaceTrim);
// At file open the collapse option counts only while the trim option is checked.
Tidying FileOpenTidying(bool openSpaceTrim, bool doubleSpaceTrim);

std::string Tidy(std::string_view text, Tidying how);
std::u16string TidyEditor(std::u16string_view text, Tidying how);

// The bytes that follow a '[' (at most 6 are looked at). `closingIndex` is the 1-based index
// of the first ']' or 0; the token is the run of bytes 65..122 from the start, before the
// ']', when the ']' is at index 2 or later, else empty. So a sign holds at most 5 letters.
struct BracketSign {
    int closingIndex = 0;
    std::string token;
};
BracketSign ParseBracketSign(std::string_view window);

}  // namespace cwt
