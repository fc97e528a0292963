#pragma once
// The numeric edit's keystroke filter: which typed characters each DecimalCase lets in.
// Works on the character as typed (a WM_CHAR-like code: Backspace 8, Ctrl+C 3, Ctrl+V 22,
// Ctrl+X 24, Enter 13 ...) and the text and caret before it is inserted.

#include <QStringView>

#include "components/VelTypes.h"

namespace cwt {

// Typed-character codes of the editing keys every kind lets through.
inline constexpr char32_t kKeyCtrlC = 3;
inline constexpr char32_t kKeyBackspace = 8;
inline constexpr char32_t kKeyCtrlV = 22;
inline constexpr char32_t kKeyCtrlX = 24;

// True when `key` may be typed into an edit of kind `kind` holding `text` with the caret
// `caret` characters in (the selection start). `fixedPoint` is the largest number of
// characters after the decimal point (decimal kinds). Read-only edits drop every key before
// this is asked.
bool EditKeyAccepted(TDecimalCase kind, char32_t key, QStringView text, int caret, int fixedPoint);

}  // namespace cwt
