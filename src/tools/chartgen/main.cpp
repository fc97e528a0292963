// cwt-chartgen: draws the Morse chart and the program icon into a folder (normally the
// repository's resources/). The chart is written as a 429 × 525 baseline JPEG because the
// chart window decodes it with libjpeg; the icon as a 256 × 256 PNG.

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "ChartPainter.h"
#include "IconPainter.h"
#include "JpegWriter.h"

namespace {

constexpr int kChartQuality = 92;

}  // namespace

int main(int argc, char** argv) {
    // No display is needed to paint into pictures.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists()) {
        std::fprintf(stderr, "%s: no such folder\n", argv[1]);
        return 1;
    }

    const QString chartPath = out.filePath(QStringLiteral("chart.jpg"));
    const QString error = WriteBaselineJpeg(PaintChart(), chartPath, kChartQuality);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(chartPath), qPrintable(error));
        return 1;
    }
    const QString iconPath = out.filePath(QStringLiteral("cw-tamarik.png"));
    if (!PaintIcon().save(iconPath, "PNG")) {
        std::fprintf(stderr, "%s: cannot write the icon\n", qPrintable(iconPath));
        return 1;
    }
    std::printf("wrote %s and %s\n", qPrintable(chartPath), qPrintable(iconPath));
    return 0;
}
