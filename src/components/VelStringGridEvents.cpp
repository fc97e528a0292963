// TVelStringGrid: typed characters, keys, mouse, the current cell with the row events, focus,
// the drop-down list and the cell hints.
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolTip>
#include <climits>

#include "components/VelStringGrid.h"
#include "components/VelStringGridParts.h"

namespace cwt {

namespace {

constexpr int kComboListHeightPx = 80;
constexpr int kHintOffsetPx = 10;
constexpr int kHintMaxChars = 50;

bool isPrintable(const QString& text) {
    return text.size() == 1 && text[0] >= QChar(0x20) && text[0] != QChar(0x7F);
}

}  // namespace

// ----- Typed characters -----

bool TVelStringGrid::filterTypedChar(QChar& ch) const {
    if (m_charCase == ecUpperCase && ch >= u'a' && ch <= u'z')
        ch = QChar(ch.unicode() - u'a' + u'A');
    else if (m_charCase == ecLowerCase && ch >= u'A' && ch <= u'Z')
        ch = QChar(ch.unicode() + u'a' - u'A');
    const QChar type = ColumnType(Col());
    if (type == u'F' || type == u'N') {
        const bool allowed = ch == QChar(8) || ch == QChar(13) || ch == u'+' || ch == u'-' ||
                             ch == u'.' || (ch >= u'0' && ch <= u'9');
        if (!allowed) return false;
    }
    return true;
}

// ----- Keys -----

void TVelStringGrid::keyPressEvent(QKeyEvent* event) {
    if (isPrintable(event->text())) {
        QChar ch = event->text()[0];
        if (!filterTypedChar(ch)) {
            event->accept();  // dropped without a sound
            return;
        }
        if (ch != event->text()[0]) {
            QKeyEvent converted(event->type(), event->key(), event->modifiers(), QString(ch),
                                event->isAutoRepeat(), static_cast<ushort>(event->count()));
            QTableView::keyPressEvent(&converted);
            event->setAccepted(converted.isAccepted());
            return;
        }
    }
    if (keyDownSteps(event)) return;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && m_options.testFlag(goEditing) && !m_options.testFlag(goAlwaysShowEditor)) {
        setEditorMode(!EditorMode());  // Enter toggles the in-place editor
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

// The grid's own key-down steps; true when the key goes no further.
bool TVelStringGrid::keyDownSteps(QKeyEvent* event) {
    const bool consumed = skipColumns(event->key());
    if (m_combo->isVisible()) {
        m_combo->hide();
        setFocus();
        event->accept();
        return true;
    }
    if (consumed) event->accept();
    return consumed;
}

bool TVelStringGrid::skipColumns(int key) {
    if (key != Qt::Key_Left && key != Qt::Key_Right) return false;
    return m_fixedColumnEnabled ? skipFixedColumns(key) : skipHiddenColumn(key);
}

bool TVelStringGrid::skipFixedColumns(int key) {
    const int step = key == Qt::Key_Left ? -1 : 1;
    for (int distance = 1; distance <= 2; ++distance) {
        const int candidate = Col() + step * distance;
        const int number = candidate + 1;
        const bool refused = candidate < m_fixedCols || candidate >= m_colCount ||
                             (m_fixedColumn != 0 && number == m_fixedColumn) ||
                             (m_fixedColumn2 != 0 && number == m_fixedColumn2) ||
                             ColWidths(candidate) == -1;
        if (!refused) {
            setCurrentCell(candidate, Row());
            break;
        }
    }
    return true;  // consumed whether or not a column was found
}

bool TVelStringGrid::skipHiddenColumn(int key) {
    const int col = Col();
    if (key == Qt::Key_Left) {
        const int hidden = col - 1;
        if (hidden > 0 && ColWidths(hidden) == -1 && hidden - 1 >= m_fixedCols) {
            setCurrentCell(col - 2, Row());
            return true;
        }
        return false;
    }
    const int hidden = col + 1;
    if (hidden < m_colCount - 1 && ColWidths(hidden) == -1) {
        setCurrentCell(col + 2, Row());
        return true;
    }
    return false;
}

QModelIndex TVelStringGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex target = QTableView::moveCursor(cursorAction, modifiers);
    if (target.isValid() && target != currentIndex() && !approveCurrent(target))
        return currentIndex();
    return target;
}

// ----- Mouse -----

void TVelStringGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex target = indexAt(event->position().toPoint());
    if (target.isValid() && IsFixedStyleColumn(cellOf(target).x())) {
        event->accept();  // a fixed-style column cannot be selected
        return;
    }
    if (target.isValid() && target != currentIndex() && !approveCurrent(target)) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void TVelStringGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    // The group headings span columns: row 0 is drawn anew whenever the columns move.
    if (dx != 0) m_rowHeader->viewport()->update();
}

// ----- The current cell and the row events -----

// Asks about a cell before it becomes current; remembers the answer so that the change that
// follows is not asked about twice.
bool TVelStringGrid::approveCurrent(const QModelIndex& target) {
    m_approved = QPersistentModelIndex();
    const QPoint cell = cellOf(target);
    if (!selectCell(cell.x(), cell.y())) return false;
    m_approved = QPersistentModelIndex(target);
    return true;
}

bool TVelStringGrid::selectCell(int col, int row) {
    if (row != m_lastCell.y()) {
        if (m_lastCell.x() >= 0 && m_lastCell.y() >= 0 && (GridFocused() || EditorMode())) {
            bool canExit = true;  // the answer is not used
            emit OnExitRow(this, m_lastCell.x(), m_lastCell.y(), canExit);
        }
        enterRow(col, row);
    }
    m_lastCell = {col, row};
    bool canSelect = true;
    emit OnSelectCell(this, col, row, canSelect);
    return canSelect;
}

void TVelStringGrid::enterRow(int col, int row) {
    emit OnEnterRow(this, col, row);
    for (int n = 0; n < TComboItems::kLists; ++n) {
        const int column = m_comboItems->CBColumn(n);
        const QStringList items = m_comboItems->CB(n);
        if (column < 0 || items.isEmpty()) continue;
        m_comboItems->setCBIndex(n, static_cast<int>(items.indexOf(Cells(column, row))));
    }
    m_combo->setFont(font());
    QPalette colours = m_combo->palette();
    colours.setColor(QPalette::Base, m_selectColor);
    colours.setColor(QPalette::Button, m_selectColor);
    m_combo->setPalette(colours);
}

void TVelStringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (m_revertingCurrent || !current.isValid()) {
        QTableView::currentChanged(current, previous);
        return;
    }
    const QPoint cell = cellOf(current);
    const bool asked = m_approved.isValid() && QModelIndex(m_approved) == current;
    m_approved = QPersistentModelIndex();
    if (!asked && !selectCell(cell.x(), cell.y()) && previous.isValid()) {
        m_revertingCurrent = true;
        selectionModel()->setCurrentIndex(previous, QItemSelectionModel::ClearAndSelect);
        m_revertingCurrent = false;
        return;
    }
    QTableView::currentChanged(current, previous);
    afterSelect(cell.x(), cell.y());
}

void TVelStringGrid::afterSelect(int col, int row) {
    repaintAll();
    if (m_options.testFlag(goEditing) && m_options.testFlag(goAlwaysShowEditor) && !EditorMode())
        edit(currentIndex());
    if (!CellRect(col, row).isValid()) return;  // not on screen
    placeCombo(col, row);
    if (m_rowSelectAll && !m_options.testFlag(goRowSelect)) repaintAll();
}

void TVelStringGrid::undoEditorTyping(QLineEdit* editor) {
    editor->setText(m_editOriginal);
    editor->setModified(false);
    const QPoint cell = cellOf(currentIndex());
    setCells(cell.x(), cell.y(), m_editOriginal);
}

// ----- Focus -----

bool TVelStringGrid::GridFocused() const {
    const QWidget* focus = window()->focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

void TVelStringGrid::onFocusChanged(QWidget* /*old*/, QWidget* /*now*/) {
    // Focus counts within the grid's window: switching to another window leaves it in place.
    const bool within = GridFocused();
    if (within == m_focusWithin) return;
    m_focusWithin = within;
    if (within)
        focusEntered();
    else
        focusLeft();
}

void TVelStringGrid::focusEntered() {
    QPoint cell = MouseToCell(mapFromGlobal(QCursor::pos()));
    if (cell.x() < m_fixedCols || cell.y() < m_fixedRows) cell = QPoint(Col(), Row());
    enterRow(cell.x(), cell.y());
    m_lastCell = cell;
}

void TVelStringGrid::focusLeft() {
    if (m_lastCell.x() < 0 || m_lastCell.y() < 0) return;
    bool canExit = true;
    emit OnExitRow(this, m_lastCell.x(), m_lastCell.y(), canExit);
    m_lastCell = {-1, -1};
}

// ----- The drop-down list -----

int TVelStringGrid::listOfColumn(int col) const {
    for (int n = 0; n < TComboItems::kLists; ++n)
        if (m_comboItems->CBColumn(n) == col) return n;
    return -1;
}

void TVelStringGrid::placeCombo(int col, int row) {
    const int n = listOfColumn(col);
    if (n >= 0) {
        const TComboBoxStyle style = m_comboItems->CBStyle(n);
        m_combo->setEditable(style == csDropDown || style == csSimple);
        if (m_combo->lineEdit()) m_combo->lineEdit()->installEventFilter(this);
        m_combo->clear();
        m_combo->addItems(m_comboItems->CB(n));
        m_combo->setCurrentIndex(m_comboItems->CBIndex(n));
    }
    if (!m_comboEnabled) return;
    if (n < 0) {
        m_combo->hide();
        return;
    }
    const QRect cell = CellRect(col, row).translated(-viewport()->geometry().topLeft());
    m_combo->setGeometry(cell.left(), cell.top(), cell.width() + 2,
                         std::max(cell.height(), m_combo->sizeHint().height()));
    m_combo->setMaxVisibleItems(std::max(1, kComboListHeightPx / std::max(1, cell.height())));
    m_combo->show();
}

void TVelStringGrid::comboSelectionChanged() {
    storeComboChoice();
    emit OnComboClick(this);
    emit OnComboChange(this);
}

void TVelStringGrid::comboKeyDown(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
        key == Qt::Key_Left || key == Qt::Key_Right) {
        keyDownSteps(event);  // hides the list
    }
    const int n = listOfColumn(Col());
    const TComboBoxStyle style = n >= 0 ? m_comboItems->CBStyle(n) : csDropDown;
    if (style == csDropDown || style == csSimple) emit OnComboChange(this);
}

void TVelStringGrid::comboFocusLeft() {
    m_combo->hide();
    emit OnComboExit(this);
    storeComboChoice();
}

void TVelStringGrid::storeComboChoice() {
    const int n = listOfColumn(Col());
    if (n < 0) return;
    const int chosen = m_combo->currentIndex();
    m_comboItems->setCBIndex(n, chosen);
    // Without a chosen item there is no text to store.
    if (m_combo->count() > 0 && chosen >= 0) setCells(Col(), Row(), m_combo->itemText(chosen));
}

// ----- Hints -----

QString TVelStringGrid::CellHintText(const QString& cellText) {
    const qsizetype at = cellText.indexOf(QStringLiteral("||"));
    if (at < 0) return cellText;
    return cellText.mid(at + 2).left(kHintMaxChars) + u'\n' + cellText.left(at);
}

bool TVelStringGrid::showCellHint(const QPoint& globalPos) {
    if (!m_showHint || !m_cellHintShow) {
        QToolTip::hideText();
        return true;
    }
    const QPoint cell = MouseToCell(mapFromGlobal(globalPos));
    if (cell.x() < 0) {
        QToolTip::hideText();
        m_hintCell = cell;
        return true;
    }
    m_hintCell = cell;
    const QString hint = CellHintText(Cells(cell.x(), cell.y()));
    // Shown at once, until the pointer leaves the cell, with no time-out.
    QToolTip::showText(globalPos + QPoint(kHintOffsetPx, kHintOffsetPx), hint, this,
                       CellRect(cell.x(), cell.y()), INT_MAX);
    return true;
}

bool TVelStringGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip)
        return showCellHint(static_cast<QHelpEvent*>(event)->globalPos());
    if (event->type() == QEvent::MouseMove && m_showHint && m_cellHintShow) {
        const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (MouseToCell(mapFromGlobal(global)) != m_hintCell) showCellHint(global);
    }
    return QTableView::viewportEvent(event);
}

bool TVelStringGrid::eventFilter(QObject* watched, QEvent* event) {
    const bool combo = watched == m_combo || (m_combo && watched == m_combo->lineEdit());
    if (combo) {
        if (event->type() == QEvent::KeyPress) {
            comboKeyDown(static_cast<QKeyEvent*>(event));
            return !m_combo->isVisible();
        }
        const bool focusIn = event->type() == QEvent::FocusIn;
        if (watched == m_combo && (focusIn || event->type() == QEvent::FocusOut)) {
            // The list's own popup and a switch to another window are no real focus change.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
                return false;
            if (focusIn)
                emit OnComboEnter(this);
            else
                comboFocusLeft();
        }
        return false;
    }
    // The fixed cells are drawn by the headers and the corner: their hints come here.
    if (event->type() == QEvent::ToolTip)
        return showCellHint(static_cast<QHelpEvent*>(event)->globalPos());
    return QTableView::eventFilter(watched, event);
}

}  // namespace cwt
