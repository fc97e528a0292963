#include "ui/decoder/WaterfallView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kRulerHeight = 18;
constexpr double kRangeDb = 40;  // from the noise floor to the brightest colour
constexpr double kKeyStepHz = 10;
constexpr double kDepthDb = 60;      // the floor lies at most this far below the peak
constexpr double kPeakFallDb = 0.2;  // per frame: the peak held fades over about 20 s

double Db(float power) { return 10 * std::log10(std::max(power, 1e-20f)); }

// The band's noise floor: the median bin, which a few strong signals do not move.
double MedianDb(const std::vector<double>& levels) {
    std::vector<double> sorted = levels;
    auto middle = sorted.begin() + static_cast<long>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    return *middle;
}

}  // namespace

WaterfallView::WaterfallView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize WaterfallView::sizeHint() const { return {600, 150}; }
QSize WaterfallView::minimumSizeHint() const { return {300, 80}; }

void WaterfallView::setBand(double lowHz, double highHz) {
    if (lowHz == m_lowHz && highHz == m_highHz) return;
    m_lowHz = lowHz;
    m_highHz = highHz;
    clearFrames();  // old rows were drawn for another band
}

void WaterfallView::clearFrames() {
    m_image.fill(Qt::black);
    update();
}

void WaterfallView::resizeEvent(QResizeEvent*) {
    const QRect area = waterfallRect();
    QImage image(std::max(area.width(), 1), std::max(area.height(), 1), QImage::Format_RGB32);
    image.fill(Qt::black);
    if (!m_image.isNull()) {
        QPainter painter(&image);
        painter.drawImage(image.rect(), m_image);
    }
    m_image = image;
}

QRect WaterfallView::waterfallRect() const { return rect().adjusted(0, 0, 0, -kRulerHeight); }

double WaterfallView::hzAt(int x) const {
    const double width = std::max(waterfallRect().width() - 1, 1);
    return m_lowHz + (m_highHz - m_lowHz) * std::clamp(x, 0, static_cast<int>(width)) / width;
}

int WaterfallView::xOf(double hz) const {
    const double width = std::max(waterfallRect().width() - 1, 1);
    return static_cast<int>(std::lround((hz - m_lowHz) / (m_highHz - m_lowHz) * width));
}

void WaterfallView::addFrame(const std::vector<float>& power, double binHz) {
    if (power.empty() || binHz <= 0 || m_image.isNull()) return;
    const int width = m_image.width();
    std::vector<double> row(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        // The strongest bin under each column, so that a narrow signal is never missed.
        const double from = hzAt(x) / binHz, to = hzAt(x + 1) / binHz;
        size_t first = static_cast<size_t>(std::max(0.0, std::floor(from)));
        size_t last = static_cast<size_t>(std::max(0.0, std::ceil(to)));
        first = std::min(first, power.size() - 1);
        last = std::clamp(last, first + 1, power.size());
        row[static_cast<size_t>(x)] = Db(*std::max_element(
            power.begin() + static_cast<long>(first), power.begin() + static_cast<long>(last)));
    }
    // The floor follows the noise slowly, so that the picture does not flicker; it stays
    // within kDepthDb of the strongest recent signal, or the digital silence of a sink's
    // monitor would light up a tone's faintest splatter across the band.
    const double peak = *std::max_element(row.begin(), row.end());
    m_peakDb = m_floorDb == 0 ? peak : std::max(peak, m_peakDb - kPeakFallDb);
    const double floor = std::max(MedianDb(row), m_peakDb - kDepthDb);
    m_floorDb = m_floorDb == 0 ? floor : 0.9 * m_floorDb + 0.1 * floor;
    // Scroll down one row and draw the new one at the top.
    const int rowBytes = static_cast<int>(m_image.bytesPerLine());
    uchar* bits = m_image.bits();
    std::memmove(bits + rowBytes, bits, static_cast<size_t>(rowBytes) * (m_image.height() - 1));
    auto* top = reinterpret_cast<QRgb*>(m_image.scanLine(0));
    for (int x = 0; x < width; ++x) top[x] = colourOf(row[static_cast<size_t>(x)] - m_floorDb);
    update();
}

// Black through blue and yellow to white, from the noise floor to kRangeDb above it.
QRgb WaterfallView::colourOf(double levelDb) const {
    const double t = std::clamp((levelDb + 3) / kRangeDb, 0.0, 1.0);
    auto mix = [](double a, double b, double f) { return static_cast<int>(a + (b - a) * f); };
    if (t < 0.35) return qRgb(0, 0, mix(0, 170, t / 0.35));
    if (t < 0.7) {
        const double f = (t - 0.35) / 0.35;
        return qRgb(mix(0, 255, f), mix(0, 220, f), mix(170, 0, f));
    }
    const double f = (t - 0.7) / 0.3;
    return qRgb(255, mix(220, 255, f), mix(0, 255, f));
}

void WaterfallView::setPitch(std::optional<double> pitchHz, bool picked) {
    if (pitchHz == m_pitchHz && picked == m_picked) return;
    m_pitchHz = pitchHz;
    m_picked = picked;
    update();
}

void WaterfallView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = waterfallRect();
    painter.drawImage(area, m_image);
    if (m_pitchHz && *m_pitchHz >= m_lowHz && *m_pitchHz <= m_highHz) {
        // A faint line, so that the signal under it stays visible, and a mark at the top.
        QColor colour = m_picked ? QColor(255, 140, 0) : QColor(0, 220, 90);
        const int x = xOf(*m_pitchHz);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(QPolygon(
            {QPoint(x - 6, area.top()), QPoint(x + 6, area.top()), QPoint(x, area.top() + 8)}));
        colour.setAlpha(110);
        painter.setPen(QPen(colour, 1));
        painter.drawLine(x, area.top() + 8, x, area.bottom());
    }
    paintRuler(painter);
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void WaterfallView::paintRuler(QPainter& painter) const {
    const QRect ruler(0, height() - kRulerHeight, width(), kRulerHeight);
    painter.fillRect(ruler, palette().window());
    painter.setPen(palette().windowText().color());
    // A tick every 100 Hz, labelled where there is room.
    const double span = m_highHz - m_lowHz;
    const int labelEvery = span > 1500 ? 500 : (span > 600 ? 200 : 100);
    const QFontMetrics metrics(painter.font());
    for (int hz = static_cast<int>(std::ceil(m_lowHz / 100) * 100); hz <= m_highHz; hz += 100) {
        const int x = xOf(hz);
        painter.drawLine(x, ruler.top(), x, ruler.top() + 3);
        if (hz % labelEvery != 0) continue;
        const QString label = QString::number(hz);
        const int labelWidth = metrics.horizontalAdvance(label);
        const int left = std::clamp(x - labelWidth / 2, 0, width() - labelWidth);
        painter.drawText(QRect(left, ruler.top() + 3, labelWidth, kRulerHeight - 3),
                         Qt::AlignCenter, label);
    }
}

void WaterfallView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit pitchPicked(std::round(hzAt(event->position().toPoint().x())));
        return;
    }
    if (event->button() == Qt::RightButton) {
        emit automaticPitchAsked();
        return;
    }
    QWidget::mousePressEvent(event);
}

void WaterfallView::keyPressEvent(QKeyEvent* event) {
    const double step = (event->modifiers() & Qt::ShiftModifier) ? 1 : kKeyStepHz;
    const double from = m_pitchHz.value_or((m_lowHz + m_highHz) / 2);
    switch (event->key()) {
        case Qt::Key_Left:
            emit pitchPicked(std::clamp(std::round(from - step), m_lowHz, m_highHz));
            return;
        case Qt::Key_Right:
            emit pitchPicked(std::clamp(std::round(from + step), m_lowHz, m_highHz));
            return;
        case Qt::Key_Home:
            emit automaticPitchAsked();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}
