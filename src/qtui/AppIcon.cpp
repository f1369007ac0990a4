#include "AppIcon.h"

#include <QDir>
#include <QFile>

namespace {
QString BundledPath(const QString &name)
{
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}
} // namespace

QIcon AppIcon(const QString &name)
{
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    const QString bundled = BundledPath(name);
    return QFile::exists(bundled) ? QIcon(bundled) : QIcon();
}

QStringList BundledIconNames()
{
    QStringList names;
    const QStringList files =
        QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString &file : files)
        if (file != QLatin1String("dravelin.svg"))
            names << file.chopped(4);
    return names;
}

QIcon ProgramIcon()
{
    const QString id = QLatin1String(kApplicationId);
    if (QIcon::hasThemeIcon(id))
        return QIcon::fromTheme(id);
    return QIcon(BundledPath(QStringLiteral("dravelin")));
}
