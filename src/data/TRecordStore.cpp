#include "TRecordStore.h"

#include "AppError.h"
#include "PrefetchAhead.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

TRecordStore::TRecordStore(const QString &tableName, const QList<TFieldDef> &fields)
    : tableName_(tableName), fields_(fields), file_(tableName, fields)
{
}

TRecordStore::~TRecordStore()
{
    // Records and the values kept for changes end before the arena they
    // may lie in.
    sync_ = TFileSync();
    records_.clear();
}

size_t TRecordStore::TFileSync::ChangeCount() const
{
    return size_t(std::count_if(changes.begin(), changes.end(),
                                [](const TRowChange &change) { return change.record || change.inFile; }));
}

TRecord *TRecordStore::BySerial(quint64 serial) const
{
    const auto at = std::lower_bound(records_.begin(), records_.end(), serial,
                                     [](const TRecordPtr &r, quint64 s) { return r->Serial() < s; });
    return at != records_.end() && (*at)->Serial() == serial ? at->get() : nullptr;
}

int TRecordStore::MaxInteger(int field, int fallback) const
{
    // Every reload asks again; the answer holds until the records change.
    MaxCache &cached = maxCache_[field];
    if (cached.version != version_) {
        cached = MaxCache{version_, false, 0};
        // The value of a record some steps ahead is asked for early, so the
        // walk does not wait on memory at every record.
        const size_t count = records_.size();
        for (size_t i = 0; i < count; ++i) {
            if (i + kPrefetchAhead < count)
                __builtin_prefetch(&records_[i + kPrefetchAhead]->Stored(size_t(field)));
            const QVariant &value = records_[i]->Stored(size_t(field));
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

void TRecordStore::Forget()
{
    Changed();
    sync_ = TFileSync();
    records_.clear();
    arena_.Clear();
}

void TRecordStore::Changed()
{
    ++version_;
}

void TRecordStore::Create()
{
    Forget();
    modified_ = true;
}

bool TRecordStore::Load()
{
    const TFileStamp stamp = TFileStamp::Of(fileName_);
    if (stamp.size < 0)
        throw TTableFileError(QStringLiteral("The file \"%1\" does not exist.").arg(fileName_), fileName_,
                              QStringLiteral("it does not exist"));
    // The records already mirror this very file (it was read or written by
    // us and nobody changed it since): they are kept instead of read again.
    if (sync_.hasData && !sync_.partial && sync_.loadedFrom == fileName_ && sync_.loadedStamp == stamp)
        return false;
    TRecordArena arena;
    TRecords records = file_.Load(fileName_, arena);
    Forget();
    records_ = std::move(records);
    arena_ = std::move(arena);
    for (const auto &record : records_) {
        record->serial_ = nextSerial_++;
        sync_.maxRowId = std::max(sync_.maxRowId, record->rowId_);
    }
    modified_ = false;
    sync_.hasData = true;
    sync_.loadedFrom = fileName_;
    // Reading rolls back an interrupted write first, which changes the file:
    // the records mirror it as it is after the read.
    sync_.loadedStamp = TFileStamp::Of(fileName_);
    return true;
}

void TRecordStore::OpenPart(const QString &fileName, qint64 maxRowId)
{
    Forget();
    fileName_ = fileName;
    modified_ = false;
    sync_.hasData = true;
    sync_.partial = true;
    sync_.loadedFrom = fileName;
    sync_.loadedStamp = TFileStamp::Of(fileName);
    sync_.maxRowId = maxRowId;
}

bool TRecordStore::NeedsWrite() const
{
    if (fileName_.isEmpty())
        return false;
    // Part of a file is never written whole, so only its changes count.
    return modified_ || (!sync_.partial && !QFileInfo::exists(fileName_));
}

std::vector<const TRecord *> TRecordStore::All() const
{
    std::vector<const TRecord *> all;
    all.reserve(records_.size());
    for (const auto &record : records_)
        all.push_back(record.get());
    return all;
}

void TRecordStore::Write(const QString &fileName, bool allowDelta)
{
    if (fileName.isEmpty())
        throw AppError(QStringLiteral("%1: Missing file name").arg(tableName_));
    // Only the file the records mirror can take a write of what changed; any
    // other target gets a complete file and leaves that bookkeeping alone.
    if (fileName != fileName_ ||
        QFileInfo(fileName).absoluteFilePath() != QFileInfo(fileName_).absoluteFilePath()) {
        if (sync_.partial)
            throw AppError(QStringLiteral("%1: Part of a file cannot be written to another").arg(tableName_));
        file_.WriteAll(fileName, All());
        return;
    }
    // Where most records changed a new file is written faster than the
    // changes.
    if (sync_.partial || (allowDelta && sync_.ChangeCount() * 2 < records_.size() + 2))
        WriteChangesInPlace();
    else
        WriteWhole();
}

void TRecordStore::WriteChangesInPlace()
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

bool TRecordStore::ReadyForChangesInPlace()
{
    if (!sync_.Mirrors(fileName_)) {
        if (sync_.partial)
            throw TTableFileError(
                QStringLiteral("Cannot write \"%1\": it was changed by another program since it was read")
                    .arg(fileName_),
                fileName_, QStringLiteral("it was changed by another program since it was read"));
        WriteWhole();
        return false;
    }
    if (sync_.checked)
        return true;
    // Writing into a damaged b-tree can leave the whole file unreadable, so
    // the file is checked before the first write in place since it was read.
    QString problem;
    if (TTableFile::Intact(fileName_, &problem)) {
        sync_.checked = true;
        return true;
    }
    RepairWhole(problem);
    return false;
}

TFileChanges TRecordStore::ChangesInPlace() const
{
    TFileChanges changes;
    changes.fileName = fileName_;
    changes.file = &file_;
    changes.maxRowId = sync_.maxRowId;
    for (const TRowChange &change : sync_.changes) {
        if (!change.record) {
            if (change.inFile)
                changes.deleted.push_back(change.rowId);
        } else if (!change.inFile) {
            changes.inserted.push_back(change.record);
        } else {
            // Only the cells that read differently from the file's; a value
            // changed and changed back is no change.
            TFileChanges::Update update{change.rowId, change.record, {}};
            for (size_t field = 0; field < change.before.size(); ++field)
                if (!SameReadForm(change.before[field], change.record->Stored(field)))
                    update.fields.push_back(int(field));
            if (!update.fields.empty())
                changes.updated.push_back(std::move(update));
        }
    }
    // New records take row ids in the order they were added, so the file
    // keeps the order of insertion.
    std::sort(changes.inserted.begin(), changes.inserted.end(),
              [](const TRecord *a, const TRecord *b) { return a->Serial() < b->Serial(); });
    return changes;
}

namespace {

TRowImage ImageOf(const TValues &values)
{
    TRowImage image;
    image.reserve(values.size());
    for (const QVariant &value : values)
        image.push_back(ReadForm(value));
    return image;
}

} // namespace

void TRecordStore::PendingChanges(TableMember member, std::vector<TChangedRow> &rows) const
{
    for (const TRowChange &change : sync_.changes) {
        if (!change.record && !change.inFile)
            continue;
        TChangedRow row{member, std::nullopt, std::nullopt};
        if (change.inFile)
            row.before = ImageOf(change.before.empty() ? change.record->Values() : change.before);
        if (change.record)
            row.after = ImageOf(change.record->Values());
        if (row.before && row.after && SameImage(*row.before, *row.after))
            continue;
        rows.push_back(std::move(row));
    }
}

void TRecordStore::ChangesWritten(const TFileChanges &changes)
{
    Q_ASSERT(changes.insertedRowIds.size() == changes.inserted.size());
    for (size_t i = 0; i < changes.inserted.size(); ++i) {
        TRecord *record = BySerial(changes.inserted[i]->Serial());
        record->rowId_ = changes.insertedRowIds[i];
        record->inFile_ = true;
        sync_.maxRowId = std::max(sync_.maxRowId, record->rowId_);
    }
    Synced(false);
}

void TRecordStore::ChangesNotWritten()
{
    // The transaction was rolled back: the file holds what was read, so the
    // unwritten changes stay valid against it.
    if (!QFileInfo::exists(fileName_ + QStringLiteral("-journal")))
        sync_.loadedStamp = TFileStamp::Of(fileName_);
}

void TRecordStore::Synced(bool numbered)
{
    if (numbered) {
        qint64 rowId = 0;
        for (const auto &record : records_) {
            record->rowId_ = ++rowId;
            record->inFile_ = true;
        }
        sync_.maxRowId = rowId;
        sync_.checked = true;
    }
    modified_ = false;
    sync_.changes.clear();
    sync_.changeOf.clear();
    sync_.hasData = true;
    sync_.loadedFrom = fileName_;
    sync_.loadedStamp = TFileStamp::Of(fileName_);
}

void TRecordStore::WriteWhole()
{
    file_.WriteAll(fileName_, All());
    Synced(true);
}

void TRecordStore::WriteNewFile(const QString &newFile) const
{
    file_.WriteNew(newFile, All());
}

void TRecordStore::Published()
{
    Synced(true);
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

} // namespace

void TRecordStore::RepairWhole(const QString &problem)
{
    QString kept;
    try {
        kept = KeepDamagedFile(fileName_);
        if (!sync_.partial) {
            WriteWhole();
        } else {
            // Only some records are here: the rest are read from the file as
            // a load reads them (a hidden fault does not stop that), the
            // changes put over them (the records here in their rows, the
            // removed rows left out, the new records at the end), and the
            // whole written anew. A damaged file may give one row id to
            // several rows; they are matched in file order.
            TRecordArena arena;
            const TRecords whole = file_.Load(fileName_, arena);
            std::unordered_map<qint64, std::vector<TRecord *>> mine;
            for (auto it = records_.rbegin(); it != records_.rend(); ++it)
                if ((*it)->inFile_)
                    mine[(*it)->rowId_].push_back(it->get());
            std::unordered_map<qint64, size_t> removed;
            for (const TRowChange &change : sync_.changes)
                if (!change.record && change.inFile)
                    ++removed[change.rowId];
            std::vector<const TRecord *> merged;
            std::vector<TRecord *> owners; // the record here at each place, or null
            for (const auto &record : whole) {
                if (const auto gone = removed.find(record->rowId_);
                    gone != removed.end() && gone->second > 0) {
                    --gone->second;
                    continue;
                }
                const auto own = mine.find(record->rowId_);
                if (own == mine.end() || own->second.empty()) {
                    merged.push_back(record.get());
                    owners.push_back(nullptr);
                } else {
                    merged.push_back(own->second.back());
                    owners.push_back(own->second.back());
                    own->second.pop_back();
                }
            }
            for (const auto &record : records_) {
                if (!record->inFile_) {
                    merged.push_back(record.get());
                    owners.push_back(record.get());
                }
            }
            file_.WriteAll(fileName_, merged);
            for (const auto &record : records_)
                record->inFile_ = false;
            for (size_t i = 0; i < owners.size(); ++i) {
                if (owners[i]) {
                    owners[i]->rowId_ = qint64(i) + 1;
                    owners[i]->inFile_ = true;
                }
            }
            sync_.maxRowId = qint64(merged.size());
            sync_.checked = true;
            Synced(false);
        }
    } catch (const AppError &error) {
        if (!kept.isEmpty())
            QFile::remove(kept);
        throw TTableFileError(QStringLiteral("Cannot write \"%1\": it is damaged (%2), and %3")
                                  .arg(fileName_, problem, error.message()),
                              fileName_, error.message());
    }
    if (OnRepaired)
        OnRepaired(QStringLiteral("The file \"%1\" was damaged (%2). It was written anew from the records "
                                  "that could be read; the damaged file was kept as \"%3\".")
                       .arg(fileName_, problem, kept));
}

TRecordStore::TRowChange &TRecordStore::Track(TRecord *record)
{
    const auto found = sync_.changeOf.find(record);
    if (found != sync_.changeOf.end())
        return sync_.changes[found->second];
    sync_.changeOf.emplace(record, sync_.changes.size());
    TRowChange &change = sync_.changes.emplace_back();
    change.record = record;
    change.inFile = record->inFile_;
    change.rowId = record->rowId_;
    return change;
}

TRecord *TRecordStore::Insert(TValues values)
{
    Q_ASSERT(values.size() == size_t(fields_.size()));
    TRecordPtr record(new TRecord);
    record->values_ = std::move(values);
    record->serial_ = nextSerial_++;
    TRecord *added = record.get();
    records_.push_back(std::move(record));
    Track(added);
    modified_ = true;
    Changed();
    return added;
}

std::optional<TValues> TRecordStore::Edited(const TRecord &record, TValues values) const
{
    Q_ASSERT(values.size() == record.values_.size());
    bool differs = false;
    for (size_t field = 0; field < values.size(); ++field) {
        if (SameReadForm(values[field], record.values_[field]))
            values[field] = record.values_[field];
        else
            differs = true;
    }
    if (!differs)
        return std::nullopt;
    return values;
}

void TRecordStore::Update(TRecord *record, TValues values)
{
    Q_ASSERT(values.size() == record->values_.size());
    TRowChange &change = Track(record);
    // The first change of a row of the file keeps what the file holds there.
    if (change.inFile && change.before.empty())
        change.before = std::move(record->values_);
    record->values_ = std::move(values);
    modified_ = true;
    Changed();
}

void TRecordStore::Remove(TRecord *record)
{
    const auto found = sync_.changeOf.find(record);
    if (found != sync_.changeOf.end()) {
        // A record added since is simply gone; a row of the file is removed
        // from it.
        sync_.changes[found->second].record = nullptr;
        sync_.changeOf.erase(found);
    } else if (record->inFile_) {
        TRowChange &change = sync_.changes.emplace_back();
        change.inFile = true;
        change.rowId = record->rowId_;
        change.before = std::move(record->values_);
    }
    const auto at = std::lower_bound(records_.begin(), records_.end(), record->Serial(),
                                     [](const TRecordPtr &r, quint64 s) { return r->Serial() < s; });
    Q_ASSERT(at != records_.end() && at->get() == record);
    records_.erase(at);
    modified_ = true;
    Changed();
}

void TRecordStore::Append(std::vector<std::vector<QVariant>> rows, const std::vector<qint64> &rowIds)
{
    if (rows.empty())
        return;
    Q_ASSERT(rowIds.empty() || rowIds.size() == rows.size());
    const bool read = !rowIds.empty();
    records_.reserve(records_.size() + rows.size());
    // A search appends a few hundred thousand new records at once.
    if (!read) {
        sync_.changes.reserve(sync_.changes.size() + rows.size());
        sync_.changeOf.reserve(sync_.changeOf.size() + rows.size());
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        std::vector<QVariant> &values = rows[i];
        TRecordPtr record(new TRecord);
        record->values_ = TValues(size_t(fields_.size()));
        std::move(values.begin(), values.begin() + qsizetype(std::min(values.size(), record->values_.size())),
                  record->values_.begin());
        record->serial_ = nextSerial_++;
        TRecord *added = record.get();
        records_.push_back(std::move(record));
        if (read) {
            added->rowId_ = rowIds[i];
            added->inFile_ = true;
        } else {
            // A record just made has no change yet.
            sync_.changeOf.emplace(added, sync_.changes.size());
            sync_.changes.push_back(TRowChange{added, false, 0, {}});
        }
    }
    if (!read)
        modified_ = true;
    Changed();
}
