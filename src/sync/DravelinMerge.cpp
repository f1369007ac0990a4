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

// The fields of a table in the order of their names: each is then inserted
// at the end of a record's map, without comparing names.
std::vector<int> FieldsByName(const QList<TFieldDef> &fields)
{
    std::vector<int> byName(size_t(fields.size()));
    std::iota(byName.begin(), byName.end(), 0);
    std::sort(byName.begin(), byName.end(), [&](int a, int b) { return fields[a].name < fields[b].name; });
    return byName;
}

// A record's fields, null fields left out.
TRecordValues RecordValues(const TRecord &record, const QList<TFieldDef> &fields,
                           const std::vector<int> &byName)
{
    TRecordValues row;
    for (int field : byName)
        if (const QVariant &value = record.Value(size_t(field)); value.isValid())
            row.insert(row.cend(), fields[field].name, value);
    return row;
}

// Every record of table in the order of its file, null fields left out.
QList<TRecordValues> TableRecords(const TTable &table)
{
    const auto &records = table.RecordsInOrder(QString());
    const std::vector<int> byName = FieldsByName(table.FieldDefs());
    QList<TRecordValues> values;
    values.reserve(qsizetype(records.size()));
    for (const TRecord *record : records)
        values.append(RecordValues(*record, table.FieldDefs(), byName));
    return values;
}

int IntValue(const TRecordValues &record, const QString &field)
{
    const QVariant value = record.value(field);
    return value.isValid() ? value.toInt() : -1;
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

// The numbers of the records in a table.
QSet<int> NumbersOf(const TTable &table)
{
    QSet<int> ids;
    const int idField = table.FieldIndex(kId);
    if (idField < 0)
        return ids;
    for (const TRecord *record : table.RecordsInOrder(QString()))
        if (const QVariant id = record->Value(size_t(idField)); id.isValid())
            ids.insert(id.toInt());
    return ids;
}

// The six tables of a version, by kind.
using TTableSet = std::array<const TTable *, kMergeKindCount>;
using TOwnTables = std::array<std::unique_ptr<TTable>, kMergeKindCount>;

TTableSet View(const TOwnTables &tables)
{
    TTableSet view{};
    for (int k = 0; k < kMergeKindCount; ++k)
        view[size_t(k)] = tables[size_t(k)].get();
    return view;
}

TOwnTables OpenActionFileTables(const TDataModuleMain &data, const QString &actFile)
{
    TOwnTables tables;
    for (int k = 0; k < kMergeKindCount; ++k) {
        const TTable &model = *TableOf(data, TMergeKind(k));
        auto table = std::make_unique<TTable>(model.TableName(), model.FieldDefs());
        table->SetFileName(TTables::TableFileName(actFile, MemberOf(TMergeKind(k))));
        table->Open();
        tables[size_t(k)] = std::move(table);
    }
    return tables;
}

TOwnTables OpenDravelinFileTables(TDataModuleMain &data, const QString &container)
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
        return OpenActionFileTables(data, parser.ActFileName());
    } catch (const TTableFileError &error) {
        throw AppError(
            QStringLiteral("The Dravelin File %1 cannot be read: %2").arg(Quoted(container), error.Cause()));
    }
}

TRecordSet RecordsOf(const TOwnTables &tables)
{
    TRecordSet set;
    for (int k = 0; k < kMergeKindCount; ++k)
        set[TMergeKind(k)] = TableRecords(*tables[size_t(k)]);
    return set;
}

// What tells whether one version grew from another: its actions' numbers,
// attributes and Action IDs, and the date of entry in its header.
struct TOrigin {
    struct TAction {
        int id = -1;
        QVariant attribute, actionId;
    };
    QList<TAction> actions;
    QVariant entered;
};

const QString kAttribute = QStringLiteral("ATTRIBUTE");
const QString kEntered = QStringLiteral("DATE_ENTERED");

TOrigin OriginOf(const TRecordSet &set)
{
    TOrigin origin;
    for (const TRecordValues &action : set[TMergeKind::Action])
        origin.actions.append({IntValue(action, kId), action.value(kAttribute), action.value(kParent)});
    origin.entered = set[TMergeKind::Header].value(0).value(kEntered);
    return origin;
}

TOrigin OriginOf(const TTableSet &tables)
{
    TOrigin origin;
    const TTable &actions = *tables[size_t(TMergeKind::Action)];
    const int id = actions.FieldIndex(kId), attribute = actions.FieldIndex(kAttribute),
              actionId = actions.FieldIndex(kParent);
    const auto value = [](const TRecord &record, int field) {
        return field >= 0 ? record.Value(size_t(field)) : QVariant();
    };
    for (const TRecord *record : actions.RecordsInOrder(QString())) {
        const QVariant number = value(*record, id);
        origin.actions.append(
            {number.isValid() ? number.toInt() : -1, value(*record, attribute), value(*record, actionId)});
    }
    const TTable &header = *tables[size_t(TMergeKind::Header)];
    if (const auto &records = header.RecordsInOrder(QString()); !records.empty())
        origin.entered = value(*records.front(), header.FieldIndex(kEntered));
    return origin;
}

bool GrewFrom(const TOrigin &base, const TOrigin &side)
{
    if (base.actions.isEmpty())
        return base.entered.isValid() && SameValue(base.entered, side.entered);
    QHash<int, const TOrigin::TAction *> byId;
    byId.reserve(side.actions.size());
    for (const TOrigin::TAction &action : side.actions)
        byId.insert(action.id, &action);
    for (const TOrigin::TAction &action : base.actions) {
        const TOrigin::TAction *other = byId.value(action.id);
        if (!other)
            continue;
        if ((action.attribute.isValid() && SameValue(action.attribute, other->attribute)) ||
            (action.actionId.isValid() && SameValue(action.actionId, other->actionId)))
            return true;
    }
    return false;
}

constexpr int kBaseSide = 0, kMineSide = 1, kTheirsSide = 2;

// Where each record whose number no other record of the table shares lies.
QHash<int, int> RowsByNumber(const std::vector<TRecord *> &records, int idField)
{
    QHash<int, int> rows;
    rows.reserve(qsizetype(records.size()));
    for (int row = 0; row < int(records.size()); ++row) {
        const QVariant &id = records[size_t(row)]->Stored(size_t(idField));
        if (id.typeId() != QMetaType::Int)
            continue;
        const auto found = rows.find(*static_cast<const int *>(id.constData()));
        if (found == rows.end())
            rows.insert(*static_cast<const int *>(id.constData()), row);
        else
            found.value() = -1;
    }
    return rows;
}

bool SameStored(const TRecord &a, const TRecord &b)
{
    if (a.FieldCount() != b.FieldCount())
        return false;
    for (size_t field = 0; field < a.FieldCount(); ++field)
        if (!SameReadForm(a.Stored(field), b.Stored(field)))
            return false;
    return true;
}

// Which records of one kind are the same on every side (base, mine, theirs;
// without a base, mine and theirs) under a number each side holds once.
std::array<std::vector<bool>, 3>
SharedRecords(TMergeKind kind, const std::array<const std::vector<TRecord *> *, 3> &records, int idField)
{
    std::array<std::vector<bool>, 3> shared;
    for (int side = kBaseSide; side <= kTheirsSide; ++side)
        if (records[size_t(side)])
            shared[size_t(side)].assign(records[size_t(side)]->size(), false);
    // The header has no number; its one record is always compared.
    if (kind == TMergeKind::Header || idField < 0)
        return shared;
    std::array<QHash<int, int>, 3> rows;
    for (int side = kBaseSide; side <= kTheirsSide; ++side)
        if (records[size_t(side)])
            rows[size_t(side)] = RowsByNumber(*records[size_t(side)], idField);
    const bool withBase = records[kBaseSide] != nullptr;
    for (auto it = rows[kMineSide].cbegin(); it != rows[kMineSide].cend(); ++it) {
        const int mine = it.value(), theirs = rows[kTheirsSide].value(it.key(), -1),
                  base = withBase ? rows[kBaseSide].value(it.key(), -1) : 0;
        if (mine < 0 || theirs < 0 || base < 0)
            continue;
        const TRecord &record = *(*records[kMineSide])[size_t(mine)];
        if (!SameStored(record, *(*records[kTheirsSide])[size_t(theirs)]) ||
            (withBase && !SameStored(record, *(*records[kBaseSide])[size_t(base)])))
            continue;
        shared[kMineSide][size_t(mine)] = true;
        shared[kTheirsSide][size_t(theirs)] = true;
        if (withBase)
            shared[kBaseSide][size_t(base)] = true;
    }
    return shared;
}

// The records of one kind on each side as the merge engine reads them,
// without those the same on every side: the engine finds nothing in them,
// and they are nearly all of a returned file. Leaving them out keeps the
// place of every other record's key, as each of them has a number of its
// own. bookmarks gets where each record of mine taken lies.
void CollectRecords(TMergeKind kind, const std::array<const TTable *, 3> &tables,
                    const std::array<TRecordSet *, 3> &sets, QList<TBookmark> &bookmarks)
{
    std::array<const std::vector<TRecord *> *, 3> records{};
    for (int side = kBaseSide; side <= kTheirsSide; ++side)
        if (tables[size_t(side)])
            records[size_t(side)] = &tables[size_t(side)]->RecordsInOrder(QString());
    const TTable &mine = *tables[kMineSide];
    const auto shared = SharedRecords(kind, records, mine.FieldIndex(kId));
    const std::vector<int> byName = FieldsByName(mine.FieldDefs());
    for (int side = kBaseSide; side <= kTheirsSide; ++side) {
        if (!records[size_t(side)])
            continue;
        QList<TRecordValues> &values = (*sets[size_t(side)])[kind];
        for (size_t row = 0; row < records[size_t(side)]->size(); ++row) {
            if (shared[size_t(side)][row])
                continue;
            const TRecord &record = *(*records[size_t(side)])[row];
            values.append(RecordValues(record, tables[size_t(side)]->FieldDefs(), byName));
            if (side == kMineSide)
                bookmarks.append(record.Serial());
        }
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
    return RecordsOf(OpenActionFileTables(data, actFile));
}

TRecordSet ReadDravelinFileRecords(TDataModuleMain &data, const QString &container)
{
    return RecordsOf(OpenDravelinFileTables(data, container));
}

bool GrewFrom(const TRecordSet &base, const TRecordSet &side)
{
    return GrewFrom(OriginOf(base), OriginOf(side));
}

TDravelinMerge::TDravelinMerge(TDataModuleMain &data, const QString &returnedFile,
                               const QString &auxiliaryFolder)
    : data_(data), returned_(returnedFile)
{
    const TOwnTables theirs = OpenDravelinFileTables(data, returnedFile);
    TTableSet mine{};
    for (int k = 0; k < kMergeKindCount; ++k)
        mine[size_t(k)] = TableOf(data, TMergeKind(k));

    TOwnTables base;
    const QString baseFile = MergeBaseFileName(auxiliaryFolder, returnedFile);
    if (!baseFile.isEmpty() && QFileInfo(baseFile).isFile()) {
        try {
            TOwnTables read = OpenDravelinFileTables(data, baseFile);
            const TOrigin origin = OriginOf(View(read));
            if (GrewFrom(origin, OriginOf(mine)) && GrewFrom(origin, OriginOf(View(theirs)))) {
                base = std::move(read);
                baseFile_ = baseFile;
            }
        } catch (const AppError &) {
            // A damaged base only costs the three-way comparison.
        }
    }
    const bool threeWay = base[0] != nullptr;
    TRecordSet baseRecords, mineRecords, theirsRecords;
    for (int k = 0; k < kMergeKindCount; ++k) {
        const size_t kind = size_t(k);
        CollectRecords(TMergeKind(k), {base[kind].get(), mine[kind], theirs[kind].get()},
                       {&baseRecords, &mineRecords, &theirsRecords}, bookmarks_[kind]);
        mineIds_[kind] = NumbersOf(*mine[kind]);
        if (threeWay)
            baseIds_[kind] = NumbersOf(*base[kind]);
    }
    plan_ = PlanMerge(threeWay ? &baseRecords : nullptr, mineRecords, theirsRecords);
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
        std::array<QSet<int>, kMergeKindCount> used = mineIds_;
        const auto &based = baseIds_;
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
