#pragma once
// The program icon: "CW" over its own Morse code on a blue rounded square, drawn on a
// 256 × 256 design grid. The same shapes give the PNG sizes a desktop asks for and a
// scalable SVG, so every size shows the same picture.

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QString>
#include <vector>

inline constexpr int kIconSizePx = 256;

// One filled outline of the icon, in design-grid units. A shape with `gradientBottom` set
// is filled with a vertical gradient from `fill` (top of the grid) to it (bottom).
struct IconShape {
    QPainterPath path;
    QColor fill;
    QColor gradientBottom;
};

std::vector<IconShape> IconShapes();

// The icon at `sizePx` × `sizePx` with transparency.
QImage PaintIcon(int sizePx = kIconSizePx);

// The icon as an SVG document (outlines only: it needs no font where it is shown).
QString IconSvg();
