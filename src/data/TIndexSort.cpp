#include "TIndexSort.h"

#include "PrefetchAhead.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <utility>

// Sorting works on small items holding a few leading units of the key,
// packed into two words so that comparing the words never contradicts
// Compare: numbers biased to unsigned, text as 17-bit UTF-16 units plus
// one (the order QString::compare uses; padding sorts before any unit).
// Runs of equal words are sorted again on the next units of the text, so
// each text is read a few units at a time instead of in every comparison.
struct TIndexSort::SortItem : SortItemWords {
    quint32 position = 0; // in the records, which are in order of insertion
    bool exact = false;   // the words hold the whole key
};

namespace {
constexpr int kUnitsPerWord = 3;
constexpr int kMaxLevels = 64;
} // namespace

TIndexSort::TIndexSort(std::vector<int> fields, std::vector<bool> text, bool descending, bool caseInsensitive)
    : fields_(std::move(fields)), text_(std::move(text)), descending_(descending),
      caseInsensitive_(caseInsensitive)
{
}

const std::vector<TIndexSort::ColumnValue> &TIndexSort::Column(int field)
{
    if (columnField_ != field) {
        const size_t n = order_.size();
        column_.resize(n);
        // The records lie in the order of the file, so walking them in
        // another order would wait on memory at every one: each record, then
        // its value, is asked for some steps ahead.
        for (size_t i = 0; i < n; ++i) {
            if (i + 2 * kPrefetchAhead < n)
                __builtin_prefetch(order_[i + 2 * kPrefetchAhead]);
            if (i + kPrefetchAhead < n)
                __builtin_prefetch(&order_[i + kPrefetchAhead]->Stored(size_t(field)));
            const QVariant &value = order_[i]->Stored(size_t(field));
            column_[i] = value.isValid() ? ColumnValue{StoredNumber(value), true} : ColumnValue{};
        }
        columnField_ = field;
    }
    return column_;
}

namespace {

// What a number, date or time sorts by; false for null.
bool KeyNumber(const QVariant &value, qint64 &number)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return false;
    // Read in place: a conversion through QVariant costs more than the
    // rest of the key.
    case QMetaType::QDate:
        number = static_cast<const QDate *>(value.constData())->toJulianDay();
        return true;
    case QMetaType::QTime:
        number = static_cast<const QTime *>(value.constData())->msecsSinceStartOfDay();
        return true;
    default:
        number = StoredNumber(value);
        return true;
    }
}

} // namespace

TKey TIndexSort::MakeKey(const TValues &values, int count) const
{
    TKey key;
    const int n = std::min(count < 0 ? int(fields_.size()) : count, kMaxKeyParts);
    for (int i = 0; i < n; ++i) {
        const QVariant value = ReadForm(values[size_t(fields_[size_t(i)])]);
        TKeyPart &part = key[size_t(i)];
        if (!text_[size_t(i)])
            KeyNumber(value, part.number);
        else if (value.isValid())
            part.text = caseInsensitive_ ? value.toString().toCaseFolded() : value.toString();
    }
    return key;
}

int TIndexSort::Compare(const TKey &a, const TKey &b, int count) const
{
    for (int i = 0; i < count; ++i) {
        int c;
        const TKeyPart &x = a[size_t(i)], &y = b[size_t(i)];
        if (text_[size_t(i)])
            c = QString::compare(x.text, y.text);
        else
            c = x.number < y.number ? -1 : (x.number > y.number ? 1 : 0);
        if (c != 0)
            return descending_ ? -c : c;
    }
    return 0;
}

int TIndexSort::Parts() const
{
    return std::min(int(fields_.size()), kMaxKeyParts);
}

bool TIndexSort::LessRecord(const TRecord *a, const TRecord *b) const
{
    const int c = Compare(MakeKey(a->Values()), MakeKey(b->Values()), Parts());
    return c != 0 ? c < 0 : a->Serial() < b->Serial();
}

// Where a record with this key and serial belongs in the order.
size_t TIndexSort::Position(const TKey &key, quint64 serial) const
{
    const int parts = Parts();
    return size_t(std::lower_bound(order_.begin(), order_.end(), key,
                                   [&](TRecord *record, const TKey &probe) {
                                       const int c = Compare(MakeKey(record->Values()), probe, parts);
                                       return c != 0 ? c < 0 : record->Serial() < serial;
                                   }) -
                  order_.begin());
}

void TIndexSort::Add(TRecord *record)
{
    columnField_ = -1;
    const size_t at = Position(MakeKey(record->Values()), record->Serial());
    order_.insert(order_.begin() + qsizetype(at), record);
}

void TIndexSort::Remove(TRecord *record, const TValues &values)
{
    columnField_ = -1;
    size_t at = Position(MakeKey(values), record->Serial());
    if (at >= order_.size() || order_[at] != record) // keys out of step: find it plainly
        at = size_t(std::find(order_.begin(), order_.end(), record) - order_.begin());
    if (at < order_.size())
        order_.erase(order_.begin() + qsizetype(at));
}

namespace {

// ASCII text needs no decoding: each byte is one UTF-16 unit.
bool IsAscii(const QByteArray &bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

TIndexSort::KeyView TIndexSort::MakeView(const TValues &values, std::vector<QString> &held) const
{
    KeyView key;
    for (int i = 0; i < Parts(); ++i) {
        const QVariant &value = values[size_t(fields_[size_t(i)])];
        KeyView::Part &part = key.parts[size_t(i)];
        if (!text_[size_t(i)]) {
            KeyNumber(value, part.number);
            continue;
        }
        if (!value.isValid())
            continue;
        if (value.typeId() == QMetaType::QByteArray) {
            const QByteArray &bytes = *static_cast<const QByteArray *>(value.constData());
            if (IsAscii(bytes)) {
                part.data = bytes.constData();
                part.size = bytes.size();
                part.bytes = true;
                part.fold = caseInsensitive_;
                continue;
            }
            // Decoded for the sort alone; the record keeps its bytes.
            held.push_back(QString::fromUtf8(bytes));
            if (caseInsensitive_)
                held.back() = std::move(held.back()).toCaseFolded();
        } else if (caseInsensitive_) {
            held.push_back(value.toString().toCaseFolded());
        } else {
            held.push_back(value.toString()); // shares the record's text
        }
        part.data = held.back().utf16();
        part.size = held.back().size();
    }
    return key;
}

int TIndexSort::CompareViews(const KeyView &a, const KeyView &b) const
{
    for (int i = 0; i < Parts(); ++i) {
        const KeyView::Part &x = a.parts[size_t(i)], &y = b.parts[size_t(i)];
        int c = 0;
        if (text_[size_t(i)]) {
            const qsizetype n = std::min(x.size, y.size);
            for (qsizetype k = 0; k < n && c == 0; ++k) {
                const char16_t u = x.Unit(k), v = y.Unit(k);
                c = u < v ? -1 : (u > v ? 1 : 0);
            }
            if (c == 0)
                c = x.size < y.size ? -1 : (x.size > y.size ? 1 : 0);
        } else {
            c = x.number < y.number ? -1 : (x.number > y.number ? 1 : 0);
        }
        if (c != 0)
            return descending_ ? -c : c;
    }
    return 0;
}

// Packs text units from `from` into words[word..1]; true when the text ends
// within them.
bool TIndexSort::PackText(const KeyView::Part &text, qsizetype from, quint64 *words, int word)
{
    const qsizetype room = qsizetype(kUnitsPerWord) * (2 - word);
    const qsizetype n = std::clamp<qsizetype>(text.size - from, 0, room);
    for (qsizetype k = 0; k < n; ++k)
        words[word + k / kUnitsPerWord] |= quint64(text.Unit(from + k) + 1u)
                                           << (34 - 17 * (k % kUnitsPerWord));
    return text.size - from <= room;
}

void TIndexSort::Finish(SortItem &item, const quint64 *words, bool exact) const
{
    item.high = descending_ ? ~words[0] : words[0];
    item.low = descending_ ? ~words[1] : words[1];
    item.exact = exact;
}

void TIndexSort::PackFirst(SortItem &item, const KeyView &key, int parts) const
{
    quint64 words[2] = {0, 0};
    int word = 0;
    bool exact = true;
    for (int i = 0; i < parts && exact; ++i) {
        const KeyView::Part &part = key.parts[size_t(i)];
        if (word >= 2) {
            exact = false;
        } else if (text_[size_t(i)]) {
            exact = PackText(part, 0, words, word);
            // Room for at least one padding unit, which ends the text
            // before the next part.
            word += int(part.size / kUnitsPerWord) + 1;
        } else {
            words[word++] = quint64(part.number) ^ (quint64(1) << 63);
        }
    }
    Finish(item, words, exact);
}

// Only a last text part after whole numbers continues at a fixed unit.
int TIndexSort::TextStartWord(int parts) const
{
    if (!text_[size_t(parts - 1)] || parts > 2)
        return -1;
    for (int i = 0; i < parts - 1; ++i)
        if (text_[size_t(i)])
            return -1;
    return parts - 1;
}

void TIndexSort::PackLevel(SortItem &item, const KeyView &key, int parts, int startWord, int level) const
{
    const qsizetype from = qsizetype(kUnitsPerWord) * (2 - startWord + 2 * (level - 1));
    quint64 words[2] = {0, 0};
    Finish(item, words, PackText(key.parts[size_t(parts - 1)], from, words, 0));
}

namespace {

bool WordsLess(const TIndexSort::SortItemWords &a, const TIndexSort::SortItemWords &b)
{
    return a.high != b.high ? a.high < b.high : a.low < b.low;
}

} // namespace

// Sorts items by their words, ties in order of position, given them in
// order of position. A file is often already in the order, or in its
// reverse (a descending index over records added in ascending order), which
// one pass finds; otherwise a radix sort over the bytes of the words that
// differ, which is stable and so keeps ties in order of position.
void TIndexSort::SortItems(SortItem *begin, SortItem *end)
{
    const size_t n = size_t(end - begin);
    if (n < 2)
        return;
    bool ascending = true, descending = true;
    for (size_t i = 1; i < n && (ascending || descending); ++i) {
        if (WordsLess(begin[i], begin[i - 1]))
            ascending = false;
        if (WordsLess(begin[i - 1], begin[i]))
            descending = false;
    }
    if (ascending)
        return;
    if (descending) {
        std::reverse(begin, end);
        // Ties came out last first: back to order of position.
        for (SortItem *run = begin; run != end;) {
            SortItem *next = run + 1;
            while (next != end && next->high == run->high && next->low == run->low)
                ++next;
            std::reverse(run, next);
            run = next;
        }
        return;
    }
    constexpr size_t kRadixFrom = 64;
    if (n < kRadixFrom) {
        std::sort(begin, end, [](const SortItem &a, const SortItem &b) {
            return WordsLess(a, b) || (!WordsLess(b, a) && a.position < b.position);
        });
        return;
    }
    // Byte d of the 128-bit key, least significant first.
    const auto digit = [](const SortItem &item, int d) {
        return unsigned((d < 8 ? item.low >> (8 * d) : item.high >> (8 * (d - 8))) & 0xFF);
    };
    std::vector<std::array<size_t, 256>> counts(16);
    for (const SortItem *item = begin; item != end; ++item)
        for (int d = 0; d < 16; ++d)
            ++counts[size_t(d)][digit(*item, d)];
    std::vector<SortItem> buffer(n);
    SortItem *from = begin, *to = buffer.data();
    for (int d = 0; d < 16; ++d) {
        std::array<size_t, 256> &count = counts[size_t(d)];
        if (count[digit(*from, d)] == n) // every item has this byte
            continue;
        size_t at = 0;
        for (size_t &c : count)
            at += std::exchange(c, at);
        for (const SortItem *item = from; item != from + n; ++item)
            to[count[digit(*item, d)]++] = *item;
        std::swap(from, to);
    }
    if (from != begin)
        std::copy(from, from + n, begin);
}

void TIndexSort::SortRange(SortItem *begin, SortItem *end, const std::vector<KeyView> &keys, int parts,
                           int startWord, int level) const
{
    SortItems(begin, end);
    for (SortItem *run = begin; run != end;) {
        SortItem *next = run + 1;
        bool exact = run->exact;
        for (; next != end && next->high == run->high && next->low == run->low; ++next)
            exact = exact && next->exact;
        // Equal exact words are equal keys, already in order of insertion.
        if (next - run > 1 && !exact) {
            if (startWord >= 0 && level < kMaxLevels) {
                for (SortItem *item = run; item != next; ++item)
                    PackLevel(*item, keys[item->position], parts, startWord, level + 1);
                SortRange(run, next, keys, parts, startWord, level + 1);
            } else {
                std::sort(run, next, [&](const SortItem &a, const SortItem &b) {
                    const int c = CompareViews(keys[a.position], keys[b.position]);
                    return c != 0 ? c < 0 : a.position < b.position;
                });
            }
        }
        run = next;
    }
}

// Asks for the memory of the key values of the record `at` (and of its
// texts' bytes, `textAt`) a few steps before a walk over the records needs
// them; the walk otherwise waits on memory at every record.
void TIndexSort::Prefetch(const TRecords &records, size_t at) const
{
    const size_t n = records.size();
    if (at + 2 * kPrefetchAhead < n)
        __builtin_prefetch(records[at + 2 * kPrefetchAhead].get());
    if (at + kPrefetchAhead < n)
        for (int part = 0; part < Parts(); ++part)
            __builtin_prefetch(&records[at + kPrefetchAhead]->Stored(size_t(fields_[size_t(part)])));
    if (at + kPrefetchAhead / 2 < n)
        for (int part = 0; part < Parts(); ++part) {
            const QVariant &value = records[at + kPrefetchAhead / 2]->Stored(size_t(fields_[size_t(part)]));
            if (text_[size_t(part)] && value.typeId() == QMetaType::QByteArray)
                __builtin_prefetch(static_cast<const QByteArray *>(value.constData())->constData());
        }
}

void TIndexSort::Build(const TRecords &records)
{
    columnField_ = -1;
    const int parts = Parts();
    order_.resize(records.size());
    if (parts == 0) {
        // Order of insertion.
        for (size_t i = 0; i < records.size(); ++i)
            order_[i] = records[i].get();
        return;
    }
    std::vector<SortItem> items(records.size());
    std::vector<KeyView> keys;
    const auto fillOrder = [&] {
        for (size_t i = 0; i < items.size(); ++i) {
            if (i + 2 * kPrefetchAhead < items.size())
                __builtin_prefetch(&records[items[i + 2 * kPrefetchAhead].position]);
            order_[i] = records[items[i].position].get();
        }
    };
    if (std::none_of(text_.begin(), text_.begin() + parts, [](bool text) { return text; })) {
        // Numbers only: the words hold every key whole, so the sort needs
        // no keys beside them.
        for (size_t i = 0; i < records.size(); ++i) {
            Prefetch(records, i);
            quint64 words[2] = {0, 0};
            for (int part = 0; part < parts; ++part) {
                qint64 number = std::numeric_limits<qint64>::min();
                KeyNumber(records[i]->Stored(size_t(fields_[size_t(part)])), number);
                words[part] = quint64(number) ^ (quint64(1) << 63);
            }
            items[i].position = quint32(i);
            Finish(items[i], words, true);
        }
        SortRange(items.data(), items.data() + items.size(), keys, parts, -1, 0);
        fillOrder();
        return;
    }
    keys.reserve(records.size());
    std::vector<QString> held; // texts decoded or folded for the sort
    for (size_t i = 0; i < records.size(); ++i) {
        Prefetch(records, i);
        keys.push_back(MakeView(records[i]->Values(), held));
        items[i].position = quint32(i);
        PackFirst(items[i], keys.back(), parts);
    }
    SortRange(items.data(), items.data() + items.size(), keys, parts, TextStartWord(parts), 0);
    fillOrder();
}
