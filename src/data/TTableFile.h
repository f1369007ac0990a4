#pragma once

#include "AppError.h"
#include "TRecord.h"
#include "TTable.h"

#include <QString>
#include <QVariant>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

// A file as it is on disk (size, times, inode); size -1 when it is missing.
// Equal stamps mean nobody changed the file in between.
struct TFileStamp {
    qint64 size = -1, mtimeNs = 0, ctimeNs = 0;
    quint64 inode = 0, device = 0;
    bool operator==(const TFileStamp &) const = default;
    static TFileStamp Of(const QString &fileName);
};

class TTableFile;

// The changes of one table file to be written in place, each naming its
// row: the rows removed, the rows whose cells `fields` take the record's
// values (every other cell stays as the file holds it), and the new records,
// which take the row ids after maxRowId in this order. The writer gives the
// row ids it used for the new records in insertedRowIds.
struct TFileChanges {
    struct Update {
        qint64 rowId = 0;
        const TRecord *record = nullptr;
        std::vector<int> fields;
    };
    QString fileName;
    const TTableFile *file = nullptr;
    std::vector<qint64> deleted;
    std::vector<Update> updated;
    std::vector<const TRecord *> inserted;
    qint64 maxRowId = 0;
    std::vector<qint64> insertedRowIds;
};

// A table file that could not be read or written. message() names the file
// and the reason; Cause() is the reason alone, and Busy() tells that another
// program kept the file in use for longer than the wait.
class TTableFileError : public AppError {
public:
    TTableFileError(const QString &message, const QString &fileName, const QString &reason, bool busy = false)
        : AppError(message, fileName, reason), busy_(busy)
    {
    }
    bool Busy() const { return busy_; }

private:
    bool busy_;
};

// The error of a table file that could not be read because of `cause`:
// "Cannot read "<file>": <cause>.", busy when the cause is.
TTableFileError ReadFailure(const QString &fileName, const AppError &cause);

// Reads and writes a table as a SQLite database holding that one table,
// its columns named after the fields, marked with the program's application
// id and format version. Every failure throws AppError with the reason.
class TTableFile {
public:
    static constexpr int kFormatVersion = 1;

    TTableFile(const QString &tableName, const QList<TFieldDef> &fields);

    // Reads every record in file order. Never creates or changes the file;
    // refuses a file that is not such a database, holds another table or
    // layout, or has a newer format version. The records are made in
    // `arena`, their texts kept there as UTF-8 bytes (see ReadForm).
    TRecords Load(const QString &fileName, TRecordArena &arena) const;

    // Writes a complete new file beside fileName and renames it over the old
    // one, so a crash or a full disk leaves the old file or the new one. The
    // records take the rows 1..n in their order.
    void WriteAll(const QString &fileName, const std::vector<const TRecord *> &records) const;
    // Writes the records as the whole content of newFile, an empty file that
    // nobody uses yet, synced to the disk; rows 1..n as WriteAll.
    void WriteNew(const QString &newFile, const std::vector<const TRecord *> &records) const;

    // Writes the changes of several table files in place in one transaction
    // (the first file holds it and the others are attached): every file
    // takes its changes or none does, also across a crash, and no journal is
    // left once it returns. Each file's schema is checked again first, and
    // every row removed or updated must be there: a file that no longer
    // holds one is refused. The records are not changed; the row ids given
    // to new ones are in insertedRowIds once all is written.
    static void WriteChangesTogether(std::vector<TFileChanges> &files);

    // Whether the file's structure is sound (SQLite's quick check); when not,
    // problem says what is wrong. Throws when the file cannot be read.
    static bool Intact(const QString &fileName, QString *problem);

private:
    QString CreateTableSql() const;
    QString tableName_;
    QList<TFieldDef> fields_;
};
