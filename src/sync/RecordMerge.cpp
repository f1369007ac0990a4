#include "RecordMerge.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QTime>
#include <algorithm>

namespace {

constexpr int kBase = 0, kMine = 1, kTheirs = 2;
const QString kIdField = QStringLiteral("ID");
const QString kParentField = QStringLiteral("ID_ACTION");

bool IsChild(TMergeKind kind)
{
    return kind == TMergeKind::Log || kind == TMergeKind::Decision || kind == TMergeKind::Statement;
}

// Identifiers handed out by a file's counter: two files that each added a
// record under the same number added two different records.
bool CountedIdentifier(TMergeKind kind, const TMergeOptions &options)
{
    if (options.mode == TMergeMode::Sync)
        return false;
    return kind == TMergeKind::Action ? options.actionKeyField == kIdField : IsChild(kind);
}

const QString &StoredText(const QVariant &value)
{
    return *static_cast<const QString *>(value.constData());
}

bool IsNullValue(const QVariant &value)
{
    return !value.isValid() || (value.typeId() == QMetaType::QString && StoredText(value).isEmpty());
}

// Field names usually share their text (they come from one definition), so
// the same data is the same name without comparing characters.
bool SameName(const QString &a, const QString &b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

QString KeyText(const QVariant &value)
{
    if (IsNullValue(value))
        return QString();
    switch (value.typeId()) {
    case QMetaType::Int:
        return QString::number(value.toInt());
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    default:
        return value.toString();
    }
}

// Field maps equal field by field; a missing field is null.
bool SameRecord(const TRecordValues &a, const TRecordValues &b)
{
    auto i = a.begin(), j = b.begin();
    while (i != a.end() || j != b.end()) {
        if (i != a.end() && j != b.end() && SameName(i.key(), j.key())) {
            if (!SameValue(i.value(), j.value()))
                return false;
            ++i;
            ++j;
        } else if (j == b.end() || (i != a.end() && i.key() < j.key())) {
            if (!IsNullValue(i.value()))
                return false;
            ++i;
        } else {
            if (!IsNullValue(j.value()))
                return false;
            ++j;
        }
    }
    return true;
}

// The records of one kind on one side, found by key. A key that occurs more
// than once (contacts may share an identifier) is told apart by its place.
struct TSideIndex {
    QList<QString> keys;    // per row
    QList<QString> parents; // per row, children only: their action's key
    QList<bool> changed;    // per row, mine and theirs: differs from the base or is new
    QHash<QString, int> rows;
};

TSideIndex IndexRecords(const QList<TRecordValues> &records, const QString &keyField, bool child)
{
    TSideIndex index;
    index.keys.reserve(records.size());
    index.rows.reserve(records.size());
    for (int row = 0; row < records.size(); ++row) {
        const TRecordValues &record = records[row];
        QString key = keyField.isEmpty() ? QString() : KeyText(record.value(keyField));
        if (index.rows.contains(key)) {
            const QString first = key;
            for (int n = 2; index.rows.contains(key); ++n)
                key = first + QChar(0x1F) + QString::number(n);
        }
        index.rows.insert(key, row);
        index.keys.append(key);
        if (child)
            index.parents.append(KeyText(record.value(kParentField)));
    }
    return index;
}

// A key's order: numbers by value before texts by text.
struct TKeyOrder {
    bool text;
    qint64 number;
    QString key;
    bool operator<(const TKeyOrder &other) const
    {
        if (text != other.text)
            return !text;
        if (!text && number != other.number)
            return number < other.number;
        return key < other.key;
    }
};

QStringList SortedKeys(const QStringList &keys)
{
    std::vector<TKeyOrder> order;
    order.reserve(size_t(keys.size()));
    for (const QString &key : keys) {
        bool number = false;
        const qint64 value = key.toLongLong(&number);
        order.push_back({!number, value, key});
    }
    std::sort(order.begin(), order.end());
    QStringList sorted;
    sorted.reserve(qsizetype(order.size()));
    for (const TKeyOrder &entry : order)
        sorted.append(entry.key);
    return sorted;
}

class TPlanner {
public:
    TPlanner(const TRecordSet *base, const TRecordSet &mine, const TRecordSet &theirs,
             const TMergeOptions &options)
        : options_(options)
    {
        sets_[kBase] = base;
        sets_[kMine] = &mine;
        sets_[kTheirs] = &theirs;
        plan_.threeWay = base != nullptr;
        plan_.mode = options.mode;
        for (int k = 0; k < kMergeKindCount; ++k) {
            const auto kind = TMergeKind(k);
            for (int side = kBase; side <= kTheirs; ++side)
                if (sets_[side])
                    index_[k][side] = IndexRecords((*sets_[side])[kind], KeyField(kind), IsChild(kind));
            for (int side : {kMine, kTheirs})
                MarkChanges(kind, side);
        }
    }

    TMergePlan Run()
    {
        for (TMergeKind kind : {TMergeKind::Header, TMergeKind::Contact})
            for (const QString &key : SortedKeys(KeysOf(kind)))
                Classify(kind, key, QString(), false, false);
        PlanActions();
        return std::move(plan_);
    }

private:
    QString KeyField(TMergeKind kind) const
    {
        switch (kind) {
        case TMergeKind::Header:
            return QString();
        case TMergeKind::Action:
            return options_.actionKeyField;
        default:
            return kIdField;
        }
    }

    const TSideIndex &Index(TMergeKind kind, int side) const { return index_[size_t(kind)][side]; }

    int Row(TMergeKind kind, int side, const QString &key) const
    {
        return sets_[side] ? Index(kind, side).rows.value(key, -1) : -1;
    }

    const TRecordValues *Record(TMergeKind kind, int side, int row) const
    {
        return row >= 0 ? &(*sets_[side])[kind][row] : nullptr;
    }

    // Which of side's records differ from the base; without a base, all.
    void MarkChanges(TMergeKind kind, int side)
    {
        TSideIndex &index = index_[size_t(kind)][side];
        index.changed.resize(index.keys.size());
        for (int row = 0; row < index.keys.size(); ++row) {
            const int baseRow = Row(kind, kBase, index.keys[row]);
            index.changed[row] =
                baseRow < 0 || !SameRecord(*Record(kind, kBase, baseRow), *Record(kind, side, row));
        }
    }

    // Every key of a kind once: mine's, then those only theirs has, then
    // those only the base has; with the action each child names there.
    QStringList KeysOf(TMergeKind kind, QStringList *parents = nullptr) const
    {
        QStringList keys;
        for (int side : {kMine, kTheirs, kBase}) {
            if (!sets_[side])
                continue;
            const TSideIndex &index = Index(kind, side);
            for (int row = 0; row < index.keys.size(); ++row) {
                const QString &key = index.keys[row];
                if ((side != kMine && Row(kind, kMine, key) >= 0) ||
                    (side == kBase && Row(kind, kTheirs, key) >= 0))
                    continue;
                keys.append(key);
                if (parents)
                    parents->append(index.parents[row]);
            }
        }
        return keys;
    }

    // The actions whose record or children differ between base and side.
    QSet<QString> ChangedSubtrees(int side) const
    {
        QSet<QString> changed;
        if (!sets_[kBase])
            return changed;
        for (TMergeKind kind :
             {TMergeKind::Action, TMergeKind::Log, TMergeKind::Decision, TMergeKind::Statement}) {
            const bool child = IsChild(kind);
            const TSideIndex &index = Index(kind, side);
            const TSideIndex &base = Index(kind, kBase);
            for (int row = 0; row < index.keys.size(); ++row) {
                if (!index.changed[row])
                    continue;
                changed.insert(child ? index.parents[row] : index.keys[row]);
                // A child moved from another action changed that one too.
                if (const int baseRow = Row(kind, kBase, index.keys[row]); child && baseRow >= 0)
                    changed.insert(base.parents[baseRow]);
            }
            for (int row = 0; row < base.keys.size(); ++row)
                if (Row(kind, side, base.keys[row]) < 0)
                    changed.insert(child ? base.parents[row] : base.keys[row]);
        }
        return changed;
    }

    void PlanActions()
    {
        const QSet<QString> mineChanged = ChangedSubtrees(kMine);
        const QSet<QString> theirsChanged = ChangedSubtrees(kTheirs);

        // Children by the action they belong to, on whichever side has them
        // (mine first, as mine is the file shown).
        std::array<QHash<QString, QStringList>, kMergeKindCount> children;
        QStringList actionKeys = KeysOf(TMergeKind::Action);
        QSet<QString> known(actionKeys.begin(), actionKeys.end());
        for (TMergeKind kind : {TMergeKind::Log, TMergeKind::Decision, TMergeKind::Statement}) {
            QStringList parents;
            const QStringList keys = KeysOf(kind, &parents);
            for (int i = 0; i < keys.size(); ++i) {
                children[size_t(kind)][parents[i]].append(keys[i]);
                if (!known.contains(parents[i])) {
                    known.insert(parents[i]);
                    actionKeys.append(parents[i]);
                }
            }
        }

        for (const QString &actionKey : SortedKeys(actionKeys)) {
            const int action = Classify(TMergeKind::Action, actionKey, actionKey,
                                        mineChanged.contains(actionKey), theirsChanged.contains(actionKey));
            for (TMergeKind kind : {TMergeKind::Log, TMergeKind::Decision, TMergeKind::Statement}) {
                const auto group = children[size_t(kind)].constFind(actionKey);
                if (group == children[size_t(kind)].constEnd())
                    continue;
                for (const QString &key : SortedKeys(group.value())) {
                    const int child = Classify(kind, key, actionKey, false, false);
                    if (action >= 0 && child >= 0)
                        Follow(action, child);
                }
            }
        }
    }

    // A child that exists only where its action exists only follows the
    // action: it comes or goes with it.
    void Follow(int action, int child)
    {
        const TRecordDiff &parent = plan_.diffs[action];
        TRecordDiff &diff = plan_.diffs[child];
        const bool parentMineOnly = parent.InMine() && !parent.InTheirs();
        const bool parentTheirsOnly =
            (parent.InTheirs() && !parent.InMine()) || parent.change == TRecordChange::AddedByBoth;
        const bool childMineOnly = diff.InMine() && !diff.InTheirs();
        const bool childTheirsOnly =
            (diff.InTheirs() && !diff.InMine()) || diff.change == TRecordChange::AddedByBoth;
        if (!((parentMineOnly && childMineOnly) || (parentTheirsOnly && childTheirsOnly)))
            return;
        diff.follows = action;
        diff.question = false;
        diff.conflict = false;
        diff.choice = parent.choice;
    }

    // Adds the difference of one record, if any, and returns its index.
    int Classify(TMergeKind kind, const QString &key, const QString &actionKey, bool mineChanged,
                 bool theirsChanged)
    {
        TRecordDiff diff;
        diff.kind = kind;
        diff.key = key;
        diff.actionKey = actionKey;
        diff.baseRow = Row(kind, kBase, key);
        diff.mineRow = Row(kind, kMine, key);
        diff.theirsRow = Row(kind, kTheirs, key);
        const TRecordValues *base = Record(kind, kBase, diff.baseRow);
        const TRecordValues *mine = Record(kind, kMine, diff.mineRow);
        const TRecordValues *theirs = Record(kind, kTheirs, diff.theirsRow);
        const bool mineRecordChanged = mine && Index(kind, kMine).changed[diff.mineRow];
        const bool theirsRecordChanged = theirs && Index(kind, kTheirs).changed[diff.theirsRow];
        // Both still as the base: the common case, nothing to do.
        if (base && mine && theirs && !mineRecordChanged && !theirsRecordChanged)
            return -1;
        if (kind != TMergeKind::Action) {
            // Only an action counts its children as its own changes.
            mineChanged = mineRecordChanged;
            theirsChanged = theirsRecordChanged;
        }
        if (base)
            diff.base = *base;
        if (mine)
            diff.mine = *mine;
        if (theirs)
            diff.theirs = *theirs;
        const bool sync = options_.mode == TMergeMode::Sync;

        if (mine && theirs) {
            if (SameRecord(*mine, *theirs))
                return -1;
            if (plan_.threeWay && !base && CountedIdentifier(kind, options_)) {
                diff.change = TRecordChange::AddedByBoth;
                diff.choice = TChoice::TakeTheirs;
                return Add(std::move(diff));
            }
            diff.change = TRecordChange::Changed;
            CompareFields(diff, plan_.threeWay && base);
            if (diff.fields.isEmpty())
                return -1;
            return Add(std::move(diff));
        }
        if (!mine && !theirs)
            return -1;
        if (!plan_.threeWay) {
            diff.change = mine ? TRecordChange::OnlyMine : TRecordChange::OnlyTheirs;
            // A first synchronisation joins both sides.
            diff.question = !sync;
            if (sync && theirs)
                diff.choice = TChoice::TakeTheirs;
            return Add(std::move(diff));
        }
        if (!base) {
            diff.change = mine ? TRecordChange::AddedByMe : TRecordChange::AddedByThem;
            diff.choice = mine ? TChoice::KeepMine : TChoice::TakeTheirs;
            return Add(std::move(diff));
        }
        if (mine) {
            // They deleted it.
            if (!mineChanged) {
                diff.change = TRecordChange::DeletedByThem;
                diff.choice = TChoice::TakeTheirs;
            } else {
                diff.change = TRecordChange::DeletedByThemChangedByMe;
                diff.question = !sync;
                diff.conflict = sync;
            }
            return Add(std::move(diff));
        }
        if (!theirsChanged) {
            diff.change = TRecordChange::DeletedByMe;
        } else {
            diff.change = TRecordChange::DeletedByMeChangedByThem;
            diff.question = !sync;
            diff.conflict = sync;
            // A sync keeps what the other side changed.
            if (sync)
                diff.choice = TChoice::TakeTheirs;
        }
        return Add(std::move(diff));
    }

    void CompareFields(TRecordDiff &diff, bool withBase)
    {
        QStringList names = diff.mine.keys();
        for (const TRecordValues *other : {&diff.theirs, &diff.base})
            for (auto it = other->begin(); it != other->end(); ++it)
                if (!diff.mine.contains(it.key()) && !names.contains(it.key()))
                    names.append(it.key());
        std::sort(names.begin(), names.end());
        const bool sync = options_.mode == TMergeMode::Sync;
        for (const QString &name : names) {
            TFieldDiff field;
            field.field = name;
            field.base = diff.base.value(name);
            field.mine = diff.mine.value(name);
            field.theirs = diff.theirs.value(name);
            if (SameValue(field.mine, field.theirs))
                continue;
            const bool mineChanged = !withBase || !SameValue(field.base, field.mine);
            const bool theirsChanged = !withBase || !SameValue(field.base, field.theirs);
            if (!mineChanged) {
                field.fieldClass = TFieldClass::Theirs;
                field.choice = TChoice::TakeTheirs;
            } else if (!theirsChanged) {
                field.fieldClass = TFieldClass::Mine;
            } else {
                field.fieldClass = TFieldClass::Conflict;
                field.question = !sync;
                diff.conflict = diff.conflict || sync;
            }
            diff.question = diff.question || field.question;
            diff.fields.append(std::move(field));
        }
    }

    int Add(TRecordDiff &&diff)
    {
        plan_.diffs.append(std::move(diff));
        return int(plan_.diffs.size() - 1);
    }

    const TMergeOptions &options_;
    const TRecordSet *sets_[3] = {};
    std::array<std::array<TSideIndex, 3>, kMergeKindCount> index_;
    TMergePlan plan_;
};

// Deletions, then updates, then insertions; the kinds are declared parents
// first, so insertions follow that order and deletions go the other way.
void SortOps(QList<TRecordOp> &ops)
{
    std::stable_sort(ops.begin(), ops.end(), [](const TRecordOp &a, const TRecordOp &b) {
        if (a.type != b.type)
            return a.type < b.type;
        if (a.type == TRecordOp::Insert)
            return int(a.kind) < int(b.kind);
        if (a.type == TRecordOp::Delete)
            return int(a.kind) > int(b.kind);
        return false;
    });
}

} // namespace

bool SameValue(const QVariant &a, const QVariant &b)
{
    const bool nullA = IsNullValue(a), nullB = IsNullValue(b);
    if (nullA || nullB)
        return nullA == nullB;
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::QString:
        return StoredText(a) == StoredText(b);
    case QMetaType::Int:
        return a.toInt() == b.toInt();
    case QMetaType::QDate:
        return a.toDate() == b.toDate();
    case QMetaType::QTime:
        return a.toTime() == b.toTime();
    default:
        return a == b;
    }
}

QList<TMergeGroup> TMergePlan::Groups() const
{
    QList<TMergeGroup> groups;
    for (int i = 0; i < diffs.size(); ++i) {
        const TRecordDiff &diff = diffs[i];
        const TMergeKind kind = IsChild(diff.kind) ? TMergeKind::Action : diff.kind;
        if (groups.isEmpty() || groups.last().kind != kind || groups.last().actionKey != diff.actionKey)
            groups.append({kind, diff.actionKey, {}});
        groups.last().diffs.append(i);
    }
    return groups;
}

int TMergePlan::QuestionCount() const
{
    int count = 0;
    for (const TRecordDiff &diff : diffs) {
        if (diff.question && diff.fields.isEmpty())
            ++count;
        for (const TFieldDiff &field : diff.fields)
            count += field.question ? 1 : 0;
    }
    return count;
}

void TMergePlan::DecideQuestions(TChoice choice)
{
    for (int i = 0; i < diffs.size(); ++i) {
        TRecordDiff &diff = diffs[i];
        if (diff.question && diff.fields.isEmpty())
            SetChoice(i, choice);
        for (TFieldDiff &field : diff.fields)
            if (field.question)
                field.choice = choice;
    }
}

void TMergePlan::SetChoice(int diff, TChoice choice)
{
    diffs[diff].choice = choice;
    for (TFieldDiff &field : diffs[diff].fields)
        field.choice = choice;
}

void TMergePlan::SetFieldChoice(int diff, int field, TChoice choice)
{
    diffs[diff].fields[field].choice = choice;
}

TChoice TMergePlan::EffectiveChoice(int diff) const
{
    const TRecordDiff &record = diffs[diff];
    return record.follows >= 0 ? diffs[record.follows].choice : record.choice;
}

bool TMergePlan::Kept(int diff) const
{
    const TRecordDiff &record = diffs[diff];
    if (record.change == TRecordChange::Changed || record.change == TRecordChange::AddedByBoth)
        return true;
    return EffectiveChoice(diff) == TChoice::TakeTheirs ? record.InTheirs() : record.InMine();
}

TRecordValues TMergePlan::Merged(int diff) const
{
    const TRecordDiff &record = diffs[diff];
    if (!Kept(diff))
        return {};
    if (record.change == TRecordChange::Changed) {
        TRecordValues merged = record.mine;
        for (const TFieldDiff &field : record.fields)
            if (field.choice == TChoice::TakeTheirs)
                merged.insert(field.field, field.theirs);
        return merged;
    }
    if (record.change == TRecordChange::AddedByBoth)
        return record.mine;
    return EffectiveChoice(diff) == TChoice::TakeTheirs ? record.theirs : record.mine;
}

QList<TRecordOp> TMergePlan::OpsFor(bool mineSide) const
{
    // The choice that brings the other side's value to this side.
    const TChoice other = mineSide ? TChoice::TakeTheirs : TChoice::KeepMine;
    QList<TRecordOp> ops;
    for (int i = 0; i < diffs.size(); ++i) {
        const TRecordDiff &diff = diffs[i];
        const TRecordValues &otherValues = mineSide ? diff.theirs : diff.mine;
        const int ownRow = mineSide ? diff.mineRow : diff.theirsRow;
        const int otherRow = mineSide ? diff.theirsRow : diff.mineRow;
        if (diff.change == TRecordChange::Changed) {
            TRecordValues set;
            for (const TFieldDiff &field : diff.fields)
                if (field.choice == other)
                    set.insert(field.field, mineSide ? field.theirs : field.mine);
            if (!set.isEmpty())
                ops.append({TRecordOp::Update, diff.kind, diff.key, ownRow, set});
        } else if (diff.change == TRecordChange::AddedByBoth) {
            // Mine stays in any case; theirs is a further record when taken.
            const bool theirsKept = EffectiveChoice(i) == TChoice::TakeTheirs;
            if (!mineSide || theirsKept)
                ops.append({TRecordOp::Insert, diff.kind, diff.key, otherRow, otherValues});
            if (!mineSide && !theirsKept)
                ops.append({TRecordOp::Delete, diff.kind, diff.key, ownRow, {}});
        } else if (Kept(i) && ownRow < 0) {
            ops.append({TRecordOp::Insert, diff.kind, diff.key, otherRow, otherValues});
        } else if (!Kept(i) && ownRow >= 0) {
            ops.append({TRecordOp::Delete, diff.kind, diff.key, ownRow, {}});
        }
    }
    SortOps(ops);
    return ops;
}

TMergePlan PlanMerge(const TRecordSet *base, const TRecordSet &mine, const TRecordSet &theirs,
                     const TMergeOptions &options)
{
    return TPlanner(base, mine, theirs, options).Run();
}
