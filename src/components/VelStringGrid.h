#pragma once
// TVelStringGrid: a string grid (text cells with fixed title rows and columns, an in-place
// editor, column widths and row heights) that adds title texts for row 0 and column 0, a
// type letter per column (alignment and number display), two-line cells ("Total||Sum"),
// group headings over column ranges, data columns drawn and skipped as if fixed, colours and
// fonts by role, a length limit and case conversion for typed text, row enter and exit
// events, up to three drop-down lists over chosen columns, cell hints and a no-data message.
//
// Coordinates are the grid's own: column and row 0 are the first fixed ones. On Qt's table
// view the fixed rows are drawn by the horizontal header, the fixed columns by the vertical
// header and their crossing by a corner piece, so they stay in place while the data scrolls;
// the view's model holds the data cells only. The cell store is separate from the grid's
// size: any column and row index can be written and read back (the macro editor keeps hidden
// copies in columns beyond ColCount).

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QPointer>
#include <QStringList>
#include <QTableView>
#include <array>
#include <vector>

#include "components/VelTypes.h"

class QComboBox;
class QLineEdit;

namespace cwt {

class TVelStringGrid;
class VelGridModel;
class VelGridHeader;
class VelGridCorner;
class VelGridDelegate;
class TInplaceEdit;

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4,
    goDrawFocusSelected = 1u << 5,
    goRowSizing = 1u << 6,
    goColSizing = 1u << 7,
    goRowMoving = 1u << 8,
    goColMoving = 1u << 9,
    goEditing = 1u << 10,
    goTabs = 1u << 11,
    goRowSelect = 1u << 12,
    goAlwaysShowEditor = 1u << 13,
    goThumbTracking = 1u << 14,
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)

enum TGridDrawStateFlag : unsigned { gdSelected = 1u << 0, gdFocused = 1u << 1, gdFixed = 1u << 2 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)

enum TComboBoxStyle {
    csDropDown = 0,
    csSimple = 1,
    csDropDownList = 2,
    csOwnerDrawFixed = 3,
    csOwnerDrawVariable = 4,
};

// Input-method modes of a windowed control; only the Latin/Hangul preference reaches the
// in-place editor here.
enum TImeMode {
    imDisable = 0,
    imClose,
    imOpen,
    imDontCare,
    imSAlpha,
    imAlpha,
    imHira,
    imSKata,
    imKata,
    imChinese,
    imSHanguel,
    imHanguel,
};

// A font with its colour, as the grid's role fonts carry one.
struct TVelFont {
    QFont font;
    QColor color = Qt::black;
};

// The three drop-down list definitions (n = 0, 1, 2): items, selected item, the grid column
// (0-based) that uses the list (-1: none) and the combo box style.
class TComboItems : public QObject {
    Q_OBJECT

public:
    static constexpr int kLists = 3;

    explicit TComboItems(TVelStringGrid* grid);
    TVelStringGrid* Grid() const { return m_grid; }

    QStringList CB(int n) const { return m_lists[n].items; }
    void setCB(int n, const QStringList& items);
    // -1 .. largest integer; stored only while list n has items.
    int CBIndex(int n) const { return m_lists[n].index; }
    void setCBIndex(int n, int index);
    // -1 .. 30.
    int CBColumn(int n) const { return m_lists[n].column; }
    void setCBColumn(int n, int column);
    TComboBoxStyle CBStyle(int n) const { return m_lists[n].style; }
    void setCBStyle(int n, TComboBoxStyle style);

signals:
    void changed();

private:
    struct List {
        QStringList items;
        int index = -1;
        int column = -1;
        TComboBoxStyle style = csDropDown;
    };
    TVelStringGrid* m_grid;
    std::array<List, kLists> m_lists{};
};

class TVelStringGrid : public QTableView {
    Q_OBJECT

public:
    static constexpr int kTypeTableSize = 81;
    static constexpr int kGridLinePx = 1;

    explicit TVelStringGrid(QWidget* parent = nullptr);
    ~TVelStringGrid() override;

    // ----- The base grid -----
    int ColCount() const { return m_colCount; }
    void setColCount(int count);
    int RowCount() const { return m_rowCount; }
    void setRowCount(int count);
    int FixedCols() const { return m_fixedCols; }
    void setFixedCols(int count);
    int FixedRows() const { return m_fixedRows; }
    void setFixedRows(int count);

    QString Cells(int col, int row) const;
    void setCells(int col, int row, const QString& text);
    QStringList Cols(int col) const;  // RowCount texts
    QStringList Rows(int row) const;  // ColCount texts

    // -1 hides a column or row.
    int ColWidths(int col) const;
    void setColWidths(int col, int widthPx);
    int RowHeights(int row) const;
    void setRowHeights(int row, int heightPx);
    int DefaultColWidth() const { return m_defaultColWidth; }
    void setDefaultColWidth(int widthPx);
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int heightPx);

    // The current cell.
    int Col() const;
    void setCol(int col);
    int Row() const;
    void setRow(int row);
    // The selection as (left, top) - (right, bottom) cell numbers.
    QRect Selection() const;

    TGridOptions Options() const { return m_options; }
    void setOptions(TGridOptions options);
    QColor Color() const { return m_color; }
    void setColor(const QColor& color);
    QColor FixedColor() const { return m_fixedColor; }
    void setFixedColor(const QColor& color);
    // The grid font's colour (the text colour of data cells).
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor& color);
    bool DefaultDrawing() const { return m_defaultDrawing; }
    void setDefaultDrawing(bool on);
    bool Ctl3D() const { return m_ctl3D; }
    void setCtl3D(bool on);
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool on);

    // Whether the in-place editor is shown; switching it off keeps what was typed.
    bool EditorMode() const;
    void setEditorMode(bool on);
    QLineEdit* InplaceEditor() const;

    // The cell at a point of the grid widget, (-1, -1) for none; the rectangle of a cell in
    // grid widget coordinates, without its grid lines (empty when not on screen).
    QPoint MouseToCell(const QPoint& pos) const;
    QRect CellRect(int col, int row) const;

    // ----- Added properties -----
    bool NotMsgShow() const { return m_notMsgShow; }
    void setNotMsgShow(bool show);
    QString NotMsgs() const { return m_notMsgs; }
    void setNotMsgs(const QString& text);
    TComboItems* ComboItems() const { return m_comboItems; }
    QString DigitFormat() const { return m_digitFormat; }
    void setDigitFormat(const QString& picture);
    int MaxLength() const { return m_maxLength; }
    void setMaxLength(int length);
    TVelFont FixedFont() const { return m_fixedFont; }
    void setFixedFont(const TVelFont& font);
    TVelFont SubFont() const { return m_subFont; }
    void setSubFont(const TVelFont& font);
    bool FixedColumnEnabled() const { return m_fixedColumnEnabled; }
    void setFixedColumnEnabled(bool on);
    // 1-based column numbers of data columns drawn and skipped as fixed; 0 = none.
    int FixedColumn() const { return m_fixedColumn; }
    void setFixedColumn(int number);
    int FixedColumn2() const { return m_fixedColumn2; }
    void setFixedColumn2(int number);
    QColor FixedUnTitleColor() const { return m_fixedUnTitleColor; }
    void setFixedUnTitleColor(const QColor& color);
    QColor EditColor() const { return m_editColor; }
    void setEditColor(const QColor& color);
    QColor SelectColor() const { return m_selectColor; }
    void setSelectColor(const QColor& color);
    QColor MinusColor() const { return m_minusColor; }
    void setMinusColor(const QColor& color);
    bool ZeroHide() const { return m_zeroHide; }
    void setZeroHide(bool on);
    bool CellHintShow() const { return m_cellHintShow; }
    void setCellHintShow(bool on);
    QString CellTypesText() const { return m_cellTypesText; }
    void setCellTypesText(const QString& text);
    int FixedRowHeight() const { return m_fixedRowHeight; }
    void setFixedRowHeight(int heightPx);
    QStringList FixedRowTitle() const { return m_fixedRowTitle; }
    void setFixedRowTitle(const QStringList& titles);
    QStringList Headings() const { return m_headings; }
    void setHeadings(const QStringList& headings);
    QStringList FixedMergeCells() const { return m_fixedMergeCells; }
    void setFixedMergeCells(const QStringList& groups);
    QStringList FixedColTitle() const { return m_fixedColTitle; }
    void setFixedColTitle(const QStringList& titles);
    TEditCharCase CharCase() const { return m_charCase; }
    void setCharCase(TEditCharCase charCase);
    bool RowSelectAll() const { return m_rowSelectAll; }
    void setRowSelectAll(bool on);
    TImeMode ImeMode() const { return m_imeMode; }
    void setImeMode(TImeMode mode);
    QString ImeName() const { return m_imeName; }
    void setImeName(const QString& name);
    bool ComboEnabled() const { return m_comboEnabled; }
    void setComboEnabled(bool on);

    // ----- What the painting and the tests read -----
    // The type letter of a column: the table's letter, "L" beyond it.
    QChar ColumnType(int col) const;
    // A group heading: first and last column (the other two numbers are read but unused).
    struct Group {
        int first = 0;
        int second = 0;
        int last = 0;
        int fourth = 0;
    };
    const std::vector<Group>& Groups() const { return m_groups; }
    bool IsMergedColumn(int col) const;
    // Whether `col` is a data column drawn and skipped as fixed.
    bool IsFixedStyleColumn(int col) const;
    // The cell last reported to the row events, (-1, -1) when none.
    QPoint LastCell() const { return m_lastCell; }
    // The grid or one of its children holds its window's focus.
    bool GridFocused() const;
    // The hint shown for a cell text: "A||B" gives "B" (at most 50 characters), a line
    // break, then "A".
    static QString CellHintText(const QString& cellText);
    QComboBox* DropDown() const { return m_combo; }

    // ----- What screen readers read (VelStringGridAccessible.cpp) -----
    // A cell as it is drawn: the two lines of a two-line cell joined by a blank, a number
    // cell in its number display.
    QString ShownText(int col, int row) const;
    // The title of a column: its group heading, then the texts of the fixed rows; of a row:
    // the texts of the fixed columns. Blanks between parts; empty when nothing is written.
    QString ColumnTitle(int col) const;
    QString RowTitle(int row) const;

    // Finishes a layout load: the drop-down gets list 0, the title texts and groups apply.
    void Loaded();

    // Paints one cell at `rect` (its grid lines included at right and bottom) as the grid
    // draws it; `area` tells fixed from data cells.
    enum class Area { FixedCorner, FixedRows, FixedCols, Data };
    void PaintCell(QPainter& painter, int col, int row, const QRect& rect, Area area) const;
    void PaintHeadings(QPainter& painter, const QRect& headerRect) const;

signals:
    void OnEnterRow(QObject* Sender, int ACol, int ARow);
    void OnExitRow(QObject* Sender, int ACol, int ARow, bool& CanExit);
    // The base grid asks whether a cell may become current; clearing CanSelect refuses.
    void OnSelectCell(QObject* Sender, int ACol, int ARow, bool& CanSelect);
    // After a cell's default drawing.
    void OnDrawCell(QObject* Sender, int ACol, int ARow, const QRect& Rect,
                    cwt::TGridDrawState State, QPainter* Canvas);
    // At the end of every paint of the data area.
    void OnPaint(QObject* Sender);
    void OnComboEnter(QObject* Sender);
    void OnComboExit(QObject* Sender);
    void OnComboChange(QObject* Sender);
    void OnComboClick(QObject* Sender);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void updateGeometries() override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class VelGridHeader;
    friend class VelGridCorner;
    friend class VelGridDelegate;
    friend class TInplaceEdit;

    QModelIndex indexOf(int col, int row) const;
    QPoint cellOf(const QModelIndex& index) const;
    // Escape in the in-place editor: its text and the cell go back to what they held when
    // it opened; the editor stays open.
    void undoEditorTyping(QLineEdit* editor);
    void setCurrentCell(int col, int row);
    void applySizes();
    void applyColumnSize(int col);
    void applyRowSize(int row);
    void applyOptions();
    void resetModel();
    void ensureCurrent();
    // Width of a column and height of a row with their grid line; 0 when hidden.
    int colExtent(int col) const;
    int rowExtent(int row) const;
    int fixedRowsHeight() const;
    int fixedColsWidth() const;
    bool approveCurrent(const QModelIndex& target);
    bool keyDownSteps(QKeyEvent* event);
    void afterSelect(int col, int row);
    void repaintAll();

    // Selection steps around a change of the current cell.
    bool selectCell(int col, int row);
    void enterRow(int col, int row);
    void focusEntered();
    void focusLeft();
    void onFocusChanged(QWidget* old, QWidget* now);

    // Keys.
    bool filterTypedChar(QChar& ch) const;
    bool skipColumns(int key);
    bool skipFixedColumns(int key);
    bool skipHiddenColumn(int key);

    // Drop-down list.
    void placeCombo(int col, int row);
    void comboSelectionChanged();
    void comboKeyDown(QKeyEvent* event);
    void comboFocusLeft();
    void storeComboChoice();
    int listOfColumn(int col) const;

    // Hints.
    bool showCellHint(const QPoint& globalPos);

    void parseGroups();
    void applyFixedRowTitle();
    void applyFixedColTitle();
    void paintNoDataMessage(QPainter& painter) const;
    QColor paintBackground(QPainter& painter, const QRect& cell, int col, int row, Area area,
                           TGridDrawState state) const;
    void paintCellText(QPainter& painter, const QRect& cell, int col, int row, Area area,
                       const QColor& background) const;
    TGridDrawState drawStateOf(int col, int row, Area area) const;

    VelGridModel* m_model = nullptr;
    VelGridHeader* m_rowHeader = nullptr;  // the fixed rows, over the data columns
    VelGridHeader* m_colHeader = nullptr;  // the fixed columns, beside the data rows
    VelGridCorner* m_corner = nullptr;
    VelGridDelegate* m_delegate = nullptr;
    QComboBox* m_combo = nullptr;
    TComboItems* m_comboItems = nullptr;

    std::vector<std::vector<QString>> m_cells;  // [row][col], grown on write
    std::vector<int> m_colWidths;               // per grid column
    std::vector<int> m_rowHeights;              // per grid row
    int m_colCount = 5;
    int m_rowCount = 2;
    int m_fixedCols = 1;
    int m_fixedRows = 1;
    int m_defaultColWidth = 64;
    int m_defaultRowHeight = 20;
    TGridOptions m_options{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    QColor m_color;
    QColor m_fixedColor;
    QColor m_fontColor;
    bool m_defaultDrawing = true;
    bool m_ctl3D = true;
    bool m_showHint = false;

    bool m_notMsgShow = false;
    QString m_notMsgs;
    QString m_digitFormat = QStringLiteral("#,###");
    int m_maxLength = 0;
    TVelFont m_fixedFont;
    TVelFont m_subFont;
    bool m_fixedColumnEnabled = false;
    int m_fixedColumn = 0;
    int m_fixedColumn2 = 0;
    QColor m_fixedUnTitleColor;
    QColor m_editColor = Qt::yellow;
    QColor m_selectColor = Qt::yellow;
    QColor m_minusColor;
    bool m_zeroHide = false;
    bool m_cellHintShow = false;
    QString m_cellTypesText;
    std::array<QChar, kTypeTableSize> m_types{};
    int m_fixedRowHeight = 20;
    QStringList m_fixedRowTitle;
    QStringList m_headings;
    QStringList m_fixedMergeCells;
    QStringList m_fixedColTitle;
    std::vector<Group> m_groups;
    TEditCharCase m_charCase = ecNormal;
    bool m_rowSelectAll = false;
    TImeMode m_imeMode = imDontCare;
    QString m_imeName;
    bool m_comboEnabled = false;

    QPoint m_lastCell{-1, -1};
    bool m_focusWithin = false;
    bool m_revertingCurrent = false;
    bool m_applyingSizes = false;
    QPersistentModelIndex m_approved;  // a target already asked about
    QPoint m_hintCell{-1, -1};
    QString m_editOriginal;  // the cell's text when the in-place editor opened
};

}  // namespace cwt

Q_DECLARE_OPERATORS_FOR_FLAGS(cwt::TGridOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(cwt::TGridDrawState)
