// How the string grid draws: number display by type letter, where text goes in a cell,
// two-line cells, the selection background, group headings and the no-data message.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>

#include "components/VelStringGrid.h"
#include "components/VelStringGridPaint.h"

using namespace cwt;
using namespace cwt::gridpaint;

namespace {

const QColor kRed(Qt::red);
const QColor kBlue(Qt::blue);
const QColor kGreen(0, 160, 0);

bool near(QRgb pixel, const QColor& colour) {
    return std::abs(qRed(pixel) - colour.red()) < 60 &&
           std::abs(qGreen(pixel) - colour.green()) < 60 &&
           std::abs(qBlue(pixel) - colour.blue()) < 60 && qGray(pixel) < 200;
}

bool isInk(QRgb pixel) { return qGray(pixel) < 140; }

// Columns and rows within `area` that hold pixels accepted by `test`.
struct Extent {
    int left = -1, right = -1, top = -1, bottom = -1;
    bool any() const { return left >= 0; }
};

template <typename Test>
Extent extentOf(const QImage& image, const QRect& area, Test test) {
    Extent e;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y))) {
                if (e.left < 0 || x < e.left) e.left = x;
                if (x > e.right) e.right = x;
                if (e.top < 0) e.top = y;
                e.bottom = y;
            }
    return e;
}

QImage render(TVelStringGrid& grid) {
    grid.resize(420, 160);
    grid.show();
    QTest::qWait(10);
    return grid.grab().toImage();
}

}  // namespace

class VelStringGridPaintTest : public QObject {
    Q_OBJECT
private slots:
    void numbersFollowTheTypeLetter();
    void cellTextSplitsAtTheFirstSeparator();
    void numberColumnsDrawRightAlignedWithMinusColour();
    void plainGridDrawsDataLeftAndTitlesCentred();
    void twoLineCellsUseTheSubFontBelow();
    void rowSelectAllPaintsTheWholeRow();
    void groupHeadingSpansItsColumnsAboveTheTitles();
    void noDataMessageIsDrawnInTheMiddle();
    void screenshot();
};

void VelStringGridPaintTest::numbersFollowTheTypeLetter() {
    bool negative = true;
    QCOMPARE(NumberDisplay("1234567", 'N', "#,###", &negative), QString("1,234,567"));
    QVERIFY(!negative);
    QCOMPARE(NumberDisplay("0", 'N', "#,##0", &negative), QString());  // zero shows nothing
    QCOMPARE(NumberDisplay("-5", 'P', "#,###", &negative), QString("-5"));
    QVERIFY(negative);
    QCOMPARE(NumberDisplay("abc", 'N', "#,###", &negative), QString("abc"));
    QVERIFY(!negative);
    QCOMPARE(NumberDisplay("12.5", 'F', "#", &negative), QString("12.50"));
    QCOMPARE(NumberDisplay("1234", 'F', "#", &negative), QString("1,234.00"));
    QCOMPARE(NumberDisplay(" 2e3 ", 'N', "#,###", &negative), QString("2,000"));
    QVERIFY(ReadNumber(".5").has_value());
    QVERIFY(ReadNumber("5.").has_value());
    QVERIFY(!ReadNumber("1,000").has_value());
    QVERIFY(!ReadNumber("+").has_value());
    QVERIFY(!ReadNumber("1e").has_value());
    QVERIFY(!ReadNumber("").has_value());
}

void VelStringGridPaintTest::cellTextSplitsAtTheFirstSeparator() {
    const CellLines total = SplitCellText("Total||Sum");
    QVERIFY(total.twoLines);
    QCOMPARE(total.first, QString("Total"));
    QCOMPARE(total.second, QString("Sum"));
    const CellLines lfcr = SplitCellText("a\n\rb||c");
    QCOMPARE(lfcr.first, QString("a"));
    QCOMPARE(lfcr.second, QString("b||c"));
    QVERIFY(!SplitCellText("one line").twoLines);

    const QRect text(10, 0, 100, 20);  // right edge (exclusive) at 110
    QCOMPARE(TextX('C', text, 40), 40);
    QCOMPARE(TextX('R', text, 40), 67);
    QCOMPARE(TextX('N', text, 40), 67);
    QCOMPARE(TextX('L', text, 40), 13);
    QCOMPARE(TextX('n', text, 40), 13);  // lower-case letters are no types
}

void VelStringGridPaintTest::numberColumnsDrawRightAlignedWithMinusColour() {
    TVelStringGrid grid;
    grid.setColCount(3);
    grid.setRowCount(5);
    grid.setColWidths(1, 120);
    grid.setCellTypesText("LNN");
    grid.setMinusColor(kRed);
    grid.setCells(1, 1, "1234567");
    grid.setCells(1, 2, "0");
    grid.setCells(1, 3, "-5");
    grid.setCells(1, 4, "abc");
    grid.setCells(2, 2, "99");  // keeps the current cell away from the cells looked at
    grid.setRow(2);
    grid.setCol(2);
    const QImage image = render(grid);

    const QRect first = grid.CellRect(1, 1);
    const Extent number = extentOf(image, first, isInk);
    QVERIFY(number.any());
    const int innerRight = first.x() + first.width() - 1;  // exclusive right of the text area
    QVERIFY2(
        number.right <= innerRight - 3 && number.right >= innerRight - 6,
        qPrintable(QString("ink ends at %1, inner right %2").arg(number.right).arg(innerRight)));
    QVERIFY(number.right - number.left > 40);  // "1,234,567", not "1234567" squeezed

    QVERIFY(!extentOf(image, grid.CellRect(1, 2), isInk).any());  // zero draws nothing
    const Extent minus = extentOf(image, grid.CellRect(1, 3), [](QRgb p) { return near(p, kRed); });
    QVERIFY(minus.any());
    const Extent text = extentOf(image, grid.CellRect(1, 4), isInk);
    QVERIFY(text.right >= innerRight - 6);
    QVERIFY(!extentOf(image, grid.CellRect(1, 4), [](QRgb p) { return near(p, kRed); }).any());
}

void VelStringGridPaintTest::plainGridDrawsDataLeftAndTitlesCentred() {
    TVelStringGrid grid;
    grid.setFixedRowTitle({"", "Key", "Definition"});
    grid.setColWidths(2, 200);
    grid.setCells(2, 1, "CQ");
    const QImage image = render(grid);
    const QRect cell = grid.CellRect(2, 1);
    const Extent data = extentOf(image, cell, isInk);
    QVERIFY(data.any());
    QVERIFY(data.left >= cell.x() + 4 && data.left <= cell.x() + 6);
    const QRect title = grid.CellRect(2, 0);
    const Extent heading = extentOf(image, title.adjusted(1, 1, -1, -1), isInk);
    QVERIFY(heading.any());
    const int middle = (heading.left + heading.right) / 2;
    QVERIFY(std::abs(middle - (title.x() + title.width() / 2)) <= 3);
}

void VelStringGridPaintTest::twoLineCellsUseTheSubFontBelow() {
    TVelStringGrid grid;
    grid.setRowHeights(1, 40);
    grid.setRowHeights(0, 40);
    grid.setColWidths(1, 100);
    grid.setSubFont({grid.font(), kBlue});
    grid.setFixedFont({grid.font(), kGreen});
    grid.setCells(1, 1, "Total||Sum");
    grid.setCells(1, 0, "Top||Low");
    grid.setCells(2, 1, "x");
    grid.setCol(2);
    const QImage image = render(grid);

    const QRect cell = grid.CellRect(1, 1);
    const int half = cell.y() + cell.height() / 2;
    const auto black = [](QRgb p) { return qGray(p) < 100 && std::abs(qRed(p) - qBlue(p)) < 40; };
    const Extent upper = extentOf(image, cell, black);
    const Extent lower = extentOf(image, cell, [](QRgb p) { return near(p, kBlue); });
    QVERIFY(upper.any() && lower.any());
    QVERIFY(upper.top < half && upper.top <= cell.y() + 6);
    QVERIFY(lower.top > upper.bottom - 2);
    QVERIFY(lower.left <= cell.x() + 6);  // left-aligned like the first line

    const QRect fixedCell = grid.CellRect(1, 0);  // a fixed cell keeps its font below too
    const Extent fixedBlue = extentOf(image, fixedCell, [](QRgb p) { return near(p, kBlue); });
    const Extent fixedGreen = extentOf(image, fixedCell, [](QRgb p) { return near(p, kGreen); });
    QVERIFY(!fixedBlue.any());
    QVERIFY(fixedGreen.any() && fixedGreen.bottom > fixedCell.y() + fixedCell.height() / 2);
}

void VelStringGridPaintTest::rowSelectAllPaintsTheWholeRow() {
    TVelStringGrid grid;
    grid.setColCount(4);
    grid.setRowCount(3);
    grid.setSelectColor(kRed);
    grid.setRowSelectAll(true);
    grid.setRow(2);
    QImage image = render(grid);
    for (int col = 1; col < 4; ++col) {
        const QRect cell = grid.CellRect(col, 2);
        QCOMPARE(QColor(image.pixel(cell.center())), kRed);
        QVERIFY(QColor(image.pixel(grid.CellRect(col, 1).center())) != kRed);
    }
    QVERIFY(QColor(image.pixel(grid.CellRect(0, 2).center())) != kRed);

    grid.setRowSelectAll(false);  // without the focus not even the current cell
    grid.clearFocus();
    QVERIFY(!grid.GridFocused());
    image = grid.grab().toImage();
    QVERIFY(QColor(image.pixel(grid.CellRect(1, 2).center())) != kRed);
    grid.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    QTRY_VERIFY(grid.GridFocused());
    image = grid.grab().toImage();
    QCOMPARE(QColor(image.pixel(grid.CellRect(1, 2).center())), kRed);
    QVERIFY(QColor(image.pixel(grid.CellRect(2, 2).center())) != kRed);
}

void VelStringGridPaintTest::groupHeadingSpansItsColumnsAboveTheTitles() {
    TVelStringGrid grid;
    grid.setRowHeights(0, 40);
    grid.setFixedRowTitle({"No", "A", "B", "C", "D"});
    grid.setFixedMergeCells({"1,0,3,0"});
    grid.setHeadings({"Group"});
    grid.setFixedColor(QColor(0xC0, 0xC0, 0xFF));
    const QImage image = render(grid);

    const QRect first = grid.CellRect(1, 0);
    const QRect last = grid.CellRect(3, 0);
    const int headingBottom = first.y() + 40 / 2 - 1;  // upper half, frame line below it
    // The frame line runs under the heading across the three columns, not over column 4.
    for (int x = first.x() + 2; x < last.x() + last.width() - 2; x += 7)
        QVERIFY2(qGray(image.pixel(x, headingBottom)) < 40, qPrintable(QString::number(x)));
    QVERIFY(qGray(image.pixel(grid.CellRect(4, 0).center().x(), headingBottom)) > 60);

    const QRect upper(first.x(), first.y(), last.x() + last.width() - first.x(), 40 / 2 - 2);
    const Extent headingInk = extentOf(image, upper.adjusted(1, 1, -1, -1), isInk);
    QVERIFY(headingInk.any());
    const int middle = (headingInk.left + headingInk.right) / 2;
    QVERIFY(std::abs(middle - upper.center().x()) <= 4);  // "Group" centred over all three
    for (int col = 1; col <= 3; ++col) {
        const QRect cell = grid.CellRect(col, 0);
        const QRect lowerHalf(cell.x() + 2, first.y() + 21, cell.width() - 4, 17);
        QVERIFY(extentOf(image, lowerHalf, isInk).any());  // each title below the heading
    }
    const Extent noTitle = extentOf(image, grid.CellRect(0, 0), isInk);
    QVERIFY(noTitle.top < first.y() + 20 && noTitle.bottom > first.y() + 14);  // full height
}

void VelStringGridPaintTest::noDataMessageIsDrawnInTheMiddle() {
    TVelStringGrid grid;
    grid.setColor(Qt::black);
    grid.setColWidths(1, 10);
    grid.setNotMsgs("No data");
    QImage image = render(grid);
    const QRect middle(grid.width() / 2 - 40, 20 + (grid.height() - 20) / 2 - 12, 80, 24);
    const auto light = [](QRgb p) { return qGray(p) > 150; };
    QVERIFY(!extentOf(image, middle, light).any());
    grid.setNotMsgShow(true);
    image = grid.grab().toImage();
    const Extent message = extentOf(image, middle, light);
    QVERIFY(message.any());
    QVERIFY(std::abs((message.left + message.right) / 2 - grid.width() / 2) <= 3);
}

// Writes a picture of a grid with numbers, two-line cells and a group heading when
// CWT_SCREENS_DIR names a folder, to look at.
void VelStringGridPaintTest::screenshot() {
    const QString folder = qEnvironmentVariable("CWT_SCREENS_DIR");
    if (folder.isEmpty()) QSKIP("CWT_SCREENS_DIR not set");
    TVelStringGrid grid;
    grid.setRowCount(6);
    grid.setRowHeights(0, 40);
    grid.setFixedRowTitle({"", "Item", "Amount||won", "Rate", "Note"});
    grid.setCellTypesText("CLNFL");
    grid.setColWidths(4, 140);
    grid.setFixedMergeCells({"2,0,3,0"});
    grid.setHeadings({"Figures"});
    grid.setFixedColTitle({"", "1", "2", "3", "4", "5"});
    grid.setMinusColor(kRed);
    grid.setSubFont({grid.font(), kBlue});
    const QStringList items = {"Antenna", "Cable", "Refund", "Nothing", "Key"};
    const QStringList amounts = {"1234567", "8900", "-5", "0", "abc"};
    const QStringList rates = {"12.5", "1234", "-0.25", "3", ""};
    for (int row = 1; row <= 5; ++row) {
        grid.setRowHeights(row, row == 1 ? 34 : 20);
        grid.setCells(1, row, items[row - 1]);
        grid.setCells(2, row, amounts[row - 1]);
        grid.setCells(3, row, rates[row - 1]);
    }
    grid.setCells(4, 1, "Total||Sum of parts");
    grid.setRow(3);
    grid.resize(520, 200);
    grid.show();
    grid.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(grid.grab().save(folder + "/string-grid.png"));
}

QTEST_MAIN(VelStringGridPaintTest)
#include "tst_VelStringGridPaint.moc"
