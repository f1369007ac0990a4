#include "MergeBase.h"

#include "ActionFileNames.h"
#include "DurableFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString BaseFolder(const QString &actFile)
{
    const QString auxiliary = AuxiliaryFolder(actFile);
    return auxiliary.isEmpty() ? QString() : auxiliary + QStringLiteral("/Merge Bases");
}

} // namespace

QString MergeBaseFileName(const QString &actFile, const QString &container)
{
    const QString folder = BaseFolder(actFile);
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QFileInfo(container).fileName();
}

bool KeepMergeBase(const QString &actFile, const QString &container, QString *error)
{
    const QString target = MergeBaseFileName(actFile, container);
    if (target.isEmpty())
        return true;
    if (!QDir().mkpath(QFileInfo(target).path())) {
        if (error)
            *error = QStringLiteral("Cannot create the folder \"%1\"").arg(QFileInfo(target).path());
        return false;
    }
    return CopyFileDurably(container, target, error);
}

void RemoveMergeBases(const QString &actFile)
{
    const QString folder = BaseFolder(actFile);
    if (folder.isEmpty())
        return;
    QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.dravelin")}, QDir::Files | QDir::Hidden))
        dir.remove(name);
    QDir().rmdir(folder);
}
