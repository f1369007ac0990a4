#include "NewFileSet.h"

#include "AppError.h"
#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString SystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString Quoted(const QString &fileName)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(fileName) + QLatin1Char('"');
}

bool Present(const QString &fileName)
{
    const QFileInfo info(fileName);
    return info.exists() || info.isSymLink();
}

// Renames from to to unless to exists; false with errno set otherwise.
bool RenameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse by itself: tested just before.
    if (Present(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(source.constData(), target.constData()) == 0;
}

// Creates fileName empty and syncs it and its folder.
bool CreateSynced(const QString &fileName)
{
    const int fd =
        ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok && SyncFolder(QFileInfo(fileName).absolutePath());
}

} // namespace

QString TNewFileSet::MarkerName(const QString &actFile)
{
    const QFileInfo header(actFile);
    return header.dir().filePath(QLatin1Char('.') + header.fileName() + QStringLiteral(".creating"));
}

namespace {
// The companion files of actFile that exist.
QStringList Companions(const QString &actFile)
{
    QStringList found;
    for (TableMember member : kTableMembers)
        if (member != TableMember::Header && Present(actFile + MemberSuffix(member)))
            found << actFile + MemberSuffix(member);
    return found;
}
} // namespace

void TNewFileSet::CheckFree(const QString &actFile)
{
    if (Present(actFile))
        throw AppError(QStringLiteral("The file %1 already exists").arg(Quoted(actFile)), actFile);
    const QStringList found = Companions(actFile);
    // Those an interrupted creation of this very file left are its own.
    if (found.isEmpty() || Present(MarkerName(actFile)))
        return;
    QStringList quoted;
    for (const QString &name : found)
        quoted << Quoted(name);
    throw AppError(
        QStringLiteral("The Action File %1 cannot be made: %2 already exist%3 without it. They are "
                       "left as they are; remove or rename them first.")
            .arg(Quoted(actFile), quoted.join(QStringLiteral(", ")),
                 found.size() == 1 ? QStringLiteral("s") : QString()),
        actFile);
}

TNewFileSet::TNewFileSet(const QString &actFile) : actFile_(actFile)
{
    CheckFree(actFile);
    for (const QString &name : Companions(actFile))
        if (!QFile::remove(name))
            throw AppError(QStringLiteral("%1 cannot be removed").arg(Quoted(name)));
    QFile::remove(MarkerName(actFile));
    // A journal left under one of the new names would be rolled back into
    // the new file.
    for (TableMember member : kTableMembers)
        QFile::remove(actFile + MemberSuffix(member) + QStringLiteral("-journal"));
}

TNewFileSet::~TNewFileSet()
{
    for (const QString &name : staged_)
        if (!name.isEmpty())
            QFile::remove(name);
}

QString TNewFileSet::Stage(TableMember member)
{
    const QString target = actFile_ + MemberSuffix(member);
    const QFileInfo info(target);
    // The name of the table writer's own leftovers, which the program
    // removes when it next holds the file's lock.
    QTemporaryFile file(info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".XXXXXX")));
    if (!file.open())
        throw AppError(QStringLiteral("Cannot write %1: %2").arg(Quoted(target), file.errorString()));
    file.setAutoRemove(false);
    QString &slot = staged_[size_t(MemberIndex(member))];
    if (!slot.isEmpty())
        QFile::remove(slot);
    slot = file.fileName();
    return slot;
}

void TNewFileSet::StageCopy(TableMember member, const QString &source)
{
    const QString target = actFile_ + MemberSuffix(member);
    const QString staged = Stage(member);
    QFile in(source), out(staged);
    if (!in.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot read %1: %2").arg(Quoted(source), in.errorString()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw AppError(QStringLiteral("Cannot write %1: %2").arg(Quoted(target), out.errorString()));
    const auto failed = [&] {
        return AppError(QStringLiteral("Cannot write %1: %2").arg(Quoted(target), SystemError()));
    };
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(chunk.data(), chunk.size());
        if (got < 0)
            throw AppError(QStringLiteral("Cannot read %1: %2").arg(Quoted(source), in.errorString()));
        if (got == 0)
            break;
        // Written by the system call itself, whose error says why (a full
        // disk).
        for (qint64 done = 0; done < got;) {
            const ssize_t written = ::write(out.handle(), chunk.constData() + done, size_t(got - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                if (written == 0)
                    errno = ENOSPC;
                throw failed();
            }
            done += written;
        }
    }
    if (::fsync(out.handle()) != 0)
        throw failed();
}

void TNewFileSet::Publish()
{
    for (TableMember member : kTableMembers)
        if (staged_[size_t(MemberIndex(member))].isEmpty())
            throw AppError(QStringLiteral("Cannot write %1: it was not written")
                               .arg(Quoted(actFile_ + MemberSuffix(member))));
    const QString marker = MarkerName(actFile_);
    const QString folder = QFileInfo(actFile_).absolutePath();
    if (!CreateSynced(marker))
        throw AppError(QStringLiteral("Cannot write %1: %2").arg(Quoted(marker), SystemError()));
    // The companions first: the header makes the Action File, so it comes
    // last.
    constexpr std::array<TableMember, kTableMemberCount> order = {
        TableMember::Actions,  TableMember::Actor,     TableMember::Log,
        TableMember::Decision, TableMember::Statement, TableMember::Header,
    };
    std::vector<TableMember> placed;
    for (TableMember member : order) {
        QString &staged = staged_[size_t(MemberIndex(member))];
        const QString target = actFile_ + MemberSuffix(member);
        QFile::setPermissions(staged, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                          QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
        if (RenameNoReplace(staged, target)) {
            placed.push_back(member);
            continue;
        }
        const QString why = SystemError();
        for (TableMember back : placed)
            RenameNoReplace(actFile_ + MemberSuffix(back), staged_[size_t(MemberIndex(back))]);
        QFile::remove(marker);
        SyncFolder(folder);
        throw AppError(QStringLiteral("Cannot write %1: %2").arg(Quoted(target), why));
    }
    for (QString &staged : staged_)
        staged.clear();
    SyncFolder(folder);
    QFile::remove(marker);
    SyncFolder(folder);
}
