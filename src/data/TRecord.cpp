#include "TRecord.h"

#include <cstring>

bool SameReadForm(const QVariant &a, const QVariant &b)
{
    if (a.isValid() != b.isValid())
        return false;
    if (!a.isValid())
        return true;
    const bool aBytes = a.typeId() == QMetaType::QByteArray, bBytes = b.typeId() == QMetaType::QByteArray;
    if (aBytes && bBytes &&
        *static_cast<const QByteArray *>(a.constData()) == *static_cast<const QByteArray *>(b.constData()))
        return true;
    // Bytes that are not UTF-8 read as replacement characters, so bytes that
    // differ may still read the same.
    if (aBytes || bBytes)
        return ReadForm(a) == ReadForm(b);
    return a == b;
}

char *TRecordArena::Take(Fill &fill, size_t bytes)
{
    // Blocks of 64 KiB hold the many small pieces with no overhead each; a
    // large one gets a block of its own, so no block wastes much room.
    constexpr size_t kBlock = size_t(64) << 10;
    if (bytes > kBlock / 4) {
        blocks_.emplace_back(new char[bytes]);
        return blocks_.back().get();
    }
    if (fill.room - fill.used < bytes) {
        blocks_.emplace_back(new char[kBlock]);
        fill = {blocks_.back().get(), 0, kBlock};
    }
    char *at = fill.open + fill.used;
    fill.used += bytes;
    return at;
}

QByteArray TRecordArena::Hold(const char *text, int size)
{
    if (size <= 0)
        return text ? QByteArray(text, 0) : QByteArray();
    char *at = Take(texts_, size_t(size));
    std::memcpy(at, text, size_t(size));
    return QByteArray::fromRawData(at, size);
}

TRecordPtr TRecordArena::NewRecord(size_t fieldCount)
{
    static_assert(sizeof(TRecord) % alignof(QVariant) == 0 && alignof(TRecord) <= alignof(std::max_align_t));
    static_assert(sizeof(QVariant) % alignof(TRecord) == 0);
    char *at = Take(records_, sizeof(TRecord) + fieldCount * sizeof(QVariant));
    auto *values = reinterpret_cast<QVariant *>(at + sizeof(TRecord));
    std::uninitialized_default_construct_n(values, fieldCount);
    TRecordPtr record(new (at) TRecord, TRecordDelete{true});
    record->values_ = TValues(values, fieldCount);
    return record;
}
