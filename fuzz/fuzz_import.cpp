#include "ActionExport.h"
#include "AppError.h"
#include "TDataModuleMain.h"

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

struct Context {
    QCoreApplication *app = nullptr;
    TDataModuleMain *importer = nullptr;
    TDataModuleMain *reader = nullptr;
    QTemporaryDir *dir = nullptr;
};

Context &Ctx()
{
    static Context *context = new Context;
    return *context;
}

QByteArray Exported(TDataModuleMain &data)
{
    QByteArray json;
    ExportJson(data, [&](const char *bytes, size_t size) { json.append(bytes, qsizetype(size)); });
    return json;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Context &ctx = Ctx();
    ctx.app = new QCoreApplication(*argc, *argv);
    ctx.reader = new TDataModuleMain;
    ctx.importer = new TDataModuleMain;
    ctx.dir = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                  ? new QTemporaryDir(QStringLiteral("/dev/shm/fuzz_import-XXXXXX"))
                  : new QTemporaryDir;
    std::atexit([] { delete Ctx().dir; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Context &ctx = Ctx();
    for (const QString &name : QDir(ctx.dir->path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(ctx.dir->filePath(name));
    const QString actFile = ctx.dir->filePath(QStringLiteral("Imported.act"));
    TTables &tables = ctx.importer->Tables;
    QByteArray imported;
    {
        TChangeScope scope(tables);
        try {
            tables.Open(actFile, true);
            ImportJson(*ctx.importer, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
            scope.Commit();
            imported = Exported(*ctx.importer);
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
    TTables &reread = ctx.reader->Tables;
    try {
        reread.Open(actFile, false);
    } catch (const AppError &) {
        __builtin_trap(); // imported and written, and it does not open
    }
    if (Exported(*ctx.reader) != imported)
        __builtin_trap();
    reread.Close();
    reread.Reset();
    return 0;
}
