#pragma once

#include "AppError.h"
#include "TTables.h"

#include <QString>
#include <sys/types.h>

// The lock that one program holds on an Action File or a Dravelin File while
// it has it open, so a second program cannot write over the first one's
// changes. It is a lock the system releases when its holder ends, however it
// ends, so it holds exactly while its holder lives:
// - the lock file beside the file ("<Name>.act.lock", "<Name>.dravelin.lock"),
//   locked with flock(); its text (process, program, host) only tells others
//   who holds it. A lock file that no process holds is taken over, whatever
//   it holds (nothing, garbage, another user's stale text); a link, a folder
//   or a second name of another file planted under its name is removed, never
//   followed or written.
// - the file itself, locked with flock() as well, which keys the lock on the
//   file (its device and inode): the same files opened under other names,
//   through links, meet the same lock.
class TFileLock {
public:
    enum Result {
        Locked,       // this program holds the lock now
        HeldElsewhere // another running program holds it
    };
    // Who holds a lock, as the lock file says; pid 0 when it does not say
    // (the file is held under another name).
    struct Holder {
        qint64 pid = 0;
        QString hostName;
        QString appName;
    };

    // fileName: the Action File or Dravelin File to lock.
    explicit TFileLock(const QString &fileName);
    ~TFileLock();
    TFileLock(const TFileLock &) = delete;
    TFileLock &operator=(const TFileLock &) = delete;

    // How long a program waits for a file that a command has locked.
    static constexpr int kCommandWaitMs = 5000;

    // Throws AppError, naming the lock file and the cause, when no lock file
    // can be made there (a read-only folder, a full disk).
    Result TryLock();
    // As TryLock, but waits up to timeoutMs while another dravelin-cli holds
    // the lock (or a holder that has not written who it is yet): a command
    // holds it for a moment only.
    Result TryLockWaitingForCommands(int timeoutMs);
    bool IsLocked() const { return lockFd_ >= 0; }
    // Removes the lock file and releases the locks when this program holds
    // them.
    void Unlock();
    // Before each write while locked: a lock file deleted or replaced under
    // the program is made again, and the file itself, replaced by a whole
    // write, is locked again. Throws AppError when another program has taken
    // either meanwhile.
    void Verify();
    // The holder after TryLock gave HeldElsewhere.
    Holder HeldBy() const { return holder_; }

    static QString LockFileName(const QString &fileName);
    // "The Action File "<file>" is in use by the program "<app>" (process <pid> on <host>)."
    static QString InUseText(const QString &what, const QString &fileName, const Holder &holder);

private:
    enum Step { Taken, Held, Failed, Again };
    Step TakeLockFile();
    Step Fail(const QString &message, const QString &cause);
    Step TakeFileItself();
    void WriteHolder() const;

    QString fileName_;
    QString lockFileName_;
    int lockFd_ = -1; // the lock file, flock()ed
    dev_t lockDevice_ = 0;
    ino_t lockInode_ = 0;
    int fileFd_ = -1; // the file itself, flock()ed
    dev_t fileDevice_ = 0;
    ino_t fileInode_ = 0;
    Holder holder_;
    // Why the last step failed, and the system's cause.
    QString failure_;
    QString cause_;
};

// While it exists, the table set writes the Action File only as long as this
// program holds its lock (verified before each write, see TFileLock::Verify),
// and nothing at all when it was opened read-only. The guard it replaces (the
// Dravelin File the Action File was unpacked from) is asked too, and put back
// when it ends.
class TLockWriteGuard final : public TWriteGuard {
public:
    TLockWriteGuard(TTables &tables, TFileLock &lock, bool readOnly);
    ~TLockWriteGuard() override;
    TLockWriteGuard(const TLockWriteGuard &) = delete;
    TLockWriteGuard &operator=(const TLockWriteGuard &) = delete;

    void CheckWrite() override;
    void Saved() override;

private:
    TTables &tables_;
    TFileLock &lock_;
    bool readOnly_;
    TWriteGuard *outer_;
};

// A file that another running program has open: message() is
// TFileLock::InUseText, naming the file, the program and its process.
class TFileInUseError : public AppError {
public:
    // what: "Action File" or "Dravelin File".
    TFileInUseError(const QString &what, const QString &fileName, const TFileLock::Holder &holder)
        : AppError(TFileLock::InUseText(what, fileName, holder), fileName), holder_(holder)
    {
    }
    const TFileLock::Holder &HeldBy() const { return holder_; }

private:
    TFileLock::Holder holder_;
};

// What taking the lock of a file to open gave.
enum class TLockOutcome {
    Locked,        // this program may write it
    HeldElsewhere, // another program has it open (lock.HeldBy() says which): read-only or not at all
    NoLock         // no lock can be made there (a read-only folder): read-only
};

// Takes the lock of a file the user opens, waiting a few seconds while a
// command of dravelin-cli holds it: a command holds a file for a moment only.
TLockOutcome LockForOpening(TFileLock &lock);
