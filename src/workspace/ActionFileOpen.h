#pragma once

#include <QString>

class TTables;

// Opening and creating Action Files, which hands the open table set over to
// the action list window. Every function returns true when the Workspace's
// list of Action Files changed while the file was open (the table set's
// RefreshListOnClose was set when the window closed), so the caller
// refreshes its list.

// What shows an opened Action File; the window above this layer implements
// it and passes itself to the commands that open one.
class TActionListView {
public:
    virtual ~TActionListView() = default;
    // Shows the action list window modally for the open table set and closes
    // the set when the window closes, as that window does; returns whether
    // the Workspace's list changed.
    virtual bool ShowActionList(bool fromContainer) = 0;
};

// What the action list window does when it closes: closes the table set
// (writing changed tables) and resets it. Returns RefreshListOnClose as it
// was before the reset.
bool CloseActionFile();

// Opens the table set of actFile (create: new and empty files). A set that
// does not open is reported with the failing table's message; returns
// whether it opened.
bool OpenTables(TTables &tables, const QString &actFile, bool create);

// Whether the Action File open now is read-only: another program holds it,
// its folder takes no lock, or it came from a Dravelin File opened
// read-only. Nothing that changes data may run then, and no file is written.
bool ActionFileReadOnly();
// Closes the table set; changed tables are written unless the file is
// read-only.
void CloseTables(TTables &tables);

// Creates the Action File actFile, creates its auxiliary folder and shows it
// in view. Refused with a message when actFile exists, in any case.
bool NewActionFile(TActionListView &view, const QString &actFile);
// Opens the existing Action File actFile and shows it in view, holding its lock
// meanwhile; once its tables have loaded it is backed up when
// General.MakeBackup is set. The table writer's hidden leftovers beside it are
// removed first. Refused with a message when actFile is not an existing file.
// When another program holds the lock the user chooses between read-only and
// cancel; where no lock can be made it opens read-only. fromContainer: actFile
// was unpacked from a Dravelin File. readOnly: open it read-only in any case.
bool OpenActionFile(TActionListView &view, const QString &actFile, bool fromContainer, bool readOnly = false);

// The main window's New and Open commands: ask for a file in workspace, then
// NewActionFile / OpenActionFile.
bool NewActionFileCommand(TActionListView &view, const QString &workspace);
bool OpenActionFileCommand(TActionListView &view, const QString &workspace);
