#pragma once
// What the practice windows' tests share: every test function starts from the main window,
// shown and active, over a practice history of its own that starts empty, so that no test sees
// the sessions or choices another one kept.

#include <QTemporaryDir>
#include <memory>

#include "tests/ui/support/MainWindowHarness.h"

class PracticeWindowTest {
protected:
    // From init(): an empty history, and the program over it.
    void startWithEmptyHistory() {
        m_data = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", m_data->path().toLocal8Bit());
        restartProgram();
    }
    // The program ended and started again over the same history, as the operator does.
    void restartProgram() {
        m_h.reset();
        m_h = std::make_unique<MainWindowHarness>();
        m_h->showActive();
    }

    TForm1* form() { return m_h->form(); }

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<MainWindowHarness> m_h;
};
