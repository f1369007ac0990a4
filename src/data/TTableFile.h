#pragma once

#include "TTable.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

// One record of a table: its values in field order, its row in the file it
// came from (0: not in the file yet) and whether it changed since then.
struct TRecord {
    quint64 serial = 0;
    qint64 rowId = 0;
    bool dirty = false;
    std::vector<QVariant> values;
    // Result of the table's filter, valid while filterStamp equals the
    // table's filter generation.
    quint32 filterStamp = 0;
    bool passes = false;
};

using TRecords = std::vector<std::unique_ptr<TRecord>>;

// Reads and writes a table as a SQLite database holding that one table,
// its columns named after the fields, marked with the program's application
// id and format version. Every failure throws AppError with the reason.
class TTableFile {
public:
    static constexpr int kFormatVersion = 1;

    TTableFile(const QString &tableName, const QList<TFieldDef> &fields);

    // Reads every record in file order. Never creates or changes the file;
    // refuses a file that is not such a database, holds another table or
    // layout, or has a newer format version.
    TRecords Load(const QString &fileName) const;

    // Writes a complete new file beside fileName and renames it over the old
    // one, so a crash or a full disk leaves the old file or the new one.
    // Assigns row ids 1..n to the records.
    void WriteAll(const QString &fileName, const TRecords &records) const;

    // Applies the changes since the file was read or written in one
    // transaction on the file itself: deletes deletedRowIds, updates the
    // changed records with a row id and inserts those without (assigning row
    // ids after maxRowId, in the given order). No journal is left once it
    // returns.
    void WriteChanges(const QString &fileName, const std::vector<TRecord *> &changed,
                      const std::vector<qint64> &deletedRowIds, qint64 &maxRowId) const;

private:
    QString CreateTableSql() const;
    QString tableName_;
    QList<TFieldDef> fields_;
};
