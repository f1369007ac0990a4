#include "ActionFileSession.h"
#include "CliCommandGroups.h"
#include "CliError.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "ColumnReport.h"
#include "Digest.h"
#include "HtmlPage.h"
#include "NamedAction.h"
#include "TDataModuleMain.h"

namespace {

int CmdReportDigest(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(
        QStringLiteral("report digest"),
        QStringLiteral("Writes the action digest, the same page as the digest window makes for the same "
                       "options: every listed action (with index and separator) or one action."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    TListOptions listOptions;
    listOptions.Add(line);
    const QCommandLineOption sort = ValueOption(
        QStringLiteral("sort"), QStringLiteral("The index that orders the actions. Default: ATTRIBUTE_DESC."),
        QStringLiteral("index"));
    const QCommandLineOption action = ValueOption(
        QStringLiteral("action"),
        QStringLiteral("Only this action (its Action ID or number): the window's \"Current Action\"."),
        QStringLiteral("ACTION_ID"));
    const QCommandLineOption noIndex(QStringLiteral("no-index"), QStringLiteral("No index of the actions."));
    const QCommandLineOption noSeparator(QStringLiteral("no-separator"),
                                         QStringLiteral("No rule between the actions."));
    const QCommandLineOption properties(QStringLiteral("properties"),
                                        QStringLiteral("Include the Action File's properties."));
    const QCommandLineOption headers(QStringLiteral("headers"),
                                     QStringLiteral("Include only action headers."));
    const QCommandLineOption noLogs(QStringLiteral("no-logs"), QStringLiteral("Leave out the log entries."));
    const QCommandLineOption limitedLog(QStringLiteral("limited-log"),
                                        QStringLiteral("Log entries with date, time and status line only."));
    const QCommandLineOption decisions(QStringLiteral("decisions"), QStringLiteral("Include the decisions."));
    const QCommandLineOption statements(QStringLiteral("statements"),
                                        QStringLiteral("Include the statements."));
    const QCommandLineOption blackWhite(QStringLiteral("black-white"),
                                        QStringLiteral("Black and white instead of colours."));
    const QCommandLineOption date =
        ValueOption(QStringLiteral("date"),
                    QStringLiteral("The day the digest is made on (yyyy-mm-dd), which decides what is "
                                   "overdue. Default: today."),
                    QStringLiteral("date"));
    const QCommandLineOption output = OutputOption();
    for (const QCommandLineOption &option : {sort, action, noIndex, noSeparator, properties, headers, noLogs,
                                             limitedLog, decisions, statements, blackWhite, date, output})
        line.Parser().addOption(option);
    if (!line.Parse(arguments, 1))
        return ExitOk;
    listOptions.Check(line);
    TDigestOptions options;
    options.allActions = !line.IsSet(action);
    options.index = options.allActions && !line.IsSet(noIndex);
    options.separate = options.allActions && !line.IsSet(noSeparator);
    options.properties = line.IsSet(properties);
    options.headers = line.IsSet(headers);
    options.logs = !line.IsSet(noLogs);
    options.limitedLog = line.IsSet(limitedLog);
    options.decisions = line.IsSet(decisions);
    options.statements = line.IsSet(statements);
    options.colors = !line.IsSet(blackWhite);
    // The window allows these only where they mean something.
    if (!options.logs && options.limitedLog)
        throw UsageError(
            QStringLiteral("report digest: --limited-log needs the log entries (drop --no-logs)"));
    if (!options.allActions && (line.IsSet(noIndex) || line.IsSet(noSeparator)))
        throw UsageError(QStringLiteral("report digest: one action has no index or separator"));
    QDate today = QDate::currentDate();
    if (line.IsSet(date)) {
        today = QDate::fromString(line.Value(date), Qt::ISODate);
        if (!today.isValid())
            throw UsageError(QStringLiteral("report digest: --date %1 is no date yyyy-mm-dd")
                                 .arg(Quoted(line.Value(date))));
    }
    const QString index = ListIndex(*data.cdsActions, line, sort, QStringLiteral("report digest"));
    const QString fileName = line.Args().at(0);
    RefuseOutputOverInput(fileName, line.Value(output));
    TActionFileSession session(data, fileName, TActionFileSession::Read);
    if (options.allActions) {
        listOptions.Apply(line, data);
        data.cdsActions->SetIndexName(index);
        data.cdsActions->First();
    } else {
        GotoAction(data, line.Value(action));
    }
    if (data.cdsActions->RecordCount() == 0)
        throw AppError(Quoted(fileName) + QStringLiteral(": no listed action to report"));
    THtmlPage page;
    BuildDigest(data, options, today, page);
    WriteResult(page.Bytes(), line.Value(output));
    return ExitOk;
}

// report list / report contacts: the page the "Print Action List" and
// "Print List Actors" windows make, with the same options and defaults.
int CmdReportTable(TDataModuleMain &data, bool contacts, const QStringList &arguments)
{
    const QString command = contacts ? QStringLiteral("report contacts") : QStringLiteral("report list");
    TCommandLine line(command, contacts
                                   ? QStringLiteral("Writes the contacts report: a table of the chosen "
                                                    "contact fields, addresses as mail links.")
                                   : QStringLiteral("Writes the action list report: a table of the chosen "
                                                    "action fields, in the action list's order and filter."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The Action File (.act) or Dravelin File (.dravelin)."));
    const QList<TReportColumn> &all = contacts ? ContactReportColumns() : ActionReportColumns();
    QStringList fieldNames;
    for (const TReportColumn &column : all)
        fieldNames.append(column.sourceField);
    const QCommandLineOption columns = ValueOption(
        QStringLiteral("columns"),
        QStringLiteral(
            "The columns in their order, as field names separated by commas, or \"all\". Fields: ") +
            fieldNames.join(QStringLiteral(", ")) + QStringLiteral(". Default: the window's."),
        QStringLiteral("fields"));
    const QCommandLineOption title =
        ValueOption(QStringLiteral("title"), QStringLiteral("The report title. Default: the window's."),
                    QStringLiteral("text"));
    const QCommandLineOption align = ValueOption(
        QStringLiteral("align"), QStringLiteral("The title's alignment: left, center (default) or right."),
        QStringLiteral("where"));
    const QCommandLineOption width =
        ValueOption(QStringLiteral("width"),
                    QStringLiteral("The table width in percent, %1 to %2. Default: %3.")
                        .arg(kReportWidthMin)
                        .arg(kReportWidthMax)
                        .arg(kReportWidthDefault),
                    QStringLiteral("percent"));
    const QCommandLineOption fontSize =
        ValueOption(QStringLiteral("font-size"),
                    QStringLiteral("The HTML font size: ") + ReportFontSizes().join(QStringLiteral(", ")) +
                        QStringLiteral(". Default: -1."),
                    QStringLiteral("size"));
    const QCommandLineOption noColors(QStringLiteral("no-colors"), QStringLiteral("Black and white."));
    const QCommandLineOption sort =
        ValueOption(QStringLiteral("sort"),
                    QStringLiteral("The index that orders the rows. Default: ATTRIBUTE_DESC for the "
                                   "actions, ID_ASC for the contacts."),
                    QStringLiteral("index"));
    const QCommandLineOption output = OutputOption();
    TListOptions filter;
    if (!contacts)
        filter.Add(line);
    for (const QCommandLineOption &option : {columns, title, align, width, fontSize, noColors, sort, output})
        line.Parser().addOption(option);
    if (!line.Parse(arguments, 1))
        return ExitOk;
    if (!contacts)
        filter.Check(line);

    TColumnReportOptions options;
    if (!line.IsSet(columns)) {
        for (const TReportColumn &column : all)
            if (column.checkedAtFirst)
                options.columns.append(column);
    } else if (line.Value(columns).compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        options.columns = all;
    } else {
        for (const QString &name : line.Value(columns).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const qsizetype at = fieldNames.indexOf(name.trimmed().toUpper());
            if (at < 0)
                throw UsageError(QStringLiteral("%1: no column %2; the columns are %3")
                                     .arg(command, Quoted(name), fieldNames.join(QStringLiteral(", "))));
            options.columns.append(all[at]);
        }
    }
    const QString where =
        line.Choice(align, {QStringLiteral("left"), QStringLiteral("center"), QStringLiteral("right")});
    options.align = where == QLatin1String("left")    ? TTitleAlign::Left
                    : where == QLatin1String("right") ? TTitleAlign::Right
                                                      : TTitleAlign::Center;
    if (line.IsSet(width)) {
        bool ok = false;
        options.width = line.Value(width).toInt(&ok);
        if (!ok || options.width < kReportWidthMin || options.width > kReportWidthMax)
            throw UsageError(QStringLiteral("%1: --width must be a number from %2 to %3, not %4")
                                 .arg(command)
                                 .arg(kReportWidthMin)
                                 .arg(kReportWidthMax)
                                 .arg(Quoted(line.Value(width))));
    }
    if (line.IsSet(fontSize)) {
        options.fontSize = line.Value(fontSize);
        if (!ReportFontSizes().contains(options.fontSize))
            throw UsageError(
                QStringLiteral("%1: --font-size must be one of %2, not %3")
                    .arg(command, ReportFontSizes().join(QStringLiteral(", ")), Quoted(options.fontSize)));
    }
    options.colors = !line.IsSet(noColors);
    // A page without a column or a row is no page: an existing file is kept.
    if (options.columns.isEmpty())
        throw AppError(command + QStringLiteral(": --columns names no column to report"));

    const QString fileName = line.Args().at(0);
    RefuseOutputOverInput(fileName, line.Value(output));
    TActionFileSession session(data, fileName, TActionFileSession::Read);
    TTable &table = contacts ? *data.cdsActor : *data.cdsActions;
    if (!contacts)
        filter.Apply(line, data);
    table.SetIndexName(ListIndex(table, line, sort, command,
                                 contacts ? QStringLiteral("ID_ASC") : QStringLiteral("ATTRIBUTE_DESC")));
    table.First();
    if (table.RecordCount() == 0)
        throw AppError(Quoted(fileName) + (contacts ? QStringLiteral(": no contact to report")
                                                    : QStringLiteral(": no listed action to report")));
    const QDate today = QDate::currentDate();
    options.title = line.IsSet(title) ? line.Value(title)
                    : contacts        ? ContactsReportTitle(data, today)
                                      : ActionListReportTitle(data, today);
    THtmlPage page;
    BuildColumnReport(table, options, today, page);
    WriteResult(page.Bytes(), line.Value(output));
    return ExitOk;
}

} // namespace

// The report command: its kinds of page.
int CmdReport(TDataModuleMain &data, const QStringList &arguments)
{
    const QString kind = arguments.value(0);
    if (kind == QLatin1String("digest"))
        return CmdReportDigest(data, arguments.mid(1));
    if (kind == QLatin1String("list") || kind == QLatin1String("contacts"))
        return CmdReportTable(data, kind == QLatin1String("contacts"), arguments.mid(1));
    if (kind == QLatin1String("--help") || kind == QLatin1String("-h")) {
        WriteOut(QStringLiteral(
            "Usage: dravelin-cli report digest|list|contacts FILE [options]\n\n"
            "'dravelin-cli report digest --help' (or list, contacts) describes the options.\n"));
        return ExitOk;
    }
    throw UsageError(kind.isEmpty() ? QStringLiteral("report: which report? (digest, list or contacts)")
                                    : QStringLiteral("report: unknown report ") + Quoted(kind) +
                                          QStringLiteral(" (digest, list or contacts)"));
}
