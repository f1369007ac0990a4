#include "Backup.h"

#include "FileTransfer.h"
#include "TACTFiles.h"
#include "UiServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString BackupFolder(const QString &actFile)
{
    const QFileInfo info(actFile);
    const QString name = info.fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QString stem = dot >= 0 ? name.left(dot) : QString();
    return info.dir().filePath(stem + QStringLiteral(" Backup"));
}

void BackupActionFile(const QString &actFile)
{
    const QFileInfo info(actFile);
    if (info.fileName().toLower().contains(QLatin1String("dravelin$")))
        return;
    if (QFileInfo::exists(info.dir().filePath(QLatin1String(kBackupMarker))))
        return;
    const QString folder = BackupFolder(actFile);
    if (!QDir().mkpath(folder))
        return;

    BusyCursor busy;
    const TACTFiles files(actFile);
    const TACTFiles copies(QDir(folder).filePath(info.fileName()));
    for (int i = 0; i < TACTFiles::Count; ++i) {
        // A copy left from an earlier opening whose original is gone now would
        // mix two states of the file in one backup, so it goes too.
        if (!QFileInfo::exists(files.Name(i)))
            QFile::remove(copies.Name(i));
        else
            CopyFileReplacing(files.Name(i), copies.Name(i));
    }

    QFile marker(QDir(folder).filePath(QLatin1String(kBackupMarker)));
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate))
        marker.close();
}
