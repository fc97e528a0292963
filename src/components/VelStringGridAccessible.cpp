// The texts TVelStringGrid gives screen readers: cells as drawn and the titles of the fixed
// rows and columns, which Qt's table interface reads through the view's model.
#include "components/VelStringGrid.h"
#include "components/VelStringGridPaint.h"

namespace cwt {
namespace {

constexpr int kSecondLineMaxChars = 20;  // as many as a two-line cell draws

void AppendPart(QString& title, const QString& part) {
    const QString trimmed = part.trimmed();
    if (trimmed.isEmpty()) return;
    if (!title.isEmpty()) title += QLatin1Char(' ');
    title += trimmed;
}

}  // namespace

QString TVelStringGrid::ShownText(int col, int row) const {
    const bool fixedCell = col < m_fixedCols || row < m_fixedRows;
    const QChar type = fixedCell ? QChar(u'C') : ColumnType(col);
    const gridpaint::CellLines lines = gridpaint::SplitCellText(Cells(col, row));
    const auto shown = [&](const QString& line) {
        if (fixedCell || !gridpaint::IsNumberType(type)) return line;
        return gridpaint::NumberDisplay(line, type, m_digitFormat, nullptr);
    };
    if (!lines.twoLines) return shown(lines.first);
    QString text = shown(lines.first);
    AppendPart(text, shown(lines.second.left(kSecondLineMaxChars)));
    return text;
}

QString TVelStringGrid::ColumnTitle(int col) const {
    QString title;
    for (size_t i = 0; i < m_groups.size(); ++i) {
        const Group& group = m_groups[i];
        if (col >= group.first && col <= group.last &&
            static_cast<qsizetype>(i) < m_headings.size())
            AppendPart(title, m_headings[i]);
    }
    for (int row = 0; row < m_fixedRows; ++row) AppendPart(title, ShownText(col, row));
    return title;
}

QString TVelStringGrid::RowTitle(int row) const {
    QString title;
    for (int col = 0; col < m_fixedCols; ++col) AppendPart(title, ShownText(col, row));
    return title;
}

}  // namespace cwt
