#include "ActionFileActions.h"
#include "ActionFileLock.h"
#include "ActionFileNames.h"
#include "ActionFileSession.h"
#include "AppError.h"
#include "CliCommandGroups.h"
#include "CliError.h"
#include "PasswordStore.h"
#include "SyncAccountFile.h"
#include "Synchroniser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

const QString kPasswordVariable = QStringLiteral("DRAVELIN_SYNC_PASSWORD");

void Print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// The first line of standard input, without its line end.
QString PasswordFromInput()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        throw AppError(QStringLiteral("The password cannot be read from standard input"));
    QByteArray line = input.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        throw AppError(QStringLiteral("Standard input gave no password"));
    return QString::fromUtf8(line);
}

QString Password(bool fromInput, const TSyncAccountSettings &account)
{
    if (fromInput)
        return PasswordFromInput();
    if (qEnvironmentVariableIsSet(qPrintable(kPasswordVariable)))
        return qEnvironmentVariable(qPrintable(kPasswordVariable));
    QString error;
    try {
        if (const std::optional<QString> kept = ReadPassword(account.url, account.user))
            return *kept;
    } catch (const AppError &failure) {
        error = failure.message();
    }
    throw AppError(QStringLiteral("No password for %1 at %2: %3 Give it with --password-stdin or in %4.")
                       .arg(account.user, account.url,
                            error.isEmpty() ? QStringLiteral("the keyring keeps none.")
                                            : QStringLiteral("the keyring cannot be read (%1).").arg(error),
                            kPasswordVariable));
}

// Progress as the steps go: over one line on a terminal, else a line at
// each step and every hundred todos sent.
class TProgressLines {
public:
    void operator()(TSyncStep step, qint64 done, qint64 total)
    {
        const bool newStep = step != step_;
        step_ = step;
        if (!terminal_ && !newStep && !(step == TSyncStep::Sending && (done % 100 == 0 || done == total)))
            return;
        QString text;
        switch (step) {
        case TSyncStep::Reading:
            text = total > 0
                       ? QStringLiteral("Reading the server's changes: %1 of %2 bytes").arg(done).arg(total)
                       : QStringLiteral("Reading the server's changes: %1 bytes").arg(done);
            break;
        case TSyncStep::Applying:
            text = QStringLiteral("Changing the Action File: %1").arg(total > 0 ? total : done);
            break;
        case TSyncStep::Sending:
            text = QStringLiteral("Sending to the server: %1 of %2").arg(done).arg(total);
            break;
        }
        Print(stderr,
              terminal_ ? QString(QStringLiteral("\r\033[K") + text) : QString(text + QLatin1Char('\n')));
        shown_ = true;
    }
    void End()
    {
        if (terminal_ && shown_)
            Print(stderr, QStringLiteral("\r\033[K"));
    }

private:
    bool terminal_ = ::isatty(STDERR_FILENO);
    bool shown_ = false;
    TSyncStep step_ = TSyncStep(-1);
};

} // namespace

int CmdSync(TDataModuleMain &data, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Synchronises the actions of an Action File both ways with a CalDAV task list: what changed on "
        "either side since the last synchronisation goes to the other, field by field; where both "
        "changed a field the file's value stays and the server's goes into the action's log. The task "
        "list and user are kept for the file, so later synchronisations need only FILE."));
    parser.addPositionalArgument(QStringLiteral("sync"), QStringLiteral("The command."),
                                 QStringLiteral("sync"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The Action File (.act)."));
    const QCommandLineOption url(QStringLiteral("url"),
                                 QStringLiteral("The task list (a CalDAV collection of todos). Default: the "
                                                "one the file was last synchronised with."),
                                 QStringLiteral("url"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("The user name on the server."),
                                  QStringLiteral("name"));
    const QCommandLineOption passwordStdin(
        QStringLiteral("password-stdin"),
        QStringLiteral("Read the password from the first line of standard input. Without it the password "
                       "comes from %1, else from the keyring.")
            .arg(kPasswordVariable));
    const QCommandLineOption savePassword(
        QStringLiteral("save-password"),
        QStringLiteral("Keep the password given in the keyring for the next synchronisations."));
    const QCommandLineOption allowHttp(
        QStringLiteral("allow-http"),
        QStringLiteral("Allow plain http to another machine, which carries the password and the actions "
                       "readable to anyone on the way. Plain http to this machine needs no permission."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    for (const QCommandLineOption &option : {url, user, passwordStdin, savePassword, allowHttp, help})
        parser.addOption(option);
    if (!parser.parse(QStringList{QStringLiteral("dravelin-cli"), QStringLiteral("sync")} + arguments))
        throw UsageError(parser.errorText());
    if (parser.isSet(help)) {
        Print(stdout, parser.helpText().replace(QCoreApplication::arguments().constFirst(),
                                                QStringLiteral("dravelin-cli")));
        return ExitOk;
    }
    const QStringList files = parser.positionalArguments().mid(1);
    if (files.size() != 1)
        throw UsageError(QStringLiteral("sync: name one Action File (see dravelin-cli sync --help)"));
    const QString fileName = files.first();
    if (TActionFileSession::IsDravelinFile(fileName))
        throw AppError(QStringLiteral("\"%1\": a Dravelin File is not synchronised; unpack it into an Action "
                                      "File and synchronise that")
                           .arg(fileName));
    if (!QFileInfo(fileName).isFile())
        throw AppError(QStringLiteral("The file \"%1\" cannot be opened").arg(fileName));
    const QString accountFile = SyncAccountFileName(AuxiliaryFolder(fileName, Settings().Folders.Auxiliary));
    const QString stateFile = SyncStateFileName(AuxiliaryFolder(fileName, Settings().Folders.Auxiliary));
    if (accountFile.isEmpty())
        throw AppError(
            QStringLiteral("\"%1\" has no auxiliary folder, where its synchronisation is kept: set "
                           "the Auxiliary folder in the settings")
                .arg(fileName));

    const TSyncAccountSettings kept = LoadSyncAccount(accountFile);
    TSyncAccountSettings account = kept;
    if (parser.isSet(url))
        account.url = parser.value(url);
    if (parser.isSet(user))
        account.user = parser.value(user);
    if (account.url.isEmpty() || account.user.isEmpty())
        throw UsageError(
            QStringLiteral("sync: \"%1\" has no task list yet; name it with --url URL --user NAME")
                .arg(fileName));
    const QUrl list = QUrl::fromUserInput(account.url);
    if (!list.isValid() ||
        (list.scheme() != QLatin1String("https") && list.scheme() != QLatin1String("http")))
        throw UsageError(QStringLiteral("sync: --url %1 is no http or https address").arg(account.url));
    if (parser.isSet(savePassword) && !parser.isSet(passwordStdin) &&
        !qEnvironmentVariableIsSet(qPrintable(kPasswordVariable)))
        throw UsageError(QStringLiteral("sync: --save-password keeps a password given with --password-stdin "
                                        "or %1")
                             .arg(kPasswordVariable));
    const QString password = Password(parser.isSet(passwordStdin), account);

    // The lock is held, and every write checked against it, for the whole
    // synchronisation; each batch of changes is committed on its own.
    const std::unique_ptr<TFileLock> lock = TActionFileSession::LockForChange(fileName);
    const TLockWriteGuard guard(data.Tables, *lock, false);
    TActionFileSession session(data, fileName, TActionFileSession::Read);
    if (account.url != kept.url || account.user != kept.user)
        SaveSyncAccount(accountFile, account);
    if (parser.isSet(savePassword))
        StorePassword(account.url, account.user, password);

    TActionFileActions local(data);
    TSynchroniser synchroniser(
        {list, account.user, password, account.plainHttpConfirmed || parser.isSet(allowHttp)}, stateFile,
        local);
    TProgressLines progress;
    synchroniser.SetProgress([&](TSyncStep step, qint64 done, qint64 total) { progress(step, done, total); });
    const TSyncResult result = synchroniser.Run();
    progress.End();
    for (const QString &note : result.summary.notes)
        Print(stderr, QStringLiteral("dravelin-cli: note: ") + note.simplified() + QLatin1Char('\n'));
    if (!result.ok)
        throw AppError(result.outcome == TDavOutcome::Insecure
                           ? result.error + QStringLiteral(" (--allow-http confirms it)")
                           : result.error);
    Print(stdout, result.summary.Text() + QLatin1Char('\n'));
    return ExitOk;
}
