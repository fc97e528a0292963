#include "components/VelLabel.h"

#include <QMouseEvent>
#include <QPainter>

#include "components/VelAccessible.h"

namespace cwt {

TVelLabel::TVelLabel(QWidget* parent) : TVelLabel(QString(), parent) {}

TVelLabel::TVelLabel(const QString& caption, QWidget* parent) : QLabel(parent) {
    // Before the caption is set: setting it may already ask for the label's interface.
    InstallVelAccessibility();
    setTextFormat(Qt::PlainText);
    QLabel::setText(caption);
    // What the painting leaves out (the frame's margin) shows the parent, as a label should.
    setAutoFillBackground(false);
}

void TVelLabel::setText(const QString& caption) { SetLabelText(this, caption); }

void TVelLabel::setLineStyle(TLineStyle style) {
    if (m_lineStyle == style) return;
    m_lineStyle = style;
    update();
}

void TVelLabel::setLabelRectShow(bool show) {
    if (m_labelRectShow == show) return;
    m_labelRectShow = show;
    update();
}

void TVelLabel::setLabelRectFlat(bool flat) {
    if (m_labelRectFlat == flat) return;
    m_labelRectFlat = flat;
    update();
}

void TVelLabel::setAlignment(TAlignment alignment) {
    if (m_alignment == alignment) return;
    m_alignment = alignment;
    update();
}

QColor TVelLabel::Color() const { return palette().color(QPalette::Window); }

void TVelLabel::setColor(const QColor& color) {
    if (Color() == color) return;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
}

QColor TVelLabel::FontColor() const { return palette().color(QPalette::WindowText); }

void TVelLabel::setFontColor(const QColor& color) {
    if (FontColor() == color) return;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, color);
    setPalette(pal);
}

int TVelLabel::CornerSize(int widthPx, int heightPx) {
    return qMax(6, qMin(widthPx, heightPx) / 4);
}

void TVelLabel::mousePressEvent(QMouseEvent* event) {
    emit OnMouseDown(this, event->button(), event->modifiers(), event->position().toPoint());
    QLabel::mousePressEvent(event);
}

void TVelLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    const QColor ink = FontColor();
    const QColor brush = Color();
    // Rectangle edges as the classic canvas has them: right and bottom exclusive.
    int left = 0, top = 0, right = width(), bottom = height();
    bool framed = false;

    if (m_labelRectShow) {
        left += 1;
        if (m_labelRectFlat) {
            // Outlined in the colour the bar is drawn in when there is one, else black.
            const int corner = CornerSize(width(), height());
            painter.setPen(m_lineStyle == fsTop ? ink : QColor(Qt::black));
            painter.setBrush(brush);
            painter.drawRoundedRect(QRect(left, top, right - left - 1, bottom - top - 1),
                                    corner / 2.0, corner / 2.0);
        } else {
            // Raised frame: light inner edge left and top, dark outer edge right and bottom.
            painter.setPen(palette().color(QPalette::Light));
            painter.drawLine(left, top, right - 1, top);
            painter.drawLine(left, top, left, bottom - 1);
            painter.setPen(palette().color(QPalette::Shadow));
            painter.drawLine(right - 1, top, right - 1, bottom - 1);
            painter.drawLine(left, bottom - 1, right - 1, bottom - 1);
        }
        left += 2;
        top += 2;
        right -= 2;
        bottom -= 2;
        framed = true;
    }

    const QFontMetrics metrics(font());
    const QString caption = text();
    const int captionWidth = metrics.horizontalAdvance(caption);
    int x = left;
    if (m_alignment == taRightJustify)
        x = right - captionWidth - 1;
    else if (m_alignment == taCenter)
        x = (right - captionWidth) / 2;
    if (framed) x += 1;
    const int y = (bottom - top) / 2 - metrics.height() / 2 + 1;

    const QRect r(left, top, right - left, bottom - top);
    painter.setClipRect(r);
    painter.fillRect(r, brush);
    painter.setPen(ink);
    painter.drawText(x, y + metrics.ascent(), caption);

    if (m_lineStyle == fsTop && captionWidth > 0) {
        painter.drawLine(x, top + 1, x + captionWidth - 1, top + 1);
        if (font().bold()) painter.drawLine(x, top, x + captionWidth - 1, top);
    }
}

}  // namespace cwt
