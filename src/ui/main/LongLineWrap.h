#pragma once
// Wraps an editor's lines at its width while its text holds an extremely long line. Drawing a
// line costs time in proportion to its whole length, wherever the view is: a line of a
// million characters takes half a second to paint, and the editor repaints at every letter a
// send highlights, which would stretch the gaps between the letters. Wrapped, only the
// visible part of the line is drawn. Texts of ordinary lines keep the editor unwrapped.

#include <QObject>
#include <QPointer>

class QPlainTextEdit;
class QTextDocument;

class LongLineWrap : public QObject {
    Q_OBJECT
public:
    // Lines longer than this many characters switch wrapping on.
    static constexpr int kLongLineChars = 10000;

    // Watches `editor` (which owns it) from now on.
    explicit LongLineWrap(QPlainTextEdit* editor);

    // Looks at the whole text again; needed after the editor was given another document.
    void recheck();
    bool wrapping() const;

private:
    void contentsChange(int position, int charsRemoved, int charsAdded);
    bool hasLongLine(int firstPosition, int lastPosition) const;
    void setWrapping(bool wrap);

    QPlainTextEdit* m_editor;
    QPointer<QTextDocument> m_document;
};
