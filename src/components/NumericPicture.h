#pragma once
// Numeric pictures and the number reading of the numeric edit. Plain C++ so that the edit and
// the string grid format numbers alike and both can be tested without a window.
//
// A picture holds '#' (a digit shown only when significant), '0' (a digit always shown),
// ',' anywhere before the decimal point (group the integer part by thousands) and '.' (the
// decimal point; the placeholders after it set the decimals, the value is rounded to them).
// Any other character is copied as it stands, text in single or double quotes too. Up to three
// sections separated by ';' format positive, negative and zero values; the negative section
// is written without a sign. An empty picture gives the shortest plain decimal form.

#include <string>
#include <string_view>

namespace cwt {

// Formats `value` with a numeric picture: '#' optional digit, '0' mandatory digit,
// ',' thousands grouping, '.' decimal point; decimals = placeholders after the point,
// rounded. Zero with no '0' placeholder gives "".
std::string FormatNumericPicture(double value, std::string_view picture);
// Number of characters after the first '.', of the trimmed mask; 0 without a point.
int MaskDecimalCount(std::string_view mask);
// Text → value as the numeric edit reads it for display (commas removed, parentheses
// rules, 0 when it does not read).
double ReadEditNumber(std::string_view text);
// True for "" and for digits with an optional leading sign (when longer than one char).
bool IsSignedIntegerText(std::string_view text);

}  // namespace cwt
