#include "ActionFileLock.h"

#include "UiServices.h"

#include <QDir>

TFileLock::TFileLock(const QString &fileName) : lock_(LockFileName(fileName))
{
    // A file stays open for hours; only a lock whose process has ended is
    // stale, never one that is merely old.
    lock_.setStaleLockTime(0);
}

TFileLock::~TFileLock() = default;

QString TFileLock::LockFileName(const QString &fileName)
{
    return fileName + QStringLiteral(".lock");
}

TFileLock::Result TFileLock::TryLock()
{
    if (lock_.isLocked() || lock_.tryLock(0))
        return Locked;
    return lock_.error() == QLockFile::LockFailedError ? HeldElsewhere : CannotLock;
}

void TFileLock::Unlock()
{
    if (lock_.isLocked())
        lock_.unlock();
}

TFileLock::Holder TFileLock::HeldBy() const
{
    Holder holder;
    lock_.getLockInfo(&holder.pid, &holder.hostName, &holder.appName);
    return holder;
}

QString TFileLock::InUseText(const QString &what, const QString &fileName, const Holder &holder)
{
    const QString host = holder.hostName.isEmpty() ? QStringLiteral("this computer") : holder.hostName;
    return QStringLiteral("The %1 \"%2\" is in use by the program \"%3\" (process %4 on %5).")
        .arg(what, QDir::toNativeSeparators(fileName), holder.appName, QString::number(holder.pid), host);
}

namespace {
// Asks whether to open the file that another program holds read-only.
bool AskOpenReadOnly(const QString &what, const QString &fileName, const TFileLock::Holder &holder)
{
    const QString text =
        TFileLock::InUseText(what, fileName, holder) +
        QStringLiteral("\n\nChanges made here could overwrite that program's work, so it can only be "
                       "opened read-only.\n\nDo you want to open it read-only? Choose No to cancel.");
    return Ui().MessageBox(text, QStringLiteral("Action File in use"), MB_YESNO | MB_ICONWARNING) == IDYES;
}
} // namespace

std::optional<bool> LockForOpening(TFileLock &lock, const QString &what, const QString &fileName)
{
    switch (lock.TryLock()) {
    case TFileLock::Locked:
        return false;
    case TFileLock::HeldElsewhere:
        if (!AskOpenReadOnly(what, fileName, lock.HeldBy()))
            return std::nullopt;
        return true;
    case TFileLock::CannotLock:
        // A folder without write access: the window says it is read-only.
        return true;
    }
    return true;
}
