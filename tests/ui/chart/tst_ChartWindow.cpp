// The chart window: the picture fills the client area at any window size, stretched in both
// directions, and closing the window only hides it.

#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QtTest>

#include "ui/chart/MorseCodeShowUnit.h"
#include "ui/common/JpegImage.h"
#include "ui/common/WindowFrame.h"

namespace {

QImage ChartImage() {
    QFile file(QStringLiteral(":/chart.jpg"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return cwt::DecodeJpeg(file.readAll()).image.convertToFormat(QImage::Format_RGB32);
}

// Mean absolute difference per channel between two pictures of the same size, 0..255.
double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    qint64 sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += qAbs(qRed(p[col]) - qRed(q[col])) + qAbs(qGreen(p[col]) - qGreen(q[col])) +
                   qAbs(qBlue(p[col]) - qBlue(q[col]));
    }
    return static_cast<double>(sum) / (3.0 * x.width() * x.height());
}

void SaveScreen(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("CWT_SCREEN_DIR");
    if (!dir.isEmpty()) widget->grab().save(dir + '/' + name);
}

}  // namespace

class ChartWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(cwt); }

    void createdHiddenWithItsLayout() {
        TMorseCodeForm form;
        QVERIFY(!form.isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("모스 코드표"));
        // 328 x 399 is the outer size, frame and title bar included.
        QCOMPARE(form.size(), QSize(328 - kLayoutFrameWidth, 399 - kLayoutFrameHeight));
        QCOMPARE(form.pos(), QPoint(676, 197));
        QVERIFY2(form.chartError().isEmpty(), qPrintable(form.chartError()));
        QCOMPARE(form.Image1->pixmap().size(), QSize(429, 525));
    }

    // The window starts smaller than the chart, then grows, then gets a shape quite unlike
    // the chart's; each time the picture is the whole chart stretched to the client area.
    void pictureFollowsTheWindowInBothDirections_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("layout size") << QSize(328, 399);
        QTest::newRow("enlarged") << QSize(700, 860);
        QTest::newRow("wide and low") << QSize(900, 300);
    }

    void pictureFollowsTheWindowInBothDirections() {
        QFETCH(QSize, size);
        const QImage chart = ChartImage();
        QVERIFY(!chart.isNull());

        TMorseCodeForm form;
        form.show();
        form.resize(size);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_COMPARE(form.size(), size);
        QCOMPARE(form.Image1->geometry(), form.rect());

        const QImage shown = form.Image1->grab().toImage();
        QCOMPARE(shown.size(), size);
        const QImage stretched =
            chart.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage keptRatio = chart.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage letterboxed(size, QImage::Format_RGB32);
        letterboxed.fill(form.palette().window().color());
        QPainter(&letterboxed).drawImage(0, 0, keptRatio);
        const double toStretched = MeanDifference(shown, stretched);
        QVERIFY2(toStretched < 3.0, qPrintable(QString::number(toStretched)));
        if (size.width() * chart.height() != size.height() * chart.width())
            QVERIFY(MeanDifference(shown, letterboxed) > 10 * toStretched);
        SaveScreen(&form, QStringLiteral("chart-%1x%2.png").arg(size.width()).arg(size.height()));
    }

    void closingOnlyHides() {
        TMorseCodeForm form;
        QPointer<TMorseCodeForm> alive(&form);
        form.bringToFront();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.close());
        QCoreApplication::processEvents();
        QVERIFY(alive);
        QVERIFY(!form.isVisible());
        form.bringToFront();  // shown again with its picture
        QVERIFY(form.isVisible());
        QVERIFY(!form.Image1->pixmap().isNull());
    }
};

QTEST_MAIN(ChartWindowTest)
#include "tst_ChartWindow.moc"
