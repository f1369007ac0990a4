#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Each changing command of dravelin-cli is killed at each of its writing
// system calls in turn (strace injects SIGKILL at the K-th call). After every
// kill the file it changes is the old one or the new one, never a mix; the
// next command works, no lock blocks it, and what the killed command left in
// its temporary folder is gone.
namespace {

// The system calls that create, write, sync, rename, remove or lock files.
const QStringList kWritingCalls = {
    QStringLiteral("openat"), QStringLiteral("write"),     QStringLiteral("pwrite64"),
    QStringLiteral("fsync"),  QStringLiteral("fdatasync"), QStringLiteral("ftruncate"),
    QStringLiteral("rename"), QStringLiteral("renameat"),  QStringLiteral("renameat2"),
    QStringLiteral("unlink"), QStringLiteral("unlinkat"),  QStringLiteral("link"),
    QStringLiteral("linkat"), QStringLiteral("mkdir"),     QStringLiteral("flock"),
    QStringLiteral("fchmod")};

struct Run {
    int exitCode = -1;
    bool killed = false;
    QByteArray out;
    QByteArray err;
};

} // namespace

class TestCliKill : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void killedCommandLeavesTheOldOrTheNewFile_data();
    void killedCommandLeavesTheOldOrTheNewFile();

private:
    // Runs dravelin-cli in the work folder W (named "W/" in arguments), under
    // strace with `trace` options when they are given.
    Run Cli(const QStringList &arguments, const QStringList &trace = {});
    // What the file holds, as its export shows it; "<absent>" when there is
    // none.
    QByteArray State(const QString &file);
    // A fresh copy of the files every command starts from.
    void ResetWork();

    QTemporaryDir temp_;
    QString strace_;
    QString work_;
    QString tmp_;
};

void TestCliKill::initTestCase()
{
    strace_ = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace_.isEmpty())
        QSKIP("strace is not installed (scripts/deps installs it)");
    QVERIFY(temp_.isValid());
    work_ = temp_.filePath(QStringLiteral("work"));
    tmp_ = temp_.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(tmp_));
    const QString templ = temp_.filePath(QStringLiteral("template"));
    QVERIFY(QDir().mkpath(templ));
    const QString fixture = QStringLiteral(DRAVELIN_CLI_DATA "/fixture.json");
    QCOMPARE(Cli({"import", templ + "/Harbour.act", "--format", "json", fixture}).exitCode, 0);
    QCOMPARE(Cli({"pack", templ + "/Harbour.act", templ + "/Harbour.dravelin"}).exitCode, 0);
    // A container that the pack replaces: another content than the new one.
    QCOMPARE(Cli({"set", templ + "/Harbour.dravelin", "QUAY-1", "SYNOPSIS=older"}).exitCode, 0);
    QVERIFY(QFile::copy(templ + "/Harbour.dravelin", templ + "/Old.dravelin"));
    QCOMPARE(Cli({"pack", templ + "/Harbour.act", templ + "/Harbour.dravelin"}).exitCode, 0);
}

Run TestCliKill::Cli(const QStringList &arguments, const QStringList &trace)
{
    QStringList resolved;
    for (const QString &argument : arguments)
        resolved << (argument.startsWith(QLatin1String("W/")) ? work_ + argument.mid(1) : argument);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), temp_.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), temp_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), temp_.filePath(QStringLiteral("share")));
    env.insert(QStringLiteral("TMPDIR"), tmp_);
    process.setProcessEnvironment(env);
    if (trace.isEmpty())
        process.start(QStringLiteral(DRAVELIN_CLI), resolved);
    else
        process.start(strace_, QStringList{"-f", "-qq"} + trace + QStringList{"--", DRAVELIN_CLI} + resolved);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitCode();
    // strace ends with the signal that ended the command.
    run.killed = process.exitStatus() == QProcess::CrashExit || run.exitCode == 128 + 9;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray TestCliKill::State(const QString &file)
{
    const QString path = work_ + file.mid(1);
    if (!QFileInfo::exists(path))
        return QByteArrayLiteral("<absent>");
    const Run exported = Cli({"export", file, "--format", "json"});
    if (exported.exitCode != 0)
        return QByteArrayLiteral("<unreadable> ") + exported.err;
    // A log entry written now carries the time of the run that wrote it.
    static const QRegularExpression time(QStringLiteral("\"TIME_LOG\": \"[0-9:]+\""));
    return QString::fromUtf8(exported.out).replace(time, QStringLiteral("\"TIME_LOG\": \"now\"")).toUtf8();
}

void TestCliKill::ResetWork()
{
    QDir(work_).removeRecursively();
    QVERIFY(QDir().mkpath(work_));
    const QString templ = temp_.filePath(QStringLiteral("template"));
    for (const QString &name : QDir(templ).entryList(QDir::Files))
        QVERIFY(QFile::copy(templ + '/' + name, work_ + '/' + name));
}

void TestCliKill::killedCommandLeavesTheOldOrTheNewFile_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("target");
    // The command that follows a kill when the file holds the new state; a
    // file left in its old state gets the command again.
    QTest::addColumn<QStringList>("next");
    const QStringList setAct{"set", "W/Harbour.act", "QUAY-1", "SEVERITY=Low"};
    QTest::newRow("add") << QStringList{"add", "W/Harbour.act", "--id", "KILL-1", "--synopsis", "Killed"}
                         << "W/Harbour.act" << setAct;
    QTest::newRow("set") << QStringList{"set", "W/Harbour.act", "QUAY-1", "STATUS=Active", "SEVERITY=High"}
                         << "W/Harbour.act" << setAct;
    QTest::newRow("resolve") << QStringList{"resolve", "W/Harbour.act", "QUAY-2", "--sign-off", "Fitted"}
                             << "W/Harbour.act" << setAct;
    QTest::newRow("import") << QStringList{"import", "W/New.act", "--format", "json",
                                           DRAVELIN_CLI_DATA "/fixture.json"}
                            << "W/New.act" << QStringList{"set", "W/New.act", "QUAY-1", "SEVERITY=Low"};
    QTest::newRow("new") << QStringList{"new", "W/Fresh.act"} << "W/Fresh.act"
                         << QStringList{"add", "W/Fresh.act", "--id", "NEW-1", "--synopsis", "First"};
    QTest::newRow("unpack") << QStringList{"unpack", "W/Harbour.dravelin", "W/Received.act"}
                            << "W/Received.act"
                            << QStringList{"set", "W/Received.act", "QUAY-1", "SEVERITY=Low"};
    QTest::newRow("pack") << QStringList{"pack", "W/Harbour.act", "W/Old.dravelin"} << "W/Old.dravelin"
                          << QStringList{"set", "W/Old.dravelin", "QUAY-1", "SEVERITY=Low"};
    QTest::newRow("set a Dravelin File")
        << QStringList{"set", "W/Harbour.dravelin", "QUAY-1", "STATUS=Active"} << "W/Harbour.dravelin"
        << QStringList{"set", "W/Harbour.dravelin", "QUAY-1", "SEVERITY=Low"};
}

void TestCliKill::killedCommandLeavesTheOldOrTheNewFile()
{
    QFETCH(QStringList, command);
    QFETCH(QString, target);
    QFETCH(QStringList, next);
    ResetWork();
    const QByteArray oldState = State(target);
    const QString trace = temp_.filePath(QStringLiteral("calls.trace"));
    const QString callSet = QStringLiteral("trace=") + kWritingCalls.join(QLatin1Char(','));
    QCOMPARE(Cli(command, {"-o", trace, "-e", callSet}).exitCode, 0);
    const QByteArray newState = State(target);
    QVERIFY(newState != oldState);
    const QMap<QString, int> calls = SystemCallCounts(trace);

    QElapsedTimer clock;
    clock.start();
    int kills = 0, oldStates = 0;
    for (auto it = calls.cbegin(); it != calls.cend(); ++it) {
        for (int k = 1; k <= it.value(); ++k) {
            const QString where = QStringLiteral("killed at %1 #%2").arg(it.key()).arg(k);
            ResetWork();
            const Run killed =
                Cli(command, {"-o", "/dev/null", "-e", "trace=" + it.key(), "-e",
                              QStringLiteral("inject=%1:signal=KILL:when=%2").arg(it.key()).arg(k)});
            QVERIFY2(killed.killed, qPrintable(where));
            ++kills;
            const QByteArray state = State(target);
            QVERIFY2(state == oldState || state == newState,
                     qPrintable(where + QLatin1String(": ") + state.left(300)));
            const bool old = state == oldState;
            oldStates += old;
            const Run after = Cli(old ? command : next);
            QVERIFY2(after.exitCode == 0, qPrintable(where + QLatin1String(": ") + after.err));
            if (old)
                QCOMPARE(State(target), newState);
            QVERIFY2(QDir(tmp_).entryList({QStringLiteral("dravelin-*")}, QDir::Dirs).isEmpty(),
                     qPrintable(where + QLatin1String(": a temporary folder was left")));
        }
    }
    qInfo("%d kills, %d left the old file, %.1f s", kills, oldStates, double(clock.elapsed()) / 1000);
    QVERIFY(kills > 10);
}

QTEST_GUILESS_MAIN(TestCliKill)
#include "tst_clikill.moc"
