#include "DravelinMerge.h"

#include "AppError.h"
#include "MergeBase.h"
#include "ScopeGuards.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TTableFile.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

namespace {

const QString kId = QStringLiteral("ID");
const QString kChain = QStringLiteral("ID_CHAIN");
const QString kParent = QStringLiteral("ID_ACTION");

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

TTable *TableOf(const TDataModuleMain &data, TMergeKind kind)
{
    switch (kind) {
    case TMergeKind::Header:
        return data.cdsAction;
    case TMergeKind::Contact:
        return data.cdsActor;
    case TMergeKind::Action:
        return data.cdsActions;
    case TMergeKind::Log:
        return data.cdsLog;
    case TMergeKind::Decision:
        return data.cdsDecision;
    case TMergeKind::Statement:
        return data.cdsStatement;
    }
    return nullptr;
}

TableMember MemberOf(TMergeKind kind)
{
    switch (kind) {
    case TMergeKind::Header:
        return TableMember::Header;
    case TMergeKind::Contact:
        return TableMember::Actor;
    case TMergeKind::Action:
        return TableMember::Actions;
    case TMergeKind::Log:
        return TableMember::Log;
    case TMergeKind::Decision:
        return TableMember::Decision;
    case TMergeKind::Statement:
        return TableMember::Statement;
    }
    return TableMember::Header;
}

// The counter that numbers a kind of record, or -1 for header and contacts.
int CounterOf(TMergeKind kind)
{
    switch (kind) {
    case TMergeKind::Action:
        return rkAction;
    case TMergeKind::Log:
        return rkLog;
    case TMergeKind::Decision:
        return rkDecision;
    case TMergeKind::Statement:
        return rkStatement;
    default:
        return -1;
    }
}

int LastId(const TTables &tables, int counter)
{
    switch (counter) {
    case rkAction:
        return tables.LastActionId();
    case rkLog:
        return tables.LastLogId();
    case rkDecision:
        return tables.LastDecisionId();
    default:
        return tables.LastStatementId();
    }
}

// Every record of table in the order of its file, null fields left out.
QList<TRecordValues> TableRecords(const TTable &table, QList<TBookmark> *bookmarks = nullptr)
{
    const auto &records = table.RecordsInOrder(QString());
    const QList<TFieldDef> &fields = table.FieldDefs();
    // Fields in the order of their names: each is then inserted at the end
    // of the map, without comparing names.
    std::vector<int> byName(size_t(fields.size()));
    std::iota(byName.begin(), byName.end(), 0);
    std::sort(byName.begin(), byName.end(), [&](int a, int b) { return fields[a].name < fields[b].name; });
    QList<TRecordValues> values;
    values.reserve(qsizetype(records.size()));
    for (const TRecord *record : records) {
        TRecordValues row;
        for (int field : byName)
            if (const QVariant &value = record->Value(size_t(field)); value.isValid())
                row.insert(row.cend(), fields[field].name, value);
        values.append(std::move(row));
        if (bookmarks)
            bookmarks->append(record->Serial());
    }
    return values;
}

int IntValue(const TRecordValues &record, const QString &field)
{
    const QVariant value = record.value(field);
    return value.isValid() ? value.toInt() : -1;
}

// The identifiers of a kind of record present in a set.
QSet<int> IdsOf(const TRecordSet &set, TMergeKind kind)
{
    QSet<int> ids;
    for (const TRecordValues &record : set[kind])
        if (const QVariant id = record.value(kId); id.isValid())
            ids.insert(id.toInt());
    return ids;
}

// Sets a record's fields from values; a field values leaves out is null.
void SetFields(TTable &table, const TRecordValues &values, bool all)
{
    if (!all) {
        for (auto it = values.begin(); it != values.end(); ++it)
            table.FieldByName(it.key()).SetValue(it.value());
        return;
    }
    for (const TFieldDef &field : table.FieldDefs()) {
        const QVariant value = values.value(field.name);
        if (value.isValid())
            table.FieldByName(field.name).SetValue(value);
        else
            table.FieldByName(field.name).Clear();
    }
}

// The six tables of the open file with their filters off, so that every
// record can be reached, and their grids still until the end.
class TAllRecordsShown {
public:
    explicit TAllRecordsShown(const TDataModuleMain &data)
    {
        for (int k = 0; k < kMergeKindCount; ++k)
            disabled_.push_back(std::make_unique<TControlsDisabled>(TableOf(data, TMergeKind(k))));
        // The filters come back before the grids repaint.
        for (int k = 0; k < kMergeKindCount; ++k) {
            TTable *table = TableOf(data, TMergeKind(k));
            kept_.push_back(std::make_unique<TFilterKept>(table));
            table->SetFiltered(false);
        }
    }

private:
    std::vector<std::unique_ptr<TControlsDisabled>> disabled_;
    std::vector<std::unique_ptr<TFilterKept>> kept_;
};

} // namespace

TRecordSet ReadActionFileRecords(const TDataModuleMain &data, const QString &actFile)
{
    TRecordSet set;
    for (int k = 0; k < kMergeKindCount; ++k) {
        const TTable &model = *TableOf(data, TMergeKind(k));
        TTable table(model.TableName(), model.FieldDefs());
        table.SetFileName(TTables::TableFileName(actFile, MemberOf(TMergeKind(k))));
        table.Open();
        set[TMergeKind(k)] = TableRecords(table);
    }
    return set;
}

TRecordSet ReadDravelinFileRecords(TDataModuleMain &data, const QString &container)
{
    if (!QFileInfo(container).isFile())
        throw AppError(QStringLiteral("Cannot open Files: ") + Quoted(container));
    TCDSParser parser(container, data.TempFiles);
    try {
        if (!parser.Unpack())
            throw AppError(QStringLiteral("This is not a valid Dravelin File: ") + Quoted(container),
                           container);
    } catch (const TContainerError &failure) {
        throw AppError(QStringLiteral("Cannot open Files: ") + Quoted(container), failure.FileName(),
                       failure.message());
    }
    try {
        return ReadActionFileRecords(data, parser.ActFileName());
    } catch (const TTableFileError &error) {
        throw AppError(
            QStringLiteral("The Dravelin File %1 cannot be read: %2").arg(Quoted(container), error.Cause()));
    }
}

bool GrewFrom(const TRecordSet &base, const TRecordSet &side)
{
    const QList<TRecordValues> &baseActions = base[TMergeKind::Action];
    if (baseActions.isEmpty()) {
        const QVariant entered = base[TMergeKind::Header].value(0).value(QStringLiteral("DATE_ENTERED"));
        return entered.isValid() &&
               SameValue(entered, side[TMergeKind::Header].value(0).value(QStringLiteral("DATE_ENTERED")));
    }
    QHash<int, const TRecordValues *> byId;
    for (const TRecordValues &action : side[TMergeKind::Action])
        byId.insert(IntValue(action, kId), &action);
    for (const TRecordValues &action : baseActions) {
        const TRecordValues *other = byId.value(IntValue(action, kId));
        if (!other)
            continue;
        for (const char *field : {"ATTRIBUTE", "ID_ACTION"}) {
            const QVariant value = action.value(QLatin1String(field));
            if (value.isValid() && SameValue(value, other->value(QLatin1String(field))))
                return true;
        }
    }
    return false;
}

TDravelinMerge::TDravelinMerge(TDataModuleMain &data, const QString &returnedFile,
                               const QString &auxiliaryFolder)
    : data_(data), returned_(returnedFile)
{
    const TRecordSet theirs = ReadDravelinFileRecords(data, returnedFile);
    for (int k = 0; k < kMergeKindCount; ++k)
        mine_[TMergeKind(k)] = TableRecords(*TableOf(data, TMergeKind(k)), &bookmarks_[size_t(k)]);

    const QString baseFile = MergeBaseFileName(auxiliaryFolder, returnedFile);
    if (!baseFile.isEmpty() && QFileInfo(baseFile).isFile()) {
        try {
            TRecordSet base = ReadDravelinFileRecords(data, baseFile);
            if (GrewFrom(base, mine_) && GrewFrom(base, theirs)) {
                base_ = std::move(base);
                baseFile_ = baseFile;
            }
        } catch (const AppError &) {
            // A damaged base only costs the three-way comparison.
        }
    }
    plan_ = PlanMerge(base_ ? &*base_ : nullptr, mine_, theirs);
}

void TDravelinMerge::Apply()
{
    const QList<TRecordOp> ops = plan_.OpsForMine();
    // One step of the history: undo takes the whole merge back.
    TChangeScope change(data_.Tables,
                        QStringLiteral("Merge Dravelin File \"%1\"").arg(QFileInfo(returned_).fileName()));
    {
        const TAllRecordsShown shown(data_);

        // The numbers of the records taken from the returned file, decided
        // before any is inserted, so that chains between them are kept.
        std::array<QSet<int>, kMergeKindCount> used, based;
        for (int k = 0; k < kMergeKindCount; ++k) {
            used[size_t(k)] = IdsOf(mine_, TMergeKind(k));
            if (base_)
                based[size_t(k)] = IdsOf(*base_, TMergeKind(k));
        }
        std::array<QHash<int, int>, kMergeKindCount> renumbered;
        const auto insertedId = [&](const TRecordOp &op) {
            const int id = IntValue(op.values, kId);
            return renumbered[size_t(op.kind)].value(id, id);
        };
        for (const TRecordOp &op : ops) {
            const int counter = CounterOf(op.kind);
            if (op.type != TRecordOp::Insert || counter < 0)
                continue;
            const int id = IntValue(op.values, kId);
            auto &taken = used[size_t(op.kind)];
            // A record this file had before keeps its number where it is free.
            if (id >= 0 && based[size_t(op.kind)].contains(id) && !taken.contains(id)) {
                taken.insert(id);
                continue;
            }
            int next = data_.Tables.NextId(counter);
            while (taken.contains(next))
                next = data_.Tables.NextId(counter);
            taken.insert(next);
            renumbered[size_t(op.kind)].insert(id, next);
        }
        // The counters pass every number kept, so none is handed out again.
        for (int k = 0; k < kMergeKindCount; ++k) {
            const int counter = CounterOf(TMergeKind(k));
            if (counter < 0 || used[size_t(k)].isEmpty())
                continue;
            const int highest = *std::max_element(used[size_t(k)].begin(), used[size_t(k)].end());
            if (LastId(data_.Tables, counter) < highest)
                data_.Tables.SeedCounter(MemberOf(TMergeKind(k)), highest);
        }
        // An identifier from the returned file as it is here.
        const auto mapped = [&](TMergeKind kind, TRecordValues values) {
            if (kind == TMergeKind::Action && values.contains(kChain)) {
                const int chain = values.value(kChain).toInt();
                values.insert(kChain, renumbered[size_t(TMergeKind::Action)].value(chain, chain));
            } else if (CounterOf(kind) >= 0 && kind != TMergeKind::Action && values.contains(kParent)) {
                const int parent = values.value(kParent).toInt();
                values.insert(kParent, renumbered[size_t(TMergeKind::Action)].value(parent, parent));
            }
            return values;
        };

        for (const TRecordOp &op : ops) {
            TTable &table = *TableOf(data_, op.kind);
            switch (op.type) {
            case TRecordOp::Delete:
                table.GotoBookmark(bookmarks_[size_t(op.kind)][op.row]);
                table.Delete();
                break;
            case TRecordOp::Update:
                table.GotoBookmark(bookmarks_[size_t(op.kind)][op.row]);
                table.Edit();
                UndoOnError(
                    [&] {
                        SetFields(table, mapped(op.kind, op.values), false);
                        table.Post();
                    },
                    [&] { table.Cancel(); });
                break;
            case TRecordOp::Insert: {
                TRecordValues values = mapped(op.kind, op.values);
                if (CounterOf(op.kind) >= 0 && values.contains(kId))
                    values.insert(kId, insertedId(op));
                table.Append();
                UndoOnError(
                    [&] {
                        SetFields(table, values, true);
                        table.Post();
                    },
                    [&] { table.Cancel(); });
                break;
            }
            }
        }
    }
    change.Commit();
}
