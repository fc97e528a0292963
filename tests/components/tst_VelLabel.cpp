// The framed label and the line-style speed button: where the bar, the caption and the frame
// land, pixel by pixel.
#include <QSignalSpy>
#include <QTest>

#include "components/VelLabel.h"
#include "components/VelSpeedButton.h"

using namespace cwt;

namespace {

const QColor kInk(255, 0, 255);  // the main window's fuchsia
const QColor kPaper(Qt::white);

// A horizontal run of `colour` on `row`: its first column and length (first -1 when none).
std::pair<int, int> RunOn(const QImage& image, int row, const QColor& colour) {
    int first = -1, length = 0;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, row) != colour) {
            if (first >= 0) break;
            continue;
        }
        if (first < 0) first = x;
        ++length;
    }
    return {first, length};
}

// A label with a font whose text cell leaves the top rows free, so the bar stands alone.
TVelLabel* MakeLabel(QWidget* parent, QSize size, bool bold) {
    auto* label = new TVelLabel("AR", parent);
    label->resize(size);
    label->setColor(kPaper);
    label->setFontColor(kInk);
    label->setLineStyle(fsTop);
    QFont font = label->font();
    font.setPixelSize(12);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace

class VelLabelTest : public QObject {
    Q_OBJECT
private slots:
    void cornerSize();
    void barRowsWithAndWithoutFrame_data();
    void barRowsWithAndWithoutFrame();
    void centredFramedCaptionPosition();
    void frames();
    void mouseDownReportsTheButton();
    void speedButtonBarSpansTheCaptionAboveIt();
    void speedButtonCaptionAndBarStayWhenPressed();
};

void VelLabelTest::cornerSize() {
    QCOMPARE(TVelLabel::CornerSize(81, 16), 6);
    QCOMPARE(TVelLabel::CornerSize(100, 40), 10);
    QCOMPARE(TVelLabel::CornerSize(10, 10), 6);
}

void VelLabelTest::barRowsWithAndWithoutFrame_data() {
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("framed");
    QTest::addColumn<QList<int>>("barRows");
    QTest::newRow("regular") << false << false << QList<int>{1};
    QTest::newRow("bold") << true << false << QList<int>{0, 1};
    QTest::newRow("regular framed") << false << true << QList<int>{3};
    QTest::newRow("bold framed") << true << true << QList<int>{2, 3};
}

void VelLabelTest::barRowsWithAndWithoutFrame() {
    QFETCH(bool, bold);
    QFETCH(bool, framed);
    QFETCH(QList<int>, barRows);
    QWidget parent;
    TVelLabel* label = MakeLabel(&parent, QSize(100, 40), bold);
    label->setAlignment(taCenter);
    label->setLabelRectShow(framed);
    const QImage image = label->grab().toImage();
    const int captionWidth = QFontMetrics(label->font()).horizontalAdvance("AR");
    for (int row = 0; row < 8; ++row) {
        const auto [first, length] = RunOn(image, row, kInk);
        if (barRows.contains(row)) {
            QCOMPARE(length, captionWidth);
        } else {
            QVERIFY2(length < captionWidth / 2, qPrintable(QString("row %1").arg(row)));
        }
    }
}

void VelLabelTest::centredFramedCaptionPosition() {
    // R.left = 1 + 2, R.right = 100 - 2; x = (98 - caption width) / 2 + 1.
    QWidget parent;
    TVelLabel* label = MakeLabel(&parent, QSize(100, 40), false);
    label->setAlignment(taCenter);
    label->setLabelRectShow(true);
    const int captionWidth = QFontMetrics(label->font()).horizontalAdvance("AR");
    QCOMPARE(RunOn(label->grab().toImage(), 3, kInk).first, (98 - captionWidth) / 2 + 1);

    label->setAlignment(taRightJustify);  // R.right - width - 1, plus 1 in a frame
    QCOMPARE(RunOn(label->grab().toImage(), 3, kInk).first, 98 - captionWidth);
    label->setAlignment(taLeftJustify);
    QCOMPARE(RunOn(label->grab().toImage(), 3, kInk).first, 4);
}

void VelLabelTest::frames() {
    QWidget parent;
    TVelLabel* label = MakeLabel(&parent, QSize(100, 40), false);
    label->setLineStyle(fsNone);
    label->setLabelRectFlat(true);  // without LabelRectShow: no frame at all
    QImage image = label->grab().toImage();
    QCOMPARE(image.pixelColor(0, 20), kPaper);
    QCOMPARE(image.pixelColor(99, 20), kPaper);

    label->setLabelRectShow(true);  // rounded: outline on column 1, the parent on column 0
    QPalette green = parent.palette();
    green.setColor(QPalette::Window, Qt::green);
    parent.setPalette(green);
    parent.setAutoFillBackground(true);
    parent.resize(label->size());
    image = parent.grab().toImage();
    QCOMPARE(image.pixelColor(1, 20), QColor(Qt::black));
    QCOMPARE(image.pixelColor(99, 20), QColor(Qt::black));
    QCOMPARE(image.pixelColor(50, 39), QColor(Qt::black));
    QCOMPARE(image.pixelColor(0, 20), QColor(Qt::green));
    QVERIFY(image.pixelColor(1, 1) != QColor(Qt::black));  // the corner is rounded off
    QCOMPARE(image.pixelColor(80, 20), kPaper);

    label->setLabelRectFlat(false);  // raised: light left and top, dark right and bottom
    image = label->grab().toImage();
    const QPalette palette = label->palette();
    QCOMPARE(image.pixel(1, 20), palette.color(QPalette::Light).rgb());
    QCOMPARE(image.pixel(50, 0), palette.color(QPalette::Light).rgb());
    QCOMPARE(image.pixel(99, 20), palette.color(QPalette::Shadow).rgb());
    QCOMPARE(image.pixel(50, 39), palette.color(QPalette::Shadow).rgb());
    QCOMPARE(image.pixelColor(3, 20), kPaper);
}

void VelLabelTest::mouseDownReportsTheButton() {
    TVelLabel label("E");
    label.resize(81, 16);
    QSignalSpy presses(&label, &TVelLabel::OnMouseDown);
    QTest::mousePress(&label, Qt::RightButton, Qt::ShiftModifier, QPoint(5, 6));
    QCOMPARE(presses.count(), 1);
    QCOMPARE(presses.first().at(0).value<TVelLabel*>(), &label);
    QCOMPARE(presses.first().at(1).value<Qt::MouseButton>(), Qt::RightButton);
    QCOMPARE(presses.first().at(3).toPoint(), QPoint(5, 6));
}

void VelLabelTest::speedButtonBarSpansTheCaptionAboveIt() {
    TVelSpeedButton button;
    button.resize(32, 27);
    button.setText("AR");
    button.setLineStyle(fsTop);
    QCOMPARE(button.focusPolicy(), Qt::TabFocus);  // never by a click
    const QFontMetrics metrics(button.font());
    const int width = metrics.horizontalAdvance("AR");
    // R = (2, 2, 30, 25): x = 2 + 14 - width / 2, y = 2 + 11 - height / 2; text one row lower.
    const int x = 2 + 28 / 2 - width / 2;
    const int y = 2 + 23 / 2 - metrics.height() / 2;
    const QColor ink = button.palette().color(QPalette::ButtonText);
    const QImage image = button.grab().toImage();
    const auto [first, length] = RunOn(image, y, ink);
    QCOMPARE(first, x);
    QCOMPARE(length, width);
    QCOMPARE(button.CaptionOrigin(), QPoint(x, y + 1));
    QVERIFY(RunOn(image, y - 1, ink).second == 0);

    button.setLineStyle(fsNone);
    QVERIFY(RunOn(button.grab().toImage(), y, ink).second < width);
}

void VelLabelTest::speedButtonCaptionAndBarStayWhenPressed() {
    TVelSpeedButton button;
    button.resize(32, 27);
    button.setText("AR");
    button.setLineStyle(fsTop);
    const QRect inner = button.rect().adjusted(2, 2, -2, -2);
    const QImage up = button.grab().toImage().copy(inner);
    button.setDown(true);
    const QImage down = button.grab().toImage().copy(inner);
    QCOMPARE(down, up);
    // A glyph inside the inner area is covered by the caption's background.
    QPixmap glyph(16, 16);
    glyph.fill(Qt::red);
    button.setIcon(glyph);
    button.setDown(false);
    QCOMPARE(button.grab().toImage().copy(inner), up);
}

QTEST_MAIN(VelLabelTest)
#include "tst_VelLabel.moc"
