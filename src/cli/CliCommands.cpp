#include "CliCommands.h"

#include "AppError.h"
#include "CliCommandGroups.h"
#include "CliError.h"
#include "CliOutput.h"

#include <QList>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

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
        {"merge", "FILE RETURNED.dravelin [--theirs|--mine]", CmdMerge},
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
