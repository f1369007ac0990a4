#include "CalDavClient.h"
#include "RadicaleServer.h"
#include "TodoMapping.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <memory>

Q_DECLARE_METATYPE(TDavOutcome)

namespace {

const QString kUser = QStringLiteral("alice");
const QString kPassword = QStringLiteral("s3cret;pw");

QByteArray Todo(const QString &uid, const QString &summary)
{
    return ActionToTodo({{QStringLiteral("SYNOPSIS"), summary}}, uid).ical;
}

QStringList Uids(const QList<TRemoteTodo> &todos)
{
    QStringList uids;
    for (const TRemoteTodo &todo : todos)
        uids.append(TodoToAction(todo.ical).uid);
    uids.sort();
    return uids;
}

QStringList Names(const QList<QUrl> &urls)
{
    QStringList names;
    for (const QUrl &url : urls)
        names.append(url.fileName());
    names.sort();
    return names;
}

// A throw-away server of broken or hostile answers (tests/sync/hostile_server.py).
class HostileServer {
public:
    bool Start(const QStringList &tls = {})
    {
        process_.start(QStringLiteral(DEBIAN_PYTHON),
                       QStringList{QStringLiteral(SYNC_TEST_DIR "/hostile_server.py")} + tls);
        if (!process_.waitForReadyRead(20000))
            return false;
        port_ = process_.readLine().trimmed().toInt();
        return port_ > 0;
    }
    QUrl Url(const QString &path, const QString &scheme = QStringLiteral("http")) const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(port_).arg(path));
    }
    ~HostileServer()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    int port_ = 0;
};

} // namespace

class TestCalDavClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void discoversTheTaskLists();
    void fetchesEveryTodoOfAList();
    void changesComeByTokenOrByEtags_data();
    void changesComeByTokenOrByEtags();
    void writesAndDeletesOnlyTheVersionKnown();
    void actionsTravelThroughTheServer_data();
    void actionsTravelThroughTheServer();
    void wrongPasswordIsReported();
    void unreachableServerIsReported();
    void plainHttpGoesOnlyToThisMachine();
    void hostileAnswersAreRefused_data();
    void hostileAnswersAreRefused();
    void untrustedCertificateIsRefused();
    void cancelStopsTheRunningRequest();
    void clientWorksInAWorkerThread();

private:
    std::unique_ptr<TCalDavClient> Client(const QUrl &url, bool syncTokens = true,
                                          const QString &password = kPassword)
    {
        TDavOptions options;
        options.useSyncTokens = syncTokens;
        return std::make_unique<TCalDavClient>(TDavAccount{url, kUser, password, false}, options);
    }
    QUrl List(const QString &id) const
    {
        return server_.Url().resolved(QUrl(QStringLiteral("/alice/%1/").arg(id)));
    }
    // A new task list made by the other device.
    QUrl NewList(const QString &id)
    {
        if (!server_.Peer({QStringLiteral("make-list"), id, id, QStringLiteral("VTODO")}))
            qFatal("the task list %s cannot be made", qPrintable(id));
        return List(id);
    }

    RadicaleServer server_;
};

void TestCalDavClient::initTestCase()
{
    QVERIFY2(server_.Start(kUser, kPassword), qPrintable(server_.Error()));
}

void TestCalDavClient::discoversTheTaskLists()
{
    QVERIFY(server_.Peer({QStringLiteral("make-list"), QStringLiteral("tasks"), QStringLiteral("Tâches"),
                          QStringLiteral("VTODO")}));
    QVERIFY(server_.Peer({QStringLiteral("make-list"), QStringLiteral("events"), QStringLiteral("Events"),
                          QStringLiteral("VEVENT")}));
    QVERIFY(server_.Peer({QStringLiteral("make-list"), QStringLiteral("mixed"), QStringLiteral("Mixed"),
                          QStringLiteral("VEVENT,VTODO")}));
    // From the server's address, the principal's and a list's own.
    for (const QUrl &start : {server_.Url(), server_.Url().resolved(QUrl(QStringLiteral("/alice/"))),
                              List(QStringLiteral("tasks"))}) {
        QList<TTaskList> lists;
        const TDavStatus status = Client(start)->TaskLists(lists);
        QVERIFY2(status.Ok(), qPrintable(status.message));
        QStringList found;
        for (const TTaskList &list : lists)
            found.append(list.displayName + QLatin1Char(' ') + list.url.path());
        QCOMPARE(found, QStringList(
                            {QStringLiteral("Mixed /alice/mixed/"), QStringLiteral("Tâches /alice/tasks/")}));
    }
}

void TestCalDavClient::fetchesEveryTodoOfAList()
{
    const QUrl list = NewList(QStringLiteral("fetch"));
    for (const char *uid : {"one", "two", "three"})
        QVERIFY(server_.Peer({QStringLiteral("create"), QStringLiteral("fetch"), QLatin1String(uid),
                              QStringLiteral("Task ") + QLatin1String(uid)}));
    QList<TRemoteTodo> todos;
    const TDavStatus status = Client(server_.Url())->FetchAll(list, todos);
    QVERIFY2(status.Ok(), qPrintable(status.message));
    QCOMPARE(Uids(todos),
             QStringList({QStringLiteral("one"), QStringLiteral("three"), QStringLiteral("two")}));
    for (const TRemoteTodo &todo : todos) {
        QVERIFY(!todo.etag.isEmpty());
        const TTodoReading read = TodoToAction(todo.ical);
        QVERIFY(read.foreign);
        QCOMPARE(read.fields.value(QStringLiteral("SYNOPSIS")).toString(),
                 QStringLiteral("Task ") + read.uid);
        QCOMPARE(todo.url, TCalDavClient::TodoUrl(list, read.uid));
    }
}

void TestCalDavClient::changesComeByTokenOrByEtags_data()
{
    QTest::addColumn<bool>("syncTokens");
    QTest::newRow("sync token") << true;
    QTest::newRow("ETags") << false;
}

void TestCalDavClient::changesComeByTokenOrByEtags()
{
    QFETCH(bool, syncTokens);
    const QString id = syncTokens ? QStringLiteral("by-token") : QStringLiteral("by-etags");
    const QUrl list = NewList(id);
    for (const char *uid : {"a", "b", "c", "d"})
        QVERIFY(server_.Peer({QStringLiteral("create"), id, QLatin1String(uid), QLatin1String(uid)}));
    const auto client = Client(server_.Url(), syncTokens);

    TTodoChanges changes;
    TDavStatus status = client->FetchChanges(list, {}, changes);
    QVERIFY2(status.Ok(), qPrintable(status.message));
    QVERIFY(changes.complete);
    QCOMPARE(Uids(changes.changed), QStringList({"a", "b", "c", "d"}));
    QCOMPARE(changes.syncToken.isEmpty(), !syncTokens);
    QVERIFY(!changes.ctag.isEmpty());
    const auto remember = [](const TTodoChanges &changes, TListState &state) {
        state.syncToken = changes.syncToken;
        state.ctag = changes.ctag;
        for (const TRemoteTodo &todo : changes.changed)
            state.etags.insert(TCalDavClient::TodoKey(todo.url), todo.etag);
        for (const QUrl &url : changes.removed)
            state.etags.remove(TCalDavClient::TodoKey(url));
    };
    TListState state;
    remember(changes, state);

    // Another device changes, completes, deletes and adds.
    QVERIFY(
        server_.Peer({QStringLiteral("change"), id, QStringLiteral("a"), QStringLiteral("SUMMARY=changed")}));
    QVERIFY(server_.Peer({QStringLiteral("complete"), id, QStringLiteral("b")}));
    QVERIFY(server_.Peer({QStringLiteral("delete"), id, QStringLiteral("c")}));
    QVERIFY(server_.Peer({QStringLiteral("create"), id, QStringLiteral("e"), QStringLiteral("e")}));
    status = client->FetchChanges(list, state, changes);
    QVERIFY2(status.Ok(), qPrintable(status.message));
    QCOMPARE(changes.complete, !syncTokens);
    QCOMPARE(Uids(changes.changed), QStringList({"a", "b", "e"}));
    QCOMPARE(Names(changes.removed), QStringList({QStringLiteral("c.ics")}));
    for (const TRemoteTodo &todo : changes.changed) {
        const TTodoReading read = TodoToAction(todo.ical);
        if (read.uid == QLatin1String("a"))
            QCOMPARE(read.fields.value(QStringLiteral("SYNOPSIS")).toString(), QStringLiteral("changed"));
        if (read.uid == QLatin1String("b")) {
            QVERIFY(read.fields.value(QStringLiteral("DATE_FINISHED")).toDate().isValid());
            QCOMPARE(read.fields.value(QStringLiteral("STATUS")).toString(), QStringLiteral("Resolved"));
        }
    }
    remember(changes, state);

    // Nothing changed: one request tells.
    const int before = client->RequestCount();
    status = client->FetchChanges(list, state, changes);
    QVERIFY2(status.Ok(), qPrintable(status.message));
    QVERIFY(changes.changed.isEmpty() && changes.removed.isEmpty());
    QCOMPARE(client->RequestCount() - before, 1);

    // A token the server does not know: the whole list by ETags.
    if (syncTokens) {
        state.syncToken = QStringLiteral("http://radicale.org/ns/sync/0000");
        status = client->FetchChanges(list, state, changes);
        QVERIFY2(status.Ok(), qPrintable(status.message));
        QVERIFY(changes.complete);
        QVERIFY(changes.changed.isEmpty());
        QVERIFY(!changes.syncToken.isEmpty());
    }
}

void TestCalDavClient::writesAndDeletesOnlyTheVersionKnown()
{
    const QUrl list = NewList(QStringLiteral("writes"));
    const auto client = Client(server_.Url());
    const QUrl todo = TCalDavClient::TodoUrl(list, QStringLiteral("w1"));
    QString etag;
    TDavStatus status =
        client->Put(todo, Todo(QStringLiteral("w1"), QStringLiteral("first")), QString(), etag);
    QVERIFY2(status.Ok(), qPrintable(status.message));
    QVERIFY(!etag.isEmpty());

    // Made meanwhile by another: a new one is not written over it.
    QString ignored;
    status = client->Put(todo, Todo(QStringLiteral("w1"), QStringLiteral("again")), QString(), ignored);
    QCOMPARE(status.outcome, TDavOutcome::PreconditionFailed);
    QCOMPARE(status.httpStatus, 412);
    QCOMPARE(status.message, QStringLiteral("The task was changed on the server %1 meanwhile (HTTP 412)")
                                 .arg(QStringLiteral("127.0.0.1:%1").arg(server_.Url().port())));

    // Changed by another device: the old version is not written over it.
    QVERIFY(server_.Peer({QStringLiteral("change"), QStringLiteral("writes"), QStringLiteral("w1"),
                          QStringLiteral("SUMMARY=theirs")}));
    QCOMPARE(client->Put(todo, Todo(QStringLiteral("w1"), QStringLiteral("mine")), etag, ignored).outcome,
             TDavOutcome::PreconditionFailed);
    QCOMPARE(client->Remove(todo, etag).outcome, TDavOutcome::PreconditionFailed);
    QList<TRemoteTodo> todos;
    QVERIFY(client->FetchAll(list, todos).Ok());
    QCOMPARE(todos.size(), 1);
    QCOMPARE(TodoToAction(todos[0].ical).fields.value(QStringLiteral("SYNOPSIS")).toString(),
             QStringLiteral("theirs"));

    // With the version read, both go through.
    QString newer;
    QVERIFY(client->Put(todo, Todo(QStringLiteral("w1"), QStringLiteral("mine")), todos[0].etag, newer).Ok());
    QVERIFY(!newer.isEmpty() && newer != todos[0].etag);
    QVERIFY(client->Remove(todo, newer).Ok());
    status = client->Remove(todo, newer);
    QCOMPARE(status.outcome, TDavOutcome::NotFound);
    QVERIFY(client->FetchAll(list, todos).Ok());
    QVERIFY(todos.isEmpty());
}

void TestCalDavClient::actionsTravelThroughTheServer_data()
{
    QTest::addColumn<TRecordValues>("action");
    const TRecordValues ordinary{{QStringLiteral("ID"), 7},
                                 {QStringLiteral("ID_ACTION"), QStringLiteral("QUAY-4")},
                                 {QStringLiteral("SYNOPSIS"), QStringLiteral("Order fenders")},
                                 {QStringLiteral("DATE_ACTION"), QDate(2026, 3, 1)},
                                 {QStringLiteral("DATE_DUE"), QDate(2026, 4, 30)},
                                 {QStringLiteral("STATUS"), QStringLiteral("Active")},
                                 {QStringLiteral("SEVERITY"), QStringLiteral("High")},
                                 {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("Harbour")}};
    QTest::newRow("ordinary") << ordinary;
    TRecordValues special = ordinary;
    special.insert(
        {{QStringLiteral("SYNOPSIS"), QStringLiteral("  Fender für Kai; 港口, \"quoted\" \\ %41\x01")},
         {QStringLiteral("DESCRIPTION"),
          QString(QStringLiteral("line\r\nline\rx\ty  ") + QString(20000, QLatin1Char('d')))},
         {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("A, B;C")},
         {QStringLiteral("SIGN_OFF"), QStringLiteral("\r\n")},
         {QStringLiteral("DATE_ACTION"), QDate(1, 1, 1)},
         {QStringLiteral("DATE_DUE"), QDate(9999, 12, 31)},
         {QStringLiteral("DATE_FINISHED"), QDate(9999, 12, 31)}});
    QTest::newRow("special characters, long texts, dates at the ends") << special;
}

void TestCalDavClient::actionsTravelThroughTheServer()
{
    QFETCH(TRecordValues, action);
    static int round = 0;
    const QString id = QStringLiteral("travel%1").arg(++round);
    const QUrl list = NewList(id);
    const auto client = Client(server_.Url());
    QString etag;
    const TDavStatus status = client->Put(TCalDavClient::TodoUrl(list, QStringLiteral("t1")),
                                          ActionToTodo(action, QStringLiteral("t1")).ical, QString(), etag);
    QVERIFY2(status.Ok(), qPrintable(status.message));
    QList<TRemoteTodo> todos;
    QVERIFY(client->FetchAll(list, todos).Ok());
    QCOMPARE(todos.size(), 1);
    TTodoReading read = TodoToAction(todos[0].ical);
    QVERIFY(read.ok && read.notes.isEmpty());
    for (const QString &field : TodoActionFields())
        QVERIFY2(SameValue(read.fields.value(field), action.value(field)), qPrintable(field));

    // The other client reads the standard properties and changes one.
    QByteArray seen;
    QVERIFY(server_.Peer({QStringLiteral("get"), id, QStringLiteral("t1")}, &seen));
    QVERIFY2(seen.contains("PRIORITY:3"), seen.constData());
    QVERIFY(server_.Peer(
        {QStringLiteral("change"), id, QStringLiteral("t1"), QStringLiteral("SUMMARY=Buy buoys")}));
    QVERIFY(client->FetchAll(list, todos).Ok());
    read = TodoToAction(todos[0].ical);
    TRecordValues expected = action;
    expected.insert(QStringLiteral("SYNOPSIS"), QStringLiteral("Buy buoys"));
    for (const QString &field : TodoActionFields())
        QVERIFY2(SameValue(read.fields.value(field), expected.value(field)), qPrintable(field));
}

void TestCalDavClient::wrongPasswordIsReported()
{
    QList<TTaskList> lists;
    const TDavStatus status = Client(server_.Url(), true, QStringLiteral("wrong"))->TaskLists(lists);
    QCOMPARE(status.outcome, TDavOutcome::Unauthorized);
    QCOMPARE(status.message,
             QStringLiteral("The server 127.0.0.1:%1 refused the user name or password (HTTP 401)")
                 .arg(server_.Url().port()));
}

void TestCalDavClient::unreachableServerIsReported()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    QList<TTaskList> lists;
    const TDavStatus status =
        Client(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)))->TaskLists(lists);
    QCOMPARE(status.outcome, TDavOutcome::Unreachable);
    QCOMPARE(status.message,
             QStringLiteral("The server 127.0.0.1:%1 cannot be reached: Connection refused").arg(port));
}

void TestCalDavClient::plainHttpGoesOnlyToThisMachine()
{
    QList<TTaskList> lists;
    const auto client = Client(QUrl(QStringLiteral("http://dav.example.org/dav/")));
    TDavStatus status = client->TaskLists(lists);
    QCOMPARE(status.outcome, TDavOutcome::Insecure);
    QCOMPARE(status.message,
             QStringLiteral("The address http://dav.example.org/dav/ uses plain http to another "
                            "machine: the password would travel unencrypted. Use https, or "
                            "confirm plain http."));
    QCOMPARE(client->RequestCount(), 0);
    status = Client(QUrl(QStringLiteral("ftp://dav.example.org/")))->TaskLists(lists);
    QCOMPARE(status.outcome, TDavOutcome::Refused);
    // The loopback addresses are this machine.
    for (const char *local : {"http://localhost:1/", "http://127.0.0.2:1/", "http://[::1]:1/"})
        QCOMPARE(Client(QUrl(QLatin1String(local)))->TaskLists(lists).outcome, TDavOutcome::Unreachable);
}

void TestCalDavClient::hostileAnswersAreRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<TDavOutcome>("outcome");
    QTest::addColumn<QString>("message");
    QTest::newRow("endless") << QStringLiteral("/huge") << TDavOutcome::Refused
                             << QStringLiteral("The server's answer is larger than 1 MB and was refused");
    QTest::newRow("deep") << QStringLiteral("/deep") << TDavOutcome::Refused
                          << QStringLiteral("The server's answer is nested deeper than 64 levels");
    QTest::newRow("many elements") << QStringLiteral("/many") << TDavOutcome::Refused
                                   << QStringLiteral("The server's answer has more than 10000 elements");
    QTest::newRow("entities") << QStringLiteral("/dtd") << TDavOutcome::Refused
                              << QStringLiteral(
                                     "The server's answer declares a document type, which is not accepted");
    QTest::newRow("slow") << QStringLiteral("/slow") << TDavOutcome::TimedOut
                          << QStringLiteral("The server 127.0.0.1:%1 did not answer within 3 seconds");
    QTest::newRow("redirect loop") << QStringLiteral("/loop") << TDavOutcome::Refused
                                   << QStringLiteral("The server 127.0.0.1:%1 redirected more than 3 times");
    QTest::newRow("server error")
        << QStringLiteral("/error") << TDavOutcome::ServerError
        << QStringLiteral("The server 127.0.0.1:%1 answered with error 500 Internal Server Error");
}

void TestCalDavClient::hostileAnswersAreRefused()
{
    QFETCH(QString, path);
    QFETCH(TDavOutcome, outcome);
    QFETCH(QString, message);
    HostileServer hostile;
    QVERIFY(hostile.Start());
    const QUrl url = hostile.Url(path);
    TDavOptions options;
    options.maxResponseBytes = 1 << 20;
    options.requestTimeoutMs = 3000;
    options.maxRedirects = 3;
    options.xml.maxElements = 10000;
    TCalDavClient client({url, kUser, kPassword, false}, options);
    QElapsedTimer clock;
    clock.start();
    QList<TRemoteTodo> todos;
    const TDavStatus status = client.FetchAll(url, todos);
    QCOMPARE(status.outcome, outcome);
    QCOMPARE(status.message, message.contains(QLatin1String("%1")) ? message.arg(url.port()) : message);
    QVERIFY(todos.isEmpty());
    // Bounded by the limits, not by the server.
    QVERIFY(clock.elapsed() < 20000);
}

void TestCalDavClient::untrustedCertificateIsRefused()
{
    QTemporaryDir dir;
    const QString certificate = dir.filePath(QStringLiteral("cert.pem")),
                  key = dir.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), certificate});
    QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
    HostileServer hostile;
    QVERIFY(hostile.Start({certificate, key}));
    const QUrl url = hostile.Url(QStringLiteral("/error"), QStringLiteral("https"));
    QList<TTaskList> lists;
    const TDavStatus status = Client(url)->TaskLists(lists);
    QCOMPARE(status.outcome, TDavOutcome::CertificateError);
    QVERIFY2(status.message.startsWith(
                 QStringLiteral("The certificate of 127.0.0.1:%1 is not accepted: ").arg(url.port())),
             qPrintable(status.message));
    QVERIFY2(status.message.contains(QLatin1String("self-signed"), Qt::CaseInsensitive),
             qPrintable(status.message));
}

void TestCalDavClient::cancelStopsTheRunningRequest()
{
    HostileServer hostile;
    QVERIFY(hostile.Start());
    const QUrl url = hostile.Url(QStringLiteral("/huge"));
    TCalDavClient client({url, kUser, kPassword, false});
    qint64 seen = 0;
    client.SetProgress([&](qint64 received, qint64) {
        seen = received;
        if (received > 100000)
            client.Cancel();
    });
    QList<TRemoteTodo> todos;
    const TDavStatus status = client.FetchAll(url, todos);
    QCOMPARE(status.outcome, TDavOutcome::Cancelled);
    QCOMPARE(status.message, QStringLiteral("The synchronisation was cancelled"));
    QVERIFY(seen > 100000);
    // Cancelled stays cancelled: nothing more is sent.
    const int sent = client.RequestCount();
    QCOMPARE(client.FetchAll(url, todos).outcome, TDavOutcome::Cancelled);
    QCOMPARE(client.RequestCount(), sent);
}

void TestCalDavClient::clientWorksInAWorkerThread()
{
    const QUrl list = NewList(QStringLiteral("worker"));
    QVERIFY(server_.Peer(
        {QStringLiteral("create"), QStringLiteral("worker"), QStringLiteral("w"), QStringLiteral("w")}));
    TDavStatus status;
    QList<TRemoteTodo> todos;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        TCalDavClient client({server_.Url(), kUser, kPassword, false});
        status = client.FetchAll(list, todos);
    }));
    worker->start();
    QVERIFY(worker->wait(60000));
    QVERIFY2(status.Ok(), qPrintable(status.message));
    QCOMPARE(Uids(todos), QStringList({QStringLiteral("w")}));
}

QTEST_GUILESS_MAIN(TestCalDavClient)
#include "tst_caldavclient.moc"
