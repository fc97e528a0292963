#include "ui/common/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace cwt {

namespace {

// The first installed family of the list; the last entry is the fallback.
QString FirstInstalled(const QStringList& families) {
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : families)
        if (installed.contains(family, Qt::CaseInsensitive)) return family;
    return families.back();
}

}  // namespace

void InstallFontSubstitutions() {
    // Nanum Myeongjo is the serif face closest to 바탕; the coding font keeps 바탕체's fixed
    // pitch, which the play display's columns rely on.
    QFont::insertSubstitutions(kBatang,
                               {FirstInstalled({"NanumMyeongjo", "NanumGothic"}), "NanumGothic"});
    QFont::insertSubstitutions(
        kBatangChe, {FirstInstalled({"NanumGothicCoding", "NanumGothic"}), "NanumGothic"});
    // The desktop's own sans face; Hangul in it falls back through fontconfig to a Nanum face.
    const QString sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QFont::insertSubstitutions(kMsSansSerif, {sans, "NanumGothic"});
}

QFont LayoutFont(const QString& family, int pixelSize, bool bold) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace cwt
