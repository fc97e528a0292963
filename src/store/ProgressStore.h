#pragma once
// The copy-practice history and the practice window's own choices, kept in an SQLite
// database (practice.sqlite in $XDG_DATA_HOME/cw-tamarik, created on first use).
//
// Whatever goes wrong with the file, practice goes on: a locked, unwritable or newer file is
// reported in words and the sessions of this run are kept in memory instead, so the window can
// still show them. A damaged file is moved aside under a new name, never deleted, and a new
// one is started. GUI thread only.

#include <QDateTime>
#include <QString>
#include <map>
#include <vector>

#include "engine/practice/CopyScore.h"
#include "engine/practice/KochCourse.h"
#include "engine/practice/PracticeItems.h"

class QSqlError;

namespace cwt {

// One practice session as it is kept.
struct PracticeSession {
    QDateTime when;  // when it ended
    Course course = Course::English;
    int lesson = 1;
    ItemKind kind = ItemKind::Groups;
    int items = 0;
    double characterWpm = 0;
    double effectiveWpm = 0;
    int sentSymbols = 0;
    int errors = 0;
    double score = 0;  // 0 .. 1
    bool passed = false;
    std::map<char16_t, SymbolTally> tallies;
    std::vector<Confusion> confusions;
};
PracticeSession SessionOf(const SessionScore& score);

// A point of the score plot.
struct ScorePoint {
    QDateTime when;
    int lesson = 1;
    double score = 0;
};

class ProgressStore {
public:
    // Opens `path`, creating it and its folder when needed. Waits up to `busyTimeoutMs` for
    // another program that holds the file.
    explicit ProgressStore(const QString& path = DefaultPath(), int busyTimeoutMs = 1500);
    ~ProgressStore();
    ProgressStore(const ProgressStore&) = delete;
    ProgressStore& operator=(const ProgressStore&) = delete;

    // $XDG_DATA_HOME/cw-tamarik/practice.sqlite (~/.local/share/cw-tamarik when unset).
    static QString DefaultPath();

    QString path() const { return m_path; }
    // The history can be read from the file (it may still refuse a write).
    bool isOpen() const { return m_open; }
    // What went wrong last, in words for the operator; empty while all is well.
    QString problem() const { return m_problem; }
    // Where a damaged file was moved; empty when none was.
    QString setAsidePath() const { return m_setAside; }

    // Keeps a session; false when it could only be kept in memory (problem() says why).
    bool saveSession(const PracticeSession& session);
    // Sessions of a course, oldest first, those of this run that could not be saved included.
    std::vector<ScorePoint> scoreHistory(Course course) const;
    // Characters sent and copied right over every session of a course.
    std::map<char16_t, SymbolTally> symbolTotals(Course course) const;

    // The window's own choices; `fallback` for one never kept.
    QString choice(const QString& key, const QString& fallback) const;
    bool setChoice(const QString& key, const QString& value);

private:
    bool open();
    bool openFile();
    enum class FileCheck { Fine, Damaged, Unreadable };
    FileCheck checkFile();
    void close();
    bool prepareSchema();
    bool setAsideDamagedFile();
    bool writePending();
    bool writeSession(const PracticeSession& session);
    bool failed(const QSqlError& error, const QString& doing);

    QString m_path;
    QString m_connection;
    int m_busyTimeoutMs;
    bool m_open = false;
    bool m_writable = false;
    bool m_damageFound = false;  // the last failure was a damaged file
    QString m_problem;
    QString m_setAside;
    std::vector<PracticeSession> m_unsaved;
    std::map<QString, QString> m_unsavedChoices;
};

}  // namespace cwt
