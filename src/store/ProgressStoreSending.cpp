// The sending practice's side of the practice history: its sessions with their figures.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "store/ProgressStore.h"
#include "store/StoreSql.h"

namespace cwt {

namespace {

QString TextKindKey(SendingTextKind kind) {
    switch (kind) {
        case SendingTextKind::LessonGroups:
            return "groups";
        case SendingTextKind::Words:
            return "words";
        case SendingTextKind::CallSigns:
            return "calls";
        case SendingTextKind::QsoLine:
            return "qso";
        case SendingTextKind::Free:
            break;
    }
    return "free";
}

QString ModeKey(keyer::KeyerMode mode) {
    switch (mode) {
        case keyer::KeyerMode::Straight:
            return "straight";
        case keyer::KeyerMode::IambicA:
            return "iambic-a";
        case keyer::KeyerMode::IambicB:
            return "iambic-b";
        case keyer::KeyerMode::Ultimatic:
            return "ultimatic";
        case keyer::KeyerMode::Bug:
            break;
    }
    return "bug";
}

QVariant Optional(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

// Text that is never NULL in the file, even when it is empty.
QVariant Text(const QString& text) { return QVariant(text.isNull() ? QStringLiteral("") : text); }

std::optional<double> OptionalOf(const QVariant& value) {
    if (value.isNull()) return std::nullopt;
    return value.toDouble();
}

}  // namespace

bool ProgressStore::writeSendingSession(const SendingSession& session) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery insert(db);
    insert.prepare(
        "INSERT INTO sending_sessions (ended_at, course, lesson, text_kind, keyer_mode, "
        "keyer_wpm, measured_wpm, target, keyed, target_symbols, compared_symbols, "
        "keyed_symbols, errors, accuracy, fist_score) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const QVariant& value :
         {QVariant(storesql::Stamp(session.when)), QVariant(storesql::CourseKey(session.course)),
          QVariant(session.lesson), QVariant(TextKindKey(session.kind)),
          QVariant(ModeKey(session.mode)), QVariant(session.keyerWpm),
          QVariant(session.measuredWpm), Text(session.target), Text(session.keyed),
          QVariant(session.targetSymbols), QVariant(session.comparedSymbols),
          QVariant(session.keyedSymbols), QVariant(session.errors), Optional(session.accuracy),
          Optional(session.fistScore)})
        insert.addBindValue(value);
    if (!insert.exec()) return failed(insert.lastError(), QStringLiteral("쓸"));
    const QVariant id = insert.lastInsertId();
    QSqlQuery figures(db);
    figures.prepare(
        "INSERT OR REPLACE INTO sending_figures (session_id, name, mean, spread) "
        "VALUES (?, ?, ?, ?)");
    for (const SendingFigure& figure : session.figures) {
        figures.addBindValue(id);
        figures.addBindValue(figure.name);
        figures.addBindValue(figure.mean);
        figures.addBindValue(figure.spread);
        if (!figures.exec()) return failed(figures.lastError(), QStringLiteral("쓸"));
    }
    return true;
}

std::vector<SendingPoint> ProgressStore::sendingHistory(Course course) const {
    std::vector<SendingPoint> points;
    if (m_open) {
        QSqlQuery query(QSqlDatabase::database(m_connection, false));
        query.prepare(
            "SELECT ended_at, accuracy, fist_score, measured_wpm FROM sending_sessions "
            "WHERE course = ? ORDER BY ended_at, id");
        query.addBindValue(storesql::CourseKey(course));
        // A file the upgrade could not reach (read-only, newer) may lack the table: no history.
        if (query.exec()) {
            while (query.next())
                points.push_back(
                    {QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs),
                     OptionalOf(query.value(1)), OptionalOf(query.value(2)),
                     query.value(3).toDouble()});
        }
    }
    for (const SendingSession& session : m_unsavedSending)
        if (session.course == course)
            points.push_back(
                {session.when, session.accuracy, session.fistScore, session.measuredWpm});
    return points;
}

}  // namespace cwt
