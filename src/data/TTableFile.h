#pragma once

#include "AppError.h"
#include "TTable.h"

#include <QSet>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <memory>
#include <utility>
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

// The values of a record in field order, in one array: on the heap, or in
// place after a record read from a file (see TRecordArena), which spares
// opening an allocation per record.
class TValues {
public:
    TValues() = default;
    // `count` null values on the heap.
    explicit TValues(size_t count) : data_(count ? new QVariant[count] : nullptr), size_(count), owned_(true)
    {
    }
    // Values already made at `values`, whose memory someone else owns.
    TValues(QVariant *values, size_t count) : data_(values), size_(count), owned_(false) {}
    TValues(const TValues &other) : TValues(other.size_) { std::copy(other.begin(), other.end(), data_); }
    TValues(TValues &&other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          owned_(other.owned_)
    {
    }
    TValues &operator=(TValues other) noexcept
    {
        swap(*this, other);
        return *this;
    }
    ~TValues()
    {
        if (owned_)
            delete[] data_;
        else
            std::destroy_n(data_, size_);
    }
    friend void swap(TValues &a, TValues &b) noexcept
    {
        std::swap(a.data_, b.data_);
        std::swap(a.size_, b.size_);
        std::swap(a.owned_, b.owned_);
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    QVariant &operator[](size_t index) { return data_[index]; }
    const QVariant &operator[](size_t index) const { return data_[index]; }
    QVariant *begin() { return data_; }
    QVariant *end() { return data_ + size_; }
    const QVariant *begin() const { return data_; }
    const QVariant *end() const { return data_ + size_; }
    bool operator==(const TValues &other) const
    {
        return std::equal(begin(), end(), other.begin(), other.end());
    }

private:
    QVariant *data_ = nullptr;
    size_t size_ = 0;
    bool owned_ = false;
};

// One record of a table: its values in field order and, once it is in the
// file the table mirrors, its row there (any number SQLite allows, 0 and
// below included).
struct TRecord {
    quint64 serial = 0;
    qint64 rowId = 0;
    // Read through Value(); a text may still hold its undecoded bytes.
    mutable TValues values;
    // Result of the table's filter, valid while filterStamp equals the
    // table's filter generation.
    quint32 filterStamp = 0;
    bool passes = false;
    bool inFile = false; // rowId is its row in the file

    const QVariant &Value(size_t field) const { return ReadValue(values[field]); }
    // Every value in its read form, so whole records compare by value.
    void DecodeAll() const
    {
        for (QVariant &value : values)
            ReadValue(value);
    }
};

// Deletes a record on the heap, or ends one made in a TRecordArena, whose
// memory goes with the arena.
struct TRecordDelete {
    bool inArena = false;
    void operator()(TRecord *record) const
    {
        if (inArena)
            record->~TRecord();
        else
            delete record;
    }
};
using TRecordPtr = std::unique_ptr<TRecord, TRecordDelete>;
using TRecords = std::vector<TRecordPtr>;

// The records of a loaded table with their values, and the UTF-8 bytes of
// their texts, kept together in large blocks instead of one allocation per
// record and per text. A text not yet read is a QByteArray over its bytes
// here (QByteArray::fromRawData), so the arena must outlive every record
// loaded with it; blocks never move.
class TRecordArena {
public:
    // A QByteArray over a copy of the bytes that stays valid while the arena
    // lives.
    QByteArray Hold(const char *text, int size);
    // A record with `fieldCount` null values right after it, valid while the
    // arena lives; it is ended by TRecordDelete{true}.
    TRecordPtr NewRecord(size_t fieldCount);
    void Clear() { *this = TRecordArena(); }

private:
    // Blocks being filled, one for texts and one for records (kept aligned).
    struct Fill {
        char *open = nullptr;
        size_t used = 0, room = 0;
    };
    char *Take(Fill &fill, size_t bytes);

    std::vector<std::unique_ptr<char[]>> blocks_;
    Fill texts_, records_;
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
    // The records are some of the file's only (read by their values, see
    // TRecordPatch): the file takes their changes but is never written whole
    // from them.
    bool partial = false;
    // The file's structure was checked, or the file written whole, since it
    // was read: writing into a damaged file can make all of it unreadable.
    bool checked = false;
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

class TTableFile;

// The changes of one table file to be written in place: the records changed
// since it was read or written (those not in the file yet are new and take
// the row ids after maxRowId, in this order) and the row ids removed. The
// writer fills in the row ids it gave the new records.
struct TFileChanges {
    QString fileName;
    const TTableFile *file = nullptr;
    std::vector<TRecord *> changed;
    std::vector<qint64> deletedRowIds;
    qint64 maxRowId = 0;
    std::vector<std::pair<TRecord *, qint64>> inserted;
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
    // `arena`, their texts kept there as UTF-8 bytes until first read (see
    // ReadValue).
    TRecords Load(const QString &fileName, TRecordArena &arena) const;

    // Writes a complete new file beside fileName and renames it over the old
    // one, so a crash or a full disk leaves the old file or the new one.
    // Assigns row ids 1..n to the records.
    void WriteAll(const QString &fileName, const TRecords &records) const;
    // Writes the records as the whole content of newFile, an empty file that
    // nobody uses yet, synced to the disk. Assigns row ids 1..n.
    void WriteNew(const QString &newFile, const TRecords &records) const;

    // Writes the changes of several table files in place in one transaction
    // (the first file holds it and the others are attached): every file
    // takes its changes or none does, also across a crash, and no journal is
    // left once it returns. Each file's schema is checked again first. The
    // new records get their row ids when all is written.
    static void WriteChangesTogether(std::vector<TFileChanges> &files);

    // Whether the file's structure is sound (SQLite's quick check); when not,
    // problem says what is wrong. Throws when the file cannot be read.
    static bool Intact(const QString &fileName, QString *problem);

private:
    QString CreateTableSql() const;
    QString tableName_;
    QList<TFieldDef> fields_;
};
