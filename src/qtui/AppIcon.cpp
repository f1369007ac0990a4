#include "AppIcon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPalette>
#include <QPixmap>

namespace {
QString BundledPath(const QString &name)
{
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

// The one dark grey the bundled pictures are drawn in, as light themes draw
// their icons.
constexpr char kInk[] = "#31363b";

// A bundled picture; on a dark palette its dark grey lines are drawn in the
// palette's text colour, so they show on dark buttons and toolbars.
QIcon BundledIcon(const QString &path)
{
    const QPalette palette = QGuiApplication::palette();
    const bool dark =
        palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
    QFile file(path);
    if (!dark || !file.open(QIODevice::ReadOnly))
        return QIcon(path);
    QByteArray svg = file.readAll();
    if (!svg.contains(kInk))
        return QIcon(path);
    svg.replace(kInk, palette.color(QPalette::WindowText).name().toLatin1());
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48}) {
        QBuffer buffer(&svg);
        QImageReader reader(&buffer, "svg");
        reader.setScaledSize(QSize(side, side));
        const QImage image = reader.read();
        if (image.isNull())
            return QIcon(path);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
} // namespace

QIcon AppIcon(const QString &name)
{
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    const QString bundled = BundledPath(name);
    return QFile::exists(bundled) ? BundledIcon(bundled) : QIcon();
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
