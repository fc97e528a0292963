#pragma once
// Writes a picture as a baseline (SOF0), three-component JPEG through libjpeg.

#include <QImage>
#include <QString>

// Returns an error text, empty on success.
QString WriteBaselineJpeg(const QImage& image, const QString& path, int quality);
