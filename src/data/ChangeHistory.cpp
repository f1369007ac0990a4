#include "ChangeHistory.h"

#include "AppError.h"
#include "TRecord.h"
#include "TTable.h"
#include "TTables.h"

#include <QHash>
#include <algorithm>
#include <functional>
#include <unordered_map>

bool SameImage(const TRowImage &a, const TRowImage &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameReadForm);
}

namespace {

bool SameOptional(const std::optional<TRowImage> &a, const std::optional<TRowImage> &b)
{
    return a.has_value() == b.has_value() && (!a || SameImage(*a, *b));
}

} // namespace

void TChangeStep::Absorb(std::vector<TChangedRow> later)
{
    for (TChangedRow &row : later) {
        const auto earlier = std::find_if(rows.begin(), rows.end(), [&](const TChangedRow &mine) {
            return mine.member == row.member && mine.after && row.before &&
                   SameImage(*mine.after, *row.before);
        });
        if (earlier == rows.end())
            rows.push_back(std::move(row));
        else
            earlier->after = std::move(row.after);
    }
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const TChangedRow &row) { return SameOptional(row.before, row.after); }),
               rows.end());
}

void TChangeStep::Discount(const std::vector<TChangedRow> &applied)
{
    for (const TChangedRow &done : applied) {
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const TChangedRow &mine) {
            return mine.member == done.member && SameOptional(mine.before, done.before);
        });
        if (row != rows.end())
            row->before = done.after;
    }
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const TChangedRow &row) { return SameOptional(row.before, row.after); }),
               rows.end());
}

void TChangeHistory::Clear()
{
    undo_.clear();
    redo_.clear();
    groupStarted_ = false;
}

void TChangeHistory::SetLimit(size_t limit)
{
    limit_ = std::max<size_t>(limit, 1);
    Trim();
}

void TChangeHistory::Trim()
{
    while (undo_.size() > limit_)
        undo_.pop_front();
}

void TChangeHistory::Record(TChangeStep step)
{
    if (step.rows.empty())
        return;
    redo_.clear();
    if (groupDepth_ > 0 && groupStarted_ && !undo_.empty()) {
        undo_.back().Absorb(std::move(step.rows));
        // A group whose changes cancel out leaves nothing to undo.
        if (undo_.back().rows.empty()) {
            undo_.pop_back();
            groupStarted_ = false;
        }
        return;
    }
    if (groupDepth_ > 0) {
        groupStarted_ = true;
        if (!groupCaption_.isEmpty())
            step.caption = groupCaption_;
    }
    undo_.push_back(std::move(step));
    Trim();
}

QString TChangeHistory::UndoCaption() const
{
    return CanUndo() ? QStringLiteral("Undo ") + NextUndo().caption : QStringLiteral("Undo");
}

QString TChangeHistory::RedoCaption() const
{
    return CanRedo() ? QStringLiteral("Redo ") + NextRedo().caption : QStringLiteral("Redo");
}

void TChangeHistory::Undone()
{
    groupStarted_ = false;
    redo_.push_back(std::move(undo_.back()));
    undo_.pop_back();
}

void TChangeHistory::Redone()
{
    groupStarted_ = false;
    undo_.push_back(std::move(redo_.back()));
    redo_.pop_back();
}

void TChangeHistory::BeginGroup(const QString &caption)
{
    if (groupDepth_++ == 0) {
        groupCaption_ = caption;
        groupStarted_ = false;
    }
}

void TChangeHistory::EndGroup()
{
    if (groupDepth_ > 0 && --groupDepth_ == 0)
        groupStarted_ = false;
}

namespace {

// What a member's rows are called in captions, and the field that names one.
struct MemberNaming {
    TableMember member;
    const char *noun;
    const char *nameField;
};

// In the order in which a step's rows are looked at for its caption.
constexpr MemberNaming kNaming[] = {
    {TableMember::Actions, "Action", "ID_ACTION"},   {TableMember::Log, "Log Entry", "STATUS_LINE"},
    {TableMember::Decision, "Decision", "SYNOPSIS"}, {TableMember::Statement, "Statement", "SYNOPSIS"},
    {TableMember::Actor, "Contact", "LAST_NAME"},    {TableMember::Header, "Properties", nullptr},
};

QString ImageText(const TTables &tables, TableMember member, const TRowImage &image, const char *field)
{
    const int index = tables.Table(member)->FieldIndex(QLatin1String(field));
    if (index < 0 || size_t(index) >= image.size())
        return QString();
    return image[size_t(index)].toString().trimmed();
}

} // namespace

QString DerivedCaption(const TTables &tables, const std::vector<TChangedRow> &rows,
                       std::optional<TableMember> lead)
{
    std::vector<MemberNaming> order(std::begin(kNaming), std::end(kNaming));
    if (lead)
        std::stable_partition(order.begin(), order.end(),
                              [&](const MemberNaming &naming) { return naming.member == *lead; });
    for (const MemberNaming &naming : order) {
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [&](const TChangedRow &r) { return r.member == naming.member; });
        if (row == rows.end())
            continue;
        const QString verb = !row->before  ? QStringLiteral("New")
                             : !row->after ? QStringLiteral("Delete")
                                           : QStringLiteral("Edit");
        const QString noun = QLatin1String(naming.noun);
        if (!naming.nameField)
            return QStringLiteral("Edit ") + noun;
        QString name =
            ImageText(tables, naming.member, row->after ? *row->after : *row->before, naming.nameField);
        // A contact without a last name is named by its ID.
        if (name.isEmpty() && naming.member == TableMember::Actor)
            name = ImageText(tables, naming.member, row->after ? *row->after : *row->before, "ID");
        return name.isEmpty() ? verb + QLatin1Char(' ') + noun
                              : QStringLiteral("%1 %2 \"%3\"").arg(verb, noun, name);
    }
    return QStringLiteral("Change");
}

int TouchedActionId(const TTables &tables, const TChangeStep &step, bool undone)
{
    // A row the step leaves in place is the one to show: one it brought
    // back or added first, then one it changed; else one it took away.
    int best = -1, bestRank = 0;
    for (TableMember member :
         {TableMember::Actions, TableMember::Log, TableMember::Decision, TableMember::Statement}) {
        const char *field = member == TableMember::Actions ? "ID" : "ID_ACTION";
        const int index = tables.Table(member)->FieldIndex(QLatin1String(field));
        for (const TChangedRow &row : step.rows) {
            if (row.member != member || index < 0)
                continue;
            const std::optional<TRowImage> &left = undone ? row.before : row.after;
            const std::optional<TRowImage> &gone = undone ? row.after : row.before;
            const int rank = left ? (gone ? 2 : 3) : 1;
            const TRowImage &image = left ? *left : *gone;
            if (rank > bestRank && size_t(index) < image.size() && image[size_t(index)].isValid()) {
                best = image[size_t(index)].toInt();
                bestRank = rank;
            }
        }
        if (bestRank > 0)
            return best;
    }
    return best;
}

namespace {

// A hash of a value of the first field (the ID of every table but the
// header) for finding many records in one pass over the table; a text and
// its bytes hash alike.
size_t FirstFieldHash(const QVariant &value)
{
    if (!value.isValid())
        return 0;
    if (value.typeId() == QMetaType::Int)
        return std::hash<qint64>()(StoredNumber(value));
    return qHash(ReadForm(value).toString());
}

bool Holds(const TRecord &record, const TRowImage &image)
{
    const TValues &values = record.Values();
    return values.size() == image.size() &&
           std::equal(image.begin(), image.end(), values.begin(), SameReadForm);
}

// The records of table that hold the images, a record for each image, in
// their order; throws when one is missing.
std::vector<TRecord *> FindImages(TTable &table, const std::vector<const TRowImage *> &images)
{
    std::vector<TRecord *> found(images.size(), nullptr);
    std::unordered_multimap<size_t, size_t> wanted;
    for (size_t i = 0; i < images.size(); ++i)
        wanted.emplace(images[i]->empty() ? 0 : FirstFieldHash(images[i]->front()), i);
    // Newest first: the records of recent steps were mostly added lately,
    // and the walk ends once all are found.
    const TRecords &records = table.AllRecords();
    for (auto at = records.rbegin(); at != records.rend() && !wanted.empty(); ++at) {
        const TRecordPtr &record = *at;
        if (record->FieldCount() == 0)
            continue;
        const auto [first, last] = wanted.equal_range(FirstFieldHash(record->Stored(0)));
        for (auto it = first; it != last; ++it) {
            if (Holds(*record, *images[it->second])) {
                found[it->second] = record.get();
                wanted.erase(it);
                break;
            }
        }
    }
    if (!wanted.empty())
        throw AppError(QStringLiteral("This change cannot be taken back or done again: a record it changed "
                                      "is no longer as the change left it."));
    return found;
}

} // namespace

void ApplyStep(TTables &tables, const TChangeStep &step, bool undone)
{
    // Each member's rows are found before anything changes, so a step that
    // no longer fits changes nothing.
    std::vector<TRecord *> records(step.rows.size(), nullptr);
    for (TableMember member : kTableMembers) {
        std::vector<const TRowImage *> images;
        std::vector<size_t> at;
        for (size_t i = 0; i < step.rows.size(); ++i) {
            const TChangedRow &row = step.rows[i];
            const std::optional<TRowImage> &from = undone ? row.after : row.before;
            if (row.member == member && from) {
                images.push_back(&*from);
                at.push_back(i);
            }
        }
        if (images.empty())
            continue;
        TTable *table = tables.Table(member);
        if (!table->Active())
            throw AppError(
                QStringLiteral("This change cannot be taken back or done again: its table is not open."));
        const std::vector<TRecord *> found = FindImages(*table, images);
        for (size_t j = 0; j < at.size(); ++j)
            records[at[j]] = found[j];
    }
    TChangeScope change(tables);
    // Taken back in the opposite order of doing it.
    for (size_t k = 0; k < step.rows.size(); ++k) {
        const size_t i = undone ? step.rows.size() - 1 - k : k;
        const TChangedRow &row = step.rows[i];
        const std::optional<TRowImage> &to = undone ? row.before : row.after;
        tables.Table(row.member)->PutRecord(records[i], to ? &*to : nullptr);
    }
    change.Commit();
}
