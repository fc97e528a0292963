#include "ui/main/LongLineWrap.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

LongLineWrap::LongLineWrap(QPlainTextEdit* editor) : QObject(editor), m_editor(editor) {
    setObjectName(QStringLiteral("longLineWrap"));
    recheck();
}

bool LongLineWrap::wrapping() const { return m_editor->lineWrapMode() != QPlainTextEdit::NoWrap; }

void LongLineWrap::recheck() {
    QTextDocument* document = m_editor->document();
    if (document != m_document) {
        if (m_document) disconnect(m_document, nullptr, this, nullptr);
        m_document = document;
        connect(document, &QTextDocument::contentsChange, this, &LongLineWrap::contentsChange);
    }
    setWrapping(hasLongLine(0, document->characterCount()));
}

void LongLineWrap::contentsChange(int position, int /*charsRemoved*/, int charsAdded) {
    const int end = position + charsAdded;
    bool wrap = wrapping();
    if (position == 0 && end >= m_document->characterCount() - 1)
        wrap = hasLongLine(0, end);  // the whole text was replaced: a long line may have gone
    else if (!wrap)
        wrap = hasLongLine(position, end);
    if (wrap == wrapping()) return;
    // Not inside the document's change notice: its layout is still catching up with it.
    QMetaObject::invokeMethod(
        this, [this, wrap] { setWrapping(wrap); }, Qt::QueuedConnection);
}

bool LongLineWrap::hasLongLine(int firstPosition, int lastPosition) const {
    QTextBlock block = m_document->findBlock(firstPosition);
    for (; block.isValid() && block.position() <= lastPosition; block = block.next())
        if (block.length() > kLongLineChars) return true;
    return false;
}

void LongLineWrap::setWrapping(bool wrap) {
    m_editor->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}
