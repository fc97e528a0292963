#pragma once
// The program's own name, version and homepage, as the link label, the About box and the
// manual page give them. The homepage is the one the AppStream file names, taken from it when
// the program is built, so the window and the software centre never send the operator to
// different places.

#include <QString>

namespace cwt {

// "CW Tamarik - 타마릭", the main window's caption.
QString ProgramName();
// "1.0.0", the project's version.
QString ProgramVersion();
// The full address, "https://…".
QString ProgramHomepage();
// The address as a label shows it: without the scheme and a trailing slash.
QString ProgramHomepageShown();

}  // namespace cwt
