#include "ActionExport.h"
#include "ActionFileSession.h"
#include "ActionRules.h"
#include "CliCommandGroups.h"
#include "CliError.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "CliPrinters.h"
#include "NamedAction.h"
#include "ScopeGuards.h"
#include "SearchActionFile.h"
#include "TDataModuleMain.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// The tables list and count read: the actions, and the header for the home
// actor of "mine".
constexpr TMemberSet kListMembers = MemberBit(TableMember::Header) | MemberBit(TableMember::Actions);

} // namespace

int CmdList(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(
        QStringLiteral("list"),
        QStringLiteral("Lists the actions as the action list shows them: its columns, filter and "
                       "index names."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    TListOptions options;
    options.Add(line);
    const TSortAndFormat shown = AddSortAndFormat(
        line, QStringLiteral("The index that orders the list, e.g. DATE_DUE_ASC. Default: ATTRIBUTE_DESC."));
    if (!line.Parse(arguments, 1))
        return ExitOk;
    options.Check(line);
    const QString shape = shown.Shape(line);
    TTable &actions = *data.cdsActions;
    const QString index = ListIndex(actions, line, shown.sort, QStringLiteral("list"));
    TActionFileSession session(data, line.Args().at(0), TActionFileSession::Read, kListMembers, false);
    options.Apply(line, data);
    actions.SetIndexName(index);
    QList<int> fields;
    QStringList titles;
    for (const TActionListColumn &column : ActionListColumns()) {
        fields.append(actions.FieldIndex(column.field));
        titles.append(column.title);
    }
    if (shape == QLatin1String("json"))
        PrintJson(actions, fields);
    else if (shape == QLatin1String("csv"))
        PrintCsv(actions, fields);
    else
        PrintTable(actions, fields, titles);
    return ExitOk;
}

int CmdCount(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("count"), QStringLiteral("Prints how many actions list would show."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    TListOptions options;
    options.Add(line);
    if (!line.Parse(arguments, 1))
        return ExitOk;
    options.Check(line);
    TActionFileSession session(data, line.Args().at(0), TActionFileSession::Read, kListMembers, false);
    options.Apply(line, data);
    WriteOut(QString::number(data.cdsActions->RecordCount()) + QLatin1Char('\n'));
    return ExitOk;
}

int CmdShow(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("show"),
                      QStringLiteral("Shows one action with its log entries, decisions and statements."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    line.Positional(QStringLiteral("ACTION_ID"),
                    QStringLiteral("The action's Action ID, or its number (the field ID) in the file."));
    const QCommandLineOption format = ValueOption(
        QStringLiteral("format"), QStringLiteral("text (default) or json."), QStringLiteral("format"));
    line.Parser().addOption(format);
    if (!line.Parse(arguments, 2))
        return ExitOk;
    const bool json =
        line.Choice(format, {QStringLiteral("text"), QStringLiteral("json")}) == QLatin1String("json");
    TActionFileSession session(data, line.Args().at(0), TActionFileSession::Read);
    GotoAction(data, line.Args().at(1));
    TTable &actions = *data.cdsActions;
    const int actionId = actions.FieldByName(QStringLiteral("ID")).AsInteger();
    const int row = actions.RecNo();
    struct Child {
        const char *key;
        const char *title;
        TTable *table;
        const char *order;
    };
    const Child children[] = {{"log", "Log entry", data.cdsLog, "LOG_DATE_TIME"},
                              {"decisions", "Decision", data.cdsDecision, "DATE_ENTERED_DESC"},
                              {"statements", "Statement", data.cdsStatement, "DATE_ENTERED_DESC"}};
    QJsonObject object = RecordToJson(actions, row);
    QString text;
    PrintRecord(actions, row, QString(), text);
    for (const Child &child : children) {
        TTable &table = *child.table;
        table.SetFilter(QStringLiteral("ID_ACTION = ") + QString::number(actionId));
        table.SetFiltered(true);
        table.SetIndexName(QLatin1String(child.order));
        QJsonArray entries;
        for (int entry = 0; entry < table.RecordCount(); ++entry) {
            entries.append(RecordToJson(table, entry));
            text += QStringLiteral("\n%1 %2 of %3:\n")
                        .arg(QLatin1String(child.title))
                        .arg(entry + 1)
                        .arg(table.RecordCount());
            PrintRecord(table, entry, QStringLiteral("  "), text);
        }
        object.insert(QLatin1String(child.key), entries);
    }
    WriteOut(json ? QJsonDocument(object).toJson(QJsonDocument::Indented) : text.toUtf8());
    return ExitOk;
}

int CmdExport(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(
        QStringLiteral("export"),
        QStringLiteral("Exports the Action File: json (all of it), csv (the actions) or ical (one "
                       "VTODO per action)."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    const QCommandLineOption format =
        ValueOption(QStringLiteral("format"), QStringLiteral("json, csv or ical."), QStringLiteral("format"));
    const QCommandLineOption output = OutputOption();
    line.Parser().addOption(format);
    line.Parser().addOption(output);
    if (!line.Parse(arguments, 1))
        return ExitOk;
    const QString shape =
        line.Choice(format, {QStringLiteral("json"), QStringLiteral("csv"), QStringLiteral("ical")});
    if (shape.isEmpty())
        throw UsageError(QStringLiteral("export: --format is required (json, csv or ical)"));
    const QString fileName = line.Args().at(0);
    RefuseOutputOverInput(fileName, line.Value(output));
    TActionFileSession session(data, fileName, TActionFileSession::Read, kAllMembers, false);
    if (shape == QLatin1String("json")) {
        WriteStreamed(line.Value(output), [&](const auto &write) { ExportJson(data, write); });
        return ExitOk;
    }
    QByteArray bytes;
    if (shape == QLatin1String("csv"))
        bytes = ExportCsv(data);
    else
        bytes = ExportIcal(data);
    WriteResult(bytes, line.Value(output));
    return ExitOk;
}

int CmdSearch(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(
        QStringLiteral("search"),
        QStringLiteral("Searches the listed actions, their log entries, decisions and statements for a text, "
                       "as the action list's Search does: one result per matching field. FOUND_IN is 0 for "
                       "an action, 1 a log entry, 2 a decision, 3 a statement; IN_FIELD_NUMBER is the "
                       "field's place in its record kind."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    line.Positional(QStringLiteral("TEXT"),
                    QStringLiteral("The text to find, compared without case; blanks count."));
    TListOptions options;
    options.Add(line);
    const TSortAndFormat shown = AddSortAndFormat(
        line, QStringLiteral("The index whose order the actions are searched in. Default: ATTRIBUTE_DESC."));
    if (!line.Parse(arguments, 2))
        return ExitOk;
    options.Check(line);
    const QString shape = shown.Shape(line);
    const QString text = line.Args().at(1);
    if (text.trimmed().isEmpty())
        throw UsageError(QStringLiteral("search: TEXT is blank"));
    const QString index = ListIndex(*data.cdsActions, line, shown.sort, QStringLiteral("search"));
    TActionFileSession session(data, line.Args().at(0), TActionFileSession::Read);
    options.Apply(line, data);
    data.cdsActions->SetIndexName(index);
    TryFinally(
        [&] {
            SearchActionFile(data, text);
            TTable &hits = *data.cdsActionsSearch;
            if (shape == QLatin1String("json") || shape == QLatin1String("csv")) {
                QList<int> fields;
                for (int field = 0; field < hits.FieldCount(); ++field)
                    fields.append(field);
                if (shape == QLatin1String("json"))
                    PrintJson(hits, fields);
                else
                    PrintCsv(hits, fields);
                return;
            }
            QList<int> fields;
            for (const char *name : {"FOUND_IN", "ID_ACTION", "IN_FIELD_NAME", "TEXT_FOUND"})
                fields.append(hits.FieldIndex(QLatin1String(name)));
            PrintTable(hits, fields,
                       {QStringLiteral("Found In"), QStringLiteral("Action ID"), QStringLiteral("Field"),
                        QStringLiteral("Text Found")});
        },
        [&] { CloseSearchResults(data); });
    return ExitOk;
}
