// Random five-character groups for receiving practice: written into the editor ten to a line
// and sent one by one, until the operator releases the button.

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>

#include "components/VelAccessible.h"
#include "components/VelLabel.h"
#include "engine/morse/MorseTable.h"
#include "ui/common/RadioGroup.h"
#include "ui/main/SoundUnit.h"

namespace {

constexpr int kGroupLength = 5;
constexpr int kGroupsPerLine = 10;

// The 49 symbols of "문자,숫자": letters, digits, then the punctuation of the Morse table.
constexpr char kPunctuation[] = ".,?/=;:'\"()+-";

char DrawCharacter(std::mt19937& random, int set) {
    switch (set) {
        case 0:  // "문자": A to Y; Z is never drawn
            return static_cast<char>('A' + std::uniform_int_distribution<int>(0, 24)(random));
        case 1:  // "숫자"
            return static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(random));
        default: {
            const int value = std::uniform_int_distribution<int>(0, 48)(random);
            if (value < 26) return static_cast<char>('A' + value);
            if (value < 36) return static_cast<char>('0' + value - 26);
            return kPunctuation[value - 36];
        }
    }
}

void SetRandomButtonCaption(QPushButton* button, bool generating) {
    button->setText(generating ? QStringLiteral("무작위 생성 종료")
                               : QStringLiteral("무작위 5문자 생성"));
    // Red while generating; otherwise the style's own colours, whose faded text shows the
    // button disabled during a text send.
    QPalette palette;
    if (generating) {
        palette = button->palette();
        palette.setColor(QPalette::Active, QPalette::ButtonText, Qt::red);
        palette.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::red);
    }
    button->setPalette(palette);
}

}  // namespace

QString TForm1::RandomGroup(int count, int groups, int set) {
    QString result;
    for (int g = 0; g < groups; ++g) {
        if (g > 0) result += QChar(' ');
        for (int i = 0; i < count; ++i) {
            result += QChar(DrawCharacter(m_random, set));
            QCoreApplication::processEvents();
        }
    }
    return result;
}

void TForm1::RandomSoundButtonClick(QObject* /*Sender*/) {
    QTextCursor cursor = Memo1->textCursor();
    cursor.movePosition(QTextCursor::End);
    Memo1->setTextCursor(cursor);
    const int line = cursor.blockNumber();
    if (m_closed) RandomSoundButton->setChecked(false);
    if (!RandomSoundButton->isChecked()) {
        // A loop that is running notices the released button and ends.
        SetRandomButtonCaption(RandomSoundButton, false);
        return;
    }
    SetRandomButtonCaption(RandomSoundButton, true);
    BeginSending(RandomSoundButton);
    m_random.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    runGroupLoop(line);
    AutoStopButtonClick(RandomSoundButton);
    // Released by the recording button or by closing, the button never ran its own click.
    if (!RandomSoundButton->isChecked()) SetRandomButtonCaption(RandomSoundButton, false);
}

void TForm1::runGroupLoop(int line) {
    int groupNumber = 1;
    while (RandomSoundButton->isChecked()) {
        const QString group = RandomGroup(kGroupLength, 1, RadioGroup2->itemIndex());
        writeGroup(group, line, groupNumber);
        // The group just written is selected: its five characters before the final line end.
        const int end = Memo1->document()->characterCount() - 1;
        QTextCursor cursor(Memo1->document());
        cursor.setPosition(end - kGroupLength);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        Memo1->setTextCursor(cursor);
        Memo1->ensureCursorVisible();
        QCoreApplication::processEvents();
        if (RandomSoundButton->isChecked()) sendGroup(group);
    }
}

void TForm1::writeGroup(const QString& group, int& line, int& groupNumber) {
    QTextDocument* document = Memo1->document();
    QTextCursor cursor(document);
    if (groupNumber > kGroupsPerLine) {
        // The eleventh group opens a new last line and counts as that line's first group.
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(group);
        ++line;
        groupNumber = 2;
        return;
    }
    QTextBlock block = document->findBlockByNumber(line);
    if (!block.isValid()) block = document->lastBlock();
    cursor = QTextCursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText(groupNumber == 1 ? group : QStringLiteral(" ") + group);
    ++groupNumber;
}

void TForm1::sendGroup(const QString& group) {
    for (QChar ch : group) {
        const auto byte = static_cast<uint8_t>(ch.toLatin1());
        const int row = cwt::MorseIndex(byte);
        showPicture(row == cwt::kWordSpaceRow ? -1 : row);
        Label2->setText(QString());
        cwt::SetLabelText(Label5, QString(ch));
        PlayCode(std::string(cwt::CodeOfChar(byte)) + "!", false);
        if (!RandomSoundButton->isChecked()) return;
    }
    SendSign("!");  // the word gap
}
