#pragma once

#include <QDate>

class TDataModuleMain;
class TTable;

// The rules for storing a new or resolved action, shared by the action editor
// and the command-line program so both give the same identifiers and log
// entries.

// Gives the new action being inserted in cdsActions its identifier from
// NextId and makes it the head of its own follow-up chain.
void AssignNewActionId(TDataModuleMain &data);

// Sets the current action (in edit or insert state) resolved on today: status
// date and finished date today, status "Resolved".
void MarkActionResolved(TTable &actions, const QDate &today);

// Appends the "Action Resolved" log entry of the current action of
// cdsActions (its record or its edit buffer): the log's new-record defaults,
// an identifier from NextId, and the action's sign-off as description when
// it is not blank. The entry is posted also when filling it failed, unless it
// got no identifier; the error then goes on.
void AddResolvedLogEntry(TDataModuleMain &data);
