#pragma once
// How TVelStringGrid lays out the text of one cell: the split into two lines, the number
// display of the types "F", "N" and "P", the horizontal position by type letter, and the
// opaque drawing of a line clipped to its rectangle. Plain functions over a painter, so the
// layout can be checked without a grid.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <optional>

class QPainter;

namespace cwt::gridpaint {

// Reads a whole text as a decimal number: optional sign, digits, optional point and
// fraction, optional exponent; blanks around it are allowed. Nothing when it does not read.
std::optional<double> ReadNumber(const QString& text);

// What a number cell shows: 0 gives "", "F" the picture "#,###.00", "N" and "P"
// `digitFormat`; a text that is no number stays as it is. `negative` tells whether the
// number read was below zero.
QString NumberDisplay(const QString& text, QChar type, const QString& digitFormat, bool* negative);
bool IsNumberType(QChar type);

// A cell text split at the first LF CR, else at the first "||".
struct CellLines {
    QString first;
    QString second;
    bool twoLines = false;
};
CellLines SplitCellText(const QString& text);

// x of a text `textWidth` wide in `textRect` for the type letter (right and bottom of the
// rectangle exclusive, as the grid measures them).
int TextX(QChar type, const QRect& textRect, int textWidth);

// The fonts and colours one cell text is drawn with.
struct TextStyle {
    QFont font;
    QColor color;
    QFont subFont;  // second line of data cells
    QColor subColor;
    bool dataCell = true;
    QColor background;
    QColor minusColor;
    QString digitFormat;
};

// Draws a cell text in `cellRect` (the cell without its grid lines): one line centred
// vertically, or two lines, the second in the sub font for data cells.
void DrawCellText(QPainter& painter, const QRect& cellRect, const QString& text, QChar type,
                  const TextStyle& style);

// Raised inner 3-D edges of `rect`: left and right with the vertical lines, top and bottom
// with the horizontal ones.
void DrawRaisedEdges(QPainter& painter, const QRect& rect, bool vertical, bool horizontal);

}  // namespace cwt::gridpaint
