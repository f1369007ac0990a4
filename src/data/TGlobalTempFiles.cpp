#include "TGlobalTempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Marks a folder whose files are kept past the end of their run.
const QString kKeepMarker = QStringLiteral("kept");

QString ParentFolder(const QString &parent)
{
    return QDir::cleanPath(parent.isEmpty() ? QDir::tempPath() : parent);
}

QString FolderPrefix()
{
    return QStringLiteral("dravelin-%1-").arg(::getpid());
}

// Creates name new, exclusively, 0600, refusing to follow a link; -1 with
// errno set when anything lies under the name or it cannot be created.
int CreateExclusive(const QString &name)
{
    return ::open(QFile::encodeName(name).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  S_IRUSR | S_IWUSR);
}
} // namespace

TGlobalTempFiles::TGlobalTempFiles(const QString &parent)
{
    const QString base = ParentFolder(parent);
    QTemporaryDir dir(base + QLatin1Char('/') + FolderPrefix() + QStringLiteral("XXXXXX"));
    if (dir.isValid()) {
        dir.setAutoRemove(false);
        folder_ = dir.path();
        made_ = true;
    } else {
        // A folder that does not exist: nothing ever lands in the shared one.
        folder_ = base + QLatin1Char('/') + FolderPrefix() + QStringLiteral("unavailable");
    }
}

TGlobalTempFiles::~TGlobalTempFiles()
{
    DeleteAll();
}

void TGlobalTempFiles::DeleteAll() const
{
    for (const QString &name : std::as_const(Files))
        QFile::remove(name);
    if (made_)
        QDir().rmdir(folder_); // only when nothing is kept in it
}

void TGlobalTempFiles::Keep(const QStringList &names)
{
    for (const QString &name : names)
        Files.removeAll(name);
    QFile marker(QDir(folder_).filePath(kKeepMarker));
    if (marker.open(QIODevice::WriteOnly))
        marker.close();
}

QString TGlobalTempFiles::NewFileName(const QString &extension)
{
    QString name;
    for (;;) {
        ++counter_;
        name =
            folder_ + QStringLiteral("/dravelin$") + QString::number(counter_) + QLatin1Char('.') + extension;
        const int fd = CreateExclusive(name);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        // A name that cannot be created for another reason (no folder) is
        // handed out anyway and fails when written.
        if (errno != EEXIST)
            break;
    }
    Files.append(name);
    return name;
}

bool TGlobalTempFiles::CreateNewFile(QFile &file, const QString &name)
{
    // unlink() removes a link itself, never what it points to.
    ::unlink(QFile::encodeName(name).constData());
    const int fd = CreateExclusive(name);
    if (fd < 0)
        return false;
    file.setFileName(name);
    if (!file.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

namespace {
// The folders in parent of this user's runs whose process has gone.
QStringList FoldersOfEndedRuns(const QString &parent)
{
    static const QRegularExpression pattern(QStringLiteral("^dravelin-(\\d+)-[A-Za-z0-9]{6}$"));
    const QDir base(ParentFolder(parent));
    const QStringList entries = base.entryList({QStringLiteral("dravelin-*")}, QDir::Dirs | QDir::NoSymLinks);
    QStringList ended;
    for (const QString &entry : entries) {
        const QRegularExpressionMatch match = pattern.match(entry);
        if (!match.hasMatch())
            continue;
        const QString folder = base.filePath(entry);
        if (QFileInfo(folder).ownerId() != ::getuid())
            continue;
        bool ok = false;
        const qint64 pid = match.captured(1).toLongLong(&ok);
        if (!ok || pid <= 0 || pid > 0x7fffffff)
            continue;
        // A process that still runs (or that this user may not signal) keeps
        // its folder.
        if (pid == ::getpid() || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        ended << folder;
    }
    return ended;
}

bool HoldsChangesToRecover(const QString &folder)
{
    return !QDir(folder)
                .entryList({QLatin1Char('*') + TGlobalTempFiles::RecoveryExtension()},
                           QDir::Files | QDir::Hidden)
                .isEmpty();
}
} // namespace

void TGlobalTempFiles::RemoveFoldersOfEndedRuns(const QString &parent)
{
    for (const QString &folder : FoldersOfEndedRuns(parent))
        if (!QFileInfo::exists(QDir(folder).filePath(kKeepMarker)) && !HoldsChangesToRecover(folder))
            QDir(folder).removeRecursively();
}

QStringList TGlobalTempFiles::RecoverableFolders(const QString &parent)
{
    QStringList found;
    for (const QString &folder : FoldersOfEndedRuns(parent))
        if (HoldsChangesToRecover(folder))
            found << folder;
    return found;
}
