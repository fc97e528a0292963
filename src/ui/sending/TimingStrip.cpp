#include "ui/sending/TimingStrip.h"

#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

using cwt::decode::StretchKind;

constexpr double kPixelsPerUnit = 11;
constexpr double kLongestGapUnits = 9;  // a longer gap is drawn this long, with a break mark
constexpr int kRowHeight = 34;
constexpr int kMarkTop = 6;
constexpr int kMarkHeight = 12;
constexpr int kIdealTop = 21;
constexpr int kIdealHeight = 5;
constexpr int kMargin = 6;

const QColor kMarkColor(0x2F, 0x5D, 0xA8);
const QColor kOffColor(0xC0, 0x00, 0x00);
const QColor kIdealColor(0x80, 0x80, 0x80);

bool Off(double units, double ideal) {
    return ideal > 0 && std::abs(units - ideal) > TimingStrip::kTolerance * ideal;
}

double IdealGap(StretchKind kind) {
    switch (kind) {
        case StretchKind::ElementGap:
            return 1;
        case StretchKind::LetterGap:
        case StretchKind::SyllableGap:
            return 3;
        case StretchKind::WordGap:
            return 7;
        default:
            break;
    }
    return 0;
}

QString Units(double value) { return QString::number(value, 'f', 2); }

}  // namespace

bool TimingStrip::Element::markOff() const { return Off(markUnits, idealMarkUnits); }
bool TimingStrip::Element::gapOff() const { return Off(gapUnits, idealGapUnits); }

TimingStrip::TimingStrip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setFocusPolicy(Qt::TabFocus);  // to read its description
    describe();
}

void TimingStrip::showStretch(const std::vector<cwt::decode::ClassifiedStretch>& stretches,
                              double unitMs, bool keyerElements) {
    m_elements.clear();
    m_keyerElements = keyerElements;
    for (const cwt::decode::ClassifiedStretch& read : stretches) {
        const double unit = read.unitMs > 0 ? read.unitMs : unitMs;
        if (unit <= 0) continue;
        const double units = read.stretch.lengthMs / unit;
        if (read.stretch.mark) {
            const bool dash = read.kind == StretchKind::Dash;
            m_elements.push_back({dash, units, dash ? 3.0 : 1.0, 0, 0, false});
        } else if (!m_elements.empty()) {
            Element& before = m_elements.back();
            before.gapUnits = units;
            before.idealGapUnits = IdealGap(read.kind);
            before.breaksAfter = read.kind != StretchKind::ElementGap;
        }
    }
    describe();
    updateGeometry();
    update();
}

int TimingStrip::offCount() const {
    int off = 0;
    for (const Element& element : m_elements)
        off += ((!m_keyerElements && element.markOff()) || element.gapOff()) ? 1 : 0;
    return off;
}

// Where each element goes: a row is filled up to `width`, and wraps at a letter or word gap.
std::vector<TimingStrip::Placed> TimingStrip::layout(int width, int* rows) const {
    std::vector<Placed> placed;
    const double room = std::max(60.0, width - 2.0 * kMargin);
    int row = 0;
    double x = 0;
    size_t wordStart = 0;  // the first element after the last place a row may wrap
    for (size_t i = 0; i < m_elements.size(); ++i) {
        const Element& e = m_elements[i];
        placed.push_back({row, x});
        x += std::max(e.markUnits, e.idealMarkUnits) * kPixelsPerUnit;
        if (x > room && wordStart > 0 && placed[wordStart].row == row) {
            // Move the letter that ran over to the next row.
            const double shift = placed[wordStart].x;
            ++row;
            for (size_t j = wordStart; j <= i; ++j) placed[j] = {row, placed[j].x - shift};
            x -= shift;
        }
        x += std::min(e.gapUnits, kLongestGapUnits) * kPixelsPerUnit;
        if (e.breaksAfter) wordStart = i + 1;
    }
    if (rows) *rows = m_elements.empty() ? 1 : row + 1;
    return placed;
}

int TimingStrip::heightForWidth(int width) const {
    int rows = 1;
    layout(width, &rows);
    return rows * kRowHeight + 2 * kMargin;
}

QSize TimingStrip::sizeHint() const { return {600, heightForWidth(600)}; }

void TimingStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (m_elements.empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect().adjusted(kMargin, 0, 0, 0), Qt::AlignVCenter,
                         QStringLiteral("한 번 보내고 나면 부호마다 보낸 길이와 이상적인 길이를 "
                                        "나란히 보입니다."));
        return;
    }
    const std::vector<Placed> placed = layout(width(), nullptr);
    for (size_t i = 0; i < m_elements.size(); ++i) {
        const Element& e = m_elements[i];
        const double x = kMargin + placed[i].x;
        const double top = kMargin + placed[i].row * kRowHeight;
        const QColor mark = !m_keyerElements && e.markOff() ? kOffColor : kMarkColor;
        painter.fillRect(QRectF(x, top + kMarkTop, e.markUnits * kPixelsPerUnit, kMarkHeight),
                         mark);
        painter.setPen(kIdealColor);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(
            QRectF(x, top + kIdealTop, e.idealMarkUnits * kPixelsPerUnit, kIdealHeight));
        if (e.idealGapUnits <= 0) continue;
        // Where the next element should have begun after this gap.
        const double next = x + (e.markUnits + e.idealGapUnits) * kPixelsPerUnit;
        painter.setPen(QPen(e.gapOff() ? kOffColor : kIdealColor, e.gapOff() ? 2 : 1));
        painter.drawLine(QPointF(next, top + kIdealTop - 2),
                         QPointF(next, top + kIdealTop + kIdealHeight + 2));
        if (e.gapUnits > kLongestGapUnits && i + 1 < placed.size() &&
            placed[i + 1].row == placed[i].row) {
            const double end = kMargin + placed[i + 1].x - 4;
            painter.setPen(kIdealColor);
            painter.drawText(QPointF(end - 10, top + kMarkTop + kMarkHeight), QStringLiteral("//"));
        }
    }
}

// The strip in words, for those who cannot see it.
void TimingStrip::describe() {
    if (m_elements.empty()) {
        setAccessibleDescription(QStringLiteral("아직 보낸 부호가 없습니다"));
        return;
    }
    struct Sum {
        double total = 0;
        int count = 0;
    } dots, dashes, gaps[3];
    for (const Element& e : m_elements) {
        Sum& mark = e.dash ? dashes : dots;
        mark.total += e.markUnits;
        ++mark.count;
        const int kind = e.idealGapUnits == 1   ? 0
                         : e.idealGapUnits == 3 ? 1
                         : e.idealGapUnits == 7 ? 2
                                                : -1;
        if (kind < 0) continue;
        gaps[kind].total += e.gapUnits;
        ++gaps[kind].count;
    }
    QStringList parts;
    auto add = [&](const QString& name, const Sum& sum, int ideal) {
        if (sum.count == 0) return;
        parts << QStringLiteral("%1 %2개 평균 %3단위 (이상 %4)")
                     .arg(name)
                     .arg(sum.count)
                     .arg(Units(sum.total / sum.count))
                     .arg(ideal);
    };
    add(QStringLiteral("단점"), dots, 1);
    add(QStringLiteral("장점"), dashes, 3);
    add(QStringLiteral("부호 사이"), gaps[0], 1);
    add(QStringLiteral("문자 사이"), gaps[1], 3);
    add(QStringLiteral("단어 사이"), gaps[2], 7);
    parts << QStringLiteral("이상에서 4분의 1 넘게 벗어난 곳 %1개").arg(offCount());
    setAccessibleDescription(parts.join(QStringLiteral(", ")));
}
