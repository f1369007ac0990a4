#pragma once

#include <QStringList>

class TDataModuleMain;

// Runs one dravelin-cli command line (arguments without the program name)
// on the data module: prints results on standard output, a failure as one
// line on standard error. Returns the exit code (TExitCode).
int RunCommandLine(TDataModuleMain &data, const QStringList &arguments);
