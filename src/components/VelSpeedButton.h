#pragma once
// TVelSpeedButton: a push button that a mouse click never gives the focus and that redraws its
// caption centred, with an optional bar over it (the procedure-sign buttons: "AR" with a bar
// reads as one sign). The caption and the bar stay in place when the button is pressed.
// Tab reaches it, Space presses it, and it draws a focus frame while it has the focus; a
// click leaves the focus where the operator was typing.
//
// Caption: text(); glyph: icon(); hint: toolTip(); the click: clicked().

#include <QToolButton>

#include "components/VelTypes.h"

namespace cwt {

class TVelSpeedButton : public QToolButton {
    Q_OBJECT
public:
    explicit TVelSpeedButton(QWidget* parent = nullptr);

    TLineStyle LineStyle() const { return m_lineStyle; }
    void setLineStyle(TLineStyle style);

    // Top-left corner of the caption's text cell as drawn, and its width; the bar (fsTop)
    // runs along the row just above it.
    QPoint CaptionOrigin() const;
    int CaptionWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TLineStyle m_lineStyle = fsNone;
};

}  // namespace cwt
