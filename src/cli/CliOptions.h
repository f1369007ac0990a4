#pragma once

#include "TableMember.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

class TDataModuleMain;
class TTable;

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
    bool Parse(const QStringList &arguments, int required, bool more = false);
    const QStringList &Args() const { return args_; }
    QString Value(const QCommandLineOption &option) const { return parser_.value(option); }
    bool IsSet(const QCommandLineOption &option) const { return parser_.isSet(option); }
    // The option's value, one of choices (compared without case), or empty
    // when not given.
    QString Choice(const QCommandLineOption &option, const QStringList &choices) const;

private:
    QString command_;
    QCommandLineParser parser_;
    QStringList args_;
};

QCommandLineOption ValueOption(const QString &name, const QString &description, const QString &valueName);
// -o OUT: the file written instead of standard output.
QCommandLineOption OutputOption();

// The choices of --filter: all, open, resolved and mine.
const QStringList &ListFilters();

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

    void Add(TCommandLine &line);
    // Refuses a filter that is none of the choices before any file is opened.
    void Check(const TCommandLine &line) const;
    // Filters cdsActions as the action list does, with the chosen filter.
    void Apply(const TCommandLine &line, TDataModuleMain &data) const;
};

// The index of table named by --sort (upper-cased), fallback when not
// given; an unknown name is a usage error of command.
QString ListIndex(TTable &table, const TCommandLine &line, const QCommandLineOption &sort,
                  const QString &command, const QString &fallback = QStringLiteral("ATTRIBUTE_DESC"));

// The --sort and --format options of the commands that print listed actions.
struct TSortAndFormat {
    QCommandLineOption sort;
    QCommandLineOption format;

    // The --format chosen: table, json or csv; empty when not given.
    QString Shape(const TCommandLine &line) const;
};

// Adds --sort (described by sortHelp) and --format to line.
TSortAndFormat AddSortAndFormat(TCommandLine &line, const QString &sortHelp);
