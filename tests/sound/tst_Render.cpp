// cw-tamarik-render as a user runs it: options, input, exit codes and the WAV file it leaves.

#include <QCryptographicHash>
#include <QProcess>
#include <QStringEncoder>
#include <QtTest>

#include "engine/morse/Cp949Text.h"
#include "tests/sound/support/AudioTestSupport.h"

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Tone and silence runs of 8-bit data (silence 128), as (isTone, length) pairs.
QList<QPair<bool, int>> Runs(const QByteArray& data, char silence = char(128)) {
    QList<QPair<bool, int>> runs;
    for (char byte : data) {
        const bool tone = byte != silence;
        if (runs.isEmpty() || runs.back().first != tone) runs.append({tone, 0});
        ++runs.back().second;
    }
    return runs;
}

int ToneCount(const QByteArray& data) {
    int count = 0;
    for (const auto& run : Runs(data)) count += run.first ? 1 : 0;
    return count;
}

}  // namespace

class TestRender : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    Run run(const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(cwt::test::RendererPath(), args);
        Run result;
        if (!process.waitForFinished(60000)) return result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
    QString input(const QString& name, const QByteArray& content) {
        const QString file = m_dir.filePath(name);
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(content);
        return file;
    }
    // Renders `text` with `options` and returns the data chunk of the WAV file.
    QByteArray render(const QByteArray& text, QStringList options = {}) {
        const QString out = m_dir.filePath(QStringLiteral("out.wav"));
        QFile::remove(out);
        options << input(QStringLiteral("in.txt"), text) << QStringLiteral("-o") << out;
        const Run result = run(options);
        if (result.exitCode != 0) {
            qWarning() << result.err;
            return {};
        }
        const QByteArray file = cwt::test::ReadAll(out);
        return file.size() >= 58 ? file.mid(58, cwt::test::Le32(file, 54)) : QByteArray();
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(cwt::test::RendererPath()), qPrintable(cwt::test::RendererPath()));
    }

    void helpAndWrongUsage() {
        const Run help = run({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith(
            QStringLiteral("Usage: cw-tamarik-render [OPTIONS] INPUT.txt -o OUTPUT.wav")));
        const QStringList options = {"--multiplier",
                                     "--width",
                                     "--freq",
                                     "--cut",
                                     "--slope",
                                     "--timbre",
                                     "--wave",
                                     "--bits",
                                     "--rate",
                                     "--no-collapse",
                                     "--no-trim",
                                     "--marks",
                                     "--no-sentence-end",
                                     "--play",
                                     "-o FILE"};
        for (const QString& option : options)
            QVERIFY2(help.out.contains(option), qPrintable(option));

        const QString text = input(QStringLiteral("ok.txt"), "E");
        const QString out = m_dir.filePath(QStringLiteral("bad.wav"));
        const QList<QStringList> wrong = {
            {},
            {text},
            {text, QStringLiteral("-o")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--multiplier"), QStringLiteral("11")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--width"), QStringLiteral("0")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--freq"), QStringLiteral("9")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--freq"), QStringLiteral("12x")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--cut"), QStringLiteral("125")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--slope"), QStringLiteral("21")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--timbre"), QStringLiteral("51")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--wave"), QStringLiteral("M5")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--bits"), QStringLiteral("12")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--rate"), QStringLiteral("8000")},
            {text, QStringLiteral("-o"), out, QStringLiteral("--loud")},
            {text, text, QStringLiteral("-o"), out},
        };
        for (const QStringList& args : wrong) {
            const Run result = run(args);
            QVERIFY2(result.exitCode == 2, qPrintable(args.join(' ')));
            QVERIFY(!result.err.isEmpty());
        }
        QVERIFY(!QFile::exists(out));
        QCOMPARE(run({text, QStringLiteral("-o"), out, QStringLiteral("--cut"),
                      QStringLiteral("32760"), QStringLiteral("--bits"), QStringLiteral("16")})
                     .exitCode,
                 0);
    }

    void inputThatCannotBeSent() {
        const QString out = m_dir.filePath(QStringLiteral("never.wav"));
        const Run emoji = run(
            {input(QStringLiteral("e.txt"), "AB\n\xF0\x9F\x98\x80"), QStringLiteral("-o"), out});
        QCOMPARE(emoji.exitCode, 1);
        QVERIFY2(emoji.err.contains(QStringLiteral("U+1F600")), qPrintable(emoji.err));
        QCOMPARE(
            run({input(QStringLiteral("bad.txt"), "A\xFF"), QStringLiteral("-o"), out}).exitCode,
            1);
        QCOMPARE(
            run({m_dir.filePath(QStringLiteral("absent.txt")), QStringLiteral("-o"), out}).exitCode,
            1);
        QCOMPARE(run({input(QStringLiteral("ok.txt"), "E"), QStringLiteral("-o"),
                      m_dir.filePath(QStringLiteral("no/dir/x.wav"))})
                     .exitCode,
                 1);
        QVERIFY(!QFile::exists(out));
    }

    void oneLetterWithTheWindowsDefaults() {
        // x5, tone width 4: a unit of 750 samples; E is one unit of tone and seven of silence.
        const QByteArray data = render("E");
        QCOMPARE(data.size(), 8 * 750);
        for (int i = 0; i < 750; ++i) QCOMPARE(uint8_t(data[i]), uint8_t((i / 4) % 2 ? 148 : 108));
        QCOMPARE(data.mid(750), QByteArray(7 * 750, char(128)));
        const auto view = cwt::test::ReadWithPythonWave(m_dir.filePath(QStringLiteral("out.wav")));
        QVERIFY2(view.ok, qPrintable(view.error));
        QCOMPARE(view.data, data);
        QCOMPARE(cwt::test::SoxSampleCount(m_dir.filePath(QStringLiteral("out.wav"))), 6000L);
    }

    void linesEndAlikeAndASyllableEndsWithItsLongGap() {
        const QByteArray ab = render("AB");
        QVERIFY(!ab.isEmpty());
        QCOMPARE(render("AB\n"), ab);
        QCOMPARE(render("\xEF\xBB\xBF"
                        "AB\r\n"),
                 ab);
        const QByteArray crlf = render("A\r\nB", {QStringLiteral("--no-trim")});
        QCOMPARE(render("A\rB", {QStringLiteral("--no-trim")}), crlf);
        QCOMPARE(render("A\nB", {QStringLiteral("--no-trim")}), crlf);
        QCOMPARE(ToneCount(crlf), 2 + 5 + 4);  // A, BT for the line end, B
        QCOMPARE(ToneCount(render("A\nB", {QStringLiteral("--no-sentence-end")})), 2 + 4);

        // 가: L then E, a character gap between them and the syllable's long gap after E.
        const QByteArray ga = render("\xEA\xB0\x80");
        QCOMPARE(ga.size(), 30 * 750);
        QCOMPARE(Runs(ga).back(), (QPair<bool, int>{false, 13 * 750}));
    }

    void readsEveryEncodingTheWindowOpens() {
        const QString text = QStringLiteral("한글 CQ 73\r\n[AR]");
        const QByteArray utf8 = render(text.toUtf8());
        QVERIFY(!utf8.isEmpty());
        const std::string cp949 = *cwt::cp949::EncodeStrict(text.toStdU16String());
        QCOMPARE(render(QByteArray::fromStdString(cp949)), utf8);
        for (const auto order : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
            QStringEncoder utf16(order, QStringConverter::Flag::WriteBom);
            QCOMPARE(render(utf16(text)), utf8);
        }
    }

    void marksAndTidying() {
        const QByteArray marked = render("E", {QStringLiteral("--marks")});
        QCOMPARE(ToneCount(marked), 4 + 1 + 1 + 2 + 3);  // BT, E, AR
        const auto runs = Runs(marked);
        QCOMPARE(runs[7], (QPair<bool, int>{false, 750}));  // B runs into T
        QCOMPARE(runs[9], (QPair<bool, int>{false, 7 * 750}));

        // Blanks: collapsed to one word space unless told not to.
        QCOMPARE(render("E     E").size(), (8 + 8 + 8) * 750);
        QCOMPARE(render("E   E", {QStringLiteral("--no-collapse")}).size(), (8 + 3 * 8 + 8) * 750);
        // A lone blank survives the collapse and is a word space: eight units of silence.
        QCOMPARE(render("  \n"), QByteArray(8 * 750, char(128)));
        // Nothing left to send: no file, success.
        const QString out = m_dir.filePath(QStringLiteral("quiet.wav"));
        const Run empty =
            run({input(QStringLiteral("empty.txt"), "\r\n\n"), QStringLiteral("-o"), out});
        QCOMPARE(empty.exitCode, 0);
        const Run blank = run({input(QStringLiteral("blank.txt"), " \t \n"),
                               QStringLiteral("--no-collapse"), QStringLiteral("-o"), out});
        QCOMPARE(blank.exitCode, 0);
        QVERIFY(!QFile::exists(out));
        QVERIFY(!QFile::exists(out + QStringLiteral(".tmp")));
    }

    void letterLongerThanASlotIsWrittenWhole() {
        // x10 with tone width 10: a unit of 3300 samples; the digit 0 is 26 units, 85,800 bytes.
        const QByteArray zero = render("0", {QStringLiteral("--multiplier"), QStringLiteral("10"),
                                             QStringLiteral("--width"), QStringLiteral("10")});
        QCOMPARE(zero.size(), 26 * 3300);
        QList<QPair<bool, int>> expected;
        for (int i = 0; i < 5; ++i)
            expected << QPair<bool, int>{true, 9900} << QPair<bool, int>{false, 3300};
        expected.back().second = 7 * 3300;
        QCOMPARE(Runs(zero), expected);
    }

    void toneOptionsReachTheSynthesis() {
        const QByteArray saw = render("E", {QStringLiteral("--wave"), QStringLiteral("M4"),
                                            QStringLiteral("--cut"), QStringLiteral("60")});
        QCOMPARE(saw.left(5), QByteArray("\x95\xAA\xBF\xC4\x3C"));  // 149 170 191 196 60
        const QByteArray sixteen = render("E", {QStringLiteral("--bits"), QStringLiteral("16")});
        QCOMPARE(sixteen.right(10), QByteArray(10, '\0'));
        const QByteArray narrow = render(
            "E", {QStringLiteral("--timbre"), QStringLiteral("2"), QStringLiteral("--multiplier"),
                  QStringLiteral("1"), QStringLiteral("--width"), QStringLiteral("1")});
        QCOMPARE(narrow.size(), 8 * 60);
        QCOMPARE(narrow.left(6), QByteArray("\x6C\x6C\x94\x94\x6C\x6C"));
    }

    void filesAreTheSameBytesAsEverBefore() {
        // Checksums of whole files as the renderer wrote them while it still kept the whole
        // send in memory: header, chunk sizes and every sample, for tones, Hangul, signs, marks,
        // tidying, both sample sizes, several rates and waveforms.
        const QByteArray english = "CQ CQ DE HL1ABC HL1ABC [AR] K\nRST 599 599 QTH SEOUL 73 [SK]";
        const QByteArray korean =
            "\xED\x95\x9C\xEA\xB5\xAD \xEC\x95\x84\xEB\xA7\x88"
            "\xEC\xB6\x94\xEC\x96\xB4 73\r\n[BT] \xEC\x98\x88 "
            "\xEC\x96\x98 \xEB\x81\x9D";
        QByteArray longText;
        for (int i = 0; i < 40; ++i)
            longText += "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 .,?/ [BT]\n";
        const QList<QPair<QByteArray, QStringList>> cases = {
            {english, {}},
            {korean, {"--marks"}},
            {korean,
             {"--bits", "16", "--rate", "44100", "--wave", "M3", "--slope", "5", "--timbre", "10",
              "--freq", "1200", "--cut", "20000"}},
            {english, {"--wave", "M2", "--rate", "5512", "--multiplier", "1", "--width", "1"}},
            {"  A   B \n\n C  ", {"--no-collapse", "--no-trim", "--no-sentence-end"}},
            {"E", {"--multiplier", "3", "--width", "2"}},
            // Letters longer than a slot, written in pieces.
            {"0 9 0", {"--multiplier", "10", "--width", "10", "--wave", "M4"}},
            {longText, {"--multiplier", "2", "--rate", "22050"}},
        };
        const QStringList expected = {
            "358119457b046d9f2fb1cb8023a173dbf8f3f6185efe4d856462e7a7385fea5c",
            "1617f66e0a2dcf5d7c43f81758485ffd7ae3e5ba59ae98ae7db54b5893dffa1c",
            "467a55de34d870d02f382c0ed3bccb0e73e659a0bf4ed1f395045e77f24b9cfb",
            "c3abb512b579607316a7e9be8fd0bf5bc7bf74e6440f6e69c8443eee75710098",
            "b572ac5cf54e40f75a2b222df5093f3dbee3ce4eaa77fb8ebf1a3265e6dfd3ce",
            "2836c2a6d5766b60ca9734b635e2eaa71e2a605294242f16f8b6defc9c1859ad",
            "d6311badbb34f90667dc9325493d6edf06fdf32e5f7b7a4951165ebb72df33cc",
            "c0759635841a3a2ca30843cc3b36085b64c4e14465b3e06d7404416b8eb6f89c",
        };
        const QString out = m_dir.filePath(QStringLiteral("same.wav"));
        for (qsizetype i = 0; i < cases.size(); ++i) {
            QFile::remove(out);
            QStringList args = cases[i].second;
            args << input(QStringLiteral("same.txt"), cases[i].first) << QStringLiteral("-o")
                 << out;
            QCOMPARE(run(args).exitCode, 0);
            const QByteArray file = cwt::test::ReadAll(out);
            const QString sum = QString::fromLatin1(
                QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex());
            QVERIFY2(
                sum == expected[i],
                qPrintable(
                    QStringLiteral("case %1 (%2 bytes): %3").arg(i).arg(file.size()).arg(sum)));
        }
    }
};

QTEST_GUILESS_MAIN(TestRender)
#include "tst_Render.moc"
