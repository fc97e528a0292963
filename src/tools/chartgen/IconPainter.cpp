#include "IconPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <string_view>

#include "engine/MorseTable.h"

namespace {

constexpr double kDotPx = 13.0;
constexpr double kDashPx = 32.0;
constexpr double kElementGapPx = 7.0;
constexpr double kLetterGapPx = 20.0;

double CodeWidth(std::string_view code) {
    double width = 0;
    for (char element : code) width += (element == 'L' ? kDashPx : kDotPx) + kElementGapPx;
    return width - kElementGapPx;
}

// "C W" in Morse, one row, centred.
void PaintMorseRow(QPainter& painter, double centreY) {
    const std::string_view c = cwt::CodeOfChar('C');
    const std::string_view w = cwt::CodeOfChar('W');
    double x = (kIconSizePx - (CodeWidth(c) + kLetterGapPx + CodeWidth(w))) / 2.0;
    for (std::string_view code : {c, w}) {
        for (char element : code) {
            const double length = element == 'L' ? kDashPx : kDotPx;
            painter.drawRoundedRect(QRectF(x, centreY - kDotPx / 2, length, kDotPx), kDotPx / 2,
                                    kDotPx / 2);
            x += length + kElementGapPx;
        }
        x += kLetterGapPx - kElementGapPx;
    }
}

}  // namespace

QImage PaintIcon() {
    QImage icon(kIconSizePx, kIconSizePx, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, 0, kIconSizePx);
    background.setColorAt(0, QColor(0x2E, 0x5B, 0xD8));
    background.setColorAt(1, QColor(0x12, 0x25, 0x70));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(8, 8, kIconSizePx - 16, kIconSizePx - 16), 44, 44);

    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(112);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 28, kIconSizePx, 130), Qt::AlignCenter, QStringLiteral("CW"));

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0xD2, 0x4A));
    PaintMorseRow(painter, 188);
    painter.end();
    return icon;
}
