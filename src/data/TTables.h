#pragma once

#include "AppError.h"
#include "ChangeHistory.h"
#include "TableMember.h"

#include <QMetaObject>
#include <QString>
#include <optional>
#include <vector>

class TDataModuleMain;
class TTable;

// Why the table set did not open: the table that failed (its member), its
// file and the cause without the file ("it was written by a newer version
// ..."). message() is the table's own message, then what failed, naming the
// file, on its own line.
class TTablesOpenError : public AppError {
public:
    // failure: what failed, naming the file ("Cannot read "<file>": it ...").
    TTablesOpenError(TableMember member, const QString &fileName, const QString &failure,
                     const QString &cause, bool busy);
    TableMember Member() const { return member_; }
    // The table's message: "The Log File cannot be opened!", or that it is
    // busy when another program kept its file in use.
    const QString &TableMessage() const { return tableMessage_; }
    bool Busy() const { return busy_; }

private:
    TableMember member_;
    QString tableMessage_;
    bool busy_;
};

// Changes of the table set that could not be written: they stay in memory,
// pending, and are written with the next commit. message() is the reason,
// naming the file.
class TNotSavedError : public AppError {
public:
    using AppError::AppError;
};

// Asked before the table set writes anything, by whoever opened it: throws
// AppError when the files may not be written now (their lock was lost, they
// were opened read-only). Saved() follows a save command once everything is
// on disk, for a copy kept elsewhere (a Dravelin File) to follow at once; it
// throws AppError when that copy cannot be written.
class TWriteGuard {
public:
    virtual ~TWriteGuard() = default;
    virtual void CheckWrite() = 0;
    virtual void Saved() {}
};

// The six file-backed tables of one Action File, opened, created and closed
// as a set, with the identifier counters of the open file.
//
// Every posted change, insert and delete reaches the files before the command
// that made it returns: a change outside any change scope (TChangeScope) is
// committed at once, and the changes made while scopes are open are committed
// together when the outermost one commits. A commit writes every changed
// member file in one transaction, so a command that changes several tables
// lands whole or not at all; a new Action File appears with its six files
// together. A commit that fails throws TNotSavedError and leaves its changes
// pending in memory: they are written with the next commit (the next change,
// SaveToFiles or Close).
class TTables {
public:
    explicit TTables(TDataModuleMain &data);

    // Opens (create: makes new and empty) the six tables of the Action File
    // whose header file is fileName. On failure closes everything and throws
    // TTablesOpenError with the failing table's message and the cause; the
    // caller tells the user. A set created outside a change scope is written
    // at once (its files appear together); inside one, when it commits.
    // Only the members in `members` are opened (a command that reads or
    // changes a few tables need not load the others); the rest stay
    // inactive, their counters -1, and are neither read nor written.
    void Open(const QString &fileName, bool create, TMemberSet members = kAllMembers);
    // Closes all six tables; changed tables are written first. A failed
    // write is thrown, and leaves the set open with the changes pending.
    void Close();
    void Reset();
    // Writes what is not on disk yet: the pending changes, and a member whose
    // file went missing written whole (the save commands); then tells the
    // write guard (Saved).
    void SaveToFiles();

    // Writes every change not yet on disk now (see above); nothing when
    // there is none. Throws TNotSavedError when they could not be written.
    void Commit();
    // Changes in memory that a failed commit left unwritten.
    bool HasUnsavedChanges() const;
    // Whether a change scope is open: a command is under way.
    bool ChangeOpen() const { return changeDepth_ > 0; }
    // Consulted before every write while set; the opener sets it and puts
    // back the one before when done.
    void SetWriteGuard(TWriteGuard *guard) { guard_ = guard; }
    TWriteGuard *WriteGuard() const { return guard_; }

    // Whether Open puts each table in the order the windows show it (on by
    // default, and again after Reset). A command that orders the records
    // itself, or needs no order, turns it off and the tables stay in file
    // order, sparing the sort of every record.
    void SetOpenInOrder(bool on) { openInOrder_ = on; }

    bool IsOpen() const { return isOpen_; }
    const QString &FileName() const { return fileName_; }
    bool RefreshListOnClose() const { return refreshListOnClose_; }
    void SetRefreshListOnClose(bool on) { refreshListOnClose_ = on; }

    // Counters: -1 while closed, else the highest identifier handed out.
    int NextId(int kind);
    int LastActionId() const { return lastActionId_; }
    int LastLogId() const { return lastLogId_; }
    int LastDecisionId() const { return lastDecisionId_; }
    int LastStatementId() const { return lastStatementId_; }
    // Sets the counter of a member that was not opened, for a command that
    // adds to that member's file without loading it: lastId is the highest
    // identifier in the file. Closing the set clears it again.
    void SeedCounter(TableMember member, int lastId);

    // The steps of the open Action File that can be undone and redone:
    // every commit of changes records one, under the caption of its
    // outermost change scope (or one derived from what it changed). It
    // lasts while the same Action File stays open, across closing and
    // opening it again (a reload), and is cleared by Reset and by opening
    // another file. Changes read from the files are never steps.
    TChangeHistory &History() { return history_; }
    const TChangeHistory &History() const { return history_; }
    // Takes back the newest step, or does the newest undone step again, as
    // one change written like any other, and returns it (see ApplyStep for
    // what is thrown; the history stays as it was then). A change still
    // pending is committed first, as a step of its own.
    TChangeStep Undo();
    TChangeStep Redo();

    // The six tables in the order in which they are opened and closed.
    TTable *Table(TableMember member) const;
    // Member file of the table `member` for the header file fileName.
    static QString TableFileName(const QString &fileName, TableMember member);
    static QString OpenErrorMessage(TableMember member);
    // The table's message when another program kept its file in use.
    static QString BusyMessage(TableMember member);

private:
    friend class TChangeScope;

    void OpenTable(TableMember member, bool create);
    void CloseTables();
    int *Counter(TableMember member);
    void TableChanged();
    void Publish();
    void WriteChanges(const std::vector<TTable *> &tables);
    TChangeStep Step(bool undo);

    TDataModuleMain &data_;
    TWriteGuard *guard_ = nullptr;
    int changeDepth_ = 0;
    bool opening_ = false;
    bool onDisk_ = true; // false while a new set exists in memory only
    bool isOpen_ = false;
    bool refreshListOnClose_ = false;
    bool openInOrder_ = true;
    QString fileName_;
    TChangeHistory history_;
    QString historyFile_; // the file the history belongs to
    QString stepCaption_; // of the outermost open change scope
    std::optional<TableMember> stepLead_;
    bool applyingStep_ = false;
    // An undo or redo whose write failed: its changes are pending and go
    // with the next commit, which must not count them as its own.
    std::vector<TChangedRow> appliedUnwritten_;
    int lastActionId_ = -1;
    int lastLogId_ = -1;
    int lastDecisionId_ = -1;
    int lastStatementId_ = -1;
    QMetaObject::Connection actionsChange_;
};

// One user command's changes to the table set: the posts, inserts and deletes
// made while it is open are committed together by Commit(), when it is the
// outermost open scope (an inner scope's Commit leaves that to the outer
// one). A scope that ends without Commit() (the command failed) writes
// nothing now; what it posted stays pending for the next commit, as a failed
// commit's changes do.
class TChangeScope {
public:
    // caption: what the command is called in the history of changes (see
    // TTables::History); the outermost scope's caption counts.
    explicit TChangeScope(TTables &tables, const QString &caption = QString());
    // The step is named after its row of lead ("New Log Entry "Called"")
    // even where it changed an action too.
    TChangeScope(TTables &tables, TableMember lead);
    ~TChangeScope();
    TChangeScope(const TChangeScope &) = delete;
    TChangeScope &operator=(const TChangeScope &) = delete;

    void Commit();

private:
    TTables &tables_;
    bool ended_ = false;
};
