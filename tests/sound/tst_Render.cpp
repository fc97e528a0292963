// cw-tamarik-render as a user runs it: options, input, exit codes and the WAV file it leaves.

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
};

QTEST_GUILESS_MAIN(TestRender)
#include "tst_Render.moc"
