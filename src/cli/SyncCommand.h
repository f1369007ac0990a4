#pragma once

#include <QStringList>

class TDataModuleMain;

// dravelin-cli sync: synchronises an Action File with its CalDAV task list.
// Returns the exit code (TExitCode); throws UsageError and AppError as the
// other commands do.
int CmdSync(TDataModuleMain &data, const QStringList &arguments);
