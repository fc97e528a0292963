// The window's key preview: every key pressed in the window reaches the macro hot keys before
// the focused control, and what the hot keys need from the window.

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>

#include "ui/main/SoundUnit.h"

void TForm1::FormKeyDown(uint16_t& Key, cwt::ShiftState Shift) {
    m_hotKeys->FormKeyDown(Key, Shift);
}

bool TForm1::stopButtonEnabled() const { return AutoStopButton->isEnabled(); }

bool TForm1::edit1IsActiveControl() const { return focusWidget() == Edit1; }

void TForm1::setEdit1TextCaretAtEnd(const QString& text) {
    Edit1->setText(text);
    Edit1->end(false);
}

int TForm1::memo1LinesByteLength() const { return Memo1LinesByteLength(); }

void TForm1::appendMemo1Line(const QString& line) {
    // A new last line: after the text's final line break when it has one, else after a new one.
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::End);
    if (!cursor.block().text().isEmpty()) cursor.insertBlock();
    cursor.insertText(line);
}

void TForm1::setMacroStartPos(int bytePos) { MacroStartPos = bytePos; }

bool TForm1::macroAutoStartChecked() const { return macroAutoStart->isChecked(); }

void TForm1::autoStartButtonClick() { AutoStartButtonClick(nullptr); }
