#include "AppError.h"
#include "FuzzSupport.h"
#include "TDataModuleMain.h"
#include "TTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

// Opens a table file made of arbitrary bytes as each table of the program,
// with or without a rollback journal beside it. Whatever opens is written
// whole to a new file and read back, which must give the same values, and
// is changed and written again: a file that loaded and was written must load
// again with the change, and a write that was refused must leave it as it
// was.
//
// Input: byte 0 picks the table (low bits, modulo the seven tables) and
// whether a journal follows (bit 3). With a journal, bytes 1..4 give the
// length of the table file (little-endian, modulo what is left); the rest
// after it is the journal.

namespace {

constexpr int kTables = 7;

TTable *Tables[kTables] = {};

bool WriteBytes(const QString &path, const uint8_t *data, size_t size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size);
}

QList<QVariantList> Values(TTable &table)
{
    QList<QVariantList> rows;
    for (table.First(); !table.Eof(); table.Next()) {
        QVariantList row;
        for (int i = 0; i < table.FieldCount(); ++i)
            row << table.Fields(i).Value();
        rows << row;
    }
    return rows;
}

bool SameValues(const QList<QVariantList> &a, const QList<QVariantList> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype r = 0; r < a.size(); ++r)
        for (qsizetype f = 0; f < a[r].size(); ++f)
            if (a[r][f].isValid() != b[r][f].isValid() || (a[r][f].isValid() && a[r][f] != b[r][f]))
                return false;
    return true;
}

std::unique_ptr<TTable> Fresh(const TTable &like, const QString &fileName)
{
    auto table = std::make_unique<TTable>(like.TableName(), like.FieldDefs());
    table->SetFileName(fileName);
    return table;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    TDataModuleMain &dm = *InitFuzzContext(argc, argv, "fuzz_tablefile").data;
    TTable *all[kTables] = {dm.cdsAction,   dm.cdsActions,   dm.cdsActor,        dm.cdsLog,
                            dm.cdsDecision, dm.cdsStatement, dm.cdsActionsSearch};
    std::copy(std::begin(all), std::end(all), Tables);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    TFuzzContext &ctx = FuzzContext();
    const TTable &definition = *Tables[(data[0] & 7) % kTables];
    const bool withJournal = data[0] & 8;
    ++data, --size;
    size_t fileSize = size;
    if (withJournal) {
        if (size < 4)
            return 0;
        const uint32_t length =
            uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
        data += 4, size -= 4;
        fileSize = size ? length % (size + 1) : 0;
    }

    const QString file = ctx.dir->filePath(QStringLiteral("table"));
    const QString journal = file + QStringLiteral("-journal");
    const QString copy = ctx.dir->filePath(QStringLiteral("copy"));
    for (const QString &name : QDir(ctx.dir->path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(ctx.dir->filePath(name));
    if (!WriteBytes(file, data, fileSize))
        __builtin_trap();
    if (withJournal && !WriteBytes(journal, data + fileSize, size - fileSize))
        __builtin_trap();

    auto table = Fresh(definition, file);
    try {
        table->Open();
    } catch (const AppError &) {
        return 0; // refused: fine, as long as nothing went wrong on the way
    }
    const QList<QVariantList> loaded = Values(*table);

    // What was read is written whole and must read back the same.
    table->SaveToFile(copy);
    {
        auto reread = Fresh(definition, copy);
        reread->Open();
        if (!SameValues(Values(*reread), loaded))
            __builtin_trap();
    }

    // A small change is written in place (or whole, when the file is
    // damaged) and read back. A refused write leaves the file as it was, byte
    // for byte (SQLite may read a damaged file differently from one time to
    // the next; the bytes it holds do not change).
    const QByteArray original = FileBytes(file);
    try {
        table->AppendRecord({});
        table->Close();
    } catch (const AppError &) {
        if (FileBytes(file) != original)
            __builtin_trap();
        return 0;
    }
    auto reread = Fresh(definition, file);
    try {
        reread->Open();
    } catch (const AppError &) {
        __builtin_trap(); // it loaded, was written, and no longer loads
    }
    const QList<QVariantList> after = Values(*reread);
    if (after.size() != loaded.size() + 1 || !SameValues(after.mid(0, loaded.size()), loaded))
        __builtin_trap();
    return 0;
}
