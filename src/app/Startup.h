#pragma once

#include <QString>
#include <QStringList>

// First start on this machine: when the marker file does not exist, create it
// empty and then every folder that is not blank, with its parents. Returns
// whether the folders were created. A marker that cannot be created is not
// reported; the folders are then created again at the next start.
bool RunFirstRunStep(const QString &markerFile, const QStringList &folders);

// The Dravelin File named on the command line: only when exactly one argument
// follows the program and names an existing file; otherwise "".
QString CommandLineContainer(const QStringList &arguments);
