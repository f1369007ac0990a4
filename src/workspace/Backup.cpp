#include "Backup.h"

#include "FileTransfer.h"
#include "MemberFiles.h"
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
        // A member that is missing or cannot be settled keeps its copy from
        // an earlier opening: an old copy is worth more than none.
        if (!QFileInfo(files.Name(i)).isFile() || !SettleTableFile(files.Name(i)))
            continue;
        // A journal beside the old copy belongs to the old content; it must
        // never be rolled back into the new one.
        if (!SettleTableFile(copies.Name(i)))
            QFile::remove(JournalName(copies.Name(i)));
        CopyFileReplacing(files.Name(i), copies.Name(i));
    }

    QFile marker(QDir(folder).filePath(QLatin1String(kBackupMarker)));
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate))
        marker.close();
}
