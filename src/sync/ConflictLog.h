#pragma once

#include "LocalActions.h"

#include <QList>
#include <QVariant>
#include <utility>

// The log entries that tell the user of a synchronisation conflict: the
// program's side stayed, and the entry keeps the server's side.

// Both sides changed these fields: the server's values, by field name.
TSyncLogEntry FieldConflictEntry(const QList<std::pair<QString, QVariant>> &serverValues);
// The server deleted the todo of an action changed here: the action stays.
TSyncLogEntry DeletedOnServerEntry();
// The server changed the todo of an action deleted here: it is back.
TSyncLogEntry ChangedOnServerEntry();
