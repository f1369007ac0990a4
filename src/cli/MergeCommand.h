#pragma once

#include <QStringList>

class TDataModuleMain;

// dravelin-cli merge FILE RETURNED.dravelin [--theirs|--mine]: merges a
// Dravelin File that came back into the Action File it was packed from.
// Returns the exit code: 3 (ExitQuestionsOpen) when questions were left
// open and nothing was changed.
int CmdMerge(TDataModuleMain &data, const QStringList &arguments);
