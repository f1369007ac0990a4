#include "CalDavClient.h"
#include "MemoryActions.h"
#include "RadicaleServer.h"
#include "Synchroniser.h"
#include "TodoMapping.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

// Synchronisation against a real Radicale on this machine: the first
// synchronisation of a file's actions, the same todos uploaded by
// python3-caldav and by bare PUTs of this program's client (the floor the
// server sets), and a synchronisation with nothing changed. Each reports
// the processor seconds the server and this process spent, to tell where
// the time goes.
//
// Radicale's cost per upload grows with the list (10,000 uploads take it
// over an hour on two cores, whoever sends them), so the uploads are
// compared at 1,000 todos; the unchanged synchronisation runs at 10,000,
// on a list filled in the server's storage folder directly.

namespace {

const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench");

QTemporaryDir &Folder()
{
    static QTemporaryDir dir;
    return dir;
}

RadicaleServer &Server()
{
    static RadicaleServer server;
    static const bool started = [] {
        if (!server.Start(kUser, kPassword))
            qFatal("radicale: %s", qPrintable(server.Error()));
        return true;
    }();
    Q_UNUSED(started);
    return server;
}

// A new, empty task list.
QUrl NewList(QString *id = nullptr)
{
    static int lists = 0;
    const QString name = QStringLiteral("bench%1").arg(++lists);
    if (!Server().Peer({QStringLiteral("make-list"), name, name, QStringLiteral("VTODO")}))
        qFatal("the task list %s cannot be made", qPrintable(name));
    if (id)
        *id = name;
    return Server().Url().resolved(QUrl(QStringLiteral("/%1/%2/").arg(kUser, name)));
}

// Actions with texts of realistic length, a fifth of them resolved.
QList<TRecordValues> Actions(int count)
{
    static const QStringList statuses{QStringLiteral("Assigned"), QStringLiteral("Active"),
                                      QStringLiteral("Pending"), QStringLiteral("On Hold")};
    static const QStringList severities{QStringLiteral("Low"), QStringLiteral("Medium"),
                                        QStringLiteral("High")};
    QList<TRecordValues> actions;
    for (int id = 1; id <= count; ++id) {
        const QDate start = QDate(2024, 1, 1).addDays(id % 700);
        TRecordValues action{
            {QStringLiteral("ID"), id},
            {QStringLiteral("ID_CHAIN"), id},
            {QStringLiteral("ATTRIBUTE"), QStringLiteral("PRJ_%1").arg(id, 5, 10, QLatin1Char('0'))},
            {QStringLiteral("ID_ACTION"), QStringLiteral("ACT-%1").arg(id)},
            {QStringLiteral("SYNOPSIS"),
             QStringLiteral("Inspect the mooring points of berth %1 and report the wear of each bollard")
                 .arg(id)},
            {QStringLiteral("DESCRIPTION"),
             QStringLiteral("The inspection covers the bollards, the fenders and the ladders of the berth. ")
                 .repeated(5)},
            {QStringLiteral("DATE_ACTION"), start},
            {QStringLiteral("DATE_DUE"), start.addDays(30)},
            {QStringLiteral("DATE_STATUS"), start},
            {QStringLiteral("ACTOR_OWNER"), QStringLiteral("Okafor")},
            {QStringLiteral("ACTOR_ORGANIZOR"), QStringLiteral("Moreau")},
            {QStringLiteral("STATUS"), statuses[id % statuses.size()]},
            {QStringLiteral("SEVERITY"), severities[id % severities.size()]},
            {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("Harbour")}};
        if (id % 5 == 0) {
            action.insert(QStringLiteral("DATE_FINISHED"), start.addDays(20));
            action.insert(QStringLiteral("STATUS"), QStringLiteral("Resolved"));
        }
        actions.append(action);
    }
    return actions;
}

MemoryActions Local(int count)
{
    MemoryActions local;
    for (const TRecordValues &action : Actions(count))
        local.actions.insert(action.value(QStringLiteral("ID")).toInt(), action);
    local.lastId = count;
    return local;
}

// The todos a first synchronisation sends, under fixed UIDs.
QList<QByteArray> Todos(int count)
{
    QList<QByteArray> todos;
    for (const TRecordValues &action : Actions(count))
        todos.append(
            ActionToTodo(action, QStringLiteral("bench-%1").arg(action.value(QStringLiteral("ID")).toInt()))
                .ical);
    return todos;
}

double Seconds(const timeval &time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

double OwnProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

double ServerProcessorSeconds()
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(Server().ProcessId()));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // utime and stime, the 14th and 15th fields, after the name in brackets.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12
               ? double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK))
               : 0;
}

// The processor seconds of the server and of this process over a span.
class TProcessorTime {
public:
    TProcessorTime() : server_(ServerProcessorSeconds()), own_(OwnProcessorSeconds()) {}
    void Report(benchmark::State &state) const
    {
        state.counters["server_cpu_s"] = ServerProcessorSeconds() - server_;
        state.counters["client_cpu_s"] = OwnProcessorSeconds() - own_;
    }

private:
    double server_, own_;
};

void Synchronise(benchmark::State &state, MemoryActions &local, const QUrl &list, const QString &stateFile)
{
    // Radicale's first read of a large list, which builds its cache, takes
    // longer than a request may take in the program.
    TDavOptions options;
    options.requestTimeoutMs = 30 * 60 * 1000;
    const TSyncResult result =
        TSynchroniser({list, kUser, kPassword, false}, stateFile, local, options).Run();
    if (!result.ok)
        state.SkipWithError(qPrintable(result.error));
    state.counters["requests"] = result.requests;
}

void BM_FirstSynchronisation(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QString id;
        const QUrl list = NewList(&id);
        MemoryActions local = Local(int(state.range(0)));
        const QString stateFile = Folder().filePath(id + QStringLiteral(".json"));
        const TProcessorTime processor;
        state.ResumeTiming();
        Synchronise(state, local, list, stateFile);
        processor.Report(state);
    }
}

// python3-caldav saving the same todos one by one, as an independent
// client uploads them; timed by the script itself.
void BM_CaldavUpload(benchmark::State &state)
{
    const QList<QByteArray> todos = Todos(int(state.range(0)));
    QTemporaryDir folder;
    for (int i = 0; i < todos.size(); ++i) {
        QFile file(folder.filePath(QStringLiteral("%1.ics").arg(i, 6, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(todos[i]) != todos[i].size())
            qFatal("the todos cannot be written");
    }
    static int lists = 0;
    for (auto _ : state) {
        const TProcessorTime processor;
        QProcess upload;
        upload.start(QStringLiteral(DEBIAN_PYTHON),
                     {QStringLiteral(BENCH_DIR "/caldav_upload.py"), Server().Url().toString(), kUser,
                      kPassword, QStringLiteral("caldav%1").arg(++lists), folder.path()});
        if (!upload.waitForFinished(-1) || upload.exitCode() != 0)
            qFatal("caldav_upload.py: %s", upload.readAllStandardError().constData());
        const QList<QByteArray> seconds = upload.readAllStandardOutput().trimmed().split(' ');
        state.SetIterationTime(seconds.value(0).toDouble());
        processor.Report(state);
        state.counters["client_cpu_s"] = seconds.value(1).toDouble();
    }
}

// The same todos PUT one after another with this program's client and
// nothing else: what the server and the network take.
void BM_BarePuts(benchmark::State &state)
{
    const QList<QByteArray> todos = Todos(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        const QUrl list = NewList();
        TCalDavClient client({list, kUser, kPassword, false});
        const TProcessorTime processor;
        state.ResumeTiming();
        for (int i = 0; i < todos.size(); ++i) {
            QString etag;
            if (!client
                     .Put(TCalDavClient::TodoUrl(list, QStringLiteral("bench-%1").arg(i + 1)), todos[i],
                          QString(), etag)
                     .Ok())
                state.SkipWithError("a PUT failed");
        }
        processor.Report(state);
    }
}

void BM_UnchangedSynchronisation(benchmark::State &state)
{
    QString id;
    const QUrl list = NewList(&id);
    const QList<QByteArray> todos = Todos(int(state.range(0)));
    const QString folder = Server().CollectionFolder(kUser, id);
    for (int i = 0; i < todos.size(); ++i) {
        QFile file(QStringLiteral("%1/bench-%2.ics").arg(folder).arg(i + 1));
        if (!file.open(QIODevice::WriteOnly) || file.write(todos[i]) != todos[i].size())
            qFatal("the todos cannot be written into %s", qPrintable(folder));
    }
    MemoryActions local = Local(int(state.range(0)));
    const QString stateFile = Folder().filePath(id + QStringLiteral(".json"));
    // The first pairs the actions with their todos, the second learns the
    // list's version after it.
    for (int settle = 0; settle < 2; ++settle)
        Synchronise(state, local, list, stateFile);
    for (auto _ : state) {
        const TProcessorTime processor;
        Synchronise(state, local, list, stateFile);
        processor.Report(state);
    }
}

} // namespace

BENCHMARK(BM_FirstSynchronisation)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_CaldavUpload)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();
BENCHMARK(BM_BarePuts)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_UnchangedSynchronisation)
    ->Arg(10000)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char **argv)
{
    // The client waits for its answers in event loops of this application.
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
