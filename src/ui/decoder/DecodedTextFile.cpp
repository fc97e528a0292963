#include "ui/decoder/DecodedTextFile.h"

#include <QSaveFile>

bool SaveDecodedText(const QString& path, const QString& text, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("'%1' 파일을 만들 수 없습니다: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray bytes = text.toUtf8();
    if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes.append('\n');
    if (file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("'%1' 파일에 쓸 수 없습니다: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error =
            QStringLiteral("'%1' 파일을 저장하지 못했습니다: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
