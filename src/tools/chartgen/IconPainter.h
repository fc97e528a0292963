#pragma once
// The program icon, 256 × 256 with transparency: "CW" over its own Morse code.

#include <QImage>

inline constexpr int kIconSizePx = 256;

QImage PaintIcon();
