#pragma once
// The memo window: a plain-text memo that receives the transcript decoded back from the
// played sound, one character per line, whether the window is shown or hidden. Closing the
// window only hides it; it lives as long as the program.

#include <QWidget>

class QPlainTextEdit;

class TForm2 : public QWidget {
    Q_OBJECT

public:
    // `parent` is the main window, or none; the form is always a top-level window.
    explicit TForm2(QWidget* parent = nullptr);

    // Shows the window, or brings it to the front when it is already visible.
    void bringToFront();

    // Adds one decoded character as the memo's new last line: the text becomes its lines,
    // each followed by a line break, plus `ch`. Costs the same however long the memo is.
    void appendTranscriptChar(char ch);

    QPlainTextEdit* Memo1 = nullptr;  // fills the client area; initial text "Memo1"

    static constexpr int kLeft = 232;
    static constexpr int kTop = 259;
    // Outer size of the layout; the client area is that less the frame (WindowFrame.h).
    static constexpr int kWidth = 425;
    static constexpr int kHeight = 228;

private:
    void FormCreate();
    // Names for screen readers (WaveDispAccessibility.cpp).
    void NameControlsForScreenReaders();
};
