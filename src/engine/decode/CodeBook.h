#pragma once
// What a received letter's code reads as: a character of the Morse table, a procedure sign in
// brackets as this program writes them, or nothing. Codes are written with '.' and '-'.

#include <string>
#include <string_view>

namespace cwt::decode {

// The code of a table row's code string (S → '.', L → '-'); blanks and gap marks dropped.
std::string DotsOfRowCode(std::string_view rowCode);

// The Latin letter 'A'..'Z' whose code this is; 0 for any other code.
char LetterOfCode(std::string_view code);

// The text of a code read as English: a letter, digit or punctuation mark of the table, or a
// sign such as "[AR]". Three signs share their code with a punctuation mark (.-.-. [AR] and
// +, -...- [BT] and =, -.--. [KN] and (): the sign is read unless `punctuationOverSigns`.
// Eight dots or more are the error sign [HH]. Empty when the code is no character.
std::string TextOfCode(std::string_view code, bool punctuationOverSigns = false);

// How a code that is no character is shown: its dots and dashes between angle brackets,
// which no sendable character uses.
std::string UnknownCodeText(std::string_view code);

}  // namespace cwt::decode
