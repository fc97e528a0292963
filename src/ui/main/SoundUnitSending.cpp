// The sequencer: a send run walks the text unit by unit, shows each unit (highlight in the
// source, play display, big letter, jamo or sign line, code picture, counters) and sends
// it; Stop and Pause are looked at between bytes, so they take effect when the letter being
// played is over.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include "components/VelAccessible.h"
#include "components/VelLabel.h"
#include "engine/morse/Cp949Text.h"
#include "engine/morse/HanGulCtrlUnit.h"
#include "engine/morse/SendDispatch.h"
#include "engine/morse/SendScanner.h"
#include "engine/morse/TextPrep.h"
#include "sound/VelWaveCtrl.h"
#include "ui/common/CodePictures.h"
#include "ui/main/SoundUnit.h"
#include "ui/main/TextFileLoader.h"
#include "ui/memo/WaveDispUnit.h"

namespace {

QString FromCp949(std::string_view bytes) {
    return QString::fromStdU16String(cwt::cp949::Decode(bytes));
}

}  // namespace

struct TForm1::Source {
    bool isEdit1 = false;
    cwt::Cp949Text text;
    int startPosition = 1;
};

bool TForm1::stopped() const { return AutoStartButton->isEnabled(); }

bool TForm1::paused() const { return PauseButton->isChecked(); }

void TForm1::BeginSending(QObject* Sender) {
    if (Sender == RandomSoundButton) {
        AutoStopButton->setEnabled(false);
        Memo1->setFocus();
        Edit1->setEnabled(false);
    } else {
        RandomSoundButton->setEnabled(false);
        AutoStopButton->setEnabled(true);
    }
    PauseButton->setEnabled(AutoStopButton->isEnabled());
    AutoStartButton->setEnabled(false);
    Memo1->setReadOnly(true);
    StartTime = std::chrono::steady_clock::now();
    Timer1->start();
    DispLine = 0;
}

// Reads the text to send from Edit1 (when the operator was typing there) or Memo1, tidies
// it and writes the tidied text back. Returns false for an empty text, leaving every control
// as it was.
bool TForm1::chooseSource(QObject* Sender, Source& source) {
    const cwt::Tidying tidying =
        cwt::SendTidying(DoubleSpaceTrimCheck->isChecked(), OpenSpaceTrimCheck->isChecked());
    if (focusWidget() == Edit1 && Edit1->isEnabled()) {
        source.isEdit1 = true;
        const QString tidied =
            QString::fromStdU16String(cwt::TidyEditor(Edit1->text().toStdU16String(), tidying));
        if (tidied != Edit1->text()) Edit1->setText(tidied);
        if (tidied.isEmpty()) return false;
        Edit1->setReadOnly(true);
        source.text = cwt::Cp949Text::FromEditor(tidied.toStdU16String());
        source.startPosition = 1;
        return true;
    }
    QString text = Memo1->toPlainText();
    if (Sender != nullptr) {
        const QString tidied =
            QString::fromStdU16String(cwt::TidyEditor(text.toStdU16String(), tidying));
        if (tidied != text) {
            // A long text is rebuilt in steps, the window repainted between them.
            ReplaceEditorText(Memo1, tidied);
            Memo1Change();
            text = tidied;
        }
    }
    if (text.isEmpty()) return false;
    source.text = cwt::Cp949Text::FromEditor(text.toStdU16String());
    if (Sender == PauseButton)
        source.startPosition = ResumePos > 0 ? ResumePos : 1;
    else if (Sender == nullptr)
        source.startPosition = MacroStartPos;
    else
        source.startPosition = 1;
    Edit1->setEnabled(false);
    return true;
}

void TForm1::AutoStartButtonClick(QObject* Sender) {
    if (m_closed) return;
    Source source;
    if (!chooseSource(Sender, source)) return;
    const bool resuming = Sender == PauseButton;
    ++m_activeRuns;
    if (!resuming) {
        DispMemo->clear();
        BeginSending(Sender);
    }
    if (source.isEdit1)
        Edit1->setFocus();
    else
        Memo1->setFocus();
    if (!resuming && StartEndMarkCheck->isChecked()) SendStartMark();

    runScan(source, source.startPosition, resuming);

    if (!paused() && !stopped() && m_scanPassedEnd && StartEndMarkCheck->isChecked())
        SendSign(cwt::kEndMarkSign);
    if (RecordButton->isChecked()) releaseRecordButton();
    if (!paused()) {
        AutoStopButtonClick(Sender);
        RandomSoundButton->setEnabled(true);
    }
    --m_activeRuns;
    // A resume asked for while this run was still finishing its letter starts now.
    if (m_activeRuns == 0 && m_resumeAfterRun) {
        m_resumeAfterRun = false;
        if (!paused() && !stopped()) AutoStartButtonClick(PauseButton);
    }
}

void TForm1::runScan(Source& source, int startPosition, bool resuming) {
    const std::string& bytes = source.text.bytes();
    cwt::SendScanner scanner(bytes, startPosition, SentenceEndMark->isChecked());
    int charactersSent = resuming ? startPosition : 0;
    int bytesSent = 0;
    m_scanPassedEnd = false;
    for (;;) {
        // "문장끝 부호 사용" may be changed during the send: every line end reads it anew.
        scanner.setSentenceEndMark(SentenceEndMark->isChecked());
        const std::optional<cwt::SendUnit> unit = scanner.next();
        if (!unit) break;
        selectUnit(source, *unit);
        ShowCaretPos();
        if (unit->isSign()) {
            appendDispCell(FromCp949(unit->cell));
            SendSign(unit->token + "!");
            continue;  // only the end of the text ends the scan after a sign
        }
        charactersSent += unit->length;
        ResumePos = unit->nextPosition;
        setStatusText(3, QStringLiteral("실행문자수: %1").arg(charactersSent));
        sendCharacterUnit(*unit, bytesSent);
        if (stopped() || paused() || scanner.passedEnd()) break;
    }
    m_scanPassedEnd = scanner.passedEnd();
}

void TForm1::sendCharacterUnit(const cwt::SendUnit& unit, int& bytesSent) {
    if (unit.display == cwt::SendUnit::Display::Cell) {
        setStatusText(1, unit.hangul ? QStringLiteral("[한글]") : QStringLiteral("[영문]"));
        appendDispCell(FromCp949(unit.cell));
    } else if (unit.display == cwt::SendUnit::Display::NewLine) {
        addDispLine();
    }
    cwt::SetLabelText(Label5, FromCp949(unit.character));
    const std::string& toSend = unit.bytesToSend;
    for (size_t i = 0; i < toSend.size(); ++i) {
        const auto byte = static_cast<uint8_t>(toSend[i]);
        ++bytesSent;
        setStatusText(4, QStringLiteral("진행부호수: %1").arg(bytesSent));
        Label2->setText(QString());
        if (unit.syllable)
            Label2->setText(QString(QChar(cwt::JamoOfLetter(static_cast<char>(byte)))));
        SendChar(byte, true, unit.hangul && i + 1 == toSend.size());
        if (stopped() || paused()) break;
    }
}

void TForm1::selectUnit(const Source& source, const cwt::SendUnit& unit) {
    const auto [first, last] = source.text.charRangeOfBytes(unit.position - 1, unit.length);
    if (source.isEdit1) {
        Edit1->setSelection(first, last - first);
        return;
    }
    QTextCursor cursor(Memo1->document());
    cursor.setPosition(first);
    cursor.setPosition(last, QTextCursor::KeepAnchor);
    Memo1->setTextCursor(cursor);
    Memo1->ensureCursorVisible();
}

void TForm1::appendDispCell(const QString& cell) {
    QTextDocument* document = DispMemo->document();
    QTextCursor cursor(document);
    while (document->blockCount() <= DispLine) {
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
    }
    cursor = QTextCursor(document->findBlockByNumber(DispLine));
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText(cell);
    DispMemo->setTextCursor(cursor);
    DispMemo->ensureCursorVisible();
}

void TForm1::addDispLine() {
    ++DispLine;
    QTextCursor cursor(DispMemo->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    DispMemo->setTextCursor(cursor);
    DispMemo->ensureCursorVisible();
}

void TForm1::AutoStopButtonClick(QObject* /*Sender*/) {
    if (RecordButton->isChecked()) releaseRecordButton();
    Timer1->stop();
    Memo1->setReadOnly(false);
    AutoStopButton->setEnabled(false);
    PauseButton->setEnabled(false);
    // A stop while paused also releases the pause button, or the next send would stop in the
    // paused state after its first byte.
    if (PauseButton->isChecked()) {
        PauseButton->setChecked(false);
        PauseButton->setText(QStringLiteral("일시정지"));
    }
    m_resumeAfterRun = false;
    AutoStartButton->setEnabled(true);
    if (focusWidget() != Edit1) Memo1->setFocus();
    Edit1->setEnabled(true);
    Edit1->setReadOnly(false);
}

void TForm1::PauseButtonClick(QObject* /*Sender*/) {
    if (PauseButton->isChecked()) {
        Timer1->stop();
        PausedTime = std::chrono::steady_clock::now() - StartTime;
        PauseButton->setText(QStringLiteral("재시작"));
        return;
    }
    PauseButton->setText(QStringLiteral("일시정지"));
    StartTime = std::chrono::steady_clock::now() - PausedTime;
    Timer1->start();
    // The paused run may still be playing its last letter; the resume then follows it.
    if (m_activeRuns > 0) {
        m_resumeAfterRun = true;
        return;
    }
    AutoStartButtonClick(PauseButton);
}

void TForm1::releaseRecordButton() {
    StopRecording();
    RecordButton->setChecked(false);
    RecordButton->setText(QStringLiteral("사운드녹음"));
    setRecordButtonColour(false);
}

void TForm1::SendChar(uint8_t Ch, bool characterGap, bool syllableEnd) {
    const cwt::CharPlan plan = cwt::PlanChar(Ch, characterGap, syllableEnd);
    switch (plan.action) {
        case cwt::CharPlan::Action::SendSign:
            SendSign(plan.signText);
            return;
        case cwt::CharPlan::Action::Nothing:
            clearPicture();
            return;
        case cwt::CharPlan::Action::PlayCode:
            break;
    }
    showPicture(plan.pictureRow);
    if (plan.showsLetter) cwt::SetLabelText(Label5, QString(QChar(Ch)));
    PlayCode(plan.code, plan.syllableEnd);
}

void TForm1::SendSign(std::string_view signText) {
    const cwt::SignPlan plan = cwt::PlanSign(signText);
    Label2->setText(QString::fromLatin1(plan.displayLetters.data(),
                                        static_cast<qsizetype>(plan.displayLetters.size())));
    cwt::SetLabelText(Label5, plan.firstLetter ? QString(QChar(plan.firstLetter)) : QString());
    showPicture(plan.pictureRow);
    // The unit and the tone are taken once, from the settings at the sign's start.
    cwt::CodePlayer::Sign sign = m_player->BeginSign(codeSettings());
    cwt::CodePlayer::Sign* const outer = m_currentSign;
    m_currentSign = &sign;
    for (const cwt::SignLetter& letter : plan.letters)
        QueueCode(letter.code, letter.nextChar, false);
    sign.Finish();
    m_currentSign = outer;
}

void TForm1::SendStartMark() { SendSign(cwt::kStartMarkSign); }

void TForm1::SendErrorSign() {
    clearPicture();
    PlayCode("SSSSSSSS", false);
}

void TForm1::SendKRSign() {
    clearPicture();
    PlayCode("SSSLS", false);
}

void TForm1::VelWaveCtrl1PlayDone(TVelWaveCtrl* /*Sender*/, const TWaveHdr* Header,
                                  const uint8_t* Buffer) {
    if (Header->flags & kWaveHdrFailed) SoundFailed();
    if (Header->userValue != 0) {
        const auto next = static_cast<uint8_t>(Header->userValue);
        cwt::SetLabelText(Label5, QString(QChar(next)));
        showPicture(cwt::PlanSign(std::string(1, static_cast<char>(next))).pictureRow);
    }
    if (Header->bufferLength == 0 || Buffer == nullptr || !Button1->isEnabled()) return;
    // The transcript is decoded whether the memo window is shown or not.
    const std::optional<char> decoded = m_transcript.decode(Buffer, Header->bufferLength);
    if (decoded && m_memo) m_memo->appendTranscriptChar(*decoded);
}

void TForm1::showPicture(int row) {
    if (row >= 0 && row < m_pictures->count())
        Image1->setPixmap(m_pictures->pixmap(row));
    else
        Image1->clear();
}

void TForm1::clearPicture() { Image1->clear(); }

void TForm1::setStatusText(int panel, const QString& text) {
    QLabel* label = m_statusPanels[static_cast<size_t>(panel)];
    // The elapsed time changes ten times a second; announced, it would drown the letters.
    if (panel == kElapsedTimePanel)
        label->setText(text);
    else
        cwt::SetLabelText(label, text);
}

QString TForm1::statusText(int panel) const {
    return m_statusPanels[static_cast<size_t>(panel)]->text();
}

void TForm1::Timer1Timer() {
    using namespace std::chrono;
    const auto elapsed = duration_cast<milliseconds>(steady_clock::now() - StartTime);
    setStatusText(5, QStringLiteral("진행시간: ") + FormatElapsed(elapsed.count()));
}

QString TForm1::FormatElapsed(long long elapsedMs) {
    // Minutes, seconds and milliseconds; the hours are not shown.
    const long long minutes = (elapsedMs / 60000) % 60;
    const long long seconds = (elapsedMs / 1000) % 60;
    const long long millis = elapsedMs % 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(minutes, 2, 10, QChar('0'))
        .arg(seconds, 2, 10, QChar('0'))
        .arg(millis, 3, 10, QChar('0'));
}

int TForm1::Memo1LinesByteLength() const {
    const QString text = Memo1->toPlainText();
    if (text.isEmpty()) return 0;
    const auto bytes = static_cast<int>(cwt::cp949::EditorByteCount(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size())));
    // Every line counts with its CR LF, the last one too.
    return text.endsWith(QChar('\n')) ? bytes : bytes + 2;
}

void TForm1::Memo1Change() {
    setStatusText(2, QStringLiteral("문자수: %1").arg(Memo1LinesByteLength()));
}

std::pair<int, int> TForm1::Memo1CaretLineColumn() const {
    const QTextCursor cursor = Memo1->textCursor();
    return {cursor.blockNumber(), cursor.positionInBlock()};
}

void TForm1::ShowCaretPos() {
    const auto [line, column] = Memo1CaretLineColumn();
    setStatusText(0, QStringLiteral("  %1: %2").arg(line + 1).arg(column + 1));
}
