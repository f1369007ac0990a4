#include "ActionFileGenerator.h"
#include "ColumnReport.h"
#include "HtmlPage.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// The action list report of every action of a generated Action File with
// all fifteen columns in colour, built and written to a temporary page file
// as OK of the "Print Action List" window does it.
void BM_ActionListReportAllColumns(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("List.act"));
    {
        TDataModuleMain generator(Settings());
        GenerateActionFile(generator, file, int(state.range(0)));
    }
    TDataModuleMain data(Settings());
    data.Tables.Open(file, false);
    data.cdsActions->First();
    TColumnReportOptions options;
    options.title = ActionListReportTitle(data, QDate::currentDate());
    options.columns = ActionReportColumns();
    qint64 bytes = 0;
    for (auto _ : state) {
        const QString page = WriteTemporaryPage(data.TempFiles, [&](THtmlPage &out) {
            BuildColumnReport(*data.cdsActions, options, QDate::currentDate(), out);
        });
        bytes = QFileInfo(page).size();
        state.PauseTiming();
        QFile::remove(page);
        state.ResumeTiming();
    }
    state.counters["page_MiB"] = double(bytes) / (1024.0 * 1024.0);
    data.Tables.Close();
}

} // namespace

BENCHMARK(BM_ActionListReportAllColumns)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
