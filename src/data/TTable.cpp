#include "TTable.h"

#include "AppError.h"
#include "Formats.h"
#include "TTableFile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <limits>
#include <sys/stat.h>

namespace {

// Sort key of one field: numbers and dates by value, text as stored or
// case-folded. Null sorts first.
struct KeyPart {
    qint64 number = std::numeric_limits<qint64>::min();
    QString text;
};
// Indexes span at most two fields (date and time of the log order).
constexpr int kMaxKeyParts = 2;
using Key = std::array<KeyPart, kMaxKeyParts>;

// A date or time from a date-time, from typed text (blank is null) or from
// a value of its own type; text that does not parse is refused.
template <typename T>
T TemporalValue(const QVariant &value, T (QDateTime::*part)() const, T (*parse)(const QString &),
                const char *what)
{
    if (value.typeId() == QMetaType::QDateTime)
        return (value.toDateTime().*part)();
    if (value.typeId() != QMetaType::QString)
        return value.value<T>();
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return T();
    const T result = parse(text);
    if (!result.isValid())
        throw AppError(QStringLiteral("'%1' is not a valid %2").arg(value.toString(), QLatin1String(what)));
    return result;
}

} // namespace

struct TTable::IndexCache {
    std::vector<int> fields;
    std::vector<bool> text;
    bool descending = false;
    bool caseInsensitive = false;
    // The records sorted; keys are computed again for the few comparisons
    // of a search, so an index holds no copy of the data.
    std::vector<TRecord *> order;
    // One field's values along `order`, so that a "FIELD = n" filter scans
    // an array instead of visiting every record; rebuilt after any change.
    struct ColumnValue {
        qint64 value = 0;
        bool present = false; // not null
    };
    int columnField = -1;
    std::vector<ColumnValue> column;

    const std::vector<ColumnValue> &Column(int field)
    {
        if (columnField != field) {
            column.resize(order.size());
            for (size_t i = 0; i < order.size(); ++i) {
                const QVariant &value = order[i]->values[size_t(field)];
                column[i] = value.isValid() ? ColumnValue{value.toLongLong(), true} : ColumnValue{};
            }
            columnField = field;
        }
        return column;
    }

    Key MakeKey(const std::vector<QVariant> &values, int count = -1) const
    {
        Key key;
        const int n = std::min(count < 0 ? int(fields.size()) : count, kMaxKeyParts);
        for (int i = 0; i < n; ++i) {
            const QVariant &value = values[size_t(fields[size_t(i)])];
            KeyPart part;
            if (text[size_t(i)]) {
                if (value.isValid())
                    part.text = caseInsensitive ? value.toString().toCaseFolded() : value.toString();
            } else if (value.isValid()) {
                switch (value.typeId()) {
                case QMetaType::QDate:
                    part.number = value.toDate().toJulianDay();
                    break;
                case QMetaType::QTime:
                    part.number = value.toTime().msecsSinceStartOfDay();
                    break;
                default:
                    part.number = value.toLongLong();
                }
            }
            key[size_t(i)] = std::move(part);
        }
        return key;
    }
    // Compares the first `count` parts of two keys in index direction.
    int Compare(const Key &a, const Key &b, int count) const
    {
        for (int i = 0; i < count; ++i) {
            int c;
            const KeyPart &x = a[size_t(i)], &y = b[size_t(i)];
            if (text[size_t(i)])
                c = QString::compare(x.text, y.text);
            else
                c = x.number < y.number ? -1 : (x.number > y.number ? 1 : 0);
            if (c != 0)
                return descending ? -c : c;
        }
        return 0;
    }
    int Parts() const { return std::min(int(fields.size()), kMaxKeyParts); }
    // Ties keep the order of insertion, so every order is deterministic.
    bool LessRecord(TRecord *a, TRecord *b) const
    {
        const int c = Compare(MakeKey(a->values), MakeKey(b->values), Parts());
        return c != 0 ? c < 0 : a->serial < b->serial;
    }
    // Where a record with this key and serial belongs in `order`.
    size_t Position(const Key &key, quint64 serial) const
    {
        const int parts = Parts();
        return size_t(std::lower_bound(order.begin(), order.end(), key,
                                       [&](TRecord *record, const Key &probe) {
                                           const int c = Compare(MakeKey(record->values), probe, parts);
                                           return c != 0 ? c < 0 : record->serial < serial;
                                       }) -
                      order.begin());
    }
    void Add(TRecord *record)
    {
        columnField = -1;
        const size_t at = Position(MakeKey(record->values), record->serial);
        order.insert(order.begin() + qsizetype(at), record);
    }
    // `values` are the record's values when it was added.
    void Remove(TRecord *record, const std::vector<QVariant> &values)
    {
        columnField = -1;
        size_t at = Position(MakeKey(values), record->serial);
        if (at >= order.size() || order[at] != record) // keys out of step: find it plainly
            at = size_t(std::find(order.begin(), order.end(), record) - order.begin());
        if (at < order.size())
            order.erase(order.begin() + qsizetype(at));
    }
    // Sorting works on small items holding a few leading units of the key,
    // packed into two words so that comparing the words never contradicts
    // Compare: numbers biased to unsigned, text as 17-bit UTF-16 units plus
    // one (the order QString::compare uses; padding sorts before any unit).
    // Runs of equal words are sorted again on the next units of the text, so
    // each text is read a few units at a time instead of in every comparison.
    struct SortItem {
        quint64 high = 0, low = 0;
        quint32 position = 0; // in the records, which are in order of insertion
        bool exact = false;   // the words hold the whole key
    };
    static constexpr int kUnitsPerWord = 3;
    static constexpr int kMaxLevels = 64;
    // Packs text units from `from` into words[word..1]; true when the text
    // ends within them.
    static bool PackText(const QString &value, qsizetype from, quint64 *words, int word)
    {
        const qsizetype room = qsizetype(kUnitsPerWord) * (2 - word);
        const qsizetype n = std::clamp<qsizetype>(value.size() - from, 0, room);
        for (qsizetype k = 0; k < n; ++k)
            words[word + k / kUnitsPerWord] |= quint64(value[from + k].unicode() + 1u)
                                               << (34 - 17 * (k % kUnitsPerWord));
        return value.size() - from <= room;
    }
    void Finish(SortItem &item, const quint64 *words, bool exact) const
    {
        item.high = descending ? ~words[0] : words[0];
        item.low = descending ? ~words[1] : words[1];
        item.exact = exact;
    }
    void PackFirst(SortItem &item, const Key &key, int parts) const
    {
        quint64 words[2] = {0, 0};
        int word = 0;
        bool exact = true;
        for (int i = 0; i < parts && exact; ++i) {
            const KeyPart &part = key[size_t(i)];
            if (word >= 2) {
                exact = false;
            } else if (text[size_t(i)]) {
                exact = PackText(part.text, 0, words, word);
                // Room for at least one padding unit, which ends the text
                // before the next part.
                word += int(part.text.size() / kUnitsPerWord) + 1;
            } else {
                words[word++] = quint64(part.number) ^ (quint64(1) << 63);
            }
        }
        Finish(item, words, exact);
    }
    // Only a last text part after whole numbers continues at a fixed unit.
    int TextStartWord(int parts) const
    {
        if (!text[size_t(parts - 1)] || parts > 2)
            return -1;
        for (int i = 0; i < parts - 1; ++i)
            if (text[size_t(i)])
                return -1;
        return parts - 1;
    }
    void PackLevel(SortItem &item, const Key &key, int parts, int startWord, int level) const
    {
        const QString &value = key[size_t(parts - 1)].text;
        const qsizetype from = qsizetype(kUnitsPerWord) * (2 - startWord + 2 * (level - 1));
        quint64 words[2] = {0, 0};
        Finish(item, words, PackText(value, from, words, 0));
    }
    void SortRange(SortItem *begin, SortItem *end, const std::vector<Key> &keys, int parts, int startWord,
                   int level) const
    {
        std::sort(begin, end, [](const SortItem &a, const SortItem &b) {
            if (a.high != b.high)
                return a.high < b.high;
            if (a.low != b.low)
                return a.low < b.low;
            return a.position < b.position;
        });
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
                        const int c = Compare(keys[a.position], keys[b.position], parts);
                        return c != 0 ? c < 0 : a.position < b.position;
                    });
                }
            }
            run = next;
        }
    }
    void Build(const std::vector<std::unique_ptr<TRecord>> &records)
    {
        columnField = -1;
        const int parts = Parts();
        std::vector<Key> keys;
        keys.reserve(records.size());
        std::vector<SortItem> items(records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            keys.push_back(MakeKey(records[i]->values));
            items[i].position = quint32(i);
            PackFirst(items[i], keys.back(), parts);
        }
        if (parts > 0)
            SortRange(items.data(), items.data() + items.size(), keys, parts, TextStartWord(parts), 0);
        order.resize(records.size());
        for (size_t i = 0; i < items.size(); ++i)
            order[i] = records[items[i].position].get();
    }
};

const TFieldDef &TField::Def() const
{
    return table_->fields_[index_];
}
QVariant TField::Value() const
{
    return table_->CurrentValue(index_);
}
bool TField::IsNull() const
{
    return !table_->CurrentRef(index_).isValid();
}

QString TField::AsString() const
{
    const QVariant &value = table_->CurrentRef(index_);
    if (!value.isValid())
        return QString();
    switch (Def().type) {
    case ftDate:
        return FormatDate(value.toDate());
    case ftTime:
        return FormatTime(value.toTime());
    case ftInteger:
        return QString::number(value.toInt());
    default:
        return value.toString();
    }
}

int TField::AsInteger() const
{
    const QVariant &value = table_->CurrentRef(index_);
    if (!value.isValid())
        return 0;
    if (Def().type == ftInteger)
        return value.toInt();
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    if (!ok)
        throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(value.toString()));
    return number;
}

QDate TField::AsDate() const
{
    const QVariant &value = table_->CurrentRef(index_);
    if (Def().type == ftDate)
        return value.toDate();
    return value.isValid() ? ParseDate(value.toString()) : QDate();
}

QTime TField::AsTime() const
{
    const QVariant &value = table_->CurrentRef(index_);
    if (Def().type == ftTime)
        return value.toTime();
    return value.isValid() ? ParseTime(value.toString()) : QTime();
}

void TField::SetValue(const QVariant &value)
{
    table_->SetCurrentValue(index_, value);
}
void TField::SetAsString(const QString &value)
{
    SetValue(value);
}
void TField::SetAsInteger(int value)
{
    SetValue(value);
}
void TField::SetAsDate(const QDate &value)
{
    SetValue(value);
}
void TField::SetAsTime(const QTime &value)
{
    SetValue(value);
}
void TField::Clear()
{
    SetValue(QVariant());
}

TTable::TTable(const QString &name, QList<TFieldDef> fields, QList<TIndexDef> indexes, QObject *parent)
    : QObject(parent), name_(name), fields_(std::move(fields)), indexes_(std::move(indexes))
{
    setObjectName(name);
    for (int i = 0; i < fields_.size(); ++i) {
        fieldIndex_.insert(fields_[i].name, i);
        fieldIndex_.insert(fields_[i].name.toUpper(), i);
    }
}

TTable::~TTable() = default;

int TTable::FieldIndex(const QString &name) const
{
    const auto found = fieldIndex_.constFind(name);
    return found != fieldIndex_.cend() ? *found : fieldIndex_.value(name.toUpper(), -1);
}

TField TTable::FieldByName(const QString &name)
{
    const int index = FieldIndex(name);
    if (index < 0)
        throw AppError(QStringLiteral("%1: Field '%2' not found").arg(name_, name));
    return TField(this, index);
}

void TTable::CheckActive() const
{
    if (!active_)
        throw AppError(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(name_));
}

void TTable::SetFileName(const QString &fileName)
{
    fileName_ = fileName;
}

void TTable::ForgetData()
{
    ++dataVersion_;
    changed_.clear();
    records_.clear();
    bySerial_.clear();
    indexCaches_.clear();
    deletedRowIds_.clear();
    maxRowId_ = 0;
    hasData_ = false;
    loadedFrom_.clear();
    loadedStamp_ = FileStamp();
    current_ = nullptr;
    editing_ = nullptr;
    buffer_.reset();
    InvalidateVisible();
}

void TTable::CreateDataSet()
{
    if (active_ && state_ != dsBrowse)
        Cancel();
    ForgetData();
    active_ = true;
    // A new table counts as changed, so its first close writes it over
    // whatever file is in the way.
    modified_ = true;
    state_ = dsBrowse;
    eof_ = bof_ = true;
    NotifyLayout();
    NotifyData();
}

TTable::FileStamp TTable::Stamp(const QString &fileName)
{
    FileStamp stamp;
    struct stat info {};
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0)
        return stamp;
    stamp.size = info.st_size;
    stamp.mtimeNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.ctimeNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.inode = info.st_ino;
    stamp.device = info.st_dev;
    return stamp;
}

void TTable::LoadFile()
{
    const FileStamp stamp = Stamp(fileName_);
    if (stamp.size < 0)
        throw AppError(QStringLiteral("The file \"%1\" does not exist.").arg(fileName_));
    // The data already mirrors this very file (it was read or written by us
    // and nobody changed it since): keep it instead of reading it again.
    if (hasData_ && loadedFrom_ == fileName_ && loadedStamp_ == stamp)
        return;
    TRecords records = TTableFile(name_, fields_).Load(fileName_);
    ForgetData();
    records_ = std::move(records);
    for (const auto &record : records_) {
        record->serial = nextSerial_++;
        bySerial_.insert(record->serial, record.get());
        maxRowId_ = std::max(maxRowId_, record->rowId);
    }
    modified_ = false;
    hasData_ = true;
    loadedFrom_ = fileName_;
    loadedStamp_ = stamp;
}

void TTable::Open()
{
    if (active_)
        return;
    if (fileName_.isEmpty())
        throw AppError(QStringLiteral("%1: Missing file name").arg(name_));
    LoadFile();
    active_ = true;
    state_ = dsBrowse;
    // On the first record; the order is built when someone looks, so the
    // index and filter set right after opening cost one pass.
    current_ = nullptr;
    currentRow_ = 0;
    bof_ = true;
    eof_ = false;
    // Reopening is how the program applies new inputs of OnFilterRecord.
    FilterInputsChanged();
}

bool TTable::NeedsWrite() const
{
    return active_ && !fileName_.isEmpty() && (modified_ || !QFileInfo::exists(fileName_));
}

void TTable::WriteIfChanged()
{
    if (!active_)
        return;
    if (state_ != dsBrowse)
        Cancel();
    if (NeedsWrite())
        WriteFile(fileName_, true);
}

void TTable::Close()
{
    // A failed write leaves the table open with its changes, for a retry.
    WriteIfChanged();
    Abandon();
}

void TTable::Abandon()
{
    if (!active_)
        return;
    if (state_ != dsBrowse)
        Cancel();
    active_ = false;
    state_ = dsInactive;
    current_ = nullptr;
    InvalidateVisible();
    NotifyLayout();
    NotifyData();
}

void TTable::SaveToFile(const QString &fileName)
{
    if (!active_)
        return;
    WriteFile(fileName.isEmpty() ? fileName_ : fileName, true);
}

void TTable::WriteFile(const QString &fileName, bool allowDelta)
{
    if (fileName.isEmpty())
        throw AppError(QStringLiteral("%1: Missing file name").arg(name_));
    const TTableFile file(name_, fields_);
    // Only the file the data mirrors can take a write of what changed; any
    // other target gets a complete file and leaves that bookkeeping alone.
    if (fileName != fileName_ ||
        QFileInfo(fileName).absoluteFilePath() != QFileInfo(fileName_).absoluteFilePath()) {
        TRecords copy;
        copy.reserve(records_.size());
        for (const auto &record : records_)
            copy.push_back(std::make_unique<TRecord>(*record));
        file.WriteAll(fileName, copy);
        return;
    }
    const size_t changes = deletedRowIds_.size() + size_t(changed_.size());
    const bool delta = allowDelta && hasData_ && loadedFrom_ == fileName && Stamp(fileName) == loadedStamp_ &&
                       changes * 2 < records_.size() + 2;
    if (delta) {
        try {
            // New records take row ids in the order they were added, so the
            // file keeps the order of insertion.
            std::vector<TRecord *> changed(changed_.begin(), changed_.end());
            std::sort(changed.begin(), changed.end(),
                      [](const TRecord *a, const TRecord *b) { return a->serial < b->serial; });
            file.WriteChanges(fileName, changed, deletedRowIds_, maxRowId_);
        } catch (const AppError &) {
            // The transaction was rolled back: the file holds what was read,
            // so the unwritten changes stay valid against it.
            if (!QFileInfo::exists(fileName + QStringLiteral("-journal")))
                loadedStamp_ = Stamp(fileName);
            throw;
        }
    } else {
        file.WriteAll(fileName, records_);
        maxRowId_ = qint64(records_.size());
    }
    deletedRowIds_.clear();
    changed_.clear();
    modified_ = false;
    hasData_ = true;
    loadedFrom_ = fileName;
    loadedStamp_ = Stamp(fileName);
}

// Cursor.

TTable::IndexCache &TTable::BuiltIndex(const QString &name) const
{
    auto found = indexCaches_.find(name);
    if (found != indexCaches_.end())
        return *found->second;
    auto cache = std::make_unique<IndexCache>();
    if (!name.isEmpty()) {
        const auto def = std::find_if(indexes_.begin(), indexes_.end(), [&](const TIndexDef &d) {
            return d.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (def == indexes_.end())
            throw AppError(QStringLiteral("%1: Index '%2' not found").arg(name_, name));
        Q_ASSERT(def->fields.size() <= kMaxKeyParts);
        for (const QString &fieldName : def->fields) {
            const int index = FieldIndex(fieldName);
            cache->fields.push_back(index);
            cache->text.push_back(fields_[index].type == ftString || fields_[index].type == ftMemo);
        }
        cache->descending = def->descending;
        cache->caseInsensitive = def->caseInsensitive;
    }
    cache->Build(records_);
    return *indexCaches_.emplace(name, std::move(cache)).first->second;
}

void TTable::NewFilterGeneration()
{
    // 0 marks a record whose result was never computed.
    if (++filterGeneration_ == 0)
        filterGeneration_ = 1;
}

bool TTable::Passes(TRecord *record) const
{
    // A record's result holds until the filter or the record changes, so
    // a new order needs no second pass of the filter handler.
    if (record->filterStamp == filterGeneration_)
        return record->passes;
    record->passes = Evaluate(record);
    record->filterStamp = filterGeneration_;
    return record->passes;
}

bool TTable::Evaluate(TRecord *record) const
{
    if (filterField_ >= 0) {
        const QVariant &value = record->values[size_t(filterField_)];
        if (!value.isValid() || value.toLongLong() != filterValue_)
            return false;
    }
    if (OnFilterRecord) {
        evaluating_ = record;
        bool accepted = false;
        try {
            accepted = OnFilterRecord(*const_cast<TTable *>(this));
        } catch (...) {
            evaluating_ = nullptr;
            throw;
        }
        evaluating_ = nullptr;
        return accepted;
    }
    return true;
}

const std::vector<TRecord *> &TTable::Visible() const
{
    if (visibleValid_)
        return visible_;
    static const std::vector<TRecord *> none;
    if (!active_)
        return none;
    IndexCache &cache = BuiltIndex(indexName_);
    const std::vector<TRecord *> &ordered = cache.order;
    visible_.clear();
    if (!filtered_) {
        visible_ = ordered;
    } else if (filterField_ >= 0) {
        // Only records with the filter value can pass.
        const auto &column = cache.Column(filterField_);
        for (size_t i = 0; i < ordered.size(); ++i)
            if (column[i].present && column[i].value == filterValue_ && Passes(ordered[i]))
                visible_.push_back(ordered[i]);
    } else {
        visible_.reserve(ordered.size());
        for (TRecord *record : ordered)
            if (Passes(record))
                visible_.push_back(record);
    }
    visibleValid_ = true;
    ResyncCurrent();
    return visible_;
}

void TTable::ResyncCurrent() const
{
    // The current record may have gone (deleted, filtered out): the record
    // now at its old position takes its place.
    auto *self = const_cast<TTable *>(this);
    if (self->current_) {
        const auto at = std::find(visible_.begin(), visible_.end(), self->current_);
        if (at != visible_.end()) {
            currentRow_ = int(at - visible_.begin());
            return;
        }
    }
    if (visible_.empty()) {
        self->current_ = nullptr;
        currentRow_ = -1;
    } else {
        currentRow_ = std::clamp(currentRow_, 0, int(visible_.size()) - 1);
        self->current_ = visible_[size_t(currentRow_)];
    }
}

void TTable::UpdateVisible(TRecord *record, bool isNew, bool removed)
{
    if (!visibleValid_)
        return;
    if (!isNew) {
        const auto at = std::find(visible_.begin(), visible_.end(), record);
        if (at != visible_.end())
            visible_.erase(at);
    }
    if (removed || (filtered_ && !Passes(record)))
        return;
    const IndexCache &cache = BuiltIndex(indexName_);
    visible_.insert(std::lower_bound(visible_.begin(), visible_.end(), record,
                                     [&](TRecord *a, TRecord *b) { return cache.LessRecord(a, b); }),
                    record);
}

void TTable::InvalidateVisible()
{
    // currentRow_ stays as the fallback position for the resync.
    visibleValid_ = false;
}

int TTable::RecordCount() const
{
    return int(Visible().size());
}

int TTable::RecNo() const
{
    const auto &visible = Visible();
    if (!current_)
        return -1;
    if (currentRow_ < 0 || currentRow_ >= int(visible.size()) || visible[size_t(currentRow_)] != current_) {
        const auto at = std::find(visible.begin(), visible.end(), current_);
        currentRow_ = at == visible.end() ? -1 : int(at - visible.begin());
    }
    return currentRow_;
}

void TTable::AutoPost()
{
    if (state_ == dsEdit || state_ == dsInsert)
        Post();
}

void TTable::MoveToVisible(int row)
{
    const auto &visible = Visible();
    if (visible.empty()) {
        current_ = nullptr;
        currentRow_ = -1;
    } else {
        currentRow_ = std::clamp(row, 0, int(visible.size()) - 1);
        current_ = visible[size_t(currentRow_)];
    }
    NotifyData();
}

void TTable::First()
{
    CheckActive();
    AutoPost();
    MoveToVisible(0);
    bof_ = true;
    eof_ = current_ == nullptr;
}

void TTable::Last()
{
    CheckActive();
    AutoPost();
    MoveToVisible(RecordCount() - 1);
    eof_ = true;
    bof_ = current_ == nullptr;
}

void TTable::Next()
{
    CheckActive();
    AutoPost();
    const int row = RecNo();
    if (row + 1 >= RecordCount()) {
        eof_ = true;
        return;
    }
    MoveToVisible(row + 1);
    bof_ = eof_ = false;
}

void TTable::Prior()
{
    CheckActive();
    AutoPost();
    const int row = RecNo();
    if (row <= 0) {
        bof_ = true;
        return;
    }
    MoveToVisible(row - 1);
    bof_ = eof_ = false;
}

bool TTable::Eof() const
{
    return !active_ || eof_ || Visible().empty();
}
bool TTable::Bof() const
{
    return !active_ || bof_ || Visible().empty();
}

void TTable::SetRecNo(int row)
{
    CheckActive();
    AutoPost();
    MoveToVisible(row);
    bof_ = eof_ = false;
}

TBookmark TTable::GetBookmark() const
{
    if (!active_)
        return 0;
    Visible();
    return current_ ? current_->serial : 0;
}

bool TTable::BookmarkValid(TBookmark bookmark) const
{
    if (!active_)
        return false;
    TRecord *record = bySerial_.value(bookmark);
    const auto &visible = Visible();
    return record && std::find(visible.begin(), visible.end(), record) != visible.end();
}

void TTable::GotoBookmark(TBookmark bookmark)
{
    CheckActive();
    AutoPost();
    if (!BookmarkValid(bookmark))
        throw AppError(QStringLiteral("%1: Record not found").arg(name_));
    current_ = bySerial_.value(bookmark);
    currentRow_ = -1;
    bof_ = eof_ = false;
    NotifyData();
}

TBookmark TTable::BookmarkAt(int row) const
{
    const auto &visible = Visible();
    return row >= 0 && row < int(visible.size()) ? visible[size_t(row)]->serial : 0;
}

QVariant TTable::ValueAt(int row, int field) const
{
    const auto &visible = Visible();
    if (row < 0 || row >= int(visible.size()) || field < 0 || field >= fields_.size())
        return QVariant();
    return visible[size_t(row)]->values[size_t(field)];
}

QString TTable::DisplayTextAt(int row, int field) const
{
    const QVariant value = ValueAt(row, field);
    if (!value.isValid())
        return QString();
    switch (fields_[field].type) {
    case ftDate:
        return FormatDate(value.toDate());
    case ftTime:
        return FormatTime(value.toTime());
    case ftInteger:
        return QString::number(value.toInt());
    default:
        return value.toString();
    }
}

int TTable::MaxInteger(const QString &field, int fallback) const
{
    const int index = FieldIndex(field);
    if (index < 0)
        return fallback;
    // Every reload asks again; the answer holds until the data changes.
    MaxCache &cached = maxCache_[index];
    if (cached.version != dataVersion_) {
        cached = MaxCache{dataVersion_, false, 0};
        for (const auto &record : records_) {
            const QVariant &value = record->values[size_t(index)];
            if (value.isValid() && (!cached.found || value.toInt() > cached.highest)) {
                cached.highest = value.toInt();
                cached.found = true;
            }
        }
    }
    return cached.found ? cached.highest : fallback;
}

// Editing.

TDataSetState TTable::State() const
{
    return active_ ? state_ : dsInactive;
}

void TTable::StartNew()
{
    CheckActive();
    AutoPost();
    buffer_ = std::make_unique<TRecord>();
    buffer_->values.resize(size_t(fields_.size()));
    editing_ = nullptr;
    state_ = dsInsert;
    if (OnNewRecord) {
        try {
            OnNewRecord(*this);
        } catch (...) {
            buffer_.reset();
            state_ = dsBrowse;
            throw;
        }
    }
    NotifyData();
}

void TTable::Insert()
{
    StartNew();
}
void TTable::Append()
{
    StartNew();
}

void TTable::Edit()
{
    CheckActive();
    if (state_ == dsEdit || state_ == dsInsert)
        return;
    Visible();
    if (!current_) {
        Insert();
        return;
    }
    buffer_ = std::make_unique<TRecord>(*current_);
    editing_ = current_;
    state_ = dsEdit;
    NotifyData();
}

void TTable::Post()
{
    CheckActive();
    // Without a valid visible set nobody looked since it changed; it is
    // rebuilt when needed, so a burst of posts costs no filtering.
    const int oldRow = visibleValid_ ? RecNo() : currentRow_;
    TRecord *posted = nullptr;
    const bool isNew = state_ == dsInsert;
    if (state_ == dsInsert) {
        std::unique_ptr<TRecord> record = std::move(buffer_);
        record->serial = nextSerial_++;
        record->rowId = 0;
        record->dirty = true;
        TRecord *added = record.get();
        records_.push_back(std::move(record));
        bySerial_.insert(added->serial, added);
        DropOtherIndexes();
        for (auto &[name, cache] : indexCaches_)
            cache->Add(added);
        posted = added;
    } else if (state_ == dsEdit) {
        TRecord *record = editing_;
        if (buffer_->values != record->values) {
            DropOtherIndexes();
            for (auto &[name, cache] : indexCaches_) {
                cache->Remove(record, record->values);
                std::swap(record->values, buffer_->values);
                cache->Add(record);
                std::swap(record->values, buffer_->values);
            }
            record->values = std::move(buffer_->values);
            record->dirty = true;
        } else {
            buffer_.reset();
            editing_ = nullptr;
            state_ = dsBrowse;
            NotifyData();
            return;
        }
        posted = record;
    } else {
        return;
    }
    buffer_.reset();
    editing_ = nullptr;
    state_ = dsBrowse;
    modified_ = true;
    ++dataVersion_;
    posted->filterStamp = 0;
    changed_.insert(posted);
    current_ = posted;
    currentRow_ = oldRow;
    UpdateVisible(posted, isNew, false);
    if (visibleValid_)
        ResyncCurrent();
    NotifyLayout();
    NotifyData();
}

void TTable::Cancel()
{
    if (state_ != dsEdit && state_ != dsInsert)
        return;
    buffer_.reset();
    editing_ = nullptr;
    state_ = dsBrowse;
    NotifyData();
}

void TTable::Delete()
{
    CheckActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    Cancel();
    const int row = RecNo();
    if (!current_)
        throw AppError(QStringLiteral("%1: Cannot perform this operation on an empty dataset").arg(name_));
    TRecord *record = current_;
    UpdateVisible(record, false, true);
    DropOtherIndexes();
    for (auto &[name, cache] : indexCaches_)
        cache->Remove(record, record->values);
    if (record->rowId > 0)
        deletedRowIds_.push_back(record->rowId);
    changed_.remove(record);
    bySerial_.remove(record->serial);
    current_ = nullptr;
    currentRow_ = row;
    records_.erase(std::find_if(records_.begin(), records_.end(),
                                [record](const std::unique_ptr<TRecord> &r) { return r.get() == record; }));
    modified_ = true;
    ++dataVersion_;
    if (visibleValid_)
        ResyncCurrent();
    NotifyLayout();
    NotifyData();
}

void TTable::DropOtherIndexes()
{
    // Only the order in use is kept up to date record by record; the others
    // are sorted again when next selected, which keeps every post cheap.
    for (auto it = indexCaches_.begin(); it != indexCaches_.end();)
        it = it->first == indexName_ ? std::next(it) : indexCaches_.erase(it);
}

void TTable::AppendRecord(const QVariantList &values)
{
    Append();
    try {
        for (int i = 0; i < values.size() && i < fields_.size(); ++i)
            if (values[i].isValid() && !values[i].isNull())
                SetCurrentValue(i, values[i]);
        Post();
    } catch (...) {
        Cancel();
        throw;
    }
}

QVariant TTable::Normalize(int field, const QVariant &value) const
{
    const TFieldDef &def = fields_[field];
    if (!value.isValid() || value.isNull())
        return QVariant();
    const bool isText = value.typeId() == QMetaType::QString;
    switch (def.type) {
    case ftString: {
        QString text = value.toString();
        if (text.size() > def.size) {
            // Cut at a character boundary: a pair of surrogates is kept or
            // dropped whole.
            qsizetype cut = def.size;
            if (cut > 0 && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate())
                --cut;
            text.truncate(cut);
        }
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == QLatin1Char(' '))
            --end;
        text.truncate(end);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case ftMemo: {
        const QString text = value.toString();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case ftInteger: {
        if (!isText) {
            // Refused rather than cut to the 32 bits the store keeps.
            bool ok = false;
            const qint64 number = value.toLongLong(&ok);
            if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
                throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(value.toString()));
            return QVariant(int(number));
        }
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return QVariant();
        bool ok = false;
        const int number = text.toInt(&ok);
        if (!ok)
            throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(value.toString()));
        return number;
    }
    case ftDate: {
        const QDate date = TemporalValue<QDate>(value, &QDateTime::date, ParseDate, "date");
        if (date.isValid() && !IsStorableDate(date))
            throw AppError(QStringLiteral("'%1' is not a valid date").arg(FormatDate(date)));
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case ftTime: {
        const QTime time = TemporalValue<QTime>(value, &QDateTime::time, ParseTime, "time");
        // The store keeps whole seconds, as the time is shown.
        return time.isValid() ? QVariant(QTime(time.hour(), time.minute(), time.second())) : QVariant();
    }
    }
    return QVariant();
}

const QVariant &TTable::CurrentRef(int field) const
{
    static const QVariant null;
    if (field < 0 || field >= fields_.size())
        return null;
    if (evaluating_)
        return evaluating_->values[size_t(field)];
    if (!active_)
        return null;
    if ((state_ == dsEdit || state_ == dsInsert) && buffer_)
        return buffer_->values[size_t(field)];
    Visible();
    return current_ ? current_->values[size_t(field)] : null;
}

void TTable::SetCurrentValue(int field, const QVariant &value)
{
    CheckActive();
    if (field < 0 || field >= fields_.size())
        throw AppError(QStringLiteral("%1: Field number %2 not found").arg(name_).arg(field));
    if (state_ != dsEdit && state_ != dsInsert)
        throw AppError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(name_));
    QVariant normalized = Normalize(field, value);
    QVariant &slot = buffer_->values[size_t(field)];
    if (slot == normalized && slot.isValid() == normalized.isValid())
        return;
    slot = std::move(normalized);
    NotifyData();
}

// Order and filter.

void TTable::SetIndexName(const QString &name)
{
    if (name == indexName_)
        return;
    if (!name.isEmpty() && std::none_of(indexes_.begin(), indexes_.end(), [&](const TIndexDef &d) {
            return d.name.compare(name, Qt::CaseInsensitive) == 0;
        }))
        throw AppError(QStringLiteral("%1: Index '%2' not found").arg(name_, name));
    if (active_)
        AutoPost();
    indexName_ = name;
    currentRow_ = -1;
    InvalidateVisible();
    NotifyLayout();
    NotifyData();
}

void TTable::SetFiltered(bool on)
{
    if (on == filtered_)
        return;
    if (active_) {
        AutoPost();
        if (visibleValid_)
            RecNo(); // remembered as the fallback position
    }
    filtered_ = on;
    FilterInputsChanged();
}

void TTable::SetFilter(const QString &text)
{
    if (text == filterText_)
        return;
    static const QRegularExpression form(QStringLiteral("^\\s*(\\w+)\\s*=\\s*(-?\\d+)\\s*$"));
    int field = -1;
    qint64 value = 0;
    if (!text.trimmed().isEmpty()) {
        const QRegularExpressionMatch match = form.match(text);
        field = match.hasMatch() ? FieldIndex(match.captured(1)) : -1;
        if (field < 0)
            throw AppError(QStringLiteral("%1: Invalid filter \"%2\"").arg(name_, text));
        value = match.captured(2).toLongLong();
    }
    if (active_) {
        AutoPost();
        if (visibleValid_)
            RecNo(); // remembered as the fallback position
    }
    filterText_ = text;
    filterField_ = field;
    filterValue_ = value;
    if (filtered_)
        FilterInputsChanged();
    else
        NewFilterGeneration();
}

// The records that pass the filter may have changed: the cached pass results
// and the visible order are dropped, and views told.
void TTable::FilterInputsChanged()
{
    NewFilterGeneration();
    InvalidateVisible();
    NotifyLayout();
    NotifyData();
}

void TTable::RefreshFilter()
{
    if (!active_)
        return;
    if (visibleValid_)
        RecNo();
    FilterInputsChanged();
}

bool TTable::FindKey(const QVariantList &values)
{
    CheckActive();
    AutoPost();
    if (indexName_.isEmpty() || values.isEmpty())
        return false;
    IndexCache &cache = BuiltIndex(indexName_);
    const int count = std::min({int(values.size()), int(cache.fields.size()), kMaxKeyParts});
    std::vector<QVariant> probeValues(size_t(fields_.size()));
    for (int i = 0; i < count; ++i)
        probeValues[size_t(cache.fields[size_t(i)])] = Normalize(cache.fields[size_t(i)], values[i]);
    const Key probe = cache.MakeKey(probeValues, count);
    const auto compare = [&](TRecord *record) {
        return cache.Compare(cache.MakeKey(record->values, count), probe, count);
    };
    auto at = std::lower_bound(cache.order.begin(), cache.order.end(), probe,
                               [&](TRecord *record, const Key &) { return compare(record) < 0; });
    for (; at != cache.order.end() && compare(*at) == 0; ++at) {
        // Case-insensitive keys match regardless of case; compare the values
        // exactly as the index does.
        if (filtered_ && !Passes(*at))
            continue;
        current_ = *at;
        currentRow_ = -1;
        bof_ = eof_ = false;
        NotifyData();
        return true;
    }
    return false;
}

// Notification.

void TTable::NotifyData()
{
    if (disableCount_ > 0)
        pendingData_ = true;
    else
        Q_EMIT DataChange();
}

void TTable::NotifyLayout()
{
    if (disableCount_ > 0)
        pendingLayout_ = true;
    else
        Q_EMIT LayoutChange();
}

void TTable::DisableControls()
{
    ++disableCount_;
}

void TTable::EnableControls()
{
    if (disableCount_ == 0 || --disableCount_ > 0)
        return;
    const bool layout = pendingLayout_, data = pendingData_ || pendingLayout_;
    pendingLayout_ = pendingData_ = false;
    if (layout)
        Q_EMIT LayoutChange();
    if (data)
        Q_EMIT DataChange();
}
