// The recording side of TVelWaveCtrl: every played buffer is appended to a WAV file that is
// written under a temporary name and moved to its final name when the recording ends.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <array>
#include <cstring>
#include <limits>

#include "sound/MmErrors.h"
#include "sound/PulseRecordStream.h"
#include "sound/VelWaveCtrl.h"

namespace {

constexpr uint32_t kWaveForm = cwt::FourCC("WAVE");
constexpr uint32_t kFmtId = cwt::FourCC("fmt ");
constexpr uint32_t kFactId = cwt::FourCC("fact");
constexpr uint32_t kDataId = cwt::FourCC("data");
constexpr int kFormatBlockBytes = 18;
// The data chunk's size is a 32-bit field and the total is kept as a signed 32-bit count.
constexpr int32_t kMaxDataBytes = std::numeric_limits<int32_t>::max() - 65536;

void PutLe16(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The PCM format block. Its last field, the size of extra format bytes, is 0: PCM has none,
// and strict readers refuse a file that claims 0xFFFF of them.
std::array<uint8_t, kFormatBlockBytes> FormatBlock(const cwt::WaveFormat& format) {
    std::array<uint8_t, kFormatBlockBytes> block{};
    PutLe16(&block[0], 1);
    PutLe16(&block[2], static_cast<uint32_t>(format.channels));
    PutLe32(&block[4], static_cast<uint32_t>(format.samplesPerSec));
    PutLe32(&block[8], static_cast<uint32_t>(format.avgBytesPerSec()));
    PutLe16(&block[12], static_cast<uint32_t>(format.blockAlign()));
    PutLe16(&block[14], static_cast<uint32_t>(format.bitsPerSample));
    PutLe16(&block[16], 0);
    return block;
}

// The bare file name with its extension replaced by ".BAK", in the current directory.
QString BackupPathOf(const QString& fileName) {
    QString base = QFileInfo(fileName).fileName();
    const qsizetype dot = base.lastIndexOf(u'.');
    if (dot >= 0) base.truncate(dot);
    return QDir::current().absoluteFilePath(base + QStringLiteral(".BAK"));
}

QString OsReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

void TVelWaveCtrl::ReportRecordError(const QString& message) {
    // The first failure is the cause; what fails after it while finishing follows from it.
    if (m_recordErrorPending || !m_recordError.isEmpty()) return;
    m_recordError = message;
    m_recordErrorPending = true;
}

void TVelWaveCtrl::FireRecordError() {
    // Told once the recording's state is settled, so a handler that shows a message box (and
    // so runs events) finds nothing half done.
    if (!m_recordErrorPending) return;
    m_recordErrorPending = false;
    if (OnRecordError) OnRecordError(this, m_recordError);
}

bool TVelWaveCtrl::CheckResult(int code, const char* operation) {
    if (code == cwt::kMmNoError) return true;
    try {
        throw cwt::EGSMException(cwt::MmFailureText(operation, code));
    } catch (const cwt::EGSMException& error) {
        ReportRecordError(QString::fromStdString(error.what()));
        // While finishing, the failed step is noted and finishing goes on with the next one;
        // starting it again from here would never end.
        if (!m_finishing) StopRecording();
    }
    return false;
}

void TVelWaveCtrl::StartRecording() {
    QPointer<TVelWaveCtrl> alive(this);
    if (!m_recordOpen) {
        m_recordError.clear();
        m_recordErrorPending = false;
        m_recordFormat = FillWaveFormat();
        if (!m_playSoundRecord) {
            m_input = std::make_unique<cwt::PulseRecordStream>();
            if (!CheckResult(m_input->open(m_recordFormat), "waveInOpen")) {
                m_input.reset();
                FireRecordError();
                return;
            }
        }
        if (!CreateRecordFile()) {
            // Never carry on as if recording without a file.
            if (m_input) m_input->close();
            m_input.reset();
            FireRecordError();
            return;
        }
        m_recordOpen = true;
    }
    if (OnRecordStart) {
        OnRecordStart(this);
        if (!alive) return;
    }
    if (m_input && !CheckResult(m_input->start(), "waveInStart")) {
        FireRecordError();  // the recording was finished and closed by the check
        return;
    }
    if (m_recordOpen) m_recording = true;
}

bool TVelWaveCtrl::CreateRecordFile() {
    m_byteTotal = 0;
    m_sampleCount = 0;
    m_riffChunk = {};
    m_subChunk = {};
    if (m_fileName.isEmpty()) {
        ReportRecordError(QStringLiteral("녹음할 파일 이름이 없습니다."));
        return false;
    }
    const QString tempPath = m_fileName + QStringLiteral(".tmp");
    m_file = std::make_unique<cwt::RiffFile>();
    if (m_file->open(QFile::encodeName(tempPath).toStdString()) != cwt::kMmNoError) {
        ReportRecordError(QStringLiteral("녹음 파일을 만들 수 없습니다: %1 (%2)")
                              .arg(tempPath, OsReason(m_file->lastErrno())));
        m_file.reset();
        return false;
    }
    m_recordPath = m_fileName;

    const auto block = FormatBlock(m_recordFormat);
    const uint8_t placeholder[4] = {0, 0, 0, 0};
    m_riffChunk.formType = kWaveForm;
    bool ok = CheckResult(m_file->createChunk(m_riffChunk, cwt::RiffFile::kCreateRiff),
                          "Create 'RIFF' chunk & 'WAVE' id");
    m_subChunk.id = kFmtId;
    ok = ok && CheckResult(m_file->createChunk(m_subChunk, 0), "Create 'fmt' chunk");
    ok = ok && CheckResult(m_file->write(block.data(), kFormatBlockBytes) == kFormatBlockBytes
                               ? cwt::kMmNoError
                               : cwt::kMmioErrCannotWrite,
                           "Write 'fmt ' chunk");
    ok = ok && CheckResult(m_file->ascend(m_subChunk), "Ascend in 'fmt ' chunk");
    m_subChunk = {};
    m_subChunk.id = kFactId;
    ok = ok && CheckResult(m_file->createChunk(m_subChunk, 0), "Create 'fact' chunk");
    ok = ok && CheckResult(
                   m_file->write(placeholder, 4) == 4 ? cwt::kMmNoError : cwt::kMmioErrCannotWrite,
                   "Write 'fact' chunk");
    ok = ok && CheckResult(m_file->ascend(m_subChunk), "Ascend in 'fact' chunk");
    m_subChunk = {};
    m_subChunk.id = kDataId;
    ok = ok && CheckResult(m_file->createChunk(m_subChunk, 0), "Create 'data' chunk");
    if (!ok) {
        m_file.reset();
        QFile::remove(tempPath);
        m_recordPath.clear();
    }
    return ok;
}

void TVelWaveCtrl::RecordBuffer(const TWaveHdr& header) {
    if (!m_file) return;
    const uint32_t count = header.bufferLength != 0 ? header.bufferLength : header.bytesRecorded;
    if (count != 0) {
        if (m_byteTotal > kMaxDataBytes - static_cast<int32_t>(count)) {
            ReportRecordError(QStringLiteral("녹음 파일이 너무 커져서 녹음을 끝냅니다."));
            StopRecording();
            FireRecordError();
            return;
        }
        const long written = m_file->write(header.data, static_cast<long>(count));
        if (written > 0) m_byteTotal += static_cast<int32_t>(written);
        if (!m_file->isAt(QFile::encodeName(m_recordPath + QStringLiteral(".tmp")).toStdString())) {
            // Renamed or deleted under the recording (the file manager, a clean-up): it ends
            // here, and finishing puts what was recorded where the operator finds it.
            ReportRecordError(QStringLiteral("녹음 중인 임시 파일 '%1'이(가) 옮겨지거나 지워져서 "
                                             "녹음을 끝냅니다.")
                                  .arg(m_recordPath + QStringLiteral(".tmp")));
            StopRecording();
            FireRecordError();
            return;
        }
        if (written != static_cast<long>(count)) {
            // A full disk or a file that cannot be written: the recording ends, and what was
            // written so far stays a playable file.
            ReportRecordError(QString::fromStdString(cwt::MmFailureText("Write 'data' chunk",
                                                                        cwt::kMmioErrCannotWrite)) +
                              QStringLiteral(" (%1)").arg(OsReason(m_file->lastErrno())));
            StopRecording();
            FireRecordError();
            return;
        }
    }
    if (OnRecordData) OnRecordData(this, &header, header.data);
}

void TVelWaveCtrl::StopRecording() {
    if (!m_recordOpen || m_finishing) return;
    m_finishing = true;
    if (m_input) CheckResult(m_input->stop(), "waveInStop");
    FinishRecordFile();
    CloseRecording();
    m_finishing = false;
    FireRecordError();
}

void TVelWaveCtrl::FinishRecordFile() {
    if (!m_file) return;
    const QString finalPath = m_recordPath;  // the name the file was created for
    const QString tempPath = finalPath + QStringLiteral(".tmp");
    if (m_byteTotal > 0) {
        CheckResult(m_file->ascend(m_subChunk), "Ascend in 'data' chunk");
        CheckResult(m_file->ascend(m_riffChunk), "Ascend in 'RIFF' chunk");
        CheckResult(m_file->seek(0) == 0 ? cwt::kMmNoError : cwt::kMmioErrCannotSeek, "Seek BOF");
        m_riffChunk.formType = kWaveForm;
        const bool inRiff =
            CheckResult(m_file->descend(m_riffChunk, nullptr, cwt::RiffFile::kFindRiff),
                        "Descend into 'RIFF' chunk (FactId)");
        m_subChunk = {};
        m_subChunk.id = kFactId;
        const bool inFact = inRiff && CheckResult(m_file->descend(m_subChunk, &m_riffChunk,
                                                                  cwt::RiffFile::kFindChunk),
                                                  "Descend into 'fact' chunk");
        m_sampleCount = static_cast<uint32_t>(m_byteTotal) /
                        static_cast<uint32_t>(std::max(m_recordFormat.blockAlign(), 1));
        uint8_t count[4];
        PutLe32(count, m_sampleCount);
        if (inFact)
            CheckResult(m_file->write(count, 4) == 4 ? cwt::kMmNoError : cwt::kMmioErrCannotWrite,
                        "Write 'fact' chunk");
    }
    const bool inPlace = m_file->isAt(QFile::encodeName(tempPath).toStdString());
    if (!inPlace && m_byteTotal > 0 && !RescueRecording(tempPath, finalPath)) {
        CheckResult(m_file->close(), "Close");
        m_file.reset();
        return;  // the copy stands elsewhere, or nowhere: the message says which
    }
    CheckResult(m_file->close(), "Close");
    m_file.reset();

    if (m_byteTotal <= 0) {
        // Another file that took the name is not ours to delete.
        if (inPlace) QFile::remove(tempPath);
        return;
    }
    if (QFileInfo::exists(finalPath)) {
        const QString backupPath = BackupPathOf(finalPath);
        // A backup that names the recorded file itself would delete the old file.
        const bool sameFile =
            QFileInfo(backupPath).canonicalFilePath() == QFileInfo(finalPath).canonicalFilePath();
        if (!sameFile && QFileInfo::exists(backupPath)) QFile::remove(backupPath);
        if (sameFile || !QFile::rename(finalPath, backupPath)) {
            // The recording stays in the temporary file.
            ReportRecordError(QStringLiteral("Unable to create backup file."));
            return;
        }
    }
    if (!QFile::rename(tempPath, finalPath))
        ReportRecordError(QStringLiteral("녹음 파일의 이름을 바꿀 수 없습니다: %1").arg(tempPath));
}

bool TVelWaveCtrl::RescueRecording(const QString& tempPath, const QString& finalPath) {
    ReportRecordError(
        QStringLiteral("녹음 임시 파일 '%1'이(가) 옮겨지거나 지워졌습니다.").arg(tempPath));
    // The file itself is still open and complete: a copy of it goes back under the temporary
    // name, so the usual steps give it its final name.
    int error = m_file->copyTo(QFile::encodeName(tempPath).toStdString());
    if (error == 0) {
        m_recordError += QStringLiteral("\n녹음된 소리는 '%1' 파일에 저장합니다.").arg(finalPath);
        return true;
    }
    // Its folder is gone too, or another file took the name: the copy goes to the temporary
    // folder under a name of its own.
    QString folder = m_tempDir;
    if (folder.isEmpty() || !QDir().mkpath(folder)) folder = QDir::tempPath();
    const QString rescue = QDir(folder).absoluteFilePath(
        QFileInfo(finalPath).completeBaseName() +
        QDateTime::currentDateTime().toString(QStringLiteral("-yyyyMMdd-hhmmss")) +
        QStringLiteral(".wav"));
    error = m_file->copyTo(QFile::encodeName(rescue).toStdString());
    if (error == 0)
        m_recordError += QStringLiteral("\n녹음된 소리는 '%1' 파일에 저장했습니다.").arg(rescue);
    else
        m_recordError += QStringLiteral("\n녹음된 소리를 저장할 수 없습니다: %1 (%2)")
                             .arg(rescue, OsReason(error));
    return false;
}

void TVelWaveCtrl::CloseRecording() {
    if (m_input) {
        CheckResult(m_input->reset(), "waveInReset");
        CheckResult(m_input->close(), "waveInClose");
        m_input.reset();
    }
    m_recording = false;
    m_recordOpen = false;
    m_recordPath.clear();
    if (OnRecordStop) OnRecordStop(this);
}
