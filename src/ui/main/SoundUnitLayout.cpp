// The main window's layout: every control with its caption, range, default, hint, font and
// colour. Positions are those of the layout at 96 dots per inch; the panels that the layout
// aligns (top band, left column, centre, dock band) are Qt layouts so that resizing behaves
// as the layout's alignment does.

#include <qdrawutil.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QVBoxLayout>

#include "components/VelEdit.h"
#include "components/VelLabel.h"
#include "components/VelSpeedButton.h"
#include "ui/common/Fonts.h"
#include "ui/common/ProgramInfo.h"
#include "ui/common/RadioGroup.h"
#include "ui/main/LongLineWrap.h"
#include "ui/main/SoundUnit.h"

using cwt::kBatang;
using cwt::kBatangChe;
using cwt::LayoutFont;

namespace {

constexpr int kPanel2Height = 132;
constexpr int kPanel1Width = 105;
constexpr int kMemo1Height = 137;
constexpr int kSplitterWidth = 2;
constexpr int kSplitterMinSize = 38;
constexpr int kGripWidth = 10;
constexpr int kHzLabelLeft = 8 + 161 + 2;  // two pixels right of the track bars

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kPurple(128, 0, 128);
const QColor kFuchsia(255, 0, 255);

// The welcome text of the editor: how to use the window, and a first text to send.
const char kWelcomeText[] =
    "CW Tamarik - 타마릭에 오신 것을 환영합니다.\n"
    "보낼 글을 여기에 쓰거나 파일 메뉴의 열기로 불러온 다음 시작을 누르세요.\n"
    "CQ CQ CQ DE HL0CW HL0CW K";

// The Function box's grip at its left edge. Dragging it takes the box out into a window of
// its own, which follows the pointer; letting go over the dock band puts it back. A double
// click floats the box or docks it again. (The grip does the dragging itself: the dock
// widget's own drag does not start from a custom title bar.)
class DockGrip : public QWidget {
public:
    DockGrip(QDockWidget* dock, QWidget* dockBand) : QWidget(dock), m_dock(dock), m_band(dockBand) {
        setCursor(Qt::SizeAllCursor);
        setToolTip(QStringLiteral("Function"));
    }

    // The dock widget sizes its title bar from this hint, not from the fixed size.
    QSize sizeHint() const override { return {kGripWidth, kGripWidth}; }

protected:
    void paintEvent(QPaintEvent*) override {
        // Drawn like a tool bar's handle, so it reads as something to take hold of.
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        option.state |= QStyle::State_Horizontal;
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        m_pressGlobal = event->globalPosition().toPoint();
        m_grabOffset = mapTo(m_dock, event->position().toPoint());
        m_dragging = false;
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton)) return;
        const QPoint global = event->globalPosition().toPoint();
        if (!m_dragging &&
            (global - m_pressGlobal).manhattanLength() < QApplication::startDragDistance())
            return;
        if (!m_dragging) {
            m_dragging = true;
            if (!m_dock->isFloating()) m_dock->setFloating(true);
            grabMouse();
        }
        m_dock->move(global - m_grabOffset);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!m_dragging) return;
        m_dragging = false;
        releaseMouse();
        if (overDockBand(event->globalPosition().toPoint())) m_dock->setFloating(false);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) m_dock->setFloating(!m_dock->isFloating());
    }

private:
    // The band the box fills when docked, at the bottom of the window.
    bool overDockBand(QPoint global) const {
        const QPoint bottomLeft = m_band->mapToGlobal(QPoint(0, m_band->height()));
        const QRect band(bottomLeft.x(), bottomLeft.y() - TForm1::kPanel3DockedHeight,
                         m_band->width(), TForm1::kPanel3DockedHeight);
        return band.contains(global);
    }

    QDockWidget* m_dock;
    QWidget* m_band;
    QPoint m_pressGlobal;
    QPoint m_grabOffset;
    bool m_dragging = false;
};

// A panel with a lowered outer and a raised inner bevel, one pixel each: the panel sits sunk
// into the window and its face stands up inside that edge.
class BevelFrame : public QFrame {
public:
    explicit BevelFrame(QWidget* parent) : QFrame(parent) {
        setFrameStyle(QFrame::NoFrame);
        setContentsMargins(2, 2, 2, 2);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
        qDrawShadePanel(&painter, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
    }
};

QFrame* BevelPanel(QWidget* parent) { return new BevelFrame(parent); }

QLabel* PlacedLabel(const QString& text, int left, int top, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QSlider* TrackBar(int left, int top, int minimum, int maximum, int tick, int position,
                  QWidget* parent) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setGeometry(left, top, 161, 25);
    bar->setRange(minimum, maximum);
    bar->setTickInterval(tick);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setPageStep(tick);
    bar->setValue(position);
    return bar;
}

QSpinBox* SpinEdit(int left, int top, int minimum, int maximum, int value, const QString& hint,
                   QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setGeometry(left, top, 49, 22);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setToolTip(hint);
    return spin;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    // A disabled control keeps the style's faded text, tinted with its colour, so a disabled
    // red Stop button still looks disabled.
    const QColor disabled = palette.color(QPalette::Disabled, QPalette::ButtonText);
    const QColor faded((colour.red() + 2 * disabled.red()) / 3,
                       (colour.green() + 2 * disabled.green()) / 3,
                       (colour.blue() + 2 * disabled.blue()) / 3);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
        palette.setColor(QPalette::Disabled, role, faded);
    }
    widget->setPalette(palette);
}

void SetBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

TVelEdit* HiddenEdit(const QString& text, int left, int top, QWidget* parent) {
    auto* edit = new TVelEdit(parent);
    edit->setGeometry(left, top, 57, 21);
    edit->setMask(QStringLiteral("#,###"));
    edit->setText(text);
    edit->setVisible(false);
    return edit;
}

}  // namespace

void TForm1::buildLayout() {
    setWindowTitle(QStringLiteral("CW Tamarik - 타마릭"));
    setFont(LayoutFont(kBatang, 13));
    move(kLeft, kTop);
    resize(kClientWidth, kClientHeight);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);

    buildSettingsBand();
    column->addWidget(Panel2);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    buildLeftColumn();
    buildCentre();
    middle->addWidget(Panel1);
    middle->addWidget(CenterPanel, 1);
    column->addLayout(middle, 1);

    buildFunctionBox();
    column->addWidget(Panel3);

    buildStatusBar();
    buildMenus();

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
}

void TForm1::buildSettingsBand() {
    Panel2 = BevelPanel(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedHeight(kPanel2Height);
    QWidget* p = Panel2;

    BeepFreqLabel = PlacedLabel(QStringLiteral("소리 주파수: 1,400"), 8, 8, p);
    // "Hz" stands clear of the end of its bar (the layout's 168 is inside it).
    Label3 = PlacedLabel(QStringLiteral("Hz"), kHzLabelLeft, 24, p);
    BeepFreq = TrackBar(8, 22, 10, 22000, 500, 897, p);
    BeepFreqCutLabel = PlacedLabel(QStringLiteral("소리주파수 컷: 100"), 8, 50, p);
    BeepFreqCut = TrackBar(8, 62, 0, 125, 10, 108, p);
    Label1 = PlacedLabel(QStringLiteral("0"), 16, 88, p);
    TrackBar1 = TrackBar(8, 100, 0, 20, 2, 0, p);
    Label12 = PlacedLabel(QStringLiteral("Hz"), kHzLabelLeft, 104, p);
    // The labels sit over the bars' free corners; keep them in front.
    for (QLabel* label : {BeepFreqLabel, BeepFreqCutLabel, Label1}) label->raise();

    Label4 = PlacedLabel(QStringLiteral("음폭"), 192, 8, p);
    SpinEdit1 = SpinEdit(192, 24, 1, 10, 4, QStringLiteral("음폭"), p);
    Label6 = PlacedLabel(QStringLiteral("음색"), 192, 50, p);
    SpinEdit4 = SpinEdit(192, 64, 1, 50, 4, QStringLiteral("음색"), p);

    SoundControlType = new RadioGroup(QStringLiteral("음 종류"), {"M1", "M2", "M3", "M4"}, 4, p);
    // The groups grow from the layout's sizes as far as their items need to stand apart; a
    // group that grew pushes the one below it down.
    SoundControlType->place(QRect(248, 4, 161, 33));
    SoundControlType->setItemIndex(0);
    RadioGroup1 =
        new RadioGroup(QStringLiteral("배수"),
                       {"x1", "x2", "x3", "x4", "x5", "x6", "x7", "x8", "x9", "x10"}, 5, p);
    const int group1Top = std::max(40, SoundControlType->geometry().bottom() + 1);
    RadioGroup1->place(QRect(248, group1Top, 217, 43));
    RadioGroup1->setItemIndex(4);
    RadioGroup1->setToolTip(QStringLiteral("x5"));

    RecordButton = new QPushButton(QStringLiteral("사운드녹음"), p);
    RecordButton->setGeometry(512, 8, 81, 22);
    RecordButton->setCheckable(true);
    RecordButton->setFont(LayoutFont(kBatang, 13));
    SetTextColour(RecordButton, kBlue);
    RecordButton->setToolTip(QStringLiteral("프로그램에서 출력되는 사운드를 화일로 저장"));

    RadioGroup2 = new RadioGroup(
        QStringLiteral("무작위 5문자 생성"),
        {QStringLiteral("문자"), QStringLiteral("숫자"), QStringLiteral("문자,숫자")}, 1, p);
    // Three rows of Korean items need more than the layout's 57 pixels: the group reaches up
    // towards the record button and the button below it moves down, each only as needed.
    RadioGroup2->place(QRect(480, 40, 121, 57));
    const int group2Top = std::max(RecordButton->geometry().bottom() + 2,
                                   std::min(40, 104 - 1 - RadioGroup2->height()));
    RadioGroup2->move(480, group2Top);
    RadioGroup2->setItemIndex(2);
    RandomSoundButton = new QPushButton(QStringLiteral("무작위 5문자 생성"), p);
    const int randomButtonTop = std::max(104, RadioGroup2->geometry().bottom() + 1);
    RandomSoundButton->setGeometry(488, randomButtonTop, 113, 22);
    RandomSoundButton->setCheckable(true);
    RandomSoundButton->setToolTip(QStringLiteral("영문 5문자씩 무작위로 생성됨"));

    // Both may be up; pressing one down releases the other (see pressToggle). They are no
    // QButtonGroup: Qt would keep only one of a group's buttons a Tab stop.

    Label8 = PlacedLabel(QStringLiteral("단음 길이  장음길이"), 192, 88, p);
    SmallEdit = HiddenEdit(QStringLiteral("12"), 192, 104, p);
    SmallEdit->setAlignment(cwt::taRightJustify);
    SmallEdit->setButtonVisible(false);
    LargeEdit = HiddenEdit(QStringLiteral("36"), 256, 104, p);
    Label9 = PlacedLabel(QStringLiteral("msec"), 320, 112, p);
    Label7 = PlacedLabel(QStringLiteral("문자간지연"), 368, 88, p);
    CharDelayEdit = HiddenEdit(QStringLiteral("10"), 368, 104, p);
    for (QLabel* label : {Label8, Label9, Label7}) label->setVisible(false);

    Button1 = new QPushButton(QStringLiteral("Button1"), p);
    Button1->setGeometry(424, 8, 75, 25);
    Button1->setVisible(false);
}

void TForm1::buildLeftColumn() {
    Panel1 = BevelPanel(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedWidth(kPanel1Width);
    QWidget* p = Panel1;

    Label5 = new QLabel(QStringLiteral("A"), p);
    Label5->setGeometry(8, 24, 81, 65);
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setFont(LayoutFont(kBatang, 64, true));
    SetBackground(Label5, Qt::white);

    Label2 = new TVelLabel(p);
    Label2->setGeometry(8, 88, 81, 16);
    Label2->setText(QStringLiteral("Label2"));
    Label2->setAlignment(cwt::taCenter);
    Label2->setLineStyle(cwt::fsTop);
    Label2->setFont(LayoutFont(kBatang, 16, true));
    Label2->setFontColor(kFuchsia);
    Label2->setColor(Qt::white);

    Image1 = new QLabel(p);
    Image1->setGeometry(8, 108, 81, 9);
    Image1->setAlignment(Qt::AlignCenter);

    CheckBox1 = new QCheckBox(QStringLiteral("PC Speaker"), p);
    CheckBox1->setGeometry(8, 128, 89, 17);
    WaveVolume = new QSlider(Qt::Vertical, p);
    WaveVolume->setGeometry(8, 144, 25, 113);
    WaveVolume->setRange(0, 65535);
    WaveVolume->setTickInterval(8192);
    WaveVolume->setPageStep(8192);
    WaveVolume->setTickPosition(QSlider::TicksRight);
    // Position 0 is full volume and sits at the top.
    WaveVolume->setInvertedAppearance(true);
    WaveVolume->setInvertedControls(true);
    WaveVolume->setToolTip(QStringLiteral("마스타볼륨"));
    CheckBox2 = new QCheckBox(QStringLiteral("음소거"), p);
    CheckBox2->move(8, 256);
    CheckBox2->setToolTip(QStringLiteral("마스타 뮤트"));
    CheckBox2->setVisible(false);

    // The program's own homepage; the hint names the program. The address is wider than the
    // column: it takes a line up to each slash (breaking at its hyphen would split a name).
    Label10 = new QLabel(cwt::ProgramHomepageShown().replace(u'/', QStringLiteral("/\n")), p);
    Label10->setAccessibleName(cwt::ProgramHomepageShown());
    Label10->setAlignment(Qt::AlignCenter);
    Label10->setCursor(Qt::PointingHandCursor);
    Label10->setToolTip(cwt::ProgramName() + QStringLiteral(" 홈페이지"));
    Label10->setFont(LayoutFont(kBatang, 11));
    SetTextColour(Label10, kBlue);
    Panel1->installEventFilter(this);
}

void TForm1::buildCentre() {
    CenterPanel = new QWidget(this);
    CenterPanel->setObjectName("CenterPanel");
    auto* layout = new QVBoxLayout(CenterPanel);
    layout->setContentsMargins(0, 0, 0, 0);

    Splitter1 = new QSplitter(Qt::Vertical, CenterPanel);
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setStyleSheet(QStringLiteral("QSplitter::handle { background: #CACAFF; }"));
    layout->addWidget(Splitter1);

    Memo1 = new QPlainTextEdit(Splitter1);
    Memo1->setFont(LayoutFont(kBatangChe, 13));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    Memo1->setMinimumHeight(kSplitterMinSize);
    SetBackground(Memo1, QColor(0xF0, 0xF7, 0xFF));
    Memo1->setPlainText(QString::fromUtf8(kWelcomeText));
    new LongLineWrap(Memo1);

    DispPanel = BevelPanel(Splitter1);
    DispPanel->setObjectName("DispPanel");
    DispPanel->setMinimumHeight(kSplitterMinSize);
    QWidget* p = DispPanel;
    Edit1 = new QLineEdit(QStringLiteral("영어 문자를 입력 하세요.."), p);
    Edit1->setGeometry(8, 8, 193, 21);
    Edit1->setFont(LayoutFont(kBatangChe, 13));
    // The sending buttons leave the focus where it was, so Start still knows whether the
    // operator was typing in Edit1.
    AutoStartButton = new QPushButton(QStringLiteral("시작"), p);
    AutoStartButton->setGeometry(216, 6, 65, 25);
    AutoStopButton = new QPushButton(QStringLiteral("멈춤"), p);
    AutoStopButton->setGeometry(288, 6, 65, 25);
    AutoStopButton->setEnabled(false);
    SetTextColour(AutoStopButton, kRed);
    PauseButton = new QPushButton(QStringLiteral("일시정지"), p);
    PauseButton->setGeometry(360, 6, 65, 25);
    PauseButton->setCheckable(true);
    PauseButton->setEnabled(false);
    for (QPushButton* b : {AutoStartButton, AutoStopButton, PauseButton})
        b->setFocusPolicy(Qt::TabFocus);

    DispMemo = new QPlainTextEdit(p);
    DispMemo->setReadOnly(true);
    DispMemo->setFont(LayoutFont(kBatangChe, 13));
    DispMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    DispMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DispMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetBackground(DispMemo, QColor(0xDF, 0xFF, 0xFF));
    SetTextColour(DispMemo, kPurple);
    DispMemo->setPlainText(QStringLiteral("Play Datas......."));
    DispMemo->setGeometry(2, 35, 429, 104);

    Button2 = new QPushButton(QStringLiteral("Button2"), p);
    Button2->setGeometry(136, 352, 75, 25);
    Button2->setVisible(false);

    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kMemo1Height, kClientHeight});
    DispPanel->installEventFilter(this);
}

void TForm1::buildFunctionBox() {
    // Panel3 is a dock site of its own, so the Function box docks back into this band only.
    Panel3 = new QMainWindow(this);
    Panel3->setWindowFlags(Qt::Widget);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedHeight(kPanel3DockedHeight);
    Panel3->setDockOptions(QMainWindow::AnimatedDocks);

    FunctionDock = new QDockWidget(QStringLiteral("Function"), Panel3);
    FunctionDock->setObjectName("FunctionDock");
    FunctionDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    // Floating, the box is a window of its own and inherits no font from this one.
    FunctionDock->setFont(LayoutFont(kBatang, 13));
    FunctionDock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                              QDockWidget::DockWidgetVerticalTitleBar);
    // The group box's own caption says "Function"; the dock's title bar is only a grip at
    // its left edge. Dragging the grip floats the box; dragging it back over the band, or a
    // double click, docks it again.
    auto* grip = new DockGrip(FunctionDock, Panel3);
    FunctionDock->setTitleBarWidget(grip);

    GroupBox1 = new QGroupBox(QStringLiteral("Function"), FunctionDock);
    GroupBox1->setMinimumSize(404, 48);
    struct Sign {
        const char* caption;
        const char* hint;
        bool lineOnTop;
    };
    static const Sign kSigns[12] = {
        {"VVV", "송신시작", true},
        {"AR", "송신종료", true},
        {"AS", "기다리세요", true},
        {"BK", "Break 또는 상대방에 넘길때", true},
        {"BT", "본문에서 문장구분시", true},
        {"HH", "영문 정정부호", true},
        {"KA", "송신개시", false},
        {"KN", "송신하세요. 교신중에 타국에서 Break금지", true},
        {"K", "송신하세요. 교신중에 타국에서 Break걸어도 됨", false},
        {"VA", "통신종료", true},
        {"VE", "", true},
        {"I I", "한/영 변환", true},
    };
    for (int i = 0; i < 12; ++i) {
        auto* button = new TVelSpeedButton(GroupBox1);
        button->setObjectName(QStringLiteral("FuncButton%1").arg(i + 1));
        button->setText(QString::fromUtf8(kSigns[i].caption));
        button->setToolTip(QString::fromUtf8(kSigns[i].hint));
        button->setGeometry(8 + 32 * i, 16, 32, 27);
        if (kSigns[i].lineOnTop) button->setLineStyle(cwt::fsTop);
        FuncButton[static_cast<size_t>(i)] = button;
    }
    FuncButton[10]->setVisible(false);  // VE cannot be sent from the box
    Edit2 = new QLineEdit(QStringLiteral("0"), GroupBox1);
    Edit2->setVisible(false);

    FunctionDock->setWidget(GroupBox1);
    Panel3->addDockWidget(Qt::BottomDockWidgetArea, FunctionDock);
    Panel3->installEventFilter(this);
}

void TForm1::buildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);
    static constexpr std::array<int, 7> kWidths = {50, 70, 90, 110, 110, 120, 50};
    const std::array<QString, 7> initial = {QString(),
                                            QString(),
                                            QStringLiteral("문자수: 0"),
                                            QStringLiteral("진행문자수: 0"),
                                            QStringLiteral("진행부호수: 0"),
                                            QStringLiteral("진행시간: 00:00:000"),
                                            QString()};
    // The widest text each panel shows in practice.
    const std::array<QString, 7> widest = {QStringLiteral("  999: 999"),
                                           QStringLiteral("[영문]"),
                                           QStringLiteral("문자수: 99999"),
                                           QStringLiteral("실행문자수: 99999"),
                                           QStringLiteral("진행부호수: 99999"),
                                           QStringLiteral("진행시간: 00:00:000"),
                                           QString()};
    // The panels sit side by side without the status bar's own spacing, as the layout has them.
    auto* panels = new QWidget(StatusBar1);
    auto* row = new QHBoxLayout(panels);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (size_t i = 0; i < kWidths.size(); ++i) {
        auto* panel = new QLabel(initial[i], panels);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        const bool last = i + 1 == kWidths.size();
        // The layout's widths, grown where the texts need more room in this font; the last,
        // always empty panel takes what is left.
        const int textWidth = panel->fontMetrics().horizontalAdvance(widest[i]) + 8;
        panel->setMinimumWidth(last ? 0 : std::max(kWidths[i], textWidth));
        row->addWidget(panel, last ? 1 : 0);
        m_statusPanels[i] = panel;
    }
    StatusBar1->addWidget(panels, 1);
}

void TForm1::placeBottomAlignedControls() {
    // Label10 is bottom-aligned in the left column.
    const int height = Label10->sizeHint().height();
    Label10->setGeometry(2, Panel1->height() - 2 - height, kPanel1Width - 4, height);
}

void TForm1::buildMenus() {
    QMenuBar* bar = menuBar();
    N1 = bar->addMenu(QStringLiteral("파일"));
    N6 = N1->addAction(QStringLiteral("열    기"));
    N2 = N1->addAction(QStringLiteral("모스 코드표"));
    N1->addSeparator();
    N4 = N1->addAction(QStringLiteral("종    료"));

    buildSampleFormatMenus();

    QMenu* ratio = bar->addMenu(QStringLiteral("장,단음 배수"));
    for (int r = 3; r <= 8; ++r) {
        QAction* item = ratio->addAction(QStringLiteral("%1:1").arg(r));
        item->setObjectName(QStringLiteral("Multiple%1").arg(r));
        item->setCheckable(true);
        item->setChecked(r == 5);
        Multiple[static_cast<size_t>(r - 3)] = item;
    }

    buildOptionsMenu();
    // A plain item of the bar, without a drop-down: it opens the About box.
    About1 = bar->addAction(QStringLiteral("About"));

    PopupMenu1 = new QMenu(this);
    N10 = PopupMenu1->addAction(QStringLiteral("글자 크기"));
    PopupMenu1->addSeparator();
    N12 = PopupMenu1->addAction(QStringLiteral("기본값"));
    buildPracticeMenu();
}

void TForm1::buildSampleFormatMenus() {
    QMenuBar* bar = menuBar();
    QMenu* bits = bar->addMenu(QStringLiteral("BitsPerSample"));
    BPS8 = bits->addAction(QStringLiteral("8bit"));
    BPS16 = bits->addAction(QStringLiteral("16bit"));
    QMenu* channels = bar->addMenu(QStringLiteral("Channels"));
    Channel_Mono = channels->addAction(QStringLiteral("Mono"));
    Channel_Stereo = channels->addAction(QStringLiteral("Stereo"));
    for (QAction* item : {BPS8, BPS16, Channel_Mono, Channel_Stereo}) item->setCheckable(true);
    BPS8->setChecked(true);
    Channel_Mono->setChecked(true);
    BPS8->setObjectName("BPS8");
    BPS16->setObjectName("BPS16");
    Channel_Mono->setObjectName("Channel_Mono");
    Channel_Stereo->setObjectName("Channel_Stereo");

    QMenu* rates = bar->addMenu(QStringLiteral("SamplePerSec"));
    static const char* const kCaptions[5] = {" 5.512 kHz", " 6.400 kHz", "11.025 kHz", "22.050 kHz",
                                             "44.100 kHz"};
    static const char* const kNames[5] = {"SPS5", "SPS6", "SPS11", "SPS22", "SPS44"};
    for (size_t i = 0; i < SPS.size(); ++i) {
        SPS[i] = rates->addAction(QString::fromLatin1(kCaptions[i]));
        SPS[i]->setObjectName(QString::fromLatin1(kNames[i]));
        SPS[i]->setCheckable(true);
    }
    SPS[1]->setChecked(true);  // the layout's mark; start-up chooses 11.025 kHz
}

void TForm1::buildOptionsMenu() {
    QMenu* other = menuBar()->addMenu(QStringLiteral("기타"));
    auto option = [other](const QString& caption, bool checked) {
        QAction* item = other->addAction(caption);
        item->setCheckable(true);
        item->setChecked(checked);
        return item;
    };
    OpenSpaceTrimCheck = option(QStringLiteral("파일 열기시  시작,끝 공백제거"), true);
    DoubleSpaceTrimCheck = option(QStringLiteral("연속된 Space 1개의 Space로 변환"), true);
    StartEndMarkCheck = option(QStringLiteral("시작,종료 부호 사용"), false);
    SentenceEndMark = option(QStringLiteral("문장끝 부호 사용"), true);
    other->addSeparator();
    vuswlq1 = other->addAction(QStringLiteral("매크로 정의"));
    macroAutoStart = option(QStringLiteral("매크로 선택시 자동실행"), true);
    other->addSeparator();
    // The mixer dialog and the memo window are otherwise reached only through hidden buttons.
    VolumeMenu = other->addAction(QStringLiteral("볼륨 조절"));
    TranscriptMenu = other->addAction(QStringLiteral("해독 메모 보기"));
    other->addSeparator();
    Function1 = option(QStringLiteral("Function 보이기"), true);
    other->addSeparator();
    KeyingSetup = other->addAction(QStringLiteral("키잉 설정"));
    // Off at every start: nothing keys a transmitter before the operator asks.
    TransmitterKeying = option(QStringLiteral("무선기 키잉"), false);
}
