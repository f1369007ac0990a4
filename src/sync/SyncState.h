#pragma once

#include "RecordMerge.h"

#include <QJsonValue>
#include <QList>
#include <QString>

// What an Action File's synchronisation with one task list knew when it
// last completed: the list, the server's markers of its state, and per
// synchronised action the todo it is and the action's fields as they were
// then, the base of the next three-way merge.

struct TSyncedAction {
    QString uid;  // the todo's UID; never changes
    QString href; // the todo's address on the server
    QString etag; // the todo's version there; empty while none is known
    TRecordValues base;
    // What a write whose answer never came sent: if the server has it, the
    // write went through. Empty when no write is open.
    TRecordValues sent;
};

struct TSyncState {
    QString collectionUrl; // the task list
    QString user;
    QString syncToken; // empty where the server offers none
    QString ctag;
    QList<TSyncedAction> actions;
};

// Writes the state so that the file holds the old state or the new whole.
// Throws AppError naming the file and the cause.
void SaveSyncState(const QString &fileName, const TSyncState &state);

// Reads a state SaveSyncState wrote; no file is a state of nothing
// synchronised yet. Anything else is refused: throws AppError naming the
// file and what is wrong.
TSyncState LoadSyncState(const QString &fileName);

// A field's stored value in the JSON of a state: texts and numbers as
// such, dates and times as objects that say which they are, null as null.
QJsonValue StoredValueToJson(const QVariant &value);

// A new todo's UID: random, and not derived from anything of the file.
QString NewTodoUid();
