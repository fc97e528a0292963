#include "ui/macros/EditMacrosUnit.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>

#include "components/VelStringGrid.h"
#include "ui/common/Fonts.h"
#include "ui/common/SystemRoot.h"
#include "ui/common/WindowsKeys.h"
#include "ui/macros/MacroFile.h"
#include "ui/macros/MacroHotKeys.h"

namespace {

const QString kTitle = QStringLiteral("매크로 정의");
const QString kKeyTitle = QStringLiteral("매크로");
constexpr int kFontPx = 13;
const QColor kHelpBackground(0xFD, 0xFE, 0xE7);
const QColor kGridColor(0xF3, 0xFB, 0xF2);

// The help text above the grid, with its quotation marks and its runs of blanks, which
// break its lines where the window was laid out.
QString helpText() {
    const QString q = QStringLiteral("\"");
    return QStringLiteral("* 매크로추가는 사용할 매크로 키를 키보드에서 선택하면 ") + q +
           QStringLiteral("매크로") + q + QStringLiteral(" 항목에 선언된   매크로키가 표시되며 ") +
           q + QStringLiteral("매크로정의") + q +
           QStringLiteral(" 항목에 전송할 문자를 입력 합니다.         * 매크로 삭제는 삭제할 ") +
           q + QStringLiteral("메크로") + q +
           QStringLiteral(" 항목에서 Delete버튼을 누르면 삭제됩니다.");
}

const QString kKeysText = QStringLiteral(
    "* 사용가능한 매크로키는 F1..F12, ^F1..F12, ^A..Z, @F1..F12, @A..Z              "
    "연속송신 문자는[AS],[BT]처럼 표시합니다.");

// The first-run macros: a greeting that introduces the station, and two number drills.
struct DefaultMacro {
    const char* key;
    const char* definition;
};
constexpr DefaultMacro kDefaultMacros[] = {
    {"^A", "안녕하십니까 여기는 저희 무선국입니다 반갑습니다"},
    {"@F1", "123456"},
    {"F1", "34567"},
    {"", ""},
};

// Blank after trimming as the program's other texts are trimmed: nothing above a space.
bool isBlank(const QString& text) {
    for (QChar ch : text)
        if (ch > QChar(u' ')) return false;
    return true;
}

// What the status bar says about a macro key the desktop takes; empty for a free key.
QString DesktopKeyWarning(cwt::DesktopKey use, const QString& f, const QString& name) {
    switch (use) {
        case cwt::DesktopKey::ClosesWindow:
            return QStringLiteral(
                       "Alt+F4는 데스크톱이 창을 닫는 키입니다. 매크로 %1은(는) 저장되지만 "
                       "이 키로는 실행되지 않습니다.")
                .arg(name);
        case cwt::DesktopKey::SwitchesConsole:
            return QStringLiteral(
                       "Ctrl+Alt+%1은(는) 텍스트 콘솔 전환 키입니다. 매크로 %2은(는) "
                       "Ctrl+%1로 실행하세요.")
                .arg(f, name);
        case cwt::DesktopKey::WindowCommand:
            return QStringLiteral(
                       "Alt+%1은(는) 데스크톱에 따라 메뉴, 명령 실행, 창 이동·크기 조절에 "
                       "쓰여 매크로 %2이(가) 실행되지 않을 수 있습니다.")
                .arg(f, name);
        case cwt::DesktopKey::Free:
            break;
    }
    return {};
}

// The save button's 16 x 16 picture: a diskette in the 16 basic colours.
QPixmap saveGlyph() {
    QPixmap glyph(16, 16);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    painter.fillRect(1, 1, 14, 14, QColor(0x00, 0x00, 0x80));
    painter.fillRect(3, 1, 10, 6, Qt::white);
    painter.fillRect(4, 10, 8, 5, QColor(0xC0, 0xC0, 0xC0));
    painter.fillRect(9, 11, 2, 3, QColor(0x00, 0x00, 0x80));
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 15, 15);
    return glyph;
}

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry, bool blue) {
    auto* label = new QLabel(text, parent);
    if (geometry.width() > 0) {
        label->setGeometry(geometry);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setAutoFillBackground(true);
        QPalette colours = label->palette();
        colours.setColor(QPalette::Window, kHelpBackground);
        label->setPalette(colours);
    } else {
        label->move(geometry.topLeft());
        label->adjustSize();
    }
    if (blue) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, Qt::blue);
        label->setPalette(colours);
    }
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);  // keys stay with the grid
    return button;
}

}  // namespace

TEditMacrosForm::TEditMacrosForm(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("EditMacrosForm"));
    buildLayout();
    NameControlsForScreenReaders();
    OrderControlsForKeyboard();
    // The window sees every key before its controls do.
    m_keyPreview = new KeyPreview(
        this, [this](uint16_t& key, cwt::ShiftState shift) { FormKeyDown(key, shift); });
    FormCreate(this);
}

TEditMacrosForm::~TEditMacrosForm() = default;

void TEditMacrosForm::buildLayout() {
    setWindowTitle(kTitle);
    const QFont formFont = cwt::LayoutFont(cwt::kBatangChe, kFontPx);
    setFont(formFont);
    setFixedSize(553, 514);
    move(383, 79);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 553, 121);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);

    Label1 = makeLabel(Panel1, QStringLiteral("매크로 작성:"), QRect(8, 24, 0, 0), true);
    Label2 = makeLabel(Panel1, helpText(), QRect(8, 40, 537, 42), false);
    Label3 = makeLabel(Panel1, kKeysText, QRect(8, 84, 537, 30), true);
    SaveButton = makeButton(Panel1, QStringLiteral("저 장"), QRect(368, 8, 89, 25));
    SaveButton->setIcon(QIcon(saveGlyph()));
    SaveButton->setIconSize(QSize(16, 16));
    CloseButton = makeButton(Panel1, QStringLiteral("닫 기"), QRect(464, 8, 81, 25));

    StringGrid1 = new cwt::TVelStringGrid(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(4, 124, 545, 369);
    StringGrid1->setColCount(3);
    StringGrid1->setRowCount(2);
    StringGrid1->setDefaultRowHeight(20);
    StringGrid1->setFixedRowHeight(20);
    StringGrid1->setColWidths(0, 20);
    StringGrid1->setColWidths(1, 49);
    StringGrid1->setColWidths(2, 450);
    StringGrid1->setColor(kGridColor);
    StringGrid1->setFixedRowTitle({QString(), kKeyTitle, kTitle});
    StringGrid1->setDigitFormat(QStringLiteral("#,###"));
    StringGrid1->setMaxLength(0);
    StringGrid1->setFixedColumnEnabled(false);
    StringGrid1->setFixedUnTitleColor(palette().color(QPalette::Button));
    StringGrid1->setEditColor(Qt::yellow);
    StringGrid1->setSelectColor(Qt::yellow);
    StringGrid1->setMinusColor(palette().color(QPalette::WindowText));
    StringGrid1->setZeroHide(false);
    StringGrid1->setCellHintShow(false);
    const cwt::TVelFont roleFont{formFont, palette().color(QPalette::WindowText)};
    StringGrid1->setFixedFont(roleFont);
    StringGrid1->setSubFont(roleFont);
    StringGrid1->setImeMode(cwt::imSAlpha);
    StringGrid1->Loaded();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 493, 553, 21);

    connect(StringGrid1, &cwt::TVelStringGrid::OnSelectCell, this,
            [this](QObject* sender, int col, int row, bool& canSelect) {
                StringGrid1SelectCell(sender, col, row, canSelect);
            });
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(SaveButton); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(CloseButton); });
}

// ----- Loading -----

void TEditMacrosForm::FormCreate(QObject* /*Sender*/) {
    m_macroFilePath = ReadSystemRoot() + u'/' + kMacroFileName;
    const QList<MacroEntry> entries = ReadMacroFile(m_macroFilePath);
    if (entries.isEmpty())
        loadDefaultRows();
    else
        loadRows(entries);
}

void TEditMacrosForm::loadDefaultRows() {
    StringGrid1->setRowCount(5);
    int row = 1;
    for (const DefaultMacro& macro : kDefaultMacros) {
        StringGrid1->setCells(kKeyCol, row, QString::fromUtf8(macro.key));
        StringGrid1->setCells(kDefinitionCol, row, QString::fromUtf8(macro.definition));
        ++row;
    }
}

void TEditMacrosForm::loadRows(const QList<MacroEntry>& entries) {
    const int count = static_cast<int>(entries.size());
    StringGrid1->setRowCount(count + 2);  // the title row and an empty row for a new macro
    StringGrid1->setCells(kKeyCol, 0, kKeyTitle);
    for (int i = 0; i < count; ++i) {
        const int row = i + 1;
        StringGrid1->setCells(kKeyCol, row, entries[i].key);
        StringGrid1->setCells(kDefinitionCol, row, entries[i].definition);
        StringGrid1->setCells(kSavedKeyCol, row, entries[i].key);
        StringGrid1->setCells(kSavedDefinitionCol, row, entries[i].definition);
    }
    StringGrid1->setRow(count + 1);
}

// ----- Editing -----

void TEditMacrosForm::StringGrid1SelectCell(QObject* /*Sender*/, int ACol, int ARow,
                                            bool& /*CanSelect*/) {
    // Definitions can be typed only once the row has a key; key cells never.
    const bool editable = ACol == kDefinitionCol && !StringGrid1->Cells(kKeyCol, ARow).isEmpty();
    cwt::TGridOptions options = StringGrid1->Options();
    options.setFlag(cwt::goEditing, editable);
    StringGrid1->setOptions(options);
}

void TEditMacrosForm::FormKeyDown(uint16_t& Key, cwt::ShiftState Shift) {
    if (!m_keyDownAttached) return;
    m_keyDownAttached = false;
    struct Reattach {
        bool& attached;
        ~Reattach() { attached = true; }
    } reattach{m_keyDownAttached};

    if (Key == cwt::kVkReturn) {
        QWidget* aimedAt = QApplication::focusWidget();
        if (enterPressed() && aimedAt != StringGrid1) {
            // Typed in the cell editor, which the move to the next row has closed: the grid
            // gets the Enter in its place.
            Key = 0;
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(StringGrid1, &enter);
        }
        // Otherwise the Enter goes on: in the grid it opens the cell editor where the grid now
        // stands (or closes an open one).
        return;
    }
    if (Key == cwt::kVkDelete) {
        deletePressed();
        return;
    }
    const uint16_t pressed = Key;
    const QString name = QString::fromLatin1(cwt::MacroKeyName(Key, Shift));
    if (name.isEmpty()) return;
    nameProduced(name);
    tellDesktopKey(cwt::DesktopKeyOf(pressed, Shift), pressed - cwt::kVkF1 + 1, name);
}

// The definition is kept whatever the key; the status bar says when the desktop takes the
// combination first, so the operator is not left wondering why the macro never runs.
void TEditMacrosForm::tellDesktopKey(cwt::DesktopKey use, int functionKey, const QString& name) {
    const QString warning = DesktopKeyWarning(use, QStringLiteral("F%1").arg(functionKey), name);
    if (warning.isEmpty())
        StatusBar1->clearMessage();
    else
        StatusBar1->showMessage(warning);
}

bool TEditMacrosForm::rowHasDefinition(int row) const {
    return !StringGrid1->Cells(kKeyCol, row).isEmpty() &&
           !isBlank(StringGrid1->Cells(kDefinitionCol, row));
}

bool TEditMacrosForm::enterPressed() {
    const int row = StringGrid1->Row();
    if (!rowHasDefinition(row)) return false;
    const int last = StringGrid1->RowCount() - 1;
    if (row == last) {
        StringGrid1->setRowCount(last + 2);
        StringGrid1->setRow(last + 1);
        StringGrid1->setCol(kKeyCol);
    } else {
        StringGrid1->setRow(row + 1);
    }
    return true;
}

void TEditMacrosForm::deletePressed() {
    const int row = StringGrid1->Row();
    if (focusWidget() != StringGrid1 || isBlank(StringGrid1->Cells(kKeyCol, row)) ||
        StringGrid1->Col() != kKeyCol)
        return;
    if (row == StringGrid1->RowCount() - 1) {
        StringGrid1->setCells(kKeyCol, row, QString());
        StringGrid1->setCells(kDefinitionCol, row, QString());
    } else {
        DeleteMacroRow(row);
    }
}

void TEditMacrosForm::nameProduced(const QString& name) {
    const int found = FindMacroKeyRow(*StringGrid1, name);
    if (found < 0) {
        const int row = StringGrid1->Row();
        StringGrid1->setCells(kKeyCol, row, name);
        StringGrid1->setCells(kDefinitionCol, row, QString());
        StringGrid1->setCells(kSavedKeyCol, row, QString());
        StringGrid1->setCells(kSavedDefinitionCol, row, QString());
    } else {
        StringGrid1->setRow(found);
    }
    StringGrid1->setCol(kDefinitionCol);
    // The row may have got its key while its definition cell was already current: editing
    // follows the key at once, so the definition can be typed straight away.
    bool canSelect = true;
    StringGrid1SelectCell(StringGrid1, StringGrid1->Col(), StringGrid1->Row(), canSelect);
    if (!StringGrid1->hasFocus()) StringGrid1->setFocus();
}

void TEditMacrosForm::DeleteMacroRow(int Row) {
    const int last = StringGrid1->RowCount() - 1;
    if (Row < 1 || Row > last) return;
    for (int row = Row + 1; row <= last; ++row) {
        StringGrid1->setCells(kKeyCol, row - 1, StringGrid1->Cells(kKeyCol, row));
        StringGrid1->setCells(kDefinitionCol, row - 1, StringGrid1->Cells(kDefinitionCol, row));
    }
    StringGrid1->setCells(kKeyCol, last, QString());
    StringGrid1->setCells(kDefinitionCol, last, QString());
    if (StringGrid1->Row() == last) StringGrid1->setRow(last - 1);
    StringGrid1->setRowCount(last);
}

// ----- Save and Close -----

void TEditMacrosForm::SaveButtonClick(QObject* /*Sender*/) {
    StringGrid1->setEditorMode(false);
    QList<MacroEntry> entries;
    QList<int> rows;
    for (int row = 1; row < StringGrid1->RowCount(); ++row) {
        if (!rowHasDefinition(row)) continue;  // these rows keep their saved copies
        entries.append({StringGrid1->Cells(kKeyCol, row), StringGrid1->Cells(kDefinitionCol, row)});
        rows.append(row);
    }
    // The whole file is written or nothing is: a failure keeps both the old file and the
    // saved copies, and the window stays open.
    if (!WriteMacroFile(m_macroFilePath, entries)) {
        reportWriteError();
        return;
    }
    for (int row : rows) {
        StringGrid1->setCells(kSavedKeyCol, row, StringGrid1->Cells(kKeyCol, row));
        StringGrid1->setCells(kSavedDefinitionCol, row, StringGrid1->Cells(kDefinitionCol, row));
    }
    close();
}

void TEditMacrosForm::CloseButtonClick(QObject* /*Sender*/) {
    StringGrid1->setEditorMode(false);
    for (int row = 1; row < StringGrid1->RowCount(); ++row) {
        StringGrid1->setCells(kKeyCol, row, StringGrid1->Cells(kSavedKeyCol, row));
        StringGrid1->setCells(kDefinitionCol, row, StringGrid1->Cells(kSavedDefinitionCol, row));
    }
    close();
}

void TEditMacrosForm::reportWriteError() {
    auto* box = new QMessageBox(QMessageBox::Warning, QString(),
                                QStringLiteral("Unable to write to %1").arg(m_macroFilePath),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("writeError"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TEditMacrosForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    StringGrid1->setFocus();
}
