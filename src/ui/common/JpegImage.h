#pragma once
// JPEG decoding from memory through libjpeg. A damaged or truncated file gives an error
// text, never a crash and never a half-grey picture.

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace cwt {

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;     // colour components in the file (1 grey, 3 colour, 4 CMYK)
    bool baseline = false;  // baseline sequential coding (SOF0)
    bool progressive = false;
};

struct JpegDecoded {
    QImage image;   // null when decoding failed
    JpegInfo info;  // filled as far as the header could be read
    QString error;  // empty on success

    bool ok() const { return error.isEmpty(); }
};

JpegDecoded DecodeJpeg(QByteArrayView data);

}  // namespace cwt
