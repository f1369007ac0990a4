#include "FileCommands.h"

#include "ActionFileCommands.h"
#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "AppError.h"
#include "Formats.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QDir>
#include <QFileInfo>

namespace {
void ShowError(const QString &text, const QString &caption)
{
    Ui().MessageBox(text, caption, MB_OK | MB_ICONERROR);
}

// Takes the lock of actFile for a file operation; refuses, with a message
// under caption, an Action File that another program has open.
bool LockForOperation(TFileLock &lock, const QString &actFile, const QString &verb, const QString &caption)
{
    try {
        LockForFileOperation(lock, actFile);
        return true;
    } catch (const TFileInUseError &error) {
        ShowError(error.message() + QStringLiteral("\n\nIt cannot be %1 while it is open there.").arg(verb),
                  caption);
        return false;
    }
}

// Renames or moves the Action File from to to, reporting a refusal or
// failure under caption.
void RelocateActionFile(const QString &from, const QString &to, const QString &verb, const QString &caption)
{
    TFileLock lock(from);
    if (!LockForOperation(lock, from, verb, caption))
        return;
    try {
        BusyCursor busy;
        const QString notCarried = RelocateActionFile(from, to, Settings().Folders.Auxiliary);
        if (!notCarried.isEmpty())
            Ui().MessageBox(QStringLiteral("The Action File was %1, but its synchronisation settings were "
                                           "not.\n\n%2")
                                .arg(verb, notCarried),
                            caption, MB_OK | MB_ICONWARNING);
    } catch (const TNameTakenError &error) {
        ShowError(QStringLiteral("The Action File cannot be %1, because \"%2\" already exists")
                      .arg(verb, error.FileName()),
                  caption);
    } catch (const AppError &error) {
        ShowError(QStringLiteral("The Action File cannot be %1.\n\n%2").arg(verb, error.message()), caption);
    }
}
} // namespace

bool DeleteActionFileCommand(TDataModuleMain &data, const QString &selected)
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
    BusyCursor busy;
    DeleteActionFile(selected, Settings().Folders.Auxiliary);
    data.AuxiliaryFolder.clear();
    return true;
}

bool RenameActionFileCommand(const QString &selected)
{
    if (selected.isEmpty())
        return false;
    const QString caption = QStringLiteral("Rename Action File");
    QString value = QFileInfo(selected).fileName();
    for (;;) {
        if (!Ui().InputQuery(caption, QStringLiteral("New Action File Name:"), value))
            return false;
        if (value.isEmpty()) {
            ShowError(QStringLiteral("Please supply a valid File Name for the new Action File"),
                      QStringLiteral("Invalid File Name"));
            continue;
        }
        const QString problem = FileNameProblem(value);
        if (problem.isEmpty())
            break;
        ShowError(problem, QStringLiteral("Invalid File Name"));
    }

    const qsizetype slash = selected.lastIndexOf(QLatin1Char('/'));
    const QString renamed = selected.left(slash + 1) + WithActExtension(value);
    if (SameText(renamed, selected))
        return false;
    RelocateActionFile(selected, renamed, QStringLiteral("renamed"), caption);
    return true;
}

bool MoveActionFileCommand(const QString &workspace, const QString &selected)
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
    RelocateActionFile(selected, moved, QStringLiteral("moved"), QStringLiteral("Move Action File"));
    return true;
}

bool ChangeWorkspaceCommand(const QString &workspace)
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

void ImportActorCommand(const QString &workspace, const QString &selected)
{
    if (selected.isEmpty())
        return;
    const QString caption = QStringLiteral("Copy Contacts");
    FileDialogOptions options;
    options.title = QStringLiteral("Copy Contacts from another Action File");
    options.filter = QStringLiteral("Action Files|*.act");
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
    try {
        BusyCursor busy;
        CopyContacts(source, selected);
    } catch (const AppError &error) {
        ShowError(error.message(), caption);
    }
}
