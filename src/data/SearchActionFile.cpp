#include "SearchActionFile.h"

#include "PrefetchAhead.h"
#include "ScopeGuards.h"
#include "TRecord.h"
#include "TextMatcher.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The fields of cdsActionsSearch in their order.
enum SearchColumn {
    scFoundIn,
    scIdActionId,
    scIdLog,
    scIdDecision,
    scIdStatement,
    scIdAction,
    scLogStatusLine,
    scDecisionSynopsis,
    scStatementSynopsis,
    scTextFound,
    scInFieldName,
    scInFieldNumber,
    scColumnCount
};

// The searched fields of one kind, resolved to positions in its table, with
// their names as results show them.
// Fields whose values cannot hold the search text (dates, when the text is
// no part of a date's display form) are left out, so their values are never
// read; each field keeps its number.
struct TKindFields {
    TRecordKind kind;
    std::vector<int> positions;
    std::vector<int> numbers;
    std::vector<QVariant> captions;
};

TKindFields Resolve(TTable *table, TRecordKind kind, const TTextMatcher &matcher)
{
    TKindFields fields{kind, {}, {}, {}};
    int number = 0;
    for (const TSearchField &field : SearchFields(kind)) {
        const int position = table->FieldIndex(QLatin1String(field.field));
        if (position >= 0 && matcher.CanMatchType(table->FieldDefs()[position].type)) {
            fields.positions.push_back(position);
            fields.numbers.push_back(number);
            fields.captions.push_back(QString(QLatin1String(field.caption)));
        }
        ++number;
    }
    return fields;
}

// The child records of one kind with their action, grouped by action and in
// the kind's order within each action, so each action finds its own without
// a filter over the whole table. Action IDs lie close together as a rule,
// so the groups are made by counting, in one pass; IDs far apart are
// sorted instead.
class TChildren {
public:
    TChildren(TTable *table, const char *order)
    {
        if (!table->Active())
            return;
        const int idAction = table->FieldIndex(QStringLiteral("ID_ACTION"));
        const std::vector<TRecord *> &records = table->RecordsInOrder(QLatin1String(order));
        std::vector<Entry> entries;
        entries.reserve(records.size());
        qint64 highest = 0;
        for (size_t k = 0; k < records.size(); ++k) {
            // The records are spread over the memory: the one a few on is
            // fetched while this one is read, then where its action is.
            if (k + 2 * kPrefetchAhead < records.size())
                __builtin_prefetch(records[k + 2 * kPrefetchAhead]);
            if (k + kPrefetchAhead < records.size())
                __builtin_prefetch(&records[k + kPrefetchAhead]->Stored(size_t(idAction)));
            TRecord *record = records[k];
            // A number, read as stored.
            const QVariant &value = record->Stored(size_t(idAction));
            // A record without an action passes no action's filter.
            if (!value.isValid())
                continue;
            const qint64 action = StoredNumber(value);
            if (entries.empty() || action < lowest_)
                lowest_ = action;
            if (entries.empty() || action > highest)
                highest = action;
            entries.push_back({action, record});
        }
        if (entries.empty())
            return;
        if (quint64(highest - lowest_) < 4 * entries.size() + 1024) {
            // starts_[a - lowest_] is where the children of action a begin.
            starts_.assign(size_t(highest - lowest_) + 2, 0);
            for (const Entry &entry : entries)
                ++starts_[size_t(entry.action - lowest_) + 1];
            for (size_t k = 1; k < starts_.size(); ++k)
                starts_[k] += starts_[k - 1];
            std::vector<size_t> next(starts_.begin(), starts_.end() - 1);
            records_.resize(entries.size());
            for (const Entry &entry : entries)
                records_[next[size_t(entry.action - lowest_)]++] = entry.record;
        } else {
            std::stable_sort(entries.begin(), entries.end(),
                             [](const Entry &a, const Entry &b) { return a.action < b.action; });
            sorted_ = std::move(entries);
        }
    }

    size_t Size() const { return records_.size() + sorted_.size(); }

    template <typename Visit> void ForAction(qint64 action, Visit &&visit) const
    {
        if (!starts_.empty()) {
            if (action < lowest_ || quint64(action - lowest_) + 1 >= starts_.size())
                return;
            const size_t group = size_t(action - lowest_);
            for (size_t k = starts_[group]; k < starts_[group + 1]; ++k)
                visit(records_[k]);
            return;
        }
        auto at = std::lower_bound(sorted_.begin(), sorted_.end(), action,
                                   [](const Entry &entry, qint64 id) { return entry.action < id; });
        for (; at != sorted_.end() && at->action == action; ++at)
            visit(at->record);
    }

private:
    struct Entry {
        qint64 action;
        TRecord *record;
    };
    qint64 lowest_ = 0;
    std::vector<size_t> starts_;
    std::vector<TRecord *> records_;
    std::vector<Entry> sorted_;
};

// What a result carries of the record it was found in: its action's ID and
// ID text, and for a log entry, decision or statement its ID and the text
// shown with it (status line or synopsis).
struct TOwner {
    const QVariant *actionId;
    const QVariant *actionIdText;
    const QVariant *childId = nullptr;
    const QVariant *childText = nullptr;
};

// Asks for the memory of a stored text, every cache line of it, so that it
// is there when the text is compared; other values are left alone.
void PrefetchText(const QVariant &value)
{
    const char *text = nullptr;
    qsizetype size = 0;
    const int type = value.typeId();
    if (type == QMetaType::QByteArray) {
        const QByteArray &bytes = *static_cast<const QByteArray *>(value.constData());
        text = bytes.constData();
        size = bytes.size();
    } else if (type == QMetaType::QString) {
        const QString &string = *static_cast<const QString *>(value.constData());
        text = reinterpret_cast<const char *>(string.constData());
        size = string.size() * qsizetype(sizeof(QChar));
    }
    constexpr qsizetype line = 64;
    for (qsizetype at = 0; at < size; at += line)
        __builtin_prefetch(text + at);
    if (size > 0)
        __builtin_prefetch(text + size - 1);
}

// A value a result keeps: a text still held as the bytes read from a file
// lives in that table's memory, which goes when the table is read again, so
// the result takes its own copy.
QVariant Owned(const QVariant &value)
{
    if (value.typeId() != QMetaType::QByteArray)
        return value;
    const QByteArray &bytes = *static_cast<const QByteArray *>(value.constData());
    return QVariant(QByteArray(bytes.constData(), bytes.size()));
}

class TSearchWalk {
public:
    TSearchWalk(TDataModuleMain &data, const QString &text) : data_(data), matcher_(text) {}

    std::vector<std::vector<QVariant>> Run(TSearchProgress *progress)
    {
        TTable *actions = data_.cdsActions;
        if (!actions->Active())
            return {};
        const TKindFields actionFields = Resolve(actions, rkAction, matcher_);
        const TKindFields logFields = Resolve(data_.cdsLog, rkLog, matcher_);
        const TKindFields decisionFields = Resolve(data_.cdsDecision, rkDecision, matcher_);
        const TKindFields statementFields = Resolve(data_.cdsStatement, rkStatement, matcher_);
        const TChildren logs(data_.cdsLog, "LOG_DATE_TIME");
        const TChildren decisions(data_.cdsDecision, "DATE_ENTERED_DESC");
        const TChildren statements(data_.cdsStatement, "DATE_ENTERED_DESC");
        const int actionId = actions->FieldIndex(QStringLiteral("ID"));
        const int actionIdText = actions->FieldIndex(QStringLiteral("ID_ACTION"));
        const int logId = data_.cdsLog->FieldIndex(QStringLiteral("ID"));
        const int logLine = data_.cdsLog->FieldIndex(QStringLiteral("STATUS_LINE"));
        const int decisionId = data_.cdsDecision->FieldIndex(QStringLiteral("ID"));
        const int decisionSynopsis = data_.cdsDecision->FieldIndex(QStringLiteral("SYNOPSIS"));
        const int statementId = data_.cdsStatement->FieldIndex(QStringLiteral("ID"));
        const int statementSynopsis = data_.cdsStatement->FieldIndex(QStringLiteral("SYNOPSIS"));
        // The records in the order their results come: each listed action,
        // then its log entries, decisions and statements.
        struct TVisit {
            const TRecord *record;
            TRecordKind kind;
            quint32 row; // of the listed action
        };
        const std::vector<TRecord *> &listed = actions->VisibleRecords();
        std::vector<TVisit> visits;
        visits.reserve(listed.size() + logs.Size() + decisions.Size() + statements.Size());
        for (size_t row = 0; row < listed.size(); ++row) {
            // The record a few on, then where its ID is.
            if (row + 2 * kPrefetchAhead < listed.size())
                __builtin_prefetch(listed[row + 2 * kPrefetchAhead]);
            if (row + kPrefetchAhead < listed.size())
                __builtin_prefetch(&listed[row + kPrefetchAhead]->Stored(size_t(actionId)));
            const TRecord *action = listed[row];
            const QVariant &id = action->Stored(size_t(actionId));
            // An action without an ID owns the children of the filter that
            // stands for no action.
            const qint64 ownerId = id.isValid() ? StoredNumber(id) : kNoActionId;
            visits.push_back({action, rkAction, quint32(row)});
            for (const auto &group : {std::pair(&logs, rkLog), std::pair(&decisions, rkDecision),
                                      std::pair(&statements, rkStatement)}) {
                const TRecordKind kind = group.second;
                group.first->ForAction(ownerId, [&](const TRecord *child) {
                    visits.push_back({child, kind, quint32(row)});
                });
            }
        }

        const TKindFields *fieldsOf[] = {&actionFields, &logFields, &decisionFields, &statementFields};
        TTable *tableOf[] = {actions, data_.cdsLog, data_.cdsDecision, data_.cdsStatement};
        const int childIdOf[] = {-1, logId, decisionId, statementId};
        const int childTextOf[] = {-1, logLine, decisionSynopsis, statementSynopsis};
        for (size_t k = 0; k < visits.size(); ++k) {
            // The records are spread over the memory: the values of the
            // records a few visits on are fetched while this one is read.
            if (k + 2 * kPrefetchAhead < visits.size())
                __builtin_prefetch(visits[k + 2 * kPrefetchAhead].record);
            if (k + kPrefetchAhead < visits.size()) {
                const TVisit &ahead = visits[k + kPrefetchAhead];
                for (const int position : fieldsOf[ahead.kind]->positions)
                    __builtin_prefetch(&ahead.record->Stored(size_t(position)));
            }
            // Then the texts of those a little nearer, whole.
            if (k + kPrefetchAhead / 2 < visits.size()) {
                const TVisit &ahead = visits[k + kPrefetchAhead / 2];
                for (const int position : fieldsOf[ahead.kind]->positions)
                    PrefetchText(ahead.record->Stored(size_t(position)));
            }
            const TVisit &visit = visits[k];
            if (visit.kind == rkAction && progress && visit.row % 1024 == 1023)
                progress->Step();
            const TRecord *action = listed[visit.row];
            TOwner owner{&action->Stored(size_t(actionId)), &action->Stored(size_t(actionIdText))};
            if (visit.kind != rkAction) {
                owner.childId = &visit.record->Stored(size_t(childIdOf[visit.kind]));
                owner.childText = &visit.record->Stored(size_t(childTextOf[visit.kind]));
            }
            Examine(tableOf[visit.kind], *fieldsOf[visit.kind], visit.record, owner);
        }
        return std::move(hits_);
    }

private:
    // One result per field of the record whose text holds the search text,
    // its values made in the order of SearchColumn.
    void Examine(TTable *table, const TKindFields &fields, const TRecord *record, const TOwner &owner)
    {
        static const QVariant none;
        const QList<TFieldDef> &defs = table->FieldDefs();
        for (size_t number = 0; number < fields.positions.size(); ++number) {
            const int position = fields.positions[number];
            // Texts are read as stored, undecoded bytes included, so a
            // search decodes nothing it keeps.
            const QVariant &value = record->Stored(size_t(position));
            const TFieldDef &def = defs[position];
            if (!matcher_.MatchesStored(def, value))
                continue;
            std::vector<QVariant> hit;
            hit.reserve(scColumnCount);
            hit.emplace_back(int(fields.kind));
            hit.push_back(*owner.actionId);
            for (TRecordKind child : {rkLog, rkDecision, rkStatement})
                hit.push_back(child == fields.kind ? *owner.childId : noChild_);
            hit.push_back(Owned(*owner.actionIdText));
            for (TRecordKind child : {rkLog, rkDecision, rkStatement})
                hit.push_back(child == fields.kind ? Owned(*owner.childText) : none);
            hit.push_back(def.type == ftString || def.type == ftMemo ? Owned(value) : Shown(def, value));
            hit.push_back(fields.captions[number]);
            hit.emplace_back(fields.numbers[number]);
            hits_.push_back(std::move(hit));
        }
    }

    // The display text of a date or time found; the results of one day
    // share one text.
    QVariant Shown(const TFieldDef &def, const QVariant &value)
    {
        if (def.type != ftDate || value.typeId() != QMetaType::QDate)
            return QVariant(DisplayText(def, value));
        const qint64 day = static_cast<const QDate *>(value.constData())->toJulianDay();
        TShownDay &shown = shownDays_[size_t(day) % shownDays_.size()];
        if (!shown.text.isValid() || shown.day != day)
            shown = {day, QVariant(DisplayText(def, value))};
        return shown.text;
    }

    TDataModuleMain &data_;
    TTextMatcher matcher_;
    const QVariant noChild_{-1};
    struct TShownDay {
        qint64 day = 0;
        QVariant text;
    };
    std::array<TShownDay, 256> shownDays_;
    std::vector<std::vector<QVariant>> hits_;
};

} // namespace

const QList<TSearchField> &SearchFields(TRecordKind kind)
{
    static const QList<TSearchField> action{{"ID_ACTION", "Action ID"},
                                            {"ATTRIBUTE", "Action Attribute"},
                                            {"SYNOPSIS", "Action Synopsis"},
                                            {"DATE_ACTION", "Date Action"},
                                            {"DATE_DUE", "Date Due"},
                                            {"DATE_STATUS", "Date Status"},
                                            {"DATE_FINISHED", "Date Finished"},
                                            {"ACTOR_OWNER", "Action Owner"},
                                            {"ACTOR_ORGANIZOR", "Action Organizor"},
                                            {"STATUS", "Action Status"},
                                            {"SEVERITY", "Action Severity"},
                                            {"RELATIONS", "Relations"},
                                            {"FUNCTIONAL_AREA", "Functional Area"},
                                            {"DESCRIPTION", "Action Description"},
                                            {"SIGN_OFF", "Action Remarks"}};
    static const QList<TSearchField> log{{"DATE_LOG", "Log Date"},
                                         {"TIME_LOG", "Log Time"},
                                         {"STATUS_LINE", "Log Status Line"},
                                         {"STATUS", "Log Status"},
                                         {"DATE_STATUS", "Log Date Status"},
                                         {"ACTOR_STATUS", "Log Status Actor"},
                                         {"ACTOR_TENDER", "Log Tender Actor"},
                                         {"DESCRIPTION", "Log Description"},
                                         {"REMARKS", "Log Remarks"}};
    static const QList<TSearchField> decision{{"DATE_ENTERED", "Decision Date"},
                                              {"SYNOPSIS", "Decision Synopsis"},
                                              {"ACTOR_DECISION", "Decision Maker"},
                                              {"BACKED_BY", "Decision Backed by"},
                                              {"DESCRIPTION", "Decision Description"}};
    static const QList<TSearchField> statement{{"DATE_ENTERED", "Statement Date"},
                                               {"SYNOPSIS", "Statement Synopsis"},
                                               {"ACTOR_STATEMENT", "Statement Holder"},
                                               {"BACKED_BY", "Statement Backed by"},
                                               {"DESCRIPTION", "Statement Description"}};
    switch (kind) {
    case rkAction:
        return action;
    case rkLog:
        return log;
    case rkDecision:
        return decision;
    case rkStatement:
        break;
    }
    return statement;
}

bool SearchActionFile(TDataModuleMain &data, const QString &text, TSearchProgress *progress)
{
    TTable *hits = data.cdsActionsSearch;
    hits->SetFileName(data.TempFiles.NewFileName(QStringLiteral("cds")));
    hits->CreateDataSet();
    hits->SetLogChanges(false);
    hits->AppendStoredRecords(TSearchWalk(data, text).Run(progress));
    hits->First();
    return !hits->IsEmpty();
}

void CloseSearchResults(TDataModuleMain &data)
{
    TTable *hits = data.cdsActionsSearch;
    TryFinally([&] { hits->Close(); },
               [&] {
                   hits->Abandon();
                   hits->SetFileName(QString());
               });
}

void GotoSearchAction(TDataModuleMain &data, int actionId)
{
    TTable *actions = data.cdsActions;
    if (!actions->Active())
        return;
    // The list and the log are drawn once, when the guards end.
    const TControlsDisabled actionsQuiet(actions), logQuiet(data.cdsLog);
    const int id = actions->FieldIndex(QStringLiteral("ID"));
    const std::vector<TRecord *> &listed = actions->VisibleRecords();
    const auto found = std::find_if(listed.begin(), listed.end(), [&](const TRecord *record) {
        const QVariant &value = record->Stored(size_t(id));
        return value.isValid() && StoredNumber(value) == actionId;
    });
    if (found != listed.end())
        actions->SetRecNo(int(found - listed.begin()));
    else
        actions->First();
    data.FilterLogByAction();
}

std::optional<TRowColors> SearchRowColors(int foundIn, bool selected)
{
    static constexpr TRgb black(0, 0, 0);
    if (selected)
        return TRowColors{black, kSelectedRowColor};
    switch (foundIn) {
    case rkAction:
        return TRowColors{black, TRgb(255, 255, 255)};
    case rkLog:
        return TRowColors{black, TRgb(255, 255, 153)};
    case rkDecision:
        return TRowColors{black, TRgb(250, 230, 230)};
    case rkStatement:
        return TRowColors{black, TRgb(196, 243, 255)};
    default:
        return std::nullopt;
    }
}
