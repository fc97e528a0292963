#pragma once
// The window layouts name the fonts of a Korean Windows desktop. These substitutions map
// them onto fonts a Linux desktop has, so the layouts keep their names and still render
// Korean text in a Korean face.

#include <QFont>
#include <QString>

namespace cwt {

// Serif body text of the windows ("바탕") and the fixed-pitch editor font ("바탕체").
inline const QString kBatang = QStringLiteral("바탕");
inline const QString kBatangChe = QStringLiteral("바탕체");
inline const QString kMsSansSerif = QStringLiteral("MS Sans Serif");

// Registers the substitutions; call once, after the application object exists.
void InstallFontSubstitutions();

// A font of the layouts, sized in pixels as the layouts give it.
QFont LayoutFont(const QString& family, int pixelSize, bool bold = false);

}  // namespace cwt
