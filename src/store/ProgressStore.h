#pragma once
// The practice history (copy practice and sending practice) and the practice windows' own
// choices, kept in an SQLite database (practice.sqlite in $XDG_DATA_HOME/cw-tamarik, created on
// first use). A file of an earlier version is brought up to this one in place, in one
// transaction: its history stays as it was, and a failed upgrade leaves the file untouched.
//
// Whatever goes wrong with the file, practice goes on: a locked, unwritable or newer file is
// reported in words and the sessions of this run are kept in memory instead, so the window can
// still show them. A damaged file is moved aside under a new name, never deleted, and a new
// one is started. GUI thread only.

#include <QDateTime>
#include <QString>
#include <map>
#include <optional>
#include <vector>

#include "engine/keyer/KeyerSettings.h"
#include "engine/practice/CopyScore.h"
#include "engine/practice/KochCourse.h"
#include "engine/practice/PracticeItems.h"
#include "engine/sending/SendingTexts.h"

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

// A figure of the operator's keying (a ratio, a gap in units …), by name: its mean and spread.
struct SendingFigure {
    QString name;
    double mean = 0;
    double spread = 0;
};

// One stretch of sending practice as it is kept.
struct SendingSession {
    QDateTime when;  // when it ended
    Course course = Course::English;
    int lesson = 1;
    SendingTextKind kind = SendingTextKind::LessonGroups;
    keyer::KeyerMode mode = keyer::KeyerMode::IambicB;
    int keyerWpm = 15;        // as set
    double measuredWpm = 0;   // as keyed
    QString target;           // empty for free keying
    QString keyed;            // as decoded
    int targetSymbols = 0;    // of the text asked
    int comparedSymbols = 0;  // of those, keyed (or missed) before the stretch ended
    int keyedSymbols = 0;
    int errors = 0;
    std::optional<double> accuracy;   // 0 .. 1 of the symbols compared; none for free keying
    std::optional<double> fistScore;  // 0 .. 100; none when too little was keyed to judge
    std::vector<SendingFigure> figures;
};

// A point of the sending practice's progress plot.
struct SendingPoint {
    QDateTime when;
    std::optional<double> accuracy;
    std::optional<double> fistScore;
    double measuredWpm = 0;
};

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

    // Keeps a stretch of sending practice; false when it could only be kept in memory.
    bool saveSendingSession(const SendingSession& session);
    // Sending sessions of a course, oldest first, those of this run that could not be saved
    // included.
    std::vector<SendingPoint> sendingHistory(Course course) const;

    // The windows' own choices; `fallback` for one never kept.
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
    bool savePending();
    bool writePending();
    bool writeSession(const PracticeSession& session);
    bool writeSendingSession(const SendingSession& session);
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
    std::vector<SendingSession> m_unsavedSending;
    std::map<QString, QString> m_unsavedChoices;
};

}  // namespace cwt
