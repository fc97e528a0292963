#include "ui/decoder/DecoderWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "sound/PulseInput.h"
#include "store/ProgressStore.h"
#include "ui/decoder/BandReceiveDecoder.h"
#include "ui/decoder/DecodedTextFile.h"
#include "ui/decoder/DecodedTextView.h"
#include "ui/decoder/SndFileReader.h"
#include "ui/decoder/WaterfallView.h"

namespace {

// The window's choices as they are kept beside the copy practice's.
const QString kSourceKey = QStringLiteral("decoder-source");
const QString kLanguageKey = QStringLiteral("decoder-language");
const QString kLowKey = QStringLiteral("decoder-low-hz");
const QString kHighKey = QStringLiteral("decoder-high-hz");

constexpr int kLowestHz = 100;
constexpr int kHighestHz = 3000;
constexpr int kNarrowestBandHz = 100;

}  // namespace

DecoderWindow::DecoderWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_store(std::make_unique<cwt::ProgressStore>()),
      m_makeDecoder(cwt::MakeBandReceiveDecoder),
      m_openFile(cwt::OpenSoundFile) {
    setObjectName(QStringLiteral("DecoderWindow"));
    setWindowTitle(QStringLiteral("수신 해독"));
    buildLayout();
    connectHandlers();
    NameControlsForScreenReaders();
    OrderControlsForKeyboard();
    loadChoices();
    refreshReadings();
    setRunning(false);
    setStatus(QStringLiteral("멈춤. 입력 장치를 고르고 해독 시작을 누르십시오."));
}

DecoderWindow::~DecoderWindow() {
    m_pollTimer.stop();
    m_fileTimer.stop();
    if (m_pulse) m_pulse->close();
}

// ----- Layout -----

void DecoderWindow::buildLayout() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildInputRow());
    layout->addWidget(buildSettingsRow());
    Waterfall = new WaterfallView(this);
    layout->addWidget(Waterfall, 2);
    layout->addWidget(buildReadingsRow());
    TextView = new DecodedTextView(this);
    layout->addWidget(TextView, 3);
    layout->addWidget(buildTextButtons());
    FileProgress = new QProgressBar(this);
    FileProgress->setRange(0, 1000);
    FileProgress->setTextVisible(true);
    FileProgress->hide();
    layout->addWidget(FileProgress);
    StatusLabel = new QLabel(this);
    StatusLabel->setWordWrap(true);
    StatusLabel->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(StatusLabel);
    resize(760, 620);
}

QWidget* DecoderWindow::buildInputRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("입력 장치(&I):"), row);
    SourceBox = new QComboBox(row);
    SourceBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    SourceBox->setMinimumContentsLength(24);
    label->setBuddy(SourceBox);
    RefreshSourcesButton = new QPushButton(QStringLiteral("새로 고침"), row);
    StartButton = new QPushButton(QStringLiteral("해독 시작(&S)"), row);
    StopButton = new QPushButton(QStringLiteral("멈춤(&T)"), row);
    OpenFileButton = new QPushButton(QStringLiteral("WAV 파일 열기(&O)…"), row);
    layout->addWidget(label);
    layout->addWidget(SourceBox, 1);
    layout->addWidget(RefreshSourcesButton);
    layout->addWidget(StartButton);
    layout->addWidget(StopButton);
    layout->addWidget(OpenFileButton);
    return row;
}

QWidget* DecoderWindow::buildSettingsRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* language = new QGroupBox(QStringLiteral("언어"), row);
    auto* languageLayout = new QHBoxLayout(language);
    EnglishButton = new QRadioButton(QStringLiteral("영문(&E)"), language);
    KoreanButton = new QRadioButton(QStringLiteral("한글(&K)"), language);
    auto* group = new QButtonGroup(language);
    group->addButton(EnglishButton);
    group->addButton(KoreanButton);
    EnglishButton->setChecked(true);
    languageLayout->addWidget(EnglishButton);
    languageLayout->addWidget(KoreanButton);

    auto* band = new QGroupBox(QStringLiteral("통과 대역"), row);
    auto* bandLayout = new QHBoxLayout(band);
    LowBox = new QSpinBox(band);
    HighBox = new QSpinBox(band);
    for (QSpinBox* box : {LowBox, HighBox}) {
        box->setRange(kLowestHz, kHighestHz);
        box->setSingleStep(50);
        box->setSuffix(QStringLiteral(" Hz"));
        box->setKeyboardTracking(false);
    }
    LowBox->setValue(300);
    HighBox->setValue(1200);
    bandLayout->addWidget(LowBox);
    bandLayout->addWidget(new QLabel(QStringLiteral("–"), band));
    bandLayout->addWidget(HighBox);

    auto* pitch = new QGroupBox(QStringLiteral("음높이"), row);
    auto* pitchLayout = new QHBoxLayout(pitch);
    AutoPitchBox = new QCheckBox(QStringLiteral("자동(&A)"), pitch);
    AutoPitchBox->setChecked(true);
    PitchBox = new QSpinBox(pitch);
    PitchBox->setRange(kLowestHz, kHighestHz);
    PitchBox->setSuffix(QStringLiteral(" Hz"));
    PitchBox->setValue(700);
    PitchBox->setKeyboardTracking(false);
    pitchLayout->addWidget(AutoPitchBox);
    pitchLayout->addWidget(PitchBox);

    layout->addWidget(language);
    layout->addWidget(band);
    layout->addWidget(pitch);
    layout->addStretch(1);
    return row;
}

QWidget* DecoderWindow::buildReadingsRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    PitchLabel = new QLabel(row);
    SpeedLabel = new QLabel(row);
    SnrLabel = new QLabel(row);
    for (QLabel* label : {PitchLabel, SpeedLabel, SnrLabel}) {
        label->setFrameShape(QFrame::StyledPanel);
        label->setMinimumWidth(
            label->fontMetrics().horizontalAdvance(QStringLiteral("신호 대 잡음: -00.0 dB  ")));
        layout->addWidget(label);
    }
    layout->addStretch(1);
    return row;
}

QWidget* DecoderWindow::buildTextButtons() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    CopyButton = new QPushButton(QStringLiteral("복사(&C)"), row);
    SaveButton = new QPushButton(QStringLiteral("저장(&V)…"), row);
    ClearButton = new QPushButton(QStringLiteral("지우기(&L)"), row);
    layout->addStretch(1);
    layout->addWidget(CopyButton);
    layout->addWidget(SaveButton);
    layout->addWidget(ClearButton);
    return row;
}

void DecoderWindow::connectHandlers() {
    connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    connect(StopButton, &QPushButton::clicked, this, [this] { StopButtonClick(); });
    connect(OpenFileButton, &QPushButton::clicked, this, [this] { OpenFileButtonClick(); });
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
    connect(CopyButton, &QPushButton::clicked, this, [this] { CopyButtonClick(); });
    connect(ClearButton, &QPushButton::clicked, this, [this] { ClearButtonClick(); });
    connect(RefreshSourcesButton, &QPushButton::clicked, this,
            [this] { RefreshSourcesButtonClick(); });
    connect(KoreanButton, &QRadioButton::toggled, this, [this] { LanguageChange(); });
    connect(LowBox, &QSpinBox::valueChanged, this, [this] { BandChange(); });
    connect(HighBox, &QSpinBox::valueChanged, this, [this] { BandChange(); });
    connect(AutoPitchBox, &QCheckBox::toggled, this, [this] { AutoPitchChange(); });
    connect(PitchBox, &QSpinBox::valueChanged, this, [this] { PitchBoxChange(); });
    connect(Waterfall, &WaterfallView::pitchPicked, this, [this](double hz) {
        PitchBox->setValue(static_cast<int>(hz));
        AutoPitchBox->setChecked(false);
        PitchBoxChange();
    });
    connect(Waterfall, &WaterfallView::automaticPitchAsked, this,
            [this] { AutoPitchBox->setChecked(true); });
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { pollInput(); });
    connect(&m_fileTimer, &QTimer::timeout, this, [this] { decodeFilePiece(); });
}

// ----- Choices -----

void DecoderWindow::loadChoices() {
    KoreanButton->setChecked(m_store->choice(kLanguageKey, QStringLiteral("en")) == "ko");
    const int low = m_store->choice(kLowKey, QStringLiteral("300")).toInt();
    const int high = m_store->choice(kHighKey, QStringLiteral("1200")).toInt();
    if (low >= kLowestHz && high <= kHighestHz && high - low >= kNarrowestBandHz) {
        LowBox->setValue(low);
        HighBox->setValue(high);
    }
    Waterfall->setBand(LowBox->value(), HighBox->value());
}

void DecoderWindow::saveChoices() {
    // The default source is kept as an empty name; a null string would be refused by the store.
    m_store->setChoice(kSourceKey, chosenSource().isNull() ? QStringLiteral("") : chosenSource());
    m_store->setChoice(kLanguageKey, korean() ? QStringLiteral("ko") : QStringLiteral("en"));
    m_store->setChoice(kLowKey, QString::number(LowBox->value()));
    m_store->setChoice(kHighKey, QString::number(HighBox->value()));
}

// The server's sources, the default first; a kept source that is not there now stays in the
// list, marked, so that the choice is not lost while the sound card is unplugged.
void DecoderWindow::fillSources(const QString& wanted) {
    if (!m_pulse) m_pulse = std::make_unique<cwt::PulseInput>();
    const cwt::SourceListing listing = m_pulse->listSources();
    SourceBox->clear();
    QString defaultDescription;
    for (const cwt::SoundSource& source : listing.sources)
        if (source.name == listing.defaultName) defaultDescription = source.description;
    SourceBox->addItem(defaultDescription.isEmpty()
                           ? QStringLiteral("기본 입력")
                           : QStringLiteral("기본 입력 (%1)").arg(defaultDescription),
                       QString());
    for (const cwt::SoundSource& source : listing.sources)
        SourceBox->addItem(source.description.isEmpty() ? source.name : source.description,
                           source.name);
    int index = SourceBox->findData(wanted);
    if (index < 0) {
        SourceBox->addItem(QStringLiteral("%1 (지금 없음)").arg(wanted), wanted);
        index = SourceBox->count() - 1;
    }
    SourceBox->setCurrentIndex(index);
    if (!listing.ok)
        setStatus(QStringLiteral("사운드 서버에서 입력 장치 목록을 얻지 못했습니다: %1")
                      .arg(listing.error));
}

QString DecoderWindow::chosenSource() const { return SourceBox->currentData().toString(); }

void DecoderWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (SourceBox->count() == 0) fillSources(m_store->choice(kSourceKey, QString()));
}

void DecoderWindow::closeEvent(QCloseEvent* event) {
    // Nobody reads a closed window: decoding ends with it.
    if (decoding() || decodingFile()) StopButtonClick();
    saveChoices();
    QWidget::closeEvent(event);
}

// ----- Handlers of the settings -----

bool DecoderWindow::korean() const { return KoreanButton->isChecked(); }

cwt::ReceiveSettings DecoderWindow::settings() const {
    cwt::ReceiveSettings settings;
    settings.lowHz = LowBox->value();
    settings.highHz = HighBox->value();
    if (!AutoPitchBox->isChecked()) settings.pitchHz = PitchBox->value();
    settings.korean = korean();
    return settings;
}

void DecoderWindow::RefreshSourcesButtonClick() { fillSources(chosenSource()); }

void DecoderWindow::LanguageChange() {
    if (m_decoder) m_decoder->setKorean(korean());
}

// The band must stay at least 100 Hz wide: the edge the operator moves pushes the other one.
void DecoderWindow::BandChange() {
    if (HighBox->value() - LowBox->value() < kNarrowestBandHz) {
        const QSignalBlocker lowBlock(LowBox), highBlock(HighBox);
        if (sender() == HighBox || HighBox->value() <= kLowestHz + kNarrowestBandHz)
            LowBox->setValue(HighBox->value() - kNarrowestBandHz);
        else
            HighBox->setValue(LowBox->value() + kNarrowestBandHz);
    }
    Waterfall->setBand(LowBox->value(), HighBox->value());
    // The decoder searches the band it was made with: a new band needs a new one.
    if (m_decoder) startDecoder(m_decoderRateHz);
}

void DecoderWindow::AutoPitchChange() {
    PitchBox->setEnabled(!AutoPitchBox->isChecked());
    PitchBoxChange();
}

void DecoderWindow::PitchBoxChange() {
    const std::optional<double> pitch = settings().pitchHz;
    if (m_decoder) m_decoder->pickPitch(pitch);
    Waterfall->setPitch(pitch ? pitch : std::optional<double>(), pitch.has_value());
}

// ----- Handlers of the text -----

QString DecoderWindow::text() const { return TextView->shownText(); }

void DecoderWindow::CopyButtonClick() {
    QApplication::clipboard()->setText(text());
    setStatus(QStringLiteral("해독한 글을 클립보드에 복사했습니다."));
}

bool DecoderWindow::saveTextTo(const QString& path, QString* error) {
    if (!SaveDecodedText(path, text(), error)) return false;
    setStatus(QStringLiteral("'%1'에 저장했습니다.").arg(path));
    return true;
}

void DecoderWindow::SaveButtonClick() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("해독한 글 저장"), QString(),
                                     QStringLiteral("텍스트 파일 (*.txt);;모든 파일 (*)"));
    if (path.isEmpty()) return;
    QString error;
    if (!saveTextTo(path, &error)) {
        setStatus(error);
        QMessageBox::warning(this, QStringLiteral("저장하지 못했습니다"), error);
    }
}

void DecoderWindow::ClearButtonClick() {
    TextView->clearText();
    m_delaysMs.clear();
}

QString DecoderWindow::statusText() const { return StatusLabel->text(); }
