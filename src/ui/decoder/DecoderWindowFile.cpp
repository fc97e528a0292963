// A WAV file decoded in pieces between events: each piece takes a few milliseconds, so the
// window keeps answering (Stop included) while a long file is read, and its progress shows.

#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressBar>

#include "ui/decoder/DecodedTextView.h"
#include "ui/decoder/DecoderWindow.h"

namespace {
// How long one piece may decode before the window handles its events again.
constexpr int kPieceMs = 15;
}  // namespace

void DecoderWindow::OpenFileButtonClick() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("해독할 WAV 파일 열기"), QString(),
                                     QStringLiteral("WAV 파일 (*.wav *.WAV);;모든 파일 (*)"));
    if (!path.isEmpty()) decodeFile(path);
}

bool DecoderWindow::decodeFile(const QString& path) {
    if (decoding() || decodingFile()) StopButtonClick();
    QString error;
    std::unique_ptr<cwt::SampleFileReader> file = m_openFile ? m_openFile(path, &error) : nullptr;
    if (!file) {
        setStatus(QStringLiteral("'%1' 파일을 해독할 수 없습니다: %2")
                      .arg(QFileInfo(path).fileName(), error));
        return false;
    }
    m_file = std::move(file);
    m_fileFrames = m_file->frames();
    m_fileRead = 0;
    startDecoder(m_file->rateHz());
    TextView->endLine();
    FileProgress->setValue(0);
    FileProgress->setFormat(QStringLiteral("%1: %p%").arg(QFileInfo(path).fileName()));
    FileProgress->show();
    setStatus(QStringLiteral("'%1' 파일을 해독하는 중입니다.").arg(QFileInfo(path).fileName()));
    setRunning(true);
    m_fileTimer.start(0);
    return true;
}

void DecoderWindow::decodeFilePiece() {
    if (!m_file) return;
    // About one spectrum frame a block, so that every frame becomes a row of the waterfall.
    m_block.resize(static_cast<size_t>(std::max(m_file->rateHz() / 16, 64)));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kPieceMs) {
        const size_t n = m_file->read(m_block.data(), m_block.size());
        if (n == 0) {
            finishFile();
            setStatus(QStringLiteral("파일을 끝까지 해독했습니다."));
            return;
        }
        m_fileRead += static_cast<long long>(n);
        feed(std::span<const float>(m_block.data(), n));
    }
    if (m_fileFrames > 0)
        FileProgress->setValue(static_cast<int>(1000 * m_fileRead / m_fileFrames));
}

void DecoderWindow::finishFile() {
    m_fileTimer.stop();
    if (m_decoder) {
        m_decoder->finish();
        takeText();
        refreshReadings();
    }
    m_file.reset();
    FileProgress->hide();
    setRunning(false);
}
