#include "MergeBase.h"

#include "AppError.h"
#include "DurableFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString BaseFolder(const QString &auxiliaryFolder)
{
    return auxiliaryFolder.isEmpty() ? QString() : auxiliaryFolder + QStringLiteral("/Merge Bases");
}

} // namespace

QString MergeBaseFileName(const QString &auxiliaryFolder, const QString &container)
{
    const QString folder = BaseFolder(auxiliaryFolder);
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QFileInfo(container).fileName();
}

void KeepMergeBase(const QString &auxiliaryFolder, const QString &container)
{
    const QString target = MergeBaseFileName(auxiliaryFolder, container);
    if (target.isEmpty())
        return;
    const QString folder = QFileInfo(target).path();
    if (!QDir().mkpath(folder))
        throw AppError(
            QStringLiteral("Cannot create the folder \"%1\"").arg(QDir::toNativeSeparators(folder)), folder);
    CopyFileDurably(container, target);
}

void RemoveMergeBases(const QString &auxiliaryFolder)
{
    const QString folder = BaseFolder(auxiliaryFolder);
    if (folder.isEmpty())
        return;
    QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.dravelin")}, QDir::Files | QDir::Hidden))
        dir.remove(name);
    QDir().rmdir(folder);
}
