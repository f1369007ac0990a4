#include "PasswordStore.h"

#include "AppError.h"

#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <qt6keychain/keychain.h>

namespace {

const QString kService = QStringLiteral("Dravelin Ostravine CalDAV");
// A keyring that asks the user to unlock it may take a while; one that
// never answers must not hang the program.
constexpr int kKeyringTimeoutMs = 120000;

// One entry per user and server, whatever way the address was typed.
QString Key(const QString &serverUrl, const QString &user)
{
    QUrl url(serverUrl.trimmed());
    url.setUserInfo(QString());
    url.setHost(url.host().toLower());
    return user + QLatin1Char('@') +
           url.adjusted(QUrl::NormalizePathSegments | QUrl::StripTrailingSlash).toString(QUrl::FullyEncoded);
}

struct TOutcome {
    bool done = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorString;
    QString password;
};

// Runs job and waits for its end; the job deletes itself, also when it
// answers after the wait gave up.
std::shared_ptr<TOutcome> Run(QKeychain::Job *job)
{
    auto outcome = std::make_shared<TOutcome>();
    QEventLoop loop;
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    QObject::connect(job, &QKeychain::Job::finished, &loop, [outcome, &loop](QKeychain::Job *finished) {
        outcome->done = true;
        outcome->error = finished->error();
        outcome->errorString = finished->errorString();
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(finished))
            outcome->password = read->textData();
        loop.quit();
    });
    QTimer::singleShot(kKeyringTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    loop.exec();
    if (!outcome->done) {
        QObject::disconnect(job, nullptr, &loop, nullptr);
        outcome->error = QKeychain::OtherError;
        outcome->errorString = QStringLiteral("the keyring did not answer");
    }
    return outcome;
}

void ThrowIfFailed(const TOutcome &outcome, const QString &what)
{
    if (outcome.error != QKeychain::NoError)
        throw AppError(QStringLiteral("%1: %2").arg(what, outcome.errorString), QString(),
                       outcome.errorString);
}

} // namespace

void StorePassword(const QString &serverUrl, const QString &user, const QString &password)
{
    auto *job = new QKeychain::WritePasswordJob(kService);
    job->setKey(Key(serverUrl, user));
    job->setTextData(password);
    ThrowIfFailed(*Run(job), QStringLiteral("The password cannot be kept in the keyring"));
}

std::optional<QString> ReadPassword(const QString &serverUrl, const QString &user)
{
    auto *job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(Key(serverUrl, user));
    const auto outcome = Run(job);
    if (outcome->error == QKeychain::EntryNotFound)
        return std::nullopt;
    ThrowIfFailed(*outcome, QStringLiteral("The password cannot be read from the keyring"));
    return outcome->password;
}

void RemovePassword(const QString &serverUrl, const QString &user)
{
    auto *job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(Key(serverUrl, user));
    const auto outcome = Run(job);
    if (outcome->error != QKeychain::EntryNotFound)
        ThrowIfFailed(*outcome, QStringLiteral("The password cannot be removed from the keyring"));
}
