#pragma once
// The macro editor: a grid of key names and the texts they send, kept in cw_macro.ini in the
// configuration folder. Its grid is the live macro table: the main window's hot keys look
// macros up in it directly, whether or not the editor is shown, so an edit counts at once;
// the file is read once at creation and written only by Save.

#include <QList>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "engine/config/MacroKeys.h"

class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;
class KeyPreview;
struct MacroEntry;

namespace cwt {
class TVelStringGrid;
}

class TEditMacrosForm : public QWidget {
    Q_OBJECT

public:
    // Columns of the macro table; 3 and 4 are stored per row but never shown.
    static constexpr int kKeyCol = 1;
    static constexpr int kDefinitionCol = 2;
    static constexpr int kSavedKeyCol = 3;
    static constexpr int kSavedDefinitionCol = 4;

    // Created hidden at program start, after the main window; `parent` owns it, and it stays
    // a window of its own. Loads the macro file into the grid.
    explicit TEditMacrosForm(QWidget* parent = nullptr);
    ~TEditMacrosForm() override;

    // The live macro table (row 0 holds the titles, each further row one macro).
    cwt::TVelStringGrid* macroTable() const { return StringGrid1; }
    // ReadSystemRoot() + "/cw_macro.ini", fixed at creation.
    const QString& macroFilePath() const { return m_macroFilePath; }

    // ----- Handlers -----
    void FormCreate(QObject* Sender);
    // Every key pressed in the window, before the focused control; `Key` set to 0 keeps
    // the key from the control.
    void FormKeyDown(uint16_t& Key, cwt::ShiftState Shift);
    void StringGrid1SelectCell(QObject* Sender, int ACol, int ARow, bool& CanSelect);
    void SaveButtonClick(QObject* Sender);
    void CloseButtonClick(QObject* Sender);
    // Removes one macro row: the rows below move up (their saved copies stay where they are).
    void DeleteMacroRow(int Row);

    // ----- Controls, named as in the window's layout -----
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* CloseButton = nullptr;
    cwt::TVelStringGrid* StringGrid1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    // Names and the Tab order (EditMacrosAccessibility.cpp).
    void NameControlsForScreenReaders();
    void OrderControlsForKeyboard();
    void loadDefaultRows();
    void loadRows(const QList<MacroEntry>& entries);
    bool rowHasDefinition(int row) const;
    // True when Enter moved to another row.
    bool enterPressed();
    void deletePressed();
    void nameProduced(const QString& name);
    void tellDesktopKey(cwt::DesktopKey use, int functionKey, const QString& name);
    void reportWriteError();

    QString m_macroFilePath;
    KeyPreview* m_keyPreview = nullptr;
    bool m_keyDownAttached = true;
};
