// The macro editor: loading (first run and from the file), key capture, Enter and Delete,
// Save and Close with the saved copies, and a save that fails.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "components/VelStringGrid.h"
#include "ui/common/Fonts.h"
#include "ui/macros/EditMacrosUnit.h"

namespace {

constexpr int kKey = TEditMacrosForm::kKeyCol;
constexpr int kDef = TEditMacrosForm::kDefinitionCol;
constexpr int kSavedKey = TEditMacrosForm::kSavedKeyCol;
constexpr int kSavedDef = TEditMacrosForm::kSavedDefinitionCol;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void showActive(TEditMacrosForm& form) {
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_VERIFY(form.StringGrid1->hasFocus());
}

// Presses a key on whatever has the focus, as the keyboard would.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

void type(const QString& text) {
    for (QChar ch : text) QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
}

// Makes writes of more than a few bytes fail for this process, as a full disk would; works
// for root too, who may write into any folder.
class WriteLimit {
public:
    WriteLimit() {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny = m_saved;
        tiny.rlim_cur = 8;
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~WriteLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

}  // namespace

class EditMacrosTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstRunGivesTheDefaultRows();
    void loadingKeepsFileOrderAndLongDefinitions();
    void layoutShowsTheHelpTexts();
    void capturedKeysFillTheLastRowOrFindTheirRow();
    void keysTheDesktopTakesAreKeptAndNamedInTheStatusBar();
    void definitionsAreTypedOnlyAfterAKey();
    void enterAddsOrMovesRows();
    void deleteRemovesRowsOnlyFromTheKeyColumn();
    void deleteMacroRowLeavesSavedCopiesInPlace();
    void saveThenCloseRestoresABlankDefinitionRow();
    void saveKeepsOtherSectionsAndWritesUtf8();
    void failedSaveLosesNothing();
    void titleBarCloseKeepsChanges();
    void screenshot();

private:
    QString macroPath() const { return m_config.path() + "/cw-tamarik/cw_macro.ini"; }
    QTemporaryDir m_config;
};

void EditMacrosTest::init() {
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    QDir().mkpath(m_config.path() + "/cw-tamarik");
    QFile::remove(macroPath());
}

void EditMacrosTest::cleanup() {
    QFile::setPermissions(m_config.path() + "/cw-tamarik",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void EditMacrosTest::firstRunGivesTheDefaultRows() {
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    QCOMPARE(form.macroFilePath(), macroPath());
    QCOMPARE(grid->RowCount(), 5);
    QCOMPARE(grid->Rows(0), QStringList({"", "매크로", "매크로 정의"}));
    QCOMPARE(grid->Cells(kKey, 1), QString("^A"));
    QVERIFY(grid->Cells(kDef, 1).contains(QStringLiteral("여기는")));
    QVERIFY(!grid->Cells(kDef, 1).contains('\n'));
    QCOMPARE(grid->Cells(kKey, 2), QString("@F1"));
    QCOMPARE(grid->Cells(kDef, 2), QString("123456"));
    QCOMPARE(grid->Cells(kKey, 3), QString("F1"));
    QCOMPARE(grid->Cells(kDef, 3), QString("34567"));
    QCOMPARE(grid->Cells(kKey, 4), QString());
    for (int row = 1; row <= 4; ++row) QCOMPARE(grid->Cells(kSavedKey, row), QString());
    QVERIFY(!QFile::exists(macroPath()));
}

void EditMacrosTest::loadingKeepsFileOrderAndLongDefinitions() {
    const QByteArray longText(3000, 'E');
    writeAll(macroPath(), "[Other]\nF9=no\n[CW Macros]\nF3 = \"  quoted \"\n^B=[AS] QRL\n@F2=" +
                              longText + "\n");
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    QCOMPARE(grid->RowCount(), 5);  // title, three macros, an empty row
    QCOMPARE(grid->Cols(kKey), QStringList({"매크로", "F3", "^B", "@F2", ""}));
    QCOMPARE(grid->Cells(kDef, 1), QString("  quoted "));
    QCOMPARE(grid->Cells(kDef, 3), QString::fromLatin1(longText));
    QCOMPARE(grid->Cells(kSavedKey, 2), QString("^B"));
    QCOMPARE(grid->Cells(kSavedDef, 2), QString("[AS] QRL"));
    QCOMPARE(grid->Row(), 4);
}

void EditMacrosTest::layoutShowsTheHelpTexts() {
    TEditMacrosForm form;
    QCOMPARE(form.windowTitle(), QString("매크로 정의"));
    QCOMPARE(form.size(), QSize(553, 514));
    QVERIFY(form.Label2->text().startsWith(
        QStringLiteral("* 매크로추가는 사용할 매크로 키를 키보드에서 선택하면 \"매크로\" 항목에")));
    QVERIFY(form.Label2->text().endsWith(
        QStringLiteral("삭제할 \"메크로\" 항목에서 Delete버튼을 누르면 삭제됩니다.")));
    QVERIFY(form.Label3->text().contains(QStringLiteral("@A..Z              연속송신")));
    QCOMPARE(form.SaveButton->text(), QString("저 장"));
    QCOMPARE(form.CloseButton->text(), QString("닫 기"));
    QCOMPARE(form.StringGrid1->geometry(), QRect(4, 124, 545, 369));
}

void EditMacrosTest::capturedKeysFillTheLastRowOrFindTheirRow() {
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    showActive(form);
    grid->setRow(4);
    press(Qt::Key_F5);
    QCOMPARE(grid->Cells(kKey, 4), QString("F5"));
    QCOMPARE(grid->Col(), kDef);
    QVERIFY(grid->Options().testFlag(cwt::goEditing));

    press(Qt::Key_F1);  // already in the table: its row becomes current
    QCOMPARE(grid->Row(), 3);
    QCOMPARE(grid->Col(), kDef);
    grid->setRow(1);
    press(Qt::Key_F1, Qt::ShiftModifier);
    QCOMPARE(grid->Row(), 3);
    press(Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier);  // "^A"
    QCOMPARE(grid->Row(), 1);

    grid->setRow(4);
    press(Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier);  // renames the current row
    QCOMPARE(grid->Cells(kKey, 4), QString("^F1"));
    QCOMPARE(grid->Cells(kDef, 4), QString());
    QCOMPARE(grid->RowCount(), 5);
}

void EditMacrosTest::keysTheDesktopTakesAreKeptAndNamedInTheStatusBar() {
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    showActive(form);
    grid->setRow(4);
    press(Qt::Key_F4, Qt::AltModifier);
    QCOMPARE(grid->Cells(kKey, 4), QString("@F4"));
    QVERIFY2(form.StatusBar1->currentMessage().contains("Alt+F4"),
             qPrintable(form.StatusBar1->currentMessage()));
    type("73");  // the definition is typed and kept all the same
    QCOMPARE(grid->Cells(kDef, 4), QString("73"));
    press(Qt::Key_Return);

    press(Qt::Key_F2, Qt::ControlModifier | Qt::AltModifier);  // the name runs with Ctrl+F2
    QCOMPARE(grid->Cells(kKey, 5), QString("^F2"));
    QVERIFY(form.StatusBar1->currentMessage().contains("Ctrl+F2"));
    press(Qt::Key_F7, Qt::AltModifier);
    QVERIFY(form.StatusBar1->currentMessage().contains("Alt+F7"));
    press(Qt::Key_F9);  // a free key clears the warning
    QCOMPARE(form.StatusBar1->currentMessage(), QString());
    QCOMPARE(grid->Cells(kKey, 4), QString("@F4"));
    QCOMPARE(grid->Cells(kDef, 4), QString("73"));
}

void EditMacrosTest::definitionsAreTypedOnlyAfterAKey() {
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    showActive(form);
    grid->setRow(4);
    grid->setCol(kDef);
    type("x");  // no key yet: the cell cannot be edited
    QCOMPARE(grid->Cells(kDef, 4), QString());
    grid->setCol(kKey);
    type("x");  // key cells are never typed into
    QCOMPARE(grid->Cells(kKey, 4), QString());

    press(Qt::Key_F7);
    type("CQ TEST");
    QCOMPARE(grid->Cells(kDef, 4), QString("CQ TEST"));
}

void EditMacrosTest::enterAddsOrMovesRows() {
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    showActive(form);
    grid->setRow(4);
    press(Qt::Key_Return);  // no key: nothing
    QCOMPARE(grid->RowCount(), 5);
    press(Qt::Key_F8);
    type("  ");
    press(Qt::Key_Return);  // a blank definition does not count
    QCOMPARE(grid->RowCount(), 5);
    type("599");            // the editor opens anew and replaces the blanks
    press(Qt::Key_Return);  // a definition in the last row: a new row, its key cell current
    QCOMPARE(grid->Cells(kDef, 4), QString("599"));
    QCOMPARE(grid->RowCount(), 6);
    QCOMPARE(grid->Row(), 5);
    QCOMPARE(grid->Col(), kKey);
    QVERIFY(!grid->EditorMode());

    grid->setRow(2);
    grid->setCol(kDef);
    press(Qt::Key_Return);  // elsewhere: the next row, same column, its cell editor open
    QCOMPARE(grid->Row(), 3);
    QCOMPARE(grid->Col(), kDef);
    QCOMPARE(grid->RowCount(), 6);
    QVERIFY(grid->EditorMode());

    // Enter typed in the cell editor: the next row, whose cell editor opens in turn.
    QCOMPARE(grid->Cells(kKey, 3), QString("F1"));
    press(Qt::Key_End);
    type("8");
    press(Qt::Key_Return);
    QCOMPARE(grid->Cells(kDef, 3), QString("345678"));
    QCOMPARE(grid->Row(), 4);
    QVERIFY(grid->EditorMode());
    press(Qt::Key_End);
    type("0");
    QCOMPARE(grid->Cells(kDef, 4), QString("5990"));
}

void EditMacrosTest::deleteRemovesRowsOnlyFromTheKeyColumn() {
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    showActive(form);
    grid->setRow(2);
    grid->setCol(kDef);
    press(Qt::Key_Delete);  // column 2: the row stays
    QCOMPARE(grid->RowCount(), 5);
    QCOMPARE(grid->Cells(kKey, 2), QString("@F1"));
    press(Qt::Key_F2);  // unused key: renames row 2, whose definition is now empty
    grid->setRow(3);
    type("12");  // inside the cell editor Delete edits the text
    press(Qt::Key_Home);
    press(Qt::Key_Delete);
    QCOMPARE(grid->Cells(kDef, 3), QString("2"));
    QCOMPARE(grid->RowCount(), 5);

    press(Qt::Key_Return);  // leaves the editor
    grid->setRow(1);
    grid->setCol(kKey);
    press(Qt::Key_Delete);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Cols(kKey), QStringList({"매크로", "F2", "F1", ""}));

    grid->setRow(3);  // the last row only empties
    press(Qt::Key_F11);
    grid->setCol(kKey);
    press(Qt::Key_Delete);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Cells(kKey, 3), QString());
}

void EditMacrosTest::deleteMacroRowLeavesSavedCopiesInPlace() {
    writeAll(macroPath(), "[CW Macros]\nF1=one\nF2=two\nF3=three\n");
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    grid->setRow(4);
    form.DeleteMacroRow(1);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Cols(kKey), QStringList({"매크로", "F2", "F3", ""}));
    QCOMPARE(grid->Cols(kDef), QStringList({"매크로 정의", "two", "three", ""}));
    QCOMPARE(grid->Cells(kSavedKey, 1), QString("F1"));
    QCOMPARE(grid->Row(), 3);  // the current row was the last one

    form.CloseButtonClick(nullptr);  // Close puts the saved rows back
    QCOMPARE(grid->Cols(kKey), QStringList({"매크로", "F1", "F2", "F3"}));
}

void EditMacrosTest::saveThenCloseRestoresABlankDefinitionRow() {
    writeAll(macroPath(), "[CW Macros]\nF1=abc\nF2=def\n");
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    showActive(form);
    grid->setCells(kDef, 1, "   ");
    grid->setCells(kDef, 2, "changed");
    form.SaveButtonClick(nullptr);
    QVERIFY(!form.isVisible());
    QCOMPARE(readAll(macroPath()), QByteArray("[CW Macros]\nF2=changed\n"));
    QCOMPARE(grid->Cells(kSavedDef, 2), QString("changed"));

    showActive(form);
    grid->setCells(kDef, 2, "edited after the save");
    form.CloseButtonClick(nullptr);
    QVERIFY(!form.isVisible());
    QCOMPARE(grid->Cells(kDef, 1), QString("abc"));  // its old saved copy
    QCOMPARE(grid->Cells(kDef, 2), QString("changed"));
    QCOMPARE(grid->Cells(kKey, 3), QString());
}

void EditMacrosTest::saveKeepsOtherSectionsAndWritesUtf8() {
    writeAll(macroPath(), "; notes\r\n[Window]\r\nLeft = 3\r\n\r\n[CW Macros]\r\nF1=x\r\n");
    TEditMacrosForm form;
    form.StringGrid1->setCells(kDef, 1, QStringLiteral("안녕 [BT]"));
    form.SaveButtonClick(nullptr);
    QCOMPARE(readAll(macroPath()),
             QByteArray("; notes\r\n[Window]\r\nLeft = 3\r\n\r\n[CW Macros]\r\nF1=") +
                 QStringLiteral("안녕 [BT]").toUtf8() + "\r\n");

    TEditMacrosForm again;  // read back at the next start
    QCOMPARE(again.StringGrid1->Cells(kDef, 1), QStringLiteral("안녕 [BT]"));
}

void EditMacrosTest::failedSaveLosesNothing() {
    const QByteArray old = "[CW Macros]\nF1=keep me\n";
    writeAll(macroPath(), old);
    TEditMacrosForm form;
    cwt::TVelStringGrid* grid = form.StringGrid1;
    showActive(form);
    grid->setCells(kDef, 1, "new text that cannot be written");
    {
        std::unique_ptr<WriteLimit> limit;
        if (geteuid() == 0)
            limit = std::make_unique<WriteLimit>();
        else
            QFile::setPermissions(m_config.path() + "/cw-tamarik",
                                  QFile::ReadOwner | QFile::ExeOwner);
        form.SaveButtonClick(nullptr);
    }
    QCOMPARE(readAll(macroPath()), old);
    QVERIFY(form.isVisible());
    QCOMPARE(grid->Cells(kSavedDef, 1), QString("keep me"));
    auto* box = form.findChild<QMessageBox*>("writeError");
    QVERIFY(box);
    QCOMPARE(box->text(), "Unable to write to " + macroPath());
    box->close();
    QCOMPARE(QDir(m_config.path() + "/cw-tamarik").entryList(QDir::Files),
             QStringList({"cw_macro.ini"}));  // no temporary file left behind
}

void EditMacrosTest::titleBarCloseKeepsChanges() {
    TEditMacrosForm form;
    showActive(form);
    form.StringGrid1->setCells(kDef, 3, "77777");
    form.close();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.StringGrid1->Cells(kDef, 3), QString("77777"));
    QVERIFY(!QFile::exists(macroPath()));
}

// Writes a picture of the editor when CWT_SCREENS_DIR names a folder, to look at.
void EditMacrosTest::screenshot() {
    const QString folder = qEnvironmentVariable("CWT_SCREENS_DIR");
    if (folder.isEmpty()) QSKIP("CWT_SCREENS_DIR not set");
    cwt::InstallFontSubstitutions();
    writeAll(macroPath(),
             QStringLiteral("[CW Macros]\n^A=CQ CQ CQ DE HL1ABC HL1ABC [AS]\n"
                            "F1=34567\nF2=안녕하세요 반갑습니다 [BT]\n@F3=73 TU [VA]\n")
                 .toUtf8());
    TEditMacrosForm form;
    showActive(form);
    form.StringGrid1->setRow(2);
    form.StringGrid1->setCol(TEditMacrosForm::kDefinitionCol);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(form.grab().save(folder + "/macro-editor.png"));
}

QTEST_MAIN(EditMacrosTest)
#include "tst_EditMacros.moc"
