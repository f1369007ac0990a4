#pragma once

#include <QDate>

class TDataModuleMain;

// What the action list's commands do to the tables, apart from any window.

// Closes and reopens the open Action File: closing writes every changed
// table, reopening applies the current filter anew. The actions keep their
// order and the same action (found by its ID) stays current, else the
// first. Returns false when nothing was open or the reopen failed (the table
// set has shown its message and stays closed). A failed write is thrown
// after the file has been reopened, so the unwritten changes stay in memory.
bool ReloadActionFile(TDataModuleMain &data);

// Deletes the current action with exactly the log entries, decisions and
// statements whose ID_ACTION is its ID, whatever the child tables' filters
// were; those filters are restored before the action goes.
void DeleteCurrentAction(TDataModuleMain &data);

// Resolves the current action on today (status "Resolved", status and
// finished date today) and marks its newest log entry resolved too. A failed
// store cancels that table's pending edit before the error goes on.
void ResolveCurrentAction(TDataModuleMain &data, const QDate &today);

// Writes the six tables of the open Action File, each into its own file.
void SaveActionTables(TDataModuleMain &data);
