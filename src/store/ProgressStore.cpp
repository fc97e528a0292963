#include "store/ProgressStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "store/StoreSql.h"

namespace cwt {

namespace {

// 1: the copy practice's sessions, symbol counts, confusions and the windows' choices.
// 2: the sending practice's sessions and their figures.
constexpr int kSchemaVersion = 2;

// SQLite's primary result codes, as Qt's driver reports them in nativeErrorCode().
enum SqliteCode {
    kPerm = 3,
    kBusy = 5,
    kLocked = 6,
    kReadOnly = 8,
    kIoErr = 10,
    kCorrupt = 11,
    kFull = 13,
    kCantOpen = 14,
    kNotADatabase = 26,
};

int PrimaryCode(const QSqlError& error) { return error.nativeErrorCode().toInt() & 0xFF; }

bool IsDamage(const QSqlError& error) {
    const int code = PrimaryCode(error);
    return code == kCorrupt || code == kNotADatabase;
}

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS sessions ("
    " id INTEGER PRIMARY KEY,"
    " ended_at TEXT NOT NULL,"  // ISO 8601, UTC
    " course TEXT NOT NULL,"    // 'en' or 'ko'
    " lesson INTEGER NOT NULL,"
    " item_kind TEXT NOT NULL,"  // 'groups', 'words' or 'calls'
    " items INTEGER NOT NULL,"
    " character_wpm REAL NOT NULL,"
    " effective_wpm REAL NOT NULL,"
    " sent INTEGER NOT NULL,"  // characters sent (jamo for the Korean course)
    " errors INTEGER NOT NULL,"
    " score REAL NOT NULL,"  // 0 .. 1
    " passed INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS sessions_by_course ON sessions (course, ended_at)",
    "CREATE TABLE IF NOT EXISTS symbol_counts ("
    " session_id INTEGER NOT NULL REFERENCES sessions (id) ON DELETE CASCADE,"
    " symbol TEXT NOT NULL,"
    " sent INTEGER NOT NULL,"
    " correct INTEGER NOT NULL,"
    " PRIMARY KEY (session_id, symbol))",
    "CREATE TABLE IF NOT EXISTS confusions ("
    " session_id INTEGER NOT NULL REFERENCES sessions (id) ON DELETE CASCADE,"
    " sent TEXT NOT NULL,"
    " copied TEXT NOT NULL,"
    " count INTEGER NOT NULL,"
    " PRIMARY KEY (session_id, sent, copied))",
    "CREATE TABLE IF NOT EXISTS choices (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS sending_sessions ("
    " id INTEGER PRIMARY KEY,"
    " ended_at TEXT NOT NULL,"  // ISO 8601, UTC
    " course TEXT NOT NULL,"    // 'en' or 'ko'
    " lesson INTEGER NOT NULL,"
    " text_kind TEXT NOT NULL,"   // 'groups', 'words', 'calls', 'qso' or 'free'
    " keyer_mode TEXT NOT NULL,"  // 'straight', 'iambic-a', 'iambic-b', 'ultimatic' or 'bug'
    " keyer_wpm INTEGER NOT NULL,"
    " measured_wpm REAL NOT NULL,"
    " target TEXT NOT NULL,"
    " keyed TEXT NOT NULL,"
    " target_symbols INTEGER NOT NULL,"
    " compared_symbols INTEGER NOT NULL,"
    " keyed_symbols INTEGER NOT NULL,"
    " errors INTEGER NOT NULL,"
    " accuracy REAL,"     // 0 .. 1; NULL for free keying
    " fist_score REAL)",  // 0 .. 100; NULL when too little was keyed
    "CREATE INDEX IF NOT EXISTS sending_sessions_by_course ON sending_sessions (course, ended_at)",
    "CREATE TABLE IF NOT EXISTS sending_figures ("
    " session_id INTEGER NOT NULL REFERENCES sending_sessions (id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " mean REAL NOT NULL,"
    " spread REAL NOT NULL,"
    " PRIMARY KEY (session_id, name))",
};

QString KindKey(ItemKind kind) {
    switch (kind) {
        case ItemKind::Words:
            return "words";
        case ItemKind::CallSigns:
            return "calls";
        case ItemKind::Groups:
            break;
    }
    return "groups";
}

QString Symbol(char16_t c) { return QString(QChar(c)); }

}  // namespace

using storesql::CourseKey;
using storesql::Exec;
using storesql::Stamp;

PracticeSession SessionOf(const SessionScore& score) {
    PracticeSession session;
    session.when = QDateTime::currentDateTimeUtc();
    session.items = static_cast<int>(score.items().size());
    session.sentSymbols = score.sentSymbols();
    session.errors = score.errors();
    session.score = score.fraction();
    session.passed = score.passed();
    session.tallies = score.tallies();
    session.confusions = score.confusions();
    return session;
}

ProgressStore::ProgressStore(const QString& path, int busyTimeoutMs)
    : m_path(path), m_busyTimeoutMs(busyTimeoutMs) {
    static int connections = 0;
    m_connection = QStringLiteral("cwt-progress-%1").arg(++connections);
    open();
}

ProgressStore::~ProgressStore() { close(); }

QString ProgressStore::DefaultPath() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data)) data = QDir::homePath() + "/.local/share";
    return data + "/cw-tamarik/practice.sqlite";
}

bool ProgressStore::open() {
    close();
    m_problem.clear();
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        m_problem = QStringLiteral("연습 기록 폴더 %1을(를) 만들 수 없습니다.").arg(folder);
        return false;
    }
    if (!openFile()) return false;
    const FileCheck check = checkFile();
    if (check == FileCheck::Unreadable) return false;
    if (check == FileCheck::Damaged && (!setAsideDamagedFile() || !openFile())) return false;
    return prepareSchema();
}

// SQLite's own check of the file's structure; a file that is no database at all fails it too.
ProgressStore::FileCheck ProgressStore::checkFile() {
    QSqlQuery check(QSqlDatabase::database(m_connection, false));
    if (check.exec("PRAGMA quick_check") && check.next())
        return check.value(0).toString() == "ok" ? FileCheck::Fine : FileCheck::Damaged;
    if (IsDamage(check.lastError())) return FileCheck::Damaged;
    failed(check.lastError(), QStringLiteral("읽을"));
    return FileCheck::Unreadable;
}

bool ProgressStore::openFile() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
    if (!db.open()) return failed(db.lastError(), QStringLiteral("열"));
    m_open = true;
    return true;
}

void ProgressStore::close() {
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
    m_writable = false;
}

// A file that SQLite cannot read as a database is moved aside under a name of its own, with
// the journal beside it, and never deleted: what it holds may still be recovered.
bool ProgressStore::setAsideDamagedFile() {
    close();
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString aside = m_path + ".damaged-" + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = m_path + ".damaged-" + stamp + "-" + QString::number(n);
    if (!QFile::rename(m_path, aside)) {
        m_problem = QStringLiteral(
                        "연습 기록 파일 %1이(가) 손상되었는데, 옆으로 옮겨 둘 수도 "
                        "없습니다. 파일은 그대로 두었습니다.")
                        .arg(m_path);
        return false;
    }
    for (const char* companion : {"-journal", "-wal", "-shm"})
        if (QFile::exists(m_path + companion)) QFile::rename(m_path + companion, aside + companion);
    m_setAside = aside;
    return true;
}

bool ProgressStore::prepareSchema() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery version(db);
    if (!version.exec("PRAGMA user_version") || !version.next())
        return failed(version.lastError(), QStringLiteral("읽을"));
    const int found = version.value(0).toInt();
    version.finish();
    if (found > kSchemaVersion) {
        m_problem = QStringLiteral(
                        "연습 기록 파일 %1은(는) 이 프로그램보다 새로운 판이 만든 "
                        "것이라 기록을 더하지 않습니다.")
                        .arg(m_path);
        return false;
    }
    // The schema is made (or found) in a write transaction, which also shows at once whether
    // the file can be written: a read-only folder refuses the journal, another program's
    // lock keeps the transaction waiting.
    QSqlError error;
    if (!Exec(db, "BEGIN IMMEDIATE", &error)) return failed(error, QStringLiteral("쓸"));
    for (const char* statement : kSchema) {
        if (!Exec(db, statement, &error)) {
            Exec(db, "ROLLBACK");
            return failed(error, QStringLiteral("쓸"));
        }
    }
    if (!Exec(db, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion), &error) ||
        !Exec(db, "COMMIT", &error)) {
        Exec(db, "ROLLBACK");
        return failed(error, QStringLiteral("쓸"));
    }
    m_writable = true;
    return true;
}

// Says in words what went wrong; always false.
bool ProgressStore::failed(const QSqlError& error, const QString& doing) {
    m_writable = false;
    m_damageFound = IsDamage(error);
    switch (PrimaryCode(error)) {
        case kBusy:
        case kLocked:
            m_problem = QStringLiteral("다른 프로그램이 연습 기록 파일 %1을(를) 잠그고 있습니다.")
                            .arg(m_path);
            break;
        case kPerm:
        case kReadOnly:
        case kCantOpen:
            m_problem = QStringLiteral(
                            "연습 기록 파일 %1에 쓸 수 없습니다. 폴더와 파일의 "
                            "권한을 확인하세요.")
                            .arg(m_path);
            break;
        case kFull:
            m_problem = QStringLiteral("디스크가 가득 차서 연습 기록 파일 %1에 쓸 수 없습니다.")
                            .arg(m_path);
            break;
        default:
            m_problem = QStringLiteral("연습 기록 파일 %1을(를) %2 수 없습니다: %3")
                            .arg(m_path, doing, error.databaseText());
            break;
    }
    return false;
}

bool ProgressStore::saveSession(const PracticeSession& session) {
    m_unsaved.push_back(session);
    return savePending();
}

bool ProgressStore::saveSendingSession(const SendingSession& session) {
    m_unsavedSending.push_back(session);
    return savePending();
}

bool ProgressStore::savePending() {
    // A file that could not be written before may be writable now (a lock released).
    if (!m_writable) {
        close();
        if (!open()) return false;
    }
    if (writePending()) return true;
    // Damage found while writing: the file is set aside and the sessions go into a new one.
    return m_damageFound && setAsideDamagedFile() && openFile() && prepareSchema() &&
           writePending();
}

// Writes every session kept so far in one transaction: all of them or none.
bool ProgressStore::writePending() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlError error;
    if (!Exec(db, "BEGIN IMMEDIATE", &error)) return failed(error, QStringLiteral("쓸"));
    for (const PracticeSession& pending : m_unsaved) {
        if (!writeSession(pending)) {
            Exec(db, "ROLLBACK");
            return false;
        }
    }
    for (const SendingSession& pending : m_unsavedSending) {
        if (!writeSendingSession(pending)) {
            Exec(db, "ROLLBACK");
            return false;
        }
    }
    if (!Exec(db, "COMMIT", &error)) {
        Exec(db, "ROLLBACK");
        return failed(error, QStringLiteral("쓸"));
    }
    m_unsaved.clear();
    m_unsavedSending.clear();
    m_problem.clear();
    return true;
}

bool ProgressStore::writeSession(const PracticeSession& session) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery insert(db);
    insert.prepare(
        "INSERT INTO sessions (ended_at, course, lesson, item_kind, items, character_wpm, "
        "effective_wpm, sent, errors, score, passed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const QVariant& value :
         {QVariant(Stamp(session.when)), QVariant(CourseKey(session.course)),
          QVariant(session.lesson), QVariant(KindKey(session.kind)), QVariant(session.items),
          QVariant(session.characterWpm), QVariant(session.effectiveWpm),
          QVariant(session.sentSymbols), QVariant(session.errors), QVariant(session.score),
          QVariant(session.passed ? 1 : 0)})
        insert.addBindValue(value);
    if (!insert.exec()) return failed(insert.lastError(), QStringLiteral("쓸"));
    const QVariant id = insert.lastInsertId();
    QSqlQuery counts(db);
    counts.prepare(
        "INSERT INTO symbol_counts (session_id, symbol, sent, correct) "
        "VALUES (?, ?, ?, ?)");
    for (const auto& [symbol, tally] : session.tallies) {
        counts.addBindValue(id);
        counts.addBindValue(Symbol(symbol));
        counts.addBindValue(tally.sent);
        counts.addBindValue(tally.correct);
        if (!counts.exec()) return failed(counts.lastError(), QStringLiteral("쓸"));
    }
    QSqlQuery confusions(db);
    confusions.prepare(
        "INSERT INTO confusions (session_id, sent, copied, count) "
        "VALUES (?, ?, ?, ?)");
    for (const Confusion& confusion : session.confusions) {
        confusions.addBindValue(id);
        confusions.addBindValue(Symbol(confusion.sent));
        confusions.addBindValue(Symbol(confusion.copied));
        confusions.addBindValue(confusion.count);
        if (!confusions.exec()) return failed(confusions.lastError(), QStringLiteral("쓸"));
    }
    return true;
}

std::vector<ScorePoint> ProgressStore::scoreHistory(Course course) const {
    std::vector<ScorePoint> points;
    if (m_open) {
        QSqlQuery query(QSqlDatabase::database(m_connection, false));
        query.prepare(
            "SELECT ended_at, lesson, score FROM sessions WHERE course = ? "
            "ORDER BY ended_at, id");
        query.addBindValue(CourseKey(course));
        if (query.exec()) {
            while (query.next())
                points.push_back(
                    {QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs),
                     query.value(1).toInt(), query.value(2).toDouble()});
        }
    }
    for (const PracticeSession& session : m_unsaved)
        if (session.course == course)
            points.push_back({session.when, session.lesson, session.score});
    return points;
}

std::map<char16_t, SymbolTally> ProgressStore::symbolTotals(Course course) const {
    std::map<char16_t, SymbolTally> totals;
    if (m_open) {
        QSqlQuery query(QSqlDatabase::database(m_connection, false));
        query.prepare(
            "SELECT c.symbol, SUM(c.sent), SUM(c.correct) FROM symbol_counts c "
            "JOIN sessions s ON s.id = c.session_id WHERE s.course = ? "
            "GROUP BY c.symbol");
        query.addBindValue(CourseKey(course));
        if (query.exec()) {
            while (query.next()) {
                const QString symbol = query.value(0).toString();
                if (symbol.size() != 1) continue;
                SymbolTally& tally = totals[symbol[0].unicode()];
                tally.sent += query.value(1).toInt();
                tally.correct += query.value(2).toInt();
            }
        }
    }
    for (const PracticeSession& session : m_unsaved) {
        if (session.course != course) continue;
        for (const auto& [symbol, tally] : session.tallies) {
            totals[symbol].sent += tally.sent;
            totals[symbol].correct += tally.correct;
        }
    }
    return totals;
}

QString ProgressStore::choice(const QString& key, const QString& fallback) const {
    if (auto kept = m_unsavedChoices.find(key); kept != m_unsavedChoices.end()) return kept->second;
    if (!m_open) return fallback;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare("SELECT value FROM choices WHERE key = ?");
    query.addBindValue(key);
    if (query.exec() && query.next()) return query.value(0).toString();
    return fallback;
}

bool ProgressStore::setChoice(const QString& key, const QString& value) {
    m_unsavedChoices[key] = value;
    if (!m_writable) return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare("INSERT OR REPLACE INTO choices (key, value) VALUES (?, ?)");
    query.addBindValue(key);
    query.addBindValue(value);
    if (!query.exec()) return failed(query.lastError(), QStringLiteral("쓸"));
    m_unsavedChoices.erase(key);
    return true;
}

}  // namespace cwt
