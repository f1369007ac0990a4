#pragma once

#include "RecordMerge.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

// An action as an iCalendar VTODO and back. The fields other programs know
// travel in the standard properties (synopsis as SUMMARY, description,
// date action as DTSTART, due date as DUE, finished date as COMPLETED with
// STATUS, severity as PRIORITY, functional area as CATEGORIES); every other
// field, and an exact copy of a standard one where the standard form would
// lose something (control characters, a due date before the start), travels
// in X-DRAVELIN- properties. A standard property changed elsewhere wins over
// the copy.

// The most bytes a todo may have, either way.
inline constexpr qsizetype kMaxTodoBytes = 16 << 20;

// The action's fields in their stored form, under the action table's names.
QStringList TodoActionFields();

struct TTodoReading {
    bool ok = false;
    QString error; // why the todo was refused
    QString uid;
    // The fields the todo gives, in stored form. A todo made elsewhere gives
    // the standard ones only (an absent property gives null); the caller
    // fills the rest as for a new action.
    TRecordValues fields;
    QStringList notes;    // values cut or dropped, each with its reason
    bool foreign = false; // no property of this program: made elsewhere
};

// Reads the one task of an iCalendar object. Refuses what is too large, is
// no calendar, holds no task or several, or has no UID; clamps what does
// not fit a field. A task completed elsewhere without a completion time is
// taken as finished on today.
TTodoReading TodoToAction(const QByteArray &ical, const QDate &today = QDate::currentDate());

struct TTodoWriting {
    bool ok = false;
    QString error;
    QByteArray ical;
};

// The action as a VCALENDAR with one VTODO of that UID. Given the todo as the
// server has it, properties of other programs stay and a standard property
// whose value is unchanged stays as that program wrote it (a start time, a
// time zone, several categories).
TTodoWriting ActionToTodo(const TRecordValues &action, const QString &uid, const QByteArray &existing = {});
