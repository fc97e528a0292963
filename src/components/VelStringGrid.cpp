// TVelStringGrid: construction, the cell store, sizes and the property setters.
#include "components/VelStringGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <algorithm>

#include "components/VelStringGridParts.h"

namespace cwt {

namespace {

constexpr int kComboTopPx = 20;
constexpr int kComboHeightPx = 96;

int readGroupNumber(QString& rest) {
    const qsizetype comma = rest.indexOf(u',');
    const QString part = comma < 0 ? rest : rest.left(comma);
    rest = comma < 0 ? QString() : rest.mid(comma + 1);
    bool ok = false;
    const int value = part.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

}  // namespace

// ----- TComboItems -----

TComboItems::TComboItems(TVelStringGrid* grid) : QObject(grid), m_grid(grid) {}

void TComboItems::setCB(int n, const QStringList& items) {
    if (n < 0 || n >= kLists) return;
    m_lists[n].items = items;
    emit changed();
}

void TComboItems::setCBIndex(int n, int index) {
    if (n < 0 || n >= kLists || index < -1) return;
    if (index == m_lists[n].index || m_lists[n].items.isEmpty()) return;
    m_lists[n].index = index;
    emit changed();
}

void TComboItems::setCBColumn(int n, int column) {
    if (n < 0 || n >= kLists) return;
    column = std::clamp(column, -1, 30);
    if (column == m_lists[n].column) return;
    m_lists[n].column = column;
    emit changed();
}

void TComboItems::setCBStyle(int n, TComboBoxStyle style) {
    if (n < 0 || n >= kLists || style == m_lists[n].style) return;
    m_lists[n].style = style;
    emit changed();
}

// ----- TVelStringGrid: creation -----

TVelStringGrid::TVelStringGrid(QWidget* parent) : QTableView(parent) {
    m_color = palette().color(QPalette::Base);
    m_fixedColor = palette().color(QPalette::Button);
    m_fontColor = palette().color(QPalette::Text);
    m_fixedUnTitleColor = m_fixedColor;
    m_minusColor = m_fontColor;
    QFont roleFont = font();
    roleFont.setPointSize(10);
    m_fixedFont = {roleFont, m_fontColor};
    m_subFont = {roleFont, m_fontColor};
    m_types.fill(QChar(u' '));

    m_model = new VelGridModel(this);
    m_rowHeader = new VelGridHeader(Qt::Horizontal, this);
    m_colHeader = new VelGridHeader(Qt::Vertical, this);
    setHorizontalHeader(m_rowHeader);
    setVerticalHeader(m_colHeader);
    setModel(m_model);
    m_delegate = new VelGridDelegate(this);
    setItemDelegate(m_delegate);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    m_corner = new VelGridCorner(this);

    m_comboItems = new TComboItems(this);
    m_combo = new QComboBox(viewport());
    m_combo->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    m_combo->setGeometry(m_defaultColWidth, kComboTopPx, m_defaultColWidth + 3, kComboHeightPx);
    m_combo->hide();
    m_combo->installEventFilter(this);
    connect(m_combo, &QComboBox::activated, this, [this] { comboSelectionChanged(); });

    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget* old, QWidget* now) { onFocusChanged(old, now); });
    // Sizes the operator drags (with the sizing options) become the grid's own.
    connect(m_rowHeader, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        const int col = section + m_fixedCols;
        if (m_applyingSizes || ColWidths(col) < 0 || m_rowHeader->isSectionHidden(section)) return;
        const int width = std::max(0, size - kGridLinePx);
        if (width == ColWidths(col)) return;
        if (col >= static_cast<int>(m_colWidths.size()))
            m_colWidths.resize(col + 1, m_defaultColWidth);
        m_colWidths[col] = width;
    });
    connect(m_colHeader, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        const int row = section + m_fixedRows;
        if (m_applyingSizes || RowHeights(row) < 0 || m_colHeader->isSectionHidden(section)) return;
        const int height = std::max(0, size - kGridLinePx);
        if (height == RowHeights(row)) return;
        if (row >= static_cast<int>(m_rowHeights.size()))
            m_rowHeights.resize(row + 1, m_defaultRowHeight);
        m_rowHeights[row] = height;
    });
    m_rowHeader->viewport()->installEventFilter(this);
    m_colHeader->viewport()->installEventFilter(this);
    m_corner->installEventFilter(this);

    setColor(m_color);
    applyOptions();
    applySizes();
    ensureCurrent();
}

TVelStringGrid::~TVelStringGrid() {
    // The drop-down goes first, so none of its notices reaches a grid being taken apart.
    m_combo->removeEventFilter(this);
    m_combo->disconnect(this);
    disconnect(qApp, nullptr, this, nullptr);
}

void TVelStringGrid::Loaded() {
    m_combo->clear();
    m_combo->addItems(m_comboItems->CB(0));
    if (m_fixedRows > 0 && !m_fixedRowTitle.isEmpty()) {
        applyFixedRowTitle();
        parseGroups();
    }
    if (m_fixedCols > 0 && !m_fixedColTitle.isEmpty()) applyFixedColTitle();
}

// ----- The cell store -----

QString TVelStringGrid::Cells(int col, int row) const {
    if (col < 0 || row < 0 || row >= static_cast<int>(m_cells.size())) return {};
    const auto& cells = m_cells[row];
    return col < static_cast<int>(cells.size()) ? cells[col] : QString();
}

void TVelStringGrid::setCells(int col, int row, const QString& text) {
    if (col < 0 || row < 0) return;
    if (row >= static_cast<int>(m_cells.size())) {
        if (text.isEmpty()) return;
        m_cells.resize(row + 1);
    }
    auto& cells = m_cells[row];
    if (col >= static_cast<int>(cells.size())) {
        if (text.isEmpty()) return;
        cells.resize(col + 1);
    }
    if (cells[col] == text) return;
    cells[col] = text;
    if (col >= m_colCount || row >= m_rowCount) return;  // stored, not shown
    if (col >= m_fixedCols && row >= m_fixedRows) {
        m_model->cellChanged(indexOf(col, row));
    } else {
        m_rowHeader->viewport()->update();
        m_colHeader->viewport()->update();
        m_corner->update();
    }
}

QStringList TVelStringGrid::Cols(int col) const {
    QStringList texts;
    for (int row = 0; row < m_rowCount; ++row) texts << Cells(col, row);
    return texts;
}

QStringList TVelStringGrid::Rows(int row) const {
    QStringList texts;
    for (int col = 0; col < m_colCount; ++col) texts << Cells(col, row);
    return texts;
}

QModelIndex TVelStringGrid::indexOf(int col, int row) const {
    return m_model->index(row - m_fixedRows, col - m_fixedCols);
}

QPoint TVelStringGrid::cellOf(const QModelIndex& index) const {
    if (!index.isValid()) return {-1, -1};
    return {index.column() + m_fixedCols, index.row() + m_fixedRows};
}

// ----- Sizes -----

void TVelStringGrid::setColCount(int count) {
    count = std::max(1, count);
    if (count == m_colCount) return;
    if (count <= m_fixedCols) setFixedCols(count - 1);
    const int oldData = m_colCount - m_fixedCols;
    const int newData = count - m_fixedCols;
    const bool insert = newData > oldData;
    if (insert)
        m_model->beginColumns(oldData, newData - 1, true);
    else
        m_model->beginColumns(newData, oldData - 1, false);
    m_colCount = count;
    m_model->endColumns(insert);
    applySizes();
    ensureCurrent();
    repaintAll();
}

void TVelStringGrid::setRowCount(int count) {
    count = std::max(1, count);
    if (count == m_rowCount) return;
    if (count <= m_fixedRows) setFixedRows(count - 1);
    const int oldData = m_rowCount - m_fixedRows;
    const int newData = count - m_fixedRows;
    const bool insert = newData > oldData;
    if (insert)
        m_model->beginRows(oldData, newData - 1, true);
    else
        m_model->beginRows(newData, oldData - 1, false);
    m_rowCount = count;
    m_model->endRows(insert);
    applySizes();
    ensureCurrent();
    repaintAll();
}

void TVelStringGrid::setFixedCols(int count) {
    if (count < 0 || count >= m_colCount || count == m_fixedCols) return;
    m_model->beginReset();
    m_fixedCols = count;
    m_model->endReset();
    applySizes();
    ensureCurrent();
    repaintAll();
}

void TVelStringGrid::setFixedRows(int count) {
    if (count < 0 || count >= m_rowCount || count == m_fixedRows) return;
    m_model->beginReset();
    m_fixedRows = count;
    m_model->endReset();
    applySizes();
    ensureCurrent();
    repaintAll();
}

int TVelStringGrid::ColWidths(int col) const {
    if (col < 0) return 0;
    return col < static_cast<int>(m_colWidths.size()) ? m_colWidths[col] : m_defaultColWidth;
}

void TVelStringGrid::setColWidths(int col, int widthPx) {
    if (col < 0 || col >= m_colCount) return;
    if (col >= static_cast<int>(m_colWidths.size())) m_colWidths.resize(col + 1, m_defaultColWidth);
    if (m_colWidths[col] == widthPx) return;
    m_colWidths[col] = widthPx;
    applyColumnSize(col);
    updateGeometries();
    repaintAll();
}

int TVelStringGrid::RowHeights(int row) const {
    if (row < 0) return 0;
    return row < static_cast<int>(m_rowHeights.size()) ? m_rowHeights[row] : m_defaultRowHeight;
}

void TVelStringGrid::setRowHeights(int row, int heightPx) {
    if (row < 0 || row >= m_rowCount) return;
    if (row >= static_cast<int>(m_rowHeights.size()))
        m_rowHeights.resize(row + 1, m_defaultRowHeight);
    if (m_rowHeights[row] == heightPx) return;
    m_rowHeights[row] = heightPx;
    applyRowSize(row);
    updateGeometries();
    repaintAll();
}

void TVelStringGrid::setDefaultColWidth(int widthPx) {
    if (widthPx == m_defaultColWidth) return;
    m_defaultColWidth = widthPx;
    m_colWidths.clear();  // every column takes the new default, as in the usual grid
    applySizes();
}

void TVelStringGrid::setDefaultRowHeight(int heightPx) {
    if (heightPx == m_defaultRowHeight) return;
    m_defaultRowHeight = heightPx;
    m_rowHeights.clear();
    applySizes();
}

int TVelStringGrid::colExtent(int col) const {
    const int width = ColWidths(col);
    return width < 0 ? 0 : width + kGridLinePx;
}

int TVelStringGrid::rowExtent(int row) const {
    const int height = RowHeights(row);
    return height < 0 ? 0 : height + kGridLinePx;
}

int TVelStringGrid::fixedRowsHeight() const {
    int height = 0;
    for (int row = 0; row < m_fixedRows; ++row) height += rowExtent(row);
    return height;
}

int TVelStringGrid::fixedColsWidth() const {
    int width = 0;
    for (int col = 0; col < m_fixedCols; ++col) width += colExtent(col);
    return width;
}

// The headers report their own resizes too; only the operator's dragging changes a size.
void TVelStringGrid::applyColumnSize(int col) {
    if (col < m_fixedCols) return;  // drawn inside the vertical header
    const int section = col - m_fixedCols;
    const int width = ColWidths(col);
    const QScopedValueRollback<bool> applying(m_applyingSizes, true);
    m_rowHeader->setSectionHidden(section, width < 0);
    if (width >= 0) m_rowHeader->resizeSection(section, width + kGridLinePx);
}

void TVelStringGrid::applyRowSize(int row) {
    if (row < m_fixedRows) return;  // drawn inside the horizontal header
    const int section = row - m_fixedRows;
    const int height = RowHeights(row);
    const QScopedValueRollback<bool> applying(m_applyingSizes, true);
    m_colHeader->setSectionHidden(section, height < 0);
    if (height >= 0) m_colHeader->resizeSection(section, height + kGridLinePx);
}

void TVelStringGrid::applySizes() {
    const QScopedValueRollback<bool> applying(m_applyingSizes, true);
    m_rowHeader->setDefaultSectionSize(std::max(0, m_defaultColWidth) + kGridLinePx);
    m_colHeader->setDefaultSectionSize(std::max(0, m_defaultRowHeight) + kGridLinePx);
    for (int col = m_fixedCols; col < m_colCount; ++col) applyColumnSize(col);
    for (int row = m_fixedRows; row < m_rowCount; ++row) applyRowSize(row);
    m_rowHeader->setVisible(m_fixedRows > 0);
    m_colHeader->setVisible(m_fixedCols > 0);
    updateGeometries();
}

void TVelStringGrid::updateGeometries() {
    QTableView::updateGeometries();
    if (!m_corner) return;
    // The corner piece covers the view's own corner button.
    const int width = m_fixedCols > 0 ? m_colHeader->width() : 0;
    const int height = m_fixedRows > 0 ? m_rowHeader->height() : 0;
    const QRect viewportRect = viewport()->geometry();
    m_corner->setGeometry(viewportRect.left() - width, viewportRect.top() - height, width, height);
    m_corner->setVisible(width > 0 && height > 0);
    m_corner->raise();
}

// ----- The current cell -----

int TVelStringGrid::Col() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() + m_fixedCols : m_fixedCols;
}

int TVelStringGrid::Row() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + m_fixedRows : m_fixedRows;
}

void TVelStringGrid::setCol(int col) { setCurrentCell(col, Row()); }

void TVelStringGrid::setRow(int row) { setCurrentCell(Col(), row); }

void TVelStringGrid::setCurrentCell(int col, int row) {
    if (col < m_fixedCols || col >= m_colCount || row < m_fixedRows || row >= m_rowCount) return;
    const QModelIndex target = indexOf(col, row);
    if (target == currentIndex()) return;
    if (!approveCurrent(target)) return;
    QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect;
    if (m_options.testFlag(goRowSelect)) command |= QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(target, command);
}

void TVelStringGrid::ensureCurrent() {
    if (currentIndex().isValid() || m_model->rowCount() == 0 || m_model->columnCount() == 0) return;
    QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect;
    if (m_options.testFlag(goRowSelect)) command |= QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(m_model->index(0, 0), command);
}

QRect TVelStringGrid::Selection() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        const QPoint cell(Col(), Row());
        return QRect(cell, cell);
    }
    QRect box;
    for (const QModelIndex& index : selected) {
        const QPoint cell = cellOf(index);
        box = box.isNull() ? QRect(cell, cell) : box.united(QRect(cell, cell));
    }
    return box;
}

bool TVelStringGrid::EditorMode() const { return state() == QAbstractItemView::EditingState; }

void TVelStringGrid::setEditorMode(bool on) {
    if (on == EditorMode()) return;
    if (on) {
        edit(currentIndex());
    } else if (QLineEdit* editor = InplaceEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

QLineEdit* TVelStringGrid::InplaceEditor() const {
    if (!EditorMode()) return nullptr;
    return qobject_cast<QLineEdit*>(indexWidget(currentIndex()));
}

QPoint TVelStringGrid::MouseToCell(const QPoint& pos) const {
    const QRect area = viewport()->geometry();
    const QPoint inViewport = pos - area.topLeft();
    int col = -1;
    int row = -1;
    if (pos.x() >= area.left()) {
        const int section = m_rowHeader->logicalIndexAt(inViewport.x());
        if (section >= 0) col = section + m_fixedCols;
    } else {
        int x = area.left() - fixedColsWidth();
        for (int c = 0; c < m_fixedCols && col < 0; ++c) {
            if (pos.x() >= x && pos.x() < x + colExtent(c)) col = c;
            x += colExtent(c);
        }
    }
    if (pos.y() >= area.top()) {
        const int section = m_colHeader->logicalIndexAt(inViewport.y());
        if (section >= 0) row = section + m_fixedRows;
    } else {
        int y = area.top() - fixedRowsHeight();
        for (int r = 0; r < m_fixedRows && row < 0; ++r) {
            if (pos.y() >= y && pos.y() < y + rowExtent(r)) row = r;
            y += rowExtent(r);
        }
    }
    if (col < 0 || row < 0) return {-1, -1};
    return {col, row};
}

QRect TVelStringGrid::CellRect(int col, int row) const {
    if (col < 0 || row < 0 || col >= m_colCount || row >= m_rowCount) return {};
    const QRect area = viewport()->geometry();
    int x = 0;
    int width = colExtent(col);
    if (col < m_fixedCols) {
        x = area.left() - fixedColsWidth();
        for (int c = 0; c < col; ++c) x += colExtent(c);
    } else {
        x = area.left() + m_rowHeader->sectionViewportPosition(col - m_fixedCols);
    }
    int y = 0;
    int height = rowExtent(row);
    if (row < m_fixedRows) {
        y = area.top() - fixedRowsHeight();
        for (int r = 0; r < row; ++r) y += rowExtent(r);
    } else {
        y = area.top() + m_colHeader->sectionViewportPosition(row - m_fixedRows);
    }
    if (width <= 0 || height <= 0) return {};
    return QRect(x, y, width - kGridLinePx, height - kGridLinePx).intersected(rect());
}

// ----- Base properties -----

void TVelStringGrid::setOptions(TGridOptions options) {
    if (options == m_options) return;
    const bool wasEditing = m_options.testFlag(goEditing);
    m_options = options;
    if (wasEditing && !options.testFlag(goEditing)) setEditorMode(false);
    applyOptions();
    repaintAll();
}

void TVelStringGrid::applyOptions() {
    setSelectionMode(m_options.testFlag(goRangeSelect) ? QAbstractItemView::ContiguousSelection
                                                       : QAbstractItemView::SingleSelection);
    setSelectionBehavior(m_options.testFlag(goRowSelect) ? QAbstractItemView::SelectRows
                                                         : QAbstractItemView::SelectItems);
    if (m_options.testFlag(goEditing)) {
        setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
    } else {
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    setTabKeyNavigation(m_options.testFlag(goTabs));
    m_rowHeader->setSectionResizeMode(m_options.testFlag(goColSizing) ? QHeaderView::Interactive
                                                                      : QHeaderView::Fixed);
    m_colHeader->setSectionResizeMode(m_options.testFlag(goRowSizing) ? QHeaderView::Interactive
                                                                      : QHeaderView::Fixed);
    m_model->flagsChanged();
}

void TVelStringGrid::setColor(const QColor& color) {
    m_color = color;
    QPalette colours = viewport()->palette();
    colours.setColor(QPalette::Base, color);
    colours.setColor(QPalette::Window, color);
    viewport()->setPalette(colours);
    viewport()->setAutoFillBackground(true);
    repaintAll();
}

void TVelStringGrid::setFixedColor(const QColor& color) {
    if (color == m_fixedColor) return;
    m_fixedColor = color;
    repaintAll();
}

void TVelStringGrid::setFontColor(const QColor& color) {
    if (color == m_fontColor) return;
    m_fontColor = color;
    repaintAll();
}

void TVelStringGrid::setDefaultDrawing(bool on) {
    if (on == m_defaultDrawing) return;
    m_defaultDrawing = on;
    repaintAll();
}

void TVelStringGrid::setCtl3D(bool on) {
    if (on == m_ctl3D) return;
    m_ctl3D = on;
    repaintAll();
}

void TVelStringGrid::setShowHint(bool on) {
    m_showHint = on;
    setMouseTracking(m_showHint && m_cellHintShow);
}

void TVelStringGrid::repaintAll() {
    viewport()->update();
    m_rowHeader->viewport()->update();
    m_colHeader->viewport()->update();
    m_corner->update();
}

// ----- Added properties -----

void TVelStringGrid::setNotMsgShow(bool show) {
    if (show == m_notMsgShow) return;
    m_notMsgShow = show;
    repaintAll();
}

void TVelStringGrid::setNotMsgs(const QString& text) {
    if (text == m_notMsgs) return;
    m_notMsgs = text;
    repaintAll();
}

void TVelStringGrid::setHeadings(const QStringList& headings) {
    if (headings == m_headings) return;
    m_headings = headings;
    repaintAll();
}

void TVelStringGrid::setSelectColor(const QColor& color) {
    if (color == m_selectColor) return;
    m_selectColor = color;
    repaintAll();
}

void TVelStringGrid::setFixedUnTitleColor(const QColor& color) {
    if (color == m_fixedUnTitleColor) return;
    m_fixedUnTitleColor = color;
    repaintAll();
}

void TVelStringGrid::setZeroHide(bool on) {
    if (on == m_zeroHide) return;
    m_zeroHide = on;  // kept for the layouts; drawing does not consult it
    repaintAll();
}

void TVelStringGrid::setRowSelectAll(bool on) {
    if (on == m_rowSelectAll) return;
    m_rowSelectAll = on;
    repaintAll();
}

void TVelStringGrid::setDigitFormat(const QString& picture) {
    if (picture == m_digitFormat) return;
    m_digitFormat = picture;
    repaintAll();
}

void TVelStringGrid::setFixedColumnEnabled(bool on) {
    if (on == m_fixedColumnEnabled) return;
    m_fixedColumnEnabled = on;
    repaintAll();
}

void TVelStringGrid::setCharCase(TEditCharCase charCase) { m_charCase = charCase; }

void TVelStringGrid::setCellHintShow(bool on) {
    m_cellHintShow = on;
    setMouseTracking(m_showHint && m_cellHintShow);
}

void TVelStringGrid::setMaxLength(int length) { m_maxLength = length; }

void TVelStringGrid::setEditColor(const QColor& color) {
    m_editColor = color;
    if (QLineEdit* editor = InplaceEditor()) {
        QPalette colours = editor->palette();
        colours.setColor(QPalette::Base, color);
        editor->setPalette(colours);
    }
}

void TVelStringGrid::setMinusColor(const QColor& color) { m_minusColor = color; }

void TVelStringGrid::setComboEnabled(bool on) { m_comboEnabled = on; }

void TVelStringGrid::setImeMode(TImeMode mode) { m_imeMode = mode; }

void TVelStringGrid::setImeName(const QString& name) { m_imeName = name; }

void TVelStringGrid::setFixedFont(const TVelFont& font) {
    m_fixedFont = font;
    repaintAll();
}

void TVelStringGrid::setSubFont(const TVelFont& font) {
    m_subFont = font;
    repaintAll();
}

void TVelStringGrid::setFixedColumn(int number) {
    if (!m_fixedColumnEnabled || m_fixedCols != 0 || number == m_fixedColumn) return;
    m_fixedColumn = number;
    repaintAll();
}

void TVelStringGrid::setFixedColumn2(int number) {
    if (!m_fixedColumnEnabled || m_fixedCols != 0 || number == m_fixedColumn2) return;
    m_fixedColumn2 = number;
    repaintAll();
}

void TVelStringGrid::setFixedRowHeight(int heightPx) {
    if (m_fixedRows > m_rowCount) return;
    m_fixedRowHeight = heightPx;
    if (m_fixedRows == 0) return;
    for (int row = 0; row < m_fixedRows; ++row) {
        if (row >= static_cast<int>(m_rowHeights.size()))
            m_rowHeights.resize(row + 1, m_defaultRowHeight);
        m_rowHeights[row] = heightPx;
    }
    updateGeometries();
    repaintAll();
}

void TVelStringGrid::setFixedRowTitle(const QStringList& titles) {
    m_fixedRowTitle = titles;
    if (m_fixedRows > 0 && !titles.isEmpty()) applyFixedRowTitle();
}

void TVelStringGrid::applyFixedRowTitle() {
    if (m_cellTypesText.size() < m_fixedRowTitle.size())
        setColCount(static_cast<int>(m_fixedRowTitle.size()));
    for (int col = 0; col < m_fixedRowTitle.size(); ++col) setCells(col, 0, m_fixedRowTitle[col]);
}

void TVelStringGrid::setFixedColTitle(const QStringList& titles) {
    m_fixedColTitle = titles;
    if (m_fixedCols > 0 && !titles.isEmpty()) applyFixedColTitle();
}

void TVelStringGrid::applyFixedColTitle() {
    if (m_rowCount < m_fixedColTitle.size()) setRowCount(static_cast<int>(m_fixedColTitle.size()));
    for (int row = 0; row < m_fixedColTitle.size(); ++row) setCells(0, row, m_fixedColTitle[row]);
}

void TVelStringGrid::setFixedMergeCells(const QStringList& groups) {
    m_fixedMergeCells = groups;
    parseGroups();
    repaintAll();
}

void TVelStringGrid::parseGroups() {
    m_groups.clear();
    for (QString rest : m_fixedMergeCells) {
        Group group;
        group.first = readGroupNumber(rest);
        group.second = readGroupNumber(rest);
        group.last = readGroupNumber(rest);
        group.fourth = readGroupNumber(rest);
        m_groups.push_back(group);
    }
}

bool TVelStringGrid::IsMergedColumn(int col) const {
    return std::any_of(m_groups.begin(), m_groups.end(),
                       [col](const Group& g) { return col >= g.first && col <= g.last; });
}

bool TVelStringGrid::IsFixedStyleColumn(int col) const {
    if (!m_fixedColumnEnabled || m_fixedCols != 0) return false;
    const int number = col + 1;
    return (m_fixedColumn != 0 && number == m_fixedColumn) ||
           (m_fixedColumn2 != 0 && number == m_fixedColumn2);
}

void TVelStringGrid::setCellTypesText(const QString& text) {
    if (text == m_cellTypesText) return;
    m_cellTypesText = text.toUpper();
    const int n = static_cast<int>(text.size());
    if (n > 5 || m_fixedRowTitle.size() < n) setColCount(n);
    // The letters come from the text as given: only upper-case letters select a type.
    for (int col = 0; col < kTypeTableSize; ++col) m_types[col] = col < n ? text[col] : QChar(u'L');
    repaintAll();
}

QChar TVelStringGrid::ColumnType(int col) const {
    if (col < 0 || col >= kTypeTableSize) return QChar(u'L');
    return m_types[col];
}

}  // namespace cwt
