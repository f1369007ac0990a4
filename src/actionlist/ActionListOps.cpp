#include "ActionListOps.h"

#include "ActionEdits.h"
#include "ActionFileNames.h"
#include "ActionFileOpen.h"
#include "OpenCommands.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

namespace {

const QString kId = QStringLiteral("ID");

QString BelongsTo(int actionId)
{
    return QStringLiteral("ID_ACTION = ") + QString::number(actionId);
}

void DeleteChildren(TTable *children, int actionId)
{
    const TFilterKept kept(children);
    children->SetFilter(BelongsTo(actionId));
    children->SetFiltered(true);
    while (children->RecordCount() >= 1) {
        children->First();
        children->Delete();
    }
}

// Runs change on the current record in edit state and posts it; a failure
// cancels the edit before it goes on.
template <typename Change> void EditAndPost(TTable *table, Change change)
{
    table->Edit();
    UndoOnError(
        [&] {
            change();
            table->Post();
        },
        [&] { table->Cancel(); });
}

} // namespace

bool ReloadActionFile(TDataModuleMain &data, bool readOnly)
{
    if (!data.Tables.IsOpen() || data.Tables.FileName().isEmpty())
        return false;
    BusyCursor busy;
    try {
        ReopenActionFile(data, readOnly);
    } catch (const TTablesOpenError &error) {
        ShowOpenError(error);
        return false;
    }
    data.AuxiliaryFolder = AuxiliaryFolder(data.Tables.FileName(), Settings().Folders.Auxiliary);
    return true;
}

void DeleteCurrentAction(TDataModuleMain &data)
{
    // The action goes with its children, together or not at all.
    TChangeScope change(data.Tables);
    TTable *actions = data.cdsActions;
    if (actions->State() != dsBrowse)
        actions->Cancel();
    const QVariant id = actions->FieldByName(kId).Value();
    // An action that was never saved has no ID, and nothing can belong to it.
    if (id.isValid()) {
        DeleteChildren(data.cdsStatement, id.toInt());
        DeleteChildren(data.cdsDecision, id.toInt());
        DeleteChildren(data.cdsLog, id.toInt());
    }
    actions->Delete();
    change.Commit();
}

void ResolveCurrentAction(TDataModuleMain &data, const QDate &today)
{
    // The action and its newest log entry are saved together.
    TTable *actions = data.cdsActions;
    TChangeScope change(data.Tables,
                        QStringLiteral("Resolve Action \"%1\"")
                            .arg(actions->FieldByName(QStringLiteral("ID_ACTION")).AsString().trimmed()));
    const QVariant id = actions->FieldByName(kId).Value();
    EditAndPost(actions, [&] { MarkActionResolved(*actions, today); });
    if (!id.isValid()) {
        change.Commit();
        return;
    }
    // Under the open-actions filter the resolved action leaves the list and
    // another one becomes current, so its log is found by its ID instead.
    TTable *log = data.cdsLog;
    {
        const TFilterKept kept(log);
        log->SetFilter(BelongsTo(id.toInt()));
        log->SetFiltered(true);
        if (log->RecordCount() >= 1) {
            log->First();
            EditAndPost(log, [&] {
                log->FieldByName(QStringLiteral("DATE_STATUS")).SetAsDate(today);
                log->FieldByName(QStringLiteral("STATUS")).SetAsString(QStringLiteral("Resolved"));
            });
        }
    }
    data.FilterLogByAction();
    change.Commit();
}

void SaveActionTables(TDataModuleMain &data)
{
    BusyCursor busy;
    data.Tables.SaveToFiles();
}

void StepHistory(TDataModuleMain &data, bool undo)
{
    BusyCursor busy;
    const TChangeStep step = undo ? data.Tables.Undo() : data.Tables.Redo();
    const int id = TouchedActionId(data.Tables, step, undo);
    if (id >= 0)
        GotoAction(data.cdsActions, id);
    data.FilterLogByAction();
}
