#pragma once

#include "ActionFileLock.h"
#include "AppError.h"
#include "TTables.h"
#include "TableMember.h"

#include <QString>
#include <QVariant>
#include <map>
#include <memory>

class TCDSParser;
class TDataModuleMain;
class TRecordPatch;

// One Action File (".act") or Dravelin File (".dravelin") opened by a
// command into the data module's table set. A Dravelin File is unpacked to
// temporary files first. Nothing is written unless the command commits: the
// tables are then written through the table set's atomic writes and a
// Dravelin File is packed back. A session that changes the file holds its
// lock, as the program does, and is refused while another program holds it.
// Failures throw AppError with one line naming the file and the problem.
class TActionFileSession {
public:
    enum Access { Read, Change };

    // Only the tables in `members` are read, and only those can be changed;
    // the others stay closed and their files as they are.
    // inOrder: the tables are put in the order the windows show them; a
    // command that orders them itself, or needs no order, spares that.
    TActionFileSession(TDataModuleMain &data, const QString &fileName, Access access,
                       TMemberSet members = kAllMembers, bool inOrder = true);
    // Closes the tables without writing when the session was not committed.
    ~TActionFileSession();
    TActionFileSession(const TActionFileSession &) = delete;
    TActionFileSession &operator=(const TActionFileSession &) = delete;

    // Opens the table of a member the session did not open empty, to take
    // only the records ReadRecords reads and those added, without loading
    // its file; Commit writes just those (see TRecordPatch). withCounter:
    // the member's identifier counter is taken from its file, for adding.
    // A file that cannot be read fails as a table that does not open.
    void OpenNarrow(TableMember member, bool withCounter);
    // Reads into the member's narrow table the records whose field holds
    // value; returns how many.
    int ReadRecords(TableMember member, const QString &field, const QVariant &value);

    // Writes every change of the command, in one transaction, and packs a
    // Dravelin File back. Without it nothing the command changed is written.
    void Commit();

    // Whether fileName names a Dravelin File by its extension.
    static bool IsDravelinFile(const QString &fileName);
    // Takes the lock of fileName for changing it, or throws why it cannot.
    static std::unique_ptr<TFileLock> LockForChange(const QString &fileName);
    // Unpacks the Dravelin File fileName with parser and returns the unpacked
    // Action File, or throws why not.
    static QString Unpack(TCDSParser &parser, const QString &fileName);
    // Packs the six files of actFile into container, or throws.
    static void Pack(const QString &actFile, const QString &container);

private:
    void Close() noexcept;
    [[noreturn]] void ThrowOpenError(TableMember member, const AppError &cause) const;

    TDataModuleMain &data_;
    QString fileName_;
    QString actFile_;
    std::unique_ptr<TFileLock> lock_;
    std::unique_ptr<TLockWriteGuard> guard_;
    std::unique_ptr<TChangeScope> scope_;
    bool open_ = false;
    std::map<TableMember, std::unique_ptr<TRecordPatch>> patches_;
};
