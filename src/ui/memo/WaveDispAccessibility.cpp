// The memo window for screen readers: the memo is named for what it holds, the characters
// decoded back from the sound that was played.

#include <QPlainTextEdit>

#include "ui/memo/WaveDispUnit.h"

void TForm2::NameControlsForScreenReaders() {
    Memo1->setAccessibleName(QStringLiteral("해독 메모"));
}
