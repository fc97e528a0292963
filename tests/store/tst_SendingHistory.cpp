// The sending practice's history in practice.sqlite: a file kept by the version before it (made
// by that version's code, tests/store/data/practice-v1.sqlite) is upgraded in place with every
// copy session and choice kept; an upgrade that cannot be written (another program's lock, a
// full disk) leaves the file byte for byte as it was and practice goes on in memory; a file of a
// newer program and a damaged one are treated as for the copy practice; what is kept reads back
// as it was saved, free keying's missing figures included.

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "store/ProgressStore.h"
#include "tests/common/FaultSupport.h"

using cwt::Course;
using cwt::ProgressStore;
using cwt::SendingSession;

namespace {

QString VersionOneFile() {
    return qEnvironmentVariable("CWT_SOURCE_DIR") + "/tests/store/data/practice-v1.sqlite";
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A copy of the version-one file at `path`, writable.
void CopyVersionOne(const QString& path) {
    QVERIFY(QFile::copy(VersionOneFile(), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

// A question to the file, as another program would ask it.
QVariant Ask(const QString& path, const QString& sql) {
    QVariant answer;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "asker");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        if (query.exec(sql) && query.next()) answer = query.value(0);
    }
    QSqlDatabase::removeDatabase("asker");
    return answer;
}

SendingSession Stretch(Course course, double accuracy, double fist) {
    SendingSession session;
    session.when = QDateTime::currentDateTimeUtc();
    session.course = course;
    session.target = "PARIS PARIS";
    session.keyed = "PARIS PARIS";
    session.targetSymbols = session.comparedSymbols = session.keyedSymbols = 10;
    session.measuredWpm = 14.6;
    session.accuracy = accuracy;
    session.fistScore = fist;
    session.figures = {{"dah-dit-ratio", 3.1, 0.2}, {"letter-gap", 3.4, 0.6}};
    return session;
}

}  // namespace

class TestSendingHistory : public QObject {
    Q_OBJECT

private slots:
    void aFileOfTheVersionBeforeIsUpgradedInPlaceWithEverythingKept() {
        QVERIFY(QFile::exists(VersionOneFile()));
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        CopyVersionOne(path);
        QCOMPARE(Ask(path, "PRAGMA user_version").toInt(), 1);
        {
            ProgressStore store(path);
            QVERIFY2(store.problem().isEmpty(), qPrintable(store.problem()));
            QVERIFY(store.setAsidePath().isEmpty());
            QCOMPARE(store.scoreHistory(Course::English).size(), size_t{1});
            QCOMPARE(store.scoreHistory(Course::English)[0].score, 0.92);
            QCOMPARE(store.scoreHistory(Course::Korean).size(), size_t{1});
            QCOMPARE(store.symbolTotals(Course::English).at(u'K').correct, 11);
            QCOMPARE(store.choice("lesson-ko", "1"), QString("2"));
            QVERIFY(store.sendingHistory(Course::English).empty());
            QVERIFY(store.saveSendingSession(Stretch(Course::English, 0.9, 81)));
        }
        QCOMPARE(Ask(path, "PRAGMA user_version").toInt(), 2);
        QCOMPARE(Ask(path, "SELECT COUNT(*) FROM confusions").toInt(), 1);
        ProgressStore reopened(path);
        QVERIFY(reopened.problem().isEmpty());
        QCOMPARE(reopened.scoreHistory(Course::Korean).size(), size_t{1});
        QCOMPARE(reopened.sendingHistory(Course::English).size(), size_t{1});
        QCOMPARE(reopened.sendingHistory(Course::English)[0].fistScore.value_or(-1), 81.0);
    }

    void anUpgradeThatCannotBeWrittenLeavesTheFileAsItWas() {
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        CopyVersionOne(path);
        const QByteArray before = Contents(path);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "holder");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery hold(db);
            QVERIFY(hold.exec("BEGIN EXCLUSIVE"));
            ProgressStore store(path, 100);
            QVERIFY2(store.problem().contains("잠그고"), qPrintable(store.problem()));
            QVERIFY(!store.saveSendingSession(Stretch(Course::English, 1, 90)));
            // This run's stretch is still shown.
            QCOMPARE(store.sendingHistory(Course::English).size(), size_t{1});
            QCOMPARE(Contents(path), before);
            QVERIFY(hold.exec("ROLLBACK"));
            // Freed: the upgrade runs, and the stretch kept in memory is written with the next.
            QVERIFY(store.saveSendingSession(Stretch(Course::English, 0.5, 40)));
            QCOMPARE(store.sendingHistory(Course::English).size(), size_t{2});
        }
        QSqlDatabase::removeDatabase("holder");
        QCOMPARE(Ask(path, "SELECT COUNT(*) FROM sending_sessions").toInt(), 2);
        QCOMPARE(Ask(path, "SELECT COUNT(*) FROM sessions").toInt(), 2);
    }

    void anUpgradeOnAFullDiskLeavesTheFileAsItWas() {
        SmallDisk disk(256);
        if (!disk.mounted()) QSKIP("a small disk needs root to be mounted");
        const QString path = disk.filePath("practice.sqlite");
        CopyVersionOne(path);
        const QByteArray before = Contents(path);
        disk.fillLeaving(0);
        {
            ProgressStore store(path);
            QVERIFY(!store.problem().isEmpty());
            QCOMPARE(store.scoreHistory(Course::English).size(), size_t{1});
            QVERIFY(!store.saveSendingSession(Stretch(Course::Korean, 0.7, 55)));
        }
        QCOMPARE(Contents(path), before);
        QVERIFY(QFile::remove(disk.filePath("filler")));
        ProgressStore store(path);
        QVERIFY2(store.problem().isEmpty(), qPrintable(store.problem()));
        QCOMPARE(store.scoreHistory(Course::Korean).size(), size_t{1});
    }

    void aFileOfANewerProgramIsReadButNotWritten() {
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        { ProgressStore(path).saveSendingSession(Stretch(Course::English, 0.8, 70)); }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
            db.setDatabaseName(path);
            db.open();
            QSqlQuery(db).exec("PRAGMA user_version = 9");
        }
        QSqlDatabase::removeDatabase("newer");
        const QByteArray before = Contents(path);
        ProgressStore store(path);
        QVERIFY(store.problem().contains("새로운 판"));
        QCOMPARE(store.sendingHistory(Course::English).size(), size_t{1});
        QVERIFY(!store.saveSendingSession(Stretch(Course::English, 0.9, 80)));
        QCOMPARE(Contents(path), before);
    }

    void damageFoundWhileWritingAStretchSetsTheFileAsideAndKeepsIt() {
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        ProgressStore store(path);
        QVERIFY(store.saveSendingSession(Stretch(Course::English, 1, 95)));
        const QByteArray garbage = QByteArray("not a history any more ").repeated(300);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(garbage);
        }
        QVERIFY(store.saveSendingSession(Stretch(Course::English, 0.6, 50)));
        QCOMPARE(Contents(store.setAsidePath()), garbage);
        QCOMPARE(store.sendingHistory(Course::English).size(), size_t{1});  // the new file's
    }

    void freeKeyingWithoutFiguresReadsBackWithoutThem() {
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        SendingSession free = Stretch(Course::Korean, 0, 0);
        free.kind = cwt::SendingTextKind::Free;
        free.target.clear();
        free.accuracy.reset();
        free.fistScore.reset();
        free.figures.clear();
        { QVERIFY(ProgressStore(path).saveSendingSession(free)); }
        ProgressStore store(path);
        const std::vector<cwt::SendingPoint> points = store.sendingHistory(Course::Korean);
        QCOMPARE(points.size(), size_t{1});
        QVERIFY(!points[0].accuracy.has_value());
        QVERIFY(!points[0].fistScore.has_value());
        QCOMPARE(points[0].measuredWpm, 14.6);
        QVERIFY(store.sendingHistory(Course::English).empty());
    }
};

QTEST_GUILESS_MAIN(TestSendingHistory)
#include "tst_SendingHistory.moc"
