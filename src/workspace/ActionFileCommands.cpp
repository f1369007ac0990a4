#include "ActionFileCommands.h"

#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "FileTransfer.h"
#include "Formats.h"
#include "MemberFiles.h"
#include "NewFileSet.h"
#include "TACTFiles.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kFilter = QStringLiteral("Action Files|*.act");

// The first of the target's six names that already exists, in any case.
QString FirstExistingTarget(const TACTFiles &target)
{
    for (const QString &name : target.Names()) {
        const QString existing = ExistingNameInAnyCase(name);
        if (!existing.isEmpty())
            return existing;
    }
    return QString();
}

// Moves the six files of from to the names of to. A member that does not
// exist is skipped, but the header file must move. On a failure the files
// moved so far are moved back, so the Action File never ends up under two
// names; error then says what failed.
bool TransferActionFile(const TACTFiles &from, const TACTFiles &to, QString &error)
{
    BusyCursor busy;
    // A journal does not travel with its file: each file is made whole on
    // its own first, and journals under the new names (whose files are
    // gone) never reach the files moved there.
    if (!SettleActionFile(from.HeaderFileName(), &error)) {
        error += QStringLiteral("\n\nThe Action File was left as it was.");
        return false;
    }
    RemoveJournals(to.HeaderFileName());
    for (int i = 0; i < TACTFiles::Count; ++i) {
        if (i > 0 && !QFileInfo::exists(from.Name(i)))
            continue;
        QString why;
        if (MoveFileNoReplace(from.Name(i), to.Name(i), &why))
            continue;
        error = QStringLiteral("\"%1\" cannot be moved to \"%2\": %3").arg(from.Name(i), to.Name(i), why);
        bool undone = true;
        for (int j = i - 1; j >= 0; --j)
            if (QFileInfo::exists(to.Name(j)) && !MoveFileNoReplace(to.Name(j), from.Name(j)))
                undone = false;
        error +=
            undone ? QStringLiteral("\n\nThe Action File was left as it was.")
                   : QStringLiteral("\n\nSome files could not be given back their old names; please "
                                    "check the folders \"%1\" and \"%2\".")
                         .arg(QFileInfo(from.HeaderFileName()).path(), QFileInfo(to.HeaderFileName()).path());
        return false;
    }
    return true;
}

// Gives the synchronisation's files of the Action File from to the file's
// new name, so its next synchronisation goes on where the last one ended
// rather than taking every action and todo for new. A file of a deleted
// namesake there is replaced. Moving keeps the auxiliary folder, and the
// files stay where they are. False with error when one could not be moved.
bool CarrySyncFiles(const QString &from, const QString &to, QString &error)
{
    const QStringList olds{SyncAccountFileName(from), SyncStateFileName(from)};
    const QStringList news{SyncAccountFileName(to), SyncStateFileName(to)};
    for (qsizetype i = 0; i < olds.size(); ++i) {
        if (olds[i].isEmpty() || news[i].isEmpty() || olds[i] == news[i] || !QFileInfo::exists(olds[i]))
            continue;
        QDir().mkpath(QFileInfo(news[i]).path());
        QFile::remove(news[i]);
        QString why;
        if (!MoveFileNoReplace(olds[i], news[i], &why)) {
            error = QStringLiteral("\"%1\" cannot be moved to \"%2\": %3").arg(olds[i], news[i], why);
            return false;
        }
    }
    return true;
}

// Takes the lock of actFile for a file operation; refuses, with a message
// under caption, an Action File that another program has open. A folder that
// takes no lock is left to the operation itself to fail in.
bool LockForOperation(TFileLock &lock, const QString &actFile, const QString &verb, const QString &caption)
{
    if (lock.TryLock() != TFileLock::HeldElsewhere)
        return true;
    Ui().MessageBox(TFileLock::InUseText(QStringLiteral("Action File"), actFile, lock.HeldBy()) +
                        QStringLiteral("\n\nIt cannot be %1 while it is open there.").arg(verb),
                    caption, MB_OK | MB_ICONERROR);
    return false;
}

// Renames or moves the Action File from to to after making sure none of the
// six target names is taken and no other program has it open, reporting a
// refusal or failure under caption.
void RelocateActionFile(const TACTFiles &from, const TACTFiles &to, const QString &verb,
                        const QString &caption)
{
    TFileLock lock(from.HeaderFileName());
    if (!LockForOperation(lock, from.HeaderFileName(), verb, caption))
        return;
    const QString taken = FirstExistingTarget(to);
    if (!taken.isEmpty()) {
        Ui().MessageBox(
            QStringLiteral("The Action File cannot be %1, because \"%2\" already exists").arg(verb, taken),
            caption, MB_OK | MB_ICONERROR);
        return;
    }
    QString error;
    if (!TransferActionFile(from, to, error))
        Ui().MessageBox(QStringLiteral("The Action File cannot be %1.\n\n%2").arg(verb, error), caption,
                        MB_OK | MB_ICONERROR);
    else if (!CarrySyncFiles(from.HeaderFileName(), to.HeaderFileName(), error))
        Ui().MessageBox(QStringLiteral("The Action File was %1, but its synchronisation settings were "
                                       "not.\n\n%2")
                            .arg(verb, error),
                        caption, MB_OK | MB_ICONWARNING);
}
} // namespace

bool DeleteActionFile(const QString &selected)
{
    if (selected.isEmpty())
        return false;
    const QString caption = QStringLiteral("Delete Action File");
    TFileLock lock(selected);
    if (!LockForOperation(lock, selected, QStringLiteral("deleted"), caption))
        return false;
    if (Ui().MessageBox(QStringLiteral("Do you really want to permanently remove the selected Action File?"),
                        caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return false;
    {
        BusyCursor busy;
        for (const QString &name : TACTFiles(selected).Names())
            QFile::remove(name);
        RemoveJournals(selected);
        RemoveWriterLeftovers(selected);
        QFile::remove(TNewFileSet::MarkerName(selected));
        // A later file of this name must not take this one's synchronisation
        // for its own: the todos of actions it lacks would be deleted.
        QFile::remove(SyncAccountFileName(selected));
        QFile::remove(SyncStateFileName(selected));
        const QString auxiliary = AuxiliaryFolder(selected);
        if (!auxiliary.isEmpty())
            QDir().rmdir(auxiliary); // removes only an empty folder
        DataModuleMain().AuxiliaryFolder.clear();
    }
    return true;
}

bool RenameActionFile(const QString &selected)
{
    if (selected.isEmpty())
        return false;
    const QString caption = QStringLiteral("Rename Action File");
    QString value = QFileInfo(selected).fileName();
    for (;;) {
        if (!Ui().InputQuery(caption, QStringLiteral("New Action File Name:"), value))
            return false;
        if (value.isEmpty()) {
            Ui().MessageBox(QStringLiteral("Please supply a valid File Name for the new Action File"),
                            QStringLiteral("Invalid File Name"), MB_OK | MB_ICONERROR);
            continue;
        }
        const QString problem = FileNameProblem(value);
        if (problem.isEmpty())
            break;
        Ui().MessageBox(problem, QStringLiteral("Invalid File Name"), MB_OK | MB_ICONERROR);
    }

    const qsizetype slash = selected.lastIndexOf(QLatin1Char('/'));
    const QString renamed = selected.left(slash + 1) + WithActExtension(value);
    if (SameText(renamed, selected))
        return false;
    RelocateActionFile(TACTFiles(selected), TACTFiles(renamed), QStringLiteral("renamed"), caption);
    return true;
}

bool MoveActionFile(const QString &workspace, const QString &selected)
{
    if (selected.isEmpty())
        return false;
    const std::optional<QString> chosen =
        Ui().SelectFolder(QStringLiteral("Move the selected Action File"), workspace);
    if (!chosen || chosen->isEmpty())
        return false;
    if (SamePath(*chosen, workspace) || SamePath(*chosen, QFileInfo(selected).path()))
        return false;
    const QString moved = QDir(*chosen).filePath(QFileInfo(selected).fileName());
    RelocateActionFile(TACTFiles(selected), TACTFiles(moved), QStringLiteral("moved"),
                       QStringLiteral("Move Action File"));
    return true;
}

bool ChangeWorkspace(const QString &workspace)
{
    const QString start = !workspace.isEmpty() && QFileInfo(workspace).isDir()
                              ? workspace
                              : ProgramLocation().UserFilesFolder();
    const std::optional<QString> chosen =
        Ui().SelectFolder(QStringLiteral("Change the current Workspace"), start);
    if (!chosen || chosen->isEmpty() || SamePath(*chosen, workspace))
        return false;
    Settings().Folders.Actions = *chosen;
    return true;
}

void ImportActor(const QString &workspace, const QString &selected)
{
    if (selected.isEmpty())
        return;
    const QString caption = QStringLiteral("Copy Contacts");
    FileDialogOptions options;
    options.title = QStringLiteral("Copy Contacts from another Action File");
    options.filter = kFilter;
    options.initialDir = workspace;
    const std::optional<QString> chosen = Ui().OpenFileDialog(options);
    if (!chosen || chosen->isEmpty())
        return;
    const QString &source = *chosen;
    if (SamePath(source, selected)) {
        Ui().MessageBox(QStringLiteral("Both Action Files are the same, so nothing needs to be copied"),
                        caption, MB_OK | MB_ICONWARNING);
        return;
    }
    const QString question = QStringLiteral("Would you like to replace the Contacts in\n\"") + selected +
                             QStringLiteral("\"\nwith those in\n\"") + source +
                             QStringLiteral("\"?\n\nRemember, the Contacts of\n\"") + selected +
                             QStringLiteral("\"\nwill be overwritten!");
    if (Ui().MessageBox(question, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;

    // The contacts of a file open in another program would be written over
    // when it closes there.
    TFileLock lock(selected);
    if (!LockForOperation(lock, selected, QStringLiteral("changed"), caption))
        return;
    const QString from = TACTFiles(source).Name(TableMember::Actor);
    if (!QFileInfo::exists(from))
        return;
    const QString to = TACTFiles(selected).Name(TableMember::Actor);
    QString error;
    bool copied = false;
    {
        BusyCursor busy;
        // Both files are made whole first: the copy must not take a torn
        // file, nor the target's journal roll back into the new copy.
        copied = SettleTableFile(from, &error) && SettleTableFile(to, &error) &&
                 CopyFileReplacing(from, to, &error);
    }
    if (!copied)
        Ui().MessageBox(QStringLiteral("The Contacts cannot be copied to \"%1\": %2").arg(to, error), caption,
                        MB_OK | MB_ICONERROR);
}
