#include "ActionFileGenerator.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <functional>
#include <malloc.h>
#include <map>
#include <sqlite3.h>
#include <time.h>

namespace {

QTemporaryDir *Folder()
{
    static QTemporaryDir dir;
    return &dir;
}

// One generated Action File per size, made on first use.
QString ActionFile(int actions)
{
    static std::map<int, QString> made;
    auto found = made.find(actions);
    if (found != made.end())
        return found->second;
    const QString fileName = Folder()->filePath(QStringLiteral("Plan%1.act").arg(actions));
    TDataModuleMain data(Settings());
    GenerateActionFile(data, fileName, actions);
    return made[actions] = fileName;
}

double FilesMiB(const QString &fileName)
{
    qint64 bytes = 0;
    for (const TableMember member : kTableMembers)
        bytes += QFileInfo(TTables::TableFileName(fileName, member)).size();
    return double(bytes) / (1024.0 * 1024.0);
}

double ResidentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// The floor: what reading the six files costs with SQLite alone. Every row
// and column is stepped through and fetched as text, nothing more.
void ReadWithSqlite(const QString &fileName)
{
    TDataModuleMain data(Settings()); // for the table names only
    for (const TableMember member : kTableMembers) {
        const TTable *table = data.Tables.Table(member);
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(TTables::TableFileName(fileName, member)).constData(), &db,
                        SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *stmt = nullptr;
        const QByteArray sql = "SELECT * FROM \"" + table->TableName().toUtf8() + '"';
        sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr);
        const int columns = table->FieldCount();
        while (sqlite3_step(stmt) == SQLITE_ROW)
            for (int column = 0; column < columns; ++column)
                benchmark::DoNotOptimize(sqlite3_column_text(stmt, column));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
}

// Processor time of this thread (reading the files from the page cache
// included), which other work on a shared machine does not stretch as it
// stretches the time on the clock.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double Seconds(const std::function<void()> &work)
{
    const double start = ThreadSeconds();
    work();
    return ThreadSeconds() - start;
}

void EditOneAction(TDataModuleMain &data, int round)
{
    // A text no edit of this run gave before, so every post changes the
    // record (an unchanged one writes nothing).
    static int edits = 0;
    data.cdsActions->SetRecNo(round % data.cdsActions->RecordCount());
    data.cdsActions->Edit();
    data.cdsActions->FieldByName(QStringLiteral("SYNOPSIS"))
        .SetAsString(QStringLiteral("edited %1 %2").arg(round).arg(++edits));
    data.cdsActions->Post();
}

void BM_Open(benchmark::State &state)
{
    const QString file = ActionFile(int(state.range(0)));
    for (auto _ : state) {
        TDataModuleMain data(Settings());
        QElapsedTimer timer;
        timer.start();
        data.Tables.Open(file, false);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        data.Tables.Close();
    }
}

void BM_ReadFloor(benchmark::State &state)
{
    const QString file = ActionFile(int(state.range(0)));
    for (auto _ : state)
        state.SetIterationTime(Seconds([&] { ReadWithSqlite(file); }));
}

// Opening measured against the floor in the same run, taken in turns and in
// processor time, so that both see the same machine and load; absolute
// times differ by twice between machines here, the ratio much less.
void BM_OpenVsFloor(benchmark::State &state)
{
    const QString file = ActionFile(int(state.range(0)));
    double floor = 0, open = 0;
    for (auto _ : state) {
        const double read = Seconds([&] { ReadWithSqlite(file); });
        TDataModuleMain data(Settings());
        const double opened = Seconds([&] { data.Tables.Open(file, false); });
        data.Tables.Close();
        floor += read;
        open += opened;
        state.SetIterationTime(opened);
    }
    const double n = double(state.iterations());
    state.counters["floor_ms"] = floor * 1000 / n;
    state.counters["open_ms"] = open * 1000 / n;
    state.counters["open_per_floor"] = open / floor;
}

// A new action posted, as the action editor's OK saves one.
void AddNewAction(TDataModuleMain &data, int)
{
    TTable &actions = *data.cdsActions;
    actions.Insert();
    const int id = data.NextId(rkAction);
    actions.FieldByName(QStringLiteral("ID")).SetAsInteger(id);
    actions.FieldByName(QStringLiteral("ID_CHAIN")).SetAsInteger(id);
    actions.FieldByName(QStringLiteral("ID_ACTION")).SetAsString(QStringLiteral("NEW-%1").arg(id));
    actions.Post();
}

// An action and a new log entry of it, committed together, as Resolve with
// its log entry does: one transaction across the two files.
void ResolveWithLogEntry(TDataModuleMain &data, int round)
{
    TChangeScope change(data.Tables);
    EditOneAction(data, round);
    data.cdsLog->Append();
    data.cdsLog->FieldByName(QStringLiteral("ID")).SetAsInteger(data.NextId(rkLog));
    data.cdsLog->FieldByName(QStringLiteral("ID_ACTION"))
        .SetAsInteger(data.cdsActions->FieldByName(QStringLiteral("ID")).AsInteger());
    data.cdsLog->FieldByName(QStringLiteral("STATUS_LINE")).SetAsString(QStringLiteral("Action Resolved"));
    data.cdsLog->Post();
    change.Commit();
}

using TChange = void (*)(TDataModuleMain &, int round);

// What a change costs, its write to the disk included: every post is written
// (one journalled transaction, synced) before it returns. The first write
// after opening, which checks the files first, is made before the timing.
void TimeChanges(benchmark::State &state, TChange change)
{
    const QString file = ActionFile(int(state.range(0)));
    TDataModuleMain data(Settings());
    data.Tables.Open(file, false);
    int round = 0;
    change(data, ++round);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        change(data, ++round);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    data.Tables.Close();
}

// The first change after opening, which checks the structure of the files
// it writes into first.
void TimeFirstChange(benchmark::State &state, TChange change)
{
    const QString file = ActionFile(int(state.range(0)));
    int round = 0;
    for (auto _ : state) {
        TDataModuleMain data(Settings());
        data.Tables.Open(file, false);
        QElapsedTimer timer;
        timer.start();
        change(data, ++round);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        data.Tables.Close();
    }
}

void BM_PostOneEdit(benchmark::State &state)
{
    TimeChanges(state, EditOneAction);
}

void BM_PostNewAction(benchmark::State &state)
{
    TimeChanges(state, AddNewAction);
}

void BM_ResolveWithLogEntry(benchmark::State &state)
{
    TimeChanges(state, ResolveWithLogEntry);
}

void BM_FirstPostAfterOpen(benchmark::State &state)
{
    TimeFirstChange(state, EditOneAction);
}

void BM_FirstResolveAfterOpen(benchmark::State &state)
{
    TimeFirstChange(state, ResolveWithLogEntry);
}

// Closing after an edit: the edit is on disk already, so closing writes
// nothing.
void BM_CloseAfterOneEdit(benchmark::State &state)
{
    const QString file = ActionFile(int(state.range(0)));
    TDataModuleMain data(Settings());
    data.Tables.Open(file, false);
    int round = 0;
    for (auto _ : state) {
        EditOneAction(data, ++round);
        QElapsedTimer timer;
        timer.start();
        data.Tables.Close();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        data.Tables.Open(file, false);
    }
    data.Tables.Close();
}

// What the action list does after every edit: close (writing the change) and open again.
void BM_ReloadAfterOneEdit(benchmark::State &state)
{
    const QString file = ActionFile(int(state.range(0)));
    TDataModuleMain data(Settings());
    data.Tables.Open(file, false);
    int round = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        EditOneAction(data, ++round);
        data.Tables.Close();
        data.Tables.Open(file, false);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    data.Tables.Close();
}

// The first switch to each index of the actions table after opening.
void BM_FirstIndexSwitch(benchmark::State &state)
{
    const QString file = ActionFile(int(state.range(0)));
    double worst = 0, total = 0;
    int switches = 0;
    for (auto _ : state) {
        TDataModuleMain data(Settings());
        data.Tables.Open(file, false);
        double elapsed = 0;
        for (const TIndexDef &index : data.cdsActions->IndexDefs()) {
            QElapsedTimer timer;
            timer.start();
            data.cdsActions->SetIndexName(index.name);
            data.cdsActions->First();
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            worst = std::max(worst, seconds);
            elapsed += seconds;
            ++switches;
        }
        total += elapsed;
        state.SetIterationTime(elapsed);
        data.Tables.Close();
    }
    state.counters["worst_ms"] = worst * 1000;
    state.counters["mean_ms"] = total * 1000 / std::max(1, switches);
}

void BM_ApplyFilter(benchmark::State &state)
{
    const QString file = ActionFile(int(state.range(0)));
    TDataModuleMain data(Settings());
    data.Tables.Open(file, false);
    int filter = 0;
    for (auto _ : state) {
        Settings().Actions.Filter = 1 + filter++ % 2; // open, then resolved
        data.cdsActions->RefreshFilter();
        data.cdsActions->First();
        benchmark::DoNotOptimize(data.cdsActions->RecordCount());
    }
    Settings().Actions.Filter = 0;
    data.Tables.Close();
}

void BM_MemoryAfterOpen(benchmark::State &state)
{
    const QString file = ActionFile(int(state.range(0)));
    for (auto _ : state) {
        malloc_trim(0);
        const double before = ResidentMiB();
        TDataModuleMain data(Settings());
        data.Tables.Open(file, false);
        const double after = ResidentMiB();
        state.counters["files_MiB"] = FilesMiB(file);
        state.counters["rss_MiB"] = after;
        state.counters["rss_growth_MiB"] = after - before;
        state.counters["growth_per_file_size"] = (after - before) / FilesMiB(file);
        data.Tables.Close();
    }
}

} // namespace

BENCHMARK(BM_Open)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadFloor)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_OpenVsFloor)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_PostOneEdit)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostNewAction)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveWithLogEntry)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPostAfterOpen)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_FirstResolveAfterOpen)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_CloseAfterOneEdit)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_ReloadAfterOneEdit)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_FirstIndexSwitch)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_ApplyFilter)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryAfterOpen)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Settings().Actions.AtributeSeparator = QStringLiteral("_");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
