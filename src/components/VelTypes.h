#pragma once
// Enumerations shared by the program's own controls, with the values their layouts store.

#include <QtGlobal>

namespace cwt {

// Where a control draws its text horizontally.
enum TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// The bar over a caption drawn by TVelLabel and TVelSpeedButton.
enum TLineStyle { fsNone = 0, fsTop = 1 };

// The numeric edit's keystroke filter and display mode.
enum TDecimalCase {
    etNormal = 0,   // free text
    etDecimal = 1,  // decimal number
    etPost = 2,     // postal code, 123-456
    etPhone = 3,    // telephone number, (02)123-4567
    etSaupja = 4,   // business registration number, 123-45-67890
    etNumber = 5,   // plain digits
    etPercent = 6,  // as etDecimal
};

// Case conversion of typed characters.
enum TEditCharCase { ecNormal = 0, ecUpperCase = 1, ecLowerCase = 2 };

enum TBorderStyle { bsNone = 0, bsSingle = 1 };

}  // namespace cwt
