#include "CliOptions.h"

#include "ActionRules.h"
#include "CliError.h"
#include "CliOutput.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QCoreApplication>

bool TCommandLine::Parse(const QStringList &arguments, int required, bool more)
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
        throw UsageError(QStringLiteral("%1: missing arguments (see %2 %1 --help)").arg(command_, kProgram));
    if (!more && args_.size() > required)
        throw UsageError(QStringLiteral("%1: too many arguments (see %2 %1 --help)").arg(command_, kProgram));
    return true;
}

QString TCommandLine::Choice(const QCommandLineOption &option, const QStringList &choices) const
{
    if (!parser_.isSet(option))
        return QString();
    const QString value = parser_.value(option).toLower();
    if (!choices.contains(value))
        throw UsageError(QStringLiteral("%1: --%2 must be one of %3, not \"%4\"")
                             .arg(command_, option.names().constLast(), choices.join(QStringLiteral(", ")),
                                  parser_.value(option)));
    return value;
}

QCommandLineOption ValueOption(const QString &name, const QString &description, const QString &valueName)
{
    return QCommandLineOption(name, description, valueName);
}

QCommandLineOption OutputOption()
{
    return ValueOption(QStringLiteral("o"), QStringLiteral("Write to this file instead of standard output."),
                       QStringLiteral("out"));
}

const QStringList &ListFilters()
{
    static const QStringList filters{QStringLiteral("all"), QStringLiteral("open"),
                                     QStringLiteral("resolved"), QStringLiteral("mine")};
    return filters;
}

void TListOptions::Add(TCommandLine &line)
{
    line.Parser().addOption(filter);
    line.Parser().addOption(actor);
}

void TListOptions::Check(const TCommandLine &line) const
{
    line.Choice(filter, ListFilters());
}

void TListOptions::Apply(const TCommandLine &line, TDataModuleMain &data) const
{
    const QString which = line.Choice(filter, ListFilters());
    const bool mine = which == QLatin1String("mine");
    if (mine)
        Settings().Actions.Filter = int(TActionFilter::All);
    else if (!which.isEmpty())
        Settings().Actions.Filter = int(ListFilters().indexOf(which));
    TTable &actions = *data.cdsActions;
    if (line.IsSet(actor)) {
        const QString name = line.Value(actor);
        const int owner = actions.FieldIndex(QStringLiteral("ACTOR_OWNER"));
        actions.OnFilterRecord = [&data, mine, owner, name](TTable &table) {
            return data.cdsActionsFilterRecord(table, mine) && IsMine(table.Fields(owner).AsString(), name);
        };
    } else if (mine) {
        actions.OnFilterRecord = [&data](TTable &table) { return data.cdsActionsFilterRecord(table, true); };
    }
    actions.SetFiltered(true);
    actions.RefreshFilter();
}

QString ListIndex(TTable &table, const TCommandLine &line, const QCommandLineOption &sort,
                  const QString &command, const QString &fallback)
{
    if (!line.IsSet(sort))
        return fallback;
    const QString index = line.Value(sort).toUpper();
    QStringList names;
    for (const TIndexDef &def : table.IndexDefs())
        names.append(def.name);
    if (!names.contains(index))
        throw UsageError(QStringLiteral("%1: no index %2; the indexes are %3")
                             .arg(command, Quoted(line.Value(sort)), names.join(QStringLiteral(", "))));
    return index;
}

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

QString TSortAndFormat::Shape(const TCommandLine &line) const
{
    return line.Choice(format, {QStringLiteral("table"), QStringLiteral("json"), QStringLiteral("csv")});
}
