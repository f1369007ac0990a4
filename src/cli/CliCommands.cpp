#include "CliCommands.h"

#include "ActionEdits.h"
#include "ActionExport.h"
#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "ActionFileSession.h"
#include "AppError.h"
#include "CliError.h"
#include "ColumnReport.h"
#include "CommandInputs.h"
#include "Digest.h"
#include "DurableFile.h"
#include "Formats.h"
#include "HtmlPage.h"
#include "MemberFiles.h"
#include "NewFileSet.h"
#include "ScopeGuards.h"
#include "SearchActionFile.h"
#include "SyncCommand.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TextMatcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral("dravelin-cli");

void WriteOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void WriteOut(const QString &text)
{
    WriteOut(text.toUtf8());
}

// Text from a file as a terminal shows it rather than obeys it: a received
// file could otherwise set the window title, clear the screen, hide text or
// write the clipboard. The C0 controls and DEL appear in caret notation
// (ESC as "^["), the C1 controls as "\x9b"; the characters in keep stay.
QString TerminalText(const QString &text, QStringView keep = {})
{
    const auto control = [&](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 || (u >= 0x7f && u <= 0x9f)) && !keep.contains(c);
    };
    if (std::none_of(text.begin(), text.end(), control))
        return text;
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!control(c))
            shown += c;
        else if (u < 0x20 || u == 0x7f)
            shown += QLatin1Char('^') + QChar(char16_t(u ^ 0x40));
        else
            shown += QStringLiteral("\\x") + QString::number(u, 16);
    }
    return shown;
}

// Whether standard output is a terminal; only then is the text of a file
// shown by TerminalText. Json, csv, files and pipes keep its bytes.
bool OutputIsTerminal()
{
    static const bool terminal = ::isatty(STDOUT_FILENO);
    return terminal;
}

// The columns the terminal shows; 0 when standard output is no terminal.
int TerminalWidth()
{
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    if (ok && columns > 0)
        return columns;
    winsize size{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 0;
}

// One command's options and arguments, parsed from its part of the command
// line; --help prints the command's help.
class TCommandLine {
public:
    TCommandLine(const QString &command, const QString &description) : command_(command)
    {
        parser_.setApplicationDescription(description);
        parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser_.addPositionalArgument(command, QStringLiteral("The command."), command);
    }
    QCommandLineParser &Parser() { return parser_; }
    void Positional(const QString &name, const QString &description, const QString &syntax = QString())
    {
        parser_.addPositionalArgument(name, description, syntax);
    }
    // Parses; false when the help was printed and the command is done.
    // At least `required` and, unless `more`, at most `required` arguments.
    bool Parse(const QStringList &arguments, int required, bool more = false)
    {
        const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                      QStringLiteral("Shows this help."));
        parser_.addOption(help);
        if (!parser_.parse(QStringList{kProgram, command_} + arguments))
            throw UsageError(parser_.errorText());
        if (parser_.isSet(help)) {
            // The help names the program as it is called, not by its path.
            QString text = parser_.helpText();
            text.replace(QCoreApplication::arguments().constFirst(), kProgram);
            WriteOut(text);
            return false;
        }
        args_ = parser_.positionalArguments().mid(1);
        if (args_.size() < required)
            throw UsageError(
                QStringLiteral("%1: missing arguments (see %2 %1 --help)").arg(command_, kProgram));
        if (!more && args_.size() > required)
            throw UsageError(
                QStringLiteral("%1: too many arguments (see %2 %1 --help)").arg(command_, kProgram));
        return true;
    }
    const QStringList &Args() const { return args_; }
    QString Value(const QCommandLineOption &option) const { return parser_.value(option); }
    bool IsSet(const QCommandLineOption &option) const { return parser_.isSet(option); }
    // The option's value, one of choices (compared without case), or empty
    // when not given.
    QString Choice(const QCommandLineOption &option, const QStringList &choices) const
    {
        if (!parser_.isSet(option))
            return QString();
        const QString value = parser_.value(option).toLower();
        if (!choices.contains(value))
            throw UsageError(QStringLiteral("%1: --%2 must be one of %3, not \"%4\"")
                                 .arg(command_, option.names().constLast(),
                                      choices.join(QStringLiteral(", ")), parser_.value(option)));
        return value;
    }

private:
    QString command_;
    QCommandLineParser parser_;
    QStringList args_;
};

QCommandLineOption ValueOption(const QString &name, const QString &description, const QString &valueName)
{
    return QCommandLineOption(name, description, valueName);
}

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Refuses an -o file that is one of the files of the Action File or
// Dravelin File fileName, before anything is read.
void RefuseOutputOverInput(const QString &fileName, const QString &outFile)
{
    if (outFile.isEmpty())
        return;
    TCommandInputs inputs;
    inputs.AddActionFile(fileName);
    inputs.RefuseOutputs({outFile});
}

void WriteResult(const QByteArray &bytes, const QString &outFile)
{
    if (outFile.isEmpty()) {
        WriteOut(bytes);
        return;
    }
    QString error;
    if (!WriteFileDurably(outFile, bytes, &error))
        throw AppError(QStringLiteral("Cannot write ") + Quoted(outFile) + QStringLiteral(": ") + error);
}

// Writes what make hands its write function to standard output, or to
// outFile as WriteResult does: whole or not at all.
template <typename Make> void WriteStreamed(const QString &outFile, Make make)
{
    if (outFile.isEmpty()) {
        make([](const char *data, size_t size) { std::fwrite(data, 1, size, stdout); });
        return;
    }
    TDurableFile file(outFile);
    bool ok = file.Open();
    if (ok)
        make([&](const char *data, size_t size) { ok = ok && file.Write(data, qint64(size)); });
    if (!ok || !file.Commit())
        throw AppError(QStringLiteral("Cannot write ") + Quoted(outFile) + QStringLiteral(": ") +
                       file.ErrorString());
}

// Finds the action named on the command line: by its Action ID, else by the
// number that identifies it in the file. The cursor of cdsActions is put on it.
void GotoAction(TDataModuleMain &data, const QString &name)
{
    TTable &actions = *data.cdsActions;
    actions.SetFiltered(false);
    const int idAction = actions.FieldIndex(QStringLiteral("ID_ACTION"));
    const int id = actions.FieldIndex(QStringLiteral("ID"));
    QList<int> rows;
    for (int row = 0; row < actions.RecordCount(); ++row)
        if (actions.ValueAt(row, idAction).toString() == name)
            rows.append(row);
    if (rows.isEmpty()) {
        bool isNumber = false;
        const int number = name.toInt(&isNumber);
        for (int row = 0; isNumber && row < actions.RecordCount(); ++row)
            if (actions.ValueAt(row, id) == QVariant(number))
                rows.append(row);
    }
    if (rows.isEmpty())
        throw AppError(QStringLiteral("No action has the Action ID ") + Quoted(name));
    if (rows.size() > 1) {
        QStringList numbers;
        for (int row : rows)
            numbers.append(actions.ValueAt(row, id).toString());
        throw AppError(QStringLiteral("%1 actions have the Action ID %2; name one by its number: %3")
                           .arg(rows.size())
                           .arg(Quoted(name), numbers.join(QStringLiteral(", "))));
    }
    actions.SetRecNo(rows.first());
}

// Reads into the narrow actions table of session the actions GotoAction
// looks among for name: those with that Action ID, else those with that
// number. The table lists them as the action list does.
void ReadNamedAction(TDataModuleMain &data, TActionFileSession &session, const QString &name)
{
    session.OpenNarrow(TableMember::Actions, false);
    if (session.ReadRecords(TableMember::Actions, QStringLiteral("ID_ACTION"), name) == 0) {
        bool isNumber = false;
        const int number = name.toInt(&isNumber);
        if (isNumber)
            session.ReadRecords(TableMember::Actions, QStringLiteral("ID"), number);
    }
    data.cdsActions->SetIndexName(QStringLiteral("ATTRIBUTE_DESC"));
}

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

const QStringList &ListFilters()
{
    static const QStringList filters{QStringLiteral("all"), QStringLiteral("open"),
                                     QStringLiteral("resolved"), QStringLiteral("mine")};
    return filters;
}

// The tables list and count read: the actions, and the header for the home
// actor of "mine".
constexpr TMemberSet kListMembers = MemberBit(TableMember::Header) | MemberBit(TableMember::Actions);

// The options list and count share.
struct TListOptions {
    QCommandLineOption filter = ValueOption(
        QStringLiteral("filter"),
        QStringLiteral("Which actions: all, open, resolved, or mine (those of the header's home actor). "
                       "Default: the action list's filter of the settings."),
        QStringLiteral("which"));
    QCommandLineOption actor =
        ValueOption(QStringLiteral("actor"), QStringLiteral("Only the actions owned by this actor."),
                    QStringLiteral("name"));

    void Add(TCommandLine &line)
    {
        line.Parser().addOption(filter);
        line.Parser().addOption(actor);
    }
    // Refuses a filter that is none of the choices before any file is opened.
    void Check(const TCommandLine &line) const { line.Choice(filter, ListFilters()); }
    // Filters cdsActions as the action list does, with the chosen filter.
    void Apply(const TCommandLine &line, TDataModuleMain &data) const
    {
        const QString which = line.Choice(filter, ListFilters());
        if (which == QLatin1String("mine")) {
            Settings().Actions.Filter = int(TActionFilter::All);
            data.SetShowMine(true);
        } else if (!which.isEmpty()) {
            Settings().Actions.Filter = int(ListFilters().indexOf(which));
        }
        TTable &actions = *data.cdsActions;
        if (line.IsSet(actor)) {
            const QString name = line.Value(actor);
            const int owner = actions.FieldIndex(QStringLiteral("ACTOR_OWNER"));
            actions.OnFilterRecord = [&data, owner, name](TTable &table) {
                return data.cdsActionsFilterRecord(table) && IsMine(table.Fields(owner).AsString(), name);
            };
        }
        actions.SetFiltered(true);
        actions.RefreshFilter();
    }
};

QString FieldText(TTable &table, int row, int field, bool iso)
{
    const QVariant value = table.ValueAt(row, field);
    if (!iso || !value.isValid())
        return DisplayText(table.FieldDefs()[field], value);
    if (table.FieldDefs()[field].type == ftDate)
        return value.toDate().toString(Qt::ISODate);
    return value.toString();
}

// Fits the columns into width: columns that do not fit at a short width
// each are left out from the right, then the widest is narrowed until the
// rest fits.
QList<int> FitWidths(QList<int> widths, int width)
{
    constexpr int kGap = 2, kShort = 10;
    if (width <= 0)
        return widths;
    const auto total = [&](auto widthOf) {
        int sum = -kGap;
        for (int w : widths)
            sum += widthOf(w) + kGap;
        return sum;
    };
    const auto shortWidth = [&](int w) { return std::min(w, kShort); };
    while (widths.size() > 1 && total(shortWidth) > width)
        widths.removeLast();
    const auto natural = [](int w) { return w; };
    while (total(natural) > width) {
        auto widest = std::max_element(widths.begin(), widths.end());
        if (*widest <= kShort)
            break;
        --*widest;
    }
    return widths;
}

QString Cell(const QString &text, int width)
{
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (flat.size() > width)
        return flat.left(width - 1) + QChar(0x2026);
    return flat.leftJustified(width);
}

void PrintTable(TTable &actions, const QList<int> &fields, const QStringList &titles)
{
    const int rows = actions.RecordCount();
    QList<QStringList> cells;
    cells.reserve(rows);
    QList<int> widths;
    for (const QString &title : titles)
        widths.append(int(title.size()));
    for (int row = 0; row < rows; ++row) {
        QStringList line;
        line.reserve(fields.size());
        for (int column = 0; column < fields.size(); ++column) {
            // Line breaks become blanks in a cell; other controls show.
            line.append(FieldText(actions, row, fields[column], false));
            if (OutputIsTerminal())
                line.last() = TerminalText(line.last(), u"\n\r");
            widths[column] = std::max(widths[column], int(line.last().size()));
        }
        cells.append(line);
    }
    widths = FitWidths(widths, TerminalWidth());
    QString out;
    const auto addLine = [&](const QStringList &line) {
        QStringList shown;
        shown.reserve(widths.size());
        for (int column = 0; column < widths.size(); ++column)
            shown.append(Cell(line[column], widths[column]));
        QString text = shown.join(QStringLiteral("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        out += text + QLatin1Char('\n');
    };
    addLine(titles);
    for (const QStringList &line : cells)
        addLine(line);
    WriteOut(out);
}

void PrintCsv(TTable &actions, const QList<int> &fields)
{
    QString out;
    const auto addLine = [&](const QStringList &line) {
        QStringList quoted;
        for (const QString &text : line)
            quoted.append(CsvField(text));
        out += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    QStringList names;
    for (int field : fields)
        names.append(actions.FieldDefs()[field].name);
    addLine(names);
    for (int row = 0; row < actions.RecordCount(); ++row) {
        QStringList line;
        for (int field : fields)
            line.append(FieldText(actions, row, field, true));
        addLine(line);
    }
    WriteOut(out);
}

void PrintJson(TTable &actions, const QList<int> &fields)
{
    QJsonArray list;
    for (int row = 0; row < actions.RecordCount(); ++row) {
        const QJsonObject record = RecordToJson(actions, row);
        QJsonObject shown;
        for (int field : fields)
            shown.insert(actions.FieldDefs()[field].name, record.value(actions.FieldDefs()[field].name));
        list.append(shown);
    }
    WriteOut(QJsonDocument(list).toJson(QJsonDocument::Indented));
}

// The index named by --sort (upper-cased), ATTRIBUTE_DESC when not given;
// an unknown name is a usage error of command.
QString ListIndex(TTable &actions, const TCommandLine &line, const QCommandLineOption &sort,
                  const QString &command)
{
    if (!line.IsSet(sort))
        return QStringLiteral("ATTRIBUTE_DESC");
    const QString index = line.Value(sort).toUpper();
    QStringList names;
    for (const TIndexDef &def : actions.IndexDefs())
        names.append(def.name);
    if (!names.contains(index))
        throw UsageError(QStringLiteral("%1: no index %2; the indexes are %3")
                             .arg(command, Quoted(line.Value(sort)), names.join(QStringLiteral(", "))));
    return index;
}

// The --sort and --format options of the commands that print listed actions.
struct TSortAndFormat {
    QCommandLineOption sort;
    QCommandLineOption format;
};

TSortAndFormat AddSortAndFormat(TCommandLine &line, const QString &sortHelp)
{
    TSortAndFormat options{ValueOption(QStringLiteral("sort"), sortHelp, QStringLiteral("index")),
                           ValueOption(QStringLiteral("format"),
                                       QStringLiteral("table (default; fits the terminal), json or csv."),
                                       QStringLiteral("format"))};
    line.Parser().addOption(options.sort);
    line.Parser().addOption(options.format);
    return options;
}

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
    const QCommandLineOption &sort = shown.sort;
    const QCommandLineOption &format = shown.format;
    if (!line.Parse(arguments, 1))
        return ExitOk;
    options.Check(line);
    const QString shape =
        line.Choice(format, {QStringLiteral("table"), QStringLiteral("json"), QStringLiteral("csv")});
    TTable &actions = *data.cdsActions;
    const QString index = ListIndex(actions, line, sort, QStringLiteral("list"));
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

void PrintRecord(TTable &table, int row, const QString &indent, QString &out)
{
    for (int field = 0; field < table.FieldCount(); ++field) {
        const QString text = table.DisplayTextAt(row, field);
        if (text.isEmpty())
            continue;
        QString value = OutputIsTerminal() ? TerminalText(text, u"\n\t") : text;
        value.replace(QLatin1Char('\n'), QLatin1Char('\n') + indent + QStringLiteral("    "));
        out += indent + table.FieldDefs()[field].name + QStringLiteral(": ") + value + QLatin1Char('\n');
    }
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
    const QCommandLineOption output =
        ValueOption(QStringLiteral("o"), QStringLiteral("Write to this file instead of standard output."),
                    QStringLiteral("out"));
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

// Refuses a new file whose name exists in any case, as New Action File does.
void RefuseExisting(const QString &fileName)
{
    const QString existing = ExistingNameInAnyCase(fileName);
    if (!existing.isEmpty())
        throw AppError(QStringLiteral("The file ") + Quoted(existing) + QStringLiteral(" already exists"));
}

// The most an import reads: well above the export of the largest Action
// File the program handles (a few hundred MiB for 100,000 actions with
// their entries), and a bound for an input that never ends.
constexpr qint64 kMaxImportBytes = qint64(1) << 30;

// The bytes of the export to import, at most kMaxImportBytes of them.
QByteArray ReadImport(const QString &fileName)
{
    QFile in(fileName);
    if (!in.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("The file ") + Quoted(fileName) + QStringLiteral(" cannot be opened"));
    const auto tooLarge = [&] {
        return AppError(QStringLiteral("The file %1 is larger than %2 MiB, more than an export of an Action "
                                       "File holds; it is not imported")
                            .arg(Quoted(fileName))
                            .arg(kMaxImportBytes >> 20));
    };
    if (!in.isSequential() && in.size() > kMaxImportBytes)
        throw tooLarge();
    // A device or pipe is read in pieces up to the bound; an export starts
    // with its object, so what does not is left at its first piece.
    constexpr qint64 kPiece = qint64(1) << 20;
    QByteArray bytes;
    bool started = false;
    for (;;) {
        const QByteArray piece = in.read(kPiece);
        if (piece.isEmpty())
            break;
        bytes += piece;
        if (bytes.size() > kMaxImportBytes)
            throw tooLarge();
        if (!started) {
            const auto first =
                std::find_if(piece.begin(), piece.end(), [](char c) { return !std::isspace(uchar(c)); });
            started = first != piece.end();
            if (started && *first != '{')
                break;
        }
    }
    if (in.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("The file ") + Quoted(fileName) + QStringLiteral(" cannot be read: ") +
                       in.errorString());
    return bytes;
}

// Makes the new Action File or Dravelin File target with the table set's
// own create, as New in the program does, and fill puts records into the
// new tables. Nothing of a failed one is left behind.
void CreateActionFile(TDataModuleMain &data, const QString &target, const std::function<void()> &fill)
{
    RefuseExisting(target);
    const auto lock = TActionFileSession::LockForChange(target);
    const bool container = TActionFileSession::IsDravelinFile(target);
    QString actFile = target;
    if (container) {
        actFile = data.TempFiles.NewFileName(QStringLiteral("act"));
        for (const QString &member : TACTFiles(actFile).Names())
            if (member != actFile)
                data.TempFiles.Files.append(member);
        // The name reserved for the header must be free for the new files.
        QFile::remove(actFile);
    } else {
        // Companion files without their header are not written over.
        TNewFileSet::CheckFree(actFile);
    }
    const TLockWriteGuard guard(data.Tables, *lock, false);
    {
        // The new files appear together, once everything was read into them.
        TChangeScope scope(data.Tables);
        try {
            data.Tables.Open(actFile, true);
        } catch (const AppError &e) {
            throw AppError(e.message() + QLatin1Char(' ') + Quoted(target));
        }
        try {
            fill();
            scope.Commit();
            data.Tables.Close();
        } catch (...) {
            for (TableMember member : kTableMembers)
                data.Tables.Table(member)->Abandon();
            data.Tables.Close();
            data.Tables.Reset();
            throw;
        }
    }
    data.Tables.Reset();
    if (container)
        TActionFileSession::Pack(actFile, target);
}

// The new file of import and new: an Action File or a Dravelin File.
QString NewFileArgument(const TCommandLine &line, const QString &command)
{
    const QString target = line.Args().at(0);
    if (!target.endsWith(QStringLiteral(".act"), Qt::CaseInsensitive) &&
        !TActionFileSession::IsDravelinFile(target))
        throw UsageError(command + QStringLiteral(": FILE must end in .act or .dravelin"));
    return target;
}

int CmdNew(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("new"),
                      QStringLiteral("Creates a new, empty Action File (or Dravelin File) as New in the "
                                     "program does: the header from the settings' company and department, "
                                     "your login as its home actor, today as its date."));
    line.Positional(QStringLiteral("FILE"),
                    QStringLiteral("The new file (.act or .dravelin); it must not exist."));
    if (!line.Parse(arguments, 1))
        return ExitOk;
    CreateActionFile(data, NewFileArgument(line, QStringLiteral("new")), [] {});
    return ExitOk;
}

int CmdImport(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("import"),
                      QStringLiteral("Creates a new Action File (or Dravelin File) from a json export."));
    line.Positional(QStringLiteral("FILE"), QStringLiteral("The new file; it must not exist."));
    line.Positional(QStringLiteral("IN"), QStringLiteral("The json file made by export --format json."));
    const QCommandLineOption format =
        ValueOption(QStringLiteral("format"), QStringLiteral("json."), QStringLiteral("format"));
    line.Parser().addOption(format);
    if (!line.Parse(arguments, 2))
        return ExitOk;
    if (line.Choice(format, {QStringLiteral("json")}).isEmpty())
        throw UsageError(QStringLiteral("import: --format json is required"));
    const QString target = NewFileArgument(line, QStringLiteral("import"));
    const QString inFile = line.Args().at(1);
    TCommandInputs inputs;
    inputs.Add(inFile, QStringLiteral("the file ") + Quoted(inFile));
    inputs.RefuseOutputs(TCommandInputs::FilesOf(target, TActionFileSession::IsDravelinFile(target)));
    const QByteArray json = ReadImport(inFile);
    CreateActionFile(data, target, [&] { ImportJson(data, json); });
    return ExitOk;
}

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

int CmdPack(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(QStringLiteral("pack"), QStringLiteral("Packs an Action File into a Dravelin File."));
    line.Positional(QStringLiteral("FILE"), QStringLiteral("The Action File (.act)."));
    line.Positional(QStringLiteral("OUT"), QStringLiteral("The Dravelin File to write (.dravelin)."));
    if (!line.Parse(arguments, 2))
        return ExitOk;
    const QString actFile = line.Args().at(0), container = line.Args().at(1);
    if (TActionFileSession::IsDravelinFile(actFile))
        throw UsageError(QStringLiteral("pack: FILE must be an Action File (.act)"));
    TCommandInputs inputs;
    inputs.AddActionFile(actFile);
    inputs.RefuseOutputs(TCommandInputs::FilesOf(container, true));
    const auto lock = TActionFileSession::LockForChange(actFile);
    const auto containerLock = TActionFileSession::LockForChange(container);
    {
        // Only an Action File that opens is packed.
        TActionFileSession session(data, actFile, TActionFileSession::Read);
    }
    TActionFileSession::Pack(actFile, container);
    return ExitOk;
}

int CmdUnpack(TDataModuleMain &data, const QStringList &arguments)
{
    TCommandLine line(
        QStringLiteral("unpack"),
        QStringLiteral("Unpacks a Dravelin File into a new Action File and its five companions."));
    line.Positional(QStringLiteral("IN"), QStringLiteral("The Dravelin File (.dravelin)."));
    line.Positional(QStringLiteral("OUT"), QStringLiteral("The new Action File (.act); it must not exist."));
    if (!line.Parse(arguments, 2))
        return ExitOk;
    const QString container = line.Args().at(0), actFile = line.Args().at(1);
    if (!actFile.endsWith(QStringLiteral(".act"), Qt::CaseInsensitive))
        throw UsageError(QStringLiteral("unpack: OUT must end in .act"));
    if (!QFileInfo(container).isFile())
        throw AppError(QStringLiteral("The file ") + Quoted(container) + QStringLiteral(" cannot be opened"));
    TCommandInputs inputs;
    inputs.AddActionFile(container);
    inputs.RefuseOutputs(TCommandInputs::FilesOf(actFile, false));
    RefuseExisting(actFile);
    // Companion files without their header are not written over.
    TNewFileSet::CheckFree(actFile);
    const auto lock = TActionFileSession::LockForChange(actFile);
    TCDSParser parser(container, data.TempFiles);
    if (const TCDSParser::UnpackResult result = parser.Unpack(); result != TCDSParser::UnpackOk)
        TActionFileSession::ThrowUnpackError(result, container);
    {
        // Only members that open as an Action File are written out.
        TActionFileSession session(data, parser.ActFileName(), TActionFileSession::Read);
    }
    // The six files appear together or not at all.
    const TACTFiles sources(parser.ActFileName());
    TNewFileSet files(actFile);
    for (TableMember member : kTableMembers)
        files.StageCopy(member, sources.Name(member));
    files.Publish();
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
    const QCommandLineOption &sort = shown.sort;
    const QCommandLineOption &format = shown.format;
    if (!line.Parse(arguments, 2))
        return ExitOk;
    options.Check(line);
    const QString shape =
        line.Choice(format, {QStringLiteral("table"), QStringLiteral("json"), QStringLiteral("csv")});
    const QString text = line.Args().at(1);
    if (text.trimmed().isEmpty())
        throw UsageError(QStringLiteral("search: TEXT is blank"));
    const QString index = ListIndex(*data.cdsActions, line, sort, QStringLiteral("search"));
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
    const QCommandLineOption output =
        ValueOption(QStringLiteral("o"), QStringLiteral("Write to this file instead of standard output."),
                    QStringLiteral("out"));
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
    const QCommandLineOption output =
        ValueOption(QStringLiteral("o"), QStringLiteral("Write to this file instead of standard output."),
                    QStringLiteral("out"));
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
    const QString index = line.IsSet(sort)
                              ? line.Value(sort).toUpper()
                              : (contacts ? QStringLiteral("ID_ASC") : QStringLiteral("ATTRIBUTE_DESC"));
    QStringList indexes;
    for (const TIndexDef &def : table.IndexDefs())
        indexes.append(def.name);
    if (!indexes.contains(index))
        throw UsageError(QStringLiteral("%1: no index %2; the indexes are %3")
                             .arg(command, Quoted(line.Value(sort)), indexes.join(QStringLiteral(", "))));
    table.SetIndexName(index);
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

struct TCommand {
    const char *name;
    const char *summary;
    std::function<int(TDataModuleMain &, const QStringList &)> run;
};

const QList<TCommand> &Commands()
{
    static const QList<TCommand> commands{
        {"new", "FILE", CmdNew},
        {"list",
         "FILE [--filter all|open|resolved|mine] [--actor NAME] [--sort INDEX] [--format table|json|csv]",
         CmdList},
        {"count", "FILE [--filter all|open|resolved|mine] [--actor NAME]", CmdCount},
        {"show", "FILE ACTION_ID [--format text|json]", CmdShow},
        {"export", "FILE --format json|csv|ical [-o OUT]", CmdExport},
        {"import", "FILE --format json IN", CmdImport},
        {"add", "FILE --id ID [--synopsis TEXT] [--due DATE] [--owner NAME] ... [FIELD=VALUE...]", CmdAdd},
        {"set", "FILE ACTION_ID FIELD=VALUE...", CmdSet},
        {"resolve", "FILE ACTION_ID [--sign-off TEXT]", CmdResolve},
        {"pack", "FILE OUT.dravelin", CmdPack},
        {"unpack", "IN.dravelin OUT.act", CmdUnpack},
        {"search", "FILE TEXT [--filter ...] [--actor NAME] [--sort INDEX] [--format table|json|csv]",
         CmdSearch},
        {"report", "digest|list|contacts FILE [-o OUT.html] [options of the report's window]", CmdReport},
        {"sync", "FILE [--url URL --user NAME] [--password-stdin] [--allow-http]", CmdSync},
    };
    return commands;
}

QString Usage()
{
    QString text =
        QStringLiteral("Usage: dravelin-cli COMMAND ARGUMENTS...\n\nThe Action File (.act) or Dravelin "
                       "File (.dravelin) from scripts.\n\nCommands:\n");
    for (const TCommand &command : Commands())
        text += QStringLiteral("  %1 %2\n").arg(QLatin1String(command.name), QLatin1String(command.summary));
    text += QStringLiteral("\n'dravelin-cli COMMAND --help' describes a command.\n");
    return text;
}

} // namespace

int RunCommandLine(TDataModuleMain &data, const QStringList &arguments)
{
    const auto fail = [](const QString &message, int code) {
        QString line = message.simplified();
        if (::isatty(STDERR_FILENO))
            line = TerminalText(line);
        std::fputs(qPrintable(kProgram + QStringLiteral(": ") + line + QLatin1Char('\n')), stderr);
        return code;
    };
    try {
        if (arguments.isEmpty())
            throw UsageError(QStringLiteral("no command given (see dravelin-cli --help)"));
        const QString name = arguments.first();
        if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
            WriteOut(Usage());
            return ExitOk;
        }
        if (name == QLatin1String("--version")) {
            WriteOut(QStringLiteral("dravelin-cli " DRAVELIN_VERSION "\n"));
            return ExitOk;
        }
        for (const TCommand &command : Commands())
            if (name == QLatin1String(command.name))
                return command.run(data, arguments.mid(1));
        throw UsageError(QStringLiteral("unknown command ") + Quoted(name) +
                         QStringLiteral(" (see dravelin-cli --help)"));
    } catch (const UsageError &error) {
        return fail(error.message(), ExitUsageError);
    } catch (const AppError &error) {
        return fail(error.message(), ExitUserError);
    } catch (const std::exception &error) {
        return fail(QString::fromLocal8Bit(error.what()), ExitUserError);
    }
}
