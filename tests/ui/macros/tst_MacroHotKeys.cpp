// The main window's macro hot keys against a stand-in main window: which key runs which
// macro, where its text goes, when a send starts, which keys are kept from the controls,
// and the translation of Qt key events into virtual-key numbers.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "components/VelStringGrid.h"
#include "ui/common/WindowsKeys.h"
#include "ui/macros/EditMacrosUnit.h"
#include "ui/macros/MacroHotKeys.h"

namespace {

// What the dispatch did to the main window.
class FakeMainWindow : public MacroHost {
public:
    bool stopEnabled = false;
    bool edit1Active = false;
    bool autoStart = true;
    QString edit1Text;
    QStringList memoLines;
    int macroStartPos = -1;
    int starts = 0;
    std::function<void()> onStart;

    bool stopButtonEnabled() const override { return stopEnabled; }
    bool edit1IsActiveControl() const override { return edit1Active; }
    void setEdit1TextCaretAtEnd(const QString& text) override { edit1Text = text; }
    int memo1LinesByteLength() const override {
        int length = 0;
        for (const QString& line : memoLines)
            length += static_cast<int>(line.toLatin1().size()) + 2;
        return length;
    }
    void appendMemo1Line(const QString& line) override { memoLines << line; }
    void setMacroStartPos(int bytePos) override { macroStartPos = bytePos; }
    bool macroAutoStartChecked() const override { return autoStart; }
    void autoStartButtonClick() override {
        ++starts;
        if (onStart) onStart();
    }
};

constexpr cwt::ShiftState kNone{};
constexpr cwt::ShiftState kShift{true, false, false};
constexpr cwt::ShiftState kCtrl{false, false, true};
constexpr cwt::ShiftState kAlt{false, true, false};

// A macro table as the editor holds it: title row, then one macro per row.
void fillTable(cwt::TVelStringGrid& table, const QList<QPair<QString, QString>>& macros) {
    table.setColCount(3);
    table.setRowCount(static_cast<int>(macros.size()) + 1);
    table.setCells(1, 0, QStringLiteral("매크로"));
    for (int i = 0; i < macros.size(); ++i) {
        table.setCells(1, i + 1, macros[i].first);
        table.setCells(2, i + 1, macros[i].second);
    }
}

}  // namespace

class MacroHotKeysTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstRunF1AppendsAndSendsTheDefault();
    void edit1ReceivesTheMacroInstead();
    void modifiersAndKeypadSelectTheSameMacros();
    void keysAreKeptOnlyWithCtrlOrAltOtherThanCopyPasteCut();
    void nothingHappensWhileASendRuns();
    void macroRunsDuringRandomGroupsButNotInsideItsOwnSend();
    void keyPreviewKeepsConsumedKeysFromTheControl();
    void keyPreviewSeesAKeyOnceWhenTheWindowLosesTheFocusMeanwhile();
    void qtKeysBecomeVirtualKeyNumbers();

private:
    QTemporaryDir m_config;
};

void MacroHotKeysTest::init() {
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    QFile::remove(m_config.path() + "/cw-tamarik/cw_macro.ini");
}

void MacroHotKeysTest::firstRunF1AppendsAndSendsTheDefault() {
    TEditMacrosForm editor;  // no macro file yet: the first-run rows
    FakeMainWindow main;
    main.memoLines = {"CQ CQ"};
    MacroHotKeys hotKeys(main, editor.macroTable());
    uint16_t key = 112;
    hotKeys.FormKeyDown(key, kNone);
    QCOMPARE(main.memoLines, QStringList({"CQ CQ", "34567"}));
    QCOMPARE(main.macroStartPos, 7);  // "CQ CQ" and its line break
    QCOMPARE(main.starts, 1);
    QCOMPARE(key, uint16_t(112));                     // the dispatch itself consumes nothing
    QVERIFY(!QFile::exists(editor.macroFilePath()));  // nothing is written until Save

    main.autoStart = false;
    key = 112;
    hotKeys.FormKeyDown(key, kAlt);  // "@F1"
    QCOMPARE(main.memoLines.last(), QString("123456"));
    QCOMPARE(main.starts, 1);
}

void MacroHotKeysTest::edit1ReceivesTheMacroInstead() {
    cwt::TVelStringGrid table;
    fillTable(table, {{"F2", "[AS] QRX"}, {"F3", ""}});
    FakeMainWindow main;
    main.edit1Active = true;
    MacroHotKeys hotKeys(main, &table);
    uint16_t key = 113;
    hotKeys.FormKeyDown(key, kNone);
    QCOMPARE(main.edit1Text, QString("[AS] QRX"));
    QVERIFY(main.memoLines.isEmpty());
    QCOMPARE(main.macroStartPos, -1);
    QCOMPARE(main.starts, 1);

    key = 114;  // a key with an empty definition does nothing
    hotKeys.FormKeyDown(key, kNone);
    QCOMPARE(main.starts, 1);
}

void MacroHotKeysTest::modifiersAndKeypadSelectTheSameMacros() {
    cwt::TVelStringGrid table;
    fillTable(table, {{"f1", "plain"}, {"^F1", "ctrl"}, {"^A", "ctrl a"}});
    FakeMainWindow main;
    main.autoStart = false;
    MacroHotKeys hotKeys(main, &table);
    const auto press = [&](uint16_t key, cwt::ShiftState shift) {
        hotKeys.FormKeyDown(key, shift);
        return main.memoLines.value(main.memoLines.size() - 1);
    };
    QCOMPARE(press(112, kShift), QString("plain"));  // case does not matter, Shift neither
    QCOMPARE(press(112, cwt::ShiftState{false, true, true}), QString("ctrl"));
    QCOMPARE(press(97, kCtrl), QString("ctrl a"));  // keypad 1
    QCOMPARE(press('A', kCtrl), QString("ctrl a"));
    QCOMPARE(main.memoLines.size(), 4);
}

void MacroHotKeysTest::keysAreKeptOnlyWithCtrlOrAltOtherThanCopyPasteCut() {
    cwt::TVelStringGrid table;
    fillTable(table, {{"^C", "copy macro"}});
    FakeMainWindow main;
    main.autoStart = false;
    MacroHotKeys hotKeys(main, &table);
    uint16_t key = 'Z';
    hotKeys.FormKeyDown(key, kCtrl);  // no macro, still kept from the controls
    QCOMPARE(key, uint16_t(0));
    key = 'Q';
    hotKeys.FormKeyDown(key, kAlt);
    QCOMPARE(key, uint16_t(0));
    key = 'C';
    hotKeys.FormKeyDown(key, kCtrl);  // copies and runs "^C"
    QCOMPARE(key, uint16_t('C'));
    QCOMPARE(main.memoLines, QStringList({"copy macro"}));
    key = 'V';
    hotKeys.FormKeyDown(key, kCtrl);
    QCOMPARE(key, uint16_t('V'));
    key = 'Q';
    hotKeys.FormKeyDown(key, kNone);
    QCOMPARE(key, uint16_t('Q'));
}

void MacroHotKeysTest::nothingHappensWhileASendRuns() {
    cwt::TVelStringGrid table;
    fillTable(table, {{"F1", "34567"}});
    FakeMainWindow main;
    main.stopEnabled = true;
    MacroHotKeys hotKeys(main, &table);
    uint16_t key = 112;
    hotKeys.FormKeyDown(key, kNone);
    key = 'Z';
    hotKeys.FormKeyDown(key, kCtrl);
    QCOMPARE(key, uint16_t('Z'));  // not even consumed
    QVERIFY(main.memoLines.isEmpty());
    QCOMPARE(main.starts, 0);
}

void MacroHotKeysTest::macroRunsDuringRandomGroupsButNotInsideItsOwnSend() {
    // Random groups keep the Stop button disabled while they generate: macros stay live,
    // and the macro's send starts inside the generation.
    cwt::TVelStringGrid table;
    fillTable(table, {{"F1", "34567"}, {"F2", "nested"}});
    FakeMainWindow main;
    main.memoLines = {"ABCDE FGHIJ"};
    MacroHotKeys hotKeys(main, &table);
    uint16_t nestedKey = 0;
    main.onStart = [&] {
        // A key pressed while the macro's own send runs before Stop is enabled.
        nestedKey = 'Z';
        hotKeys.FormKeyDown(nestedKey, kCtrl);
        uint16_t f2 = 113;
        hotKeys.FormKeyDown(f2, kNone);
    };
    uint16_t key = 112;
    hotKeys.FormKeyDown(key, kNone);
    QCOMPARE(main.memoLines, QStringList({"ABCDE FGHIJ", "34567"}));
    QCOMPARE(main.macroStartPos, 13);
    QCOMPARE(main.starts, 1);
    QCOMPARE(nestedKey, uint16_t('Z'));  // the dispatch was detached
}

void MacroHotKeysTest::keyPreviewKeepsConsumedKeysFromTheControl() {
    cwt::TVelStringGrid table;
    fillTable(table, {{"^X", "cut macro"}});
    FakeMainWindow main;
    main.autoStart = false;
    MacroHotKeys hotKeys(main, &table);
    QWidget window;
    auto* edit = new QLineEdit(QStringLiteral("hello"), &window);
    KeyPreview preview(
        &window, [&](uint16_t& key, cwt::ShiftState shift) { hotKeys.FormKeyDown(key, shift); });
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    edit->deselect();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);  // select-all never happens
    QVERIFY(!edit->hasSelectedText());
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString("hell"));
    edit->setSelection(0, 2);
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);  // cut still works
    QCOMPARE(edit->text(), QString("ll"));
    QCOMPARE(main.memoLines, QStringList({"cut macro"}));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);  // undo is kept from it
    QCOMPARE(edit->text(), QString("ll"));
}

void MacroHotKeysTest::keyPreviewSeesAKeyOnceWhenTheWindowLosesTheFocusMeanwhile() {
    // A macro's send runs inside its key press; the window may close or another window take
    // the focus before it ends. The editor ignores F5, which then travels on to the window.
    for (const bool closes : {true, false}) {
        QWidget window;
        auto* edit = new QPlainTextEdit(&window);
        QWidget other;
        int seen = 0;
        KeyPreview preview(&window, [&](uint16_t& key, cwt::ShiftState) {
            if (key != 116) return;
            ++seen;
            if (closes) {
                window.close();
            } else {
                other.show();
                other.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&other));
            }
        });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_F5);
        QCOMPARE(seen, 1);
    }
}

void MacroHotKeysTest::qtKeysBecomeVirtualKeyNumbers() {
    QCOMPARE(WindowsKeyOf(Qt::Key_F1, {}), uint16_t(112));
    QCOMPARE(WindowsKeyOf(Qt::Key_F12, Qt::ShiftModifier), uint16_t(123));
    QCOMPARE(WindowsKeyOf(Qt::Key_A, Qt::ControlModifier), uint16_t(65));
    QCOMPARE(WindowsKeyOf(Qt::Key_1, {}), uint16_t(49));
    QCOMPARE(WindowsKeyOf(Qt::Key_0, Qt::KeypadModifier), uint16_t(96));
    QCOMPARE(WindowsKeyOf(Qt::Key_9, Qt::KeypadModifier), uint16_t(105));
    QCOMPARE(WindowsKeyOf(Qt::Key_Asterisk, Qt::KeypadModifier), uint16_t(106));
    QCOMPARE(WindowsKeyOf(Qt::Key_Slash, Qt::KeypadModifier), uint16_t(111));
    QCOMPARE(WindowsKeyOf(Qt::Key_Enter, Qt::KeypadModifier), uint16_t(13));
    QCOMPARE(WindowsKeyOf(Qt::Key_End, Qt::KeypadModifier), uint16_t(35));  // Num Lock off
    QCOMPARE(WindowsKeyOf(Qt::Key_Return, {}), uint16_t(13));
    QCOMPARE(WindowsKeyOf(Qt::Key_Delete, {}), uint16_t(46));
    QCOMPARE(WindowsKeyOf(Qt::Key_Exclam, Qt::ShiftModifier), uint16_t(49));
    QCOMPARE(WindowsKeyOf(Qt::Key_unknown, {}), uint16_t(0));
    const cwt::ShiftState shift = ShiftStateOf(Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(shift.ctrl && shift.alt && !shift.shift);
}

QTEST_MAIN(MacroHotKeysTest)
#include "tst_MacroHotKeys.moc"
