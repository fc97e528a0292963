#pragma once
// TVelLabel: a label that paints itself, optionally inside a raised 3-D frame or a rounded
// rectangle, with an optional bar over its caption (the sign display shows "AR" with a bar).
//
// Caption: text()/setText(); setText announces the change to screen readers. Font: font();
// its colour: FontColor. The mouse: OnMouseDown.
// QLabel's own alignment, word wrap and rich text play no part in the painting.

#include <QLabel>

#include "components/VelTypes.h"

namespace cwt {

class TVelLabel : public QLabel {
    Q_OBJECT
public:
    explicit TVelLabel(QWidget* parent = nullptr);
    explicit TVelLabel(const QString& caption, QWidget* parent = nullptr);

    // Sets the caption and tells screen readers what the label now shows, also when it
    // carries a fixed accessible name. (QLabel::setText is not virtual: through a QLabel
    // pointer, use SetLabelText of VelAccessible.h.)
    void setText(const QString& caption);

    TLineStyle LineStyle() const { return m_lineStyle; }
    void setLineStyle(TLineStyle style);
    bool LabelRectShow() const { return m_labelRectShow; }
    void setLabelRectShow(bool show);
    // With LabelRectShow: a rounded rectangle instead of the raised 3-D frame.
    bool LabelRectFlat() const { return m_labelRectFlat; }
    void setLabelRectFlat(bool flat);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);

    // Background colour.
    QColor Color() const;
    void setColor(const QColor& color);
    QColor FontColor() const;
    void setFontColor(const QColor& color);

    // Corner size of the rounded frame for a label of this size: a quarter of the smaller
    // side, at least 6.
    static int CornerSize(int widthPx, int heightPx);

signals:
    void OnMouseDown(cwt::TVelLabel* sender, Qt::MouseButton button,
                     Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TLineStyle m_lineStyle = fsNone;
    bool m_labelRectShow = false;
    bool m_labelRectFlat = false;
    TAlignment m_alignment = taLeftJustify;
};

}  // namespace cwt
