#include "AppError.h"
#include "FuzzSupport.h"
#include "RecordPatch.h"
#include "TDataModuleMain.h"
#include "TTable.h"
#include "TTableFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>

// Changes a few records of a table file made of arbitrary bytes through the
// narrow record writer, as add, set and resolve of dravelin-cli do: reads the
// records whose field holds a value, edits the first one read and adds one.
// A file that loaded whole before must load whole again after a write that
// reported success, with the change in it; a refused write must leave the
// file as it was, byte for byte.
//
// Input: byte 0 picks the table (modulo the six of an Action File), byte 1
// the field to read by, byte 2 the length of the value looked for (the bytes
// after it); the rest is the table file.

namespace {

constexpr int kTables = 6;

TTable *Tables[kTables] = {};

// The records of fileName in file order, one text per record; false when
// the file does not load, why in error.
bool LoadWhole(const TTable &like, const QString &fileName, QStringList &rows, QString *error = nullptr)
{
    try {
        TRecordArena arena;
        const TRecords records = TTableFile(like.TableName(), like.FieldDefs()).Load(fileName, arena);
        rows.clear();
        for (const auto &record : records) {
            QString row;
            for (size_t i = 0; i < record->FieldCount(); ++i)
                row += record->Value(i).toString() + QLatin1Char('|');
            rows << row;
        }
        return true;
    } catch (const AppError &failure) {
        if (error)
            *error = failure.message();
        return false;
    }
}

// Stops the run on a finding, saying why.
[[noreturn]] void Finding(const QString &why)
{
    std::fprintf(stderr, "finding: %s\n", qPrintable(why));
    __builtin_trap();
}

// The first text field of the table, to edit.
int TextField(const TTable &table)
{
    for (int i = 0; i < table.FieldCount(); ++i)
        if (table.FieldDefs()[i].type == ftString || table.FieldDefs()[i].type == ftMemo)
            return i;
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    TDataModuleMain &dm = *InitFuzzContext(argc, argv, "fuzz_recordpatch").data;
    TTable *all[kTables] = {dm.cdsAction, dm.cdsActions,  dm.cdsActor,
                            dm.cdsLog,    dm.cdsDecision, dm.cdsStatement};
    std::copy(std::begin(all), std::end(all), Tables);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    TFuzzContext &ctx = FuzzContext();
    const TTable &definition = *Tables[data[0] % kTables];
    const int field = data[1] % definition.FieldCount();
    const size_t valueSize = std::min<size_t>(data[2], size - 3);
    const QByteArray value(reinterpret_cast<const char *>(data + 3), qsizetype(valueSize));
    data += 3 + valueSize;
    size -= 3 + valueSize;

    const QString file = ctx.dir->filePath(QStringLiteral("table"));
    for (const QString &name : QDir(ctx.dir->path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(ctx.dir->filePath(name));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            __builtin_trap();
    }
    QStringList before;
    const bool loaded = LoadWhole(definition, file, before);
    const QByteArray original = FileBytes(file);

    TTable table(definition.TableName(), definition.FieldDefs());
    const int text = TextField(table);
    const bool number = table.FieldDefs()[field].type == ftInteger;
    bool written = true;
    try {
        TRecordPatch patch(table, file);
        if (number)
            patch.MaxInteger(table.FieldDefs()[field].name, 0);
        const QVariant wanted = number ? QVariant(value.toInt()) : QVariant(QString::fromUtf8(value));
        const int read = patch.Read(table.FieldDefs()[field].name, wanted);
        if (read > 0 && text >= 0) {
            table.First();
            table.Edit();
            table.Fields(text).SetAsString(QStringLiteral("edited"));
            table.Post();
        }
        table.Append();
        if (text >= 0)
            table.Fields(text).SetAsString(QStringLiteral("added"));
        table.Post();
        patch.Write();
    } catch (const AppError &) {
        written = false;
    }
    if (!written) {
        // Byte for byte: SQLite may read a damaged file differently from one
        // time to the next, the bytes it holds do not change.
        if (FileBytes(file) != original)
            Finding(QStringLiteral("a refused write changed it"));
        return 0;
    }
    if (!loaded)
        return 0;
    QStringList after;
    QString error;
    if (!LoadWhole(definition, file, after, &error))
        Finding(QStringLiteral("it loaded, was written and no longer loads: %1").arg(error));
    if (after.size() != before.size() + 1)
        Finding(QStringLiteral("%1 records before the write, %2 after").arg(before.size()).arg(after.size()));
    return 0;
}
