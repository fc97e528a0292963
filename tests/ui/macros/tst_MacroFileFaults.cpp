// The macro file as an operator's disk may hold it: broken lines, other programs' sections,
// a key written twice, tens of thousands of macros, a file that may not be written and a disk
// that fills up while it is saved. The editor loads what makes sense, loses no definition and
// says when it cannot save.

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "components/VelStringGrid.h"
#include "engine/config/MacroKeys.h"
#include "tests/common/FaultSupport.h"
#include "tests/ui/support/MainWindowHarness.h"
#include "ui/macros/EditMacrosUnit.h"

namespace {

constexpr int kKey = TEditMacrosForm::kKeyCol;
constexpr int kDef = TEditMacrosForm::kDefinitionCol;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList Keys(const cwt::TVelStringGrid* grid) {
    QStringList keys;
    for (int row = 1; row < grid->RowCount(); ++row) keys << grid->Cells(kKey, row);
    return keys;
}

QMessageBox* WriteError(const TEditMacrosForm& form) {
    return form.findChild<QMessageBox*>(QStringLiteral("writeError"));
}

}  // namespace

class MacroFileFaultsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    QString folder() const { return m_config.path() + "/cw-tamarik"; }
    QString macroPath() const { return folder() + "/cw_macro.ini"; }

private slots:
    void initTestCase() { InitMainWindowTests(); }
    void init() {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QDir().mkpath(folder());
        QFile::remove(macroPath());
    }
    void cleanup() {
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::chown(QFile::encodeName(folder()).constData(), 0, 0);
    }

    void brokenLinesAndOtherSectionsLoadWhatMakesSenseAndSurviveSave() {
        const QByteArray other = "[Window]\r\nLeft=3\r\n\r\n";
        const QByteArray tail = "[Other]\r\nF9=not a macro\r\n\x01\xFF\xFE binary tail\r\n";
        WriteAll(macroPath(), QByteArray("\xEF\xBB\xBF") + other +
                                  "[CW Macros]\r\n"
                                  "F1 = \"  quoted  \"\r\n"
                                  "no equals sign\r\n"
                                  " = no key\r\n"
                                  "; a comment=not a key\r\n"
                                  "^A=CQ [AR]\r\n" +
                                  QByteArray("@F2=\x00\x01 control bytes\r\n", 22) + tail);
        TEditMacrosForm form;
        cwt::TVelStringGrid* grid = form.StringGrid1;
        QCOMPARE(Keys(grid), QStringList({"F1", "^A", "@F2", ""}));
        QCOMPARE(grid->Cells(kDef, 1), QString("  quoted  "));
        QCOMPARE(grid->Cells(kDef, 2), QString("CQ [AR]"));
        QCOMPARE(grid->Cells(kDef, 3), QString::fromLatin1("\x00\x01 control bytes", 16));

        grid->setCells(kDef, 2, "CQ CQ [AR]");
        form.SaveButtonClick(nullptr);
        QVERIFY(!WriteError(form));
        const QByteArray saved = ReadAll(macroPath());
        QVERIFY(saved.startsWith(QByteArray("\xEF\xBB\xBF") + other + "[CW Macros]\r\n"));
        QVERIFY(saved.contains("^A=CQ CQ [AR]\r\n"));
        QVERIFY(saved.endsWith(tail));
    }

    void keyWrittenTwiceKeepsBothDefinitions() {
        WriteAll(macroPath(), "[CW Macros]\nF1=first\nF2=other\nf1=second\n");
        ProgramWindows windows = CreateProgramWindows(std::make_unique<cwt::SimulatedWaveDevice>());
        TEditMacrosForm* form = windows.EditMacrosForm;
        cwt::TVelStringGrid* grid = form->StringGrid1;
        QCOMPARE(Keys(grid), QStringList({"F1", "F2", "f1", ""}));
        // Each row shows its own line's definition: the operator sees both texts.
        QCOMPARE(grid->Cells(kDef, 1), QString("first"));
        QCOMPARE(grid->Cells(kDef, 3), QString("second"));

        // The key runs the first, as the file is read.
        TForm1* f = windows.Form1.get();
        f->macroAutoStart->setChecked(false);
        f->Memo1->clear();
        uint16_t key = cwt::kVkF1;
        f->FormKeyDown(key, {});
        QCOMPARE(f->Memo1->toPlainText(), QString("first"));

        // Saving loses neither.
        form->SaveButtonClick(nullptr);
        QCOMPARE(ReadAll(macroPath()), QByteArray("[CW Macros]\nF1=first\nF2=other\nf1=second\n"));
    }

    void tensOfThousandsOfMacrosLoadAndSaveInSeconds() {
        constexpr int kMacros = 20000;
        QByteArray bytes = "[CW Macros]\r\n";
        const QByteArray definition = "CQ CQ DE HL1ABC " + QByteArray(200, 'K') + " [AR]";
        for (int i = 0; i < kMacros; ++i)
            bytes += "K" + QByteArray::number(i) + "=" + definition + "\r\n";
        // One definition of a megabyte, read whole.
        bytes += "F12=" + QByteArray(1 << 20, 'E') + "\r\n";
        WriteAll(macroPath(), bytes);

        QElapsedTimer clock;
        clock.start();
        TEditMacrosForm form;
        const qint64 loadMs = clock.elapsed();
        cwt::TVelStringGrid* grid = form.StringGrid1;
        QCOMPARE(grid->RowCount(), kMacros + 3);
        QCOMPARE(grid->Cells(kDef, kMacros + 1).size(), 1 << 20);
        clock.restart();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        grid->setRow(kMacros + 1);
        grid->setCol(kDef);
        QTest::qWait(50);
        const qint64 showMs = clock.elapsed();
        clock.restart();
        form.SaveButtonClick(nullptr);
        const qint64 saveMs = clock.elapsed();
        std::printf(
            "%d macros and one of 1 MB (%lld bytes): loaded in %lld ms, shown at the "
            "big one in %lld ms, saved in %lld ms\n",
            kMacros, static_cast<long long>(bytes.size()), static_cast<long long>(loadMs),
            static_cast<long long>(showMs), static_cast<long long>(saveMs));
        QVERIFY(!WriteError(form));
        QCOMPARE(ReadAll(macroPath()), bytes);
        QVERIFY2(loadMs < 10000 && showMs < 10000 && saveMs < 10000, "seconds, not minutes");
    }

    void readOnlyFileIsNotReplaced() {
        const QByteArray old = "[CW Macros]\nF1=keep me\n";
        WriteAll(macroPath(), old);
        // An ordinary user's folder, with the file made read-only.
        ::chown(QFile::encodeName(m_config.path()).constData(), 0, 0);
        QFile::setPermissions(m_config.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ExeOther);
        ::chown(QFile::encodeName(folder()).constData(), AsOrdinaryUser::kNobody,
                AsOrdinaryUser::kNobody);
        ::chown(QFile::encodeName(macroPath()).constData(), AsOrdinaryUser::kNobody,
                AsOrdinaryUser::kNobody);
        QFile::setPermissions(macroPath(), QFile::ReadOwner | QFile::ReadOther);

        TEditMacrosForm form;
        form.show();
        form.StringGrid1->setCells(kDef, 1, "changed");
        {
            AsOrdinaryUser user;
            form.SaveButtonClick(nullptr);
        }
        QCOMPARE(ReadAll(macroPath()), old);
        QVERIFY(form.isVisible());
        QMessageBox* box = WriteError(form);
        QVERIFY(box);
        QCOMPARE(box->text(), "Unable to write to " + macroPath());
        QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList({"cw_macro.ini"}));
    }

    void diskFullHalfWayKeepsTheOldFile() {
        SmallDisk disk(64);
        if (!disk.mounted()) QSKIP("no small file system can be mounted here (not root)");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(disk.path()));
        QDir().mkpath(disk.filePath("cw-tamarik"));
        const QString path = disk.filePath("cw-tamarik/cw_macro.ini");
        const QByteArray old = "[Other]\nx=1\n[CW Macros]\nF1=keep me\nF2=and me\n";
        QVERIFY(WriteAll(path, old));
        TEditMacrosForm form;
        form.show();
        cwt::TVelStringGrid* grid = form.StringGrid1;
        // More than the disk has left: the save fails after part of the file was written.
        disk.fillLeaving(16 * 1024);
        grid->setCells(kDef, 1, QString(40000, 'A'));
        form.SaveButtonClick(nullptr);
        QCOMPARE(ReadAll(path), old);
        QVERIFY(form.isVisible());
        QVERIFY(WriteError(form));
        QCOMPARE(grid->Cells(kDef, 1).size(), 40000);  // the table keeps the new text
        QCOMPARE(QDir(disk.filePath("cw-tamarik")).entryList(QDir::Files),
                 QStringList({"cw_macro.ini"}));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }
};

QTEST_MAIN(MacroFileFaultsTest)
#include "tst_MacroFileFaults.moc"
