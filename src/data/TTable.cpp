#include "TTable.h"

#include "AppError.h"
#include "FieldValue.h"
#include "TIndexSort.h"
#include "TTableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <unordered_map>

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
    return FormatValue(Def(), table_->CurrentRef(index_));
}

int TField::AsInteger() const
{
    return ValueAsInteger(Def(), table_->CurrentRef(index_));
}

QDate TField::AsDate() const
{
    return ValueAsDate(Def(), table_->CurrentRef(index_));
}

QTime TField::AsTime() const
{
    return ValueAsTime(Def(), table_->CurrentRef(index_));
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
    : QObject(parent), name_(name), fields_(std::move(fields)), indexes_(std::move(indexes)),
      file_(std::make_unique<TTableFile>(name_, fields_)), sync_(std::make_unique<TFileSync>()),
      arena_(std::make_unique<TRecordArena>())
{
    setObjectName(name);
    for (int i = 0; i < fields_.size(); ++i) {
        fieldIndex_.insert(fields_[i].name, i);
        fieldIndex_.insert(fields_[i].name.toUpper(), i);
    }
}

TTable::~TTable()
{
    // Records made in the arena end before the arena goes.
    buffer_.reset();
    records_.clear();
}

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
    sync_->Forget();
    editing_ = nullptr;
    buffer_.reset();
    records_.clear();
    arena_->Clear();
    indexCaches_.clear();
    DropVisible();
    SetCursor(nullptr, currentRow_);
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

void TTable::LoadFile()
{
    const TFileStamp stamp = TFileStamp::Of(fileName_);
    if (stamp.size < 0)
        throw TTableFileError(QStringLiteral("The file \"%1\" does not exist.").arg(fileName_), fileName_,
                              QStringLiteral("it does not exist"));
    // The data already mirrors this very file (it was read or written by us
    // and nobody changed it since): keep it instead of reading it again.
    if (sync_->hasData && !sync_->partial && sync_->loadedFrom == fileName_ && sync_->loadedStamp == stamp)
        return;
    TRecordArena arena;
    TRecords records = file_->Load(fileName_, arena);
    ForgetData();
    records_ = std::move(records);
    *arena_ = std::move(arena);
    for (const auto &record : records_) {
        record->serial = nextSerial_++;
        sync_->maxRowId = std::max(sync_->maxRowId, record->rowId);
    }
    modified_ = false;
    sync_->hasData = true;
    sync_->loadedFrom = fileName_;
    // Reading rolls back an interrupted write first, which changes the file:
    // the records mirror it as it is after the read.
    sync_->loadedStamp = TFileStamp::Of(fileName_);
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
    DropVisible();
    SetCursor(nullptr, 0);
    bof_ = true;
    eof_ = false;
    // Reopening is how the program applies new inputs of OnFilterRecord.
    FilterInputsChanged();
}

bool TTable::NeedsWrite() const
{
    if (!active_ || fileName_.isEmpty())
        return false;
    // Part of a file is never written whole, so only its changes count.
    return modified_ || (!sync_->partial && !QFileInfo::exists(fileName_));
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
    DropVisible();
    SetCursor(nullptr, currentRow_);
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
    // Only the file the data mirrors can take a write of what changed; any
    // other target gets a complete file and leaves that bookkeeping alone.
    if (fileName != fileName_ ||
        QFileInfo(fileName).absoluteFilePath() != QFileInfo(fileName_).absoluteFilePath()) {
        if (sync_->partial)
            throw AppError(QStringLiteral("%1: Part of a file cannot be written to another").arg(name_));
        TRecords copy;
        copy.reserve(records_.size());
        for (const auto &record : records_)
            copy.emplace_back(new TRecord(*record));
        file_->WriteAll(fileName, copy);
        return;
    }
    // Where most records changed a new file is written faster than the
    // changes.
    if (sync_->partial || (allowDelta && sync_->ChangeCount() * 2 < records_.size() + 2))
        WriteChangesInPlace();
    else
        WriteWhole();
}

void TTable::WriteChangesInPlace()
{
    if (!ReadyForChangesInPlace())
        return;
    std::vector<TFileChanges> changes{ChangesInPlace()};
    try {
        TTableFile::WriteChangesTogether(changes);
    } catch (const AppError &) {
        ChangesNotWritten();
        throw;
    }
    ChangesWritten(changes.front());
}

bool TTable::ReadyForChangesInPlace()
{
    if (!sync_->Mirrors(fileName_)) {
        if (sync_->partial)
            throw TTableFileError(
                QStringLiteral("Cannot write \"%1\": it was changed by another program since it was read")
                    .arg(fileName_),
                fileName_, QStringLiteral("it was changed by another program since it was read"));
        WriteWhole();
        return false;
    }
    if (sync_->checked)
        return true;
    // Writing into a damaged b-tree can leave the whole file unreadable, so
    // the file is checked before the first write in place since it was read.
    QString problem;
    if (TTableFile::Intact(fileName_, &problem)) {
        sync_->checked = true;
        return true;
    }
    RepairWhole(problem);
    return false;
}

TFileChanges TTable::ChangesInPlace() const
{
    TFileChanges changes;
    changes.fileName = fileName_;
    changes.file = file_.get();
    // New records take row ids in the order they were added, so the file
    // keeps the order of insertion.
    changes.changed.assign(sync_->changed.begin(), sync_->changed.end());
    std::sort(changes.changed.begin(), changes.changed.end(),
              [](const TRecord *a, const TRecord *b) { return a->serial < b->serial; });
    changes.deletedRowIds = sync_->deletedRowIds;
    changes.maxRowId = sync_->maxRowId;
    return changes;
}

void TTable::ChangesWritten(const TFileChanges &changes)
{
    sync_->maxRowId = std::max(sync_->maxRowId, changes.maxRowId);
    modified_ = false;
    sync_->Synced(fileName_);
}

void TTable::ChangesNotWritten()
{
    // The transaction was rolled back: the file holds what was read, so the
    // unwritten changes stay valid against it.
    if (!QFileInfo::exists(fileName_ + QStringLiteral("-journal")))
        sync_->loadedStamp = TFileStamp::Of(fileName_);
}

void TTable::WriteWhole()
{
    file_->WriteAll(fileName_, records_);
    sync_->maxRowId = qint64(records_.size());
    modified_ = false;
    sync_->Synced(fileName_);
    sync_->checked = true;
}

void TTable::WriteNewFile(const QString &newFile)
{
    file_->WriteNew(newFile, records_);
}

void TTable::Published()
{
    sync_->maxRowId = qint64(records_.size());
    modified_ = false;
    sync_->Synced(fileName_);
    sync_->checked = true;
}

namespace {

// A second name for the damaged file, which keeps its content once the
// new file replaces it: "<file>.damaged", or with a number when that is
// taken. A file system without hard links gets a copy.
QString KeepDamagedFile(const QString &fileName)
{
    const QByteArray from = QFile::encodeName(fileName);
    for (int number = 1; number < 1000; ++number) {
        const QString kept =
            fileName + (number == 1 ? QStringLiteral(".damaged") : QStringLiteral(".damaged-%1").arg(number));
        if (QFileInfo::exists(kept) || QFileInfo(kept).isSymLink())
            continue;
        if (::link(from.constData(), QFile::encodeName(kept).constData()) == 0 || QFile::copy(fileName, kept))
            return kept;
        throw AppError(QStringLiteral("the damaged file cannot be kept aside as \"%1\": %2")
                           .arg(kept, QString::fromLocal8Bit(std::strerror(errno))));
    }
    throw AppError(QStringLiteral("the damaged file cannot be kept aside"));
}

// The records of a whole file with the changes of a table that holds only
// some of them put over them: its changed records in their rows, its deleted
// ones left out, its new ones at the end. owners gets the table's record at
// each place, or null. A damaged file may give one row id to several rows;
// they are matched in file order.
TRecords MergeChanges(TRecords whole, const TRecords &part, const std::vector<qint64> &deletedRowIds,
                      std::vector<TRecord *> &owners)
{
    std::unordered_map<qint64, std::vector<TRecord *>> mine;
    for (const auto &record : part)
        if (record->inFile)
            mine[record->rowId].push_back(record.get());
    for (auto &[rowId, records] : mine)
        std::reverse(records.begin(), records.end());
    std::unordered_map<qint64, size_t> deleted;
    for (qint64 rowId : deletedRowIds)
        ++deleted[rowId];
    TRecords merged;
    owners.clear();
    for (auto &record : whole) {
        if (const auto gone = deleted.find(record->rowId); gone != deleted.end() && gone->second > 0) {
            --gone->second;
            continue;
        }
        const auto own = mine.find(record->rowId);
        if (own == mine.end() || own->second.empty()) {
            merged.push_back(std::move(record));
            owners.push_back(nullptr);
        } else {
            merged.emplace_back(new TRecord(*own->second.back()));
            owners.push_back(own->second.back());
            own->second.pop_back();
        }
    }
    for (const auto &record : part) {
        if (!record->inFile) {
            merged.emplace_back(new TRecord(*record));
            owners.push_back(record.get());
        }
    }
    return merged;
}

} // namespace

void TTable::RepairWhole(const QString &problem)
{
    QString kept;
    try {
        kept = KeepDamagedFile(fileName_);
        if (!sync_->partial) {
            WriteWhole();
        } else {
            // Only some records are here: the rest are read from the file as
            // a load reads them (a hidden fault does not stop that), the
            // changes put over them, and the whole written anew.
            TRecordArena arena;
            std::vector<TRecord *> owners;
            const TRecords merged =
                MergeChanges(file_->Load(fileName_, arena), records_, sync_->deletedRowIds, owners);
            file_->WriteAll(fileName_, merged);
            for (const auto &record : records_)
                record->inFile = false;
            for (size_t i = 0; i < merged.size(); ++i) {
                if (owners[i]) {
                    owners[i]->rowId = merged[i]->rowId;
                    owners[i]->inFile = true;
                }
            }
            sync_->maxRowId = qint64(merged.size());
            modified_ = false;
            sync_->Synced(fileName_);
            sync_->checked = true;
        }
    } catch (const AppError &error) {
        if (!kept.isEmpty())
            QFile::remove(kept);
        throw TTableFileError(QStringLiteral("Cannot write \"%1\": it is damaged (%2), and %3")
                                  .arg(fileName_, problem, error.message()),
                              fileName_, error.message());
    }
    Q_EMIT FileRepaired(
        QStringLiteral("The file \"%1\" was damaged (%2). It was written anew from the records "
                       "that could be read; the damaged file was kept as \"%3\".")
            .arg(fileName_, problem, kept));
}

void TTable::OpenPart(const QString &fileName, qint64 maxRowId)
{
    CreateDataSet();
    fileName_ = fileName;
    modified_ = false;
    sync_->hasData = true;
    sync_->partial = true;
    sync_->loadedFrom = fileName;
    sync_->loadedStamp = TFileStamp::Of(fileName);
    sync_->maxRowId = maxRowId;
}

void TTable::Changed()
{
    if (OnChanged)
        OnChanged(*this);
}

// Cursor.

TIndexSort &TTable::BuiltIndex(const QString &name) const
{
    auto found = indexCaches_.find(name);
    if (found != indexCaches_.end())
        return *found->second;
    std::vector<int> keyFields;
    std::vector<bool> text;
    bool descending = false, caseInsensitive = false;
    if (!name.isEmpty()) {
        const auto def = std::find_if(indexes_.begin(), indexes_.end(), [&](const TIndexDef &d) {
            return d.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (def == indexes_.end())
            throw AppError(QStringLiteral("%1: Index '%2' not found").arg(name_, name));
        Q_ASSERT(def->fields.size() <= kMaxKeyParts);
        for (const QString &fieldName : def->fields) {
            const int index = FieldIndex(fieldName);
            keyFields.push_back(index);
            text.push_back(fields_[index].type == ftString || fields_[index].type == ftMemo);
        }
        descending = def->descending;
        caseInsensitive = def->caseInsensitive;
    }
    auto cache =
        std::make_unique<TIndexSort>(std::move(keyFields), std::move(text), descending, caseInsensitive);
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
        const QVariant &value = record->Value(size_t(filterField_));
        if (!value.isValid() || StoredNumber(value) != filterValue_)
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
    TIndexSort &cache = BuiltIndex(indexName_);
    const std::vector<TRecord *> &ordered = cache.Order();
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
    return visible_;
}

TTable::Placed TTable::Place() const
{
    // The current record may have gone (deleted, filtered out): the record
    // now at its old position takes its place.
    const std::vector<TRecord *> &visible = Visible();
    if (current_) {
        if (currentRow_ >= 0 && currentRow_ < int(visible.size()) && visible[size_t(currentRow_)] == current_)
            return {current_, currentRow_};
        const auto at = std::find(visible.begin(), visible.end(), current_);
        if (at != visible.end())
            return {current_, int(at - visible.begin())};
    }
    if (visible.empty())
        return {};
    const int row = std::clamp(currentRow_, 0, int(visible.size()) - 1);
    return {visible[size_t(row)], row};
}

const TTable::Placed &TTable::Cursor() const
{
    if (!visibleValid_ || !placedValid_) {
        placed_ = Place();
        placedValid_ = visibleValid_;
    }
    return placed_;
}

void TTable::SetCursor(TRecord *record, int row)
{
    current_ = record;
    currentRow_ = row;
    placedValid_ = false;
}

void TTable::CommitCursor()
{
    if (!active_)
        return;
    const Placed placed = Cursor();
    SetCursor(placed.record, placed.row);
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
    placedValid_ = false;
    if (removed || (filtered_ && !Passes(record)))
        return;
    const TIndexSort &cache = BuiltIndex(indexName_);
    visible_.insert(std::lower_bound(visible_.begin(), visible_.end(), record,
                                     [&](TRecord *a, TRecord *b) { return cache.LessRecord(a, b); }),
                    record);
}

void TTable::InvalidateVisible()
{
    // The cursor as last placed is where the new visible set starts from:
    // its record, or its position when that record is gone.
    if (visibleValid_)
        CommitCursor();
    DropVisible();
}

void TTable::DropVisible()
{
    visibleValid_ = false;
    placedValid_ = false;
}

int TTable::RecordCount() const
{
    return int(Visible().size());
}

int TTable::RecNo() const
{
    const Placed &placed = Cursor();
    return placed.record ? placed.row : -1;
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
        SetCursor(nullptr, -1);
    } else {
        const int at = std::clamp(row, 0, int(visible.size()) - 1);
        SetCursor(visible[size_t(at)], at);
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
    const TRecord *record = Cursor().record;
    return record ? record->serial : 0;
}

bool TTable::BookmarkValid(TBookmark bookmark) const
{
    if (!active_)
        return false;
    TRecord *record = BySerial(bookmark);
    const auto &visible = Visible();
    return record && std::find(visible.begin(), visible.end(), record) != visible.end();
}

void TTable::GotoBookmark(TBookmark bookmark)
{
    CheckActive();
    AutoPost();
    if (!BookmarkValid(bookmark))
        throw AppError(QStringLiteral("%1: Record not found").arg(name_));
    SetCursor(BySerial(bookmark), -1);
    bof_ = eof_ = false;
    NotifyData();
}

TRecord *TTable::BySerial(quint64 serial) const
{
    // Records are kept in order of insertion, which is the order of serials.
    const auto at = std::lower_bound(records_.begin(), records_.end(), serial,
                                     [](const TRecordPtr &r, quint64 s) { return r->serial < s; });
    return at != records_.end() && (*at)->serial == serial ? at->get() : nullptr;
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
    return visible[size_t(row)]->Value(size_t(field));
}

QString TTable::DisplayTextAt(int row, int field) const
{
    const QVariant value = ValueAt(row, field);
    return value.isValid() ? FormatValue(fields_[field], value) : QString();
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
        // The value of a record some steps ahead is asked for early, so the
        // walk does not wait on memory at every record.
        constexpr size_t kAhead = 8;
        const size_t count = records_.size();
        for (size_t i = 0; i < count; ++i) {
            if (i + kAhead < count)
                __builtin_prefetch(&records_[i + kAhead]->values[size_t(index)]);
            const QVariant &value = records_[i]->Value(size_t(index));
            if (!value.isValid())
                continue;
            const int number = int(StoredNumber(value));
            if (!cached.found || number > cached.highest) {
                cached.highest = number;
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
    buffer_->values = TValues(size_t(fields_.size()));
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
    CommitCursor();
    if (!current_) {
        Insert();
        return;
    }
    // Decoded first, so the buffer compares with the record by value.
    current_->DecodeAll();
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
        TRecordPtr record(buffer_.release());
        record->serial = nextSerial_++;
        record->rowId = 0;
        record->inFile = false;
        TRecord *added = record.get();
        records_.push_back(std::move(record));
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
    sync_->changed.insert(posted);
    SetCursor(posted, oldRow);
    UpdateVisible(posted, isNew, false);
    if (visibleValid_)
        CommitCursor();
    NotifyLayout();
    NotifyData();
    Changed();
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
    CommitCursor();
    const int row = RecNo();
    if (!current_)
        throw AppError(QStringLiteral("%1: Cannot perform this operation on an empty dataset").arg(name_));
    TRecord *record = current_;
    UpdateVisible(record, false, true);
    DropOtherIndexes();
    for (auto &[name, cache] : indexCaches_)
        cache->Remove(record, record->values);
    if (record->inFile)
        sync_->deletedRowIds.push_back(record->rowId);
    sync_->changed.remove(record);
    SetCursor(nullptr, row);
    records_.erase(std::find_if(records_.begin(), records_.end(),
                                [record](const TRecordPtr &r) { return r.get() == record; }));
    modified_ = true;
    ++dataVersion_;
    if (visibleValid_)
        CommitCursor();
    NotifyLayout();
    NotifyData();
    Changed();
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

void TTable::AppendStoredRecords(std::vector<std::vector<QVariant>> rows, const std::vector<qint64> &rowIds)
{
    CheckActive();
    AutoPost();
    if (rows.empty())
        return;
    Q_ASSERT(rowIds.empty() || rowIds.size() == rows.size());
    const bool read = !rowIds.empty();
    CommitCursor();
    records_.reserve(records_.size() + rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        std::vector<QVariant> &values = rows[i];
        TRecordPtr record(new TRecord);
        record->values = TValues(size_t(fields_.size()));
        std::move(values.begin(), values.begin() + qsizetype(std::min(values.size(), record->values.size())),
                  record->values.begin());
        record->serial = nextSerial_++;
        if (read) {
            record->rowId = rowIds[i];
            record->inFile = true;
        } else
            sync_->changed.insert(record.get());
        records_.push_back(std::move(record));
    }
    // Sorted again when next looked at, in one pass.
    indexCaches_.clear();
    if (!read)
        modified_ = true;
    ++dataVersion_;
    InvalidateVisible();
    NotifyLayout();
    NotifyData();
    if (!read)
        Changed();
}

const std::vector<TRecord *> &TTable::RecordsInOrder(const QString &indexName) const
{
    static const std::vector<TRecord *> none;
    return active_ ? BuiltIndex(indexName).Order() : none;
}

const QVariant &TTable::CurrentRef(int field) const
{
    static const QVariant null;
    if (field < 0 || field >= fields_.size())
        return null;
    if (evaluating_)
        return evaluating_->Value(size_t(field));
    if (!active_)
        return null;
    if ((state_ == dsEdit || state_ == dsInsert) && buffer_)
        return buffer_->Value(size_t(field));
    const TRecord *record = Cursor().record;
    return record ? record->Value(size_t(field)) : null;
}

void TTable::SetCurrentValue(int field, const QVariant &value)
{
    CheckActive();
    if (field < 0 || field >= fields_.size())
        throw AppError(QStringLiteral("%1: Field number %2 not found").arg(name_).arg(field));
    if (state_ != dsEdit && state_ != dsInsert)
        throw AppError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(name_));
    QVariant normalized = NormalizeValue(fields_[field], value);
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
    if (visibleValid_)
        CommitCursor();
    indexName_ = name;
    SetCursor(current_, -1);
    DropVisible();
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
            CommitCursor(); // its position is the fallback
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
            CommitCursor(); // its position is the fallback
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
    FilterInputsChanged();
}

bool TTable::FindKey(const QVariantList &values)
{
    CheckActive();
    AutoPost();
    if (indexName_.isEmpty() || values.isEmpty())
        return false;
    TIndexSort &cache = BuiltIndex(indexName_);
    const int count = std::min({int(values.size()), int(cache.Fields().size()), kMaxKeyParts});
    TValues probeValues(size_t(fields_.size()));
    for (int i = 0; i < count; ++i)
        probeValues[size_t(cache.Fields()[size_t(i)])] =
            NormalizeValue(fields_[cache.Fields()[size_t(i)]], values[i]);
    const TKey probe = cache.MakeKey(probeValues, count);
    const auto compare = [&](TRecord *record) {
        return cache.Compare(cache.MakeKey(record->values, count), probe, count);
    };
    const std::vector<TRecord *> &order = cache.Order();
    auto at = std::lower_bound(order.begin(), order.end(), probe,
                               [&](TRecord *record, const TKey &) { return compare(record) < 0; });
    for (; at != order.end() && compare(*at) == 0; ++at) {
        // Case-insensitive keys match regardless of case; compare the values
        // exactly as the index does.
        if (filtered_ && !Passes(*at))
            continue;
        SetCursor(*at, -1);
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
