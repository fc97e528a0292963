#pragma once
// What the store's files share in how they write the practice history: the time stamps, the
// course keys, one statement run on its own.

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include "engine/practice/KochCourse.h"

namespace cwt::storesql {

inline QString CourseKey(Course course) { return course == Course::Korean ? "ko" : "en"; }

// ISO 8601 in UTC, with milliseconds: sorts as text in time order.
inline QString Stamp(const QDateTime& when) { return when.toUTC().toString(Qt::ISODateWithMs); }

// Runs one statement; false with the error in `error`.
inline bool Exec(QSqlDatabase& db, const QString& sql, QSqlError* error = nullptr) {
    QSqlQuery query(db);
    if (query.exec(sql)) return true;
    if (error) *error = query.lastError();
    return false;
}

}  // namespace cwt::storesql
