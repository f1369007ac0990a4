#pragma once

#include "TableMember.h"

#include <QString>
#include <memory>

class QVariant;
class TDataModuleMain;
class TTable;
class TFileLock;
class TLockWriteGuard;

// Opening and closing an Action File in a data module's table set, the same
// for the program's windows and for dravelin-cli. Nothing here asks or tells
// the user: failures are thrown as AppError, and what the user decides (to
// open a file another program holds read-only) comes in as a parameter.

// Throws AppError ("The file "<name>" cannot be opened") unless fileName is
// an existing file: a folder named like an Action File is none.
void RefuseNonFile(const QString &fileName);

// Throws TNameTakenError when the folder of fileName holds an entry of that
// name in any case: names differing only in case are one Action File to this
// program (they would share the auxiliary folder).
void RefuseTakenName(const QString &fileName);

// The Action File open in the data module's table set while this lives.
// Opening closes a set that is open, removes the table writer's hidden
// leftovers beside the file (only while this program holds its lock: another
// program may be writing through one right now), installs the lock's write
// guard (TLockWriteGuard) and opens the tables; a set that does not open is
// thrown as TTablesOpenError and left closed.
//
// A read-only file writes nothing: not its tables, not a member that went
// missing, not even when it is closed.
class TOpenActionFile {
public:
    struct Options {
        // Another program holds the lock, no lock can be made, or the user
        // chose to look only.
        bool readOnly = false;
        // Makes the six files new and empty (written at once outside a
        // change scope, at its commit inside one).
        bool create = false;
        // The tables to open; the others stay closed and are neither read
        // nor written.
        TMemberSet members = kAllMembers;
        // Each table in the order the windows show it; a command that orders
        // the records itself, or needs no order, spares the sort.
        bool inOrder = true;
        // The Dravelin File the Action File was unpacked from: pages name it
        // while the file is open (TDataModuleMain::ContainerFileName).
        QString container;
    };

    // lock: the Action File's, held by the caller for as long as this lives
    // unless the file is read-only.
    TOpenActionFile(TDataModuleMain &data, TFileLock &lock, const QString &actFile, const Options &options);
    // Puts back the write guard that was there before. The set is closed
    // before (CloseActionFile, or AbandonActionFile after a failure); one
    // left open keeps its changes in memory but can no longer write them.
    ~TOpenActionFile();
    TOpenActionFile(const TOpenActionFile &) = delete;
    TOpenActionFile &operator=(const TOpenActionFile &) = delete;

    TDataModuleMain &Data() const { return data_; }
    const QString &FileName() const { return actFile_; }
    bool ReadOnly() const { return readOnly_; }

private:
    TDataModuleMain &data_;
    QString actFile_;
    bool readOnly_;
    std::unique_ptr<TLockWriteGuard> guard_;
};

// Closes the open set as the action list does when it closes: changed tables
// are written unless readOnly, then the set is reset. Returns whether the
// Workspace's list of Action Files changed while it was open (the table
// set's RefreshListOnClose as it was). A failed write is thrown and leaves
// the set open with its changes, for another try.
bool CloseActionFile(TDataModuleMain &data, bool readOnly);

// Closes the open set without writing anything and resets it: what a command
// that failed changed is dropped.
void AbandonActionFile(TDataModuleMain &data) noexcept;

// Closes and reopens the Action File open in data, writing every changed
// table first (unless readOnly); the actions keep their index and the same
// action (found by its ID) stays current, else the first. A failed write is
// thrown with the set left open as it was; a set that does not open again is
// thrown as TTablesOpenError, the set then closed.
void ReopenActionFile(TDataModuleMain &data, bool readOnly);

// Makes the action with the ID id the current row of actions; false when it
// is not among the rows shown.
bool GotoAction(TTable *actions, const QVariant &id);
