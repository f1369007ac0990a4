#include "ActionSearch.h"

#include "ActionListEditors.h"
#include "ScopeGuards.h"
#include "SearchActionFile.h"
#include "TFormDecision.h"
#include "TFormSearch.h"
#include "UiServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

// Shows the busy cursor once a search has taken half a second, and from
// then on lets the windows repaint now and then (user input waits).
class TSearchFeedback final : public TSearchProgress {
public:
    TSearchFeedback() { clock_.start(); }
    ~TSearchFeedback() override
    {
        if (busy_)
            Ui().EndBusy();
    }
    TSearchFeedback(const TSearchFeedback &) = delete;
    TSearchFeedback &operator=(const TSearchFeedback &) = delete;

    void Step() override
    {
        const qint64 now = clock_.elapsed();
        if (now < 500)
            return;
        if (!busy_) {
            Ui().BeginBusy();
            busy_ = true;
        }
        if (now - painted_ >= 100) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            painted_ = now;
        }
    }

private:
    QElapsedTimer clock_;
    qint64 painted_ = 0;
    bool busy_ = false;
};

int HitField(TTable *hits, const char *name)
{
    return hits->FieldByName(QLatin1String(name)).AsInteger();
}

// Moves to the child record whose ID is id among those the filter shows.
bool LocateChild(TTable *children, int id)
{
    const TField idField = children->FieldByName(QStringLiteral("ID"));
    for (children->First(); !children->Eof(); children->Next())
        if (!idField.IsNull() && idField.AsInteger() == id)
            return true;
    return false;
}

void NotFound(const QString &what)
{
    Ui().MessageBox(QStringLiteral("Associated Search %1 not Found").arg(what),
                    QStringLiteral("No associated %1").arg(what), MB_OK | MB_ICONERROR);
}

// Opens the result's record, its action being current and the child tables
// restricted to it.
void OpenHitRecord(const TActionListFile &file, QWidget *parent)
{
    TDataModuleMain &data = file.data;
    TTable *hits = data.cdsActionsSearch;
    switch (HitField(hits, "FOUND_IN")) {
    case rkAction:
        data.cdsActions->Edit();
        ShowActionEditor(file, emView, parent);
        break;
    case rkLog:
        if (LocateChild(data.cdsLog, HitField(hits, "ID_LOG"))) {
            data.cdsLog->Edit();
            ShowLogEditor(file, emView, parent);
        } else {
            NotFound(QStringLiteral("Log"));
        }
        break;
    case rkDecision:
        if (LocateChild(data.cdsDecision, HitField(hits, "ID_DECISION")))
            ShowDecisionStatementEditor(file, rkDecision, parent);
        else
            NotFound(QStringLiteral("Decision"));
        break;
    case rkStatement:
        if (LocateChild(data.cdsStatement, HitField(hits, "ID_STATEMENT")))
            ShowDecisionStatementEditor(file, rkStatement, parent);
        else
            NotFound(QStringLiteral("Statement"));
        break;
    default:
        break;
    }
}

} // namespace

void ShowDecisionStatementEditor(const TActionListFile &file, TRecordKind kind, QWidget *parent)
{
    // The editor takes the field to focus from the current search result.
    const TDecisionKind &editorKind = kind == rkStatement ? StatementKind() : DecisionKind();
    editorKind.Table(file.data)->Edit();
    ShowDecisionViewer(file, editorKind, parent);
}

void OpenSearchResult(const TActionListFile &file, QWidget *parent)
{
    TDataModuleMain &data = file.data;
    TTable *hits = data.cdsActionsSearch;
    TTable *actions = data.cdsActions;
    if (!hits->Active() || hits->IsEmpty() || !actions->Active())
        return;
    // The list, the log and the indicators follow once, when the guards end.
    const TControlsDisabled actionsQuiet(actions), logQuiet(data.cdsLog), decisionsQuiet(data.cdsDecision),
        statementsQuiet(data.cdsStatement);
    const TBookmark bookmark = actions->GetBookmark();
    const QString indexName = actions->IndexName();
    TryFinally(
        [&] {
            bool found = false;
            {
                BusyCursor busy;
                actions->SetIndexName(QStringLiteral("ID_ASC"));
                found = actions->FindKey({HitField(hits, "ID_ACTION_ID")});
            }
            if (!found) {
                NotFound(QStringLiteral("Action"));
                return;
            }
            data.FilterLogByAction();
            data.FilterDecisionsByAction();
            data.FilterStatementsByAction();
            TryFinally([&] { OpenHitRecord(file, parent); },
                       [&] {
                           data.UnfilterLog();
                           data.UnfilterDecisions();
                           data.UnfilterStatements();
                       });
        },
        [&] {
            actions->SetIndexName(indexName);
            if (actions->BookmarkValid(bookmark))
                actions->GotoBookmark(bookmark);
            data.FilterLogByAction();
        });
}

void ActionSearch(const TActionListFile &file, QWidget *parent, QString &searchText)
{
    TDataModuleMain &data = file.data;
    for (;;) {
        QString text = searchText;
        for (;;) {
            if (!Ui().InputQuery(QStringLiteral("Search for some Text"), QStringLiteral("Search String"),
                                 text))
                return;
            if (!text.trimmed().isEmpty())
                break;
            Ui().MessageBox(QStringLiteral("Please enter a Search String"), QStringLiteral("No Input"),
                            MB_OK | MB_ICONEXCLAMATION);
        }
        searchText = text;
        bool again = false;
        TryFinally(
            [&] {
                bool found = false;
                {
                    TSearchFeedback feedback;
                    found = SearchActionFile(data, text, &feedback);
                }
                if (!found) {
                    Ui().MessageBox(QStringLiteral("Search String \"%1\" could not be found.").arg(text),
                                    QStringLiteral("No Find"), MB_OK | MB_ICONEXCLAMATION);
                    return;
                }
                data.cdsActionsSearch->First();
                TFormSearch form(file, text, parent);
                Ui().ExecModal(&form);
                again = form.SearchAgainChosen();
                if (const std::optional<int> action = form.ChosenAction()) {
                    BusyCursor busy;
                    GotoSearchAction(data, *action);
                }
            },
            [&] { CloseSearchResults(data); });
        if (!again)
            return;
    }
}

void ActionSearch(const TActionListFile &file, QWidget *parent)
{
    QString searchText;
    ActionSearch(file, parent, searchText);
}
