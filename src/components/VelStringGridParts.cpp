#include "components/VelStringGridParts.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

#include "components/VelStringGrid.h"

namespace cwt {

// ----- VelGridModel -----

VelGridModel::VelGridModel(TVelStringGrid* grid) : QAbstractTableModel(grid), m_grid(grid) {}

int VelGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, m_grid->RowCount() - m_grid->FixedRows());
}

int VelGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, m_grid->ColCount() - m_grid->FixedCols());
}

QVariant VelGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int col = index.column() + m_grid->FixedCols();
    const int row = index.row() + m_grid->FixedRows();
    if (role == Qt::AccessibleTextRole) return m_grid->ShownText(col, row);
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return m_grid->Cells(col, row);
}

QVariant VelGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    if (orientation == Qt::Horizontal) return m_grid->ColumnTitle(section + m_grid->FixedCols());
    return m_grid->RowTitle(section + m_grid->FixedRows());
}

bool VelGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    m_grid->setCells(index.column() + m_grid->FixedCols(), index.row() + m_grid->FixedRows(),
                     value.toString());
    return true;
}

Qt::ItemFlags VelGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_grid->Options().testFlag(goEditing)) flags |= Qt::ItemIsEditable;
    return flags;
}

void VelGridModel::beginRows(int first, int last, bool insert) {
    if (insert)
        beginInsertRows({}, first, last);
    else
        beginRemoveRows({}, first, last);
}

void VelGridModel::endRows(bool insert) {
    if (insert)
        endInsertRows();
    else
        endRemoveRows();
}

void VelGridModel::beginColumns(int first, int last, bool insert) {
    if (insert)
        beginInsertColumns({}, first, last);
    else
        beginRemoveColumns({}, first, last);
}

void VelGridModel::endColumns(bool insert) {
    if (insert)
        endInsertColumns();
    else
        endRemoveColumns();
}

void VelGridModel::flagsChanged() {
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

// ----- VelGridHeader -----

VelGridHeader::VelGridHeader(Qt::Orientation orientation, TVelStringGrid* grid)
    : QHeaderView(orientation, grid), m_grid(grid) {
    setSectionsClickable(false);
    setHighlightSections(false);
    setFocusPolicy(Qt::NoFocus);
    setMinimumSectionSize(0);
    setSectionResizeMode(QHeaderView::Fixed);
}

QSize VelGridHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    if (orientation() == Qt::Horizontal)
        size.setHeight(m_grid->fixedRowsHeight());
    else
        size.setWidth(m_grid->fixedColsWidth());
    return size;
}

void VelGridHeader::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    painter.fillRect(dirty, m_grid->Color());
    const bool horizontal = orientation() == Qt::Horizontal;
    const int from = horizontal ? dirty.left() : dirty.top();
    const int to = horizontal ? dirty.right() : dirty.bottom();
    const int firstVisual = std::max(0, visualIndexAt(from));
    int lastVisual = visualIndexAt(to);
    if (lastVisual < 0) lastVisual = count() - 1;

    for (int visual = firstVisual; visual <= lastVisual; ++visual) {
        const int logical = logicalIndex(visual);
        if (logical < 0 || isSectionHidden(logical)) continue;
        const int pos = sectionViewportPosition(logical);
        const int size = sectionSize(logical);
        int offset = 0;
        if (horizontal) {
            for (int row = 0; row < m_grid->FixedRows(); ++row) {
                const int extent = m_grid->rowExtent(row);
                if (extent <= 0) continue;
                m_grid->PaintCell(painter, logical + m_grid->FixedCols(), row,
                                  QRect(pos, offset, size, extent),
                                  TVelStringGrid::Area::FixedRows);
                offset += extent;
            }
        } else {
            for (int col = 0; col < m_grid->FixedCols(); ++col) {
                const int extent = m_grid->colExtent(col);
                if (extent <= 0) continue;
                m_grid->PaintCell(painter, col, logical + m_grid->FixedRows(),
                                  QRect(offset, pos, extent, size),
                                  TVelStringGrid::Area::FixedCols);
                offset += extent;
            }
        }
    }
    if (horizontal) m_grid->PaintHeadings(painter, viewport()->rect());
}

// ----- VelGridCorner -----

VelGridCorner::VelGridCorner(TVelStringGrid* grid) : QWidget(grid), m_grid(grid) {
    setFocusPolicy(Qt::NoFocus);
}

void VelGridCorner::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), m_grid->Color());
    int y = 0;
    for (int row = 0; row < m_grid->FixedRows(); ++row) {
        const int height = m_grid->rowExtent(row);
        if (height <= 0) continue;
        int x = 0;
        for (int col = 0; col < m_grid->FixedCols(); ++col) {
            const int width = m_grid->colExtent(col);
            if (width <= 0) continue;
            m_grid->PaintCell(painter, col, row, QRect(x, y, width, height),
                              TVelStringGrid::Area::FixedCorner);
            x += width;
        }
        y += height;
    }
}

// ----- VelGridDelegate -----

VelGridDelegate::VelGridDelegate(TVelStringGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

void VelGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    m_grid->PaintCell(*painter, index.column() + m_grid->FixedCols(),
                      index.row() + m_grid->FixedRows(), option.rect, TVelStringGrid::Area::Data);
}

QWidget* VelGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                       const QModelIndex& index) const {
    auto* editor = new TInplaceEdit(m_grid, parent);
    // A screen reader names the editor after the column it writes.
    editor->setAccessibleName(m_grid->ColumnTitle(index.column() + m_grid->FixedCols()));
    const QPersistentModelIndex cell(index);
    m_grid->m_editOriginal = index.data(Qt::EditRole).toString();
    // Every change reaches the cell at once, so whoever reads the grid sees what is typed.
    connect(editor, &QLineEdit::textEdited, m_grid, [grid = m_grid, cell](const QString& text) {
        if (cell.isValid())
            grid->setCells(cell.column() + grid->FixedCols(), cell.row() + grid->FixedRows(), text);
    });
    return editor;
}

void VelGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = static_cast<QLineEdit*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    // The cell follows the editor while typing; setting the same text again would lose the
    // caret and the undo steps.
    if (edit->text() != text) edit->setText(text);
}

void VelGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                   const QModelIndex& index) const {
    model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
}

void VelGridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                           const QModelIndex& /*index*/) const {
    editor->setGeometry(
        option.rect.adjusted(0, 0, -TVelStringGrid::kGridLinePx, -TVelStringGrid::kGridLinePx));
}

bool VelGridDelegate::eventFilter(QObject* watched, QEvent* event) {
    // Escape after typing undoes the typing and leaves the editor open on the old text; only
    // an Escape with nothing to undo closes it.
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && edit->isModified()) {
        m_grid->undoEditorTyping(edit);
        return true;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

// ----- TInplaceEdit -----

TInplaceEdit::TInplaceEdit(TVelStringGrid* grid, QWidget* parent)
    : QLineEdit(parent), m_grid(grid) {
    setFrame(false);
    setFont(grid->font());
    QPalette colours = palette();
    colours.setColor(QPalette::Base, grid->EditColor());
    colours.setColor(QPalette::Text, grid->FontColor());
    setPalette(colours);
    setAutoFillBackground(true);
    switch (grid->ImeMode()) {
        case imSAlpha:
        case imAlpha:
        case imClose:
        case imDisable:
            setInputMethodHints(Qt::ImhPreferLatin);
            break;
        default:
            break;
    }
}

int TInplaceEdit::roomForTyping() const {
    if (m_grid->MaxLength() < 1 || hasSelectedText()) return -1;
    return std::max<int>(0, m_grid->MaxLength() - static_cast<int>(text().size()));
}

void TInplaceEdit::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    // Only printable characters are typing; control combinations (copy, paste) pass.
    if (typed.size() != 1 || typed[0] < QChar(0x20) || typed[0] == QChar(0x7F)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QChar ch = typed[0];
    if (!m_grid->filterTypedChar(ch) || roomForTyping() == 0) {
        event->accept();  // dropped without a sound
        return;
    }
    if (ch == typed[0]) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent converted(event->type(), event->key(), event->modifiers(), QString(ch),
                        event->isAutoRepeat(), static_cast<ushort>(event->count()));
    QLineEdit::keyPressEvent(&converted);
    event->setAccepted(converted.isAccepted());
}

void TInplaceEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (event->commitString().isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    // Characters committed by an input method count as typed ones.
    QString commit;
    int room = roomForTyping();
    for (QChar ch : event->commitString()) {
        if (room == 0) break;
        if (!m_grid->filterTypedChar(ch)) continue;
        commit += ch;
        if (room > 0) --room;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(commit, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}

}  // namespace cwt
