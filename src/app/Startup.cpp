#include "Startup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool RunFirstRunStep(const QString &markerFile, const QStringList &folders)
{
    if (QFileInfo::exists(markerFile))
        return false;
    // The per-user data folder of an installed program may not exist yet.
    QDir().mkpath(QFileInfo(markerFile).absolutePath());
    QFile marker(markerFile);
    if (marker.open(QIODevice::WriteOnly))
        marker.close();
    for (const QString &folder : folders)
        if (!folder.trimmed().isEmpty())
            QDir().mkpath(folder);
    return true;
}

QString CommandLineContainer(const QStringList &arguments)
{
    if (arguments.size() != 2)
        return {};
    const QFileInfo file(arguments.at(1));
    return file.exists() && !file.isDir() ? arguments.at(1) : QString();
}
