// The practice history against real SQLite files: first use, reopening, a damaged file, a
// read-only folder, a file another program holds, and a file from a newer program.

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "store/ProgressStore.h"
#include "tests/common/FaultSupport.h"

using cwt::Course;
using cwt::PracticeSession;
using cwt::ProgressStore;

namespace {

PracticeSession Session(Course course, int lesson, std::u16string_view sent,
                        std::u16string_view copied) {
    cwt::SessionScore score;
    score.add(cwt::ScoreItem(course, sent, copied));
    PracticeSession session = cwt::SessionOf(score);
    session.course = course;
    session.lesson = lesson;
    session.characterWpm = 11.9;
    session.effectiveWpm = 8;
    return session;
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A connection of another program's kind, straight to the file.
class OtherConnection {
public:
    explicit OtherConnection(const QString& path) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", kName);
        db.setDatabaseName(path);
        db.open();
    }
    ~OtherConnection() {
        QSqlDatabase::database(kName, false).close();
        QSqlDatabase::removeDatabase(kName);
    }
    bool exec(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(kName, false));
        return query.exec(sql);
    }
    int count(const QString& table) {
        QSqlQuery query(QSqlDatabase::database(kName, false));
        return query.exec("SELECT COUNT(*) FROM " + table) && query.next() ? query.value(0).toInt()
                                                                           : -1;
    }

private:
    static constexpr const char* kName = "other-program";
};

}  // namespace

class TestProgressStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_home.path().toUtf8()); }

    void firstUseCreatesTheFileAndReopeningKeepsEverything() {
        const QString path = ProgressStore::DefaultPath();
        QCOMPARE(path, m_home.path() + "/cw-tamarik/practice.sqlite");
        QVERIFY(!QFile::exists(path));
        {
            ProgressStore store;
            QVERIFY2(store.problem().isEmpty(), qPrintable(store.problem()));
            QVERIFY(store.isOpen());
            QVERIFY(QFile::exists(path));
            QVERIFY(store.scoreHistory(Course::English).empty());
            QCOMPARE(store.choice("course", "en"), QString("en"));
            QVERIFY(store.saveSession(Session(Course::English, 1, u"KMKMK", u"KMKMM")));
            QVERIFY(store.saveSession(Session(Course::Korean, 3, u"안나", u"아나")));
            QVERIFY(store.saveSession(Session(Course::English, 2, u"KMRRK", u"KMRRK")));
            QVERIFY(store.setChoice("course", "ko"));
        }
        ProgressStore again;
        QVERIFY2(again.problem().isEmpty(), qPrintable(again.problem()));
        const auto english = again.scoreHistory(Course::English);
        QCOMPARE(english.size(), size_t{2});
        QCOMPARE(english[0].lesson, 1);
        QCOMPARE(english[0].score, 0.8);
        QCOMPARE(english[1].score, 1.0);
        QVERIFY(english[0].when <= english[1].when);
        QVERIFY(english[1].when.secsTo(QDateTime::currentDateTimeUtc()) < 60);
        QCOMPARE(again.scoreHistory(Course::Korean).size(), size_t{1});
        // Characters add up over the sessions of the course: K sent 5 times, once taken for M.
        const auto totals = again.symbolTotals(Course::English);
        QCOMPARE(totals.at(u'K').sent, 5);
        QCOMPARE(totals.at(u'K').correct, 4);
        QCOMPARE(totals.at(u'M').sent, 3);
        QCOMPARE(totals.at(u'M').correct, 3);
        QCOMPARE(totals.at(u'R').sent, 2);
        const auto jamo = again.symbolTotals(Course::Korean);
        QCOMPARE(jamo.at(u'ㄴ').sent, 2);
        QCOMPARE(jamo.at(u'ㄴ').correct, 1);  // the final ㄴ of 안 was missed
        QCOMPARE(again.choice("course", "en"), QString("ko"));
        OtherConnection other(path);
        QCOMPARE(other.count("sessions"), 3);
        QCOMPARE(other.count("confusions"), 1);  // K taken for M
    }

    void damagedFileIsMovedAsideAndANewOneStarted_data() {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("not a database") << QByteArray("my notes, not a database\n").repeated(200);
        QTest::newRow("cut short") << QByteArray("cut");
        QTest::newRow("pages overwritten") << QByteArray("scribble");
    }
    void damagedFileIsMovedAsideAndANewOneStarted() {
        QFETCH(QByteArray, damage);
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        if (damage == "cut" || damage == "scribble") {
            {
                ProgressStore store(path);
                for (int i = 0; i < 40; ++i)
                    QVERIFY(store.saveSession(Session(Course::English, 5, u"KMRSUAKMRS", u"KM")));
            }
            QByteArray bytes = Contents(path);
            if (damage == "cut")
                bytes.truncate(bytes.size() / 2 + 100);
            else  // every page after the first three written over
                for (qsizetype i = 3 * 4096; i < bytes.size(); i += 7) bytes[i] = char(i * 31);
            Write(path, bytes);
            damage = bytes;
        } else {
            Write(path, damage);
        }

        ProgressStore store(path);
        QVERIFY(!store.setAsidePath().isEmpty());
        QVERIFY(store.setAsidePath().startsWith(path + ".damaged-"));
        QCOMPARE(Contents(store.setAsidePath()), damage);  // kept, byte for byte
        QVERIFY2(store.problem().isEmpty(), qPrintable(store.problem()));
        QVERIFY(store.scoreHistory(Course::English).empty());
        QVERIFY(store.saveSession(Session(Course::English, 1, u"KM", u"KM")));
        QCOMPARE(store.scoreHistory(Course::English).size(), size_t{1});
        // A second damaged file gets a name of its own: the first one is never overwritten.
        const QString first = store.setAsidePath();
        Write(path, damage);
        ProgressStore next(path);
        QVERIFY(next.setAsidePath() != first);
        QCOMPARE(Contents(first), damage);
        QCOMPARE(Contents(next.setAsidePath()), damage);
    }

    void damageFoundWhileWritingSetsTheFileAsideAndKeepsTheSession() {
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        ProgressStore store(path);
        QVERIFY(store.saveSession(Session(Course::English, 1, u"KM", u"KM")));
        const QByteArray garbage = QByteArray("overwritten by something else ").repeated(300);
        Write(path, garbage);
        QVERIFY(store.saveSession(Session(Course::English, 2, u"KMR", u"KMR")));
        QCOMPARE(Contents(store.setAsidePath()), garbage);
        QCOMPARE(store.scoreHistory(Course::English).size(), size_t{1});  // the new file's
    }

    void readOnlyFolderKeepsPracticeGoingWithoutSaving() {
        QTemporaryDir dir;
        // The folders on the way must be open to the ordinary user the test becomes (who keeps
        // root's group).
        const auto readable =
            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(dir.path(),
                              readable | QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString folder = dir.filePath("data");
        QVERIFY(QDir().mkpath(folder));
        const QString existing = folder + "/practice.sqlite";
        {
            ProgressStore store(existing);
            QVERIFY(store.saveSession(Session(Course::English, 1, u"KMKMK", u"KMKMK")));
            QVERIFY(store.setChoice("lesson-en", "4"));
        }
        const QByteArray before = Contents(existing);
        QFile::setPermissions(folder, readable | QFile::ReadOwner | QFile::ExeOwner);
        QFile::setPermissions(
            existing, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        {
            AsOrdinaryUser user;
            // A new file cannot be made there.
            ProgressStore fresh(folder + "/new.sqlite");
            QVERIFY(!fresh.isOpen());
            QVERIFY2(fresh.problem().contains("쓸 수 없습니다"), qPrintable(fresh.problem()));
            QVERIFY(!fresh.saveSession(Session(Course::English, 1, u"KM", u"KM")));
            QCOMPARE(fresh.scoreHistory(Course::English).size(), size_t{1});  // in memory
            QVERIFY(!QFile::exists(folder + "/new.sqlite"));

            // The existing history can still be read; what is new stays in memory.
            ProgressStore store(existing);
            QVERIFY(store.isOpen());
            QVERIFY2(store.problem().contains("쓸 수 없습니다"), qPrintable(store.problem()));
            QCOMPARE(store.scoreHistory(Course::English).size(), size_t{1});
            QCOMPARE(store.choice("lesson-en", "1"), QString("4"));
            QVERIFY(!store.saveSession(Session(Course::English, 2, u"KMR", u"KMA")));
            QVERIFY(!store.problem().isEmpty());
            QCOMPARE(store.scoreHistory(Course::English).size(), size_t{2});
            QCOMPARE(store.symbolTotals(Course::English).at(u'R').sent, 1);
            QVERIFY(!store.setChoice("lesson-en", "5"));
            QCOMPARE(store.choice("lesson-en", "1"), QString("5"));  // for this run
        }
        QCOMPARE(Contents(existing), before);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void fileHeldByAnotherProgramIsToldAndSavedOnceFree() {
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        { ProgressStore(path).saveSession(Session(Course::English, 1, u"KM", u"KM")); }
        OtherConnection other(path);
        QVERIFY(other.exec("BEGIN EXCLUSIVE"));
        ProgressStore store(path, 100);
        QVERIFY2(store.problem().contains("잠그고"), qPrintable(store.problem()));
        QVERIFY(!store.saveSession(Session(Course::English, 2, u"KMR", u"KMR")));
        QVERIFY(store.problem().contains("잠그고"));
        QVERIFY(other.exec("ROLLBACK"));
        // Freed: the session kept in memory is written with the next one.
        QVERIFY(store.saveSession(Session(Course::English, 3, u"KMRS", u"KMRS")));
        QVERIFY(store.problem().isEmpty());
        QCOMPARE(other.count("sessions"), 3);
        QCOMPARE(store.scoreHistory(Course::English).size(), size_t{3});
    }

    void fileOfANewerProgramIsReadButNotWritten() {
        QTemporaryDir dir;
        const QString path = dir.filePath("practice.sqlite");
        { ProgressStore(path).saveSession(Session(Course::English, 1, u"KM", u"KM")); }
        {
            OtherConnection other(path);
            QVERIFY(other.exec("PRAGMA user_version = 7"));
        }
        const QByteArray before = Contents(path);
        ProgressStore store(path);
        QVERIFY(store.problem().contains("새로운 판"));
        QCOMPARE(store.scoreHistory(Course::English).size(), size_t{1});
        QVERIFY(!store.saveSession(Session(Course::English, 2, u"KM", u"KM")));
        QCOMPARE(Contents(path), before);
        QVERIFY(store.setAsidePath().isEmpty());
    }

private:
    QTemporaryDir m_home;
};

QTEST_GUILESS_MAIN(TestProgressStore)
#include "tst_ProgressStore.moc"
