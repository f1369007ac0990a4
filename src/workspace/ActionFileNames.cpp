#include "ActionFileNames.h"

#include "Formats.h"

#include <QDir>
#include <QFileInfo>

QString AuxiliaryFolder(const QString &actFile, const QString &auxiliaryRoot)
{
    QString root = auxiliaryRoot;
    while (root.size() > 1 && (root.endsWith(QLatin1Char('/')) || root.endsWith(QLatin1Char('\\'))))
        root.chop(1);
    if (root.isEmpty())
        return QString();
    const QString name =
        UpperCase(QFileInfo(root).fileName() + QLatin1Char('_') + QFileInfo(actFile).completeBaseName());
    const QString folder =
        root.endsWith(QLatin1Char('/')) ? QString(root + name) : QString(root + QLatin1Char('/') + name);
    const QString existing = ExistingNameInAnyCase(folder);
    return existing.isEmpty() ? folder : existing;
}

namespace {
QString InAuxiliaryFolder(const QString &auxiliaryFolder, const QString &name)
{
    return auxiliaryFolder.isEmpty() ? QString() : auxiliaryFolder + QLatin1Char('/') + name;
}
} // namespace

QString SyncAccountFileName(const QString &auxiliaryFolder)
{
    return InAuxiliaryFolder(auxiliaryFolder, QStringLiteral("sync-account.json"));
}

QString SyncStateFileName(const QString &auxiliaryFolder)
{
    return InAuxiliaryFolder(auxiliaryFolder, QStringLiteral("sync-state.json"));
}

QString ReplaceExtension(const QString &fileName, QLatin1String extension, ExtensionRules rules)
{
    qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (rules.backslashSeparates)
        slash = std::max(slash, fileName.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash)
        return fileName + extension;
    if (rules.keepExtensionInAnyCase && fileName.mid(dot).compare(extension, Qt::CaseInsensitive) == 0)
        return fileName;
    return fileName.left(dot) + extension;
}

QString WithActExtension(const QString &fileName)
{
    return ReplaceExtension(fileName, QLatin1String(".act"), {.backslashSeparates = true});
}

QString FileNameProblem(const QString &name)
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return QStringLiteral(
                   "The File Name \"%1\" cannot contain a folder; please type the name of the file only")
            .arg(name);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\".\" and \"..\" are not valid File Names");
    return QString();
}

QString ExistingNameInAnyCase(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return path;
    const QString wanted = info.fileName();
    const QDir folder = info.dir();
    const QStringList entries =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        if (SameText(entry, wanted))
            return folder.filePath(entry);
    return QString();
}

bool SamePath(const QString &a, const QString &b)
{
    return SameText(QDir::cleanPath(QDir::fromNativeSeparators(a)),
                    QDir::cleanPath(QDir::fromNativeSeparators(b)));
}
