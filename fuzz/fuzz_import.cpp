#include "ActionExport.h"
#include "AppError.h"
#include "FuzzSupport.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Imports arbitrary bytes as a json export into a new Action File, as
// `dravelin-cli import` does. What is imported and written must open again,
// in another data module, and export the very same document.

namespace {

// Reads back what was imported, in a data module of its own.
TDataModuleMain *Reader = nullptr;

QByteArray Exported(TDataModuleMain &data)
{
    QByteArray json;
    ExportJson(data, [&](const char *bytes, size_t size) { json.append(bytes, qsizetype(size)); });
    return json;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    InitFuzzContext(argc, argv, "fuzz_import");
    Reader = new TDataModuleMain(Settings());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TFuzzContext &ctx = FuzzContext();
    for (const QString &name : QDir(ctx.dir->path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(ctx.dir->filePath(name));
    const QString actFile = ctx.dir->filePath(QStringLiteral("Imported.act"));
    TTables &tables = ctx.data->Tables;
    QByteArray imported;
    {
        TChangeScope scope(tables);
        try {
            tables.Open(actFile, true);
            ImportJson(*ctx.data, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
            scope.Commit();
            imported = Exported(*ctx.data);
            tables.Close();
        } catch (const AppError &) {
            for (TableMember member : kTableMembers)
                tables.Table(member)->Abandon();
            tables.Close();
        }
    }
    tables.Reset();
    if (imported.isNull()) {
        // A refused import writes nothing.
        if (QFileInfo::exists(actFile))
            __builtin_trap();
        return 0;
    }
    TTables &reread = Reader->Tables;
    try {
        reread.Open(actFile, false);
    } catch (const AppError &) {
        __builtin_trap(); // imported and written, and it does not open
    }
    if (Exported(*Reader) != imported)
        __builtin_trap();
    reread.Close();
    reread.Reset();
    return 0;
}
