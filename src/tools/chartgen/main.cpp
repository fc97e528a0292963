// cwt-chartgen: draws the Morse chart and the program icon into a folder (normally the
// repository's resources/). The chart is written as a 429 × 525 baseline JPEG because the
// chart window decodes it with libjpeg; the icon as a 256 × 256 PNG (the window's own icon)
// and, for the desktop's menus, as 48 and 128 pixel PNGs and an SVG in icons/.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "ChartPainter.h"
#include "IconPainter.h"
#include "JpegWriter.h"

namespace {

constexpr int kChartQuality = 92;
constexpr int kMenuIconSizesPx[] = {48, 128};

bool WriteText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size() && file.flush();
}

// The desktop's icon sizes beside the window's 256-pixel icon; empty on success.
QString WriteMenuIcons(const QDir& out) {
    if (!out.mkpath(QStringLiteral("icons"))) return out.filePath(QStringLiteral("icons"));
    for (int sizePx : kMenuIconSizesPx) {
        const QString path = out.filePath(QStringLiteral("icons/cw-tamarik-%1.png").arg(sizePx));
        if (!PaintIcon(sizePx).save(path, "PNG")) return path;
    }
    const QString svgPath = out.filePath(QStringLiteral("icons/cw-tamarik.svg"));
    return WriteText(svgPath, IconSvg()) ? QString() : svgPath;
}

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
    const QString failed = WriteMenuIcons(out);
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "%s: cannot write the icon\n", qPrintable(failed));
        return 1;
    }
    std::printf("wrote %s, %s and the icons in %s\n", qPrintable(chartPath), qPrintable(iconPath),
                qPrintable(out.filePath(QStringLiteral("icons"))));
    return 0;
}
