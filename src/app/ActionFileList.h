#pragma once

#include <QString>
#include <QStringList>

// Full paths of every entry of the Workspace whose name matches "*.act"
// (case-insensitively, folders included), sorted ascending without regard to
// case. A missing or unreadable Workspace gives an empty list.
QStringList ListActionFiles(const QString &workspace);

// Heading of the file list after a refresh.
QString FileListHeading(const QString &workspace);
