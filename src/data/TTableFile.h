#pragma once

#include "TTable.h"

#include <QSet>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

// A stored value as it is read. Texts come from a file as their UTF-8 bytes,
// held in the table's text arena without a copy (see TTextArena), and are
// decoded on first read, which keeps opening lean and the texts never read
// (most memos) at half the memory.
inline const QVariant &ReadValue(QVariant &value)
{
    if (value.typeId() == QMetaType::QByteArray)
        value = QString::fromUtf8(value.toByteArray());
    return value;
}

// A stored number; Integer fields hold int, read here without a conversion.
inline qint64 StoredNumber(const QVariant &value)
{
    return value.typeId() == QMetaType::Int ? *static_cast<const int *>(value.constData())
                                            : value.toLongLong();
}

// One record of a table: its values in field order and its row in the file it
// came from (0: not in the file yet).
struct TRecord {
    quint64 serial = 0;
    qint64 rowId = 0;
    // Read through Value(); a text may still hold its undecoded bytes.
    mutable std::vector<QVariant> values;
    // Result of the table's filter, valid while filterStamp equals the
    // table's filter generation.
    quint32 filterStamp = 0;
    bool passes = false;

    const QVariant &Value(size_t field) const { return ReadValue(values[field]); }
    // Every value in its read form, so whole records compare by value.
    void DecodeAll() const
    {
        for (QVariant &value : values)
            ReadValue(value);
    }
};

using TRecords = std::vector<std::unique_ptr<TRecord>>;

// The UTF-8 bytes of the texts of a loaded table, kept together in large
// blocks instead of one allocation per text. A text not yet read is a
// QByteArray over its bytes here (QByteArray::fromRawData), so the arena
// must outlive every record loaded with it; blocks never move.
class TTextArena {
public:
    // A QByteArray over a copy of the bytes that stays valid while the arena
    // lives.
    QByteArray Hold(const char *text, int size);
    void Clear() { *this = TTextArena(); }

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    char *open_ = nullptr; // the block being filled
    size_t used_ = 0, room_ = 0;
};

// A file as it is on disk (size, times, inode); size -1 when it is missing.
// Equal stamps mean nobody changed the file in between.
struct TFileStamp {
    qint64 size = -1, mtimeNs = 0, ctimeNs = 0;
    quint64 inode = 0, device = 0;
    bool operator==(const TFileStamp &) const = default;
    static TFileStamp Of(const QString &fileName);
};

// What ties a table's records to the file they mirror: that file as it was
// when read or written, its highest row id, and the records added, edited
// or removed since, which a write of the changes alone needs.
struct TFileSync {
    bool hasData = false; // the records hold data of loadedFrom (also when inactive)
    QString loadedFrom;
    TFileStamp loadedStamp;
    qint64 maxRowId = 0;
    std::vector<qint64> deletedRowIds;
    QSet<TRecord *> changed;

    void Forget() { *this = TFileSync(); }
    // The records mirror fileName, unchanged on disk since.
    bool Mirrors(const QString &fileName) const
    {
        return hasData && loadedFrom == fileName && loadedStamp == TFileStamp::Of(fileName);
    }
    size_t ChangeCount() const { return deletedRowIds.size() + size_t(changed.size()); }
    // The records now mirror fileName as it is on disk.
    void Synced(const QString &fileName)
    {
        deletedRowIds.clear();
        changed.clear();
        hasData = true;
        loadedFrom = fileName;
        loadedStamp = TFileStamp::Of(fileName);
    }
};

// Reads and writes a table as a SQLite database holding that one table,
// its columns named after the fields, marked with the program's application
// id and format version. Every failure throws AppError with the reason.
class TTableFile {
public:
    static constexpr int kFormatVersion = 1;

    TTableFile(const QString &tableName, const QList<TFieldDef> &fields);

    // Reads every record in file order. Never creates or changes the file;
    // refuses a file that is not such a database, holds another table or
    // layout, or has a newer format version. Texts are kept as their UTF-8
    // bytes in `texts` until first read (see ReadValue).
    TRecords Load(const QString &fileName, TTextArena &texts) const;

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
