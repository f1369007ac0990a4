#pragma once

#include "DavXml.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// A CalDAV client for task lists, on Qt Network alone. Every call blocks
// until its requests are done, running a local event loop meanwhile, and
// answers with a TDavStatus whose message, when it failed, is a text for
// the user naming the cause. The command-line tool calls it directly. A
// window makes and uses the client in a worker thread (a client belongs to
// the thread that made it), passes the progress callback's reports, which
// come in that thread, on to itself with queued signals, and offers
// Cancel(), which may be called from any thread.

struct TDavAccount {
    QUrl url; // the server, the account's principal or a task list
    QString user;
    QString password;
    // Plain http carries the password readable to anyone on the way: it is
    // allowed to this machine only, unless the user confirmed it.
    bool plainHttpConfirmed = false;
};

// Limits against a hostile or broken server.
struct TDavOptions {
    qint64 maxResponseBytes = qint64(256) << 20;
    int requestTimeoutMs = 120000; // one request from start to end
    int maxRedirects = 5;
    TDavXmlLimits xml;
    // Whether changes are asked for with the list's sync token where the
    // server offers one; without, ETags tell them.
    bool useSyncTokens = true;
    int multigetBatch = 500;
};

enum class TDavOutcome {
    Ok,
    PreconditionFailed, // If-Match or If-None-Match failed (412): changed or made meanwhile
    NotFound,
    Unauthorized, // wrong user name or password (401)
    Forbidden,    // 403
    Unreachable,  // no connection
    TimedOut,
    ServerError, // an HTTP error status of the server
    CertificateError,
    Insecure, // plain http to another machine, not confirmed
    Refused,  // the answer broke a limit or is not what was asked for
    Cancelled,
};

struct TDavStatus {
    TDavOutcome outcome = TDavOutcome::Ok;
    int httpStatus = 0;
    QString message;
    bool Ok() const { return outcome == TDavOutcome::Ok; }
};

struct TTaskList {
    QUrl url;
    QString displayName;
};

struct TRemoteTodo {
    QUrl url;
    QString etag;
    QByteArray ical;
};

// What the caller knew of a list at its last synchronisation.
struct TListState {
    QString syncToken;
    QString ctag;
    QHash<QString, QString> etags; // by TodoKey of the todo's URL
};

struct TTodoChanges {
    // The whole list was read: a known todo not among changed or unchanged
    // is gone. Otherwise removed names what is gone.
    bool complete = false;
    QList<TRemoteTodo> changed; // new, or with another ETag than known
    QList<QUrl> removed;
    QString syncToken, ctag; // the list's markers after these changes
};

class TCalDavClient {
public:
    explicit TCalDavClient(TDavAccount account, TDavOptions options = {});
    ~TCalDavClient();
    TCalDavClient(const TCalDavClient &) = delete;
    TCalDavClient &operator=(const TCalDavClient &) = delete;

    // Reports the bytes of the answer being read, and its size if known.
    void SetProgress(std::function<void(qint64 received, qint64 total)> progress);
    // Stops the running request, from any thread; the call ends Cancelled.
    void Cancel() { cancelled_ = true; }
    // How many requests the client has sent.
    int RequestCount() const { return requests_; }

    // The task lists of the account: the collections that take VTODOs,
    // found from the account's calendar home.
    TDavStatus TaskLists(QList<TTaskList> &lists);
    // Every todo of the list.
    TDavStatus FetchAll(const QUrl &list, QList<TRemoteTodo> &todos);
    // What changed on the list since the state given: through the sync
    // token where the server offers one, else by comparing ETags; nothing
    // is fetched when the token or ctag says nothing changed.
    TDavStatus FetchChanges(const QUrl &list, const TListState &since, TTodoChanges &changes);
    // The todos named, as the server has them now, added to changes: those
    // it has to changed, those it has not to removed.
    TDavStatus FetchTodos(const QUrl &list, const QList<QUrl> &todos, TTodoChanges &changes);
    // Writes a todo: a new one (etag empty) only where none exists, a known
    // one only while it still has that ETag. newEtag is its new version.
    TDavStatus Put(const QUrl &todo, const QByteArray &ical, const QString &etag, QString &newEtag);
    // Deletes a todo while it still has that ETag.
    TDavStatus Remove(const QUrl &todo, const QString &etag);

    // The URL of a new todo of the list.
    static QUrl TodoUrl(const QUrl &list, const QString &uid);
    // A todo's URL as the key of TListState::etags.
    static QString TodoKey(const QUrl &todo);

private:
    struct TResponse {
        int status = 0;
        QByteArray body;
        QString etag;
        QUrl url;      // after redirects
        QUrl location; // where a redirect points
    };
    TDavStatus Send(const QByteArray &verb, const QUrl &url, const QByteArray &body,
                    const QList<std::pair<QByteArray, QByteArray>> &headers, TResponse &response);
    TDavStatus SendOnce(const QByteArray &verb, const QUrl &url, const QByteArray &body,
                        const QList<std::pair<QByteArray, QByteArray>> &headers, TResponse &response);
    TDavStatus Multistatus(const QByteArray &verb, const QUrl &url, const QByteArray &depth,
                           const QByteArray &body, TMultistatus &result, QUrl *base = nullptr);
    TDavStatus AllowedAddress(const QUrl &url) const;

    TDavAccount account_;
    TDavOptions options_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::function<void(qint64, qint64)> progress_;
    std::atomic<bool> cancelled_ = false;
    int requests_ = 0;
};
