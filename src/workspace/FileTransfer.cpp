#include "FileTransfer.h"

#include <QFile>
#include <QSaveFile>

namespace {
bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}
} // namespace

bool CopyFileReplacing(const QString &source, const QString &target, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, in.errorString());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return fail(error, out.errorString());
    constexpr qint64 chunkSize = 1 << 16;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(chunkSize);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            break;
        if (out.write(chunk) != chunk.size())
            break;
    }
    if (in.error() != QFileDevice::NoError) {
        out.cancelWriting();
        return fail(error, in.errorString());
    }
    if (!out.commit())
        return fail(error, out.errorString());
    return true;
}

bool MoveFileNoReplace(const QString &source, const QString &target, QString *error)
{
    // QFile::rename refuses an existing target and, when the rename itself is
    // impossible (another file system), copies and then removes the source,
    // removing the copy again if the source cannot be removed.
    QFile file(source);
    if (!file.rename(target))
        return fail(error, file.errorString());
    return true;
}
