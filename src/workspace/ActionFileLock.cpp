#include "ActionFileLock.h"

#include "AppError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString SystemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// The name of the running program as its file is called.
QString ProgramName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

// What a lock file says of its holder: process, program and host, one a line.
TFileLock::Holder ReadHolder(int fd)
{
    char text[1024];
    const ssize_t got = ::pread(fd, text, sizeof text, 0);
    TFileLock::Holder holder;
    if (got <= 0)
        return holder;
    const QStringList lines = QString::fromUtf8(text, int(got)).split(QLatin1Char('\n'));
    holder.pid = lines.value(0).toLongLong();
    holder.appName = lines.value(1);
    holder.hostName = lines.value(2);
    return holder;
}

bool SameFile(const struct stat &a, dev_t device, ino_t inode)
{
    return a.st_dev == device && a.st_ino == inode;
}
} // namespace

TFileLock::TFileLock(const QString &fileName) : fileName_(fileName), lockFileName_(LockFileName(fileName))
{
}

TFileLock::~TFileLock()
{
    Unlock();
}

QString TFileLock::LockFileName(const QString &fileName)
{
    return fileName + QStringLiteral(".lock");
}

TFileLock::Step TFileLock::TakeLockFile()
{
    const QByteArray path = QFile::encodeName(lockFileName_);
    bool readOnly = false;
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        // A link or a folder under the lock file's name is no lock of this
        // program's: removed (a link itself, never what it points to).
        if (error == ELOOP && ::unlink(path.constData()) == 0)
            return Again;
        if (error == EISDIR && ::rmdir(path.constData()) == 0)
            return Again;
        if (error == EACCES || error == EPERM) {
            // Another user's lock file: it may still tell whether it is held.
            fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            readOnly = fd >= 0;
        }
        if (fd < 0) {
            if (error == EISDIR)
                return Fail(QStringLiteral("\"%1\" is a folder").arg(QDir::toNativeSeparators(lockFileName_)),
                            SystemError(error));
            return Fail(QStringLiteral("\"%1\" cannot be made: %2")
                            .arg(QDir::toNativeSeparators(lockFileName_), SystemError(error)),
                        SystemError(error));
        }
    }
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && opened.st_nlink == 0) {
        // Its holder removed it while it was being opened: the name may
        // already be another program's new lock file, which stays.
        ::close(fd);
        return Again;
    }
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_nlink != 1) {
        // Something other than a lock file (a second name of another file,
        // a pipe) is removed from under the name, not written into; a name
        // that meanwhile went elsewhere is tried again.
        ::close(fd);
        struct stat named {};
        if (::lstat(path.constData(), &named) != 0 || !SameFile(named, opened.st_dev, opened.st_ino) ||
            ::unlink(path.constData()) == 0 || errno == ENOENT)
            return Again;
        return Fail(QStringLiteral("\"%1\" is not a lock file and cannot be removed: %2")
                        .arg(QDir::toNativeSeparators(lockFileName_), SystemError(errno)),
                    SystemError(errno));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK)
            holder_ = ReadHolder(fd);
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Held;
        return Fail(QStringLiteral("\"%1\" cannot be locked: %2")
                        .arg(QDir::toNativeSeparators(lockFileName_), SystemError(error)),
                    SystemError(error));
    }
    // Its last holder removes the lock file before it lets go: a file that
    // is no longer under the name was released that way, and is no lock.
    struct stat named {};
    if (::stat(path.constData(), &named) != 0 || !SameFile(named, opened.st_dev, opened.st_ino)) {
        ::close(fd);
        return Again;
    }
    if (readOnly) {
        // A stale lock of another user, which this program cannot write:
        // held now, it is safely replaced by a lock file of its own.
        const bool removed = ::unlink(path.constData()) == 0;
        const int error = errno;
        ::close(fd);
        if (removed)
            return Again;
        return Fail(QStringLiteral("\"%1\" belongs to another user and cannot be replaced: %2")
                        .arg(QDir::toNativeSeparators(lockFileName_), SystemError(error)),
                    SystemError(error));
    }
    lockFd_ = fd;
    lockDevice_ = opened.st_dev;
    lockInode_ = opened.st_ino;
    WriteHolder();
    return Taken;
}

void TFileLock::WriteHolder() const
{
    // The text only tells others who holds the lock; a disk too full to
    // take it leaves the lock held all the same.
    const QByteArray text = QStringLiteral("%1\n%2\n%3\n")
                                .arg(QString::number(QCoreApplication::applicationPid()), ProgramName(),
                                     QSysInfo::machineHostName())
                                .toUtf8();
    if (::ftruncate(lockFd_, 0) == 0 && ::pwrite(lockFd_, text.constData(), size_t(text.size()), 0) > 0)
        ::fsync(lockFd_);
}

TFileLock::Step TFileLock::TakeFileItself()
{
    // A file that does not exist yet (a new one) is keyed once it does.
    const int fd = ::open(QFile::encodeName(fileName_).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Taken;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (!held)
            return Taken; // a file system without such locks: the lock file alone stands
        holder_ = Holder();
        return Held;
    }
    if (fileFd_ >= 0)
        ::close(fileFd_);
    fileFd_ = fd;
    fileDevice_ = opened.st_dev;
    fileInode_ = opened.st_ino;
    return Taken;
}

TFileLock::Step TFileLock::Fail(const QString &message, const QString &cause)
{
    failure_ = message;
    cause_ = cause;
    return Failed;
}

TFileLock::Result TFileLock::TryLock()
{
    if (IsLocked())
        return Locked;
    holder_ = Holder();
    // A few rounds: each removes one thing in the way, or meets a lock file
    // that its holder removed just then.
    for (int round = 0; round < 8; ++round) {
        switch (TakeLockFile()) {
        case Again:
            continue;
        case Held:
            return HeldElsewhere;
        case Failed:
            throw AppError(failure_, lockFileName_, cause_);
        case Taken:
            break;
        }
        if (TakeFileItself() == Taken)
            return Locked;
        Unlock();
        return HeldElsewhere;
    }
    const QString cause = QStringLiteral("it keeps changing");
    throw AppError(QStringLiteral("\"%1\" keeps changing").arg(QDir::toNativeSeparators(lockFileName_)),
                   lockFileName_, cause);
}

TFileLock::Result TFileLock::TryLockWaitingForCommands(int timeoutMs)
{
    constexpr int kPauseMs = 20;
    for (int waited = 0;; waited += kPauseMs) {
        const Result result = TryLock();
        // A holder that does not say who it is yet has just taken the lock
        // and is writing its text.
        const bool command = holder_.appName == QLatin1String("dravelin-cli") || holder_.pid <= 0;
        if (result != HeldElsewhere || waited >= timeoutMs || !command)
            return result;
        QThread::msleep(kPauseMs);
    }
}

void TFileLock::Unlock()
{
    if (fileFd_ >= 0) {
        ::close(fileFd_);
        fileFd_ = -1;
    }
    if (lockFd_ < 0)
        return;
    // Removed while still held, so whoever waits for it sees it gone.
    const QByteArray path = QFile::encodeName(lockFileName_);
    struct stat named {};
    if (::stat(path.constData(), &named) == 0 && SameFile(named, lockDevice_, lockInode_))
        ::unlink(path.constData());
    ::close(lockFd_);
    lockFd_ = -1;
}

void TFileLock::Verify()
{
    if (lockFd_ < 0)
        return;
    const QString what = QStringLiteral("The file \"%1\"").arg(QDir::toNativeSeparators(fileName_));
    struct stat named {};
    if (::stat(QFile::encodeName(lockFileName_).constData(), &named) != 0 ||
        !SameFile(named, lockDevice_, lockInode_)) {
        // The lock file was deleted or replaced while the file was open: a
        // new one is made, unless another program holds one by now.
        const int old = lockFd_;
        lockFd_ = -1;
        Step step = Again;
        for (int round = 0; round < 8 && step == Again; ++round)
            step = TakeLockFile();
        if (step != Taken) {
            lockFd_ = old;
            if (step == Held)
                throw AppError(InUseText(QStringLiteral("file"), fileName_, holder_) +
                               QStringLiteral(" Its lock file was replaced while it was open here."));
            throw AppError(what + QStringLiteral(" lost its lock: ") + failure_, lockFileName_, cause_);
        }
        ::close(old);
    }
    struct stat file {};
    if (::stat(QFile::encodeName(fileName_).constData(), &file) == 0 &&
        (fileFd_ < 0 || !SameFile(file, fileDevice_, fileInode_)) && TakeFileItself() == Held)
        throw AppError(what + QStringLiteral(" is in use by another program under another name."));
}

QString TFileLock::InUseText(const QString &what, const QString &fileName, const Holder &holder)
{
    if (holder.pid <= 0)
        return QStringLiteral("The %1 \"%2\" is in use by another program (open there under another name).")
            .arg(what, QDir::toNativeSeparators(fileName));
    const QString host = holder.hostName.isEmpty() ? QStringLiteral("this computer") : holder.hostName;
    return QStringLiteral("The %1 \"%2\" is in use by the program \"%3\" (process %4 on %5).")
        .arg(what, QDir::toNativeSeparators(fileName), holder.appName, QString::number(holder.pid), host);
}

TLockWriteGuard::TLockWriteGuard(TTables &tables, TFileLock &lock, bool readOnly)
    : tables_(tables), lock_(lock), readOnly_(readOnly), outer_(tables.WriteGuard())
{
    tables_.SetWriteGuard(this);
}

TLockWriteGuard::~TLockWriteGuard()
{
    tables_.SetWriteGuard(outer_);
}

void TLockWriteGuard::CheckWrite()
{
    if (readOnly_ || !lock_.IsLocked())
        throw AppError(QStringLiteral("\"%1\" is open read-only; nothing is written")
                           .arg(QDir::toNativeSeparators(tables_.FileName())));
    if (outer_)
        outer_->CheckWrite();
    lock_.Verify();
}

void TLockWriteGuard::Saved()
{
    if (outer_)
        outer_->Saved();
}

TLockOutcome LockForOpening(TFileLock &lock)
{
    try {
        if (lock.TryLockWaitingForCommands(TFileLock::kCommandWaitMs) == TFileLock::Locked)
            return TLockOutcome::Locked;
        return TLockOutcome::HeldElsewhere;
    } catch (const AppError &) {
        // A folder without write access: the file is shown read-only.
        return TLockOutcome::NoLock;
    }
}
