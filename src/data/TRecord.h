#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

// A stored value in its read form. Texts read from a file stay their UTF-8
// bytes in the record (see TRecordArena), which keeps opening lean and the
// texts never read (most memos) at half the memory; reading one decodes a
// copy and leaves the record as it is.
inline QVariant ReadForm(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(*static_cast<const QByteArray *>(stored.constData()));
    return stored;
}

// Whether two stored values read the same: a text's bytes and its decoded
// form are one value. Null differs from every value.
bool SameReadForm(const QVariant &a, const QVariant &b);

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

private:
    QVariant *data_ = nullptr;
    size_t size_ = 0;
    bool owned_ = false;
};

class TRecordStore;
class TRecordArena;
class TTableFile;

// One record of a table: its values in field order and, once it is in the
// file the table mirrors, its row there (any number SQLite allows, 0 and
// below included). Only the record store changes it; reading never does.
class TRecord {
public:
    TRecord() = default;
    TRecord(const TRecord &) = delete;
    TRecord &operator=(const TRecord &) = delete;

    // Identifies the record in its table for as long as it exists; the
    // records of a table are in the order of their serials.
    quint64 Serial() const { return serial_; }
    // Whether the record has a row in the file, and which.
    bool InFile() const { return inFile_; }
    qint64 RowId() const { return rowId_; }

    size_t FieldCount() const { return values_.size(); }
    const TValues &Values() const { return values_; }
    // The value as kept: null (invalid), int, QDate, QTime, QString, or the
    // UTF-8 bytes (QByteArray) of a text read from a file and not changed
    // since, which live in the store's arena.
    const QVariant &Stored(size_t field) const { return values_[field]; }
    // The value in its read form (texts as QString).
    QVariant Value(size_t field) const { return ReadForm(values_[field]); }
    bool IsNull(size_t field) const { return !values_[field].isValid(); }

    // Kept here for the table's view, which reads and writes it alone: its
    // filter's answer for the record, valid while filterStamp is the view's
    // filter generation.
    quint32 filterStamp = 0;
    bool passes = false;

private:
    friend class TRecordStore;
    friend class TRecordArena;
    friend class TTableFile;

    quint64 serial_ = 0;
    qint64 rowId_ = 0;
    bool inFile_ = false;
    TValues values_;
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
// record and per text. A text not yet changed is a QByteArray over its bytes
// here (QByteArray::fromRawData), so the arena must outlive every record
// loaded with it and every value taken from one; blocks never move.
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

// A record as the code above the data layer reads it: its values, never
// changed through here. Valid while its table holds the record unchanged
// (until the table next changes).
class TRecordView {
public:
    TRecordView() = default;
    explicit TRecordView(const TRecord *record) : record_(record) {}

    bool IsValid() const { return record_ != nullptr; }
    int FieldCount() const { return record_ ? int(record_->FieldCount()) : 0; }
    bool IsNull(int field) const { return record_->IsNull(size_t(field)); }
    // The value in its read form: null (invalid), int, QDate, QTime or
    // QString.
    QVariant Value(int field) const { return record_->Value(size_t(field)); }
    // The value as stored, without a copy: as Value gives it, or the UTF-8
    // bytes (QByteArray) of a text read from a file and not changed since.
    // A reader that takes such bytes beyond the view's validity copies them.
    const QVariant &Stored(int field) const { return record_->Stored(size_t(field)); }

private:
    const TRecord *record_ = nullptr;
};
