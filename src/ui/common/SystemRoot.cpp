#include "ui/common/SystemRoot.h"

#include <QDir>
#include <QStandardPaths>

QString ReadSystemRoot() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + "/.config";
    const QString root = QDir::cleanPath(base + "/cw-tamarik");
    QDir().mkpath(root);
    return root;
}

QString TempDirOf(const QString& systemRoot) { return systemRoot + "/temp"; }
