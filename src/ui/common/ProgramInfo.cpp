#include "ui/common/ProgramInfo.h"

#include <QUrl>

namespace cwt {

QString ProgramName() { return QStringLiteral("CW Tamarik - 타마릭"); }

QString ProgramVersion() { return QStringLiteral(CWT_VERSION); }

QString ProgramHomepage() { return QStringLiteral(CWT_HOMEPAGE); }

QString ProgramHomepageShown() {
    return QUrl(ProgramHomepage())
        .toString(QUrl::RemoveScheme | QUrl::StripTrailingSlash)
        .mid(2);  // the "//" the scheme leaves
}

}  // namespace cwt
