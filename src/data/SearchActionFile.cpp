#include "SearchActionFile.h"

#include "ScopeGuards.h"
#include "TTableFile.h"
#include "TextMatcher.h"

#include <algorithm>
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
// a filter over the whole table.
class TChildren {
public:
    TChildren(TTable *table, const char *order)
    {
        if (!table->Active())
            return;
        const int idAction = table->FieldIndex(QStringLiteral("ID_ACTION"));
        const std::vector<TRecord *> &records = table->RecordsInOrder(QLatin1String(order));
        entries_.reserve(records.size());
        for (TRecord *record : records) {
            const QVariant &value = record->Value(size_t(idAction));
            // A record without an action passes no action's filter.
            if (value.isValid())
                entries_.push_back({StoredNumber(value), record});
        }
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const Entry &a, const Entry &b) { return a.action < b.action; });
    }

    template <typename Visit> void ForAction(qint64 action, Visit &&visit) const
    {
        auto at = std::lower_bound(entries_.begin(), entries_.end(), action,
                                   [](const Entry &entry, qint64 id) { return entry.action < id; });
        for (; at != entries_.end() && at->action == action; ++at)
            visit(at->record);
    }

private:
    struct Entry {
        qint64 action;
        TRecord *record;
    };
    std::vector<Entry> entries_;
};

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

        const std::vector<TRecord *> &listed = actions->VisibleRecords();
        for (size_t row = 0; row < listed.size(); ++row) {
            if (progress && row % 1024 == 1023)
                progress->Step();
            const TRecord *action = listed[row];
            const QVariant &id = action->Value(size_t(actionId));
            const QVariant &idText = action->values[size_t(actionIdText)];
            // An action without an ID owns the children of the filter that
            // stands for no action.
            const qint64 owner = id.isValid() ? StoredNumber(id) : kNoActionId;

            Examine(actions, actionFields, action, [&](std::vector<QVariant> &hit) {
                hit[scIdActionId] = id;
                hit[scIdAction] = idText;
            });
            logs.ForAction(owner, [&](const TRecord *log) {
                Examine(data_.cdsLog, logFields, log, [&](std::vector<QVariant> &hit) {
                    hit[scIdActionId] = id;
                    hit[scIdAction] = idText;
                    hit[scIdLog] = log->values[size_t(logId)];
                    hit[scLogStatusLine] = log->values[size_t(logLine)];
                });
            });
            decisions.ForAction(owner, [&](const TRecord *decision) {
                Examine(data_.cdsDecision, decisionFields, decision, [&](std::vector<QVariant> &hit) {
                    hit[scIdActionId] = id;
                    hit[scIdAction] = idText;
                    hit[scIdDecision] = decision->values[size_t(decisionId)];
                    hit[scDecisionSynopsis] = decision->values[size_t(decisionSynopsis)];
                });
            });
            statements.ForAction(owner, [&](const TRecord *statement) {
                Examine(data_.cdsStatement, statementFields, statement, [&](std::vector<QVariant> &hit) {
                    hit[scIdActionId] = id;
                    hit[scIdAction] = idText;
                    hit[scIdStatement] = statement->values[size_t(statementId)];
                    hit[scStatementSynopsis] = statement->values[size_t(statementSynopsis)];
                });
            });
        }
        return std::move(hits_);
    }

private:
    // One result per field of the record whose text holds the search text.
    template <typename Fill>
    void Examine(TTable *table, const TKindFields &fields, const TRecord *record, Fill &&fill)
    {
        const QList<TFieldDef> &defs = table->FieldDefs();
        for (size_t number = 0; number < fields.positions.size(); ++number) {
            const int position = fields.positions[number];
            // Texts are read as stored, undecoded bytes included, so a
            // search decodes nothing it keeps.
            const QVariant &value = record->values[size_t(position)];
            if (!matcher_.MatchesStored(defs[position], value))
                continue;
            std::vector<QVariant> hit(scColumnCount);
            hit[scFoundIn] = int(fields.kind);
            hit[scIdLog] = hit[scIdDecision] = hit[scIdStatement] = -1;
            fill(hit);
            const TFieldDef &def = defs[position];
            hit[scTextFound] =
                def.type == ftString || def.type == ftMemo ? value : QVariant(DisplayText(def, value));
            hit[scInFieldName] = fields.captions[number];
            hit[scInFieldNumber] = fields.numbers[number];
            hits_.push_back(std::move(hit));
        }
    }

    TDataModuleMain &data_;
    TTextMatcher matcher_;
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
        const QVariant &value = record->Value(size_t(id));
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
        return TRowColors{black, TRgb(166, 202, 240)};
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
