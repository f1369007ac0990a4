#include "ActionEdits.h"
#include "ActionExport.h"
#include "ActionFileSession.h"
#include "CliCommandGroups.h"
#include "CliError.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "Formats.h"
#include "NamedAction.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

namespace {

// Sets a field of the current action from text typed on the command line;
// dates are taken as yyyy-mm-dd or dd/mm/yyyy, empty text clears the field.
void SetFieldText(TTable &table, const QString &name, const QString &text)
{
    const int index = table.FieldIndex(name.toUpper());
    if (index < 0)
        throw AppError(QStringLiteral("Unknown field ") + Quoted(name));
    TField field = table.Fields(index);
    if (field.FieldName() == QLatin1String("ID"))
        throw AppError(QStringLiteral("The field ID cannot be changed: the log entries, decisions and "
                                      "statements of the action refer to it"));
    if (text.isEmpty()) {
        field.Clear();
        return;
    }
    switch (field.Def().type) {
    case ftDate: {
        QDate date = QDate::fromString(text, Qt::ISODate);
        if (!date.isValid())
            date = ParseDate(text);
        if (!IsStorableDate(date))
            throw AppError(QStringLiteral("%1 is not a date for %2 (yyyy-mm-dd or dd/mm/yyyy)")
                               .arg(Quoted(text), field.FieldName()));
        field.SetAsDate(date);
        return;
    }
    case ftTime:
    case ftInteger:
        try {
            field.SetAsString(text);
        } catch (const AppError &) {
            throw AppError(
                QStringLiteral("%1 is not a valid value for %2").arg(Quoted(text), field.FieldName()));
        }
        return;
    case ftString:
    case ftMemo:
        RefuseTooLongText(field.Def(), text);
        field.SetAsString(text);
        return;
    }
}

// FIELD=VALUE pairs in the order given.
QList<QPair<QString, QString>> Assignments(const QStringList &arguments, const QString &command)
{
    QList<QPair<QString, QString>> result;
    for (const QString &argument : arguments) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals <= 0)
            throw UsageError(QStringLiteral("%1: %2 is not FIELD=VALUE").arg(command, Quoted(argument)));
        result.append({argument.left(equals), argument.mid(equals + 1)});
    }
    return result;
}

// Sets the fields of the current action as the action editor does: a change
// of the status also makes today its status date, unless a status date is
// given too.
void ApplyAssignments(TTable &actions, const QList<QPair<QString, QString>> &assignments)
{
    bool statusChanged = false, statusDateGiven = false;
    for (const auto &[name, value] : assignments) {
        const QString field = name.toUpper();
        if (field == QLatin1String("STATUS"))
            statusChanged = true;
        if (field == QLatin1String("DATE_STATUS"))
            statusDateGiven = true;
        SetFieldText(actions, name, value);
    }
    if (statusChanged && !statusDateGiven)
        actions.FieldByName(QStringLiteral("DATE_STATUS")).SetAsDate(QDate::currentDate());
}

// Edits the current action, runs change and posts; a failure cancels it.
template <typename Change> void EditAction(TTable &actions, Change change)
{
    actions.Edit();
    UndoOnError(
        [&] {
            change();
            actions.Post();
        },
        [&] { actions.Cancel(); });
}

} // namespace

int CmdAdd(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(
        QStringLiteral("add"),
        QStringLiteral("Adds an action as the action editor does: the defaults of a new action, "
                       "its number from the file's counter."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    line.Positional(QStringLiteral("FIELD=VALUE"), QStringLiteral("Further fields of the action."),
                    QStringLiteral("[FIELD=VALUE...]"));
    struct Named {
        QCommandLineOption option;
        const char *field;
    };
    const Named named[] = {
        {ValueOption(QStringLiteral("id"), QStringLiteral("The Action ID (required)."), QStringLiteral("id")),
         "ID_ACTION"},
        {ValueOption(QStringLiteral("synopsis"), QStringLiteral("The synopsis. Default: the Action ID."),
                     QStringLiteral("text")),
         "SYNOPSIS"},
        {ValueOption(QStringLiteral("description"), QStringLiteral("The description."),
                     QStringLiteral("text")),
         "DESCRIPTION"},
        {ValueOption(QStringLiteral("due"), QStringLiteral("The due date, yyyy-mm-dd or dd/mm/yyyy."),
                     QStringLiteral("date")),
         "DATE_DUE"},
        {ValueOption(QStringLiteral("owner"),
                     QStringLiteral("The owner. Default: the home actor or your login."),
                     QStringLiteral("name")),
         "ACTOR_OWNER"},
        {ValueOption(QStringLiteral("organizer"), QStringLiteral("The organizer. Default: as the owner's."),
                     QStringLiteral("name")),
         "ACTOR_ORGANIZOR"},
        {ValueOption(QStringLiteral("status"), QStringLiteral("The status word. Default: Void."),
                     QStringLiteral("word")),
         "STATUS"},
        {ValueOption(QStringLiteral("severity"), QStringLiteral("The severity word. Default: Medium."),
                     QStringLiteral("word")),
         "SEVERITY"},
    };
    for (const Named &entry : named)
        line.Parser().addOption(entry.option);
    if (!line.Parse(arguments, 1, true))
        return ExitOk;
    if (line.Value(named[0].option).trimmed().isEmpty())
        throw UsageError(QStringLiteral("add: --id is required"));
    QList<QPair<QString, QString>> assignments;
    for (const Named &entry : named)
        if (line.IsSet(entry.option))
            assignments.append({QLatin1String(entry.field), line.Value(entry.option)});
    assignments += Assignments(line.Args().mid(1), QStringLiteral("add"));

    // A new action takes its defaults from the header; the actions are not
    // loaded, only their highest number read, and the new one appended.
    TActionFileSession session(data, line.Args().at(0), TActionFileSession::Change,
                               MemberBit(TableMember::Header));
    session.OpenNarrow(TableMember::Actions, true);
    TTable &actions = *data.cdsActions;
    actions.Insert();
    UndoOnError(
        [&] {
            for (const auto &[name, value] : assignments)
                SetFieldText(actions, name, value);
            // As leaving the editor's Action ID field does.
            if (actions.FieldByName(QStringLiteral("SYNOPSIS")).AsString().trimmed().isEmpty())
                actions.FieldByName(QStringLiteral("SYNOPSIS"))
                    .SetAsString(actions.FieldByName(QStringLiteral("ID_ACTION")).AsString());
            AssignNewActionId(data);
            actions.Post();
        },
        [&] { actions.Cancel(); });
    const QString added = actions.FieldByName(QStringLiteral("ID")).AsString() + QLatin1Char('\t') +
                          actions.FieldByName(QStringLiteral("ATTRIBUTE")).AsString() + QLatin1Char('\n');
    session.Commit();
    WriteOut(OutputIsTerminal() ? TerminalText(added, u"\t\n") : added);
    return ExitOk;
}

int CmdSet(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(
        QStringLiteral("set"),
        QStringLiteral("Changes fields of an action. A new status makes today its status date, as in "
                       "the action editor. An empty VALUE clears the field."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    line.Positional(QStringLiteral("ACTION_ID"),
                    QStringLiteral("The action's Action ID, or its number (the field ID) in the file."));
    line.Positional(QStringLiteral("FIELD=VALUE"),
                    QStringLiteral("Field names as in export, e.g. STATUS=Active DATE_DUE=2027-01-31."),
                    QStringLiteral("FIELD=VALUE..."));
    if (!line.Parse(arguments, 3, true))
        return ExitOk;
    const auto assignments = Assignments(line.Args().mid(2), QStringLiteral("set"));
    TActionFileSession session(data, line.Args().at(0), TActionFileSession::Change, 0);
    ReadNamedAction(data, session, line.Args().at(1));
    GotoAction(data, line.Args().at(1));
    EditAction(*data.cdsActions, [&] { ApplyAssignments(*data.cdsActions, assignments); });
    session.Commit();
    return ExitOk;
}

int CmdResolve(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("resolve"),
                      QStringLiteral("Resolves an action today as the action editor's Resolve does, with the "
                                     "\"Action Resolved\" log entry when Actions.TransferData is on."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    line.Positional(QStringLiteral("ACTION_ID"),
                    QStringLiteral("The action's Action ID, or its number (the field ID) in the file."));
    const QCommandLineOption signOff =
        ValueOption(QStringLiteral("sign-off"), QStringLiteral("The sign-off text."), QStringLiteral("text"));
    line.Parser().addOption(signOff);
    if (!line.Parse(arguments, 2))
        return ExitOk;
    // The log is read only when a log entry is written.
    const bool logged = Settings().Actions.TransferData;
    TActionFileSession session(data, line.Args().at(0), TActionFileSession::Change, 0);
    ReadNamedAction(data, session, line.Args().at(1));
    if (logged)
        session.OpenNarrow(TableMember::Log, true);
    GotoAction(data, line.Args().at(1));
    TTable &actions = *data.cdsActions;
    EditAction(actions, [&] {
        MarkActionResolved(actions, QDate::currentDate());
        if (line.IsSet(signOff))
            actions.FieldByName(QStringLiteral("SIGN_OFF")).SetAsString(line.Value(signOff));
        if (logged)
            AddResolvedLogEntry(data);
    });
    session.Commit();
    return ExitOk;
}
