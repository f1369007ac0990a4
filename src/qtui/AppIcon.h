#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// The icon of a command under its freedesktop name ("document-new",
// "go-next", ...): the desktop's icon theme draws it when it has that name, so
// the program looks like the rest of the desktop; on a desktop without a theme
// the bundled picture of the same name stands in, its lines in the palette's
// text colour when the application's palette is dark. Names neither has give a
// null icon.
QIcon AppIcon(const QString &name);

// The names the bundled set holds, each drawn on the same 24-pixel grid.
QStringList BundledIconNames();

// The program's own icon: the installed theme's, else the bundled one.
QIcon ProgramIcon();

// The name of the program's icon, its .desktop file and its AppStream entry.
inline constexpr const char *kApplicationId = "org.dravelin.Dravelin";
