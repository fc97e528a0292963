#include "ui/practice/CopyPracticeWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "components/VelAccessible.h"
#include "engine/morse/Cp949Text.h"
#include "engine/practice/EffectiveSpeed.h"
#include "sound/WholeSend.h"
#include "store/ProgressStore.h"
#include "ui/common/PracticeHistoryLabel.h"
#include "ui/common/SendPort.h"
#include "ui/practice/CopyPracticeResults.h"
#include "ui/practice/ProgressPlot.h"

namespace {

constexpr int kMaxItems = 100;
constexpr double kSlowestWpm = 2.0;
constexpr double kFastestWpm = 150.0;  // above the fastest character speed, x1 with width 1
constexpr int kAnswerMaxLength = 200;

// The window's choices as they are kept.
const QString kCourseKey = QStringLiteral("course");
const QString kKindKey = QStringLiteral("item-kind");
const QString kItemsKey = QStringLiteral("items");
const QString kEffectiveKey = QStringLiteral("effective-wpm");
QString LessonKey(cwt::Course course) {
    return course == cwt::Course::Korean ? QStringLiteral("lesson-ko")
                                         : QStringLiteral("lesson-en");
}

QString Wpm(double wpm) { return QString::number(wpm, 'f', 1); }

QString Spaced(std::u16string_view symbols) {
    QStringList list;
    for (char16_t c : symbols) list << QString(QChar(c));
    return list.join(QChar(' '));
}

}  // namespace

CopyPracticeWindow::CopyPracticeWindow(cwt::SendPort& sender, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_sender(sender),
      m_store(std::make_unique<cwt::ProgressStore>()),
      m_random(static_cast<std::mt19937::result_type>(
          std::chrono::steady_clock::now().time_since_epoch().count())) {
    setObjectName(QStringLiteral("CopyPracticeWindow"));
    setWindowTitle(QStringLiteral("수신 연습"));
    buildLayout();
    connectHandlers();
    NameControlsForScreenReaders();
    OrderControlsForKeyboard();
    loadChoices();
    showStoreState();
}

CopyPracticeWindow::~CopyPracticeWindow() = default;

// ----- Layout -----

void CopyPracticeWindow::buildLayout() {
    auto* column = new QVBoxLayout(this);
    column->addWidget(buildSettings());
    column->addWidget(buildSession());
    column->addWidget(buildResults(), 1);
    Plot = new ProgressPlot(this);
    column->addWidget(Plot);
    StoreLabel = cwt::MakeHistoryLabel(this);
    column->addWidget(StoreLabel);
    resize(860, 780);
}

QWidget* CopyPracticeWindow::buildSettings() {
    auto* box = new QGroupBox(QStringLiteral("연습 설정"), this);
    auto* grid = new QGridLayout(box);
    auto label = [&](const QString& text, QWidget* buddy, int row, int col) {
        auto* caption = new QLabel(text, box);
        caption->setBuddy(buddy);
        grid->addWidget(caption, row, col);
    };
    CourseBox = new QComboBox(box);
    CourseBox->addItems({QStringLiteral("영문 Koch"), QStringLiteral("한글 Koch")});
    LessonBox = new QSpinBox(box);
    LessonCharsLabel = new QLabel(box);
    LessonCharsLabel->setWordWrap(true);
    KindBox = new QComboBox(box);
    KindBox->addItems(
        {QStringLiteral("다섯 글자 묶음"), QStringLiteral("단어"), QStringLiteral("호출부호")});
    ItemCountBox = new QSpinBox(box);
    ItemCountBox->setRange(1, kMaxItems);
    EffectiveSpeedBox = new QDoubleSpinBox(box);
    EffectiveSpeedBox->setRange(kSlowestWpm, kFastestWpm);
    EffectiveSpeedBox->setDecimals(1);
    EffectiveSpeedBox->setSingleStep(0.5);
    EffectiveSpeedBox->setSuffix(QStringLiteral(" WPM"));
    SpeedLabel = new QLabel(box);
    SpeedLabel->setWordWrap(true);

    label(QStringLiteral("과정"), CourseBox, 0, 0);
    grid->addWidget(CourseBox, 0, 1);
    label(QStringLiteral("단계"), LessonBox, 0, 2);
    grid->addWidget(LessonBox, 0, 3);
    grid->addWidget(LessonCharsLabel, 0, 4);
    label(QStringLiteral("문제 종류"), KindBox, 1, 0);
    grid->addWidget(KindBox, 1, 1);
    label(QStringLiteral("문제 수"), ItemCountBox, 1, 2);
    grid->addWidget(ItemCountBox, 1, 3);
    label(QStringLiteral("유효 속도"), EffectiveSpeedBox, 2, 0);
    grid->addWidget(EffectiveSpeedBox, 2, 1);
    grid->addWidget(SpeedLabel, 2, 2, 1, 3);
    grid->setColumnStretch(4, 1);
    return box;
}

QWidget* CopyPracticeWindow::buildSession() {
    auto* box = new QGroupBox(QStringLiteral("연습"), this);
    auto* rows = new QVBoxLayout(box);
    auto* buttons = new QHBoxLayout;
    StartButton = new QPushButton(QStringLiteral("연습 시작"), box);
    StopButton = new QPushButton(QStringLiteral("연습 멈춤"), box);
    StopButton->setEnabled(false);
    ProgressLabel = new QLabel(box);
    ProgressLabel->setWordWrap(true);
    buttons->addWidget(StartButton);
    buttons->addWidget(StopButton);
    buttons->addWidget(ProgressLabel, 1);
    rows->addLayout(buttons);
    auto* answer = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("받아 적기"), box);
    AnswerEdit = new QLineEdit(box);
    AnswerEdit->setMaxLength(kAnswerMaxLength);
    AnswerEdit->setEnabled(false);
    QFont font = AnswerEdit->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    AnswerEdit->setFont(font);
    caption->setBuddy(AnswerEdit);
    answer->addWidget(caption);
    answer->addWidget(AnswerEdit, 1);
    rows->addLayout(answer);
    return box;
}

QWidget* CopyPracticeWindow::buildResults() {
    auto* box = new QGroupBox(QStringLiteral("결과"), this);
    auto* rows = new QVBoxLayout(box);
    auto* top = new QHBoxLayout;
    ScoreLabel = new QLabel(QStringLiteral("점수: -"), box);
    QFont font = ScoreLabel->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.5);
    ScoreLabel->setFont(font);
    PassLabel = new QLabel(box);
    PassLabel->setWordWrap(true);
    NextLessonButton = new QPushButton(QStringLiteral("다음 단계로"), box);
    NextLessonButton->setEnabled(false);
    top->addWidget(ScoreLabel);
    top->addWidget(PassLabel, 1);
    top->addWidget(NextLessonButton);
    rows->addLayout(top);
    ResultView = new QTextBrowser(box);
    ResultView->setMinimumHeight(140);
    rows->addWidget(ResultView, 1);
    return box;
}

void CopyPracticeWindow::connectHandlers() {
    connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    connect(StopButton, &QPushButton::clicked, this, [this] { StopButtonClick(); });
    connect(AnswerEdit, &QLineEdit::returnPressed, this, [this] { AnswerEditReturn(); });
    connect(NextLessonButton, &QPushButton::clicked, this, [this] { NextLessonButtonClick(); });
    connect(CourseBox, &QComboBox::currentIndexChanged, this, [this] { CourseBoxChange(); });
    connect(LessonBox, &QSpinBox::valueChanged, this, [this] { LessonBoxChange(); });
    connect(KindBox, &QComboBox::currentIndexChanged, this, [this] { refreshLesson(); });
    connect(EffectiveSpeedBox, &QDoubleSpinBox::valueChanged, this, [this] { refreshSpeeds(); });
}

// ----- Choices -----

cwt::Course CopyPracticeWindow::course() const {
    return CourseBox->currentIndex() == 1 ? cwt::Course::Korean : cwt::Course::English;
}

int CopyPracticeWindow::lesson() const { return LessonBox->value(); }

cwt::ItemKind CopyPracticeWindow::itemKind() const {
    return static_cast<cwt::ItemKind>(std::max(0, KindBox->currentIndex()));
}

void CopyPracticeWindow::loadChoices() {
    const int kind = m_store->choice(kKindKey, QStringLiteral("0")).toInt();
    KindBox->setCurrentIndex(std::clamp(kind, 0, KindBox->count() - 1));
    ItemCountBox->setValue(m_store->choice(kItemsKey, QStringLiteral("10")).toInt());
    EffectiveSpeedBox->setValue(m_store->choice(kEffectiveKey, QStringLiteral("8")).toDouble());
    CourseBox->setCurrentIndex(m_store->choice(kCourseKey, QStringLiteral("en")) == "ko" ? 1 : 0);
    CourseBoxChange();  // the lesson of the course, and the kinds of item it offers
}

void CopyPracticeWindow::saveChoices() {
    m_store->setChoice(kCourseKey, course() == cwt::Course::Korean ? "ko" : "en");
    m_store->setChoice(LessonKey(course()), QString::number(lesson()));
    m_store->setChoice(kKindKey, QString::number(KindBox->currentIndex()));
    m_store->setChoice(kItemsKey, QString::number(ItemCountBox->value()));
    m_store->setChoice(kEffectiveKey, QString::number(EffectiveSpeedBox->value()));
}

void CopyPracticeWindow::CourseBoxChange() {
    const cwt::Course chosen = course();
    LessonBox->setRange(1, cwt::LessonCount(chosen));
    LessonBox->setValue(m_store->choice(LessonKey(chosen), QStringLiteral("1")).toInt());
    // Call signs are English.
    auto* kinds = qobject_cast<QStandardItemModel*>(KindBox->model());
    const int calls = static_cast<int>(cwt::ItemKind::CallSigns);
    kinds->item(calls)->setEnabled(chosen == cwt::Course::English);
    if (chosen != cwt::Course::English && KindBox->currentIndex() == calls)
        KindBox->setCurrentIndex(0);
    refreshLesson();
    refreshPlot();
}

void CopyPracticeWindow::LessonBoxChange() {
    refreshLesson();
    refreshPlot();
}

void CopyPracticeWindow::NextLessonButtonClick() {
    LessonBox->setValue(lesson() + 1);
    m_store->setChoice(LessonKey(course()), QString::number(lesson()));
    NextLessonButton->setEnabled(false);
    StartButton->setFocus();
}

void CopyPracticeWindow::refreshLesson() {
    const std::u16string symbols = cwt::LessonSymbols(course(), lesson());
    LessonCharsLabel->setText(QStringLiteral("글자 %1개: %2 (새 글자 %3)")
                                  .arg(symbols.size())
                                  .arg(Spaced(symbols))
                                  .arg(QChar(symbols.back())));
    if (m_running) return;
    const cwt::ItemShortage shortage = cwt::CheckItems(course(), lesson(), itemKind());
    cwt::SetLabelText(ProgressLabel, shortageText(shortage));
}

QString CopyPracticeWindow::shortageText(cwt::ItemShortage shortage) const {
    switch (shortage) {
        case cwt::ItemShortage::None:
            return QString();
        case cwt::ItemShortage::NoWords:
            return QStringLiteral(
                "이 단계까지 배운 글자로 된 단어가 아직 없습니다. 다섯 글자 "
                "묶음으로 연습하세요.");
        case cwt::ItemShortage::CallSignsNotInCourse:
            return QStringLiteral("호출부호는 영문 과정에서 연습합니다.");
        case cwt::ItemShortage::NoCallSignPrefix:
            return QStringLiteral("호출부호의 앞머리 HL이나 DS의 글자를 아직 배우지 않았습니다.");
        case cwt::ItemShortage::NoCallSignDigit:
            return QStringLiteral("호출부호에 들어갈 숫자를 아직 배우지 않았습니다.");
    }
    return QString();
}

// ----- Speeds -----

double CopyPracticeWindow::characterWpm() const {
    return cwt::WpmOfUnitMs(cwt::UnitMs(m_sender.codeSettings(), m_sender.outputSampleRate()));
}

double CopyPracticeWindow::effectiveWpm() const {
    return std::min(EffectiveSpeedBox->value(), characterWpm());
}

void CopyPracticeWindow::refreshSpeeds() {
    const double character = characterWpm();
    const double effective = effectiveWpm();
    QString text = QStringLiteral("문자 속도 %1 WPM, 유효 속도 %2 WPM (PARIS 기준)")
                       .arg(Wpm(character), Wpm(effective));
    if (effective >= character) text += QStringLiteral(": 문자 사이를 늘이지 않습니다");
    SpeedLabel->setText(text);
}

// ----- The session -----

void CopyPracticeWindow::setSettingsEnabled(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             CourseBox, LessonBox, KindBox, ItemCountBox, EffectiveSpeedBox, StartButton})
        control->setEnabled(enabled);
    StopButton->setEnabled(!enabled);
    AnswerEdit->setEnabled(!enabled);
}

void CopyPracticeWindow::StartButtonClick() {
    if (m_running) return;
    const cwt::ItemShortage shortage = cwt::CheckItems(course(), lesson(), itemKind());
    if (shortage != cwt::ItemShortage::None) {
        cwt::SetLabelText(ProgressLabel, shortageText(shortage));
        return;
    }
    if (!m_sender.beginSend()) {
        cwt::SetLabelText(ProgressLabel, QStringLiteral("본 창에서 보내는 중입니다. 송신이 끝난 "
                                                        "다음에 시작하세요."));
        return;
    }
    saveChoices();
    m_items = cwt::DrawItems(course(), lesson(), itemKind(), ItemCountBox->value(), m_random);
    m_score = cwt::SessionScore();
    m_index = 0;
    m_running = true;
    m_stopRequested = false;
    m_answerWaiting = false;
    ResultView->clear();
    cwt::SetLabelText(ScoreLabel, QStringLiteral("점수: -"));
    PassLabel->clear();
    NextLessonButton->setEnabled(false);
    setSettingsEnabled(false);
    AnswerEdit->clear();
    AnswerEdit->setFocus();
    playCurrentItem();
}

void CopyPracticeWindow::playCurrentItem() {
    auto stopped = [this] { return m_stopRequested || m_sender.sendStopped(); };
    if (stopped()) {
        endSession(QStringLiteral("연습을 멈췄습니다. 멈춘 연습은 기록하지 않습니다."));
        return;
    }
    const int count = static_cast<int>(m_items.size());
    cwt::SetLabelText(ProgressLabel,
                      QStringLiteral("문제 %1/%2: 듣는 중").arg(m_index + 1).arg(count));
    const std::optional<std::string> text = cwt::cp949::EncodeStrict(m_items[m_index]);
    const std::vector<cwt::PlannedBuffer> plan = cwt::PlanWholeSend(text.value_or(""), {});
    // The tone, width and speed are the main window's, read as the item starts.
    const cwt::CodeSettings settings = m_sender.codeSettings();
    refreshSpeeds();
    m_sessionCharacterWpm = characterWpm();
    m_sessionEffectiveWpm = effectiveWpm();
    const std::vector<long long> extra = cwt::ExtraSilence(
        plan, cwt::TicksPerUnit(settings), m_sessionCharacterWpm, m_sessionEffectiveWpm);
    m_playing = true;
    QPointer<CopyPracticeWindow> alive(this);
    cwt::PlayPlan(m_sender.codePlayer(), plan, settings, extra, stopped);
    if (!alive) return;
    m_playing = false;
    if (stopped()) {
        endSession(QStringLiteral("연습을 멈췄습니다. 멈춘 연습은 기록하지 않습니다."));
        return;
    }
    cwt::SetLabelText(
        ProgressLabel,
        QStringLiteral("문제 %1/%2: 받아 적은 글자를 쓰고 Enter").arg(m_index + 1).arg(count));
    m_awaitingAnswer = true;
    if (m_answerWaiting) {
        m_answerWaiting = false;
        takeAnswer();
    }
}

void CopyPracticeWindow::AnswerEditReturn() {
    if (!m_running || m_index >= static_cast<int>(m_items.size())) return;
    // Copying while the item sounds is how it is done: the answer counts once it has ended.
    // Between an answer and the next item, Enter means nothing.
    if (m_playing)
        m_answerWaiting = true;
    else if (m_awaitingAnswer)
        takeAnswer();
}

void CopyPracticeWindow::takeAnswer() {
    m_awaitingAnswer = false;
    const cwt::ItemScore item = cwt::ScoreItem(course(), m_items[static_cast<size_t>(m_index)],
                                               AnswerEdit->text().toStdU16String());
    m_score.add(item);
    ResultView->append(ItemResultHtml(m_index + 1, item));
    AnswerEdit->clear();
    showScore();
    ++m_index;
    if (m_index >= static_cast<int>(m_items.size())) {
        finishSession();
        return;
    }
    cwt::SetLabelText(ProgressLabel, QStringLiteral("다음 문제"));
    const int next = m_index;
    QTimer::singleShot(itemPauseMs, this, [this, next] {
        if (m_running && !m_playing && m_index == next) playCurrentItem();
    });
}

void CopyPracticeWindow::showScore() {
    cwt::SetLabelText(ScoreLabel, QStringLiteral("점수: %1%").arg(m_score.percent()));
}

void CopyPracticeWindow::finishSession() {
    m_sender.endSend();
    cwt::PracticeSession record = cwt::SessionOf(m_score);
    record.course = course();
    record.lesson = lesson();
    record.kind = itemKind();
    record.characterWpm = m_sessionCharacterWpm;
    record.effectiveWpm = m_sessionEffectiveWpm;
    const bool saved = m_store->saveSession(record);
    ResultView->append(SessionSummaryHtml(m_score, cwt::CourseOrder(course())));
    const bool last = lesson() >= cwt::LessonCount(course());
    if (m_score.passed()) {
        PassLabel->setText(
            last
                ? QStringLiteral("통과: 마지막 단계를 마쳤습니다.")
                : QStringLiteral("통과: 다음 단계 %1을(를) 연습할 수 있습니다.").arg(lesson() + 1));
    } else {
        PassLabel->setText(QStringLiteral("다음 단계로 가려면 %1자 이상에서 %2% 이상이 "
                                          "필요합니다 (이번 %3자, %4%).")
                               .arg(cwt::kPassMinimumSymbols)
                               .arg(cwt::kPassPercent)
                               .arg(m_score.sentSymbols())
                               .arg(m_score.percent()));
    }
    NextLessonButton->setEnabled(m_score.passed() && !last);
    showStoreState();
    refreshPlot();
    endSession(saved ? QStringLiteral("연습을 마쳤습니다.")
                     : QStringLiteral("연습을 마쳤습니다. 기록은 저장하지 못했습니다."));
}

void CopyPracticeWindow::StopButtonClick() {
    if (!m_running) return;
    m_stopRequested = true;
    // A sounding item stops after its letter and ends the session itself.
    if (!m_playing) endSession(QStringLiteral("연습을 멈췄습니다. 멈춘 연습은 기록하지 않습니다."));
}

void CopyPracticeWindow::endSession(const QString& progress) {
    m_sender.endSend();
    m_running = false;
    m_playing = false;
    m_answerWaiting = false;
    m_awaitingAnswer = false;
    setSettingsEnabled(true);
    cwt::SetLabelText(ProgressLabel, progress);
    (NextLessonButton->isEnabled() ? static_cast<QWidget*>(NextLessonButton) : StartButton)
        ->setFocus();
    emit sessionEnded();
}

// ----- History -----

void CopyPracticeWindow::refreshPlot() {
    Plot->showScores(m_store->scoreHistory(course()));
    Plot->showAccuracy(cwt::LessonSymbols(course(), lesson()), m_store->symbolTotals(course()));
}

void CopyPracticeWindow::showStoreState() { cwt::ShowHistoryState(StoreLabel, *m_store); }

// ----- Window events -----

void CopyPracticeWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshSpeeds();
    refreshPlot();
}

void CopyPracticeWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The main window's speed may have changed while the operator was there.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) refreshSpeeds();
}

void CopyPracticeWindow::closeEvent(QCloseEvent* event) {
    StopButtonClick();
    saveChoices();
    event->accept();
}
