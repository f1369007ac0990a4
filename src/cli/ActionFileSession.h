#pragma once

#include "ActionFileLock.h"
#include "TableMember.h"

#include <QString>
#include <memory>

class TDataModuleMain;

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
    TActionFileSession(TDataModuleMain &data, const QString &fileName, Access access,
                       TMemberSet members = kAllMembers);
    // Closes the tables without writing when the session was not committed.
    ~TActionFileSession();
    TActionFileSession(const TActionFileSession &) = delete;
    TActionFileSession &operator=(const TActionFileSession &) = delete;

    // Writes the changed tables and packs a Dravelin File back.
    void Commit();

    // Whether fileName names a Dravelin File by its extension.
    static bool IsDravelinFile(const QString &fileName);
    // Takes the lock of fileName for changing it, or throws why it cannot.
    static std::unique_ptr<TFileLock> LockForChange(const QString &fileName);
    // Throws the message for a Dravelin File that did not unpack or pack.
    [[noreturn]] static void ThrowUnpackError(int unpackResult, const QString &fileName);
    // Packs the six files of actFile into container, or throws.
    static void Pack(const QString &actFile, const QString &container);

private:
    void Close() noexcept;

    TDataModuleMain &data_;
    QString fileName_;
    QString actFile_;
    std::unique_ptr<TFileLock> lock_;
    bool open_ = false;
};
