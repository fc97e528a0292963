#pragma once
// The Morse chart shown by the chart window: three column groups (Latin letters with the
// Hangul letter each stands for, digits and punctuation, Hangul letters with their Latin
// letters), every code drawn with filled circles for dots and filled squares for dashes.

#include <QImage>

inline constexpr int kChartWidthPx = 429;
inline constexpr int kChartHeightPx = 525;

QImage PaintChart();
