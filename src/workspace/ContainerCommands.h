#pragma once

#include <QString>

class TActionListView;
class TDataModuleMain;

// The commands on Dravelin Files: opening one (from the main window or the
// command line) and saving the open Action File as one.

// fileName with its last extension replaced by ".dravelin", or ".dravelin"
// appended when it has none: Project and Project.txt both give
// Project.dravelin.
QString WithDravelinExtension(const QString &fileName);

// Unpacks the container into temporary files, shows them in view
// and packs them back into the container when the list closes, changed or
// not. A container that cannot be unpacked is refused with a message and
// nothing is opened. When the write-back fails the unpacked files are kept
// past the end of the program and the message says where they are. Returns
// true when the Workspace's list of Action Files changed meanwhile (an
// Action File was saved into it), so the caller refreshes its list. The
// container is locked while it is open; one that another program holds, or
// whose folder takes no lock, is opened read-only (after asking, for the
// first) and never written back.
bool OpenDravelinFile(TActionListView &view, const QString &containerFileName);

// The main window's "Open Dravelin File": asks for the container in
// Folders.Dravelin, then OpenDravelinFile. Returns as OpenDravelinFile.
bool OpenDravelinFileCommand(TActionListView &view);

// "Save as Dravelin File": asks for the container's name in Folders.Dravelin,
// writes the open tables to their files and packs the open Action File into
// it. A name that only gets its ".dravelin" extension after the dialog and
// then names an existing file is replaced only after asking. A failed pack
// leaves a previous container as it was and is reported. Returns whether
// the container was written.
bool SaveAsDravelinFileCommand();
