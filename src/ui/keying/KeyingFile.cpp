#include "ui/keying/KeyingFile.h"

#include "ui/common/IniFile.h"
#include "ui/common/SystemRoot.h"

QString KeyingFilePath() { return ReadSystemRoot() + "/" + kKeyingFileName; }

cwt::KeyingSettings ReadKeyingFile(const QString& path) {
    return cwt::ReadKeyingSettings(ReadIniFile(path));
}

bool WriteKeyingFile(const QString& path, const cwt::KeyingSettings& settings) {
    return ChangeIniFile(path,
                         [&](cwt::IniProfile& ini) { cwt::WriteKeyingSettings(ini, settings); });
}
