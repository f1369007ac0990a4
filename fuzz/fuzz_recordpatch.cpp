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
#include <optional>

// Reads and changes a few records of a table file made of arbitrary bytes
// through the narrow record reader and writer, as add, set and resolve of
// dravelin-cli do, and holds them to what a whole load of the file gives:
// the highest number of a field, and the records whose field holds a value,
// must be those of the whole load; then the first record read is edited and
// one added, and after a write that reported success the file must load
// whole as before with just that change. A refused write must leave the file
// as it was, byte for byte.
//
// Input: byte 0 picks the table (modulo the six of an Action File), byte 1
// the field to read by, byte 2 the length of the value looked for (the bytes
// after it); the rest is the table file.

namespace {

constexpr int kTables = 6;

TTable *Tables[kTables] = {};

using TRow = std::vector<QVariant>;

// The records of fileName in file order, their values in read form;
// nothing when the file does not load, why in error.
std::optional<std::vector<TRow>> LoadWhole(const TTable &like, const QString &fileName,
                                           QString *error = nullptr)
{
    try {
        TRecordArena arena;
        const TRecords records = TTableFile(like.TableName(), like.FieldDefs()).Load(fileName, arena);
        std::vector<TRow> rows;
        for (const auto &record : records) {
            TRow &row = rows.emplace_back();
            for (size_t i = 0; i < record->FieldCount(); ++i)
                row.push_back(record->Value(i));
        }
        return rows;
    } catch (const AppError &failure) {
        if (error)
            *error = failure.message();
        return std::nullopt;
    }
}

bool SameRows(const std::vector<TRow> &a, const std::vector<TRow> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TRow &x, const TRow &y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const QVariant &v, const QVariant &w) {
            return v.isValid() == w.isValid() && (!v.isValid() || v == w);
        });
    });
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

// Whether a value read whole is what the narrow reader looks for: a number
// equal to it, a text equal to it (null reads as empty text), a date or time
// whose stored text is it.
bool Holds(const TFieldDef &field, const QVariant &value, const QVariant &wanted)
{
    if (field.type == ftInteger)
        return value.isValid() && value.toInt() == wanted.toInt();
    const QString text = wanted.toString();
    if (!value.isValid())
        return text.isEmpty();
    if (field.type == ftDate)
        return value.toDate().toString(Qt::ISODate) == text;
    if (field.type == ftTime)
        return value.toTime().toString(Qt::ISODate) == text;
    return value.toString() == text;
}

// The table's records in the order read, their values in read form.
std::vector<TRow> Rows(TTable &table)
{
    std::vector<TRow> rows;
    for (int row = 0; row < table.RecordCount(); ++row) {
        TRow &values = rows.emplace_back();
        for (int i = 0; i < table.FieldCount(); ++i)
            values.push_back(table.ValueAt(row, i));
    }
    return rows;
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
    const std::optional<std::vector<TRow>> before = LoadWhole(definition, file);
    // A damaged file may read differently from one time to the next; a
    // sound one must read as the whole load read it.
    bool intact = false;
    try {
        intact = before && TTableFile::Intact(file, nullptr);
    } catch (const AppError &) {
    }
    const QByteArray original = FileBytes(file);

    TTable table(definition.TableName(), definition.FieldDefs());
    const TFieldDef &def = table.FieldDefs()[field];
    const int text = TextField(table);
    const bool number = def.type == ftInteger;
    const QVariant wanted = number ? QVariant(value.toInt()) : QVariant(QString::fromUtf8(value));
    std::vector<TRow> expected;
    bool written = true;
    try {
        TRecordPatch patch(table, file);
        if (number) {
            const int highest = patch.MaxInteger(def.name, 0);
            if (intact) {
                std::optional<int> whole;
                for (const TRow &row : *before)
                    if (row[size_t(field)].isValid())
                        whole =
                            std::max(whole.value_or(row[size_t(field)].toInt()), row[size_t(field)].toInt());
                if (highest != whole.value_or(0))
                    Finding(QStringLiteral("highest %1 read alone, %2 in a whole load")
                                .arg(highest)
                                .arg(whole.value_or(0)));
            }
        }
        const int read = patch.Read(def.name, wanted);
        if (intact) {
            std::vector<TRow> matching;
            for (const TRow &row : *before)
                if (Holds(def, row[size_t(field)], wanted))
                    matching.push_back(row);
            if (!SameRows(Rows(table), matching))
                Finding(QStringLiteral("%1 records read alone, %2 in a whole load")
                            .arg(read)
                            .arg(matching.size()));
            expected = *before;
        }
        if (read > 0 && text >= 0) {
            table.First();
            table.Edit();
            table.Fields(text).SetAsString(QStringLiteral("edited"));
            table.Post();
            if (intact) {
                // The first record read is the first one in the file that
                // holds the value.
                const auto first = std::find_if(expected.begin(), expected.end(), [&](const TRow &row) {
                    return Holds(def, row[size_t(field)], wanted);
                });
                (*first)[size_t(text)] = QStringLiteral("edited");
            }
        }
        table.Append();
        if (text >= 0)
            table.Fields(text).SetAsString(QStringLiteral("added"));
        table.Post();
        if (intact) {
            TRow &added = expected.emplace_back(size_t(table.FieldCount()));
            if (text >= 0)
                added[size_t(text)] = QStringLiteral("added");
        }
        patch.Write();
    } catch (const AppError &error) {
        if (intact)
            Finding(QStringLiteral("a sound file that loads whole was refused: %1").arg(error.message()));
        written = false;
    }
    if (!written) {
        // Byte for byte: SQLite may read a damaged file differently from one
        // time to the next, the bytes it holds do not change.
        if (FileBytes(file) != original)
            Finding(QStringLiteral("a refused write changed it"));
        return 0;
    }
    if (!before)
        return 0;
    QString error;
    const std::optional<std::vector<TRow>> after = LoadWhole(definition, file, &error);
    if (!after)
        Finding(QStringLiteral("it loaded, was written and no longer loads: %1").arg(error));
    if (after->size() != before->size() + 1)
        Finding(
            QStringLiteral("%1 records before the write, %2 after").arg(before->size()).arg(after->size()));
    if (intact && !SameRows(*after, expected)) {
        // With no row id left after the highest the new row takes a free
        // one, anywhere in the file.
        std::vector<TRow> rest = *after;
        const auto added = std::find_if(rest.begin(), rest.end(),
                                        [&](const TRow &row) { return SameRows({row}, {expected.back()}); });
        if (added != rest.end())
            rest.erase(added);
        if (!SameRows(rest, std::vector<TRow>(expected.begin(), expected.end() - 1)))
            Finding(QStringLiteral("the file holds other records than the change gives"));
    }
    return 0;
}
