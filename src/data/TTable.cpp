#include "TTable.h"

#include "AppError.h"
#include "FieldValue.h"
#include "TIndexSort.h"
#include "TRecordStore.h"

#include <QRegularExpression>
#include <algorithm>

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
    return !table_->CurrentStored(index_).isValid();
}

QString TField::AsString() const
{
    return FormatValue(Def(), table_->CurrentValue(index_));
}

int TField::AsInteger() const
{
    return ValueAsInteger(Def(), table_->CurrentValue(index_));
}

QDate TField::AsDate() const
{
    return ValueAsDate(Def(), table_->CurrentValue(index_));
}

QTime TField::AsTime() const
{
    return ValueAsTime(Def(), table_->CurrentValue(index_));
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
      store_(std::make_unique<TRecordStore>(name_, fields_))
{
    setObjectName(name);
    for (int i = 0; i < fields_.size(); ++i) {
        fieldIndex_.insert(fields_[i].name, i);
        fieldIndex_.insert(fields_[i].name.toUpper(), i);
    }
    store_->OnRepaired = [this](const QString &message) { Q_EMIT FileRepaired(message); };
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

const QString &TTable::FileName() const
{
    return store_->FileName();
}

void TTable::SetFileName(const QString &fileName)
{
    store_->SetFileName(fileName);
}

bool TTable::Modified() const
{
    return store_->Modified();
}

void TTable::ForgetRecords()
{
    // The store has let its records go: nothing here may point at them.
    editing_ = nullptr;
    buffer_ = TValues();
    indexCaches_.clear();
    DropVisible();
    SetCursor(nullptr, currentRow_);
}

void TTable::CreateDataSet()
{
    if (active_ && state_ != dsBrowse)
        Cancel();
    // A new table counts as changed, so its first close writes it over
    // whatever file is in the way.
    store_->Create();
    ForgetRecords();
    active_ = true;
    state_ = dsBrowse;
    eof_ = bof_ = true;
    NotifyLayout();
    NotifyData();
}

void TTable::Open()
{
    if (active_)
        return;
    if (FileName().isEmpty())
        throw AppError(QStringLiteral("%1: Missing file name").arg(name_));
    if (store_->Load())
        ForgetRecords();
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
    return active_ && store_->NeedsWrite();
}

void TTable::WriteIfChanged()
{
    if (!active_)
        return;
    if (state_ != dsBrowse)
        Cancel();
    if (NeedsWrite())
        store_->Write(FileName(), true);
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
    store_->Write(fileName.isEmpty() ? FileName() : fileName, true);
}

bool TTable::ReadyForChangesInPlace()
{
    return store_->ReadyForChangesInPlace();
}

TFileChanges TTable::ChangesInPlace() const
{
    return store_->ChangesInPlace();
}

void TTable::ChangesWritten(const TFileChanges &changes)
{
    store_->ChangesWritten(changes);
}

void TTable::ChangesNotWritten()
{
    store_->ChangesNotWritten();
}

void TTable::PendingChanges(TableMember member, std::vector<TChangedRow> &rows) const
{
    if (active_)
        store_->PendingChanges(member, rows);
}

void TTable::WriteNewFile(const QString &newFile)
{
    store_->WriteNewFile(newFile);
}

void TTable::Published()
{
    store_->Published();
}

void TTable::OpenPart(const QString &fileName, qint64 maxRowId)
{
    CreateDataSet();
    store_->OpenPart(fileName, maxRowId);
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
    cache->Build(store_->Records());
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
        const QVariant &value = record->Stored(size_t(filterField_));
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
    return record ? record->Serial() : 0;
}

bool TTable::BookmarkValid(TBookmark bookmark) const
{
    if (!active_)
        return false;
    TRecord *record = store_->BySerial(bookmark);
    const auto &visible = Visible();
    return record && std::find(visible.begin(), visible.end(), record) != visible.end();
}

void TTable::GotoBookmark(TBookmark bookmark)
{
    CheckActive();
    AutoPost();
    if (!BookmarkValid(bookmark))
        throw AppError(QStringLiteral("%1: Record not found").arg(name_));
    SetCursor(store_->BySerial(bookmark), -1);
    bof_ = eof_ = false;
    NotifyData();
}

TBookmark TTable::BookmarkAt(int row) const
{
    const auto &visible = Visible();
    return row >= 0 && row < int(visible.size()) ? visible[size_t(row)]->Serial() : 0;
}

TRecordView TTable::RecordAt(int row) const
{
    const auto &visible = Visible();
    return TRecordView(row >= 0 && row < int(visible.size()) ? visible[size_t(row)] : nullptr);
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
    return index < 0 ? fallback : store_->MaxInteger(index, fallback);
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
    buffer_ = TValues(size_t(fields_.size()));
    editing_ = nullptr;
    state_ = dsInsert;
    if (OnNewRecord) {
        try {
            OnNewRecord(*this);
        } catch (...) {
            EndEdit();
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
    // The buffer holds the values in their read form; the record keeps its
    // own until the post.
    buffer_ = TValues(size_t(fields_.size()));
    for (size_t field = 0; field < buffer_.size(); ++field)
        buffer_[field] = current_->Value(field);
    editing_ = current_;
    state_ = dsEdit;
    NotifyData();
}

void TTable::EndEdit()
{
    buffer_ = TValues();
    editing_ = nullptr;
    state_ = dsBrowse;
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
        posted = store_->Insert(std::move(buffer_));
        DropOtherIndexes();
        for (auto &[name, cache] : indexCaches_)
            cache->Add(posted);
    } else if (state_ == dsEdit) {
        std::optional<TValues> edited = store_->Edited(*editing_, std::move(buffer_));
        if (!edited) {
            EndEdit();
            NotifyData();
            return;
        }
        posted = editing_;
        DropOtherIndexes();
        for (auto &[name, cache] : indexCaches_)
            cache->Remove(posted, posted->Values());
        store_->Update(posted, std::move(*edited));
        for (auto &[name, cache] : indexCaches_)
            cache->Add(posted);
    } else {
        return;
    }
    EndEdit();
    posted->filterStamp = 0;
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
    EndEdit();
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
        cache->Remove(record, record->Values());
    SetCursor(nullptr, row);
    store_->Remove(record);
    if (visibleValid_)
        CommitCursor();
    NotifyLayout();
    NotifyData();
    Changed();
}

const TRecords &TTable::AllRecords() const
{
    return store_->Records();
}

TRecord *TTable::PutRecord(TRecord *record, const std::vector<QVariant> *values)
{
    CheckActive();
    Cancel();
    CommitCursor();
    const int row = RecNo();
    if (!values) {
        UpdateVisible(record, false, true);
        DropOtherIndexes();
        for (auto &[name, cache] : indexCaches_)
            cache->Remove(record, record->Values());
        if (record == current_)
            SetCursor(nullptr, row);
        store_->Remove(record);
        record = nullptr;
    } else {
        TValues given(size_t(fields_.size()));
        std::copy_n(values->begin(), std::min(values->size(), given.size()), given.begin());
        const bool isNew = !record;
        if (isNew) {
            record = store_->Insert(std::move(given));
            DropOtherIndexes();
        } else {
            std::optional<TValues> edited = store_->Edited(*record, std::move(given));
            if (!edited)
                return record;
            DropOtherIndexes();
            for (auto &[name, cache] : indexCaches_)
                cache->Remove(record, record->Values());
            store_->Update(record, std::move(*edited));
        }
        for (auto &[name, cache] : indexCaches_)
            cache->Add(record);
        record->filterStamp = 0;
        UpdateVisible(record, isNew, false);
    }
    if (visibleValid_)
        CommitCursor();
    NotifyLayout();
    NotifyData();
    Changed();
    return record;
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
    CommitCursor();
    store_->Append(std::move(rows), rowIds);
    // Sorted again when next looked at, in one pass.
    indexCaches_.clear();
    InvalidateVisible();
    NotifyLayout();
    NotifyData();
    if (rowIds.empty())
        Changed();
}

const std::vector<TRecord *> &TTable::RecordsInOrder(const QString &indexName) const
{
    static const std::vector<TRecord *> none;
    return active_ ? BuiltIndex(indexName).Order() : none;
}

const QVariant &TTable::CurrentStored(int field) const
{
    static const QVariant null;
    if (field < 0 || field >= fields_.size())
        return null;
    if (evaluating_)
        return evaluating_->Stored(size_t(field));
    if (!active_)
        return null;
    if (state_ == dsEdit || state_ == dsInsert)
        return buffer_[size_t(field)];
    const TRecord *record = Cursor().record;
    return record ? record->Stored(size_t(field)) : null;
}

QVariant TTable::CurrentValue(int field) const
{
    return ReadForm(CurrentStored(field));
}

void TTable::SetCurrentValue(int field, const QVariant &value)
{
    CheckActive();
    if (field < 0 || field >= fields_.size())
        throw AppError(QStringLiteral("%1: Field number %2 not found").arg(name_).arg(field));
    if (state_ != dsEdit && state_ != dsInsert)
        throw AppError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(name_));
    QVariant normalized = NormalizeValue(fields_[field], value);
    QVariant &slot = buffer_[size_t(field)];
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
        return cache.Compare(cache.MakeKey(record->Values(), count), probe, count);
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
