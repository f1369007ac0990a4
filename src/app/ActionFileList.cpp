#include "ActionFileList.h"

#include <QDir>
#include <algorithm>

QStringList ListActionFiles(const QString &workspace)
{
    if (workspace.trimmed().isEmpty())
        return {};
    const QDir folder(workspace);
    // Name filters of QDir ignore case unless told otherwise, as the
    // desktop's own file search does.
    const QStringList names = folder.entryList(
        {QStringLiteral("*.act")}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString &name : names)
        paths << folder.filePath(name);
    // Names differing only in case can both exist here; order them the same
    // way every time.
    std::sort(paths.begin(), paths.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return paths;
}

QString FileListHeading(const QString &workspace)
{
    return QStringLiteral("Available Action Files from \"") + workspace + QLatin1Char('"');
}
