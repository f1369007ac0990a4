#pragma once

#include "ActionFileOpen.h"

#include <QString>
#include <optional>

class AppError;
class TDataModuleMain;

// The commands that open an Action File or a Dravelin File and show it in
// the action list, and that save the open one as a Dravelin File: they ask
// and tell the user, the opening itself is the workspace's (TOpenActionFile).
// The open commands return true when the Workspace's list of Action Files
// changed while the file was open (the table set's RefreshListOnClose was set
// when the window closed), so the caller refreshes its list.

// What shows an opened Action File; the action list window, or a stand-in
// in tests.
class TActionListView {
public:
    virtual ~TActionListView() = default;
    // Shows the Action File open in data modally and closes it when the
    // window closes (CloseActionFile), as that window does; returns whether
    // the Workspace's list changed. fromContainer: it was unpacked from a
    // Dravelin File; readOnly: nothing may be changed or written.
    virtual bool ShowActionList(TDataModuleMain &data, bool fromContainer, bool readOnly) = 0;
};

// Tells the user that the table set did not open: the failing table's message
// under "File open Error".
void ShowOpenError(const AppError &error);
// Opens the table set of actFile into file (see TOpenActionFile); one that
// does not open is told (ShowOpenError). Returns whether it opened.
bool OpenActionFileTables(std::optional<TOpenActionFile> &file, TDataModuleMain &data, TFileLock &lock,
                          const QString &actFile, const TOpenActionFile::Options &options = {});

// Creates the Action File actFile, creates its auxiliary folder and shows it
// in view. Refused with a message when actFile exists, in any case.
bool NewActionFile(TDataModuleMain &data, TActionListView &view, const QString &actFile);
// Opens the existing Action File actFile and shows it in view, holding its
// lock meanwhile; once its tables have loaded it is backed up when
// General.MakeBackup is set. Refused with a message when actFile is not an
// existing file. When another program holds the lock the user chooses
// between read-only and cancel; where no lock can be made it opens
// read-only. fromContainer: actFile was unpacked from a Dravelin File.
// readOnly: open it read-only in any case.
bool OpenActionFile(TDataModuleMain &data, TActionListView &view, const QString &actFile, bool fromContainer,
                    bool readOnly = false);

// The main window's New and Open commands: ask for a file in workspace, then
// NewActionFile / OpenActionFile.
bool NewActionFileCommand(TDataModuleMain &data, TActionListView &view, const QString &workspace);
bool OpenActionFileCommand(TDataModuleMain &data, TActionListView &view, const QString &workspace);

// Unpacks the container into temporary files, shows them in view and packs
// them back into the container when the list closes, changed or not; the
// container follows every change a few seconds behind meanwhile. A container
// that cannot be unpacked is refused with a message and nothing is opened.
// When the write-back fails the unpacked files are kept past the end of the
// program and the message says where they are. The container is locked
// while it is open; one that another program holds, or whose folder takes no
// lock, is opened read-only (after asking, for the first) and never written
// back.
bool OpenDravelinFile(TDataModuleMain &data, TActionListView &view, const QString &containerFileName);

// The main window's "Open Dravelin File": asks for the container in
// Folders.Dravelin, then OpenDravelinFile.
bool OpenDravelinFileCommand(TDataModuleMain &data, TActionListView &view);

// "Save as Dravelin File": asks for the container's name in Folders.Dravelin,
// writes the open tables to their files and packs the open Action File into
// it. A name that only gets its ".dravelin" extension after the dialog and
// then names an existing file is replaced only after asking. A failed pack
// leaves a previous container as it was and is reported. Nothing happens for
// a file open read-only. Returns whether the container was written.
bool SaveAsDravelinFileCommand(TDataModuleMain &data, bool readOnly);

// At start: for each Dravelin File whose changes a run that ended left
// unpacked in parent (by default the system's temporary folder), asks under
// the caption "Recover Changes" whether to write them into it. Yes packs them
// into the container (when its lock can be taken; otherwise they are offered
// again next time), No discards them. Nothing is written over a container
// without that answer.
void OfferRecovery(const QString &parent = QString());
