#include "TDataModuleMain.h"

#include "Formats.h"
#include "TSettings.h"

#include <QFileInfo>
#include <pwd.h>
#include <unistd.h>

namespace {

TFieldDef S(const char *name, int size)
{
    return {QLatin1String(name), ftString, size};
}
TFieldDef I(const char *name)
{
    return {QLatin1String(name), ftInteger, 0};
}
TFieldDef D(const char *name)
{
    return {QLatin1String(name), ftDate, 0};
}
TFieldDef T(const char *name)
{
    return {QLatin1String(name), ftTime, 0};
}
TFieldDef M(const char *name)
{
    return {QLatin1String(name), ftMemo, 0};
}

// FIELD_ASC and FIELD_DESC over one field.
void AddPair(QList<TIndexDef> &indexes, const QString &field, bool caseInsensitive)
{
    indexes.append({field + QStringLiteral("_ASC"), {field}, false, caseInsensitive});
    indexes.append({field + QStringLiteral("_DESC"), {field}, true, caseInsensitive});
}

QList<TIndexDef> ChildIndexes(const char *actorField)
{
    QList<TIndexDef> indexes;
    AddPair(indexes, QStringLiteral("ID"), false);
    AddPair(indexes, QStringLiteral("DATE_ENTERED"), false);
    AddPair(indexes, QStringLiteral("SYNOPSIS"), true);
    AddPair(indexes, QLatin1String(actorField), true);
    AddPair(indexes, QStringLiteral("BACKED_BY"), true);
    return indexes;
}

QList<TFieldDef> ChildFields(const char *actorField)
{
    return {I("ID"),          I("ID_ACTION"),    D("DATE_ENTERED"),  S("SYNOPSIS", 128),
            M("DESCRIPTION"), S(actorField, 64), S("BACKED_BY", 256)};
}

} // namespace

TDataModuleMain::TDataModuleMain(const TSettings &settings, QObject *parent)
    : QObject(parent), Tables(*this), settings_(settings)
{
    cdsAction =
        new TTable(QStringLiteral("cdsAction"),
                   {S("TITLE", 128), S("COMPANY", 128), S("DEPARTMENT", 128), S("PROJECT", 128),
                    S("HOME_ID", 128), S("FOREIGN_ID", 128), S("ACTOR_HOME", 64), S("ACTOR_FOREIGN", 64),
                    D("DATE_ENTERED"), M("CONTEXT"), M("REASON"), M("REMARKS")},
                   {}, this);

    QList<TIndexDef> actionIndexes;
    AddPair(actionIndexes, QStringLiteral("ID"), false);
    for (const char *field : {"ATTRIBUTE", "ID_ACTION", "SYNOPSIS"})
        AddPair(actionIndexes, QLatin1String(field), true);
    for (const char *field : {"DATE_ACTION", "DATE_DUE"})
        AddPair(actionIndexes, QLatin1String(field), false);
    for (const char *field : {"ACTOR_OWNER", "ACTOR_ORGANIZOR", "STATUS", "SEVERITY"})
        AddPair(actionIndexes, QLatin1String(field), true);
    for (const char *field : {"DATE_STATUS", "DATE_FINISHED"})
        AddPair(actionIndexes, QLatin1String(field), false);
    for (const char *field : {"RELATIONS", "FUNCTIONAL_AREA"})
        AddPair(actionIndexes, QLatin1String(field), true);
    cdsActions =
        new TTable(QStringLiteral("cdsActions"),
                   {I("ID"), I("ID_CHAIN"), S("ATTRIBUTE", 32), S("ID_ACTION", 128), D("DATE_ACTION"),
                    D("DATE_DUE"), D("DATE_STATUS"), D("DATE_FINISHED"), S("SYNOPSIS", 256), M("DESCRIPTION"),
                    S("ACTOR_OWNER", 64), S("ACTOR_ORGANIZOR", 64), S("STATUS", 128), S("SEVERITY", 128),
                    S("RELATIONS", 256), S("FUNCTIONAL_AREA", 256), M("SIGN_OFF")},
                   actionIndexes, this);

    const QList<TFieldDef> actorFields{S("ID", 64),           S("COMPANY", 128),   S("DEPARTMENT", 128),
                                       S("TITLE", 64),        S("PREFIX", 64),     S("FIRST_NAME", 128),
                                       S("INSERTION", 64),    S("LAST_NAME", 128), S("SUFFIX", 64),
                                       S("GENDER", 1),        S("PHONE_1", 64),    S("PHONE_2", 64),
                                       S("PHONE_MOBILE", 64), S("EMAIL_1", 256),   S("EMAIL_2", 256)};
    QList<TIndexDef> actorIndexes;
    for (const TFieldDef &field : actorFields)
        AddPair(actorIndexes, field.name, true);
    cdsActor = new TTable(QStringLiteral("cdsActor"), actorFields, actorIndexes, this);

    QList<TIndexDef> logIndexes;
    AddPair(logIndexes, QStringLiteral("ID"), false);
    logIndexes.append({QStringLiteral("LOG_DATE_TIME"),
                       {QStringLiteral("DATE_LOG"), QStringLiteral("TIME_LOG")},
                       true,
                       false});
    cdsLog = new TTable(QStringLiteral("cdsLog"),
                        {I("ID"), I("ID_ACTION"), D("DATE_LOG"), T("TIME_LOG"), S("STATUS_LINE", 128),
                         S("STATUS", 128), D("DATE_STATUS"), S("ACTOR_STATUS", 64), S("ACTOR_TENDER", 64),
                         M("DESCRIPTION"), M("REMARKS")},
                        logIndexes, this);

    cdsDecision = new TTable(QStringLiteral("cdsDecision"), ChildFields("ACTOR_DECISION"),
                             ChildIndexes("ACTOR_DECISION"), this);
    cdsStatement = new TTable(QStringLiteral("cdsStatement"), ChildFields("ACTOR_STATEMENT"),
                              ChildIndexes("ACTOR_STATEMENT"), this);

    cdsActionsSearch = new TTable(QStringLiteral("cdsActionsSearch"),
                                  {I("FOUND_IN"), I("ID_ACTION_ID"), I("ID_LOG"), I("ID_DECISION"),
                                   I("ID_STATEMENT"), S("ID_ACTION", 128), S("LOG_STATUS_LINE", 128),
                                   S("DECISION_SYNOPSIS", 128), S("STATEMENT_SYNOPSIS", 128), M("TEXT_FOUND"),
                                   S("IN_FIELD_NAME", 64), I("IN_FIELD_NUMBER")},
                                  {}, this);

    cdsAction->OnNewRecord = [this](TTable &t) { cdsActionNewRecord(t); };
    cdsActions->OnNewRecord = [this](TTable &t) { cdsActionsNewRecord(t); };
    cdsLog->OnNewRecord = [this](TTable &t) { cdsLogNewRecord(t); };
    cdsDecision->OnNewRecord = [this](TTable &t) { cdsDecisionNewRecord(t); };
    cdsStatement->OnNewRecord = [this](TTable &t) { cdsStatementNewRecord(t); };
    cdsActor->OnNewRecord = [this](TTable &t) { cdsActorNewRecord(t); };
    for (TTable *table : {cdsAction, cdsActions, cdsActor, cdsLog, cdsDecision, cdsStatement})
        connect(table, &TTable::FileRepaired, this, &TDataModuleMain::TableFileRepaired);
    UseDefaultActionsFilter();

    actionsFinished_ = cdsActions->FieldIndex(QStringLiteral("DATE_FINISHED"));
    actionsOwner_ = cdsActions->FieldIndex(QStringLiteral("ACTOR_OWNER"));
    Tables.Reset();
}

TDataModuleMain::~TDataModuleMain() = default;

QString TDataModuleMain::LoginName()
{
    if (const passwd *entry = ::getpwuid(::geteuid()); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

QString TDataModuleMain::HomeActor() const
{
    return cdsAction->Active() ? cdsAction->FieldByName(QStringLiteral("ACTOR_HOME")).AsString() : QString();
}

QString TDataModuleMain::ShownFileName() const
{
    return QFileInfo(ContainerFileName.isEmpty() ? Tables.FileName() : ContainerFileName).absoluteFilePath();
}

QString TDataModuleMain::DefaultActor() const
{
    const QString home = HomeActor();
    return home.isEmpty() ? LoginName() : home;
}

void TDataModuleMain::FilterLogByAction()
{
    const QString id = cdsActions->Active() && cdsActions->RecordCount() > 0
                           ? cdsActions->FieldByName(QStringLiteral("ID")).AsString()
                           : QString::number(kNoActionId);
    // An action not saved yet has no ID; it owns no log entries.
    cdsLog->SetFilter(QStringLiteral("ID_ACTION = ") + (id.isEmpty() ? QString::number(kNoActionId) : id));
    cdsLog->SetFiltered(true);
    if (cdsLog->Active())
        cdsLog->First();
}

void TDataModuleMain::UnfilterLog()
{
    cdsLog->SetFiltered(false);
    cdsLog->SetFilter(QString());
    if (cdsLog->Active())
        cdsLog->First();
}

namespace {

void FilterChildren(TTable *actions, TTable *children)
{
    const QString id = actions->Active() ? actions->FieldByName(QStringLiteral("ID")).AsString() : QString();
    children->SetFilter(QStringLiteral("ID_ACTION = ") + (id.isEmpty() ? QString::number(kNoActionId) : id));
    children->SetFiltered(true);
    if (children->Active())
        children->First();
}

void Unfilter(TTable *children)
{
    children->SetFiltered(false);
    children->SetFilter(QString());
    if (children->Active())
        children->First();
}

} // namespace

void TDataModuleMain::FilterDecisionsByAction()
{
    FilterChildren(cdsActions, cdsDecision);
}
void TDataModuleMain::UnfilterDecisions()
{
    Unfilter(cdsDecision);
}
void TDataModuleMain::FilterStatementsByAction()
{
    FilterChildren(cdsActions, cdsStatement);
}
void TDataModuleMain::UnfilterStatements()
{
    Unfilter(cdsStatement);
}

bool TDataModuleMain::cdsActionsFilterRecord(TTable &table, bool showMine) const
{
    // Runs once per action on every reload, so it reads fields by position
    // and fetches texts only when "mine" needs them.
    TActionFilterInput input;
    input.filter = settings_.Actions.Filter;
    input.showMine = showMine;
    if (input.showMine)
        input.actorHome = HomeActor();
    return AcceptAction(input, !table.Fields(actionsFinished_).IsNull(),
                        FiltersMine(input) ? table.Fields(actionsOwner_).AsString() : QString());
}

void TDataModuleMain::UseDefaultActionsFilter()
{
    cdsActions->OnFilterRecord = [this](TTable &t) { return cdsActionsFilterRecord(t, false); };
}

void TDataModuleMain::DataSourceActionsDataChange()
{
    if (cdsActions->State() == dsInsert)
        UnfilterLog();
    else
        FilterLogByAction();
    Q_EMIT CurrentActionChanged();
    ShowSeverity();
    ShowActionStatus();
    ShowDueDate();
}

void TDataModuleMain::DataSourceLogDataChange()
{
    const bool has = cdsLog->Active() && cdsLog->RecordCount() > 0;
    Q_EMIT LogStatusChanged(StatusIndicator(
        has, has ? cdsLog->FieldByName(QStringLiteral("STATUS")).AsString() : QString(), TStatusOf::Log));
}

namespace {

bool HasVisibleAction(TTable *actions)
{
    return actions->Active() && actions->RecordCount() > 0;
}

} // namespace

void TDataModuleMain::ShowSeverity()
{
    const bool has = HasVisibleAction(cdsActions);
    Q_EMIT SeverityChanged(SeverityIndicator(
        has, has ? cdsActions->FieldByName(QStringLiteral("SEVERITY")).AsString() : QString()));
}

void TDataModuleMain::ShowActionStatus()
{
    const bool has = HasVisibleAction(cdsActions);
    Q_EMIT ActionStatusChanged(
        StatusIndicator(has, has ? cdsActions->FieldByName(QStringLiteral("STATUS")).AsString() : QString(),
                        TStatusOf::Action));
}

void TDataModuleMain::ShowDueDate()
{
    QString text;
    if (HasVisibleAction(cdsActions))
        text = DueDateText(cdsActions->FieldByName(QStringLiteral("DATE_DUE")).AsDate(),
                           cdsActions->FieldByName(QStringLiteral("DATE_FINISHED")).AsDate(),
                           QDate::currentDate());
    Q_EMIT DueDateChanged(text);
}

void TDataModuleMain::cdsActionNewRecord(TTable &table)
{
    table.FieldByName(QStringLiteral("COMPANY")).SetAsString(settings_.Company.Name);
    table.FieldByName(QStringLiteral("DEPARTMENT")).SetAsString(settings_.Company.Department);
    table.FieldByName(QStringLiteral("ACTOR_HOME")).SetAsString(DefaultActor());
    table.FieldByName(QStringLiteral("DATE_ENTERED")).SetAsDate(QDate::currentDate());
}

void TDataModuleMain::cdsActionsNewRecord(TTable &table)
{
    const QString homeId = cdsAction->Active()
                               ? cdsAction->FieldByName(QStringLiteral("HOME_ID")).AsString().trimmed()
                               : QString();
    table.FieldByName(QStringLiteral("ATTRIBUTE"))
        .SetAsString(homeId + settings_.Actions.AtributeSeparator.trimmed() +
                     QStringLiteral("%1").arg(LastActionId() + 1, 5, 10, QLatin1Char('0')));
    const QDate today = QDate::currentDate();
    table.FieldByName(QStringLiteral("DATE_ACTION")).SetAsDate(today);
    table.FieldByName(QStringLiteral("DATE_STATUS")).SetAsDate(today);
    const QString actor = DefaultActor();
    table.FieldByName(QStringLiteral("ACTOR_OWNER")).SetAsString(actor);
    table.FieldByName(QStringLiteral("ACTOR_ORGANIZOR")).SetAsString(actor);
    table.FieldByName(QStringLiteral("STATUS")).SetAsString(QStringLiteral("Void"));
    table.FieldByName(QStringLiteral("SEVERITY")).SetAsString(QStringLiteral("Medium"));
}

void TDataModuleMain::cdsLogNewRecord(TTable &table)
{
    const QDate today = QDate::currentDate();
    table.FieldByName(QStringLiteral("DATE_LOG")).SetAsDate(today);
    table.FieldByName(QStringLiteral("TIME_LOG")).SetAsTime(QTime::currentTime());
    table.FieldByName(QStringLiteral("DATE_STATUS")).SetAsDate(today);
    if (settings_.Actions.TransferData) {
        const bool has = HasVisibleAction(cdsActions);
        const QString owner =
            has ? cdsActions->FieldByName(QStringLiteral("ACTOR_OWNER")).AsString() : QString();
        table.FieldByName(QStringLiteral("STATUS"))
            .SetAsString(has ? cdsActions->FieldByName(QStringLiteral("STATUS")).AsString() : QString());
        table.FieldByName(QStringLiteral("ACTOR_STATUS")).SetAsString(owner);
        table.FieldByName(QStringLiteral("ACTOR_TENDER")).SetAsString(owner);
    } else {
        const QString actor = DefaultActor();
        table.FieldByName(QStringLiteral("STATUS")).SetAsString(QStringLiteral("Void"));
        table.FieldByName(QStringLiteral("ACTOR_STATUS")).SetAsString(actor);
        table.FieldByName(QStringLiteral("ACTOR_TENDER")).SetAsString(actor);
    }
}

void TDataModuleMain::cdsDecisionNewRecord(TTable &table)
{
    table.FieldByName(QStringLiteral("DATE_ENTERED")).SetAsDate(QDate::currentDate());
    table.FieldByName(QStringLiteral("ACTOR_DECISION")).SetAsString(DefaultActor());
}

void TDataModuleMain::cdsStatementNewRecord(TTable &table)
{
    table.FieldByName(QStringLiteral("DATE_ENTERED")).SetAsDate(QDate::currentDate());
    table.FieldByName(QStringLiteral("ACTOR_STATEMENT")).SetAsString(DefaultActor());
}

void TDataModuleMain::cdsActorNewRecord(TTable &table)
{
    table.FieldByName(QStringLiteral("GENDER")).SetAsString(QStringLiteral("F"));
}
