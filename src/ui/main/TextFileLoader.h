#pragma once
// Opening a text file into the editor. A file of tens of megabytes takes seconds to decode and
// to turn into the editor's document, so the document is built apart from the editor, in
// steps between which the window is repainted (the operator's input waits meanwhile, it is not
// lost), and handed to the editor at once; a busy dialog says what is going on.

#include <QString>
#include <QtGlobal>
#include <memory>
#include <string>

class QPlainTextEdit;
class QProgressDialog;
class QWidget;

// What reading a text file gave.
struct TextFileRead {
    std::u16string text;     // its lines, each followed by LF
    QString error;           // why it could not be read; empty when it was read
    qint64 undecodable = 0;  // bytes that start no character, shown as U+FFFD
};

// Files larger than this are refused: the editor and the send's byte positions would need
// gigabytes for them.
inline constexpr qint64 kMaxTextFileBytes = 100LL * 1024 * 1024;

// Reads a regular file of at most kMaxTextFileBytes and decodes it line by line (UTF-8 or code
// page 949). Never blocks on a pipe or a device: only regular files are opened.
TextFileRead ReadTextFile(const QString& path);

// Replaces the editor's whole text. A long text is built into a new document in steps and then
// given to the editor; a short one is set directly.
void ReplaceEditorText(QPlainTextEdit* editor, const QString& text);

// A modal "please wait" dialog over `parent` while a long step runs; nothing when `needed` is
// false. The dialog is painted before the constructor returns.
class BusyNotice {
public:
    BusyNotice(QWidget* parent, const QString& text, bool needed);
    ~BusyNotice();
    BusyNotice(const BusyNotice&) = delete;
    BusyNotice& operator=(const BusyNotice&) = delete;

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

// Files from this size on are read with the busy dialog shown.
inline constexpr qint64 kBusyTextFileBytes = 2LL * 1024 * 1024;
