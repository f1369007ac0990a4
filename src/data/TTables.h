#pragma once

#include "TableMember.h"

#include <QMetaObject>
#include <QString>

class TDataModuleMain;
class TTable;

// The six file-backed tables of one Action File, opened, created and closed
// as a set, with the identifier counters of the open file.
class TTables {
public:
    explicit TTables(TDataModuleMain &data);

    // Opens (create: makes new and empty) the six tables of the Action File
    // whose header file is fileName. On failure closes everything and throws
    // AppError with the failing table's message; the caller tells the user.
    // Only the members in `members` are opened (a command that reads or
    // changes a few tables need not load the others); the rest stay
    // inactive, their counters -1, and are neither read nor written.
    void Open(const QString &fileName, bool create, TMemberSet members = kAllMembers);
    // Closes all six tables; changed tables are written first. A failed
    // write is thrown after the other tables were written, and leaves the
    // set open with that table's changes pending.
    void Close();
    void Reset();
    // Writes all six tables to their files, in order (the save commands).
    void SaveToFiles();

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

    // The six tables in the order in which they are opened and closed.
    TTable *Table(TableMember member) const;
    // Member file of the table `member` for the header file fileName.
    static QString TableFileName(const QString &fileName, TableMember member);
    static QString OpenErrorMessage(TableMember member);

private:
    void OpenTable(TableMember member, bool create);
    void CloseTables();
    int *Counter(TableMember member);

    TDataModuleMain &data_;
    bool isOpen_ = false;
    bool refreshListOnClose_ = false;
    bool openInOrder_ = true;
    QString fileName_;
    int lastActionId_ = -1;
    int lastLogId_ = -1;
    int lastDecisionId_ = -1;
    int lastStatementId_ = -1;
    QMetaObject::Connection actionsChange_;
};
