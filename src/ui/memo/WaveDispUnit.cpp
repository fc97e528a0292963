#include "ui/memo/WaveDispUnit.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include "ui/common/WindowFrame.h"

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form2"));
    // Named for what it holds, as the menu item that opens it: the title is what a screen
    // reader and the desktop's window list call it.
    setWindowTitle(QStringLiteral("해독 메모"));
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(11);
    setFont(formFont);
    move(kLeft, kTop);
    resize(kWidth - kLayoutFrameWidth, kHeight - kLayoutFrameHeight);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    QFont memoFont(QStringLiteral("바탕체"));
    memoFont.setPixelSize(13);
    Memo1->setFont(memoFont);
    Memo1->setPlainText(QStringLiteral("Memo1"));
    FormCreate();
    NameControlsForScreenReaders();
}

void TForm2::FormCreate() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
}

void TForm2::bringToFront() {
    show();
    raise();
    activateWindow();
}

// Rewriting the memo as "its lines, each followed by a line break, plus the character"
// comes down to: a new last line holding the character, except that an empty memo gets no
// line break and a memo whose text already ends with one fills its empty last line. Only
// the end of the document is touched, so a long session costs the same per character.
void TForm2::appendTranscriptChar(char ch) {
    QScrollBar* scroll = Memo1->verticalScrollBar();
    const bool followEnd = scroll->value() == scroll->maximum();

    // Like replacing the whole text, the append leaves nothing to undo; keeping undo steps
    // would make memory grow with every character of a long session.
    QTextDocument* document = Memo1->document();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    const bool emptyLastLine = document->lastBlock().length() <= 1;  // only its terminator
    if (!emptyLastLine) cursor.insertBlock();
    cursor.insertText(QString(QChar::fromLatin1(ch)));
    document->setUndoRedoEnabled(true);

    if (followEnd) scroll->setValue(scroll->maximum());
}
