#include "components/VelStringGridPaint.h"

#include <QFontMetrics>
#include <QPainter>

#include "components/NumericPicture.h"

namespace cwt::gridpaint {

namespace {

constexpr int kTextMarginPx = 3;
constexpr int kSecondLineMaxChars = 20;
const QString kTwoLineSeparator = QStringLiteral("||");
const QString kLineBreakSeparator = QStringLiteral("\n\r");

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Skips a run of digits from `i`; returns how many there were.
int digitRun(const QString& s, int& i) {
    const int start = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    return i - start;
}

// One line drawn opaquely at (x, top + offset), clipped to `rect`.
void drawLine(QPainter& painter, const QRect& rect, const QString& text, QChar type, int offsetPx,
              const QFont& font, QColor color, const TextStyle& style) {
    QString shown = text;
    if (IsNumberType(type)) {
        bool negative = false;
        shown = NumberDisplay(text, type, style.digitFormat, &negative);
        if (negative) color = style.minusColor;
    }
    painter.fillRect(rect, style.background);
    if (shown.isEmpty()) return;
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setFont(font);
    painter.setPen(color);
    const QFontMetrics metrics(font);
    const int x = TextX(type, rect, metrics.horizontalAdvance(shown));
    painter.drawText(QPoint(x, rect.top() + offsetPx + metrics.ascent()), shown);
    painter.restore();
}

}  // namespace

std::optional<double> ReadNumber(const QString& text) {
    const QString s = text.trimmed();
    int i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ++i;
    int digits = digitRun(s, i);
    if (i < s.size() && s[i] == u'.') {
        ++i;
        digits += digitRun(s, i);
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ++i;
        if (digitRun(s, i) == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    bool ok = false;
    const double value = s.toDouble(&ok);  // C locale: '.' is the point
    if (!ok) return std::nullopt;
    return value;
}

bool IsNumberType(QChar type) { return type == u'F' || type == u'N' || type == u'P'; }

QString NumberDisplay(const QString& text, QChar type, const QString& digitFormat, bool* negative) {
    if (negative) *negative = false;
    const std::optional<double> value = ReadNumber(text);
    if (!value) return text;
    if (negative) *negative = *value < 0;
    if (*value == 0) return {};
    const std::string picture = type == u'F' ? std::string("#,###.00") : digitFormat.toStdString();
    return QString::fromStdString(FormatNumericPicture(*value, picture));
}

CellLines SplitCellText(const QString& text) {
    qsizetype at = text.indexOf(kLineBreakSeparator);
    if (at < 0) at = text.indexOf(kTwoLineSeparator);
    if (at < 0) return {text, {}, false};
    return {text.left(at), text.mid(at + 2), true};
}

int TextX(QChar type, const QRect& textRect, int textWidth) {
    const int left = textRect.x();
    const int right = textRect.x() + textRect.width();
    if (type == u'C') return left + textRect.width() / 2 - textWidth / 2;
    if (type == u'R' || IsNumberType(type)) return right - textWidth - kTextMarginPx;
    return left + kTextMarginPx;
}

void DrawCellText(QPainter& painter, const QRect& cellRect, const QString& text, QChar type,
                  const TextStyle& style) {
    const QRect textRect = cellRect.adjusted(1, 1, -1, -1);
    const int lineHeight = QFontMetrics(style.font).height();
    const CellLines lines = SplitCellText(text);
    if (!lines.twoLines) {
        const int offset = textRect.height() / 2 - lineHeight / 2;
        drawLine(painter, textRect, text, type, offset, style.font, style.color, style);
        return;
    }
    drawLine(painter, textRect, lines.first, type, 3, style.font, style.color, style);
    const QRect lower(textRect.left(), textRect.top() + lineHeight + 3, textRect.width(),
                      textRect.bottom() + 1 - (textRect.top() + lineHeight + 3));
    if (lower.height() <= 0) return;
    const QFont& font = style.dataCell ? style.subFont : style.font;
    const QColor color = style.dataCell ? style.subColor : style.color;
    drawLine(painter, lower, lines.second.left(kSecondLineMaxChars), type, 2, font, color, style);
}

void DrawRaisedEdges(QPainter& painter, const QRect& rect, bool vertical, bool horizontal) {
    if (rect.isEmpty()) return;
    painter.save();
    const QColor light(Qt::white);
    const QColor shadow(0x80, 0x80, 0x80);
    const int right = rect.x() + rect.width() - 1;
    const int bottom = rect.y() + rect.height() - 1;
    if (vertical) {
        painter.setPen(light);
        painter.drawLine(rect.x(), rect.y(), rect.x(), bottom);
        painter.setPen(shadow);
        painter.drawLine(right, rect.y(), right, bottom);
    }
    if (horizontal) {
        painter.setPen(light);
        painter.drawLine(rect.x(), rect.y(), right, rect.y());
        painter.setPen(shadow);
        painter.drawLine(rect.x(), bottom, right, bottom);
    }
    painter.restore();
}

}  // namespace cwt::gridpaint
