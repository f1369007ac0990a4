#include "ActionFileGenerator.h"
#include "RecordMerge.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TodoMapping.h"

#include <QDate>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

QTemporaryDir *Folder()
{
    static QTemporaryDir dir;
    return &dir;
}

// Every record of an opened Action File as the merge takes them.
TRecordSet ReadRecords(TDataModuleMain &data)
{
    TRecordSet set;
    const std::pair<TMergeKind, TTable *> tables[] = {
        {TMergeKind::Header, data.cdsAction},     {TMergeKind::Contact, data.cdsActor},
        {TMergeKind::Action, data.cdsActions},    {TMergeKind::Log, data.cdsLog},
        {TMergeKind::Decision, data.cdsDecision}, {TMergeKind::Statement, data.cdsStatement}};
    for (const auto &[kind, table] : tables) {
        table->SetFiltered(false);
        QList<TRecordValues> &records = set[kind];
        records.reserve(table->RecordCount());
        for (int row = 0; row < table->RecordCount(); ++row) {
            TRecordValues record;
            for (int field = 0; field < table->FieldCount(); ++field)
                record.insert(table->FieldDefs()[field].name, table->ValueAt(row, field));
            records.append(record);
        }
    }
    return set;
}

// The base as packed, and both sides after a day's work: each changed one
// action in fifty and one log entry in a hundred, deleted one action in two
// hundred with its children and added a hundred actions with a log entry
// each; a few fields changed on both sides.
struct TSides {
    TRecordSet base, mine, theirs;
};

void Work(TRecordSet &set, int seed)
{
    QList<TRecordValues> &actions = set[TMergeKind::Action];
    for (int row = seed; row < actions.size(); row += 50)
        actions[row].insert(QStringLiteral("SYNOPSIS"), QStringLiteral("Changed by %1").arg(seed));
    QList<TRecordValues> &log = set[TMergeKind::Log];
    for (int row = seed; row < log.size(); row += 100)
        log[row].insert(QStringLiteral("STATUS_LINE"), QStringLiteral("Note %1").arg(seed));
    for (int row = actions.size() - 1 - seed; row >= 0; row -= 200)
        actions.removeAt(row);
    const int first = 1000000 + seed * 1000;
    for (int id = first; id < first + 100; ++id) {
        actions.append({{QStringLiteral("ID"), id},
                        {QStringLiteral("SYNOPSIS"), QStringLiteral("New")},
                        {QStringLiteral("DATE_DUE"), QDate(2027, 1, 1)}});
        log.append({{QStringLiteral("ID"), id}, {QStringLiteral("ID_ACTION"), id}});
    }
}

const TSides &Sides(int actions)
{
    static std::map<int, std::unique_ptr<TSides>> made;
    auto &sides = made[actions];
    if (!sides) {
        const QString fileName = Folder()->filePath(QStringLiteral("Merge%1.act").arg(actions));
        TDataModuleMain data(Settings());
        GenerateActionFile(data, fileName, actions);
        data.Tables.Open(fileName, false);
        sides = std::make_unique<TSides>();
        sides->base = ReadRecords(data);
        data.Tables.Close();
        sides->mine = sides->base;
        sides->theirs = sides->base;
        Work(sides->mine, 0);
        Work(sides->theirs, 1);
    }
    return *sides;
}

void BM_PlanThreeWay(benchmark::State &state)
{
    const TSides &sides = Sides(int(state.range(0)));
    qsizetype diffs = 0;
    for (auto _ : state) {
        const TMergePlan plan = PlanMerge(&sides.base, sides.mine, sides.theirs);
        benchmark::DoNotOptimize(plan.OpsForMine());
        diffs = plan.diffs.size();
    }
    state.counters["differences"] = double(diffs);
}

void BM_PlanTwoWay(benchmark::State &state)
{
    const TSides &sides = Sides(int(state.range(0)));
    for (auto _ : state) {
        const TMergePlan plan = PlanMerge(nullptr, sides.mine, sides.theirs);
        benchmark::DoNotOptimize(plan.OpsForMine());
    }
}

// Every action of the file as a todo and read back, as a first
// synchronisation sends them and a full fetch reads them.
void BM_TodoRoundTrip(benchmark::State &state)
{
    const TSides &sides = Sides(int(state.range(0)));
    const QList<TRecordValues> &actions = sides.base[TMergeKind::Action];
    for (auto _ : state) {
        for (const TRecordValues &action : actions) {
            const TTodoWriting written =
                ActionToTodo(action, QStringLiteral("5f1c2d9e-0b7a-4c1e-9f3a-2a6b8c0d1e2f"));
            benchmark::DoNotOptimize(TodoToAction(written.ical));
        }
    }
    state.counters["actions"] = double(actions.size());
}

} // namespace

BENCHMARK(BM_TodoRoundTrip)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanThreeWay)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanTwoWay)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
