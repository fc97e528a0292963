#include "ui/common/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <string>

cwt::IniProfile ReadIniFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return cwt::IniProfile::Parse(std::string_view(bytes.constData(), bytes.size()));
}

bool ChangeIniFile(const QString& path, const std::function<void(cwt::IniProfile&)>& change) {
    QByteArray old;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) return false;
        old = existing.readAll();
        existing.close();
    }
    cwt::IniProfile ini = cwt::IniProfile::Parse(std::string_view(old.constData(), old.size()));
    change(ini);

    const std::string text = ini.Serialize();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    // The device buffers what is written, and QSaveFile::commit() does not look at errors
    // that only show when that buffer goes to the disk: flush and check first, so a file
    // written in part never replaces the old one.
    const bool written = file.write(text.data(), static_cast<qint64>(text.size())) ==
                             static_cast<qint64>(text.size()) &&
                         file.flush() && file.error() == QFileDevice::NoError;
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
