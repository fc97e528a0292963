// WAV recording: the file byte by byte and through independent readers, the backup, and what
// happens when something fails.

#include <signal.h>
#include <sys/resource.h>

#include <QtTest>
#include <vector>

#include "sound/CodePlayer.h"
#include "sound/MmErrors.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/SoundBeepUnit.h"
#include "sound/VelWaveCtrl.h"
#include "tests/sound/support/AudioTestSupport.h"

using cwt::SimulatedWaveDevice;
using cwt::test::Le16;
using cwt::test::Le32;

#include "tests/common/FileSizeLimit.h"

namespace {

std::vector<uint8_t> Pattern(int size) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(100 + (i * 13) % 57);
    return bytes;
}

QByteArray Bytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

}  // namespace

class TestRecording : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_savedCwd;
    std::unique_ptr<TVelWaveCtrl> m_wave;
    SimulatedWaveDevice* m_device = nullptr;
    QStringList m_errors;
    int m_stops = 0;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    void play(const std::vector<uint8_t>& bytes, uint8_t userValue = 0) {
        m_wave->PlayBuffer(bytes.data(), static_cast<int>(bytes.size()), userValue, 0);
        if (userValue == 0)
            QVERIFY(cwt::test::WaitUntil([this] { return !m_wave->Playing(); }, 5000));
    }
    void record(const QString& name) {
        m_wave->setFileName(path(name));
        m_wave->StartRecording();
    }

private slots:
    void init() {
        m_savedCwd = QDir::currentPath();
        QVERIFY(m_dir.isValid());
        auto device = std::make_unique<SimulatedWaveDevice>();
        m_device = device.get();
        m_wave = std::make_unique<TVelWaveCtrl>(nullptr, std::move(device));
        m_wave->setPlaySoundRecord(true);
        m_errors.clear();
        m_stops = 0;
        m_wave->OnRecordError = [this](TVelWaveCtrl*, const QString& message) {
            m_errors << message;
        };
        m_wave->OnRecordStop = [this](TVelWaveCtrl*) { ++m_stops; };
    }
    void cleanup() {
        m_wave.reset();
        QDir::setCurrent(m_savedCwd);
    }

    void oneLetterGivesTheFileLayout() {
        const auto letter = Pattern(7200);
        record(QStringLiteral("one.wav"));
        QVERIFY(m_wave->Recording());
        QVERIFY(QFile::exists(path(QStringLiteral("one.wav.tmp"))));
        play(letter);
        m_wave->StopRecording();
        QVERIFY(!m_wave->Recording());
        QCOMPARE(m_stops, 1);
        QVERIFY(!QFile::exists(path(QStringLiteral("one.wav.tmp"))));

        const QByteArray file = cwt::test::ReadAll(path(QStringLiteral("one.wav")));
        QCOMPARE(file.size(), 58 + 7200);
        QCOMPARE(file.left(4), QByteArray("RIFF"));
        QCOMPARE(Le32(file, 4), 7250u);
        QCOMPARE(file.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(Le32(file, 16), 18u);
        QCOMPARE(Le16(file, 20), 1);  // PCM
        QCOMPARE(Le16(file, 22), 1);  // mono
        QCOMPARE(Le32(file, 24), 11025u);
        QCOMPARE(Le32(file, 28), 11025u);
        QCOMPARE(Le16(file, 32), 1);
        QCOMPARE(Le16(file, 34), 8);
        QCOMPARE(Le16(file, 36), 0);  // no extra format bytes
        QCOMPARE(file.mid(38, 4), QByteArray("fact"));
        QCOMPARE(Le32(file, 42), 4u);
        QCOMPARE(Le32(file, 46), 7200u);
        QCOMPARE(file.mid(50, 4), QByteArray("data"));
        QCOMPARE(Le32(file, 54), 7200u);
        QCOMPARE(file.mid(58), Bytes(letter));

        const auto view = cwt::test::ReadWithPythonWave(path(QStringLiteral("one.wav")));
        QVERIFY2(view.ok, qPrintable(view.error));
        QCOMPARE(view.channels, 1);
        QCOMPARE(view.rate, 11025);
        QCOMPARE(view.width, 1);
        QCOMPARE(view.frames, 7200);
        QCOMPARE(view.data, Bytes(letter));
        QCOMPARE(cwt::test::SoxSampleCount(path(QStringLiteral("one.wav"))), 7200L);
    }

    void buffersFollowInCompletionOrderAndOddSizesArePadded() {
        const auto a = Pattern(4000), b = Pattern(3201);
        record(QStringLiteral("odd.wav"));
        play(a, 'B');
        play(b);
        m_wave->StopRecording();
        const QByteArray file = cwt::test::ReadAll(path(QStringLiteral("odd.wav")));
        QCOMPARE(file.size(), 58 + 7201 + 1);
        QCOMPARE(Le32(file, 4), static_cast<uint32_t>(file.size() - 8));
        QCOMPARE(Le32(file, 54), 7201u);
        QCOMPARE(Le32(file, 46), 7201u);
        QCOMPARE(file.mid(58, 7201), Bytes(a) + Bytes(b));
        QCOMPARE(file.at(file.size() - 1), '\0');
        const auto view = cwt::test::ReadWithPythonWave(path(QStringLiteral("odd.wav")));
        QVERIFY2(view.ok, qPrintable(view.error));
        QCOMPARE(view.frames, 7201);
        QCOMPARE(cwt::test::SoxSampleCount(path(QStringLiteral("odd.wav"))), 7201L);
    }

    void nothingPlayedLeavesNoFileAndTheOldOneUntouched() {
        WriteFile(path(QStringLiteral("keep.wav")), "old");
        QDir::setCurrent(m_dir.path());
        record(QStringLiteral("keep.wav"));
        QVERIFY(m_wave->Recording());
        m_wave->StopRecording();
        QCOMPARE(cwt::test::ReadAll(path(QStringLiteral("keep.wav"))), QByteArray("old"));
        QVERIFY(!QFile::exists(path(QStringLiteral("keep.wav.tmp"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("keep.BAK"))));
        QVERIFY(m_errors.isEmpty());
    }

    void oldFileMovesToABackupInTheCurrentDirectory() {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("elsewhere")));
        const QString elsewhere = path(QStringLiteral("elsewhere"));
        WriteFile(path(QStringLiteral("x.wav")), "old");
        WriteFile(elsewhere + QStringLiteral("/x.BAK"), "older");
        QDir::setCurrent(elsewhere);
        record(QStringLiteral("x.wav"));
        play(Pattern(100));
        m_wave->StopRecording();
        QCOMPARE(cwt::test::ReadAll(elsewhere + QStringLiteral("/x.BAK")), QByteArray("old"));
        QCOMPARE(cwt::test::ReadAll(path(QStringLiteral("x.wav"))).size(), 158);
        QVERIFY(m_errors.isEmpty());
    }

    void failedBackupKeepsTheRecordingAndEndsIt() {
        WriteFile(path(QStringLiteral("y.wav")), "old");
        QDir::setCurrent(m_dir.path());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("y.BAK/full")));  // cannot be replaced
        record(QStringLiteral("y.wav"));
        play(Pattern(300));
        m_wave->StopRecording();
        QCOMPARE(m_errors, QStringList{QStringLiteral("Unable to create backup file.")});
        QVERIFY(!m_wave->Recording());
        QCOMPARE(m_stops, 1);
        QCOMPARE(cwt::test::ReadAll(path(QStringLiteral("y.wav"))), QByteArray("old"));
        QCOMPARE(cwt::test::ReadAll(path(QStringLiteral("y.wav.tmp"))).size(), 358);
        // The next recording starts afresh.
        record(QStringLiteral("z.wav"));
        QVERIFY(m_wave->Recording());
        QVERIFY(m_wave->LastRecordError().isEmpty());
    }

    void fileNameChangedWhileRecordingLosesNothing() {
        const auto a = Pattern(500), b = Pattern(700);
        record(QStringLiteral("first.wav"));
        play(a);
        // The window asks for a new name while the first file is still open.
        record(QStringLiteral("second.wav"));
        QVERIFY(m_wave->Recording());
        play(b);
        m_wave->StopRecording();
        QCOMPARE(cwt::test::ReadAll(path(QStringLiteral("first.wav"))).mid(58),
                 Bytes(a) + Bytes(b));
        QVERIFY(!QFile::exists(path(QStringLiteral("second.wav"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("second.wav.tmp"))));
    }

    void noFileNeverRecords() {
        int starts = 0;
        m_wave->OnRecordStart = [&](TVelWaveCtrl*) { ++starts; };
        m_wave->setFileName(QString());
        m_wave->StartRecording();
        QVERIFY(!m_wave->Recording());
        QCOMPARE(m_errors.size(), 1);

        record(QStringLiteral("missing/dir/z.wav"));
        QVERIFY(!m_wave->Recording());
        QCOMPARE(m_errors.size(), 2);
        QVERIFY(m_errors[1].contains(QStringLiteral("z.wav.tmp")));
        QCOMPARE(starts, 0);
        play(Pattern(100));
        m_wave->StopRecording();
        QCOMPARE(m_stops, 0);
    }

    void fullDiskEndsTheRecordingKeepingAPlayableFile() {
        const auto a = Pattern(4000);
        record(QStringLiteral("full.wav"));
        {
            FileSizeLimit limit(58 + 10001);
            play(a, 'B');
            play(a, 'C');
            play(a, 'D');  // only 2001 bytes of it fit
            QVERIFY(cwt::test::WaitUntil([this] { return !m_wave->Recording(); }, 5000));
            play(a);
        }
        QCOMPARE(m_errors.size(), 1);
        QVERIFY2(m_errors[0].startsWith(
                     QStringLiteral("Write 'data' chunk failed : MMIOERR_CANNOTWRITE")),
                 qPrintable(m_errors[0]));
        QCOMPARE(m_stops, 1);
        const QByteArray file = cwt::test::ReadAll(path(QStringLiteral("full.wav")));
        QCOMPARE(file.size(), 58 + 10001);  // the pad byte did not fit either
        QCOMPARE(Le32(file, 4), static_cast<uint32_t>(file.size() - 8));
        QCOMPARE(Le32(file, 54), 10001u);
        QCOMPARE(Le32(file, 46), 10001u);
        QCOMPARE(file.mid(58), (Bytes(a) + Bytes(a) + Bytes(a)).left(10001));
        const auto view = cwt::test::ReadWithPythonWave(path(QStringLiteral("full.wav")));
        QVERIFY2(view.ok, qPrintable(view.error));
        QCOMPARE(view.frames, 10001);
        QCOMPARE(cwt::test::SoxSampleCount(path(QStringLiteral("full.wav"))), 10001L);
    }

    void failureWhileFinishingDoesNotFinishAgain() {
        const auto a = Pattern(4001);
        record(QStringLiteral("pad.wav"));
        play(a);
        {
            FileSizeLimit limit(58 + 4001);  // everything fits but the pad byte
            m_wave->StopRecording();
        }
        QCOMPARE(m_stops, 1);
        QCOMPARE(
            m_errors,
            QStringList{QStringLiteral("Ascend in 'data' chunk failed : MMIOERR_CANNOTWRITE")});
        QVERIFY(!m_wave->Recording());
        const QByteArray file = cwt::test::ReadAll(path(QStringLiteral("pad.wav")));
        QCOMPARE(file.size(), 58 + 4001);
        QCOMPARE(Le32(file, 4), static_cast<uint32_t>(file.size() - 8));
        QCOMPARE(cwt::test::ReadWithPythonWave(path(QStringLiteral("pad.wav"))).frames, 4001);
    }

    void onlyPlayedWaveSoundIsRecorded() {
        record(QStringLiteral("none.wav"));
        m_device->setFailOpen(true);
        play(Pattern(100));
        m_device->setFailOpen(false);
        m_device->recover();

        struct SilentBeeper : cwt::Beeper {
            int beeps = 0;
            void beep(int, int) override { ++beeps; }
        } beeper;
        cwt::CodePlayer player(*m_wave, cwt::SpeakerOutput{nullptr, false, &beeper});
        cwt::CodeSettings settings;
        settings.pcSpeaker = true;
        settings.dotLength = 30;
        player.PlayCode("SL!", false, settings);
        QCOMPARE(beeper.beeps, 2);
        m_wave->StopRecording();
        QVERIFY(!QFile::exists(path(QStringLiteral("none.wav"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("none.wav.tmp"))));
    }

    void inputDeviceThatCannotOpenStartsNothing() {
        const QByteArray saved = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(path(QStringLiteral("no-server"))));
        m_wave->setPlaySoundRecord(false);
        record(QStringLiteral("input.wav"));
        if (saved.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", saved);
        QVERIFY(!m_wave->Recording());
        QCOMPARE(m_errors, QStringList{QStringLiteral("waveInOpen failed : MMSYSERR_NODRIVER")});
        QVERIFY(!QFile::exists(path(QStringLiteral("input.wav.tmp"))));
    }

    void symbolicNamesOfResultCodes() {
        QCOMPARE(cwt::MmErrorName(1), std::string("MMSYSERR_ERROR"));
        QCOMPARE(cwt::MmErrorName(2), std::string("MMSYSERR_BADDEVICEID"));
        QCOMPARE(cwt::MmErrorName(12), std::string("MMSYSERR_HANDLEBUSY"));
        QCOMPARE(cwt::MmErrorName(13), std::string("Unknown Error : 13"));
        QCOMPARE(cwt::MmErrorName(31), std::string("Unknown Error : 31"));
        QCOMPARE(cwt::MmErrorName(32), std::string("WAVERR_BADFORMAT"));
        QCOMPARE(cwt::MmErrorName(35), std::string("WAVERR_SYNC"));
        QCOMPARE(cwt::MmErrorName(36), std::string("Unknown Error : 36"));
        QCOMPARE(cwt::MmErrorName(256), std::string("Unknown Error : 256"));
        QCOMPARE(cwt::MmErrorName(257), std::string("MMIOERR_FILENOTFOUND"));
        QCOMPARE(cwt::MmErrorName(262), std::string("MMIOERR_CANNOTWRITE"));
        QCOMPARE(cwt::MmErrorName(272), std::string("MMIOERR_INVALIDFILE"));
        QCOMPARE(cwt::MmErrorName(273), std::string("Unknown Error : 273"));
        QCOMPARE(cwt::MmErrorName(-1), std::string("Unknown Error : -1"));
        QCOMPARE(cwt::MmFailureText("Close", 260),
                 std::string("Close failed : MMIOERR_CANNOTCLOSE"));
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_Recording.moc"
