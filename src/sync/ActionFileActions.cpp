#include "ActionFileActions.h"

#include "ActionEdits.h"
#include "AppError.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TodoMapping.h"

namespace {

const QString kId = QStringLiteral("ID");
const QString kIdAction = QStringLiteral("ID_ACTION");

bool IsSet(const QVariant &value)
{
    return value.isValid() && !(value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

// Puts the cursor of cdsActions on the action; false when it is gone.
bool GotoId(TTable &actions, int id)
{
    return actions.FindKey({id});
}

void DeleteChildren(TTable &children, int id)
{
    const TFilterKept kept(&children);
    children.SetFilter(kIdAction + QStringLiteral(" = ") + QString::number(id));
    children.SetFiltered(true);
    while (children.RecordCount() > 0) {
        children.First();
        children.Delete();
    }
}

// The table's filter and order as they were, whatever the batch did.
class TViewKept {
public:
    explicit TViewKept(TTable &table) : table_(table), index_(table.IndexName()), filtered_(table.Filtered())
    {
        table_.DisableControls();
    }
    ~TViewKept()
    {
        try {
            table_.SetIndexName(index_);
            table_.SetFiltered(filtered_);
        } catch (...) {
        }
        table_.EnableControls();
    }
    TViewKept(const TViewKept &) = delete;
    TViewKept &operator=(const TViewKept &) = delete;

private:
    TTable &table_;
    QString index_;
    bool filtered_;
};

} // namespace

QList<TRecordValues> TActionFileActions::ReadActions()
{
    TTable &actions = *data_.cdsActions;
    const TViewKept kept(actions);
    actions.SetFiltered(false);
    QList<int> fields;
    const QStringList names = TodoActionFields();
    for (const QString &name : names)
        fields.append(actions.FieldIndex(name));
    QList<TRecordValues> result;
    const int rows = actions.RecordCount();
    result.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        TRecordValues values;
        for (qsizetype i = 0; i < names.size(); ++i)
            if (const QVariant value = actions.ValueAt(row, fields[i]); value.isValid())
                values.insert(names[i], value);
        result.append(std::move(values));
    }
    return result;
}

QList<int> TActionFileActions::ApplyChanges(const QList<TActionChange> &changes)
{
    TTable &actions = *data_.cdsActions;
    QList<int> ids;
    {
        const TViewKept kept(actions);
        actions.SetFiltered(false);
        actions.SetIndexName(QStringLiteral("ID_ASC"));
        TChangeScope scope(data_.Tables);
        for (const TActionChange &change : changes)
            Apply(change, ids);
        scope.Commit();
    }
    return ids;
}

void TActionFileActions::Apply(const TActionChange &change, QList<int> &ids)
{
    TTable &actions = *data_.cdsActions;
    if (change.type == TActionChange::Delete) {
        if (!GotoId(actions, change.id))
            return;
        DeleteChildren(*data_.cdsStatement, change.id);
        DeleteChildren(*data_.cdsDecision, change.id);
        DeleteChildren(*data_.cdsLog, change.id);
        actions.Delete();
        return;
    }
    const bool insert = change.type == TActionChange::Insert;
    if (insert) {
        actions.Insert();
    } else if (GotoId(actions, change.id)) {
        actions.Edit();
    } else {
        throw AppError(QStringLiteral("The action %1 is no longer in the Action File").arg(change.id));
    }
    const bool resolve = change.resolve && actions.FieldByName(QStringLiteral("DATE_FINISHED")).IsNull();
    UndoOnError(
        [&] {
            if (insert)
                AssignNewActionId(data_);
            if (resolve)
                MarkActionResolved(actions, QDate::currentDate());
            for (auto it = change.fields.begin(); it != change.fields.end(); ++it) {
                if (it.key() == kId || (insert && !IsSet(it.value())))
                    continue;
                TField field = actions.FieldByName(it.key());
                if (IsSet(it.value()))
                    field.SetValue(it.value());
                else
                    field.Clear();
            }
            // As the action editor's Resolve: the entry carries the sign-off.
            if (resolve && Settings().Actions.TransferData)
                AddResolvedLogEntry(data_);
            actions.Post();
        },
        [&] { actions.Cancel(); });
    const int id = actions.FieldByName(kId).AsInteger();
    if (insert)
        ids.append(id);
    for (const TSyncLogEntry &entry : change.log)
        AddLogEntry(id, entry);
}

void TActionFileActions::AddLogEntry(int id, const TSyncLogEntry &entry)
{
    TTable &log = *data_.cdsLog;
    {
        const TFilterKept kept(&log);
        log.SetFilter(kIdAction + QStringLiteral(" = ") + QString::number(id));
        log.SetFiltered(true);
        const int statusLine = log.FieldIndex(QStringLiteral("STATUS_LINE"));
        const int description = log.FieldIndex(QStringLiteral("DESCRIPTION"));
        for (int row = 0; row < log.RecordCount(); ++row)
            if (log.ValueAt(row, statusLine).toString() == entry.statusLine &&
                log.ValueAt(row, description).toString() == entry.description)
                return;
    }
    // The log's defaults of a new entry read the current action.
    GotoId(*data_.cdsActions, id);
    log.Append();
    UndoOnError(
        [&] {
            log.FieldByName(kId).SetAsInteger(data_.NextId(rkLog));
            log.FieldByName(kIdAction).SetAsInteger(id);
            log.FieldByName(QStringLiteral("STATUS_LINE")).SetAsString(entry.statusLine);
            log.FieldByName(QStringLiteral("DESCRIPTION")).SetAsString(entry.description);
            log.Post();
        },
        [&] { log.Cancel(); });
}
