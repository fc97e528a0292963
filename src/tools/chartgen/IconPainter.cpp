#include "IconPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <string_view>

#include "engine/morse/MorseTable.h"

namespace {

constexpr double kDotPx = 13.0;
constexpr double kDashPx = 32.0;
constexpr double kElementGapPx = 7.0;
constexpr double kLetterGapPx = 20.0;
constexpr double kMorseRowCentreY = 188.0;
constexpr double kTextCentreY = 93.0;
constexpr int kTextPixelSize = 112;

const QColor kBackgroundTop(0x2E, 0x5B, 0xD8);
const QColor kBackgroundBottom(0x12, 0x25, 0x70);
const QColor kMorseColour(0xFF, 0xD2, 0x4A);

double CodeWidth(std::string_view code) {
    double width = 0;
    for (char element : code) width += (element == 'L' ? kDashPx : kDotPx) + kElementGapPx;
    return width - kElementGapPx;
}

// "C W" in Morse, one row, centred.
QPainterPath MorseRow() {
    const std::string_view c = cwt::CodeOfChar('C');
    const std::string_view w = cwt::CodeOfChar('W');
    QPainterPath row;
    double x = (kIconSizePx - (CodeWidth(c) + kLetterGapPx + CodeWidth(w))) / 2.0;
    for (std::string_view code : {c, w}) {
        for (char element : code) {
            const double length = element == 'L' ? kDashPx : kDotPx;
            row.addRoundedRect(QRectF(x, kMorseRowCentreY - kDotPx / 2, length, kDotPx),
                               kDotPx / 2, kDotPx / 2);
            x += length + kElementGapPx;
        }
        x += kLetterGapPx - kElementGapPx;
    }
    return row;
}

// "CW" as outlines, centred on the upper part of the square.
QPainterPath Lettering() {
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(kTextPixelSize);
    font.setBold(true);
    const QString text = QStringLiteral("CW");
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(text);
    const double baseline = kTextCentreY + (metrics.ascent() - metrics.descent()) / 2.0;
    QPainterPath lettering;
    lettering.addText(QPointF((kIconSizePx - width) / 2.0, baseline), font, text);
    return lettering;
}

QString Number(double value) { return QString::number(value, 'f', 2); }

QString SvgPathData(const QPainterPath& path) {
    QString data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.isMoveTo()) {
            data += QStringLiteral("M%1 %2").arg(Number(element.x), Number(element.y));
        } else if (element.isLineTo()) {
            data += QStringLiteral("L%1 %2").arg(Number(element.x), Number(element.y));
        } else if (element.isCurveTo()) {
            // A cubic curve is stored as its first control point followed by two data elements.
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            data += QStringLiteral("C%1 %2 %3 %4 %5 %6")
                        .arg(Number(element.x), Number(element.y), Number(c2.x), Number(c2.y),
                             Number(end.x), Number(end.y));
            i += 2;
        }
    }
    return data;
}

}  // namespace

std::vector<IconShape> IconShapes() {
    QPainterPath background;
    background.addRoundedRect(QRectF(8, 8, kIconSizePx - 16, kIconSizePx - 16), 44, 44);
    return {
        {background, kBackgroundTop, kBackgroundBottom},
        {Lettering(), Qt::white, QColor()},
        {MorseRow(), kMorseColour, QColor()},
    };
}

QImage PaintIcon(int sizePx) {
    QImage icon(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(double(sizePx) / kIconSizePx, double(sizePx) / kIconSizePx);
    painter.setPen(Qt::NoPen);
    for (const IconShape& shape : IconShapes()) {
        if (shape.gradientBottom.isValid()) {
            QLinearGradient gradient(0, 0, 0, kIconSizePx);
            gradient.setColorAt(0, shape.fill);
            gradient.setColorAt(1, shape.gradientBottom);
            painter.setBrush(gradient);
        } else {
            painter.setBrush(shape.fill);
        }
        painter.drawPath(shape.path);
    }
    painter.end();
    return icon;
}

QString IconSvg() {
    QString svg = QStringLiteral(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                      "viewBox=\"0 0 %1 %1\">\n")
                      .arg(kIconSizePx);
    int gradients = 0;
    for (const IconShape& shape : IconShapes()) {
        QString fill = shape.fill.name();
        if (shape.gradientBottom.isValid()) {
            const QString id = QStringLiteral("g%1").arg(gradients++);
            svg += QStringLiteral(
                       "<defs><linearGradient id=\"%1\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"%2\" "
                       "gradientUnits=\"userSpaceOnUse\"><stop offset=\"0\" stop-color=\"%3\"/>"
                       "<stop offset=\"1\" stop-color=\"%4\"/></linearGradient></defs>\n")
                       .arg(id)
                       .arg(kIconSizePx)
                       .arg(shape.fill.name(), shape.gradientBottom.name());
            fill = QStringLiteral("url(#%1)").arg(id);
        }
        const QString rule =
            shape.path.fillRule() == Qt::WindingFill ? QStringLiteral("nonzero") : "evenodd";
        svg += QStringLiteral("<path fill=\"%1\" fill-rule=\"%2\" d=\"%3\"/>\n")
                   .arg(fill, rule, SvgPathData(shape.path));
    }
    return svg + QStringLiteral("</svg>\n");
}
