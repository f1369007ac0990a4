#include "CalDavClient.h"

#include "AppError.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QSslError>
#include <QTimer>

namespace {

const QByteArray kXml = "application/xml; charset=utf-8";
const QByteArray kNamespaces = R"(xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav" )"
                               R"(xmlns:CS="http://calendarserver.org/ns/")";
const char *const kAuthorised = "dravelinAuthorised";

QByteArray Propfind(const QByteArray &props)
{
    return R"(<?xml version="1.0" encoding="utf-8"?><D:propfind )" + kNamespaces + "><D:prop>" + props +
           "</D:prop></D:propfind>";
}

// A calendar-query for the list's todos, with or without their data.
QByteArray TodoQuery(bool withData)
{
    return R"(<?xml version="1.0" encoding="utf-8"?><C:calendar-query )" + kNamespaces +
           "><D:prop><D:getetag/>" + (withData ? QByteArray("<C:calendar-data/>") : QByteArray()) +
           R"(</D:prop><C:filter><C:comp-filter name="VCALENDAR"><C:comp-filter name="VTODO"/>)"
           "</C:comp-filter></C:filter></C:calendar-query>";
}

QByteArray Escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

QString ServerOf(const QUrl &url)
{
    return url.port() > 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
}

QString Prop(const TDavResource &resource, const QString &name)
{
    return resource.props.value(name).text.trimmed();
}

// The same scheme, host and port.
bool SameServer(const QUrl &a, const QUrl &b)
{
    const auto port = [](const QUrl &url) {
        return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

bool IsTodoData(const QByteArray &ical)
{
    return ical.toUpper().contains("BEGIN:VTODO");
}

} // namespace

TCalDavClient::TCalDavClient(TDavAccount account, TDavOptions options)
    : account_(std::move(account)), options_(std::move(options)),
      network_(std::make_unique<QNetworkAccessManager>())
{
    // The password goes only to the account's server, once per request:
    // asked again, it was wrong, and the request ends with 401.
    QObject::connect(network_.get(), &QNetworkAccessManager::authenticationRequired,
                     [this](QNetworkReply *reply, QAuthenticator *authenticator) {
                         if (reply->property(kAuthorised).toBool() || !SameServer(reply->url(), account_.url))
                             return;
                         reply->setProperty(kAuthorised, true);
                         authenticator->setUser(account_.user);
                         authenticator->setPassword(account_.password);
                     });
}

TCalDavClient::~TCalDavClient() = default;

void TCalDavClient::SetProgress(std::function<void(qint64, qint64)> progress)
{
    progress_ = std::move(progress);
}

TDavStatus TCalDavClient::AllowedAddress(const QUrl &url) const
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return {};
    const QString shown = url.toDisplayString(QUrl::RemoveUserInfo);
    if (scheme != QLatin1String("http") || url.host().isEmpty())
        return {TDavOutcome::Refused, 0,
                QStringLiteral("The address %1 is no http or https address").arg(shown)};
    const QHostAddress address(url.host());
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
        (!address.isNull() && address.isLoopback()) || account_.plainHttpConfirmed)
        return {};
    return {TDavOutcome::Insecure, 0,
            QStringLiteral("The address %1 uses plain http to another machine: the password would travel "
                           "unencrypted. Use https, or confirm plain http.")
                .arg(shown)};
}

TDavStatus TCalDavClient::Send(const QByteArray &verb, const QUrl &url, const QByteArray &body,
                               const QList<std::pair<QByteArray, QByteArray>> &headers, TResponse &response)
{
    // Redirects are followed here, not by Qt, so that each target is
    // checked like the first address and the password goes to the
    // account's server only.
    QUrl target = url;
    for (int redirects = 0;; ++redirects) {
        const TDavStatus status = SendOnce(verb, target, body, headers, response);
        const int code = response.status;
        const bool redirect = code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
        if (!redirect || !response.location.isValid()) {
            response.url = target;
            return status;
        }
        if (redirects == options_.maxRedirects)
            return {TDavOutcome::Refused, code,
                    QStringLiteral("The server %1 redirected more than %2 times")
                        .arg(ServerOf(url))
                        .arg(options_.maxRedirects)};
        target = target.resolved(response.location);
    }
}

TDavStatus TCalDavClient::SendOnce(const QByteArray &verb, const QUrl &url, const QByteArray &body,
                                   const QList<std::pair<QByteArray, QByteArray>> &headers,
                                   TResponse &response)
{
    response = {};
    if (cancelled_)
        return {TDavOutcome::Cancelled, 0, QStringLiteral("The synchronisation was cancelled")};
    if (TDavStatus allowed = AllowedAddress(url); !allowed.Ok())
        return allowed;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(options_.requestTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("Dravelin/" DRAVELIN_VERSION));
    // Sent at once to the account's server, so that no request is first
    // refused (a server may close the connection before a refused body is
    // sent whole); a server that wants another scheme asks, and is answered
    // by authenticationRequired.
    if (SameServer(url, account_.url))
        request.setRawHeader("Authorization",
                             "Basic " +
                                 (account_.user + QLatin1Char(':') + account_.password).toUtf8().toBase64());
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    ++requests_;
    std::unique_ptr<QNetworkReply> reply(network_->sendCustomRequest(request, verb, body));

    QEventLoop loop;
    TDavStatus stopped;
    QStringList certificateErrors;
    const auto stop = [&](TDavOutcome outcome, const QString &why) {
        if (stopped.Ok())
            stopped = {outcome, 0, why};
        reply->abort();
    };
    const QString tooLarge = QStringLiteral("The server's answer is larger than %1 MB and was refused")
                                 .arg(options_.maxResponseBytes >> 20);
    const QString cancelledText = QStringLiteral("The synchronisation was cancelled");
    const auto take = [&] {
        response.body += reply->readAll();
        if (response.body.size() > options_.maxResponseBytes)
            stop(TDavOutcome::Refused, tooLarge);
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > options_.maxResponseBytes)
            stop(TDavOutcome::Refused, tooLarge);
    });
    // A cancel is seen as the answer arrives, not only at the next look of
    // the watch below: a fast stream could pass the size limit meanwhile.
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (cancelled_)
            stop(TDavOutcome::Cancelled, cancelledText);
        else
            take();
    });
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop,
                     [&](qint64 received, qint64 total) {
                         if (progress_)
                             progress_(received, total);
                     });
    // Certificate errors are never ignored; they only name the cause.
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, &loop, [&](const QList<QSslError> &errors) {
        for (const QSslError &error : errors)
            certificateErrors.append(error.errorString());
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        stop(TDavOutcome::TimedOut, QStringLiteral("The server %1 did not answer within %2 seconds")
                                        .arg(ServerOf(url))
                                        .arg(options_.requestTimeoutMs / 1000));
    });
    deadline.start(options_.requestTimeoutMs);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (cancelled_)
            stop(TDavOutcome::Cancelled, cancelledText);
    });
    watch.start(100);
    if (!reply->isFinished())
        loop.exec();
    if (stopped.Ok())
        take();

    response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    response.etag = QString::fromUtf8(reply->rawHeader("ETag"));
    response.location = QUrl(QString::fromUtf8(reply->rawHeader("Location")));
    if (!stopped.Ok()) {
        stopped.httpStatus = response.status;
        return stopped;
    }
    const QString server = ServerOf(url);
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::SslHandshakeFailedError:
        return {TDavOutcome::CertificateError, 0,
                QStringLiteral("The certificate of %1 is not accepted: %2")
                    .arg(server, certificateErrors.isEmpty() ? reply->errorString()
                                                             : certificateErrors.join(QStringLiteral("; ")))};
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return {TDavOutcome::TimedOut, 0,
                QStringLiteral("The server %1 did not answer within %2 seconds")
                    .arg(server)
                    .arg(options_.requestTimeoutMs / 1000)};
    default:
        if (response.status == 0)
            return {TDavOutcome::Unreachable, 0,
                    QStringLiteral("The server %1 cannot be reached: %2").arg(server, reply->errorString())};
    }
    const int status = response.status;
    if (status / 100 == 2)
        return {TDavOutcome::Ok, status, QString()};
    switch (status) {
    case 401:
        return {TDavOutcome::Unauthorized, status,
                QStringLiteral("The server %1 refused the user name or password (HTTP 401)").arg(server)};
    case 403:
        return {TDavOutcome::Forbidden, status,
                QStringLiteral("The server %1 does not allow this (HTTP 403)").arg(server)};
    case 404:
        return {TDavOutcome::NotFound, status,
                QStringLiteral("The server %1 has nothing at %2 (HTTP 404)").arg(server, url.path())};
    case 412:
        return {TDavOutcome::PreconditionFailed, status,
                QStringLiteral("The task was changed on the server %1 meanwhile (HTTP 412)").arg(server)};
    default:
        return {TDavOutcome::ServerError, status,
                QStringLiteral("The server %1 answered with error %2 %3")
                    .arg(server)
                    .arg(status)
                    .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                    .trimmed()};
    }
}

TDavStatus TCalDavClient::Multistatus(const QByteArray &verb, const QUrl &url, const QByteArray &depth,
                                      const QByteArray &body, TMultistatus &result, QUrl *base)
{
    TResponse response;
    TDavStatus status = Send(
        verb, url, body, {{"Depth", depth}, {"Content-Type", kXml}, {"Prefer", "return-minimal"}}, response);
    if (!status.Ok())
        return status;
    if (base)
        *base = response.url;
    try {
        ParseMultistatus(response.body, options_.xml, result);
    } catch (const AppError &refused) {
        return {TDavOutcome::Refused, status.httpStatus, refused.message()};
    }
    return status;
}

TDavStatus TCalDavClient::TaskLists(QList<TTaskList> &lists)
{
    lists.clear();
    // The calendar home: named where the address points, or by the
    // principal named there; servers that keep it elsewhere say so at the
    // well-known address.
    QUrl home;
    TDavStatus first;
    for (const QUrl &start :
         {account_.url, account_.url.resolved(QUrl(QStringLiteral("/.well-known/caldav")))}) {
        TMultistatus found;
        QUrl base;
        TDavStatus status =
            Multistatus("PROPFIND", start, "0", Propfind("<D:current-user-principal/><C:calendar-home-set/>"),
                        found, &base);
        if (!status.Ok()) {
            if (status.outcome != TDavOutcome::NotFound && status.outcome != TDavOutcome::ServerError &&
                status.outcome != TDavOutcome::Refused && status.outcome != TDavOutcome::Forbidden)
                return status;
            if (first.Ok())
                first = status;
            continue;
        }
        QString principal;
        for (const TDavResource &resource : found.resources) {
            if (const QStringList hrefs = resource.props.value(CalDav("calendar-home-set")).hrefs;
                !hrefs.isEmpty())
                home = base.resolved(QUrl(hrefs.first()));
            if (const QStringList hrefs = resource.props.value(Dav("current-user-principal")).hrefs;
                !hrefs.isEmpty())
                principal = hrefs.first();
        }
        if (home.isEmpty() && !principal.isEmpty()) {
            const QUrl principalUrl = base.resolved(QUrl(principal));
            found = {};
            status =
                Multistatus("PROPFIND", principalUrl, "0", Propfind("<C:calendar-home-set/>"), found, &base);
            if (!status.Ok())
                return status;
            for (const TDavResource &resource : found.resources)
                if (const QStringList hrefs = resource.props.value(CalDav("calendar-home-set")).hrefs;
                    !hrefs.isEmpty())
                    home = base.resolved(QUrl(hrefs.first()));
        }
        if (!home.isEmpty())
            break;
    }
    // A server that names no home: the address itself is one, or a list.
    if (home.isEmpty())
        home = account_.url;

    TMultistatus found;
    QUrl base;
    const TDavStatus status = Multistatus(
        "PROPFIND", home, "1",
        Propfind("<D:resourcetype/><D:displayname/><C:supported-calendar-component-set/>"), found, &base);
    if (!status.Ok())
        return first.Ok() ? status : first;
    for (const TDavResource &resource : found.resources) {
        if (!resource.props.value(Dav("resourcetype")).names.contains(CalDav("calendar")))
            continue;
        const QStringList comps = resource.props.value(CalDav("supported-calendar-component-set")).comps;
        // A calendar that names no components takes them all.
        if (!comps.isEmpty() && !comps.contains(QLatin1String("VTODO"), Qt::CaseInsensitive))
            continue;
        TTaskList list;
        list.url = base.resolved(QUrl(resource.href));
        list.displayName = Prop(resource, Dav("displayname"));
        if (list.displayName.isEmpty())
            list.displayName = list.url.adjusted(QUrl::StripTrailingSlash).fileName();
        lists.append(list);
    }
    std::sort(lists.begin(), lists.end(), [](const TTaskList &a, const TTaskList &b) {
        return a.displayName.localeAwareCompare(b.displayName) < 0;
    });
    return status;
}

TDavStatus TCalDavClient::FetchAll(const QUrl &list, QList<TRemoteTodo> &todos)
{
    todos.clear();
    TMultistatus found;
    QUrl base;
    const TDavStatus status = Multistatus("REPORT", list, "1", TodoQuery(true), found, &base);
    if (!status.Ok())
        return status;
    for (const TDavResource &resource : found.resources) {
        const QByteArray ical = resource.props.value(CalDav("calendar-data")).text.toUtf8();
        if (resource.status == 0 && IsTodoData(ical))
            todos.append({base.resolved(QUrl(resource.href)), Prop(resource, Dav("getetag")), ical});
    }
    return status;
}

TDavStatus TCalDavClient::FetchTodos(const QUrl &list, const QList<QUrl> &todos, TTodoChanges &changes)
{
    for (qsizetype start = 0; start < todos.size(); start += options_.multigetBatch) {
        QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?><C:calendar-multiget )" + kNamespaces +
                          "><D:prop><D:getetag/><C:calendar-data/></D:prop>";
        const QList<QUrl> batch = todos.mid(start, options_.multigetBatch);
        for (const QUrl &todo : batch)
            body += "<D:href>" + Escaped(todo.path(QUrl::FullyEncoded)) + "</D:href>";
        body += "</C:calendar-multiget>";
        TMultistatus found;
        QUrl base;
        const TDavStatus status = Multistatus("REPORT", list, "1", body, found, &base);
        if (!status.Ok())
            return status;
        for (const TDavResource &resource : found.resources) {
            const QUrl url = base.resolved(QUrl(resource.href));
            const QByteArray ical = resource.props.value(CalDav("calendar-data")).text.toUtf8();
            if (resource.status == 404)
                changes.removed.append(url);
            else if (IsTodoData(ical))
                changes.changed.append({url, Prop(resource, Dav("getetag")), ical});
        }
    }
    return {};
}

TDavStatus TCalDavClient::FetchChanges(const QUrl &list, const TListState &since, TTodoChanges &changes)
{
    changes = {};
    TMultistatus found;
    TDavStatus status = Multistatus("PROPFIND", list, "0", Propfind("<D:sync-token/><CS:getctag/>"), found);
    if (!status.Ok())
        return status;
    for (const TDavResource &resource : found.resources) {
        changes.syncToken = Prop(resource, Dav("sync-token"));
        changes.ctag = Prop(resource, DavName("http://calendarserver.org/ns/", "getctag"));
    }
    const bool useToken = options_.useSyncTokens && !changes.syncToken.isEmpty();
    if (!useToken)
        changes.syncToken.clear();
    // Unchanged since the last time: one request was all.
    if ((useToken && changes.syncToken == since.syncToken) ||
        (!useToken && !changes.ctag.isEmpty() && changes.ctag == since.ctag))
        return status;

    QList<QUrl> wanted;
    if (useToken && !since.syncToken.isEmpty()) {
        found = {};
        QUrl base;
        const QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?><D:sync-collection )" + kNamespaces +
                                "><D:sync-token>" + Escaped(since.syncToken) +
                                "</D:sync-token><D:sync-level>1</D:sync-level><D:prop><D:getetag/></D:prop>"
                                "</D:sync-collection>";
        status = Multistatus("REPORT", list, "0", body, found, &base);
        if (status.Ok()) {
            const QString listKey = TodoKey(list);
            for (const TDavResource &resource : found.resources) {
                const QUrl url = base.resolved(QUrl(resource.href));
                if (TodoKey(url) == listKey)
                    continue;
                if (resource.status == 404)
                    changes.removed.append(url);
                else if (since.etags.value(TodoKey(url)) != Prop(resource, Dav("getetag")))
                    wanted.append(url);
            }
            if (!found.syncToken.isEmpty())
                changes.syncToken = found.syncToken;
            return FetchTodos(list, wanted, changes);
        }
        // A token the server no longer knows: read the whole list instead.
        if (status.outcome != TDavOutcome::Forbidden && status.httpStatus != 409 && status.httpStatus != 400)
            return status;
    }

    // The whole list, by ETags: only what is new or changed is fetched.
    found = {};
    QUrl base;
    status = Multistatus("REPORT", list, "1", TodoQuery(false), found, &base);
    if (!status.Ok())
        return status;
    changes.complete = true;
    QSet<QString> present;
    for (const TDavResource &resource : found.resources) {
        if (resource.status != 0)
            continue;
        const QUrl url = base.resolved(QUrl(resource.href));
        present.insert(TodoKey(url));
        if (since.etags.value(TodoKey(url)) != Prop(resource, Dav("getetag")))
            wanted.append(url);
    }
    for (auto it = since.etags.begin(); it != since.etags.end(); ++it) {
        if (present.contains(it.key()))
            continue;
        QUrl gone = list;
        gone.setPath(it.key());
        changes.removed.append(gone);
    }
    return FetchTodos(list, wanted, changes);
}

TDavStatus TCalDavClient::Put(const QUrl &todo, const QByteArray &ical, const QString &etag, QString &newEtag)
{
    newEtag.clear();
    TResponse response;
    const std::pair<QByteArray, QByteArray> condition =
        etag.isEmpty() ? std::pair<QByteArray, QByteArray>("If-None-Match", "*")
                       : std::pair<QByteArray, QByteArray>("If-Match", etag.toUtf8());
    const TDavStatus status =
        Send("PUT", todo, ical, {{"Content-Type", "text/calendar; charset=utf-8"}, condition}, response);
    if (!status.Ok())
        return status;
    newEtag = response.etag;
    if (!newEtag.isEmpty())
        return status;
    // A server that changed what it stored says its version only when asked.
    TMultistatus found;
    const TDavStatus asked = Multistatus("PROPFIND", todo, "0", Propfind("<D:getetag/>"), found);
    for (const TDavResource &resource : found.resources)
        newEtag = Prop(resource, Dav("getetag"));
    return asked;
}

TDavStatus TCalDavClient::Remove(const QUrl &todo, const QString &etag)
{
    TResponse response;
    QList<std::pair<QByteArray, QByteArray>> headers;
    if (!etag.isEmpty())
        headers.append({"If-Match", etag.toUtf8()});
    return Send("DELETE", todo, QByteArray(), headers, response);
}

QUrl TCalDavClient::TodoUrl(const QUrl &list, const QString &uid)
{
    QString path = list.path(QUrl::FullyEncoded);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    QUrl todo = list;
    todo.setPath(path + QString::fromLatin1(QUrl::toPercentEncoding(uid)) + QStringLiteral(".ics"),
                 QUrl::TolerantMode);
    return todo;
}

QString TCalDavClient::TodoKey(const QUrl &todo)
{
    return todo.adjusted(QUrl::NormalizePathSegments).path(QUrl::FullyDecoded);
}
