#include "ActionFileGenerator.h"
#include "SearchActionFile.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

// The word put into every hundredth action's description, so that it occurs
// in about 1% of them; the generated texts never hold it otherwise.
constexpr const char *kRareWord = "walrus";

QTemporaryDir *Folder()
{
    static QTemporaryDir dir;
    return &dir;
}

QString MakeFile(int actions)
{
    const QString fileName = Folder()->filePath(QStringLiteral("Search%1.act").arg(actions));
    TDataModuleMain data(Settings());
    GenerateActionFile(data, fileName, actions);
    data.Tables.Open(fileName, false);
    TTable *table = data.cdsActions;
    table->SetFiltered(false);
    table->SetIndexName(QStringLiteral("ID_ASC"));
    for (int id = 100; id <= actions; id += 100)
        if (table->FindKey({id})) {
            table->Edit();
            TField description = table->FieldByName(QStringLiteral("DESCRIPTION"));
            description.SetAsString(description.AsString().insert(120, QLatin1String(kRareWord) + ' '));
            table->Post();
        }
    data.Tables.Close();
    return fileName;
}

// One opened Action File per size, as the action list has it: all actions
// listed, in the list's first order.
TDataModuleMain &Opened(int actions)
{
    static std::map<int, std::unique_ptr<TDataModuleMain>> opened;
    auto &data = opened[actions];
    if (!data) {
        const QString fileName = MakeFile(actions);
        data = std::make_unique<TDataModuleMain>(Settings());
        data->Tables.Open(fileName, false);
        data->FilterLogByAction();
    }
    return *data;
}

void Search(benchmark::State &state, const QString &text)
{
    TDataModuleMain &data = Opened(int(state.range(0)));
    qint64 results = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        SearchActionFile(data, text);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        results = data.cdsActionsSearch->RecordCount();
        data.cdsActionsSearch->Abandon();
    }
    state.counters["results"] = double(results);
}

void BM_SearchRareWord(benchmark::State &state)
{
    Search(state, QLatin1String(kRareWord));
}

void BM_SearchYear(benchmark::State &state)
{
    Search(state, QStringLiteral("2021"));
}

} // namespace

BENCHMARK(BM_SearchRareWord)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchYear)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
