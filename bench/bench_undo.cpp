#include "ActionFileGenerator.h"
#include "ChangeHistory.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <time.h>

namespace {

constexpr int kChildren = 50;

// One generated Action File per size, made on first use.
QString ActionFile(int actions)
{
    static QTemporaryDir dir;
    static std::map<int, QString> made;
    auto found = made.find(actions);
    if (found != made.end())
        return found->second;
    const QString fileName = dir.filePath(QStringLiteral("Plan%1.act").arg(actions));
    TDataModuleMain data(Settings());
    GenerateActionFile(data, fileName, actions);
    return made[actions] = fileName;
}

// Clock and processor time of this thread since it was made, in ms: the
// clock includes waiting for the disk and for other work on the machine.
class TStopwatch {
public:
    TStopwatch() { clock_.start(); }
    double Clock() const { return double(clock_.nsecsElapsed()) / 1e6; }
    double Processor() const { return ThreadMs() - processor_; }

private:
    static double ThreadMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }
    QElapsedTimer clock_;
    double processor_ = ThreadMs();
};

// A new action with 50 children (log entries, decisions and statements), in
// one commit; the action is left current.
void AddActionWithChildren(TDataModuleMain &data)
{
    TChangeScope change(data.Tables);
    const int id = data.NextId(rkAction);
    TTable *actions = data.cdsActions;
    actions->Append();
    actions->FieldByName(QStringLiteral("ID")).SetAsInteger(id);
    actions->FieldByName(QStringLiteral("ID_CHAIN")).SetAsInteger(id);
    actions->FieldByName(QStringLiteral("ID_ACTION")).SetAsString(QStringLiteral("BIG-%1").arg(id));
    actions->Post();
    const std::pair<TTable *, TRecordKind> kinds[] = {
        {data.cdsLog, rkLog}, {data.cdsDecision, rkDecision}, {data.cdsStatement, rkStatement}};
    for (int child = 0; child < kChildren; ++child) {
        const auto [table, kind] = kinds[child % 3];
        table->Append();
        table->FieldByName(QStringLiteral("ID")).SetAsInteger(data.NextId(kind));
        table->FieldByName(QStringLiteral("ID_ACTION")).SetAsInteger(id);
        table->Post();
    }
    change.Commit();
}

// Deletes the current action with its children in one commit, as the action
// list's Delete does.
void DeleteWithChildren(TDataModuleMain &data, int id)
{
    TChangeScope change(data.Tables);
    for (TTable *table : {data.cdsStatement, data.cdsDecision, data.cdsLog}) {
        table->SetFilter(QStringLiteral("ID_ACTION = %1").arg(id));
        table->SetFiltered(true);
        while (table->RecordCount() > 0) {
            table->First();
            table->Delete();
        }
        table->SetFiltered(false);
    }
    data.cdsActions->Delete();
    change.Commit();
}

// Undo and redo of deleting an action with 50 children, each with its write
// to the disk (one transaction over three files, synced).
void BM_UndoRedoDeleteWithChildren(benchmark::State &state)
{
    TDataModuleMain data(Settings());
    data.Tables.Open(ActionFile(int(state.range(0))), false);
    AddActionWithChildren(data);
    DeleteWithChildren(data, data.LastActionId());
    double undo = 0, redo = 0, undoCpu = 0, redoCpu = 0;
    for (auto _ : state) {
        const TStopwatch undoing;
        data.Tables.Undo();
        const double undone = undoing.Clock();
        undoCpu += undoing.Processor();
        const TStopwatch redoing;
        data.Tables.Redo();
        const double redone = redoing.Clock();
        redoCpu += redoing.Processor();
        undo += undone;
        redo += redone;
        state.SetIterationTime((undone + redone) / 2000);
    }
    const double n = double(state.iterations());
    state.counters["undo_ms"] = undo / n;
    state.counters["redo_ms"] = redo / n;
    state.counters["undo_cpu_ms"] = undoCpu / n;
    state.counters["redo_cpu_ms"] = redoCpu / n;
    data.Tables.Close();
}

// What recording a step adds to a command: the images of the rows it
// changed, taken at its commit, its caption and its place in the history;
// for one edited action and for an action deleted with 50 children.
void BM_RecordStep(benchmark::State &state)
{
    TDataModuleMain data(Settings());
    data.Tables.Open(ActionFile(int(state.range(0))), false);
    const bool deletion = state.range(1) != 0;
    TChangeHistory history;
    int round = 0;
    double cpu = 0;
    for (auto _ : state) {
        if (deletion)
            AddActionWithChildren(data);
        TChangeScope change(data.Tables);
        if (deletion) {
            DeleteWithChildren(data, data.LastActionId());
        } else {
            data.cdsActions->First();
            data.cdsActions->Edit();
            data.cdsActions->FieldByName(QStringLiteral("SYNOPSIS")).SetAsString(QString::number(++round));
            data.cdsActions->Post();
        }
        const TStopwatch recording;
        TChangeStep step;
        for (TableMember member : kTableMembers)
            data.Tables.Table(member)->PendingChanges(member, step.rows);
        step.caption = DerivedCaption(data.Tables, step.rows);
        history.Record(std::move(step));
        state.SetIterationTime(recording.Clock() / 1000);
        cpu += recording.Processor();
        change.Commit();
    }
    state.counters["cpu_us"] = cpu * 1000 / double(state.iterations());
    data.Tables.Close();
}

} // namespace

BENCHMARK(BM_UndoRedoDeleteWithChildren)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_RecordStep)
    ->ArgsProduct({{100000}, {0, 1}})
    ->ArgNames({"actions", "deletion"})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20);
