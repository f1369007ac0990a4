#pragma once

#include <QString>

class TDataModuleMain;

// The main window's file commands on Action Files: each asks and tells the
// user, the work itself is the workspace's. No Action File is open while the
// main window takes commands. Each returns true when the Workspace's list of
// Action Files may have changed, so the caller refreshes its list. selected
// is the full path of the selected list entry, empty when the list is empty;
// workspace is the Workspace folder (Settings().Folders.Actions).

// Deletes the six files after asking, with their journals and the table
// writer's hidden leftovers, then the auxiliary folder if it is empty, and
// forgets the data module's auxiliary folder. The backup folder stays.
// Returns false when the answer was No.
bool DeleteActionFileCommand(TDataModuleMain &data, const QString &selected);

// Asks for a new file name in the same folder and renames the six files.
// Refused with a message when any of the six new names exists in any case;
// a failure half-way gives the renamed files their old names back.
bool RenameActionFileCommand(const QString &selected);

// Asks for a folder and moves the six files there; same refusals and undo as
// renaming. Moving into the Workspace itself does nothing.
bool MoveActionFileCommand(const QString &workspace, const QString &selected);

// Asks for a folder and makes it the Workspace (Settings().Folders.Actions,
// in memory). True when the Workspace changed.
bool ChangeWorkspaceCommand(const QString &workspace);

// Asks for another Action File and, after a question, replaces the contacts
// file of selected by a copy of its contacts file. The list never changes.
void ImportActorCommand(const QString &workspace, const QString &selected);
