#pragma once

#include <QString>

class TDataModuleMain;

// Writes an Action File of `actions` actions, each with three log entries,
// actions/2 decisions, actions/2 statements and 200 contacts, with text of
// realistic length (synopsis ~80 characters, description ~400).
void GenerateActionFile(TDataModuleMain &data, const QString &fileName, int actions);
