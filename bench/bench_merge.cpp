#include "ActionFileGenerator.h"
#include "ActionFileNames.h"
#include "DravelinMerge.h"
#include "MergeBase.h"
#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

// A returned Dravelin File of 10,000 actions merged into the Action File it
// was packed from: reading the returned file and the state kept when it was
// packed, comparing both with the open file, and applying the result.

namespace {

constexpr int kActions = 10000;

QString Path(const QString &name)
{
    static QTemporaryDir dir;
    return dir.filePath(name);
}

TDataModuleMain &Data()
{
    static TDataModuleMain data(Settings());
    return data;
}

// Work on one side: the synopsis of every step-th action from first on set to
// text, and ten new actions from newId on (none for 0), in one commit.
void Work(TDataModuleMain &data, const QString &actFile, int first, int step, const QString &text, int newId)
{
    data.Tables.Open(actFile, false);
    {
        TChangeScope change(data.Tables);
        TTable &actions = *data.cdsActions;
        actions.SetFiltered(false);
        for (int row = first; row < actions.RecordCount(); row += step) {
            actions.SetRecNo(row);
            actions.Edit();
            actions.FieldByName(QStringLiteral("SYNOPSIS")).SetAsString(text);
            actions.Post();
        }
        for (int id = newId; newId > 0 && id < newId + 10; ++id) {
            actions.Append();
            actions.FieldByName(QStringLiteral("ID")).SetAsInteger(id);
            actions.FieldByName(QStringLiteral("ID_CHAIN")).SetAsInteger(id);
            actions.FieldByName(QStringLiteral("ID_ACTION")).SetAsString(QStringLiteral("NEW-%1").arg(id));
            actions.Post();
        }
        change.Commit();
    }
    data.Tables.Close();
    data.Tables.Reset();
}

// mine.act packed into sent.dravelin (its base kept), and the returned
// back/sent.dravelin; both sides worked on it meanwhile, a few of the same
// actions on both.
struct TExchange {
    QString mine, returned;
};

// The auxiliary folder of actFile, where packing keeps its copies.
QString Auxiliary(const QString &actFile)
{
    return AuxiliaryFolder(actFile, Settings().Folders.Auxiliary);
}

const TExchange &Exchange()
{
    static std::unique_ptr<TExchange> made;
    if (made)
        return *made;
    TDataModuleMain &data = Data();
    Settings().Folders.Auxiliary = Path(QStringLiteral("Auxiliary"));
    made = std::make_unique<TExchange>();
    made->mine = Path(QStringLiteral("mine.act"));
    made->returned = Path(QStringLiteral("back/sent.dravelin"));
    GenerateActionFile(data, made->mine, kActions);
    const QString sent = Path(QStringLiteral("sent.dravelin"));
    TCDSParser(made->mine, sent).Pack();
    KeepMergeBase(Auxiliary(made->mine), sent);
    TCDSParser unpack(sent, data.TempFiles);
    unpack.Unpack();
    Work(data, unpack.ActFileName(), 1, 50, QStringLiteral("Changed there"), 2000000);
    QDir().mkpath(Path(QStringLiteral("back")));
    TCDSParser(unpack.ActFileName(), made->returned).Pack();
    Work(data, made->mine, 0, 50, QStringLiteral("Changed here"), 3000000);
    // Some of the actions they changed too: questions.
    Work(data, made->mine, 1, 500, QStringLiteral("Changed here"), 0);
    return *made;
}

// Reading both files and planning the merge, with the Action File open.
void BM_CompareReturnedFile(benchmark::State &state)
{
    const TExchange &exchange = Exchange();
    TDataModuleMain &data = Data();
    data.Tables.Open(exchange.mine, false);
    qsizetype diffs = 0;
    bool threeWay = false;
    for (auto _ : state) {
        const TDravelinMerge merge(data, exchange.returned, Auxiliary(exchange.mine));
        diffs = merge.Plan().diffs.size();
        threeWay = merge.Plan().threeWay;
    }
    data.Tables.Close();
    data.Tables.Reset();
    state.counters["differences"] = double(diffs);
    state.counters["three_way"] = threeWay ? 1 : 0;
}

// The whole merge: compared, every question answered with theirs, applied
// and written in one commit. Each run starts from a fresh copy of the file.
void BM_MergeReturnedFile(benchmark::State &state)
{
    const TExchange &exchange = Exchange();
    TDataModuleMain &data = Data();
    const QString work = Path(QStringLiteral("work.act"));
    const QString base = MergeBaseFileName(Auxiliary(exchange.mine), exchange.returned);
    qsizetype ops = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const TACTFiles from(exchange.mine), to(work);
        for (int i = 0; i < TACTFiles::Count; ++i) {
            QFile::remove(to.Name(i));
            QFile::copy(from.Name(i), to.Name(i));
        }
        const QString workBase = MergeBaseFileName(Auxiliary(work), exchange.returned);
        QDir().mkpath(QFileInfo(workBase).path());
        QFile::remove(workBase);
        QFile::copy(base, workBase);
        data.Tables.Open(work, false);
        state.ResumeTiming();

        TDravelinMerge merge(data, exchange.returned, Auxiliary(work));
        merge.Plan().DecideQuestions(TChoice::TakeTheirs);
        ops = merge.Plan().OpsForMine().size();
        merge.Apply();

        state.PauseTiming();
        data.Tables.Close();
        data.Tables.Reset();
        state.ResumeTiming();
    }
    state.counters["changes"] = double(ops);
}

} // namespace

BENCHMARK(BM_CompareReturnedFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergeReturnedFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
