#include "DurableFile.h"

#include "AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString SystemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// A file the user marked read-only is not replaced: no write permission for
// anyone.
bool MarkedReadOnly(const QFileInfo &info)
{
    return !(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
}

// The name itself is a symbolic link, dangling or not.
bool IsSymbolicLink(const QString &fileName)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(fileName).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

const QString kSymbolicLink = QStringLiteral("it is a symbolic link; name the file it points to");

AppError CannotWrite(const QString &fileName, const QString &why)
{
    return AppError(
        QStringLiteral("\"%1\" cannot be written: %2").arg(QDir::toNativeSeparators(fileName), why), fileName,
        why);
}

// Passes what is written to it on to TDurableFile::Write.
class DurableDevice : public QIODevice {
public:
    explicit DurableDevice(TDurableFile &file) : file_(file)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override { return file_.Write(data, size) ? size : -1; }

private:
    TDurableFile &file_;
};
} // namespace

TDurableFile::TDurableFile(const QString &fileName)
    : fileName_(fileName), file_(fileName), device_(std::make_unique<DurableDevice>(*this))
{
}

TDurableFile::~TDurableFile()
{
    Cancel();
}

bool TDurableFile::Fail(const QString &why)
{
    // The first cause is the one worth telling; later ones follow from it.
    if (!failed_)
        error_ = why.isEmpty() ? QStringLiteral("the file could not be written") : why;
    failed_ = true;
    return false;
}

void TDurableFile::Throw() const
{
    throw CannotWrite(fileName_, error_);
}

void TDurableFile::Open()
{
    failed_ = false;
    error_.clear();
    // A link planted under the name (in a shared folder, say) would have the
    // new content replace the file it points to, or land where it points.
    if (IsSymbolicLink(fileName_))
        Fail(kSymbolicLink);
    const QFileInfo info(fileName_);
    if (!failed_ && info.exists() && !info.isFile())
        Fail(QStringLiteral("it is not a file"));
    if (!failed_ && info.exists() && MarkedReadOnly(info))
        Fail(QStringLiteral("the file is read-only"));
    // Unbuffered, and written with write(2) below: Qt's buffer would hide a
    // failed write until the commit, and its error text would not say why.
    if (!failed_ && !file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        Fail(file_.errorString());
    // QSaveFile follows a link it finds when it opens; one planted since the
    // check above is caught here, before anything is written.
    if (!failed_ && IsSymbolicLink(fileName_)) {
        Cancel();
        Fail(kSymbolicLink);
    }
    if (failed_)
        Throw();
}

bool TDurableFile::Write(const char *data, qint64 size)
{
    if (failed_)
        return false;
    if (!file_.isOpen())
        return Fail(QStringLiteral("the file is not open"));
    while (size > 0) {
        const ssize_t written = ::write(file_.handle(), data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return Fail(SystemError(written < 0 ? errno : ENOSPC));
        data += written;
        size -= written;
    }
    return true;
}

void TDurableFile::Commit()
{
    if (!file_.isOpen()) {
        Fail(QStringLiteral("the file is not open"));
        Throw();
    }
    // QSaveFile::commit() ignores a failed sync; the data must be on the
    // disk before the rename makes it the file's.
    if (!failed_ && !file_.flush())
        Fail(file_.errorString());
    if (!failed_ && ::fsync(file_.handle()) != 0)
        Fail(SystemError(errno));
    if (failed_) {
        file_.cancelWriting();
        file_.commit(); // discards the new content
        Throw();
    }
    if (!file_.commit()) {
        Fail(file_.errorString());
        Throw();
    }
    // The rename is done and cannot be taken back; syncing the folder makes
    // it last across a power cut where the file system allows.
    SyncFolder(QFileInfo(fileName_).absolutePath());
}

void TDurableFile::Cancel()
{
    if (!file_.isOpen())
        return;
    file_.cancelWriting();
    file_.commit();
}

void WriteFileDurably(const QString &fileName, const QByteArray &bytes)
{
    TDurableFile file(fileName);
    file.Open();
    file.Write(bytes);
    file.Commit();
}

void CopyFileDurably(const QString &source, const QString &target)
{
    QFile in(source);
    const auto cannotRead = [&] {
        return AppError(QStringLiteral("\"%1\" cannot be read: %2")
                            .arg(QDir::toNativeSeparators(source), in.errorString()),
                        source, in.errorString());
    };
    if (!in.open(QIODevice::ReadOnly))
        throw cannotRead();
    TDurableFile out(target);
    out.Open();
    constexpr qint64 chunkSize = 1 << 16;
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(chunk.data(), chunkSize);
        if (got < 0) {
            out.Cancel();
            throw cannotRead();
        }
        if (got == 0 || !out.Write(chunk.constData(), got))
            break;
    }
    out.Commit();
}

bool SyncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
