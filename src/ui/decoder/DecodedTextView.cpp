#include "ui/decoder/DecodedTextView.h"

#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

namespace {
// Below these the decoder was in doubt, or unsure.
constexpr double kDoubtful = 0.75;
constexpr double kUnsure = 0.45;
// Characters whose place is kept for a late word space: many words' worth.
constexpr size_t kPlacedKept = 256;
}  // namespace

DecodedTextView::DecodedTextView(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
    QFont font = this->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    setFont(font);
}

QColor DecodedTextView::colourOf(const cwt::ReceivedChar& character) const {
    if (!character.known) return QColor(128, 128, 128);
    if (character.confidence < kUnsure) return QColor(200, 30, 30);
    if (character.confidence < kDoubtful) return QColor(150, 90, 0);
    return palette().text().color();
}

bool DecodedTextView::atEnd() const {
    const QScrollBar* bar = verticalScrollBar();
    return bar->value() >= bar->maximum() - 4;
}

void DecodedTextView::scrollToEnd() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void DecodedTextView::appendCharacters(const std::vector<cwt::ReceivedChar>& characters) {
    if (characters.empty()) return;
    const bool follow = atEnd();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // One edit: the document reports one change, and a screen reader hears the characters
    // together.
    cursor.beginEditBlock();
    const bool lineStart = cursor.atBlockStart();
    bool first = true;
    for (const cwt::ReceivedChar& character : characters) {
        if (character.wordSpaceCorrection) {
            insertWordSpace(character.startMs);
            continue;
        }
        QTextCharFormat format;
        format.setForeground(colourOf(character));
        if (character.wordSpaceBefore && !(first && lineStart)) cursor.insertText(" ", format);
        m_placed.push_back({character.startMs, cursor.position()});
        if (m_placed.size() > kPlacedKept) m_placed.pop_front();
        cursor.insertText(QString::fromStdString(character.text), format);
        first = false;
    }
    cursor.endEditBlock();
    if (follow) scrollToEnd();
}

void DecodedTextView::insertWordSpace(double startMs) {
    const auto at = std::find_if(m_placed.begin(), m_placed.end(),
                                 [&](const Placed& p) { return p.startMs == startMs; });
    if (at == m_placed.end()) return;
    QTextCursor cursor(document());
    cursor.setPosition(at->position);
    // A character at the start of a line, or after a blank, needs none.
    if (cursor.atBlockStart() || document()->characterAt(at->position - 1) == QChar(' ')) return;
    cursor.insertText(QStringLiteral(" "));
    for (auto later = at; later != m_placed.end(); ++later) ++later->position;
}

void DecodedTextView::endLine() {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!cursor.atBlockStart()) cursor.insertBlock();
    // A new line is a new decoder, whose times start again.
    m_placed.clear();
}

void DecodedTextView::setPreedit(const std::optional<cwt::ReceivedChar>& preedit) {
    QString text = preedit ? QString::fromStdString(preedit->text) : QString();
    if (preedit && preedit->wordSpaceBefore && !document()->isEmpty()) text.prepend(' ');
    if (text == m_preedit) return;
    m_preedit = text;
    viewport()->update();
}

QString DecodedTextView::shownText() const { return toPlainText() + m_preedit; }

void DecodedTextView::clearText() {
    clear();
    m_preedit.clear();
    m_placed.clear();
}

void DecodedTextView::paintEvent(QPaintEvent* event) {
    QTextEdit::paintEvent(event);
    if (m_preedit.isEmpty()) return;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    const QRect caret = cursorRect(end);
    QPainter painter(viewport());
    QFont font = this->font();
    font.setUnderline(true);
    painter.setFont(font);
    painter.setPen(palette().text().color());
    const QFontMetrics metrics(font);
    painter.drawText(QPoint(caret.left() + 1, caret.top() + metrics.ascent()), m_preedit);
}
