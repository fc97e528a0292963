// The 51 code pictures: each shows its row's code, dot for dot and bar for bar, centred.

#include <QPainter>
#include <QtTest>
#include <string>

#include "engine/morse/MorseTable.h"
#include "ui/common/CodePictures.h"

namespace {

struct Run {
    int start;
    int length;
};

bool IsBlue(QRgb pixel) {
    return qAlpha(pixel) >= 128 && qBlue(pixel) > 2 * qRed(pixel) &&
           qBlue(pixel) > 2 * qGreen(pixel);
}

// The blue runs along the middle row of a picture.
std::vector<Run> BlueRuns(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int middle = image.height() / 2;
    std::vector<Run> runs;
    for (int x = 0; x < image.width(); ++x) {
        if (!IsBlue(image.pixel(x, middle))) continue;
        if (!runs.empty() && runs.back().start + runs.back().length == x)
            ++runs.back().length;
        else
            runs.push_back({x, 1});
    }
    return runs;
}

// A magnified strip of all pictures for looking at, when CWT_SCREEN_DIR names a folder.
void SaveStrip(const CodePictures& pictures) {
    const QString dir = qEnvironmentVariable("CWT_SCREEN_DIR");
    if (dir.isEmpty()) return;
    const int scale = 3;
    QImage strip(2 * 81 * scale + 30, 26 * 10 * scale, QImage::Format_RGB32);
    strip.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter painter(&strip);
    for (int row = 0; row < 51; ++row) {
        const QPoint at((row / 26) * (81 * scale + 30), (row % 26) * 10 * scale);
        painter.drawImage(QRect(at, QSize(81 * scale, 9 * scale)), pictures.image(row));
    }
    painter.end();
    strip.save(dir + "/code-pictures.png");
}

}  // namespace

class CodePicturesTest : public QObject {
    Q_OBJECT

private slots:
    void fiftyOnePicturesOf81By9() {
        const CodePictures pictures;
        QCOMPARE(pictures.count(), 51);
        for (int row = 0; row < 51; ++row) {
            QCOMPARE(pictures.image(row).size(), QSize(81, 9));
            QCOMPARE(pictures.pixmap(row).size(), QSize(81, 9));
        }
        // Rows 51 to 53 (ER, KR, word space) have none.
        for (int row : {-1, 51, 52, 53}) {
            QVERIFY(pictures.image(row).isNull());
            QVERIFY(pictures.pixmap(row).isNull());
        }
        SaveStrip(pictures);
    }

    // Reads every picture back into a code: a short blue run is a dot, a run at least twice
    // as long a bar, a wide gap the blank of rows 49 and 50.
    void everyPictureReadsBackAsItsCode() {
        const CodePictures pictures;
        for (int row = 0; row < 51; ++row) {
            const std::string_view code = cwt::MorseCodes[row];
            const std::vector<Run> runs = BlueRuns(pictures.image(row));
            QVERIFY(!runs.empty());
            // A round dot is as wide as it is high.
            const QImage picture = pictures.image(row).convertToFormat(QImage::Format_ARGB32);
            const int centre = runs.front().start + runs.front().length / 2;
            int dot = 0;
            for (int y = 0; y < 9; ++y) dot += IsBlue(picture.pixel(centre, y)) ? 1 : 0;
            int gap = 81;
            for (size_t i = 1; i < runs.size(); ++i)
                gap = std::min(gap, runs[i].start - runs[i - 1].start - runs[i - 1].length);
            std::string read;
            for (size_t i = 0; i < runs.size(); ++i) {
                if (i > 0 &&
                    runs[i].start - runs[i - 1].start - runs[i - 1].length > 2 * gap + dot / 2)
                    read += ' ';
                read += runs[i].length >= 2 * dot ? 'L' : 'S';
            }
            QVERIFY2(read == code,
                     qPrintable(QStringLiteral("row %1: picture %2, code %3")
                                    .arg(row)
                                    .arg(QString::fromStdString(read))
                                    .arg(QString::fromLatin1(code.data(), code.size()))));

            const int left = runs.front().start;
            const int right = 81 - (runs.back().start + runs.back().length);
            QVERIFY2(qAbs(left - right) <= 1,
                     qPrintable(QStringLiteral("row %1 off centre").arg(row)));
        }
    }

    // A dot is round (its corners stay clear) and a bar is about three dots long.
    void dotsAreRoundAndBarsThreeDotsLong() {
        const QImage e = CodePictures::Draw("S").convertToFormat(QImage::Format_ARGB32);
        const std::vector<Run> dot = BlueRuns(e);
        QCOMPARE(dot.size(), size_t(1));
        const int x0 = dot[0].start, x1 = dot[0].start + dot[0].length - 1;
        int top = 0;
        while (qAlpha(e.pixel(x0 + dot[0].length / 2, top)) < 128) ++top;
        const int bottom = 8 - top;
        QVERIFY(qAlpha(e.pixel(x0 + dot[0].length / 2, 4)) > 200);
        for (QPoint corner :
             {QPoint(x0, top), QPoint(x1, top), QPoint(x0, bottom), QPoint(x1, bottom)})
            QVERIFY(qAlpha(e.pixel(corner)) < qAlpha(e.pixel(x0 + dot[0].length / 2, 4)) * 3 / 4);

        const std::vector<Run> bar = BlueRuns(CodePictures::Draw("L"));
        QCOMPARE(bar.size(), size_t(1));
        QVERIFY(bar[0].length >= 5 * dot[0].length / 2 && bar[0].length <= 3 * dot[0].length + 1);
        // Nothing drawn for a blank.
        QVERIFY(BlueRuns(CodePictures::Draw(" ")).empty());
    }
};

QTEST_MAIN(CodePicturesTest)
#include "tst_CodePictures.moc"
