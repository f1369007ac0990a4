#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

// Small file helpers shared by the test suites.
bool WriteFileBytes(const QString &path, const QByteArray &bytes);
QByteArray ReadFileBytes(const QString &path);
// The names of every entry of folder, hidden ones included, sorted by name;
// empty when the folder does not exist.
QStringList FolderEntries(const QString &folder);
// How many times each system call appears in a file that strace wrote with
// -f -o (lines "<pid> <call>(...").
QMap<QString, int> SystemCallCounts(const QString &straceOutput);
// Makes QStandardPaths point into a throw-away test location, so no suite
// touches the real configuration of the user running it.
void UseTestStandardPaths();

// The child of window named name; ends the suite when there is none, so a
// renamed control is reported by its name rather than as a crash.
template <typename T> T *Child(const QObject *window, const QString &name)
{
    T *child = window->findChild<T *>(name);
    if (!child)
        qFatal("no child %s", qPrintable(name));
    return child;
}
