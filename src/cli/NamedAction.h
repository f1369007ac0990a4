#pragma once

#include <QString>

class TActionFileSession;
class TDataModuleMain;

// Finds the action named on the command line: by its Action ID, else by the
// number that identifies it in the file. The cursor of cdsActions is put on it.
void GotoAction(TDataModuleMain &data, const QString &name);

// Reads into the narrow actions table of session the actions GotoAction
// looks among for name: those with that Action ID, else those with that
// number. The table lists them as the action list does.
void ReadNamedAction(TDataModuleMain &data, TActionFileSession &session, const QString &name);
