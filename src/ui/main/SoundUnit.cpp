// The main window's start-up, show step, shut-down, event wiring and key preview.

#include "ui/main/SoundUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDockWidget>
#include <QFileDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>

#include "components/VelEdit.h"
#include "components/VelLabel.h"
#include "components/VelSpeedButton.h"
#include "sound/SoundBeepUnit.h"
#include "sound/VelWaveCtrl.h"
#include "ui/common/CodePictures.h"
#include "ui/common/RadioGroup.h"
#include "ui/common/SystemRoot.h"
#include "ui/common/WindowsKeys.h"
#include "ui/macros/EditMacrosUnit.h"

namespace {

bool ByTabKey(const QFocusEvent* event) {
    return event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<cwt::WaveDevice> device, QWidget* parent)
    : QMainWindow(parent), m_pictures(std::make_unique<CodePictures>()) {
    setObjectName("Form1");
    chooseOpenFile = [this] {
        return QFileDialog::getOpenFileName(
            this, QString(), QString(), QStringLiteral("Text Files (*.TXT *.txt);;All Files (*)"));
    };
    chooseSaveFile = [this] {
        QFileDialog dialog(this, QString(), QString(), QStringLiteral("Wav Files (*.WAV *.wav)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("WAV"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    showWarning = [this](const QString& title, const QString& text) {
        // Not modal: a send that is running goes on while the message is shown.
        auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    };
    openUrl = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };

    buildLayout();
    setUpWaveOutput(std::move(device));
    connectHandlers();
    setUpKeying();
    NameControlsForScreenReaders();
    OrderControlsForKeyboard();
    m_hotKeys = std::make_unique<MacroHotKeys>(static_cast<MacroHost&>(*this));
    m_keyPreview = new KeyPreview(
        this, [this](uint16_t& key, cwt::ShiftState shift) { FormKeyDown(key, shift); });
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::setWindows(TMorseCodeForm* chart, TForm2* memo, TVolumeForm* mixer,
                        TEditMacrosForm* macros) {
    m_chart = chart;
    m_memo = memo;
    m_mixer = mixer;
    m_macros = macros;
    m_hotKeys->setTable(macros ? macros->macroTable() : nullptr);
}

void TForm1::FormCreate() {
    // The panels of the middle row already fill their parents (Qt layouts).
    CheckBox1->setChecked(VelWaveCtrl1->OutputDeviceCount() == 0);
    WaveVolumeChange(nullptr);
    Label2->setText(QString());
    PortAccess = cwt::PortAccessTest(*m_ports);
    m_player->setSpeaker({m_ports.get(), PortAccess, nullptr});
    m_player->setSpeakerFrequency([this] { return BeepFreq->value(); });
    BPS8Click(BPS8);
    Channel_MonoClick(Channel_Mono);
    SPS5Click(SPS[2]);
    BeepFreqChange(nullptr);
    BeepFreqCutChange(nullptr);
    Multiple3Click(Multiple[1]);
    Memo1Change();
    RadioGroup1Click(nullptr);
    // GapUnit starts at the largest value inside the transcript decoder.
    FunctionDock->setFloating(false);
}

void TForm1::FormShow() { VelWaveCtrl1->setTempDir(TempDirOf(ReadSystemRoot())); }

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormShow();
    if (!m_shown) {
        m_shown = true;
        Memo1->setFocus();
    }
}

bool TForm1::FormCloseQuery() {
    if (RandomSoundButton->isChecked()) {
        RandomSoundButton->setChecked(false);
        QCoreApplication::processEvents();
    }
    // A send between letters (a text on the PC speaker, another window's send) is not
    // Playing, and ends all the same.
    if (VelWaveCtrl1->Playing() || !AutoStartButton->isEnabled()) AutoStopButtonClick(nullptr);
    return true;  // closing is always allowed
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->setAccepted(FormCloseQuery());
    if (!event->isAccepted()) return;
    // The program ends with the window: whatever is sending (Start, a macro, a sign button, a
    // typed character, a mouse click, the random groups, another window's send) falls silent
    // at once, the letter being played included, and every wait for sound returns, so the
    // program ends without sounding anything more. Nothing starts a send after this.
    m_closed = true;
    m_player->shutDown();
    emit closed();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1) return filterEdit1Event(event);
    if ((watched == Label5 || watched == Label10) && event->type() == QEvent::KeyPress)
        return filterActiveLabelKey(watched, static_cast<QKeyEvent*>(event));
    if (watched == Label5 || watched == Label2) return filterBigLetterEvent(event);
    if (event->type() == QEvent::Resize) {
        if (watched == DispPanel)
            DispPanelResize();
        else if (watched == Panel3)
            Panel3Resize();
        else if (watched == Panel1)
            placeBottomAlignedControls();
        return false;
    }
    if (watched == DispMemo && event->type() == QEvent::FocusIn && !AutoStartButton->isEnabled() &&
        !ByTabKey(static_cast<QFocusEvent*>(event))) {
        // While a send runs, a click leaves the focus with the editor. Tab may stop here, or
        // the keyboard could never get past the play display during a send.
        Memo1->setFocus();
        return false;
    }
    if (watched == Label10 && event->type() == QEvent::MouseButtonRelease) {
        // A left click opens the address, as a link does; other buttons, or a press dragged
        // off the label before its release, open nothing.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Label10->rect().contains(mouse->position().toPoint()))
            Label10Click();
        return true;
    }
    return false;
}

void TForm1::connectHandlers() {
    connect(AutoStartButton, &QPushButton::clicked, this,
            [this] { AutoStartButtonClick(AutoStartButton); });
    connect(AutoStopButton, &QPushButton::clicked, this,
            [this] { AutoStopButtonClick(AutoStopButton); });
    connect(PauseButton, &QPushButton::clicked, this, [this] { PauseButtonClick(PauseButton); });
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TForm1::Memo1Change);
    connect(Memo1, &QPlainTextEdit::cursorPositionChanged, this, &TForm1::ShowCaretPos);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(Memo1->viewport()->mapToGlobal(pos)); });

    connect(RandomSoundButton, &QPushButton::clicked, this, [this] {
        pressToggle(RandomSoundButton);
        RandomSoundButtonClick(RandomSoundButton);
    });
    connect(RecordButton, &QPushButton::clicked, this, [this] {
        pressToggle(RecordButton);
        RecordButtonClick(RecordButton);
    });
    for (TVelSpeedButton* button : FuncButton)
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { FuncButton1Click(button); });
    for (QObject* watched :
         std::initializer_list<QObject*>{Edit1, Label5, Label2, DispMemo, Label10})
        watched->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(Button2); });

    connect(BeepFreq, &QSlider::valueChanged, this, [this] { BeepFreqChange(BeepFreq); });
    connect(BeepFreqCut, &QSlider::valueChanged, this, [this] { BeepFreqCutChange(BeepFreqCut); });
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(TrackBar1); });
    connect(WaveVolume, &QSlider::valueChanged, this, [this] { WaveVolumeChange(WaveVolume); });
    connect(SoundControlType, &RadioGroup::itemClicked, this,
            [this] { SoundControlTypeClick(SoundControlType); });
    connect(RadioGroup1, &RadioGroup::itemClicked, this, [this] { RadioGroup1Click(RadioGroup1); });
    connect(SmallEdit, &TVelEdit::OnChange, this, [this] { SmallEditChange(SmallEdit); });
    connect(LargeEdit, &TVelEdit::OnChange, this, [this] { LargeEditChange(LargeEdit); });
    connect(CharDelayEdit, &TVelEdit::OnChange, this,
            [this] { CharDelayEditChange(CharDelayEdit); });

    connect(N6, &QAction::triggered, this, [this] { N6Click(N6); });
    connect(N2, &QAction::triggered, this, [this] { N2Click(N2); });
    connect(N4, &QAction::triggered, this, [this] { N4Click(N4); });
    connect(BPS8, &QAction::triggered, this, [this] { BPS8Click(BPS8); });
    connect(BPS16, &QAction::triggered, this, [this] { BPS8Click(BPS16); });
    connect(Channel_Mono, &QAction::triggered, this, [this] { Channel_MonoClick(Channel_Mono); });
    connect(Channel_Stereo, &QAction::triggered, this,
            [this] { Channel_MonoClick(Channel_Stereo); });
    for (QAction* item : SPS)
        connect(item, &QAction::triggered, this, [this, item] { SPS5Click(item); });
    for (QAction* item : Multiple)
        connect(item, &QAction::triggered, this, [this, item] { Multiple3Click(item); });
    connect(DoubleSpaceTrimCheck, &QAction::triggered, this,
            [this] { DoubleSpaceTrimCheckClick(DoubleSpaceTrimCheck); });
    connect(vuswlq1, &QAction::triggered, this, [this] { vuswlq1Click(vuswlq1); });
    connect(VolumeMenu, &QAction::triggered, this, [this] { VolumeMenuClick(VolumeMenu); });
    connect(TranscriptMenu, &QAction::triggered, this, [this] { Button1Click(TranscriptMenu); });
    connect(Function1, &QAction::triggered, this, [this] { Function1Click(Function1); });
    connect(FunctionDock, &QDockWidget::topLevelChanged, this, &TForm1::GroupBox1EndDock);
    connect(N10, &QAction::triggered, this, [this] { N10Click(N10); });
    connect(N12, &QAction::triggered, this, [this] { N12Click(N12); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(About1); });
}
