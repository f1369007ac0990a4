#include "AppError.h"
#include "CalDavClient.h"
#include "FullDisk.h"
#include "MemoryActions.h"
#include "RadicaleServer.h"
#include "SampleAction.h"
#include "Synchroniser.h"
#include "TodoMapping.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>

Q_DECLARE_METATYPE(TDavOutcome)

namespace {

const QString kUser = QStringLiteral("alice");
const QString kPassword = QStringLiteral("s3cret;pw");
const QString kSynopsis = QStringLiteral("SYNOPSIS");

// The fields that travel, the file's own number of an action aside.
QStringList Fields()
{
    QStringList fields = TodoActionFields();
    fields.removeAll(QStringLiteral("ID"));
    return fields;
}

// A record as one line of text, field by field, to compare the two sides.
QString Canonical(const TRecordValues &values)
{
    QStringList parts;
    for (const QString &field : Fields()) {
        const QVariant value = values.value(field);
        QString text;
        if (!SameValue(value, QVariant()))
            text =
                value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString();
        parts.append(field + QLatin1Char('=') + text);
    }
    return parts.join(QLatin1Char('|'));
}

// The action of a synopsis, or -1.
int IdOf(const MemoryActions &local, const QString &synopsis)
{
    for (auto it = local.actions.begin(); it != local.actions.end(); ++it)
        if (it.value().value(kSynopsis).toString() == synopsis)
            return it.key();
    return -1;
}

// Hands out one free port and closes it: nothing listens there.
quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A helper script of the tests (a proxy) that prints its port when ready.
class Script {
public:
    bool Start(const QString &script, const QStringList &arguments)
    {
        process_.start(QStringLiteral(DEBIAN_PYTHON),
                       QStringList{QStringLiteral(SYNC_TEST_DIR "/") + script} + arguments);
        if (!process_.waitForReadyRead(20000))
            return false;
        port_ = process_.readLine().trimmed().toInt();
        return port_ > 0;
    }
    int Port() const { return port_; }
    ~Script()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    int port_ = 0;
};

using TProgressHook = std::function<void(TSynchroniser &, TSyncStep, qint64, qint64)>;

} // namespace

class TestSynchroniser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void firstSynchronisationJoinsBothSides_data();
    void firstSynchronisationJoinsBothSides();
    void everyFieldTravels_data();
    void everyFieldTravels();
    void editsOnBothSidesAreMerged();
    void completedElsewhereResolvesTheAction();
    void conflictKeepsThisSideAndLogsTheServers_data();
    void conflictKeepsThisSideAndLogsTheServers();
    void deletionsTravelBothWays();
    void todoChangedWhileWrittenIsMergedInTheSameRun_data();
    void todoChangedWhileWrittenIsMergedInTheSameRun();
    void failedSynchronisationIsCompletedByTheNext_data();
    void failedSynchronisationIsCompletedByTheNext();
    void unreadableTodoIsLeftAlone();
    void killedSynchronisationIsCompletedByTheNext();

private:
    // A new task list of its own for a test; its id in id.
    QUrl NewList(QString *id = nullptr)
    {
        static int lists = 0;
        const QString name = QStringLiteral("list%1").arg(++lists);
        if (!server_.Peer({QStringLiteral("make-list"), name, name, QStringLiteral("VTODO")}))
            qFatal("the task list %s cannot be made", qPrintable(name));
        if (id)
            *id = name;
        return server_.Url().resolved(QUrl(QStringLiteral("/alice/%1/").arg(name)));
    }
    QString StateFile()
    {
        static int states = 0;
        return dir_.filePath(QStringLiteral("state%1.json").arg(++states));
    }
    // The other device runs commands on the list, one a line.
    bool Peer(const QString &list, const QStringList &commands)
    {
        return server_.Peer({QStringLiteral("batch"), list}, nullptr,
                            commands.join(QLatin1Char('\n')).toUtf8());
    }
    TSyncResult Sync(MemoryActions &local, const QString &state, const QUrl &list, bool syncTokens = true,
                     const TProgressHook &hook = {}, const QString &password = kPassword)
    {
        TDavOptions options;
        options.useSyncTokens = syncTokens;
        TSynchroniser synchroniser({list, kUser, password, false}, state, local, options);
        if (hook)
            synchroniser.SetProgress(
                [&](TSyncStep step, qint64 done, qint64 total) { hook(synchroniser, step, done, total); });
        return synchroniser.Run();
    }
    QList<TTodoReading> ServerTodos(const QUrl &list)
    {
        TCalDavClient client({list, kUser, kPassword, false});
        QList<TRemoteTodo> todos;
        if (!client.FetchAll(list, todos).Ok())
            qFatal("the task list cannot be read");
        QList<TTodoReading> readings;
        for (const TRemoteTodo &todo : todos)
            readings.append(TodoToAction(todo.ical));
        return readings;
    }
    QString UidOf(const QUrl &list, const QString &synopsis)
    {
        for (const TTodoReading &todo : ServerTodos(list))
            if (todo.fields.value(kSynopsis).toString() == synopsis)
                return todo.uid;
        return QString();
    }
    // Both sides hold the same actions, each once.
    void CompareSides(const MemoryActions &local, const QUrl &list)
    {
        QStringList here, there;
        for (const TRecordValues &action : local.actions)
            here.append(Canonical(action));
        for (const TTodoReading &todo : ServerTodos(list)) {
            QVERIFY2(todo.ok, qPrintable(todo.error));
            there.append(Canonical(todo.fields));
        }
        here.sort();
        there.sort();
        QCOMPARE(there, here);
    }
    // A list and a file with the actions synopses, synchronised; through
    // another port of this machine if given.
    QUrl SynchronisedList(MemoryActions &local, const QString &state, const QStringList &synopses,
                          QString *id = nullptr, int port = 0)
    {
        const QUrl list = NewList(id);
        for (const QString &synopsis : synopses)
            local.Add({{kSynopsis, synopsis}, {QStringLiteral("DATE_DUE"), QDate(2027, 1, 15)}});
        QUrl url = list;
        if (port > 0)
            url.setPort(port);
        const TSyncResult result = Sync(local, state, url);
        if (!result.ok)
            qFatal("the first synchronisation failed: %s", qPrintable(result.error));
        return list;
    }

    RadicaleServer server_;
    QTemporaryDir dir_;
};

void TestSynchroniser::initTestCase()
{
    QVERIFY2(server_.Start(kUser, kPassword), qPrintable(server_.Error()));
}

void TestSynchroniser::firstSynchronisationJoinsBothSides_data()
{
    QTest::addColumn<bool>("syncTokens");
    QTest::newRow("sync token") << true;
    QTest::newRow("ETags") << false;
}

void TestSynchroniser::firstSynchronisationJoinsBothSides()
{
    QFETCH(bool, syncTokens);
    QString id;
    const QUrl list = NewList(&id);
    QVERIFY(Peer(id, {QStringLiteral("create\tp1\tPaint the bollards\tDUE=20270301"),
                      QStringLiteral("create\tp2\tCheck the cranes"), QStringLiteral("complete\tp2")}));
    MemoryActions local;
    local.Add({{QStringLiteral("ID_ACTION"), QStringLiteral("QUAY-1")},
               {kSynopsis, QStringLiteral("Order fenders")},
               {QStringLiteral("DATE_DUE"), QDate(2027, 1, 15)},
               {QStringLiteral("SEVERITY"), QStringLiteral("High")},
               {QStringLiteral("DESCRIPTION"), QStringLiteral("For the\nnorth quay")}});
    local.Add({{kSynopsis, QStringLiteral("Inspect the quay wall")}});
    const QString state = StateFile();

    TSyncResult result = Sync(local, state, list, syncTokens);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.summary.Text(), QStringLiteral("2 sent, 2 received"));
    QCOMPARE(local.actions.size(), 4);
    // Made elsewhere: a new action with the program's defaults.
    const TRecordValues bollards = local.actions.value(IdOf(local, QStringLiteral("Paint the bollards")));
    QCOMPARE(bollards.value(QStringLiteral("ID")).toInt(), 3);
    QCOMPARE(bollards.value(QStringLiteral("ATTRIBUTE")).toString(), QStringLiteral("_00003"));
    QCOMPARE(bollards.value(QStringLiteral("ACTOR_OWNER")).toString(), QStringLiteral("me"));
    QCOMPARE(bollards.value(QStringLiteral("DATE_DUE")).toDate(), QDate(2027, 3, 1));
    // Completed elsewhere: resolved.
    const int cranes = IdOf(local, QStringLiteral("Check the cranes"));
    QCOMPARE(local.actions[cranes].value(QStringLiteral("STATUS")).toString(), QStringLiteral("Resolved"));
    QVERIFY(local.actions[cranes].value(QStringLiteral("DATE_FINISHED")).toDate().isValid());
    QCOMPARE(local.LogOf(cranes), QStringList{QStringLiteral("Action Resolved")});
    CompareSides(local, list);

    // Nothing changed: one request or two tell; once the list's version is
    // known, one, and the state is not written again.
    const auto stateText = [&] {
        QFile file(state);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    result = Sync(local, state, list, syncTokens);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.summary.Text(), QStringLiteral("0 sent, 0 received"));
    QVERIFY2(result.requests <= 2, qPrintable(QString::number(result.requests)));
    const QByteArray written = stateText();
    result = Sync(local, state, list, syncTokens);
    QCOMPARE(result.summary.Text(), QStringLiteral("0 sent, 0 received"));
    QCOMPARE(result.requests, 1);
    QCOMPARE(stateText(), written);
    CompareSides(local, list);
}

void TestSynchroniser::everyFieldTravels_data()
{
    QTest::addColumn<TRecordValues>("action");
    // The file's own numbers do not travel.
    TRecordValues ordinary = FullAction();
    ordinary.remove(QStringLiteral("ID"));
    ordinary.remove(QStringLiteral("ID_CHAIN"));
    QTest::newRow("ordinary") << ordinary;
    TRecordValues special = ordinary;
    special.insert({{kSynopsis, QStringLiteral("  Fender für Kai; 港口, \"quoted\" \\ %41 🚢")},
                    {QStringLiteral("DESCRIPTION"), QStringLiteral("line\r\nline\rx\ty  \x01")},
                    {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("A, B;C")},
                    {QStringLiteral("ACTOR_OWNER"), QStringLiteral("Łukasz")},
                    {QStringLiteral("STATUS"), QStringLiteral("On Hold")},
                    {QStringLiteral("SEVERITY"), QStringLiteral("a word of my own")},
                    {QStringLiteral("SIGN_OFF"), QStringLiteral("\r\n")}});
    QTest::newRow("non-ASCII and special characters") << special;
    TRecordValues longTexts = ordinary;
    longTexts.insert(TRecordValues{{kSynopsis, QString(QString(255, QChar(0x00E9)) + QLatin1Char('z'))},
                                   {QStringLiteral("RELATIONS"), QString(256, QLatin1Char('r'))},
                                   {QStringLiteral("DESCRIPTION"), QString(100000, QLatin1Char('d'))},
                                   {QStringLiteral("SIGN_OFF"), QStringLiteral("done\n").repeated(2000)}});
    QTest::newRow("long texts") << longTexts;
    TRecordValues ends = ordinary;
    ends.insert({{QStringLiteral("DATE_ACTION"), QDate(1, 1, 1)},
                 {QStringLiteral("DATE_DUE"), QDate(9999, 12, 31)},
                 {QStringLiteral("DATE_STATUS"), QDate(1, 1, 1)},
                 {QStringLiteral("DATE_FINISHED"), QDate(9999, 12, 31)},
                 {QStringLiteral("STATUS"), QStringLiteral("Resolved")}});
    QTest::newRow("dates at both ends, resolved") << ends;
    TRecordValues empty;
    for (const QString &field : Fields())
        empty.insert(field, QVariant());
    empty.remove(QStringLiteral("ID_CHAIN"));
    QTest::newRow("empty fields") << empty;
}

void TestSynchroniser::everyFieldTravels()
{
    QFETCH(TRecordValues, action);
    const QUrl list = NewList();
    const QString stateA = StateFile(), stateB = StateFile();
    MemoryActions a, b;
    const int idA = a.Add(action);
    const auto sync = [&](MemoryActions &local, const QString &state) {
        const TSyncResult result = Sync(local, state, list);
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY2(result.summary.notes.isEmpty(), qPrintable(result.summary.notes.join(QLatin1Char('\n'))));
    };
    const auto compare = [](const TRecordValues &actual, const TRecordValues &expected) {
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(SameValue(actual.value(it.key()), it.value()),
                     qPrintable(
                         QStringLiteral("%1: %2").arg(it.key(), actual.value(it.key()).toString().left(80))));
    };

    // Made here, made there: every value the action has, and the defaults
    // of a new action where it has none.
    sync(a, stateA);
    sync(b, stateB);
    QCOMPARE(b.actions.size(), 1);
    const int idB = b.actions.firstKey();
    TRecordValues given;
    for (auto it = action.begin(); it != action.end(); ++it)
        if (!SameValue(it.value(), QVariant()))
            given.insert(it.key(), it.value());
    compare(b.actions[idB], given);
    if (QTest::currentTestFailed())
        return;

    // Cleared here, cleared there.
    TRecordValues plain = action;
    for (auto it = plain.begin(); it != plain.end(); ++it)
        it.value() = QVariant();
    plain.insert(kSynopsis, QStringLiteral("plain"));
    a.actions[idA].insert(plain);
    sync(a, stateA);
    sync(b, stateB);
    TRecordValues cleared = a.actions[idA];
    cleared.remove(QStringLiteral("ID"));
    cleared.remove(QStringLiteral("ID_CHAIN"));
    compare(b.actions[idB], cleared);
    if (QTest::currentTestFailed())
        return;

    // Set to every value there, here too: empty ones as well.
    b.actions[idB].insert(action);
    sync(b, stateB);
    sync(a, stateA);
    compare(a.actions[idA], action);
    CompareSides(a, list);
    CompareSides(b, list);
}

void TestSynchroniser::editsOnBothSidesAreMerged()
{
    MemoryActions local;
    const QString state = StateFile();
    QString id;
    const QUrl list =
        SynchronisedList(local, state, {QStringLiteral("Order fenders"), QStringLiteral("Paint")}, &id);
    const int fenders = IdOf(local, QStringLiteral("Order fenders")),
              paint = IdOf(local, QStringLiteral("Paint"));
    local.actions[fenders].insert(QStringLiteral("DESCRIPTION"), QStringLiteral("Two"));
    local.actions[paint].insert(QStringLiteral("SEVERITY"), QStringLiteral("Low"));
    QVERIFY(Peer(
        id, {QStringLiteral("change\t%1\tDUE=20270228").arg(UidOf(list, QStringLiteral("Order fenders"))),
             QStringLiteral("change\t%1\tSUMMARY=Paint the bollards")
                 .arg(UidOf(list, QStringLiteral("Paint")))}));

    const TSyncResult result = Sync(local, state, list);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.summary.Text(), QStringLiteral("2 sent, 2 received"));
    QCOMPARE(local.actions[fenders].value(QStringLiteral("DESCRIPTION")).toString(), QStringLiteral("Two"));
    QCOMPARE(local.actions[fenders].value(QStringLiteral("DATE_DUE")).toDate(), QDate(2027, 2, 28));
    QCOMPARE(local.actions[paint].value(kSynopsis).toString(), QStringLiteral("Paint the bollards"));
    QCOMPARE(local.actions[paint].value(QStringLiteral("SEVERITY")).toString(), QStringLiteral("Low"));
    QVERIFY(local.log.isEmpty());
    CompareSides(local, list);
}

void TestSynchroniser::completedElsewhereResolvesTheAction()
{
    MemoryActions local;
    const QString state = StateFile();
    QString id;
    const QUrl list = SynchronisedList(local, state, {QStringLiteral("Order fenders")}, &id);
    const int fenders = IdOf(local, QStringLiteral("Order fenders"));
    local.actions[fenders].insert(QStringLiteral("SIGN_OFF"), QStringLiteral("Fitted"));
    QVERIFY(Peer(id, {QStringLiteral("complete\t%1").arg(UidOf(list, QStringLiteral("Order fenders")))}));

    const TSyncResult result = Sync(local, state, list);
    QVERIFY2(result.ok, qPrintable(result.error));
    const TRecordValues action = local.actions[fenders];
    QCOMPARE(action.value(QStringLiteral("STATUS")).toString(), QStringLiteral("Resolved"));
    QCOMPARE(action.value(QStringLiteral("DATE_FINISHED")).toDate(), QDate::currentDate());
    QCOMPARE(action.value(QStringLiteral("DATE_STATUS")).toDate(), QDate::currentDate());
    QCOMPARE(local.log.size(), 1);
    QCOMPARE(local.log[0].statusLine, QStringLiteral("Action Resolved"));
    QCOMPARE(local.log[0].description, QStringLiteral("Fitted"));
    CompareSides(local, list);
}

void TestSynchroniser::conflictKeepsThisSideAndLogsTheServers_data()
{
    QTest::addColumn<TRecordValues>("edit"); // empty: the action is deleted here
    QTest::addColumn<QString>("peer");       // the other device's command, UID left out
    QTest::addColumn<QString>("synopsis");   // on both sides afterwards; empty: the action is gone
    QTest::addColumn<QString>("statusLine"); // of the conflict's log entry; empty: none
    QTest::addColumn<QString>("description");

    const TRecordValues mine{{kSynopsis, QStringLiteral("mine")}};
    QTest::newRow("one field") << mine << QStringLiteral("change\tSUMMARY=theirs") << QStringLiteral("mine")
                               << QStringLiteral(
                                      "Synchronisation conflict: the server had Synopsis \"theirs\"")
                               << QStringLiteral("Synopsis: theirs");
    QTest::newRow("several fields, one of them not")
        << TRecordValues{{kSynopsis, QStringLiteral("mine")},
                         {QStringLiteral("DATE_DUE"), QDate(2027, 6, 1)},
                         {QStringLiteral("DESCRIPTION"), QStringLiteral("mine only")}}
        << QStringLiteral("change\tSUMMARY=theirs\tDUE=20270701\tDESCRIPTION=") << QStringLiteral("mine")
        << QStringLiteral("Synchronisation conflict: the server had Date Due 01/07/2027, Synopsis \"theirs\"")
        << QStringLiteral("Date Due: 01/07/2027\nSynopsis: theirs");
    QTest::newRow("the same change on both sides")
        << TRecordValues{{kSynopsis, QStringLiteral("agreed")}} << QStringLiteral("change\tSUMMARY=agreed")
        << QStringLiteral("agreed") << QString() << QString();
    QTest::newRow("deleted there, changed here")
        << mine << QStringLiteral("delete") << QStringLiteral("mine")
        << QStringLiteral("Synchronisation conflict: the server had deleted this action")
        << QStringLiteral("The action was changed here since the last synchronisation, so it stays and "
                          "was sent to the server again.");
    QTest::newRow("deleted here, changed there")
        << TRecordValues() << QStringLiteral("change\tSUMMARY=theirs") << QStringLiteral("theirs")
        << QStringLiteral(
               "Synchronisation conflict: the server had changed this action, which was deleted here")
        << QStringLiteral("The action was brought back with the server's values.");
    QTest::newRow("deleted on both sides")
        << TRecordValues() << QStringLiteral("delete") << QString() << QString() << QString();
}

void TestSynchroniser::conflictKeepsThisSideAndLogsTheServers()
{
    QFETCH(TRecordValues, edit);
    QFETCH(QString, peer);
    QFETCH(QString, synopsis);
    QFETCH(QString, statusLine);
    QFETCH(QString, description);
    MemoryActions local;
    const QString state = StateFile();
    QString id;
    const QUrl list = SynchronisedList(local, state, {QStringLiteral("base"), QStringLiteral("other")}, &id);
    const int action = IdOf(local, QStringLiteral("base"));
    const QString uid = UidOf(list, QStringLiteral("base"));
    if (edit.isEmpty())
        local.actions.remove(action);
    else
        local.actions[action].insert(edit);
    QStringList command = peer.split(QLatin1Char('\t'));
    command.insert(1, uid);
    QVERIFY(Peer(id, {command.join(QLatin1Char('\t'))}));

    const TSyncResult result = Sync(local, state, list);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.summary.conflicts, statusLine.isEmpty() ? 0 : 1);
    const int now = IdOf(local, synopsis);
    QCOMPARE(now >= 0, !synopsis.isEmpty());
    QCOMPARE(local.actions.size(), synopsis.isEmpty() ? 1 : 2);
    if (!statusLine.isEmpty()) {
        QCOMPARE(local.log.size(), 1);
        QCOMPARE(local.log[0].action, now);
        QCOMPARE(local.log[0].statusLine, statusLine);
        QCOMPARE(local.log[0].description, description);
    } else {
        QVERIFY(local.log.isEmpty());
    }
    // The action keeps its todo, or gets it back under its UID.
    if (now == action)
        QCOMPARE(UidOf(list, synopsis), uid);
    CompareSides(local, list);
    // Settled: the next time has nothing to do.
    const TSyncResult again = Sync(local, state, list);
    QCOMPARE(again.summary.Text(), QStringLiteral("0 sent, 0 received"));
    QCOMPARE(local.log.size(), statusLine.isEmpty() ? 0 : 1);
}

void TestSynchroniser::deletionsTravelBothWays()
{
    MemoryActions local;
    const QString state = StateFile();
    QString id;
    const QUrl list = SynchronisedList(
        local, state, {QStringLiteral("here"), QStringLiteral("there"), QStringLiteral("stays")}, &id);
    local.actions.remove(IdOf(local, QStringLiteral("here")));
    QVERIFY(Peer(id, {QStringLiteral("delete\t%1").arg(UidOf(list, QStringLiteral("there")))}));
    local.log.append({IdOf(local, QStringLiteral("there")), QStringLiteral("a note"), QString()});

    const TSyncResult result = Sync(local, state, list);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.summary.Text(),
             QStringLiteral("0 sent, 0 received, 1 deleted here, 1 deleted on the server"));
    QCOMPARE(local.actions.size(), 1);
    QVERIFY(IdOf(local, QStringLiteral("stays")) >= 0);
    QVERIFY(local.log.isEmpty());
    CompareSides(local, list);
}

void TestSynchroniser::todoChangedWhileWrittenIsMergedInTheSameRun_data()
{
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("dueDate");
    QTest::addColumn<int>("conflicts");
    QTest::newRow("changed") << QStringLiteral("change\tDUE=20270228") << QStringLiteral("2027-02-28") << 0;
    QTest::newRow("deleted") << QStringLiteral("delete") << QStringLiteral("2027-01-15") << 1;
}

void TestSynchroniser::todoChangedWhileWrittenIsMergedInTheSameRun()
{
    QFETCH(QString, peer);
    QFETCH(QString, dueDate);
    QFETCH(int, conflicts);
    MemoryActions local;
    const QString state = StateFile();
    QString id;
    const QUrl list = SynchronisedList(local, state, {QStringLiteral("Order fenders")}, &id);
    const int fenders = IdOf(local, QStringLiteral("Order fenders"));
    local.actions[fenders].insert(QStringLiteral("DESCRIPTION"), QStringLiteral("Two"));
    QStringList command = peer.split(QLatin1Char('\t'));
    command.insert(1, UidOf(list, QStringLiteral("Order fenders")));
    bool changed = false;
    // The other device changes the todo after it was read, before it is written.
    const TSyncResult result =
        Sync(local, state, list, true, [&](TSynchroniser &, TSyncStep step, qint64, qint64) {
            if (step == TSyncStep::Sending && !changed)
                changed = Peer(id, {command.join(QLatin1Char('\t'))});
        });
    QVERIFY(changed);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.summary.conflicts, conflicts);
    QCOMPARE(local.actions[fenders].value(QStringLiteral("DESCRIPTION")).toString(), QStringLiteral("Two"));
    QCOMPARE(local.actions[fenders].value(QStringLiteral("DATE_DUE")).toDate(),
             QDate::fromString(dueDate, Qt::ISODate));
    CompareSides(local, list);
}

void TestSynchroniser::failedSynchronisationIsCompletedByTheNext_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<TDavOutcome>("outcome");
    QTest::addColumn<QString>("message"); // %1: the port of the server it talked to, %2: the state file

    QTest::newRow("server unreachable")
        << QStringLiteral("unreachable") << TDavOutcome::Unreachable
        << QStringLiteral("The server 127.0.0.1:%1 cannot be reached: Connection refused");
    QTest::newRow("wrong password")
        << QStringLiteral("password") << TDavOutcome::Unauthorized
        << QStringLiteral("The server 127.0.0.1:%1 refused the user name or password (HTTP 401)");
    QTest::newRow("server error halfway")
        << QStringLiteral("server error") << TDavOutcome::ServerError
        << QStringLiteral("The server 127.0.0.1:%1 answered with error 500 Internal Server Error");
    QTest::newRow("full disk for the state")
        << QStringLiteral("full disk") << TDavOutcome::Ok
        << QStringLiteral("The synchronisation state \"%2\" cannot be written: ");
    QTest::newRow("Action File cannot be written")
        << QStringLiteral("file") << TDavOutcome::Ok
        << QStringLiteral("The actions cannot be written: No space left on device");
    QTest::newRow("cancelled while sending") << QStringLiteral("cancel") << TDavOutcome::Cancelled
                                             << QStringLiteral("The synchronisation was cancelled");
}

void TestSynchroniser::failedSynchronisationIsCompletedByTheNext()
{
    QFETCH(QString, failure);
    QFETCH(TDavOutcome, outcome);
    QFETCH(QString, message);
    // Every synchronisation here goes through a proxy, which fails only
    // where asked: after the three writes of the first synchronisation and
    // three more, five writes.
    Script proxy;
    const bool serverError = failure == QLatin1String("server error");
    QVERIFY(proxy.Start(QStringLiteral("failing_proxy.py"),
                        {QString::number(server_.Url().port()),
                         serverError ? QStringLiteral("6") : QStringLiteral("0"),
                         serverError ? QStringLiteral("5") : QStringLiteral("0")}));
    MemoryActions local;
    const QString state = StateFile();
    QString id;
    const QUrl list = SynchronisedList(
        local, state, {QStringLiteral("kept"), QStringLiteral("disputed"), QStringLiteral("gone")}, &id,
        proxy.Port());
    QUrl same = list;
    same.setPort(proxy.Port());
    // Work on both sides: new, changed, in conflict, deleted.
    for (int i = 1; i <= 8; ++i)
        local.Add({{kSynopsis, QStringLiteral("new here %1").arg(i)}});
    local.actions[IdOf(local, QStringLiteral("disputed"))].insert(kSynopsis, QStringLiteral("disputed here"));
    QVERIFY(Peer(
        id,
        {QStringLiteral("create\tnew-there\tnew there\tDUE=20270301"),
         QStringLiteral("change\t%1\tSUMMARY=disputed there").arg(UidOf(list, QStringLiteral("disputed"))),
         QStringLiteral("change\t%1\tDESCRIPTION=changed there").arg(UidOf(list, QStringLiteral("kept"))),
         QStringLiteral("delete\t%1").arg(UidOf(list, QStringLiteral("gone")))}));

    QUrl url = same;
    QString password = kPassword;
    TProgressHook hook;
    std::unique_ptr<FullDisk> full;
    if (failure == QLatin1String("unreachable")) {
        url.setPort(ClosedPort());
    } else if (failure == QLatin1String("password")) {
        password = QStringLiteral("wrong");
    } else if (failure == QLatin1String("full disk")) {
        full = std::make_unique<FullDisk>(QFile(state).size() / 2);
    } else if (failure == QLatin1String("file")) {
        local.beforeApply = [] {
            throw AppError(QStringLiteral("The actions cannot be written: No space left on device"));
        };
    } else if (failure == QLatin1String("cancel")) {
        hook = [](TSynchroniser &synchroniser, TSyncStep step, qint64 done, qint64) {
            if (step == TSyncStep::Sending && done == 2)
                synchroniser.Cancel();
        };
    }
    const MemoryActions before = local;
    const TSyncResult failed = Sync(local, state, url, true, hook, password);
    full.reset();
    local.beforeApply = nullptr;
    QVERIFY(!failed.ok);
    QCOMPARE(failed.outcome, outcome);
    const QString expected = QString(message)
                                 .replace(QStringLiteral("%1"), QString::number(url.port()))
                                 .replace(QStringLiteral("%2"), state);
    QVERIFY2(failed.error.startsWith(expected), qPrintable(failed.error));
    if (outcome == TDavOutcome::Unreachable || outcome == TDavOutcome::Unauthorized ||
        failure == QLatin1String("file")) {
        QCOMPARE(local.actions, before.actions);
        QCOMPARE(failed.summary.Text(), QStringLiteral("0 sent, 0 received"));
    }

    const TSyncResult completed = Sync(local, state, same);
    QVERIFY2(completed.ok, qPrintable(completed.error));
    QStringList synopses;
    for (const TRecordValues &action : local.actions)
        synopses.append(action.value(kSynopsis).toString());
    synopses.sort();
    QStringList expectedSynopses{QStringLiteral("disputed here"), QStringLiteral("kept"),
                                 QStringLiteral("new there")};
    for (int i = 1; i <= 8; ++i)
        expectedSynopses.append(QStringLiteral("new here %1").arg(i));
    expectedSynopses.sort();
    QCOMPARE(synopses.join(QLatin1Char(',')), expectedSynopses.join(QLatin1Char(',')));

    QCOMPARE(
        local.actions[IdOf(local, QStringLiteral("kept"))].value(QStringLiteral("DESCRIPTION")).toString(),
        QStringLiteral("changed there"));
    // The conflict is logged once, however many times it was merged.
    QCOMPARE(
        local.LogOf(IdOf(local, QStringLiteral("disputed here"))),
        QStringList{QStringLiteral("Synchronisation conflict: the server had Synopsis \"disputed there\"")});
    CompareSides(local, list);
    QCOMPARE(Sync(local, state, same).summary.Text(), QStringLiteral("0 sent, 0 received"));
}

void TestSynchroniser::unreadableTodoIsLeftAlone()
{
    MemoryActions local;
    const QString state = StateFile();
    QString id;
    const QUrl list = SynchronisedList(local, state, {QStringLiteral("kept")}, &id);
    // A task with more alarms than a task may have parts.
    QByteArray ical =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Peer//EN\r\nBEGIN:VTODO\r\nUID:alarming\r\n"
        "DTSTAMP:20260101T000000Z\r\nSUMMARY:Alarming\r\n";
    for (int i = 0; i < 250; ++i)
        ical += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT" + QByteArray::number(i + 1) +
                "M\r\nEND:VALARM\r\n";
    ical += "END:VTODO\r\nEND:VCALENDAR\r\n";
    TCalDavClient client({list, kUser, kPassword, false});
    QString etag;
    const TDavStatus put =
        client.Put(TCalDavClient::TodoUrl(list, QStringLiteral("alarming")), ical, QString(), etag);
    QVERIFY2(put.Ok(), qPrintable(put.message));
    local.actions[IdOf(local, QStringLiteral("kept"))].insert(QStringLiteral("DESCRIPTION"),
                                                              QStringLiteral("changed"));

    const TSyncResult result = Sync(local, state, list);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.summary.Text(), QStringLiteral("1 sent, 0 received"));
    QCOMPARE(result.summary.notes,
             QStringList{
                 QStringLiteral("The task %1 on the server cannot be read and was left alone: The task has "
                                "more than 200 parts")
                     .arg(TCalDavClient::TodoUrl(list, QStringLiteral("alarming")).path())});
    QCOMPARE(local.actions.size(), 1);
    QList<TRemoteTodo> todos;
    QVERIFY(client.FetchAll(list, todos).Ok());
    QCOMPARE(todos.size(), 2);
}

void TestSynchroniser::killedSynchronisationIsCompletedByTheNext()
{
    QString id;
    const QUrl list = NewList(&id);
    const QString actions = dir_.filePath(QStringLiteral("killed.json")), state = StateFile();
    const QStringList helper{actions, state, list.toString(), kUser, kPassword};
    QSet<QString> expected; // the synopses both sides end with
    {
        MemoryActions local(actions);
        for (int k = 0; k < 30; ++k)
            expected.insert(local.actions[local.Add({{kSynopsis, QStringLiteral("here 0-%1").arg(k)}})]
                                .value(kSynopsis)
                                .toString());
        QVERIFY(local.Save());
    }
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("random seed %u", seed);
    QRandomGenerator random(seed);
    QStringList theirs; // the todos the other device made and has not deleted
    int kills = 0;
    for (int round = 1; kills < 20; ++round) {
        QVERIFY2(round <= 60, "the synchronisations end before they can be killed");
        // Work on both sides, apart from each other: new, changed, deleted,
        // and there completed.
        MemoryActions local(actions);
        QList<int> mine;
        for (auto it = local.actions.begin(); it != local.actions.end(); ++it)
            if (it.value().value(kSynopsis).toString().startsWith(QLatin1String("here")))
                mine.append(it.key());
        QList<int> touched; // changed or made in this round
        for (int k = 0; k < 3; ++k) {
            touched.append(mine[random.bounded(int(mine.size()))]);
            local.actions[touched.last()].insert(QStringLiteral("DESCRIPTION"),
                                                 QStringLiteral("round %1").arg(round));
        }
        const int deleted = mine[random.bounded(int(mine.size()))];
        expected.remove(local.actions[deleted].value(kSynopsis).toString());
        local.actions.remove(deleted);
        for (int k = 0; k < 5; ++k) {
            touched.append(local.Add({{kSynopsis, QStringLiteral("here %1-%2").arg(round).arg(k)}}));
            expected.insert(local.actions[touched.last()].value(kSynopsis).toString());
        }
        QVERIFY(local.Save());
        QStringList commands;
        for (int k = 0; k < 3; ++k) {
            const QString uid = QStringLiteral("there-%1-%2").arg(round).arg(k);
            commands.append(QStringLiteral("create\t%1\t%1\tDUE=20270301").arg(uid));
            expected.insert(uid);
        }
        if (theirs.size() > 3) {
            commands.append(QStringLiteral("change\t%1\tDESCRIPTION=round %2").arg(theirs[0]).arg(round));
            commands.append(QStringLiteral("complete\t%1").arg(theirs[1]));
            commands.append(QStringLiteral("delete\t%1").arg(theirs[2]));
            expected.remove(theirs[2]);
            // Done with: completed once, deleted once.
            theirs.remove(1, 2);
        }
        for (int k = 0; k < 3; ++k)
            theirs.append(QStringLiteral("there-%1-%2").arg(round).arg(k));
        QVERIFY(Peer(id, commands));

        // Killed after a random number of steps of its progress.
        QProcess killed;
        killed.start(QStringLiteral(SYNC_HELPER), helper);
        QVERIFY(killed.waitForStarted());
        const int steps = random.bounded(18);
        for (int seen = 0; seen < steps && killed.state() == QProcess::Running;) {
            killed.waitForReadyRead(100);
            while (killed.canReadLine())
                seen += killed.readLine().startsWith("progress") ? 1 : 0;
        }
        if (killed.state() == QProcess::Running) {
            killed.kill();
            ++kills;
        }
        killed.waitForFinished(60000);
        QCOMPARE(killed.state(), QProcess::NotRunning);

        // Work goes on here meanwhile, on what the killed one was sending.
        {
            MemoryActions meanwhile(actions);
            for (int k = 0; k < 2; ++k) {
                const int id = touched[random.bounded(int(touched.size()))];
                if (meanwhile.actions.contains(id))
                    meanwhile.actions[id].insert(QStringLiteral("DESCRIPTION"),
                                                 QStringLiteral("after the kill of round %1").arg(round));
            }
            QVERIFY(meanwhile.Save());
        }

        // The next one completes what it left, and both sides are equal.
        QProcess next;
        next.start(QStringLiteral(SYNC_HELPER), helper);
        QVERIFY(next.waitForFinished(60000));
        QVERIFY2(next.exitCode() == 0, next.readAllStandardError().constData());
        const MemoryActions after(actions);
        QStringList synopses;
        for (const TRecordValues &action : after.actions)
            synopses.append(action.value(kSynopsis).toString());
        synopses.sort();
        QStringList wanted = expected.values();
        wanted.sort();
        QCOMPARE(synopses, wanted);
        CompareSides(after, list);
        // Resolved once, and no conflict: both sides worked apart.
        QStringList lines;
        for (const MemoryActions::LogEntry &entry : after.log)
            lines.append(QString::number(entry.action) + QLatin1Char(' ') + entry.statusLine);
        QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), lines.size());
        QVERIFY2(!lines.join(QLatin1Char('\n')).contains(QLatin1String("conflict")),
                 qPrintable(lines.join(QLatin1Char('\n'))));
        if (QTest::currentTestFailed())
            return;
    }
    QProcess settled;
    settled.start(QStringLiteral(SYNC_HELPER), helper);
    QVERIFY(settled.waitForFinished(60000));
    QVERIFY(settled.readAllStandardOutput().endsWith("0 sent, 0 received\n"));
}

QTEST_GUILESS_MAIN(TestSynchroniser)
#include "tst_synchroniser.moc"
