#include "components/VelEdit.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>

#include "components/NumericPicture.h"
#include "components/VelEditKeyFilter.h"

namespace cwt {
namespace {

// QLineEdit keeps this many pixels between its text rectangle and the first character; it is
// the edit's own left margin that the unfocused display adds to its border margin.
constexpr int kEditLeftMarginPx = 2;

constexpr char16_t kKeyReturn = 13;
constexpr char16_t kKeyEscape = 27;
constexpr char16_t kKeyDelete = 127;

// The character a key press types, as the classic edit control receives it (Ctrl+C is 3,
// Backspace 8, Enter 13 ...); 0 for keys that type nothing (arrows, Delete, Home, function
// keys, Alt combinations), which go to the edit unfiltered.
char16_t TypedChar(const QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    if (key == Qt::Key_Backspace) return ctrl ? kKeyDelete : kKeyBackspace;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return kKeyReturn;
    if (key == Qt::Key_Escape) return kKeyEscape;
    if (key == Qt::Key_Tab) return u'\t';
    if (ctrl && !alt && key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<char16_t>(key - Qt::Key_A + 1);
    if (alt && !ctrl) return 0;
    const QString text = event->text();
    return text.isEmpty() ? 0 : text.front().unicode();
}

QChar CaseChanged(QChar key, TEditCharCase charCase) {
    if (charCase == ecUpperCase) return key.toUpper();
    if (charCase == ecLowerCase) return key.toLower();
    return key;
}

}  // namespace

TVelEdit::TVelEdit(QWidget* parent) : QLineEdit(parent) {
    // The classic border is drawn by paintEvent; the text margins keep the text inside it.
    setFrame(false);
    setAutoFillBackground(true);
    m_button = new TSpinButton(this);
    m_button->setBounds(QRect(0, 0, m_buttonWidth, height()));
    m_button->hide();
    connect(m_button, &TSpinButton::OnDownClick, this, [this] { DownClick(); });
    connect(this, &QLineEdit::textChanged, this, [this] { emit OnChange(this); });
    LayoutButton();
}

TVelEdit::~TVelEdit() = default;

QPixmap TVelEdit::DownGlyph() const { return m_button->DownGlyph(); }

void TVelEdit::setDownGlyph(const QPixmap& glyph) { m_button->setDownGlyph(glyph); }

int TVelEdit::DownNumGlyphs() const { return m_button->DownNumGlyphs(); }

void TVelEdit::setDownNumGlyphs(int count) { m_button->setDownNumGlyphs(count); }

void TVelEdit::setButtonVisible(bool visible) {
    if (m_buttonVisible == visible) return;
    m_buttonVisible = visible;
    m_button->setVisible(visible);
    LayoutButton();
}

void TVelEdit::setButtonWidth(int widthPx) {
    if (m_buttonWidth == widthPx) return;
    m_buttonWidth = widthPx;
    LayoutButton();
}

void TVelEdit::setAlignment(TAlignment alignment) {
    if (m_alignment == alignment) return;
    m_alignment = alignment;
    update();
}

void TVelEdit::setDecimalCase(TDecimalCase decimalCase) {
    if (m_decimalCase == decimalCase) return;
    m_decimalCase = decimalCase;
    if (decimalCase != etDecimal) m_fixedPoint = 0;
    const auto preferLatin = [this] {
        // The numeric kinds take Latin digits and signs, never composed Hangul.
        setInputMethodHints(inputMethodHints() | Qt::ImhPreferLatin);
    };
    switch (decimalCase) {
        case etDecimal:
        case etPercent:
            m_fixedPoint = MaskDecimalCount(m_mask.toStdString());
            setAlignment(taRightJustify);
            preferLatin();
            ReformatText();
            break;
        case etPost:
        case etPhone:
        case etSaupja:
            setAlignment(taLeftJustify);
            preferLatin();
            ReformatText();
            break;
        case etNumber:
            preferLatin();
            ReformatText();
            break;
        case etNormal:
            setText(objectName());
            break;
    }
    update();
}

void TVelEdit::setFixedPoint(int count) {
    m_fixedPoint = qMax(0, count);
    update();
}

void TVelEdit::setMask(const QString& mask) {
    if (m_mask == mask) return;
    m_mask = mask;
    if (m_decimalCase == etDecimal || m_decimalCase == etPercent)
        m_fixedPoint = MaskDecimalCount(m_mask.toStdString());
    update();
}

void TVelEdit::setCtl3D(bool ctl3D) {
    if (m_ctl3D == ctl3D) return;
    m_ctl3D = ctl3D;
    LayoutButton();
    update();
}

void TVelEdit::setBorderStyle(TBorderStyle style) {
    if (m_borderStyle == style) return;
    m_borderStyle = style;
    LayoutButton();
    update();
}

void TVelEdit::setCharCase(TEditCharCase charCase) {
    if (m_charCase == charCase) return;
    m_charCase = charCase;
    update();
}

void TVelEdit::setPasswordChar(QChar ch) {
    if (m_passwordChar == ch) return;
    m_passwordChar = ch;
    if (ch.isNull()) {
        setStyleSheet(QString());
        setEchoMode(QLineEdit::Normal);
    } else {
        // The same character while editing as in the unfocused display.
        setStyleSheet(QStringLiteral("lineedit-password-character: %1").arg(ch.unicode()));
        setEchoMode(QLineEdit::Password);
    }
    update();
}

QColor TVelEdit::Color() const { return palette().color(QPalette::Base); }

void TVelEdit::setColor(const QColor& color) {
    if (Color() == color) return;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    setPalette(pal);
}

QString TVelEdit::DisplayText() const {
    if (m_decimalCase == etNormal) return text();
    const double value = ReadEditNumber(text().toStdString());
    return QString::fromStdString(FormatNumericPicture(value, m_mask.toStdString()));
}

void TVelEdit::DownClick() { emit OnDownClick(this); }

void TVelEdit::ReformatText() {
    // A signed integer is written in the display form; anything else cannot be kept.
    if (IsSignedIntegerText(text().toStdString()))
        setText(DisplayText());
    else
        setText(QString());
}

// ---- keys -------------------------------------------------------------------------------

void TVelEdit::keyPressEvent(QKeyEvent* event) {
    const char16_t typed = TypedChar(event);
    if (typed == 0) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar original(typed);
    QChar key = original;
    if (!FilterKey(key)) {
        // Enter and Escape still reach the dialog around the edit.
        if (typed == kKeyReturn || typed == kKeyEscape)
            event->ignore();
        else
            event->accept();
        return;
    }
    const bool caseChanges = CaseChanged(key, m_charCase) != key;
    if (key == original && !caseChanges)
        QLineEdit::keyPressEvent(event);
    else
        InsertTyped(key);
}

void TVelEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    if (commit.isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QString accepted;
    for (QChar ch : commit) {
        QChar key = ch;
        if (FilterKey(key)) accepted += CaseChanged(key, m_charCase);
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(accepted, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
    event->setAccepted(filtered.isAccepted());
}

bool TVelEdit::FilterKey(QChar& key) {
    emit OnKeyPress(this, key);
    if (key.isNull()) return false;
    if (isReadOnly()) {
        // Nothing typed changes a read-only edit, but copying out of it still works.
        if (key == QChar(kKeyCtrlC)) return true;
        key = QChar();
        return false;
    }
    const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
    if (EditKeyAccepted(m_decimalCase, key.unicode(), text(), caret, m_fixedPoint)) return true;
    Refuse(key);
    key = QChar();
    return false;
}

void TVelEdit::Refuse(QChar key) {
    QApplication::beep();
    emit KeyRefused(key);
}

void TVelEdit::InsertTyped(QChar key) {
    switch (key.unicode()) {
        case kKeyBackspace:
            backspace();
            return;
        case kKeyCtrlC:
            copy();
            return;
        case kKeyCtrlV:
            paste();
            return;
        case kKeyCtrlX:
            cut();
            return;
        default:
            if (key.unicode() >= 32 && key.unicode() != kKeyDelete)
                insert(QString(CaseChanged(key, m_charCase)));
    }
}

// ---- focus --------------------------------------------------------------------------------

void TVelEdit::focusInEvent(QFocusEvent* event) {
    // Back from the edit's own context menu: the focus never really left.
    if (m_focused) {
        QLineEdit::focusInEvent(event);
        return;
    }
    m_focused = true;
    if (m_alignment != taLeftJustify) update();
    // The classic multi-line edit never selects its text on entry; keep the caret where it was.
    const bool hadSelection = hasSelectedText();
    const int caret = cursorPosition();
    QLineEdit::focusInEvent(event);
    if (!hadSelection && hasSelectedText()) {
        deselect();
        setCursorPosition(caret);
    }
    emit OnEnter(this);
}

void TVelEdit::focusOutEvent(QFocusEvent* event) {
    // A popup (the context menu) takes Qt's focus but not the user's: the raw text stays.
    if (event->reason() == Qt::PopupFocusReason) {
        QLineEdit::focusOutEvent(event);
        return;
    }
    m_focused = false;
    if (m_alignment != taLeftJustify) update();
    QLineEdit::focusOutEvent(event);
    emit OnExit(this);
}

// ---- geometry ----------------------------------------------------------------------------

int TVelEdit::BorderWidthPx() const {
    if (m_borderStyle == bsNone) return 0;
    return m_ctl3D ? 2 : 1;
}

QRect TVelEdit::ClientRect() const {
    const int border = BorderWidthPx();
    return rect().adjusted(border, border, -border, -border);
}

void TVelEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    LayoutButton();
}

void TVelEdit::LayoutButton() {
    // Button bounds in client coordinates, from the outer size as the classic spin edit did:
    // flush with the client area's right edge inside a 3-D border.
    const int border = BorderWidthPx();
    const QRect bounds = m_ctl3D
                             ? QRect(width() - m_buttonWidth - 4, 0, m_buttonWidth, height() - 4)
                             : QRect(width() - m_buttonWidth, 1, m_buttonWidth, height() - 3);
    m_button->setBounds(
        QRect(bounds.x() + border, bounds.y() + border, bounds.width(), qMax(0, bounds.height())));

    // The formatting rectangle keeps typed text clear of the button, whose actual width may
    // exceed ButtonWidth (the container's minimum).
    const QRect client = ClientRect();
    const int right = m_buttonVisible ? client.width() - m_button->width() - 2 : client.width() - 1;
    m_formattingRect = QRect(0, 0, qMax(0, right), client.height() + 1);
    setTextMargins(border, border, qMax(0, width() - border - m_formattingRect.width()),
                   qMax(0, height() - border - m_formattingRect.height()));
}

// ---- painting ----------------------------------------------------------------------------

bool TVelEdit::SelfPainted() const { return m_alignment != taLeftJustify && !m_focused; }

void TVelEdit::paintEvent(QPaintEvent* event) {
    if (SelfPainted()) {
        QPainter painter(this);
        PaintSelf(painter, false);
        PaintBorder(painter);
        return;
    }
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    PaintBorder(painter);
    if (m_focused) PaintFocusFrame(painter);
}

void TVelEdit::PaintFocusFrame(QPainter& painter) const {
    // The caret alone is easy to miss: a highlight line takes the place of the border's inner
    // line (or of the border line itself) while the edit has the focus.
    const int inset = BorderWidthPx() == 2 ? 1 : 0;
    painter.setPen(palette().color(QPalette::Highlight));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
}

void TVelEdit::PaintCopy(QPainter& painter) const {
    painter.save();
    PaintSelf(painter, true);
    PaintBorder(painter);
    painter.restore();
}

void TVelEdit::PaintBorder(QPainter& painter) const {
    const int border = BorderWidthPx();
    if (border == 2) {
        qDrawWinPanel(&painter, rect(), palette(), true, nullptr);
    } else if (border == 1) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TVelEdit::PaintSelf(QPainter& painter, bool copy) const {
    const QRect client = ClientRect();
    painter.save();
    painter.translate(client.topLeft());
    painter.setFont(font());
    QRect r(0, 0, client.width(), client.height());
    // Without the 3-D edge the client area gets its own frame line as well.
    if (!m_ctl3D && m_borderStyle == bsSingle) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }

    QString shown;
    if (m_decimalCase != etNormal)
        shown = DisplayText();
    else if (copy && m_charCase == ecUpperCase)
        shown = text().toUpper();
    else if (copy && m_charCase == ecLowerCase)
        shown = text().toLower();
    else
        shown = text();
    if (!m_passwordChar.isNull()) shown.fill(m_passwordChar);

    const int edge = m_borderStyle == bsNone ? 0 : (m_ctl3D ? 1 : 2);
    const int leftMargin = edge + kEditLeftMarginPx;
    const int topMargin = edge;
    const int w = client.width() - (m_buttonVisible ? m_button->width() : 0);
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(shown);
    int x = leftMargin;
    if (m_alignment == taRightJustify)
        x = w - textWidth - leftMargin - 1;
    else if (m_alignment == taCenter)
        x = (w - textWidth) / 2;

    painter.setClipRect(r);
    painter.fillRect(r, palette().brush(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(x, topMargin + metrics.ascent(), shown);
    painter.restore();
}

}  // namespace cwt
