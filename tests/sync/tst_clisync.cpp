#include "CalDavClient.h"
#include "RadicaleServer.h"
#include "TodoMapping.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

// dravelin-cli sync on a real Action File against a real Radicale, with
// python3-caldav as the other device: what travels, the conflict in the
// action's log, the list kept for the next time, the refusals, and the
// command killed at random points.
namespace {

const QString kUser = QStringLiteral("alice");
const QString kPassword = QStringLiteral("pa ss;word");

struct Run {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out, err;
};

} // namespace

class TestCliSync : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void actionsTravelBothWaysAndConflictsAreLogged();
    void refusedSynchronisation_data();
    void refusedSynchronisation();
    void killedCommandIsCompletedByTheNext();
    // Run in a private D-Bus session with a keyring (see CMakeLists.txt).
    void savedPasswordIsTakenFromTheKeyring();

private:
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home_);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_ + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home_ + QStringLiteral("/share"));
        env.insert(QStringLiteral("DRAVELIN_SYNC_PASSWORD"), kPassword);
        // No keyring: a password comes from the command line or the variable.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        env.remove(QStringLiteral("DISPLAY"));
        return env;
    }
    Run Cli(const QStringList &arguments, const QByteArray &input = {},
            const QProcessEnvironment &env = QProcessEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(env.isEmpty() ? Environment() : env);
        process.start(QStringLiteral(DRAVELIN_CLI), arguments);
        process.write(input);
        process.closeWriteChannel();
        Run run;
        if (!process.waitForFinished(60000))
            return run;
        run.exitCode = process.exitCode();
        run.crashed = process.exitStatus() == QProcess::CrashExit;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }
    QString NewList(QString *id = nullptr)
    {
        static int lists = 0;
        const QString name = QStringLiteral("cli%1").arg(++lists);
        if (!server_.Peer({QStringLiteral("make-list"), name, name, QStringLiteral("VTODO")}))
            qFatal("the task list %s cannot be made", qPrintable(name));
        if (id)
            *id = name;
        return server_.Url().resolved(QUrl(QStringLiteral("/%1/%2/").arg(kUser, name))).toString();
    }
    bool Peer(const QString &list, const QStringList &commands)
    {
        return server_.Peer({QStringLiteral("batch"), list}, nullptr,
                            commands.join(QLatin1Char('\n')).toUtf8());
    }
    // The actions of the file as its json export gives them.
    QJsonArray Actions(const QString &file)
    {
        const Run exported =
            Cli({QStringLiteral("export"), file, QStringLiteral("--format"), QStringLiteral("json")});
        if (exported.exitCode != 0)
            qFatal("export: %s", exported.err.constData());
        return QJsonDocument::fromJson(exported.out).object().value(QStringLiteral("actions")).toArray();
    }
    QJsonObject ActionOf(const QString &file, const QString &synopsis)
    {
        for (const QJsonValue &action : Actions(file))
            if (action[QStringLiteral("SYNOPSIS")].toString() == synopsis)
                return action.toObject();
        return {};
    }
    // Synopsis, description and whether finished, of each side, sorted.
    QStringList FileSide(const QString &file)
    {
        QStringList lines;
        for (const QJsonValue &action : Actions(file))
            lines.append(
                action[QStringLiteral("SYNOPSIS")].toString() + QLatin1Char('|') +
                action[QStringLiteral("DESCRIPTION")].toString() + QLatin1Char('|') +
                (action[QStringLiteral("DATE_FINISHED")].isNull() ? QLatin1Char('O') : QLatin1Char('F')));
        lines.sort();
        return lines;
    }
    QStringList ServerSide(const QString &list)
    {
        TCalDavClient client({QUrl(list), kUser, kPassword, false});
        QList<TRemoteTodo> todos;
        if (!client.FetchAll(QUrl(list), todos).Ok())
            qFatal("the todos cannot be read");
        QStringList lines;
        for (const TRemoteTodo &todo : todos) {
            const TTodoReading reading = TodoToAction(todo.ical);
            lines.append(reading.fields.value(QStringLiteral("SYNOPSIS")).toString() + QLatin1Char('|') +
                         reading.fields.value(QStringLiteral("DESCRIPTION")).toString() + QLatin1Char('|') +
                         (reading.fields.value(QStringLiteral("DATE_FINISHED")).isValid()
                              ? QLatin1Char('F')
                              : QLatin1Char('O')));
        }
        lines.sort();
        return lines;
    }
    QString NewFile(const QString &name)
    {
        const QString file = work_ + QLatin1Char('/') + name;
        if (Cli({QStringLiteral("new"), file}).exitCode != 0)
            qFatal("new %s failed", qPrintable(file));
        return file;
    }
    void Add(const QString &file, const QString &id, const QString &synopsis)
    {
        const Run added = Cli({QStringLiteral("add"), file, QStringLiteral("--id"), id,
                               QStringLiteral("--synopsis"), synopsis});
        QVERIFY2(added.exitCode == 0, added.err.constData());
    }

    RadicaleServer server_;
    QTemporaryDir dir_;
    QString home_, work_;
};

void TestCliSync::initTestCase()
{
    QVERIFY2(server_.Start(kUser, kPassword), qPrintable(server_.Error()));
}

void TestCliSync::init()
{
    static int run = 0;
    home_ = dir_.filePath(QStringLiteral("home%1").arg(++run));
    work_ = home_ + QStringLiteral("/work");
    QVERIFY(QDir().mkpath(work_));
}

void TestCliSync::actionsTravelBothWaysAndConflictsAreLogged()
{
    QString id;
    const QString list = NewList(&id);
    const QString file = NewFile(QStringLiteral("Harbour.act"));
    Add(file, QStringLiteral("QUAY-1"), QStringLiteral("Inspect the quay wall – Kai Ñ"));
    Add(file, QStringLiteral("QUAY-2"), QStringLiteral("Order fenders"));
    QVERIFY(Peer(id, {QStringLiteral("create\tphone-1\tCall the pilot\tDUE=20270301")}));

    // The first names the list; the password comes on standard input.
    Run run = Cli({QStringLiteral("sync"), file, QStringLiteral("--url"), list, QStringLiteral("--user"),
                   kUser, QStringLiteral("--password-stdin")},
                  kPassword.toUtf8() + '\n');
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray("2 sent, 1 received\n"));
    QVERIFY2(QRegularExpression(QStringLiteral("Sending to the server: (\\d+) of \\1\n$"))
                 .match(QString::fromUtf8(run.err))
                 .hasMatch(),
             run.err.constData());
    // The todo made elsewhere is a new action with a new action's defaults.
    const QJsonObject received = ActionOf(file, QStringLiteral("Call the pilot"));
    QCOMPARE(received[QStringLiteral("ID")].toInt(), 3);
    QCOMPARE(received[QStringLiteral("ATTRIBUTE")].toString(), QStringLiteral("_00003"));
    QCOMPARE(received[QStringLiteral("STATUS")].toString(), QStringLiteral("Void"));
    QCOMPARE(received[QStringLiteral("DATE_DUE")].toString(), QStringLiteral("2027-03-01"));
    QVERIFY(!received[QStringLiteral("ACTOR_OWNER")].toString().isEmpty());
    QCOMPARE(ServerSide(list), FileSide(file));

    // Both sides work apart: completed and changed there, changed here;
    // both changed the synopsis of QUAY-2. The list is kept from the first.
    QVERIFY(Peer(id, {QStringLiteral("complete\tphone-1")}));
    TCalDavClient client({QUrl(list), kUser, kPassword, false});
    QList<TRemoteTodo> todos;
    QVERIFY(client.FetchAll(QUrl(list), todos).Ok());
    QString quay2Uid, quay1Uid;
    for (const TRemoteTodo &todo : todos) {
        const TTodoReading reading = TodoToAction(todo.ical);
        if (reading.fields.value(QStringLiteral("ID_ACTION")) == QStringLiteral("QUAY-2"))
            quay2Uid = reading.uid;
        if (reading.fields.value(QStringLiteral("ID_ACTION")) == QStringLiteral("QUAY-1"))
            quay1Uid = reading.uid;
    }
    QVERIFY(!quay2Uid.isEmpty() && !quay1Uid.isEmpty());
    QVERIFY(Peer(id, {QStringLiteral("change\t%1\tSUMMARY=Order fenders there").arg(quay2Uid),
                      QStringLiteral("delete\t%1").arg(quay1Uid)}));
    run = Cli({QStringLiteral("set"), file, QStringLiteral("QUAY-2"),
               QStringLiteral("SYNOPSIS=Order fenders here"), QStringLiteral("DESCRIPTION=Twelve")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    run = Cli({QStringLiteral("sync"), file});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray("1 sent, 1 received, 1 conflict, 1 deleted here\n"));
    // Completed there: resolved here, with the program's resolve rules.
    const QJsonObject resolved = ActionOf(file, QStringLiteral("Call the pilot"));
    QCOMPARE(resolved[QStringLiteral("STATUS")].toString(), QStringLiteral("Resolved"));
    QVERIFY(!resolved[QStringLiteral("DATE_FINISHED")].isNull());
    // The conflict: this side's value stays, the server's is in the log.
    const QJsonObject conflicted = ActionOf(file, QStringLiteral("Order fenders here"));
    const QJsonArray log = conflicted[QStringLiteral("log")].toArray();
    QCOMPARE(log.size(), 1);
    QVERIFY(log[0][QStringLiteral("STATUS_LINE")].toString().startsWith(
        QLatin1String("Synchronisation conflict")));
    QVERIFY2(log[0][QStringLiteral("DESCRIPTION")].toString().contains(QLatin1String("Order fenders there")),
             qPrintable(log[0][QStringLiteral("DESCRIPTION")].toString()));
    QVERIFY(ActionOf(file, QStringLiteral("Inspect the quay wall – Kai Ñ")).isEmpty());
    QCOMPARE(ServerSide(list), FileSide(file));
}

void TestCliSync::refusedSynchronisation_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << QStringList{"--url", "LIST", "--user", kUser} << "wrong" << 1
                                    << "password";
    QTest::newRow("server unreachable")
        << QStringList{"--url", "CLOSED", "--user", kUser} << kPassword << 1 << "127.0.0.1";
    QTest::newRow("plain http to another machine")
        << QStringList{"--url", "http://192.0.2.1/alice/list/", "--user", kUser} << kPassword << 1
        << "--allow-http";
    QTest::newRow("no task list yet") << QStringList{} << kPassword << 2 << "--url URL --user NAME";
    QTest::newRow("no password") << QStringList{"--url", "LIST", "--user", kUser} << QString() << 1
                                 << "DRAVELIN_SYNC_PASSWORD";
    QTest::newRow("a Dravelin File") << QStringList{"DRAVELIN"} << kPassword << 1 << "unpack it";
}

void TestCliSync::refusedSynchronisation()
{
    QFETCH(QStringList, options);
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString list = NewList();
    QString file = NewFile(QStringLiteral("Refused.act"));
    Add(file, QStringLiteral("R-1"), QStringLiteral("Stays here"));
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString closedUrl = QStringLiteral("http://127.0.0.1:%1/alice/x/").arg(closed.serverPort());
    closed.close();
    QStringList arguments{QStringLiteral("sync"), file};
    for (const QString &option : options) {
        if (option == QLatin1String("DRAVELIN")) {
            arguments[1] = work_ + QStringLiteral("/Refused.dravelin");
            QCOMPARE(Cli({QStringLiteral("pack"), file, arguments[1]}).exitCode, 0);
        } else {
            arguments.append(option == QLatin1String("LIST")     ? list
                             : option == QLatin1String("CLOSED") ? closedUrl
                                                                 : option);
        }
    }
    QProcessEnvironment env = Environment();
    if (password.isEmpty())
        env.remove(QStringLiteral("DRAVELIN_SYNC_PASSWORD"));
    else
        env.insert(QStringLiteral("DRAVELIN_SYNC_PASSWORD"), password);
    const QStringList before = FileSide(file);
    const Run run = Cli(arguments, {}, env);
    QCOMPARE(run.exitCode, exitCode);
    // Progress may come first; the reason is the last line.
    const QByteArray reason = run.err.trimmed().split('\n').constLast();
    QVERIFY2(reason.startsWith("dravelin-cli: ") && reason.contains(message.toUtf8()), run.err.constData());
    QVERIFY(run.out.isEmpty());
    QCOMPARE(FileSide(file), before);
    QVERIFY(ServerSide(list).isEmpty());
}

void TestCliSync::killedCommandIsCompletedByTheNext()
{
    QString id;
    const QString list = NewList(&id);
    const QString file = NewFile(QStringLiteral("Killed.act"));
    for (int k = 0; k < 20; ++k)
        Add(file, QStringLiteral("K-%1").arg(k), QStringLiteral("here 0-%1").arg(k));
    Run run =
        Cli({QStringLiteral("sync"), file, QStringLiteral("--url"), list, QStringLiteral("--user"), kUser});
    QVERIFY2(run.exitCode == 0, run.err.constData());

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("random seed %u", seed);
    QRandomGenerator random(seed);
    QElapsedTimer clock;
    clock.start();
    // The kills fall anywhere in a run as long as the last whole run took;
    // the longest run so far would let one slow run (a busy machine) make
    // every later wait outlast the runs.
    qint64 recent = 300;
    int kills = 0;
    QStringList theirs;
    for (int round = 1; kills < 20; ++round) {
        QVERIFY2(round <= 200, "the synchronisations end before they can be killed");
        // Work on both sides, apart from each other.
        Add(file, QStringLiteral("N-%1").arg(round), QStringLiteral("here %1").arg(round));
        run = Cli({QStringLiteral("set"), file, QStringLiteral("K-%1").arg(random.bounded(20)),
                   QStringLiteral("DESCRIPTION=round %1").arg(round)});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QStringList commands;
        for (int k = 0; k < 2; ++k) {
            theirs.append(QStringLiteral("there-%1-%2").arg(round).arg(k));
            commands.append(QStringLiteral("create\t%1\t%1").arg(theirs.last()));
        }
        if (theirs.size() > 4) {
            commands.append(QStringLiteral("change\t%1\tDESCRIPTION=round %2").arg(theirs[0]).arg(round));
            commands.append(QStringLiteral("complete\t%1").arg(theirs[1]));
            theirs.remove(0, 2);
        }
        QVERIFY(Peer(id, commands));

        // Killed at a random moment of its run.
        QProcess killed;
        killed.setProcessEnvironment(Environment());
        QElapsedTimer runTime;
        runTime.start();
        killed.start(QStringLiteral(DRAVELIN_CLI), {QStringLiteral("sync"), file});
        QVERIFY(killed.waitForStarted());
        killed.waitForFinished(int(random.bounded(recent)));
        if (killed.state() == QProcess::Running) {
            killed.kill();
            ++kills;
        } else {
            QVERIFY2(killed.exitCode() == 0, killed.readAllStandardError().constData());
            recent = std::max<qint64>(runTime.elapsed(), 20);
        }
        killed.waitForFinished(60000);

        // The next one completes it: both sides are equal.
        run = Cli({QStringLiteral("sync"), file});
        QVERIFY2(run.exitCode == 0, qPrintable(QStringLiteral("round %1: ").arg(round) + run.err));
        QCOMPARE(ServerSide(list), FileSide(file));
    }
    run = Cli({QStringLiteral("sync"), file});
    QCOMPARE(run.out, QByteArray("0 sent, 0 received\n"));
    // Nothing made twice, no conflict logged: the sides worked apart.
    for (const QJsonValue &action : Actions(file))
        for (const QJsonValue &entry : action[QStringLiteral("log")].toArray())
            QVERIFY2(!entry[QStringLiteral("STATUS_LINE")].toString().contains(QLatin1String("conflict")),
                     qPrintable(entry[QStringLiteral("DESCRIPTION")].toString()));
    qInfo("%d kills in %.1f s", kills, double(clock.elapsed()) / 1000);
}

void TestCliSync::savedPasswordIsTakenFromTheKeyring()
{
    if (!qEnvironmentVariableIsSet("DRAVELIN_TEST_KEYRING"))
        QSKIP("runs in the keyring's own test (tst_clisync_keyring)");
    const QString list = NewList();
    const QString file = NewFile(QStringLiteral("Kept.act"));
    Add(file, QStringLiteral("P-1"), QStringLiteral("Kept in the keyring"));
    QProcessEnvironment env = Environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DRAVELIN_SYNC_PASSWORD"));
    Run run = Cli({QStringLiteral("sync"), file, QStringLiteral("--url"), list, QStringLiteral("--user"),
                   kUser, QStringLiteral("--password-stdin"), QStringLiteral("--save-password")},
                  kPassword.toUtf8() + '\n', env);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray("1 sent, 0 received\n"));
    // No password given: the keyring's.
    run = Cli({QStringLiteral("sync"), file}, {}, env);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray("0 sent, 0 received\n"));
    // Nowhere in the file's folders.
    const QByteArray secret = kPassword.toUtf8();
    for (QDirIterator it(home_, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        QFile kept(it.next());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY2(!kept.readAll().contains(secret), qPrintable(kept.fileName()));
    }
}

QTEST_GUILESS_MAIN(TestCliSync)
#include "tst_clisync.moc"
