#pragma once

#include <QString>

class TDataModuleMain;

// "Save as Action File" of the action list: copies the open Action File
// (unpacked from a Dravelin File) into the Workspace under a name the user
// types; the window goes on working on the unpacked files.
//
// Asks until the name is usable: not empty, no folder in it, not "." or
// "..", and neither workspace/<name> nor workspace/<name>.act exists in any
// case. Then writes the open tables to their files and copies the six files
// to workspace/<name>.act and its member names. Every copy is checked: on a
// failure the copies already made are removed, the error is shown and
// RefreshListOnClose stays as it was; on success it is set, so the main
// window lists the new file. Returns whether the copy was made.
bool SaveAsActionFileCommand(TDataModuleMain &data, const QString &workspace);
