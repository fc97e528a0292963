// The chart picture and the JPEG decoder: the committed chart is what the chart window
// expects, and damaged files come back as errors instead of crashes or grey pictures.

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QtTest>

#include "ui/common/JpegImage.h"

namespace {

QByteArray ReadChart() {
    QFile file(QStringLiteral(":/chart.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray EncodeWithQt(const QImage& image, bool progressive) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// Offset of the first frame marker (FF C0..CF), found by walking the marker segments.
qsizetype FrameMarkerOffset(const QByteArray& jpeg) {
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size()) {
        const auto marker = static_cast<unsigned char>(jpeg[pos + 1]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return pos;
        pos += 2 + ((static_cast<unsigned char>(jpeg[pos + 2]) << 8) |
                    static_cast<unsigned char>(jpeg[pos + 3]));
    }
    return -1;
}

}  // namespace

class JpegImageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        Q_INIT_RESOURCE(cwt);
        QVERIFY(!ReadChart().isEmpty());
    }

    void chartIsBaselineColour429By525() {
        const QByteArray chart = ReadChart();
        QVERIFY2(!chart.isEmpty(), "the chart is not among the resources");
        const qsizetype frame = FrameMarkerOffset(chart);
        QVERIFY(frame > 0);
        QCOMPARE(static_cast<unsigned char>(chart[frame + 1]), 0xC0);  // SOF0

        const cwt::JpegDecoded decoded = cwt::DecodeJpeg(chart);
        QVERIFY2(decoded.ok(), qPrintable(decoded.error));
        QCOMPARE(decoded.info.width, 429);
        QCOMPARE(decoded.info.height, 525);
        QCOMPARE(decoded.info.components, 3);
        QVERIFY(decoded.info.baseline);
        QVERIFY(!decoded.info.progressive);
        QCOMPARE(decoded.image.size(), QSize(429, 525));
        // Not a blank: the title band, the headings and the codes are all there.
        QVERIFY(decoded.image.pixelColor(0, 0).lightness() > 240);
        QVERIFY(decoded.image.pixelColor(70, 44).blue() > decoded.image.pixelColor(70, 44).red());
    }

    void decodesColoursAndGreyFaithfully() {
        QImage colour(32, 16, QImage::Format_RGB32);
        colour.fill(QColor(200, 40, 30));
        for (int x = 16; x < 32; ++x)
            for (int y = 0; y < 16; ++y) colour.setPixelColor(x, y, QColor(20, 60, 220));
        const cwt::JpegDecoded decoded = cwt::DecodeJpeg(EncodeWithQt(colour, false));
        QVERIFY2(decoded.ok(), qPrintable(decoded.error));
        QVERIFY(decoded.info.baseline);
        for (QPoint p : {QPoint(4, 8), QPoint(28, 8)}) {
            const QColor want = colour.pixelColor(p), got = decoded.image.pixelColor(p);
            QVERIFY2(qAbs(want.red() - got.red()) < 12 && qAbs(want.green() - got.green()) < 12 &&
                         qAbs(want.blue() - got.blue()) < 12,
                     qPrintable(got.name()));
        }

        QImage grey(8, 8, QImage::Format_Grayscale8);
        grey.fill(90);
        const cwt::JpegDecoded greyDecoded = cwt::DecodeJpeg(EncodeWithQt(grey, false));
        QVERIFY2(greyDecoded.ok(), qPrintable(greyDecoded.error));
        QCOMPARE(greyDecoded.info.components, 1);
        QVERIFY(qAbs(qGray(greyDecoded.image.pixel(3, 3)) - 90) < 4);
    }

    void progressiveFileIsNotBaseline() {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const cwt::JpegDecoded decoded = cwt::DecodeJpeg(EncodeWithQt(image, true));
        QVERIFY2(decoded.ok(), qPrintable(decoded.error));
        QVERIFY(decoded.info.progressive);
        QVERIFY(!decoded.info.baseline);
    }

    void damagedFilesGiveErrors_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray chart = ReadChart();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a JPEG") << QByteArrayLiteral("GIF89a this is no JPEG at all");
        QTest::newRow("start marker only") << QByteArray("\xFF\xD8", 2);
        QTest::newRow("cut in the header") << chart.left(100);
        QTest::newRow("cut at half") << chart.left(chart.size() / 2);
        QTest::newRow("end marker missing") << chart.left(chart.size() - 2);

        // A frame header that claims a picture far larger than any chart.
        QByteArray huge = chart;
        const qsizetype frame = FrameMarkerOffset(huge);
        huge[frame + 5] = huge[frame + 6] = huge[frame + 7] = huge[frame + 8] = '\xFF';
        QTest::newRow("forged size") << huge;

        QByteArray zeroWidth = chart;
        zeroWidth[frame + 7] = zeroWidth[frame + 8] = '\0';
        QTest::newRow("zero width") << zeroWidth;

        // Markers in the middle of the entropy-coded data.
        QByteArray scrambled = chart;
        for (qsizetype i = chart.size() / 3; i < chart.size() / 3 + 64; i += 2) {
            scrambled[i] = '\xFF';
            scrambled[i + 1] = '\xD0' + static_cast<char>(i % 3);
        }
        QTest::newRow("restart markers in the data") << scrambled;
    }

    void damagedFilesGiveErrors() {
        QFETCH(QByteArray, bytes);
        const cwt::JpegDecoded decoded = cwt::DecodeJpeg(bytes);
        QVERIFY(!decoded.ok());
        QVERIFY(decoded.image.isNull());
        QVERIFY(decoded.error.startsWith(QStringLiteral("JPEG: ")));
        QVERIFY(decoded.error.size() > 8);
    }

    // Random damage anywhere must never take the program down.
    void randomDamageNeverCrashes() {
        const QByteArray chart = ReadChart();
        QRandomGenerator random(4242);
        int failures = 0;
        for (int round = 0; round < 200; ++round) {
            QByteArray bytes = chart.left(random.bounded(1, static_cast<int>(chart.size()) + 1));
            for (int flips = random.bounded(1, 8); flips > 0; --flips)
                bytes[random.bounded(static_cast<int>(bytes.size()))] =
                    static_cast<char>(random.bounded(256));
            const cwt::JpegDecoded decoded = cwt::DecodeJpeg(bytes);
            QCOMPARE(decoded.ok(), !decoded.image.isNull());
            if (!decoded.ok()) ++failures;
        }
        QVERIFY(failures > 100);
    }
};

QTEST_GUILESS_MAIN(JpegImageTest)
#include "tst_JpegImage.moc"
