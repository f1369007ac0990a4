#pragma once

#include "RecordMerge.h"

#include <QList>
#include <QString>

// The actions of one Action File as the synchroniser sees them. The
// synchroniser reads them, plans, and hands back every change of one
// synchronisation in one batch; the file's side applies the batch with the
// program's own rules, all of it or nothing.

// A log entry the synchroniser adds to an action: a synchronisation
// conflict, with the server's side of it.
struct TSyncLogEntry {
    QString statusLine; // at most 128 characters
    QString description;
};

struct TActionChange {
    enum Type { Insert, Update, Delete };
    Type type = Update;
    // Update, Delete: the action's ID.
    int id = 0;
    // Insert: the values of a todo made elsewhere. The action is made as the
    // program makes a new one (its number from the file's counter, the
    // defaults of a new action); then every field here that holds a value
    // is set, so a field the todo leaves empty keeps its default.
    // Update: the fields to set, each to its value (null clears it).
    TRecordValues fields;
    // The todo was completed elsewhere: the action is resolved as the
    // action editor resolves one (status "Resolved", status and finished
    // date today, the "Action Resolved" log entry when the settings ask for
    // it), and then the fields are set, so the finished date and whatever
    // else the todo says win over the rules. An action that is resolved
    // already is not resolved again.
    bool resolve = false;
    // Added to the action's log; an entry the action already has, with the
    // same status line and description, is not added again, so a batch
    // applied twice adds it once.
    QList<TSyncLogEntry> log;
};

class TLocalActions {
public:
    virtual ~TLocalActions() = default;

    // Every action, each with its ID and the fields of TodoActionFields().
    virtual QList<TRecordValues> ReadActions() = 0;

    // Applies the changes, in their order, all of them or none: on failure
    // throws AppError with the reason and leaves the file as it was. A
    // Delete takes the action's log entries, decisions and statements with
    // it; deleting an action that is gone does nothing. Returns the IDs
    // given to the inserted actions, in the order of the inserts.
    virtual QList<int> ApplyChanges(const QList<TActionChange> &changes) = 0;
};
