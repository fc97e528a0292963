// TVelStringGrid: painting of cells, group headings and the no-data message.
#include <QHeaderView>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>

#include "components/VelStringGrid.h"
#include "components/VelStringGridPaint.h"
#include "components/VelStringGridParts.h"

namespace cwt {

namespace {

constexpr int kNoDataFontPt = 15;
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kGrey(0x80, 0x80, 0x80);

// A frame on the grid lines around `cell`: through (left - 1, top - 1), (right, top - 1),
// (right, bottom) and (left - 1, bottom), right and bottom exclusive.
void drawLineFrame(QPainter& painter, const QRect& cell) {
    painter.save();
    painter.setPen(QColor(Qt::black));
    const int left = cell.x() - 1;
    const int top = cell.y() - 1;
    const int right = cell.x() + cell.width();
    const int bottom = cell.y() + cell.height();
    painter.drawLine(left, top, right, top);
    painter.drawLine(right, top, right, bottom);
    painter.drawLine(right, bottom, left, bottom);
    painter.drawLine(left, bottom, left, top);
    painter.restore();
}

void drawFocusRect(QPainter& painter, const QRect& rect) {
    painter.save();
    QPen pen(Qt::black, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

}  // namespace

TGridDrawState TVelStringGrid::drawStateOf(int col, int row, Area area) const {
    if (area != Area::Data) return gdFixed;
    if (IsFixedStyleColumn(col)) return gdFixed;  // never selected nor focused
    TGridDrawState state;
    const QModelIndex index = indexOf(col, row);
    if (selectionModel()->isSelected(index)) state |= gdSelected;
    if (GridFocused() && index == currentIndex()) state |= gdFocused;
    return state;
}

void TVelStringGrid::PaintCell(QPainter& painter, int col, int row, const QRect& rect,
                               Area area) const {
    // `rect` holds the grid lines at its right and bottom; the cell is what is left.
    const QRect cell(rect.x(), rect.y(), rect.width() - kGridLinePx, rect.height() - kGridLinePx);
    const bool fixedArea = area != Area::Data;
    const bool vertLines = m_options.testFlag(fixedArea ? goFixedVertLine : goVertLine);
    const bool horzLines = m_options.testFlag(fixedArea ? goFixedHorzLine : goHorzLine);
    const QColor dataLine = m_color == kSilver ? kGrey : kSilver;
    const QColor lineColour = fixedArea ? QColor(Qt::black) : dataLine;
    painter.fillRect(QRect(cell.right() + 1, rect.y(), kGridLinePx, rect.height()),
                     vertLines ? lineColour : m_color);
    painter.fillRect(QRect(rect.x(), cell.bottom() + 1, rect.width(), kGridLinePx),
                     horzLines ? lineColour : m_color);
    if (cell.width() <= 0 || cell.height() <= 0) return;

    const TGridDrawState state = drawStateOf(col, row, area);
    // The in-place editor covers the focused cell.
    if (state.testFlag(gdFocused) && m_options.testFlag(goEditing) && EditorMode()) return;

    if (m_defaultDrawing) {
        QRect textCell = cell;
        // Row 0 of a column under a group heading keeps its upper half for the heading.
        if (fixedArea && row == 0 && IsMergedColumn(col))
            textCell.setTop((cell.y() + cell.height()) / 2);
        const QColor background = paintBackground(painter, textCell, col, row, area, state);
        paintCellText(painter, textCell, col, row, area, background);
        if (fixedArea && m_ctl3D)
            gridpaint::DrawRaisedEdges(painter, textCell, m_options.testFlag(goFixedVertLine),
                                       m_options.testFlag(goFixedHorzLine));
        const bool editorAlways =
            m_options.testFlag(goEditing) && m_options.testFlag(goAlwaysShowEditor);
        if (state.testFlag(gdFocused) && !m_options.testFlag(goRowSelect) && !editorAlways)
            drawFocusRect(painter, cell);
    }
    emit const_cast<TVelStringGrid*>(this)->OnDrawCell(const_cast<TVelStringGrid*>(this), col, row,
                                                       cell, state, &painter);
}

QColor TVelStringGrid::paintBackground(QPainter& painter, const QRect& cell, int col, int row,
                                       Area area, TGridDrawState state) const {
    const bool selectLook = m_options.testFlag(goDrawFocusSelected) ||
                            m_options.testFlag(goRowSelect) || state.testFlag(gdFocused);
    const bool wholeRow =
        m_rowSelectAll && area == Area::Data && row == Row() && col >= m_fixedCols;
    QColor background;
    if ((state.testFlag(gdSelected) && selectLook) || wholeRow) {
        background = m_selectColor;
    } else if (area == Area::Data && IsFixedStyleColumn(col)) {
        drawLineFrame(painter, cell);
        background = m_fixedColor;
    } else if (area == Area::FixedCols) {
        background = m_fixedUnTitleColor;
    } else if (area == Area::Data) {
        background = m_color;
    } else {
        background = m_fixedColor;
    }
    painter.fillRect(cell, background);
    return background;
}

void TVelStringGrid::paintCellText(QPainter& painter, const QRect& cell, int col, int row,
                                   Area area, const QColor& background) const {
    const bool fixedCell = area != Area::Data;
    gridpaint::TextStyle style;
    style.font = fixedCell ? m_fixedFont.font : font();
    style.color = fixedCell ? m_fixedFont.color : m_fontColor;
    style.subFont = m_subFont.font;
    style.subColor = m_subFont.color;
    style.dataCell = !fixedCell;
    style.background = background;
    style.minusColor = m_minusColor;
    style.digitFormat = m_digitFormat;
    const QChar type = fixedCell ? QChar(u'C') : ColumnType(col);
    gridpaint::DrawCellText(painter, cell, Cells(col, row), type, style);
}

void TVelStringGrid::PaintHeadings(QPainter& painter, const QRect& headerRect) const {
    if (m_fixedRows == 0 || m_groups.empty()) return;
    const int firstSection = m_rowHeader->logicalIndexAt(0);
    if (firstSection < 0) return;
    const int firstVisible = firstSection + m_fixedCols;  // L
    const int base = m_rowHeader->sectionViewportPosition(firstSection);
    const int row0Bottom = rowExtent(0) - kGridLinePx;

    for (size_t i = 0; i < m_groups.size(); ++i) {
        const Group& group = m_groups[i];
        if (group.last < firstVisible) continue;
        int left = base;
        int width = 0;
        for (int col = firstVisible; col <= group.last && col < m_colCount; ++col) {
            if (col < group.first)
                left += colExtent(col);
            else
                width += colExtent(col);
        }
        const int right = left + width - kGridLinePx;  // exclusive
        const int bottom = row0Bottom / 2 - 1;         // exclusive: the upper half
        const QRect heading(left, 0, right - left, bottom);
        if (heading.width() <= 0 || heading.height() <= 0 ||
            !heading.intersects(headerRect.adjusted(-1, -1, 1, 1)))
            continue;
        drawLineFrame(painter, heading);
        painter.fillRect(heading, m_fixedColor);
        gridpaint::TextStyle style;
        style.font = m_fixedFont.font;
        style.color = m_fixedFont.color;
        style.subFont = m_fixedFont.font;
        style.subColor = m_fixedFont.color;
        style.dataCell = false;
        style.background = m_fixedColor;
        const QString text =
            static_cast<qsizetype>(i) < m_headings.size() ? m_headings[i] : QStringLiteral(" ");
        gridpaint::DrawCellText(painter, heading, text, QChar(u'C'), style);
        if (m_ctl3D)
            gridpaint::DrawRaisedEdges(painter, heading, m_options.testFlag(goFixedVertLine),
                                       m_options.testFlag(goFixedHorzLine));
    }
}

void TVelStringGrid::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    QPainter painter(viewport());
    if (m_options.testFlag(goRowSelect) && GridFocused() && m_defaultDrawing) {
        const QModelIndex current = currentIndex();
        if (current.isValid()) {
            const QRect first = visualRect(m_model->index(current.row(), 0));
            const QRect last =
                visualRect(m_model->index(current.row(), m_model->columnCount() - 1));
            drawFocusRect(painter, first.united(last).adjusted(0, 0, -kGridLinePx, -kGridLinePx));
        }
    }
    paintNoDataMessage(painter);
    emit OnPaint(this);
}

void TVelStringGrid::paintNoDataMessage(QPainter& painter) const {
    if (!m_notMsgShow || m_notMsgs.isEmpty()) return;
    QFont messageFont = font();
    messageFont.setPointSize(kNoDataFontPt);
    const QFontMetrics metrics(messageFont);
    const int textWidth = metrics.horizontalAdvance(m_notMsgs);
    const int textHeight = metrics.height();
    // Centred in the whole control; below the title row when there is one.
    const int x = width() / 2 - textWidth / 2;
    const int middle =
        m_fixedRows > 0 ? RowHeights(0) + (height() - RowHeights(0)) / 2 : height() / 2;
    const int y = middle - textHeight / 2;
    const QPoint inViewport = QPoint(x, y) - viewport()->geometry().topLeft();
    painter.save();
    painter.setFont(messageFont);
    painter.setPen(palette().color(QPalette::Button));
    painter.drawText(QPoint(inViewport.x(), inViewport.y() + metrics.ascent()), m_notMsgs);
    painter.restore();
}

}  // namespace cwt
