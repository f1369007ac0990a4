#pragma once

#include <QDate>

class TDataModuleMain;

// What the action list's commands do to the tables, apart from any window.

// Closes and reopens the open Action File: closing writes every changed
// table (unless readOnly), reopening applies the current filter anew. The
// actions keep their order and the same action (found by its ID) stays
// current, else the first. Returns false when nothing was open or the reopen
// failed (the failing table's message was shown and the set stays closed).
// A failed write is thrown with the set left open as it was, so the
// unwritten changes stay in memory.
bool ReloadActionFile(TDataModuleMain &data, bool readOnly);

// Deletes the current action with exactly the log entries, decisions and
// statements whose ID_ACTION is its ID, whatever the child tables' filters
// were; those filters are restored before the action goes. All of them are
// removed from the files in one commit.
void DeleteCurrentAction(TDataModuleMain &data);

// Resolves the current action on today (status "Resolved", status and
// finished date today) and marks its newest log entry resolved too, both in
// one commit. A failed store cancels that table's pending edit before the
// error goes on.
void ResolveCurrentAction(TDataModuleMain &data, const QDate &today);

// Writes what of the open Action File is not on disk yet (every change is
// written when it is made; a change whose write failed is written now), and
// a Dravelin File it was unpacked from.
void SaveActionTables(TDataModuleMain &data);

// Takes back the newest step of the open Action File's history (undo), or
// does the newest undone step again, and makes the action the step touched
// current where the list shows it; the list keeps its order and filter.
// What the table set throws goes on (see TTables::Undo).
void StepHistory(TDataModuleMain &data, bool undo);
