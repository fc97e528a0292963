#include "components/VelSpeedButton.h"

#include <QPainter>

#include "components/VelAccessible.h"

namespace cwt {
namespace {

// The inner area the caption is redrawn in: the client rectangle less 2 pixels of frame.
QRect InnerRect(const QWidget* button) { return button->rect().adjusted(2, 2, -2, -2); }

}  // namespace

TVelSpeedButton::TVelSpeedButton(QWidget* parent) : QToolButton(parent) {
    InstallVelAccessibility();
    setFocusPolicy(Qt::TabFocus);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
}

void TVelSpeedButton::setLineStyle(TLineStyle style) {
    if (m_lineStyle == style) return;
    m_lineStyle = style;
    update();
}

int TVelSpeedButton::CaptionWidth() const { return fontMetrics().horizontalAdvance(text()); }

QPoint TVelSpeedButton::CaptionOrigin() const {
    const QRect r = InnerRect(this);
    const int width = r.width();  // right - left, right exclusive
    const int height = r.height();
    const int x = r.left() + width / 2 - CaptionWidth() / 2;
    const int y = r.top() + height / 2 - fontMetrics().height() / 2;
    // The caption is drawn one pixel below y; the bar takes row y.
    return {x, y + 1};
}

void TVelSpeedButton::paintEvent(QPaintEvent* event) {
    QToolButton::paintEvent(event);

    // Redraw the caption over the face, at the same place whether the button is up or down;
    // this also covers a glyph inside the inner area.
    QPainter painter(this);
    const QRect r = InnerRect(this);
    const QPoint origin = CaptionOrigin();
    const QFontMetrics metrics = fontMetrics();
    const QColor ink = palette().color(QPalette::ButtonText);
    painter.setFont(font());
    painter.setClipRect(r);
    painter.fillRect(r, palette().brush(QPalette::Button).color());
    painter.setPen(ink);
    painter.drawText(origin.x(), origin.y() + metrics.ascent(), text());

    if (m_lineStyle == fsTop) {
        const int width = CaptionWidth();
        const int y = origin.y() - 1;
        if (width > 0) painter.drawLine(origin.x(), y, origin.x() + width - 1, y);
    }

    // The caption's fill covers the style's own focus frame, so the frame is drawn here, on
    // the edge of the caption area, where it stays clear of the caption and the bar.
    if (hasFocus()) {
        painter.setClipping(false);
        painter.setPen(QPen(ink, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

}  // namespace cwt
