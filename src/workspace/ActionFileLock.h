#pragma once

#include <QLockFile>
#include <QString>
#include <optional>

// The lock file beside an Action File ("<Name>.act.lock") or a Dravelin File
// ("<Name>.dravelin.lock") that one program holds while the file is open, so
// a second program cannot write over the first one's changes. A lock left by
// a process that has ended is taken over.
class TFileLock {
public:
    enum Result {
        Locked,        // this program holds the lock now
        HeldElsewhere, // another running program holds it
        CannotLock     // no lock file can be made there (read-only folder)
    };
    // Who holds a lock, as the lock file says.
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

    Result TryLock();
    bool IsLocked() const { return lock_.isLocked(); }
    // Removes the lock file when this program holds it.
    void Unlock();
    // The holder after TryLock gave HeldElsewhere.
    Holder HeldBy() const;

    static QString LockFileName(const QString &fileName);
    // "The Action File "<file>" is in use by the program "<app>" (process <pid> on <host>)".
    static QString InUseText(const QString &what, const QString &fileName, const Holder &holder);

private:
    QLockFile lock_;
};

// Takes the lock of fileName (`what`: "Action File" or "Dravelin File") for
// opening it. The result tells whether to open it read-only: when another
// program holds the lock and the user chose read-only, or when no lock can be
// made there (read-only folder); nothing when the user cancelled. The user is
// asked under the caption "Action File in use".
std::optional<bool> LockForOpening(TFileLock &lock, const QString &what, const QString &fileName);
