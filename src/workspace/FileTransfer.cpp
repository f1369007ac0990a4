#include "FileTransfer.h"

#include "DurableFile.h"

#include <QFile>

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
    return CopyFileDurably(source, target, error);
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
