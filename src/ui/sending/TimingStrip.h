#pragma once
// The timing strip: every keyed element of a stretch as a bar as long as it sounded, and under
// it a thin bar as long as the ideal element at the operator's own speed there; a tick after
// each element shows where the next one should have begun (1, 3 or 7 units on). An element or a
// gap more than a quarter off its ideal is drawn in red. Rows wrap at letter and word gaps, as
// lines of text do. Its accessible description says the same in words.

#include <QWidget>
#include <vector>

#include "engine/decode/Decoded.h"

class TimingStrip : public QWidget {
    Q_OBJECT

public:
    explicit TimingStrip(QWidget* parent = nullptr);

    // The stretches of a stretch of keying as the decoder read them; `unitMs` the operator's
    // mean unit, used where a stretch carries none. With `keyerElements` the elements are the
    // keyer's and only the gaps are judged.
    void showStretch(const std::vector<cwt::decode::ClassifiedStretch>& stretches, double unitMs,
                     bool keyerElements);

    // How far off its ideal a length may be and still count as right (a share of the ideal).
    static constexpr double kTolerance = 0.25;
    int elementCount() const { return static_cast<int>(m_elements.size()); }
    int offCount() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // A keyed element and the gap after it, in units of the operator's speed there.
    struct Element {
        bool dash = false;
        double markUnits = 0;
        double idealMarkUnits = 1;
        double gapUnits = 0;       // 0 after the last
        double idealGapUnits = 0;  // 1, 3 or 7; 0 after the last
        bool breaksAfter = false;  // a letter or word gap: a row may wrap here
        bool markOff() const;
        bool gapOff() const;
    };
    struct Placed {
        int row = 0;
        double x = 0;  // in pixels from the row's start
    };

    std::vector<Placed> layout(int width, int* rows) const;
    void describe();

    std::vector<Element> m_elements;
    bool m_keyerElements = false;
};
