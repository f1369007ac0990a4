#include "SaveAsActionFile.h"

#include "ActionFileNames.h"
#include "ActionListOps.h"
#include "AppError.h"
#include "MemberFiles.h"
#include "NewFileSet.h"
#include "TACTFiles.h"
#include "TDataModuleMain.h"
#include "UiServices.h"

#include <QDir>
#include <QFile>

namespace {
// Asks for the name of the copy until it is usable; empty on Cancel.
QString AskCopyName(const QDir &workspace)
{
    QString value;
    for (;;) {
        if (!Ui().InputQuery(QStringLiteral("Save as Action File"), QStringLiteral("Action File Name:"),
                             value))
            return QString();
        if (value.isEmpty()) {
            Ui().MessageBox(QStringLiteral("Please enter a Value for Action File"),
                            QStringLiteral("No Input"), MB_OK | MB_ICONERROR);
            continue;
        }
        // A folder in the name, "." or ".." would put the copy outside the
        // Workspace or hide it.
        if (const QString problem = FileNameProblem(value); !problem.isEmpty()) {
            Ui().MessageBox(problem, QStringLiteral("Invalid File Name"), MB_OK | MB_ICONERROR);
            continue;
        }
        if (ExistingNameInAnyCase(workspace.filePath(value)).isEmpty() &&
            ExistingNameInAnyCase(workspace.filePath(value + QStringLiteral(".act"))).isEmpty())
            return value;
        Ui().MessageBox(
            QStringLiteral("The Action File \"%1\" already exists in the current Workspace").arg(value),
            QStringLiteral("Action File already exists"), MB_OK | MB_ICONERROR);
    }
}

// Copies the six files into a new Action File that appears whole or not at
// all; throws AppError with the reason.
void CopyActionFile(const TACTFiles &from, const QString &target)
{
    // The copies take whole files only.
    SettleActionFile(from.HeaderFileName());
    TNewFileSet files(target);
    for (TableMember member : kTableMembers)
        files.StageCopy(member, from.Name(member));
    files.Publish();
}
} // namespace

bool SaveAsActionFileCommand(TDataModuleMain &data, const QString &workspace)
{
    const QDir folder(workspace);
    const QString name = AskCopyName(folder);
    if (name.isEmpty())
        return false;

    SaveActionTables(data);
    QString error;
    if (workspace.isEmpty()) {
        // An empty path would mean the current folder of the process.
        error = QStringLiteral("No Workspace folder is set");
    } else {
        try {
            BusyCursor busy;
            CopyActionFile(TACTFiles(data.Tables.FileName()), folder.filePath(name + QStringLiteral(".act")));
        } catch (const AppError &failure) {
            error = failure.message();
        }
    }
    if (!error.isEmpty()) {
        Ui().MessageBox(
            QStringLiteral("The Action File \"%1\" could not be saved into the current Workspace.\n\n%2")
                .arg(name, error),
            QStringLiteral("File Error"), MB_OK | MB_ICONERROR);
        return false;
    }
    data.Tables.SetRefreshListOnClose(true);
    Ui().MessageBox(
        QStringLiteral("The Action File \"%1\" has been successfully saved into the current Workspace")
            .arg(name),
        QStringLiteral("Action File saved"), MB_OK | MB_ICONINFORMATION);
    return true;
}
