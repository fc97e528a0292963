#include "components/VelEditSpinButton.h"

#include <QBitmap>
#include <QEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTimer>

namespace cwt {

QImage SpinDownBitmap() {
    // 16 colours are plenty; the triangle rows 1..4 are 7, 5, 3 and 1 pixels wide around
    // column 4, rows 0 and 5 stay background.
    QImage image(9, 6, QImage::Format_Indexed8);
    image.setColorCount(2);
    image.setColor(0, qRgb(128, 128, 0));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int row = 1; row <= 4; ++row) {
        const int halfWidth = 4 - row;
        for (int x = 4 - halfWidth; x <= 4 + halfWidth; ++x) image.setPixel(x, row, 1);
    }
    return image;
}

namespace {

// The glyph with its transparent colour (that of the bottom-left pixel) masked out.
QPixmap Transparent(const QImage& image) {
    if (image.isNull()) return {};
    QPixmap pixmap = QPixmap::fromImage(image);
    const QColor key = image.pixelColor(0, image.height() - 1);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(key.rgb(), Qt::MaskInColor)));
    return pixmap;
}

}  // namespace

TTimerSpeedButton::TTimerSpeedButton(QWidget* parent) : QToolButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAutoRepeat(false);
}

TTimerSpeedButton::~TTimerSpeedButton() = default;

void TTimerSpeedButton::setFocusRect(bool show) {
    if (m_focusRect == show) return;
    m_focusRect = show;
    update();
}

void TTimerSpeedButton::setGlyph(const QPixmap& glyph) {
    m_glyph = glyph;
    update();
}

void TTimerSpeedButton::setNumGlyphs(int count) {
    count = qBound(1, count, 4);
    if (m_numGlyphs == count) return;
    m_numGlyphs = count;
    update();
}

QSize TTimerSpeedButton::sizeHint() const { return {20, 21}; }

void TTimerSpeedButton::mousePressEvent(QMouseEvent* event) {
    QToolButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) m_captured = true;
    if (!m_allowTimer) return;
    if (!m_repeatTimer) {
        m_repeatTimer = new QTimer(this);
        // A coarse timer may fire 5 % late; the repeat rhythm is something the user feels.
        m_repeatTimer->setTimerType(Qt::PreciseTimer);
        connect(m_repeatTimer, &QTimer::timeout, this, &TTimerSpeedButton::TimerExpired);
    }
    m_repeatTimer->setInterval(kFirstRepeatMs);
    m_repeatTimer->start();
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
    QToolButton::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) m_captured = false;
    if (m_repeatTimer) m_repeatTimer->stop();
}

void TTimerSpeedButton::TimerExpired() {
    // Changing the interval restarts the timer, so the next tick comes 100 ms from now; later
    // ticks keep their rhythm instead of drifting by the time each click takes.
    if (m_repeatTimer->interval() != kRepeatMs) m_repeatTimer->setInterval(kRepeatMs);
    // Dragged off the button (drawn up again) or the mouse taken away: no click.
    if (!isDown() || !m_captured) return;
    try {
        emit clicked(false);
    } catch (...) {
        m_repeatTimer->stop();
        throw;
    }
}

void TTimerSpeedButton::hideEvent(QHideEvent* event) {
    m_captured = false;
    QToolButton::hideEvent(event);
}

void TTimerSpeedButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) m_captured = false;
    QToolButton::changeEvent(event);
}

QPixmap TTimerSpeedButton::StateGlyph() const {
    if (m_glyph.isNull()) return {};
    const int width = m_glyph.width() / m_numGlyphs;
    // Images side by side: up, disabled, down, stay-down; a missing one falls back to up.
    int index = 0;
    if (!isEnabled() && m_numGlyphs > 1)
        index = 1;
    else if (isDown() && m_numGlyphs > 2)
        index = 2;
    else if (isChecked() && m_numGlyphs > 3)
        index = 3;
    QPixmap piece = Transparent(m_glyph.copy(index * width, 0, width, m_glyph.height()).toImage());
    if (!isEnabled() && index == 0) {
        QStyleOption option;
        option.initFrom(this);
        piece = style()->generatedIconPixmap(QIcon::Disabled, piece, &option);
    }
    return piece;
}

void TTimerSpeedButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);

    const bool pressed = isDown() || isChecked();
    const QPixmap glyph = StateGlyph();
    if (!glyph.isNull()) {
        const int shift = pressed ? 1 : 0;
        const QSize size = glyph.deviceIndependentSize().toSize();
        painter.drawPixmap((width() - size.width()) / 2 + shift,
                           (height() - size.height()) / 2 + shift, glyph);
    }
    if (m_focusRect) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        if (pressed) focus.rect.translate(1, 1);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
    // Opaque: the button face's rounded corners show the container's own background.
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setMinimumWidth(kMinWidthPx);
    m_downButton = new TTimerSpeedButton(this);
    m_downButton->setAllowTimer(true);
    m_downButton->setFocusRect(false);
    m_downButton->setAccessibleName(QStringLiteral("아래"));
    m_downButton->setGlyph(QPixmap::fromImage(SpinDownBitmap()));
    connect(m_downButton, &QAbstractButton::clicked, this, [this] { emit OnDownClick(this); });
    setBounds(QRect(0, 0, 20, 21));
}

void TSpinButton::setBounds(const QRect& bounds) {
    setGeometry(bounds);
    FitDownButton();
}

void TSpinButton::FitDownButton() { m_downButton->setGeometry(0, 0, width(), height()); }

QPixmap TSpinButton::DownGlyph() const { return m_downButton->Glyph(); }

void TSpinButton::setDownGlyph(const QPixmap& glyph) {
    m_downButton->setGlyph(glyph.isNull() ? QPixmap::fromImage(SpinDownBitmap()) : glyph);
}

int TSpinButton::DownNumGlyphs() const { return m_downButton->NumGlyphs(); }

void TSpinButton::setDownNumGlyphs(int count) { m_downButton->setNumGlyphs(count); }

void TSpinButton::resizeEvent(QResizeEvent* event) {
    // The minimum width keeps every resize and setGeometry at 15 pixels or more.
    FitDownButton();
    QWidget::resizeEvent(event);
}

}  // namespace cwt
