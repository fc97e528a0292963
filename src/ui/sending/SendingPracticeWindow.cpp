// The sending-practice window: its controls, their layout and the choices it keeps.

#include "ui/sending/SendingPracticeWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "components/VelAccessible.h"
#include "rig/paddle/LiveKeyer.h"
#include "rig/paddle/SerialPaddle.h"
#include "store/ProgressStore.h"
#include "ui/common/KeyAdapterFilter.h"
#include "ui/common/PracticeHistoryLabel.h"
#include "ui/common/SendPort.h"
#include "ui/sending/SendingProgressPlot.h"
#include "ui/sending/TimingStrip.h"

namespace {

// The window's choices as they are kept, beside the copy practice's.
const QString kInputKey = QStringLiteral("sending-input");
const QString kKeysKey = QStringLiteral("sending-keys");
const QString kPortKey = QStringLiteral("sending-port");
const QString kDahLineKey = QStringLiteral("sending-dah-line");
const QString kSupplyKey = QStringLiteral("sending-supply");
const QString kSerialStraightKey = QStringLiteral("sending-serial-straight");
const QString kModeKey = QStringLiteral("sending-mode");
const QString kSpeedKey = QStringLiteral("sending-wpm");
const QString kWeightKey = QStringLiteral("sending-weight");
const QString kDitMemoryKey = QStringLiteral("sending-dit-memory");
const QString kDahMemoryKey = QStringLiteral("sending-dah-memory");
const QString kLetterSpaceKey = QStringLiteral("sending-letter-space");
const QString kSwapKey = QStringLiteral("sending-swap");
const QString kTextKindKey = QStringLiteral("sending-text");
const QString kCourseKey = QStringLiteral("sending-course");
const QString kCountKey = QStringLiteral("sending-count");
QString LessonKey(cwt::Course course) {
    return course == cwt::Course::Korean ? QStringLiteral("sending-lesson-ko")
                                         : QStringLiteral("sending-lesson-en");
}

constexpr int kMaxItems = 20;

// The adapters' keys as KeysBox offers them.
enum KeysChoice { kBothAdapters, kVailKeys, kVBandKeys };

cwt::KeyAdapterMapping MappingOf(int choice, std::optional<cwt::KeyboardKey> straight) {
    using namespace cwt::keys;
    cwt::KeyAdapterMapping mapping = cwt::KeyAdapterMapping::defaults();
    if (choice == kVBandKeys) {
        mapping.unbind(kLeftCtrl);
        mapping.unbind(kRightCtrl);
    }
    if (choice == kVailKeys) {
        mapping.unbind(kLeftBracket);
        mapping.unbind(kRightBracket);
    }
    mapping.setStraightKey(straight);
    return mapping;
}

int ChoiceOf(const cwt::KeyAdapterMapping& mapping) {
    for (int choice : {kBothAdapters, kVailKeys, kVBandKeys})
        if (MappingOf(choice, mapping.straightKey()) == mapping) return choice;
    return kBothAdapters;
}

// The serial devices there are now, the usual names first.
QStringList SerialDevices() {
    QStringList devices;
    const QDir dev(QStringLiteral("/dev"));
    for (const QString& pattern : {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")})
        for (const QString& name : dev.entryList({pattern}, QDir::System, QDir::Name))
            devices << dev.filePath(name);
    if (devices.isEmpty()) devices << QStringLiteral("/dev/ttyUSB0");
    devices << QStringLiteral("/dev/ttyS0");
    return devices;
}

QString Flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

}  // namespace

SendingPracticeWindow::SendingPracticeWindow(cwt::SendPort& sender, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_sender(sender),
      m_store(std::make_unique<cwt::ProgressStore>()),
      m_random(static_cast<std::mt19937::result_type>(
          std::chrono::steady_clock::now().time_since_epoch().count())),
      m_mapping(cwt::KeyAdapterMapping::defaults()) {
    setObjectName(QStringLiteral("SendingPracticeWindow"));
    setWindowTitle(QStringLiteral("송신 연습"));
    buildLayout();
    m_filter = new cwt::KeyAdapterFilter(this, m_mapping);
    m_filter->setEnabled(false);
    makeSidetone();
    m_ticker = new QTimer(this);
    m_ticker->setInterval(20);
    connectHandlers();
    NameControlsForScreenReaders();
    OrderControlsForKeyboard();
    loadChoices();
    showStoreState();
}

SendingPracticeWindow::~SendingPracticeWindow() {
    // The paddle's thread hands events to the keyer: it ends first. The main window may be
    // going with this one (its children go after it): nothing here calls it. Its transmitter
    // keyer raises the key and detaches the key line as it ends.
    stopInput();
    m_keyer.reset();
}

// ----- Layout -----

void SendingPracticeWindow::buildLayout() {
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(buildInput(), 1);
    top->addWidget(buildKeyer(), 1);
    column->addLayout(top);
    column->addWidget(buildText());
    column->addWidget(buildKeying());
    // The last stretch beside the progress of every stretch before it.
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildResults(), 3);
    Plot = new SendingProgressPlot(this);
    bottom->addWidget(Plot, 2);
    column->addLayout(bottom, 1);
    StoreLabel = cwt::MakeHistoryLabel(this);
    column->addWidget(StoreLabel);
    resize(900, 940);
}

namespace {

// A caption for a control, its buddy, so that its mnemonic and a screen reader find it.
void Caption(QGridLayout* grid, const QString& text, QWidget* buddy, int row, int col) {
    auto* caption = new QLabel(text, buddy->parentWidget());
    caption->setBuddy(buddy);
    grid->addWidget(caption, row, col);
}

}  // namespace

QWidget* SendingPracticeWindow::buildInput() {
    auto* box = new QGroupBox(QStringLiteral("입력"), this);
    auto* grid = new QGridLayout(box);
    InputBox = new QComboBox(box);
    InputBox->addItems({QStringLiteral("키보드 (패들 어댑터)"), QStringLiteral("직렬 포트")});
    KeysBox = new QComboBox(box);
    KeysBox->addItems({QStringLiteral("Ctrl 좌우와 [ ] 모두"), QStringLiteral("Ctrl 좌우 (Vail)"),
                       QStringLiteral("[ ] (VBand)")});
    StraightKeyButton = new QToolButton(box);
    StraightKeyButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    PortBox = new QComboBox(box);
    PortBox->setEditable(true);
    PortBox->addItems(SerialDevices());
    DahLineBox = new QComboBox(box);
    DahLineBox->addItems({QStringLiteral("DSR"), QStringLiteral("DCD")});
    SupplyBox = new QComboBox(box);
    SupplyBox->addItems({QStringLiteral("DTR"), QStringLiteral("RTS")});
    SerialStraightCheck = new QCheckBox(QStringLiteral("CTS에 스트레이트 키"), box);

    Caption(grid, QStringLiteral("입력"), InputBox, 0, 0);
    grid->addWidget(InputBox, 0, 1, 1, 3);
    Caption(grid, QStringLiteral("키"), KeysBox, 1, 0);
    grid->addWidget(KeysBox, 1, 1);
    Caption(grid, QStringLiteral("스트레이트 키"), StraightKeyButton, 1, 2);
    grid->addWidget(StraightKeyButton, 1, 3);
    Caption(grid, QStringLiteral("포트"), PortBox, 2, 0);
    grid->addWidget(PortBox, 2, 1, 1, 3);
    Caption(grid, QStringLiteral("장점 선"), DahLineBox, 3, 0);
    grid->addWidget(DahLineBox, 3, 1);
    Caption(grid, QStringLiteral("전원 선"), SupplyBox, 3, 2);
    grid->addWidget(SupplyBox, 3, 3);
    grid->addWidget(SerialStraightCheck, 4, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* SendingPracticeWindow::buildKeyer() {
    auto* box = new QGroupBox(QStringLiteral("키어"), this);
    auto* grid = new QGridLayout(box);
    ModeBox = new QComboBox(box);
    // In the order of cwt::keyer::KeyerMode.
    ModeBox->addItems({QStringLiteral("스트레이트 키"), QStringLiteral("이앰빅 A"),
                       QStringLiteral("이앰빅 B"), QStringLiteral("울티매틱"),
                       QStringLiteral("버그")});
    SpeedBox = new QSpinBox(box);
    SpeedBox->setRange(cwt::keyer::kMinWpm, cwt::keyer::kMaxWpm);
    SpeedBox->setSuffix(QStringLiteral(" WPM"));
    WeightBox = new QSpinBox(box);
    WeightBox->setRange(cwt::keyer::kMinWeightPercent, cwt::keyer::kMaxWeightPercent);
    WeightBox->setSuffix(QStringLiteral(" %"));
    DitMemoryCheck = new QCheckBox(QStringLiteral("단점 기억"), box);
    DahMemoryCheck = new QCheckBox(QStringLiteral("장점 기억"), box);
    LetterSpaceCheck = new QCheckBox(QStringLiteral("자동 문자 간격"), box);
    SwapCheck = new QCheckBox(QStringLiteral("패들 좌우 바꿈"), box);

    Caption(grid, QStringLiteral("방식"), ModeBox, 0, 0);
    grid->addWidget(ModeBox, 0, 1, 1, 3);
    Caption(grid, QStringLiteral("속도"), SpeedBox, 1, 0);
    grid->addWidget(SpeedBox, 1, 1);
    Caption(grid, QStringLiteral("무게"), WeightBox, 1, 2);
    grid->addWidget(WeightBox, 1, 3);
    grid->addWidget(DitMemoryCheck, 2, 0, 1, 2);
    grid->addWidget(DahMemoryCheck, 2, 2, 1, 2);
    grid->addWidget(LetterSpaceCheck, 3, 0, 1, 2);
    grid->addWidget(SwapCheck, 3, 2, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* SendingPracticeWindow::buildText() {
    auto* box = new QGroupBox(QStringLiteral("보낼 글"), this);
    auto* grid = new QGridLayout(box);
    TextKindBox = new QComboBox(box);
    // In the order of cwt::SendingTextKind.
    TextKindBox->addItems({QStringLiteral("Koch 단계 묶음"), QStringLiteral("단어"),
                           QStringLiteral("호출부호"), QStringLiteral("교신 한 줄"),
                           QStringLiteral("자유 키잉")});
    CourseBox = new QComboBox(box);
    CourseBox->addItems({QStringLiteral("영문"), QStringLiteral("한글")});
    LessonBox = new QSpinBox(box);
    CountBox = new QSpinBox(box);
    CountBox->setRange(1, kMaxItems);
    NewTextButton = new QPushButton(QStringLiteral("새 글(&N)"), box);
    TargetLabel = new QLabel(box);
    TargetLabel->setWordWrap(true);
    TargetLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = TargetLabel->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    TargetLabel->setFont(font);
    TargetLabel->setMinimumHeight(TargetLabel->fontMetrics().height() * 2 + 4);

    Caption(grid, QStringLiteral("종류"), TextKindBox, 0, 0);
    grid->addWidget(TextKindBox, 0, 1);
    Caption(grid, QStringLiteral("과정"), CourseBox, 0, 2);
    grid->addWidget(CourseBox, 0, 3);
    Caption(grid, QStringLiteral("단계"), LessonBox, 0, 4);
    grid->addWidget(LessonBox, 0, 5);
    Caption(grid, QStringLiteral("개수"), CountBox, 0, 6);
    grid->addWidget(CountBox, 0, 7);
    grid->addWidget(NewTextButton, 0, 8);
    grid->addWidget(TargetLabel, 1, 0, 1, 9);
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* SendingPracticeWindow::buildKeying() {
    auto* box = new QGroupBox(QStringLiteral("키잉"), this);
    auto* rows = new QVBoxLayout(box);
    auto* buttons = new QHBoxLayout;
    StartButton = new QPushButton(QStringLiteral("키잉 시작(&S)"), box);
    StopButton = new QPushButton(QStringLiteral("멈춤 (Esc)"), box);
    StopButton->setEnabled(false);
    OnAirCheck = new QCheckBox(QStringLiteral("송신(&A)"), box);
    StatusLabel = new QLabel(box);
    StatusLabel->setWordWrap(true);
    buttons->addWidget(StartButton);
    buttons->addWidget(StopButton);
    buttons->addWidget(OnAirCheck);
    buttons->addWidget(StatusLabel, 1);
    rows->addLayout(buttons);
    OnAirLabel = new QLabel(box);
    OnAirLabel->setWordWrap(true);
    rows->addWidget(OnAirLabel);
    SidetoneLabel = new QLabel(box);
    SidetoneLabel->setWordWrap(true);
    rows->addWidget(SidetoneLabel);
    DecodedView = new QTextBrowser(box);
    QFont font = DecodedView->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    DecodedView->setFont(font);
    DecodedView->setFixedHeight(DecodedView->fontMetrics().lineSpacing() * 3 + 16);
    rows->addWidget(DecodedView);
    return box;
}

QWidget* SendingPracticeWindow::buildResults() {
    auto* box = new QGroupBox(QStringLiteral("결과"), this);
    auto* rows = new QVBoxLayout(box);
    ResultView = new QTextBrowser(box);
    ResultView->setMinimumHeight(150);
    rows->addWidget(ResultView, 1);
    Strip = new TimingStrip(box);
    rows->addWidget(Strip);
    return box;
}

void SendingPracticeWindow::connectHandlers() {
    connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    connect(StopButton, &QPushButton::clicked, this, [this] { StopButtonClick(); });
    connect(OnAirCheck, &QCheckBox::clicked, this, [this] { OnAirCheckClick(); });
    connect(NewTextButton, &QPushButton::clicked, this, [this] { NewTextButtonClick(); });
    connect(StraightKeyButton, &QToolButton::clicked, this, [this] { StraightKeyButtonClick(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_keying) StopButtonClick();
        if (m_capturingStraightKey) {
            m_capturingStraightKey = false;
            refreshStraightKey();
        }
    });
    StraightKeyButton->installEventFilter(this);
    connect(m_ticker, &QTimer::timeout, this, [this] { tick(); });
    connect(InputBox, &QComboBox::currentIndexChanged, this, [this] { refreshInput(); });
    connect(KeysBox, &QComboBox::currentIndexChanged, this, [this] {
        m_mapping = MappingOf(KeysBox->currentIndex(), m_mapping.straightKey());
        m_filter->setMapping(m_mapping);
    });
    connect(ModeBox, &QComboBox::currentIndexChanged, this, [this] { keyerSettingsChanged(); });
    for (QSpinBox* box : {SpeedBox, WeightBox})
        connect(box, &QSpinBox::valueChanged, this, [this] { keyerSettingsChanged(); });
    for (QCheckBox* check : {DitMemoryCheck, DahMemoryCheck, LetterSpaceCheck, SwapCheck})
        connect(check, &QCheckBox::toggled, this, [this] { keyerSettingsChanged(); });
    connect(CourseBox, &QComboBox::currentIndexChanged, this, [this] { courseChanged(); });
    connect(LessonBox, &QSpinBox::valueChanged, this, [this] { refreshLesson(); });
    connect(TextKindBox, &QComboBox::currentIndexChanged, this, [this] { refreshLesson(); });
    connect(CountBox, &QSpinBox::valueChanged, this, [this] { refreshLesson(); });
}

// ----- Choices -----

SendingPracticeWindow::Input SendingPracticeWindow::input() const {
    return InputBox->currentIndex() == 1 ? Input::Serial : Input::Keyboard;
}

cwt::KeyAdapterMapping SendingPracticeWindow::keyMapping() const { return m_mapping; }

cwt::SerialPaddleConfig SendingPracticeWindow::serialConfig() const {
    cwt::SerialPaddleConfig config;
    config.device = PortBox->currentText().trimmed().toStdString();
    config.straightKey = SerialStraightCheck->isChecked();
    config.dahLine = DahLineBox->currentIndex() == 1 ? cwt::DahLine::Dcd : cwt::DahLine::Dsr;
    config.supply =
        SupplyBox->currentIndex() == 1 ? cwt::PaddleSupply::Rts : cwt::PaddleSupply::Dtr;
    return config;
}

cwt::keyer::KeyerSettings SendingPracticeWindow::keyerSettings() const {
    cwt::keyer::KeyerSettings settings;
    settings.mode = static_cast<cwt::keyer::KeyerMode>(std::max(0, ModeBox->currentIndex()));
    settings.wpm = SpeedBox->value();
    settings.weightPercent = WeightBox->value();
    settings.ditMemory = DitMemoryCheck->isChecked();
    settings.dahMemory = DahMemoryCheck->isChecked();
    settings.autoLetterSpace = LetterSpaceCheck->isChecked();
    settings.swapLevers = SwapCheck->isChecked();
    return settings;
}

cwt::Course SendingPracticeWindow::course() const {
    return CourseBox->currentIndex() == 1 ? cwt::Course::Korean : cwt::Course::English;
}

int SendingPracticeWindow::lesson() const { return LessonBox->value(); }

cwt::SendingTextKind SendingPracticeWindow::textKind() const {
    return static_cast<cwt::SendingTextKind>(std::max(0, TextKindBox->currentIndex()));
}

// On first use: iambic B at 15 WPM, weight 50 %, both adapters' keys, free keying.
void SendingPracticeWindow::loadChoices() {
    const cwt::keyer::KeyerSettings first;
    auto choice = [this](const QString& key, const QString& fallback) {
        return m_store->choice(key, fallback);
    };
    auto flag = [&](const QString& key, bool fallback) {
        return choice(key, Flag(fallback)) == "1";
    };
    InputBox->setCurrentIndex(choice(kInputKey, QStringLiteral("keyboard")) == "serial" ? 1 : 0);
    m_mapping = cwt::KeyAdapterMapping::fromSetting(choice(kKeysKey, QString()))
                    .value_or(cwt::KeyAdapterMapping::defaults());
    KeysBox->setCurrentIndex(ChoiceOf(m_mapping));
    m_mapping = MappingOf(KeysBox->currentIndex(), m_mapping.straightKey());
    m_filter->setMapping(m_mapping);
    const QString port = choice(kPortKey, QString());
    if (!port.isEmpty()) PortBox->setCurrentText(port);
    DahLineBox->setCurrentIndex(choice(kDahLineKey, QStringLiteral("dsr")) == "dcd" ? 1 : 0);
    SupplyBox->setCurrentIndex(choice(kSupplyKey, QStringLiteral("dtr")) == "rts" ? 1 : 0);
    SerialStraightCheck->setChecked(flag(kSerialStraightKey, false));
    const int mode = choice(kModeKey, QString::number(static_cast<int>(first.mode))).toInt();
    ModeBox->setCurrentIndex(std::clamp(mode, 0, ModeBox->count() - 1));
    SpeedBox->setValue(choice(kSpeedKey, QString::number(first.wpm)).toInt());
    WeightBox->setValue(choice(kWeightKey, QString::number(first.weightPercent)).toInt());
    DitMemoryCheck->setChecked(flag(kDitMemoryKey, first.ditMemory));
    DahMemoryCheck->setChecked(flag(kDahMemoryKey, first.dahMemory));
    LetterSpaceCheck->setChecked(flag(kLetterSpaceKey, first.autoLetterSpace));
    SwapCheck->setChecked(flag(kSwapKey, first.swapLevers));
    const int kind =
        choice(kTextKindKey, QString::number(static_cast<int>(cwt::SendingTextKind::Free))).toInt();
    TextKindBox->setCurrentIndex(std::clamp(kind, 0, TextKindBox->count() - 1));
    CountBox->setValue(choice(kCountKey, QStringLiteral("5")).toInt());
    CourseBox->setCurrentIndex(choice(kCourseKey, QStringLiteral("en")) == "ko" ? 1 : 0);
    courseChanged();  // the lesson of the course, the text and the plot
    refreshInput();
    refreshStraightKey();
}

void SendingPracticeWindow::saveChoices() {
    m_store->setChoice(kInputKey, input() == Input::Serial ? "serial" : "keyboard");
    m_store->setChoice(kKeysKey, m_mapping.toSetting());
    m_store->setChoice(kPortKey, PortBox->currentText().trimmed());
    m_store->setChoice(kDahLineKey, DahLineBox->currentIndex() == 1 ? "dcd" : "dsr");
    m_store->setChoice(kSupplyKey, SupplyBox->currentIndex() == 1 ? "rts" : "dtr");
    m_store->setChoice(kSerialStraightKey, Flag(SerialStraightCheck->isChecked()));
    const cwt::keyer::KeyerSettings settings = keyerSettings();
    m_store->setChoice(kModeKey, QString::number(static_cast<int>(settings.mode)));
    m_store->setChoice(kSpeedKey, QString::number(settings.wpm));
    m_store->setChoice(kWeightKey, QString::number(settings.weightPercent));
    m_store->setChoice(kDitMemoryKey, Flag(settings.ditMemory));
    m_store->setChoice(kDahMemoryKey, Flag(settings.dahMemory));
    m_store->setChoice(kLetterSpaceKey, Flag(settings.autoLetterSpace));
    m_store->setChoice(kSwapKey, Flag(settings.swapLevers));
    m_store->setChoice(kTextKindKey, QString::number(TextKindBox->currentIndex()));
    m_store->setChoice(kCourseKey, course() == cwt::Course::Korean ? "ko" : "en");
    m_store->setChoice(LessonKey(course()), QString::number(lesson()));
    m_store->setChoice(kCountKey, QString::number(CountBox->value()));
}

// The controls of the input not chosen have nothing to say.
void SendingPracticeWindow::refreshInput() {
    const bool serial = input() == Input::Serial;
    for (QWidget* control : std::initializer_list<QWidget*>{KeysBox, StraightKeyButton})
        control->setEnabled(!serial && !m_keying);
    for (QWidget* control :
         std::initializer_list<QWidget*>{PortBox, DahLineBox, SupplyBox, SerialStraightCheck})
        control->setEnabled(serial && !m_keying);
}

void SendingPracticeWindow::refreshStraightKey() {
    const std::optional<cwt::KeyboardKey> key = m_mapping.straightKey();
    StraightKeyButton->setText(m_capturingStraightKey ? QStringLiteral("키를 누르세요…")
                               : key                  ? key->name()
                                                      : QStringLiteral("없음"));
    StraightKeyButton->setAccessibleDescription(
        QStringLiteral("누르면 다음에 누르는 키가 스트레이트 키가 됩니다. Delete는 지우고 Esc는 "
                       "그대로 둡니다. 지금: %1")
            .arg(key ? key->name() : QStringLiteral("없음")));
}

void SendingPracticeWindow::StraightKeyButtonClick() {
    m_capturingStraightKey = true;
    refreshStraightKey();
}

// The key pressed while StraightKeyButton waits for one becomes the straight key.
bool SendingPracticeWindow::captureStraightKey(QKeyEvent* event) {
    if (!m_capturingStraightKey || event->isAutoRepeat()) return false;
    m_capturingStraightKey = false;
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        m_mapping.setStraightKey(std::nullopt);
    } else if (event->key() != Qt::Key_Escape) {
        const cwt::KeyboardKey key = cwt::KeyOf(*event);
        // A key of the paddle's stays the paddle's.
        const cwt::KeyBinding* bound = m_mapping.bindingOf(key);
        if (!bound || bound->lever == cwt::keyer::Lever::Straight) m_mapping.setStraightKey(key);
    }
    m_filter->setMapping(m_mapping);
    refreshStraightKey();
    return true;
}

void SendingPracticeWindow::courseChanged() {
    LessonBox->setRange(1, cwt::LessonCount(course()));
    LessonBox->setValue(m_store->choice(LessonKey(course()), QStringLiteral("1")).toInt());
    refreshLesson();
    Plot->showHistory(m_store->sendingHistory(course()));
}

void SendingPracticeWindow::refreshLesson() {
    const cwt::SendingTextKind kind = textKind();
    const bool lessons = kind == cwt::SendingTextKind::LessonGroups;
    LessonBox->setEnabled(lessons && !m_keying);
    CountBox->setEnabled(!m_keying && (lessons || kind == cwt::SendingTextKind::Words ||
                                       kind == cwt::SendingTextKind::CallSigns));
    NewTextButton->setEnabled(kind != cwt::SendingTextKind::Free);
    if (!m_keying) drawTarget();
}

void SendingPracticeWindow::setChoicesEnabled(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{InputBox, TextKindBox, CourseBox})
        control->setEnabled(enabled);
    StartButton->setEnabled(enabled);
    StopButton->setEnabled(!enabled);
    refreshInput();
    refreshLesson();
}

void SendingPracticeWindow::showStoreState() { cwt::ShowHistoryState(StoreLabel, *m_store); }

// ----- Window events -----

void SendingPracticeWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    openKeyer();
    refreshOnAir();
    Plot->showHistory(m_store->sendingHistory(course()));
}

void SendingPracticeWindow::hideEvent(QHideEvent* event) {
    if (m_keying) stopKeying(QStringLiteral("창을 닫아 키잉을 멈췄습니다."));
    closeKeyer();
    // A window opened again goes on the air only when the operator asks again.
    OnAirCheck->setChecked(false);
    QWidget::hideEvent(event);
}

void SendingPracticeWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow()) {
        refreshOnAir();
    } else if (m_keying && input() == Input::Keyboard && m_keyer) {
        // The keys no longer come here: whatever sounds stops now, on the air too. A paddle on
        // a serial port goes on keying in the background.
        m_keyer->reset();
    }
}

bool SendingPracticeWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StraightKeyButton && event->type() == QEvent::KeyPress)
        return captureStraightKey(static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

void SendingPracticeWindow::closeEvent(QCloseEvent* event) {
    if (m_keying) StopButtonClick();
    saveChoices();
    event->accept();
}
