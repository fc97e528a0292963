#pragma once
// The numeric edit's button: TSpinButton, a container that holds one auto-repeating down
// button (TTimerSpeedButton) and keeps it filling the container.

#include <QImage>
#include <QPixmap>
#include <QToolButton>
#include <QWidget>

class QTimer;

namespace cwt {

// The "SpinDown" bitmap: 9 × 6 pixels, olive background (the bottom-left pixel, which the
// button treats as transparent) and a black down-pointing triangle.
QImage SpinDownBitmap();

// A push button that never takes the focus and, with tbAllowTimer, clicks again and again
// while it is held down: first 400 ms after the press, then every 100 ms, besides the
// ordinary click on release. Its glyph holds DownNumGlyphs images side by side (up,
// disabled, down, stay-down); the colour of the bottom-left pixel is transparent.
class TTimerSpeedButton : public QToolButton {
    Q_OBJECT
public:
    static constexpr int kFirstRepeatMs = 400;
    static constexpr int kRepeatMs = 100;

    explicit TTimerSpeedButton(QWidget* parent = nullptr);
    ~TTimerSpeedButton() override;

    // tbAllowTimer: auto-repeat while held down.
    bool AllowTimer() const { return m_allowTimer; }
    void setAllowTimer(bool allow) { m_allowTimer = allow; }
    // tbFocusRect: paint a focus rectangle 3 pixels inside the edges.
    bool FocusRect() const { return m_focusRect; }
    void setFocusRect(bool show);

    QPixmap Glyph() const { return m_glyph; }
    void setGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void setNumGlyphs(int count);  // 1..4

    // The repeat timer, created on the first press (null before).
    QTimer* RepeatTimer() const { return m_repeatTimer; }

    QSize sizeHint() const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void TimerExpired();
    QPixmap StateGlyph() const;

    bool m_allowTimer = false;
    bool m_focusRect = false;
    // Set from a left-button press until its release: the button holds the mouse.
    bool m_captured = false;
    QPixmap m_glyph;
    int m_numGlyphs = 1;
    QTimer* m_repeatTimer = nullptr;
};

// A framed container holding the single down button; it is never narrower than 15 pixels.
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinWidthPx = 15;

    explicit TSpinButton(QWidget* parent = nullptr);

    // A null pixmap loads the "SpinDown" bitmap.
    QPixmap DownGlyph() const;
    void setDownGlyph(const QPixmap& glyph);
    int DownNumGlyphs() const;
    void setDownNumGlyphs(int count);

    // Sets the container's geometry (at least 15 pixels wide) and fits the button to it at
    // once, even while hidden, when Qt holds resize events back.
    void setBounds(const QRect& bounds);

    TTimerSpeedButton* DownButton() const { return m_downButton; }

signals:
    void OnDownClick(cwt::TSpinButton* sender);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitDownButton();

    TTimerSpeedButton* m_downButton;
};

}  // namespace cwt
