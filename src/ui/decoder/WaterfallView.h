#pragma once
// The pass band as a waterfall: each spectrum frame a row, the newest at the top, the band's
// frequencies from left to right with a ruler below. A vertical line marks the pitch being
// decoded (green when found in the band, orange when picked). A click picks the pitch under
// the pointer; from the keyboard, Left and Right move the pick by 10 Hz (with Shift by 1 Hz)
// and Home goes back to finding the pitch in the band.

#include <QImage>
#include <QWidget>
#include <optional>
#include <vector>

class WaterfallView : public QWidget {
    Q_OBJECT

public:
    explicit WaterfallView(QWidget* parent = nullptr);

    void setBand(double lowHz, double highHz);
    double lowHz() const { return m_lowHz; }
    double highHz() const { return m_highHz; }
    // A spectrum frame: power per bin from 0 Hz up, `binHz` apart.
    void addFrame(const std::vector<float>& power, double binHz);
    void clearFrames();
    // The pitch decoded, none while no signal is found; `picked`: the operator's choice.
    void setPitch(std::optional<double> pitchHz, bool picked);
    std::optional<double> pitchHz() const { return m_pitchHz; }

    // The frequency at x, and the x of a frequency, in widget coordinates.
    double hzAt(int x) const;
    int xOf(double hz) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void pitchPicked(double pitchHz);
    void automaticPitchAsked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect waterfallRect() const;
    void paintRuler(QPainter& painter) const;
    QRgb colourOf(double levelDb) const;

    double m_lowHz = 300;
    double m_highHz = 1200;
    std::optional<double> m_pitchHz;
    bool m_picked = false;
    QImage m_image;        // one pixel column per screen column, one row per frame
    double m_floorDb = 0;  // the level shown darkest, following the band's noise
    double m_peakDb = 0;   // the strongest level of late
};
