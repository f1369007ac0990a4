#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers shared by the test suites.
bool WriteFileBytes(const QString &path, const QByteArray &bytes);
QByteArray ReadFileBytes(const QString &path);
// Makes QStandardPaths point into a throw-away test location, so no suite
// touches the real configuration of the user running it.
void UseTestStandardPaths();
