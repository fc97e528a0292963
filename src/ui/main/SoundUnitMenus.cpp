// The window's own menu items: file open, the other windows, the option items, the Function
// box, the editor's font menu, the link label and the About box.

#include <QAction>
#include <QDockWidget>
#include <QFileInfo>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "engine/morse/TextPrep.h"
#include "ui/chart/MorseCodeShowUnit.h"
#include "ui/common/Fonts.h"
#include "ui/common/ProgramInfo.h"
#include "ui/macros/EditMacrosUnit.h"
#include "ui/main/AboutBox.h"
#include "ui/main/SoundUnit.h"
#include "ui/main/TextFileLoader.h"
#include "ui/memo/WaveDispUnit.h"
#include "ui/mixer/VolumeCtrlUnit.h"

void TForm1::N6Click(QObject* /*Sender*/) {
    const QString fileName = chooseOpenFile();
    if (fileName.isEmpty()) return;
    AutoStopButtonClick(N6);
    const BusyNotice busy(this, QStringLiteral("파일을 여는 중입니다..."),
                          QFileInfo(fileName).size() >= kBusyTextFileBytes);
    const TextFileRead read = ReadTextFile(fileName);
    if (!read.error.isEmpty()) {
        // The editor keeps the operator's text; replacing it with nothing would lose it.
        showWarning(QStringLiteral("열    기"),
                    QStringLiteral("'%1' 파일을 읽을 수 없습니다.\n%2").arg(fileName, read.error));
        return;
    }
    showOpenedFile(fileName, read.text, read.undecodable);
}

void TForm1::showOpenedFile(const QString& fileName, const std::u16string& text,
                            qint64 undecodable) {
    const cwt::Tidying tidying =
        cwt::FileOpenTidying(OpenSpaceTrimCheck->isChecked(), DoubleSpaceTrimCheck->isChecked());
    ReplaceEditorText(Memo1, QString::fromStdU16String(cwt::TidyEditor(text, tidying)));
    // A document built apart reaches the editor without a change notice.
    Memo1Change();
    ShowCaretPos();
    if (undecodable > 0)
        showWarning(QStringLiteral("열    기"),
                    QStringLiteral("'%1' 파일에 글자로 읽을 수 없는 바이트가 %2개 있어 '\uFFFD'로 "
                                   "표시했습니다.")
                        .arg(fileName)
                        .arg(undecodable));
}

void TForm1::N2Click(QObject* /*Sender*/) {
    if (m_chart) m_chart->bringToFront();
}

void TForm1::N4Click(QObject* /*Sender*/) { close(); }

void TForm1::Button1Click(QObject* /*Sender*/) {
    if (m_memo) m_memo->bringToFront();
}

void TForm1::Button2Click(QObject* /*Sender*/) {
    if (m_mixer) m_mixer->bringToFront();
}

void TForm1::VolumeMenuClick(QObject* Sender) { Button2Click(Sender); }

void TForm1::vuswlq1Click(QObject* /*Sender*/) {
    if (!m_macros) return;
    m_macros->show();
    m_macros->raise();
    m_macros->activateWindow();
}

// The option items invert their own check mark when chosen.
void TForm1::DoubleSpaceTrimCheckClick(QObject* /*Sender*/) {
    if (DoubleSpaceTrimCheck->isChecked()) OpenSpaceTrimCheck->setChecked(true);
}

void TForm1::Function1Click(QObject* /*Sender*/) {
    const bool show = Function1->isChecked();
    FunctionDock->setVisible(show);
    GroupBox1->setVisible(show);
    Panel3->setFixedHeight(show ? kPanel3DockedHeight : kPanel3EmptyHeight);
}

void TForm1::GroupBox1EndDock(bool floating) {
    Panel3->setFixedHeight(floating ? kPanel3EmptyHeight : kPanel3DockedHeight);
}

void TForm1::Panel3Resize() {
    // The dock band is redrawn whole after a resize, so no trace of the box stays behind.
    Panel3->update();
}

void TForm1::DispPanelResize() {
    const int height = std::max(0, DispPanel->height() - kDispMemoTopStrip);
    DispMemo->setGeometry(2, DispPanel->height() - 2 - height, DispPanel->width() - 4, height);
}

void TForm1::Label10Click() { openUrl(cwt::ProgramHomepage()); }

void TForm1::About1Click(QObject* /*Sender*/) { ShowAboutBox(this, openUrl); }

void TForm1::N10Click(QObject* /*Sender*/) {
    bool confirmed = false;
    const QFont font = QFontDialog::getFont(&confirmed, Memo1->font(), this);
    if (confirmed) Memo1->setFont(font);
}

void TForm1::N12Click(QObject* /*Sender*/) {
    QFont font(cwt::kBatangChe);
    font.setPointSize(10);
    font.setStyleHint(QFont::AnyStyle);
    Memo1->setFont(font);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Text, QPalette().color(QPalette::WindowText));
    Memo1->setPalette(palette);
}
