#pragma once
// The main window's macro hot keys: a key combination that names a macro in the live macro
// table puts its definition into the editor (or into the live typing box when that has the
// focus) and, with auto-start checked, starts sending it. Written against a small interface
// to the main window, so it can be exercised without one.

#include <QString>
#include <cstdint>

#include "engine/config/MacroKeys.h"

namespace cwt {
class TVelStringGrid;
}

// What the dispatch needs from the main window.
class MacroHost {
public:
    // AutoStopButton is enabled: a text send is running or paused.
    virtual bool stopButtonEnabled() const = 0;
    // Edit1 is the main window's active control.
    virtual bool edit1IsActiveControl() const = 0;
    // Edit1's text becomes `text`, the caret goes to its end.
    virtual void setEdit1TextCaretAtEnd(const QString& text) = 0;
    // Byte length of Memo1's lines (code page 949), each followed by CR LF.
    virtual int memo1LinesByteLength() const = 0;
    // Adds `line` to Memo1 as its new last line.
    virtual void appendMemo1Line(const QString& line) = 0;
    virtual void setMacroStartPos(int bytePos) = 0;
    virtual bool macroAutoStartChecked() const = 0;
    // AutoStartButtonClick with no sender.
    virtual void autoStartButtonClick() = 0;

protected:
    ~MacroHost() = default;
};

// The first row of the macro table (title row 0 included) whose key cell equals `name`
// without regard to case; -1 when none.
int FindMacroKeyRow(const cwt::TVelStringGrid& table, const QString& name);

class MacroHotKeys {
public:
    // `table` is the macro editor's grid; it may be given later.
    explicit MacroHotKeys(MacroHost& host, const cwt::TVelStringGrid* table = nullptr);

    void setTable(const cwt::TVelStringGrid* table) { m_table = table; }

    // Called for every key pressed in the main window before the focused control, with the
    // virtual-key number. Sets `key` to 0 when the key must not reach the control (Ctrl or
    // Alt combinations other than copy, paste and cut), unless a send is running.
    void FormKeyDown(uint16_t& key, cwt::ShiftState shift);

private:
    QString definitionOf(const QString& name) const;

    MacroHost& m_host;
    const cwt::TVelStringGrid* m_table;
    bool m_attached = true;  // off while a macro runs: keys inside its send are not looked at
};
