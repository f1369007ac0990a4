#include "FileTransfer.h"

#include "AppError.h"

#include <QFile>

void MoveFileNoReplace(const QString &source, const QString &target)
{
    // QFile::rename refuses an existing target and, when the rename itself is
    // impossible (another file system), copies and then removes the source,
    // removing the copy again if the source cannot be removed.
    QFile file(source);
    if (!file.rename(target))
        throw AppError(
            QStringLiteral("\"%1\" cannot be moved to \"%2\": %3").arg(source, target, file.errorString()),
            source, file.errorString());
}
