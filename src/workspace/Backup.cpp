#include "Backup.h"

#include "AppError.h"
#include "DurableFile.h"
#include "MemberFiles.h"
#include "TACTFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>
#include <vector>

QString BackupFolder(const QString &actFile)
{
    const QFileInfo info(actFile);
    const QString name = info.fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QString stem = dot >= 0 ? name.left(dot) : QString();
    return info.dir().filePath(stem + QStringLiteral(" Backup"));
}

namespace {
// Whether the table file alone holds its table now (see SettleTableFile).
bool Settled(const QString &tableFile)
{
    try {
        SettleTableFile(tableFile);
        return true;
    } catch (const AppError &) {
        return false;
    }
}
} // namespace

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

    const TACTFiles files(actFile);
    const TACTFiles copies(QDir(folder).filePath(info.fileName()));
    // Every copy is written whole before any replaces its old one, so a
    // disk that fills up half-way leaves the previous backup as it was.
    std::vector<std::unique_ptr<TDurableFile>> written;
    for (int i = 0; i < TACTFiles::Count; ++i) {
        // A member that is missing or cannot be settled keeps its copy from
        // an earlier opening: an old copy is worth more than none.
        if (!QFileInfo(files.Name(i)).isFile() || !Settled(files.Name(i)))
            continue;
        auto copy = std::make_unique<TDurableFile>(copies.Name(i));
        QFile source(files.Name(i));
        if (!source.open(QIODevice::ReadOnly))
            throw AppError(QStringLiteral("\"%1\" cannot be written: %2")
                               .arg(QDir::toNativeSeparators(copies.Name(i)), source.errorString()),
                           copies.Name(i), source.errorString());
        copy->Open();
        // A failed write is thrown now, by the commit that discards it,
        // before any copy has replaced its old one.
        if (!copy->Write(source.readAll()))
            copy->Commit();
        written.push_back(std::move(copy));
    }
    for (int i = 0; i < TACTFiles::Count; ++i) {
        // A journal beside the old copy belongs to the old content; it must
        // never be rolled back into the new one.
        if (!Settled(copies.Name(i)))
            QFile::remove(JournalName(copies.Name(i)));
    }
    for (const auto &copy : written)
        copy->Commit();

    QFile marker(QDir(folder).filePath(QLatin1String(kBackupMarker)));
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate))
        marker.close();
}
