#include "ActionFileOpen.h"

#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "AppError.h"
#include "Backup.h"
#include "MemberFiles.h"
#include "NewFileSet.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QDir>
#include <QFileInfo>

namespace {
FileDialogOptions ActionFileDialog(const QString &title, const QString &workspace, bool mustExist)
{
    FileDialogOptions options;
    options.title = title;
    options.filter = QStringLiteral("Action Files|*.act");
    options.initialDir = workspace;
    options.mustExist = mustExist;
    return options;
}

bool &ReadOnlyState()
{
    static bool readOnly = false;
    return readOnly;
}

// Marks the table set read-only while the action list shows it.
class ReadOnlyWhileShown {
public:
    explicit ReadOnlyWhileShown(bool readOnly) { ReadOnlyState() = readOnly; }
    ~ReadOnlyWhileShown() { ReadOnlyState() = false; }
    ReadOnlyWhileShown(const ReadOnlyWhileShown &) = delete;
    ReadOnlyWhileShown &operator=(const ReadOnlyWhileShown &) = delete;
};

// Restricts the log to the current action, as the action list expects.
bool ShowOpenedFile(TActionListView &view, bool fromContainer)
{
    TDataModuleMain &data = DataModuleMain();
    data.UnfilterLog();
    data.FilterLogByAction();
    return view.ShowActionList(fromContainer);
}
} // namespace

bool OpenTables(TTables &tables, const QString &actFile, bool create)
{
    try {
        tables.Open(actFile, create);
        return true;
    } catch (const AppError &error) {
        Ui().MessageBox(error.message(), QStringLiteral("File open Error"), MB_OK | MB_ICONERROR);
        return false;
    }
}

bool ActionFileReadOnly()
{
    return ReadOnlyState();
}

void CloseTables(TTables &tables)
{
    // Without file names the tables have nowhere to write: a file opened
    // read-only is never written, not even a member that went missing.
    if (ActionFileReadOnly())
        for (TableMember member : kTableMembers)
            tables.Table(member)->SetFileName(QString());
    tables.Close();
}

bool CloseActionFile()
{
    TTables &tables = DataModuleMain().Tables;
    const bool listChanged = tables.RefreshListOnClose();
    // A failed write leaves the set open with its changes, for another try.
    CloseTables(tables);
    tables.Reset();
    return listChanged;
}

bool NewActionFile(TActionListView &view, const QString &actFile)
{
    // Names differing only in case are one Action File to this program (they
    // would share the auxiliary folder), so either refuses the new one.
    const QString existing = ExistingNameInAnyCase(actFile);
    if (!existing.isEmpty()) {
        Ui().MessageBox(QStringLiteral("The file \"") + existing + QStringLiteral("\" already exists"),
                        QStringLiteral("File already exists"), MB_OK | MB_ICONERROR);
        return false;
    }
    // Another program may be creating the very same file.
    TFileLock lock(actFile);
    const TFileLock::Result locked = lock.TryLock();
    if (locked == TFileLock::HeldElsewhere) {
        Ui().MessageBox(TFileLock::InUseText(QStringLiteral("Action File"), actFile, lock.HeldBy()),
                        QStringLiteral("Action File in use"), MB_OK | MB_ICONERROR);
        return false;
    }
    // Files under the companions' names that are no part of an Action File
    // are not written over.
    try {
        TNewFileSet::CheckFree(actFile);
    } catch (const AppError &error) {
        Ui().MessageBox(error.message(), QStringLiteral("File already exists"), MB_OK | MB_ICONERROR);
        return false;
    }
    TDataModuleMain &data = DataModuleMain();
    if (data.Tables.IsOpen())
        data.Tables.Close();
    // The new files are written as soon as they are made, and every change
    // after: only while this program holds the lock.
    const TLockWriteGuard guard(data.Tables, lock, locked != TFileLock::Locked);
    if (!OpenTables(data.Tables, actFile, true))
        return false;
    data.AuxiliaryFolder = AuxiliaryFolder(actFile);
    if (!data.AuxiliaryFolder.isEmpty())
        QDir().mkpath(data.AuxiliaryFolder);
    data.Tables.SetRefreshListOnClose(true);
    return ShowOpenedFile(view, false);
}

bool OpenActionFile(TActionListView &view, const QString &actFile, bool fromContainer, bool readOnly)
{
    // A folder named like an Action File is none.
    if (!QFileInfo(actFile).isFile()) {
        Ui().MessageBox(QStringLiteral("The file \"") + actFile + QStringLiteral("\" cannot be opened"),
                        QStringLiteral("File cannot be opened"), MB_OK | MB_ICONERROR);
        return false;
    }
    // The lock is held until the action list has closed the file.
    TFileLock lock(actFile);
    if (!readOnly) {
        const std::optional<bool> lockedReadOnly =
            LockForOpening(lock, QStringLiteral("Action File"), actFile);
        if (!lockedReadOnly)
            return false;
        readOnly = *lockedReadOnly;
    }
    TDataModuleMain &data = DataModuleMain();
    if (data.Tables.IsOpen())
        data.Tables.Close();
    // The table writer's leftovers are this program's to remove only while it
    // holds the lock: another program may be writing through one right now.
    if (!readOnly)
        RemoveWriterLeftovers(actFile);
    if (!OpenTables(data.Tables, actFile, false))
        return false;
    // Only files that loaded replace the last good backup. A read-only open
    // writes nothing, not even a backup of files that the program holding
    // them may be writing right now.
    QString backupError;
    if (Settings().General.MakeBackup && !readOnly && !BackupActionFile(actFile, &backupError))
        Ui().MessageBox(
            QStringLiteral("No backup copy of the Action File \"%1\" could be made: %2\n\nThe previous "
                           "backup copy in \"%3\" is kept as it was.")
                .arg(QDir::toNativeSeparators(actFile), backupError,
                     QDir::toNativeSeparators(BackupFolder(actFile))),
            QStringLiteral("Backup not made"), MB_OK | MB_ICONWARNING);
    data.AuxiliaryFolder = AuxiliaryFolder(actFile);
    const ReadOnlyWhileShown access(readOnly);
    const TLockWriteGuard guard(data.Tables, lock, readOnly);
    return ShowOpenedFile(view, fromContainer);
}

bool NewActionFileCommand(TActionListView &view, const QString &workspace)
{
    // A file is created, so the desktop's save dialog is shown; it need not
    // ask about replacing, as an existing name is refused below.
    const std::optional<QString> chosen =
        Ui().SaveFileDialog(ActionFileDialog(QStringLiteral("Create a new Action File"), workspace, false));
    if (!chosen || chosen->isEmpty())
        return false;
    // A name typed as "." or ".." would otherwise yield a file outside the
    // folder the dialog shows, or a hidden one.
    const QString name = QFileInfo(*chosen).fileName();
    const QString problem = name.isEmpty()
                                ? QStringLiteral("Please supply a valid File Name for the new Action File")
                                : FileNameProblem(name);
    if (!problem.isEmpty()) {
        Ui().MessageBox(problem, QStringLiteral("Invalid File Name"), MB_OK | MB_ICONERROR);
        return false;
    }
    return NewActionFile(view, WithActExtension(*chosen));
}

bool OpenActionFileCommand(TActionListView &view, const QString &workspace)
{
    const std::optional<QString> chosen = Ui().OpenFileDialog(
        ActionFileDialog(QStringLiteral("Open an existing Action File"), workspace, true));
    if (!chosen || chosen->isEmpty())
        return false;
    return OpenActionFile(view, *chosen, false);
}
