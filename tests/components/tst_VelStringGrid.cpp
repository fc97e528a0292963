// The string grid: title lists and type letters against ColCount, the cell store, typing
// rules, column skipping, the order of the row events, drop-down lists and hints.
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "components/VelStringGrid.h"

using namespace cwt;

namespace {

// Shows a grid in its own window and gives it the focus.
void showFocused(TVelStringGrid& grid) {
    grid.resize(400, 200);
    grid.show();
    grid.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    QTRY_VERIFY(grid.hasFocus());
}

// Types into whichever control has the focus, as a keyboard does.
void typeText(const QString& text) {
    for (QChar ch : text) QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
}

}  // namespace

class VelStringGridTest : public QObject {
    Q_OBJECT
private slots:
    void titleListsAndTypeLettersSetTheColumnCount();
    void fixedRowHeightSetsEveryFixedRow();
    void cellStoreAcceptsAnyIndex();
    void columnWidthsSurviveSizeChanges();
    void groupsParseWithUnreadableNumbersAsZero();
    void numberColumnsTakeOnlyNumberCharacters();
    void charCaseAndMaxLengthLimitTyping();
    void escapeUndoesTyping();
    void arrowsSkipHiddenAndFixedStyleColumns();
    void fixedStyleColumnIgnoresClicksAndLateSetting();
    void rowEventsComeBeforeSelectCell();
    void refusedSelectionKeepsTheCurrentCell();
    void focusLeavingReportsTheRowExit();
    void dropDownListStoresTheChoice();
    void cellHintsShowTheSecondPartFirst();
};

void VelStringGridTest::titleListsAndTypeLettersSetTheColumnCount() {
    TVelStringGrid grid;
    grid.setFixedRowTitle({"", "Key", "Text"});
    QCOMPARE(grid.ColCount(), 3);
    QCOMPARE(grid.Rows(0), QStringList({"", "Key", "Text"}));

    grid.setCellTypesText("CRN");  // three letters, three titles: the count stays
    QCOMPARE(grid.ColCount(), 3);
    QCOMPARE(grid.ColumnType(2), QChar('N'));
    QCOMPARE(grid.ColumnType(3), QChar('L'));

    grid.setCellTypesText("CRNNNNN");  // more than five letters always set the count
    QCOMPARE(grid.ColCount(), 7);

    grid.setCellTypesText("crn");  // stored upper-cased, but the letters stay as given
    QCOMPARE(grid.CellTypesText(), QString("CRN"));
    QCOMPARE(grid.ColCount(), 7);
    QCOMPARE(grid.ColumnType(0), QChar('c'));

    TVelStringGrid fresh;  // no titles: a short type text sets the count too
    fresh.setCellTypesText("LL");
    QCOMPARE(fresh.ColCount(), 2);

    fresh.setFixedColTitle({"", "a", "b", "c"});
    QCOMPARE(fresh.RowCount(), 4);
    QCOMPARE(fresh.Cols(0), QStringList({"", "a", "b", "c"}));
}

void VelStringGridTest::fixedRowHeightSetsEveryFixedRow() {
    TVelStringGrid grid;
    grid.setRowCount(5);
    grid.setFixedRows(2);
    grid.setFixedRowHeight(31);
    QCOMPARE(grid.RowHeights(0), 31);
    QCOMPARE(grid.RowHeights(1), 31);
    QCOMPARE(grid.RowHeights(2), 20);

    TVelStringGrid noFixed;
    noFixed.setFixedRows(0);
    noFixed.setFixedRowHeight(31);
    QCOMPARE(noFixed.FixedRowHeight(), 31);
    QCOMPARE(noFixed.RowHeights(0), 20);
}

void VelStringGridTest::cellStoreAcceptsAnyIndex() {
    TVelStringGrid grid;
    grid.setColCount(3);
    grid.setCells(4, 1, "saved key");  // beyond ColCount, as the macro editor keeps copies
    grid.setCells(7, 90, "far away");
    QCOMPARE(grid.Cells(4, 1), QString("saved key"));
    QCOMPARE(grid.Cells(7, 90), QString("far away"));
    QCOMPARE(grid.Cells(6, 90), QString());
    grid.setCells(-1, 0, "ignored");
    QCOMPARE(grid.Cells(-1, 0), QString());

    grid.setRowCount(2);  // the store outlives the grid's size
    QCOMPARE(grid.Cells(7, 90), QString("far away"));
    grid.setCells(2, 1, "shown");
    QCOMPARE(grid.model()->index(0, 1).data().toString(), QString("shown"));
}

void VelStringGridTest::columnWidthsSurviveSizeChanges() {
    TVelStringGrid grid;
    grid.setColCount(3);
    grid.setColWidths(0, 20);
    grid.setColWidths(2, 450);
    grid.setRowCount(9);
    grid.setDefaultRowHeight(24);
    QCOMPARE(grid.ColWidths(0), 20);
    QCOMPARE(grid.ColWidths(1), 64);
    QCOMPARE(grid.ColWidths(2), 450);
    QCOMPARE(grid.horizontalHeader()->sectionSize(1), 450 + TVelStringGrid::kGridLinePx);
    QCOMPARE(grid.RowHeights(5), 24);
    QCOMPARE(grid.verticalHeader()->width(), 20 + TVelStringGrid::kGridLinePx);

    grid.setOptions(grid.Options() | goColSizing);  // a dragged width becomes the grid's
    grid.horizontalHeader()->resizeSection(0, 101);
    QCOMPARE(grid.ColWidths(1), 100);
}

void VelStringGridTest::groupsParseWithUnreadableNumbersAsZero() {
    TVelStringGrid grid;
    grid.setFixedMergeCells({"1,0,3,0", "x,2, 5", "4"});
    QCOMPARE(grid.Groups().size(), size_t(3));
    QCOMPARE(grid.Groups()[0].first, 1);
    QCOMPARE(grid.Groups()[0].last, 3);
    QCOMPARE(grid.Groups()[1].first, 0);
    QCOMPARE(grid.Groups()[1].last, 5);
    QCOMPARE(grid.Groups()[2].first, 4);
    QCOMPARE(grid.Groups()[2].last, 0);
    QVERIFY(grid.IsMergedColumn(2));
    QVERIFY(grid.IsMergedColumn(0));  // the second entry reaches from 0 to 5
    QVERIFY(!grid.IsMergedColumn(6));
}

void VelStringGridTest::numberColumnsTakeOnlyNumberCharacters() {
    TVelStringGrid grid;
    grid.setCellTypesText("LNF");
    grid.setOptions(grid.Options() | goEditing);
    showFocused(grid);
    grid.setCol(1);
    typeText("-1.5");  // the first character opens the editor
    QVERIFY(grid.EditorMode());
    typeText("abc+");
    QCOMPARE(grid.Cells(1, 1), QString("-1.5+"));

    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Return);
    QVERIFY(!grid.EditorMode());
    grid.setCol(2);
    typeText("x");  // a refused first character opens no editor
    QVERIFY(!grid.EditorMode());
    QCOMPARE(grid.Cells(2, 1), QString());
}

void VelStringGridTest::charCaseAndMaxLengthLimitTyping() {
    TVelStringGrid grid;
    grid.setOptions(grid.Options() | goEditing);
    grid.setCharCase(ecUpperCase);
    grid.setMaxLength(3);
    showFocused(grid);
    typeText("abcd");
    QLineEdit* editor = grid.InplaceEditor();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("ABC"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    typeText("z");
    QCOMPARE(editor->text(), QString("ABZ"));
    editor->setSelection(0, 2);  // a selection is replaced even when the text is full
    typeText("q");
    QCOMPARE(editor->text(), QString("QZ"));
    QCOMPARE(grid.Cells(1, 1), QString("QZ"));  // the cell follows the editor

    grid.setCharCase(ecLowerCase);
    editor->clear();
    typeText("AB");
    QCOMPARE(editor->text(), QString("ab"));
}

void VelStringGridTest::escapeUndoesTyping() {
    TVelStringGrid grid;
    grid.setOptions(grid.Options() | goEditing);
    grid.setCells(1, 1, "old");
    showFocused(grid);
    QTest::keyClick(&grid, Qt::Key_F2);
    QVERIFY(grid.EditorMode());
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_End);
    typeText("er");
    QCOMPARE(grid.Cells(1, 1), QString("older"));
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Escape);
    // Only the typing is undone: the editor stays open on the old text, and what is typed
    // next goes on from there.
    QVERIFY(grid.EditorMode());
    QCOMPARE(grid.InplaceEditor()->text(), QString("old"));
    QCOMPARE(grid.Cells(1, 1), QString("old"));
    typeText("s");
    QCOMPARE(grid.Cells(1, 1), QString("olds"));
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Escape);
    QCOMPARE(grid.Cells(1, 1), QString("old"));
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Escape);  // nothing left to undo: it closes
    QVERIFY(!grid.EditorMode());
    QCOMPARE(grid.Cells(1, 1), QString("old"));
}

void VelStringGridTest::arrowsSkipHiddenAndFixedStyleColumns() {
    TVelStringGrid grid;
    grid.setColCount(6);
    grid.setColWidths(2, -1);
    showFocused(grid);
    QCOMPARE(grid.Col(), 1);
    QTest::keyClick(&grid, Qt::Key_Right);
    QCOMPARE(grid.Col(), 3);  // exactly two columns, over the hidden one
    QTest::keyClick(&grid, Qt::Key_Left);
    QCOMPARE(grid.Col(), 1);

    TVelStringGrid styled;
    styled.setFixedCols(0);
    styled.setColCount(5);
    styled.setFixedColumnEnabled(true);
    styled.setFixedColumn(2);  // 1-based: column index 1
    showFocused(styled);
    styled.setCol(2);
    QTest::keyClick(&styled, Qt::Key_Left);
    QCOMPARE(styled.Col(), 0);
    QTest::keyClick(&styled, Qt::Key_Left);  // nothing to the left: consumed, stays
    QCOMPARE(styled.Col(), 0);
    QTest::keyClick(&styled, Qt::Key_Right);
    QCOMPARE(styled.Col(), 2);
}

void VelStringGridTest::fixedStyleColumnIgnoresClicksAndLateSetting() {
    TVelStringGrid grid;
    grid.setFixedCols(0);
    grid.setFixedColumn(2);  // not enabled yet: ignored
    QCOMPARE(grid.FixedColumn(), 0);
    grid.setFixedColumnEnabled(true);
    grid.setFixedColumn(2);
    QCOMPARE(grid.FixedColumn(), 2);
    showFocused(grid);
    QCOMPARE(grid.Col(), 0);
    const QRect target = grid.CellRect(1, 1);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      target.center() - grid.viewport()->geometry().topLeft());
    QCOMPARE(grid.Col(), 0);
    const QRect other = grid.CellRect(2, 1);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      other.center() - grid.viewport()->geometry().topLeft());
    QCOMPARE(grid.Col(), 2);
}

void VelStringGridTest::rowEventsComeBeforeSelectCell() {
    TVelStringGrid grid;
    grid.setRowCount(4);
    grid.setColCount(4);
    QStringList events;
    connect(&grid, &TVelStringGrid::OnExitRow, &grid,
            [&](QObject*, int c, int r, bool&) { events << QString("exit %1,%2").arg(c).arg(r); });
    connect(&grid, &TVelStringGrid::OnEnterRow, &grid,
            [&](QObject*, int c, int r) { events << QString("enter %1,%2").arg(c).arg(r); });
    connect(&grid, &TVelStringGrid::OnSelectCell, &grid, [&](QObject*, int c, int r, bool&) {
        events << QString("select %1,%2").arg(c).arg(r);
    });
    showFocused(grid);
    QCOMPARE(grid.LastCell(), QPoint(1, 1));  // focus entered the current row
    events.clear();

    grid.setCol(2);  // within the row: only the selection
    QCOMPARE(events, QStringList({"select 2,1"}));
    events.clear();
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(events, QStringList({"exit 2,1", "enter 2,2", "select 2,2"}));
    QCOMPARE(grid.LastCell(), QPoint(2, 2));
}

void VelStringGridTest::refusedSelectionKeepsTheCurrentCell() {
    TVelStringGrid grid;
    grid.setRowCount(4);
    int entered = 0;
    connect(&grid, &TVelStringGrid::OnEnterRow, &grid, [&](QObject*, int, int) { ++entered; });
    connect(&grid, &TVelStringGrid::OnSelectCell, &grid,
            [](QObject*, int, int r, bool& can) { can = r != 3; });
    showFocused(grid);
    entered = 0;
    grid.setRow(3);
    QCOMPARE(grid.Row(), 1);
    QCOMPARE(entered, 1);  // the row events do not wait for the answer
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(grid.Row(), 2);
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(grid.Row(), 2);
}

void VelStringGridTest::focusLeavingReportsTheRowExit() {
    QWidget window;
    auto* grid = new TVelStringGrid(&window);
    auto* other = new QLineEdit(&window);
    grid->setGeometry(0, 0, 300, 150);
    other->setGeometry(0, 160, 100, 20);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QList<int> exits;
    connect(grid, &TVelStringGrid::OnExitRow, grid,
            [&](QObject*, int, int row, bool&) { exits << row; });
    grid->setFocus();
    QTRY_COMPARE(grid->LastCell(), QPoint(1, 1));
    other->setFocus();
    QTRY_COMPARE(exits, QList<int>({1}));
    QCOMPARE(grid->LastCell(), QPoint(-1, -1));
}

void VelStringGridTest::dropDownListStoresTheChoice() {
    TVelStringGrid grid;
    grid.setColCount(4);
    grid.setRowCount(3);
    grid.ComboItems()->setCB(0, {"red", "green", "blue"});
    grid.ComboItems()->setCBColumn(0, 2);
    grid.ComboItems()->setCBStyle(0, csDropDownList);
    grid.setComboEnabled(true);
    grid.setCells(2, 2, "blue");
    QStringList events;
    connect(&grid, &TVelStringGrid::OnComboClick, &grid, [&](QObject*) { events << "click"; });
    connect(&grid, &TVelStringGrid::OnComboChange, &grid, [&](QObject*) { events << "change"; });
    showFocused(grid);

    grid.setRow(2);  // entering the row finds the cell's text in the list
    QCOMPARE(grid.ComboItems()->CBIndex(0), 2);
    QVERIFY(!grid.DropDown()->isVisible());
    grid.setCol(2);
    QVERIFY(grid.DropDown()->isVisible());
    QCOMPARE(grid.DropDown()->geometry().topLeft(),
             grid.CellRect(2, 2).topLeft() - grid.viewport()->geometry().topLeft());
    QCOMPARE(grid.DropDown()->currentText(), QString("blue"));

    grid.DropDown()->setFocus();
    QTRY_VERIFY(grid.DropDown()->hasFocus());
    QTest::keyClick(grid.DropDown(), Qt::Key_Up);  // a choice by the keyboard
    QCOMPARE(grid.Cells(2, 2), QString("green"));
    QCOMPARE(grid.ComboItems()->CBIndex(0), 1);
    QCOMPARE(events, QStringList({"click", "change"}));

    QTest::keyClick(grid.DropDown(), Qt::Key_Escape);  // hides the list, back to the grid
    QVERIFY(!grid.DropDown()->isVisible());
    QTRY_VERIFY(grid.hasFocus());
    grid.setCol(1);
    QVERIFY(!grid.DropDown()->isVisible());
}

void VelStringGridTest::cellHintsShowTheSecondPartFirst() {
    QCOMPARE(TVelStringGrid::CellHintText("A||B"), QString("B\nA"));
    QCOMPARE(TVelStringGrid::CellHintText("plain"), QString("plain"));
    QCOMPARE(TVelStringGrid::CellHintText("x||" + QString(60, 'y')), QString(50, 'y') + "\nx");

    TVelStringGrid grid;
    grid.setCells(1, 1, "Total||Sum");
    showFocused(grid);
    const QPoint inCell = grid.CellRect(1, 1).center() - grid.viewport()->geometry().topLeft();
    QTest::mouseMove(grid.viewport(), inCell);
    QVERIFY(!QToolTip::isVisible());  // CellHintShow and ShowHint are both needed
    grid.setShowHint(true);
    grid.setCellHintShow(true);
    QTest::mouseMove(grid.viewport(), inCell + QPoint(1, 0));
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QString("Sum\nTotal"));
}

QTEST_MAIN(VelStringGridTest)
#include "tst_VelStringGrid.moc"
