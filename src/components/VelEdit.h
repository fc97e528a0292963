#pragma once
// TVelEdit: a single-line edit for numbers and for dash- or parenthesis-grouped codes. It
// filters keystrokes by DecimalCase, shows its text through the numeric picture Mask while it
// does not have the focus, draws right-aligned or centred text itself while unfocused, and can
// show a small down button at its right edge that clicks repeatedly while held.
//
// Text, ReadOnly, MaxLength, selection and the rest are the QLineEdit's own. OnChange is
// emitted whenever the text changes, by typing or by setText().
//
// The edit draws its own border like the classic edit control: a 2-pixel sunken edge (Ctl3D),
// a 1-pixel line (Ctl3D off) or none (BorderStyle bsNone), with a line in the highlight
// colour while it has the focus. "Client" coordinates below are measured inside that border.

#include <QLineEdit>
#include <QPixmap>

#include "components/VelEditSpinButton.h"
#include "components/VelSpeedButton.h"
#include "components/VelTypes.h"

class QPainter;

namespace cwt {

class TVelEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kDefaultButtonWidthPx = 15;

    explicit TVelEdit(QWidget* parent = nullptr);
    ~TVelEdit() override;

    // The button's image; a null pixmap loads the "SpinDown" bitmap.
    QPixmap DownGlyph() const;
    void setDownGlyph(const QPixmap& glyph);
    int DownNumGlyphs() const;
    void setDownNumGlyphs(int count);

    bool ButtonVisible() const { return m_buttonVisible; }
    void setButtonVisible(bool visible);
    // The requested width; the button itself is never narrower than 15 pixels.
    int ButtonWidth() const { return m_buttonWidth; }
    void setButtonWidth(int widthPx);

    // Where the text is drawn while the edit does not have the focus. While focused the text
    // is always shown left-aligned, as typed.
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);

    // Choosing a kind also sets FixedPoint, Alignment and the text (see the .cpp).
    TDecimalCase DecimalCase() const { return m_decimalCase; }
    void setDecimalCase(TDecimalCase decimalCase);

    // Largest number of characters after the decimal point while typing; never below 0.
    int FixedPoint() const { return m_fixedPoint; }
    void setFixedPoint(int count);

    // Numeric picture for the unfocused display ("#,###" by default).
    QString Mask() const { return m_mask; }
    void setMask(const QString& mask);

    // Classic-edit appearance.
    bool Ctl3D() const { return m_ctl3D; }
    void setCtl3D(bool ctl3D);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle style);
    TEditCharCase CharCase() const { return m_charCase; }
    void setCharCase(TEditCharCase charCase);
    // A non-null character hides the text behind it, focused or not.
    QChar PasswordChar() const { return m_passwordChar; }
    void setPasswordChar(QChar ch);
    // Background colour.
    QColor Color() const;
    void setColor(const QColor& color);

    // The text as shown while unfocused: the Mask form of the number for the numeric kinds.
    QString DisplayText() const;

    // Fires OnDownClick; called for every click of the button, auto-repeat ones included.
    virtual void DownClick();

    // Paints a copy of the control (for a grid of controls) onto `painter`, whose origin is
    // the control's top-left corner.
    void PaintCopy(QPainter& painter) const;

    TSpinButton* Button() const { return m_button; }
    // Width of the border the edit draws around its client area.
    int BorderWidthPx() const;
    // The client area in widget coordinates.
    QRect ClientRect() const;
    // The edit's formatting rectangle, in client coordinates (right and bottom exclusive).
    QRect FormattingRect() const { return m_formattingRect; }

signals:
    void OnChange(cwt::TVelEdit* sender);
    void OnDownClick(cwt::TVelEdit* sender);
    void OnEnter(cwt::TVelEdit* sender);
    void OnExit(cwt::TVelEdit* sender);
    // Before the filter; a handler may change the character (or set it to 0 to drop it).
    void OnKeyPress(cwt::TVelEdit* sender, QChar& key);
    // A typed character was refused and the beep sounded.
    void KeyRefused(QChar key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool FilterKey(QChar& key);
    void Refuse(QChar key);
    void InsertTyped(QChar key);
    void ReformatText();
    void LayoutButton();
    void PaintSelf(QPainter& painter, bool copy) const;
    void PaintBorder(QPainter& painter) const;
    void PaintFocusFrame(QPainter& painter) const;
    bool SelfPainted() const;

    bool m_focused = false;
    bool m_buttonVisible = false;
    int m_buttonWidth = kDefaultButtonWidthPx;
    TAlignment m_alignment = taLeftJustify;
    TDecimalCase m_decimalCase = etNormal;
    int m_fixedPoint = 0;
    QString m_mask = QStringLiteral("#,###");
    bool m_ctl3D = true;
    TBorderStyle m_borderStyle = bsSingle;
    TEditCharCase m_charCase = ecNormal;
    QChar m_passwordChar;
    QRect m_formattingRect;
    TSpinButton* m_button = nullptr;
};

}  // namespace cwt
