#pragma once

#include "TRecord.h"

#include <QString>
#include <array>
#include <limits>
#include <memory>
#include <vector>

// Sort key of one field: numbers and dates by value, text as stored or
// case-folded. Null sorts first.
struct TKeyPart {
    qint64 number = std::numeric_limits<qint64>::min();
    QString text;
};
// Indexes span at most two fields (date and time of the log order).
constexpr int kMaxKeyParts = 2;
using TKey = std::array<TKeyPart, kMaxKeyParts>;

// One named order of a table's records, kept up to date record by record
// while it is the order in use. The records are sorted by packed keys (see
// SortItem in the implementation); keys are computed again for the few
// comparisons of a search, so an index holds no copy of the data.
class TIndexSort {
public:
    // fields: the key fields; text: which of them are text fields.
    TIndexSort(std::vector<int> fields, std::vector<bool> text, bool descending, bool caseInsensitive);

    const std::vector<int> &Fields() const { return fields_; }
    const std::vector<TRecord *> &Order() const { return order_; }

    // Sorts all records (given in order of insertion).
    void Build(const TRecords &records);
    void Add(TRecord *record);
    // `values` are the record's values when it was added.
    void Remove(TRecord *record, const TValues &values);

    // The key of the first `count` index fields (all when negative).
    TKey MakeKey(const TValues &values, int count = -1) const;
    // Compares the first `count` parts of two keys in index direction.
    int Compare(const TKey &a, const TKey &b, int count) const;
    // Ties keep the order of insertion, so every order is deterministic.
    bool LessRecord(const TRecord *a, const TRecord *b) const;

    // One field's values along the order, so that a "FIELD = n" filter scans
    // an array instead of visiting every record; rebuilt after any change.
    struct ColumnValue {
        qint64 value = 0;
        bool present = false; // not null
    };
    const std::vector<ColumnValue> &Column(int field);

    // The packed leading units of a key (see SortItem in the implementation).
    struct SortItemWords {
        quint64 high = 0, low = 0;
    };

private:
    struct SortItem;
    // A key as Build reads it, without copies of the texts: a text part is the
    // UTF-8 bytes of an ASCII text not decoded yet (folded here when the index
    // ignores case, which for ASCII changes A-Z alone), or UTF-16 units, of the
    // record's text or of a decoded or folded copy held by Build.
    struct KeyView {
        struct Part {
            qint64 number = std::numeric_limits<qint64>::min();
            const void *data = nullptr;
            qsizetype size = 0;
            bool bytes = false;
            bool fold = false;

            char16_t Unit(qsizetype k) const
            {
                if (!bytes)
                    return static_cast<const char16_t *>(data)[k];
                const auto c = static_cast<const unsigned char *>(data)[k];
                return fold && c >= 'A' && c <= 'Z' ? char16_t(c + ('a' - 'A')) : char16_t(c);
            }
        };
        std::array<Part, kMaxKeyParts> parts;
    };

    KeyView MakeView(const TValues &values, std::vector<QString> &held) const;
    int CompareViews(const KeyView &a, const KeyView &b) const;
    static void SortItems(SortItem *begin, SortItem *end);
    void Prefetch(const TRecords &records, size_t at) const;
    int Parts() const;
    size_t Position(const TKey &key, quint64 serial) const;
    static bool PackText(const KeyView::Part &text, qsizetype from, quint64 *words, int word);
    void Finish(SortItem &item, const quint64 *words, bool exact) const;
    void PackFirst(SortItem &item, const KeyView &key, int parts) const;
    int TextStartWord(int parts) const;
    void PackLevel(SortItem &item, const KeyView &key, int parts, int startWord, int level) const;
    void SortRange(SortItem *begin, SortItem *end, const std::vector<KeyView> &keys, int parts, int startWord,
                   int level) const;

    std::vector<int> fields_;
    std::vector<bool> text_;
    bool descending_ = false;
    bool caseInsensitive_ = false;
    std::vector<TRecord *> order_;
    int columnField_ = -1;
    std::vector<ColumnValue> column_;
};
