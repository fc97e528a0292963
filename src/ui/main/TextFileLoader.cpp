#include "ui/main/TextFileLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/morse/Cp949Text.h"
#include "ui/main/LongLineWrap.h"

namespace {

// Texts up to this many characters are set in one go; longer ones are built in steps of about
// kStepChars (whole lines), repainting the window between the steps.
constexpr qsizetype kDirectChars = 1 << 20;
constexpr qsizetype kStepChars = 1 << 18;

QString ReasonOf(int error) {
    switch (error) {
        case ENOENT:
            return QStringLiteral("파일이 없습니다.");
        case EACCES:
        case EPERM:
            return QStringLiteral("파일을 읽을 권한이 없습니다.");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Why a file of this kind and size is not opened; empty when it can be.
QString RefusalOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return QStringLiteral("폴더입니다.");
    // A pipe or a device would block the window or never end.
    if (!S_ISREG(info.st_mode)) return QStringLiteral("일반 파일이 아닙니다 (장치, 파이프 등).");
    if (info.st_size > kMaxTextFileBytes)
        return QStringLiteral("파일이 너무 큽니다: %1 MB (최대 %2 MB)")
            .arg(info.st_size / (1024 * 1024))
            .arg(kMaxTextFileBytes / (1024 * 1024));
    return {};
}

// Reads the whole file behind `fd`; false with errno set when a read fails.
bool ReadAll(int fd, qint64 sizeHint, std::string& bytes) {
    bytes.resize(static_cast<size_t>(std::max<qint64>(sizeHint, 0)) + 1);
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            // The file grew while it was read.
            if (bytes.size() > static_cast<size_t>(kMaxTextFileBytes)) {
                errno = EFBIG;
                return false;
            }
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return true;
}

}  // namespace

TextFileRead ReadTextFile(const QString& path) {
    TextFileRead read;
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        read.error = ReasonOf(errno);
        return read;
    }
    if (read.error = RefusalOf(info); !read.error.isEmpty()) return read;
    // O_NONBLOCK: should the name have turned into a pipe meanwhile, opening it cannot hang.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        read.error = ReasonOf(errno);
        return read;
    }
    std::string bytes;
    const bool ok = ::fstat(fd, &info) == 0 && (read.error = RefusalOf(info)).isEmpty() &&
                    ReadAll(fd, info.st_size, bytes);
    const int readError = errno;
    ::close(fd);
    if (!ok) {
        if (read.error.isEmpty()) read.error = ReasonOf(readError);
        return read;
    }
    cwt::cp949::FileText decoded = cwt::cp949::DecodeFileLines(bytes);
    read.text = std::move(decoded.text);
    read.undecodable = decoded.undecodable;
    return read;
}

void ReplaceEditorText(QPlainTextEdit* editor, const QString& text) {
    auto* wrap = editor->findChild<LongLineWrap*>();
    if (text.size() <= kDirectChars) {
        editor->setPlainText(text);
        if (wrap) wrap->recheck();  // wrapped before the first paint
        return;
    }
    // Building the document takes a few microseconds per line whatever the editor does, so it
    // is built without a layout and without undo steps, and handed over when complete.
    QPointer<QPlainTextEdit> alive(editor);
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = std::min(text.size(), start + kStepChars);
        if (end < text.size()) {
            const qsizetype lineFeed = text.indexOf(QChar('\n'), end);
            end = lineFeed < 0 ? text.size() : lineFeed + 1;
        }
        cursor.insertText(text.mid(start, end - start));
        start = end;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!alive) return;
    }
    document->setUndoRedoEnabled(true);
    document->setDefaultFont(editor->font());
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    // As the editor's child it is deleted when the editor gets another document, as the
    // editor's first document is.
    document->setParent(editor);
    editor->setDocument(document.release());
    if (wrap) wrap->recheck();
}

BusyNotice::BusyNotice(QWidget* parent, const QString& text, bool needed) {
    if (!needed) return;
    m_dialog = std::make_unique<QProgressDialog>(text, QString(), 0, 0, parent);
    m_dialog->setObjectName(QStringLiteral("busyNotice"));
    m_dialog->setCancelButton(nullptr);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Shown and painted before the long step holds the window's thread.
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

BusyNotice::~BusyNotice() {
    if (m_dialog) QApplication::restoreOverrideCursor();
}
