#pragma once
// The chart window: a picture of the Morse alphabet for reference. The picture fills the
// whole client area and follows the window's size in both directions (no fixed aspect
// ratio). Closing the window only hides it; it lives as long as the program.

#include <QString>
#include <QWidget>

class QLabel;

class TMorseCodeForm : public QWidget {
    Q_OBJECT

public:
    // `parent` is the main window, or none; the form is always a top-level window.
    explicit TMorseCodeForm(QWidget* parent = nullptr);

    // Shows the window, or brings it to the front when it is already visible.
    void bringToFront();

    // Why the chart could not be decoded; empty when it is shown.
    QString chartError() const { return m_chartError; }

    QLabel* Image1 = nullptr;  // the chart, stretched over the whole client area

    static constexpr int kLeft = 676;
    static constexpr int kTop = 197;
    // Outer size of the layout; the client area is that less the frame (WindowFrame.h).
    static constexpr int kWidth = 328;
    static constexpr int kHeight = 399;

private:
    void FormCreate();
    // Names for screen readers (MorseCodeShowAccessibility.cpp).
    void NameControlsForScreenReaders();

    QString m_chartError;
};
