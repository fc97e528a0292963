// Sending at once: the procedure-sign buttons, live typing in Edit1 and keying dots and
// dashes with the mouse on the big letter; the recording button; and the key preview that
// lets the window see every key before the focused control.

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "components/VelEdit.h"
#include "components/VelLabel.h"
#include "sound/VelWaveCtrl.h"
#include "ui/main/SoundUnit.h"

namespace {

// The sign text each button sends; "KA" sends K and A as two letters.
const char* const kFuncSigns[12] = {"VVV", "AR", "AS", "BK", "BT", "HH",
                                    "K!A", "KN", "K",  "VA", "VE", "II"};

const QColor kEdit1FocusColour(0xFE, 0xFF, 0xD2);

}  // namespace

void TForm1::FuncButton1Click(QObject* Sender) {
    if (VelWaveCtrl1->Playing()) return;
    // The number is written by the characters after "FuncButton".
    const int number = Sender ? Sender->objectName().mid(10, 2).toInt() : 0;
    if (number < 1 || number > 12) return;
    SendSign(kFuncSigns[number - 1]);
}

void TForm1::Edit1KeyPress(QChar key) {
    // Keys typed while a character sounds are entered into the box but not sent.
    m_edit1KeyPressAttached = false;
    const char16_t code = key.unicode();
    if (code >= 32) SendChar(code < 256 ? static_cast<uint8_t>(code) : uint8_t{0x80}, false, false);
    m_edit1KeyPressAttached = true;
}

void TForm1::Label5MouseDown(Qt::MouseButton button) {
    if (VelWaveCtrl1->Playing()) return;
    if (button == Qt::LeftButton)
        PlayCode("S", false);
    else if (button == Qt::RightButton)
        PlayCode("L", false);
}

void TForm1::RecordButtonClick(QObject* /*Sender*/) {
    if (RecordButton->isChecked()) {
        const QString fileName = chooseSaveFile();
        if (fileName.isEmpty()) {
            RecordButton->setChecked(false);
            return;
        }
        // A recording still open under another name (random groups raised the button without
        // ending it) is finished first: its file keeps what it has, the new one gets the rest.
        const QString openFile = VelWaveCtrl1->RecordFileName();
        if (!openFile.isEmpty() && openFile != fileName) {
            StopRecording();
            showWarning(QStringLiteral("사운드녹음"),
                        QStringLiteral("'%1' 파일의 녹음을 마쳤습니다. 이제 '%2' 파일에 "
                                       "녹음합니다.")
                            .arg(openFile, fileName));
        }
        VelWaveCtrl1->setFileName(fileName);
        RecordButton->setText(QStringLiteral("녹음중"));
        setRecordButtonColour(true);
        VelWaveCtrl1->StartRecording();
        // It could not start (the warning says why): the button comes up again.
        if (!VelWaveCtrl1->Recording()) {
            RecordButton->setChecked(false);
            RecordButton->setText(QStringLiteral("사운드녹음"));
            setRecordButtonColour(false);
        }
        return;
    }
    RecordButton->setText(QStringLiteral("사운드녹음"));
    setRecordButtonColour(false);
    StopRecording();
}

void TForm1::setRecordButtonColour(bool recording) {
    QPalette palette = RecordButton->palette();
    palette.setColor(QPalette::ButtonText, recording ? Qt::red : Qt::blue);
    RecordButton->setPalette(palette);
}

// The exclusive pair: pressing one down releases the other, without the other's click.
void TForm1::pressToggle(QPushButton* pressed) {
    if (!pressed->isChecked()) return;
    for (QPushButton* other : {RecordButton, RandomSoundButton})
        if (other != pressed && other->isChecked()) other->setChecked(false);
}

bool TForm1::filterEdit1Event(QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusIn: {
            SetEdit1Background(true);
            // Qt selects the whole text of a line edit reached with Tab, and the first typed
            // letter would replace it; the box keeps its text and the letters add to it.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            static_cast<QObject*>(Edit1)->event(event);
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                reason == Qt::ShortcutFocusReason)
                Edit1->end(false);
            return true;
        }
        case QEvent::FocusOut:
            SetEdit1Background(false);
            return false;
        case QEvent::KeyPress: {
            if (!m_edit1KeyPressAttached) return false;
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (text.isEmpty()) return false;
            // The character goes into the box first, then it is sent; keys typed meanwhile
            // then land after it.
            static_cast<QObject*>(Edit1)->event(event);
            for (QChar ch : text) Edit1KeyPress(ch);
            return true;
        }
        default:
            return false;
    }
}

void TForm1::SetEdit1Background(bool focused) {
    QPalette palette = Edit1->palette();
    palette.setColor(QPalette::Base,
                     focused ? kEdit1FocusColour : QPalette().color(QPalette::Base));
    Edit1->setPalette(palette);
}

bool TForm1::filterBigLetterEvent(QEvent* event) {
    // The second press of a quick pair arrives as a double click only; it keys all the same,
    // or every other element of a fast rhythm would be lost.
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    Label5MouseDown(static_cast<QMouseEvent*>(event)->button());
    return true;
}
