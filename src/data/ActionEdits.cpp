#include "ActionEdits.h"

#include "ScopeGuards.h"
#include "TDataModuleMain.h"

void AssignNewActionId(TDataModuleMain &data)
{
    TTable *actions = data.cdsActions;
    actions->FieldByName(QStringLiteral("ID")).SetAsInteger(data.NextId(rkAction));
    actions->FieldByName(QStringLiteral("ID_CHAIN")).SetAsInteger(data.LastActionId());
}

void MarkActionResolved(TTable &actions, const QDate &today)
{
    actions.FieldByName(QStringLiteral("DATE_STATUS")).SetAsDate(today);
    actions.FieldByName(QStringLiteral("DATE_FINISHED")).SetAsDate(today);
    actions.FieldByName(QStringLiteral("STATUS")).SetAsString(QStringLiteral("Resolved"));
}

void AddResolvedLogEntry(TDataModuleMain &data)
{
    TTable *log = data.cdsLog;
    TTable *actions = data.cdsActions;
    TryFinally(
        [&] {
            log->Append();
            log->FieldByName(QStringLiteral("ID")).SetAsInteger(data.NextId(rkLog));
            log->FieldByName(QStringLiteral("ID_ACTION"))
                .SetAsInteger(actions->FieldByName(QStringLiteral("ID")).AsInteger());
            log->FieldByName(QStringLiteral("STATUS_LINE")).SetAsString(QStringLiteral("Action Resolved"));
            const QString signOff = actions->FieldByName(QStringLiteral("SIGN_OFF")).AsString();
            if (!signOff.trimmed().isEmpty())
                log->FieldByName(QStringLiteral("DESCRIPTION")).SetAsString(signOff);
        },
        [&] {
            if (log->State() == dsInsert && log->FieldByName(QStringLiteral("ID")).IsNull())
                log->Cancel();
            else
                log->Post();
        });
}
