#include "OpenCommands.h"

#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "ActionFileOpen.h"
#include "AppError.h"
#include "Backup.h"
#include "ContainerCommands.h"
#include "ContainerWriteBack.h"
#include "MergeBase.h"
#include "NewFileSet.h"
#include "ScopeGuards.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace {
const QString &FileErrorCaption()
{
    static const QString caption(QStringLiteral("File Error"));
    return caption;
}

const QString &PackFailedText()
{
    static const QString text(QStringLiteral("The Action File could not be saved as a Dravelin File"));
    return text;
}

void ShowError(const QString &text, const QString &caption)
{
    Ui().MessageBox(text, caption, MB_OK | MB_ICONERROR);
}

FileDialogOptions FileDialog(const QString &title, const QString &filter, const QString &folder)
{
    FileDialogOptions options;
    options.title = title;
    options.filter = filter;
    options.initialDir = folder;
    return options;
}

FileDialogOptions ActionFileDialog(const QString &title, const QString &workspace, bool mustExist)
{
    FileDialogOptions options = FileDialog(title, QStringLiteral("Action Files|*.act"), workspace);
    options.mustExist = mustExist;
    return options;
}

FileDialogOptions DravelinDialog(const QString &title)
{
    return FileDialog(title, QStringLiteral("Dravelin Files|*.dravelin"), Settings().Folders.Dravelin);
}

// Asks whether to open a file that another program holds read-only.
bool AskOpenReadOnly(const QString &what, const QString &fileName, const TFileLock::Holder &holder)
{
    const QString text =
        TFileLock::InUseText(what, fileName, holder) +
        QStringLiteral("\n\nChanges made here could overwrite that program's work, so it can only be "
                       "opened read-only.\n\nDo you want to open it read-only? Choose No to cancel.");
    return Ui().MessageBox(text, QStringLiteral("Action File in use"), MB_YESNO | MB_ICONWARNING) == IDYES;
}

// Takes the lock of a file the user opens. Whether to open it read-only:
// when another program holds it and the user chose read-only, or when no
// lock can be made there; nothing when the user cancelled.
std::optional<bool> LockForOpeningAsked(TFileLock &lock, const QString &what, const QString &fileName)
{
    switch (LockForOpening(lock)) {
    case TLockOutcome::Locked:
        return false;
    case TLockOutcome::HeldElsewhere:
        if (!AskOpenReadOnly(what, fileName, lock.HeldBy()))
            return std::nullopt;
        return true;
    case TLockOutcome::NoLock:
        return true;
    }
    return true;
}

// Restricts the log to the current action, as the action list expects.
bool ShowOpenedFile(TActionListView &view, const TOpenActionFile &file, bool fromContainer)
{
    TDataModuleMain &data = file.Data();
    data.UnfilterLog();
    data.FilterLogByAction();
    return view.ShowActionList(data, fromContainer, file.ReadOnly());
}

// OpenActionFile, for a file unpacked from container when that is set.
bool OpenAndShow(TDataModuleMain &data, TActionListView &view, const QString &actFile,
                 const QString &container, bool fromContainer, bool readOnly)
{
    try {
        RefuseNonFile(actFile);
    } catch (const AppError &error) {
        ShowError(error.message(), QStringLiteral("File cannot be opened"));
        return false;
    }
    // The lock is held until the action list has closed the file.
    TFileLock lock(actFile);
    if (!readOnly) {
        const std::optional<bool> lockedReadOnly =
            LockForOpeningAsked(lock, QStringLiteral("Action File"), actFile);
        if (!lockedReadOnly)
            return false;
        readOnly = *lockedReadOnly;
    }
    std::optional<TOpenActionFile> file;
    TOpenActionFile::Options options;
    options.readOnly = readOnly;
    options.container = container;
    if (!OpenActionFileTables(file, data, lock, actFile, options))
        return false;
    // Only files that loaded replace the last good backup. A read-only open
    // writes nothing, not even a backup of files that the program holding
    // them may be writing right now.
    if (Settings().General.MakeBackup && !readOnly) {
        try {
            BusyCursor busy;
            BackupActionFile(actFile);
        } catch (const AppError &error) {
            Ui().MessageBox(
                QStringLiteral("No backup copy of the Action File \"%1\" could be made: %2\n\nThe previous "
                               "backup copy in \"%3\" is kept as it was.")
                    .arg(QDir::toNativeSeparators(actFile), error.message(),
                         QDir::toNativeSeparators(BackupFolder(actFile))),
                QStringLiteral("Backup not made"), MB_OK | MB_ICONWARNING);
        }
    }
    data.AuxiliaryFolder = AuxiliaryFolder(actFile, Settings().Folders.Auxiliary);
    return ShowOpenedFile(view, *file, fromContainer);
}

// Writes the unpacked files back into the container when the list closes.
// On failure they are taken off the temporary-files registry, so the edits
// survive the end of the program, and the message names them; the next start
// offers them for recovery too.
void WriteBackAtClose(TDataModuleMain &data, TContainerWriteBack &writeBack, const QString &actFile,
                      const QString &containerFileName)
{
    QString error;
    try {
        BusyCursor busy;
        writeBack.WriteBack();
        return;
    } catch (const AppError &failure) {
        error = failure.message();
    }
    const auto members = TACTFiles(actFile).Names();
    data.TempFiles.Keep(QStringList(members.begin(), members.end()));
    Ui().MessageBox(
        PackFailedText() +
            QStringLiteral("\n\nThe Dravelin File \"%1\" keeps its previous content (%2). Your work is "
                           "kept in the Action File \"%3\" and the files beside it whose names "
                           "begin with that name; they are not deleted when the program ends.")
                .arg(QDir::toNativeSeparators(containerFileName), error, QDir::toNativeSeparators(actFile)),
        FileErrorCaption(), MB_OK | MB_ICONERROR);
}

// A write-back due by the clock that failed; the next change or the close
// tries again.
void TellWriteBackFailed(const QString &container, const QString &reason)
{
    Ui().MessageBox(
        QStringLiteral("The Action File could not be saved as a Dravelin File\n\n"
                       "The Dravelin File \"%1\" keeps its previous content: %2.\n\nYour changes are "
                       "kept in the unpacked files and written into it again with your next change "
                       "and when you close it.")
            .arg(QDir::toNativeSeparators(container), reason),
        FileErrorCaption(), MB_OK | MB_ICONERROR);
}
} // namespace

void ShowOpenError(const AppError &error)
{
    ShowError(error.message(), QStringLiteral("File open Error"));
}

bool OpenActionFileTables(std::optional<TOpenActionFile> &file, TDataModuleMain &data, TFileLock &lock,
                          const QString &actFile, const TOpenActionFile::Options &options)
{
    try {
        file.emplace(data, lock, actFile, options);
        return true;
    } catch (const AppError &error) {
        ShowOpenError(error);
        return false;
    }
}

bool NewActionFile(TDataModuleMain &data, TActionListView &view, const QString &actFile)
{
    try {
        RefuseTakenName(actFile);
    } catch (const AppError &error) {
        ShowError(error.message(), QStringLiteral("File already exists"));
        return false;
    }
    // Another program may be creating the very same file. Where no lock can
    // be made the new files cannot be written either, which opening tells.
    TFileLock lock(actFile);
    bool readOnly = false;
    try {
        if (lock.TryLock() == TFileLock::HeldElsewhere) {
            ShowError(TFileLock::InUseText(QStringLiteral("Action File"), actFile, lock.HeldBy()),
                      QStringLiteral("Action File in use"));
            return false;
        }
    } catch (const AppError &) {
        readOnly = true;
    }
    // Files under the companions' names that are no part of an Action File
    // are not written over.
    try {
        TNewFileSet::CheckFree(actFile);
    } catch (const AppError &error) {
        ShowError(error.message(), QStringLiteral("File already exists"));
        return false;
    }
    std::optional<TOpenActionFile> file;
    TOpenActionFile::Options options;
    options.readOnly = readOnly;
    options.create = true;
    if (!OpenActionFileTables(file, data, lock, actFile, options))
        return false;
    data.AuxiliaryFolder = AuxiliaryFolder(actFile, Settings().Folders.Auxiliary);
    if (!data.AuxiliaryFolder.isEmpty())
        QDir().mkpath(data.AuxiliaryFolder);
    data.Tables.SetRefreshListOnClose(true);
    return ShowOpenedFile(view, *file, false);
}

bool OpenActionFile(TDataModuleMain &data, TActionListView &view, const QString &actFile, bool fromContainer,
                    bool readOnly)
{
    return OpenAndShow(data, view, actFile, QString(), fromContainer, readOnly);
}

bool NewActionFileCommand(TDataModuleMain &data, TActionListView &view, const QString &workspace)
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
        ShowError(problem, QStringLiteral("Invalid File Name"));
        return false;
    }
    return NewActionFile(data, view, WithActExtension(*chosen));
}

bool OpenActionFileCommand(TDataModuleMain &data, TActionListView &view, const QString &workspace)
{
    const std::optional<QString> chosen = Ui().OpenFileDialog(
        ActionFileDialog(QStringLiteral("Open an existing Action File"), workspace, true));
    if (!chosen || chosen->isEmpty())
        return false;
    return OpenActionFile(data, view, *chosen, false);
}

bool OpenDravelinFile(TDataModuleMain &data, TActionListView &view, const QString &containerFileName)
{
    // The unpacked copy is private to this program, so the container itself
    // is locked: a second program's write-back would erase this one's work.
    TFileLock lock(containerFileName);
    const std::optional<bool> lockedReadOnly =
        LockForOpeningAsked(lock, QStringLiteral("Dravelin File"), containerFileName);
    if (!lockedReadOnly)
        return false;
    const bool readOnly = *lockedReadOnly;

    QString actFile;
    bool valid = false;
    try {
        BusyCursor busy;
        TCDSParser parser(containerFileName, data.TempFiles);
        actFile = parser.ActFileName();
        valid = parser.Unpack();
    } catch (const AppError &) {
        ShowError(QStringLiteral("Cannot open Files"), FileErrorCaption());
        return false;
    }
    if (!valid) {
        ShowError(QStringLiteral("This is not a valid Dravelin File"), FileErrorCaption());
        return false;
    }

    // A container opened read-only is never written back.
    if (readOnly)
        return OpenAndShow(data, view, actFile, containerFileName, true, true);
    // The container follows the changes a few seconds behind, and is written
    // back however the action list ended, even by an error, so it always
    // holds what the unpacked files hold.
    TContainerWriteBack writeBack(data, lock, actFile, containerFileName);
    QObject::connect(&writeBack, &TContainerWriteBack::WriteBackFailed, &writeBack,
                     [&](const QString &reason) { TellWriteBackFailed(containerFileName, reason); });
    bool listChanged = false;
    TryFinally([&] { listChanged = OpenAndShow(data, view, actFile, containerFileName, true, false); },
               [&] { WriteBackAtClose(data, writeBack, actFile, containerFileName); });
    return listChanged;
}

bool OpenDravelinFileCommand(TDataModuleMain &data, TActionListView &view)
{
    FileDialogOptions options = DravelinDialog(QStringLiteral("Open an existing Dravelin File"));
    options.mustExist = true;
    const std::optional<QString> chosen = Ui().OpenFileDialog(options);
    if (!chosen || chosen->isEmpty())
        return false;
    return OpenDravelinFile(data, view, WithDravelinExtension(*chosen));
}

namespace {

// Keeps a copy of the container just written, for a merge when it comes
// back. A file unpacked from a container has no auxiliary folder of its own
// (its name is temporary), and a copy that cannot be kept only makes a later
// merge two-way, so neither stops the save.
void KeepPackedState(const TDataModuleMain &data, const QString &container)
{
    if (!data.ContainerFileName.isEmpty())
        return;
    try {
        KeepMergeBase(data.AuxiliaryFolder, container);
    } catch (const AppError &) {
    }
}

} // namespace

bool SaveAsDravelinFileCommand(TDataModuleMain &data, bool readOnly)
{
    // Saving starts by writing the open tables, which a read-only file never is.
    if (readOnly)
        return false;
    FileDialogOptions options =
        DravelinDialog(QStringLiteral("Save the current Action File as a Dravelin File"));
    options.overwritePrompt = true;
    const std::optional<QString> chosen = Ui().SaveFileDialog(options);
    if (!chosen || chosen->isEmpty())
        return false;
    const QString container = WithDravelinExtension(*chosen);
    // The dialog asked about the name as typed; the name actually written
    // gets its own question before it replaces anything.
    if (container != *chosen && QFileInfo::exists(container) &&
        Ui().MessageBox(QStringLiteral("The file \"%1\" already exists.\n\nDo you want to replace it?")
                            .arg(QDir::toNativeSeparators(container)),
                        QStringLiteral("Confirm Save As"),
                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return false;
    try {
        BusyCursor busy;
        SaveAsDravelinFile(data.Tables, container);
        KeepPackedState(data, container);
    } catch (const TContainerError &) {
        ShowError(PackFailedText(), FileErrorCaption());
        return false;
    }
    Ui().MessageBox(QStringLiteral("Action File successfully saved as \"") + container + QLatin1Char('"'),
                    QStringLiteral("Action File Saved"), MB_OK | MB_ICONINFORMATION);
    return true;
}

void OfferRecovery(const QString &parent)
{
    for (const TEndedRun &run : FindUnsavedChanges(parent)) {
        bool left = false;
        for (const TUnsavedChanges &changes : run.changes) {
            const QString question =
                QStringLiteral("The program ended before it wrote your changes back into the Dravelin File "
                               "\"%1\".\n\nDo you want to write them into it now? Choose No to discard them.")
                    .arg(QDir::toNativeSeparators(changes.container));
            if (Ui().MessageBox(question, QStringLiteral("Recover Changes"), MB_YESNO | MB_ICONQUESTION) !=
                IDYES) {
                DiscardChanges(changes);
                continue;
            }
            try {
                BusyCursor busy;
                RecoverChanges(changes);
                continue;
            } catch (const AppError &error) {
                left = true;
                Ui().MessageBox(
                    QStringLiteral("The changes cannot be written into the Dravelin File \"%1\" now: "
                                   "%2\n\nThey are offered again at the next start.")
                        .arg(QDir::toNativeSeparators(changes.container), error.message()),
                    QStringLiteral("Recover Changes"), MB_OK | MB_ICONWARNING);
            }
        }
        if (!left)
            RemoveEndedRun(run);
    }
}
