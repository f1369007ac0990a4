#include "ActionFileGenerator.h"
#include "Digest.h"
#include "HtmlPage.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// The digest of every action of a generated Action File (three log entries
// per action, half as many decisions and statements) with every section,
// the index and the separators, built and written to a temporary page file
// as the OK of the digest window does it.
void BM_DigestAllActions(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Digest.act"));
    {
        TDataModuleMain generator(Settings());
        GenerateActionFile(generator, file, int(state.range(0)));
    }
    TDataModuleMain data(Settings());
    data.Tables.Open(file, false);
    data.cdsActions->First();
    data.FilterLogByAction();
    TDigestOptions options;
    options.allActions = true;
    options.index = true;
    options.properties = true;
    options.separate = true;
    options.decisions = true;
    options.statements = true;
    qint64 bytes = 0;
    for (auto _ : state) {
        const QString page = WriteTemporaryPage(
            data.TempFiles, [&](THtmlPage &out) { BuildDigest(data, options, QDate::currentDate(), out); });
        bytes = QFileInfo(page).size();
        state.PauseTiming();
        QFile::remove(page);
        state.ResumeTiming();
    }
    state.counters["page_MiB"] = double(bytes) / (1024.0 * 1024.0);
    data.Tables.Close();
}

} // namespace

BENCHMARK(BM_DigestAllActions)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
