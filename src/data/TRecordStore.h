#pragma once

#include "ChangeHistory.h"
#include "TRecord.h"
#include "TTable.h"
#include "TTableFile.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

// The records of one table and the file they mirror: it holds the records
// (those read from a file in its arena), reads and writes the file, and
// tracks what changed since the file last matched the records, row by row,
// so that a commit writes just that. Every change of a record goes through
// Insert, Update and Remove; reading never changes one.
//
// A change keeps the row's identity and, for a row of the file, the values
// the file holds there: at the commit point both images of every changed row
// are at hand (the file's and the record's), and the writer puts back only
// the cells that differ, so every other cell stays as the file held it.
//
// Failing operations throw AppError with a message for the user.
class TRecordStore {
public:
    TRecordStore(const QString &tableName, const QList<TFieldDef> &fields);
    ~TRecordStore();
    TRecordStore(const TRecordStore &) = delete;
    TRecordStore &operator=(const TRecordStore &) = delete;

    const QList<TFieldDef> &Fields() const { return fields_; }
    // Every record, in the order of insertion (that of their serials).
    const TRecords &Records() const { return records_; }
    TRecord *BySerial(quint64 serial) const;
    // Highest non-null value of an Integer field; fallback when none.
    int MaxInteger(int field, int fallback) const;

    const QString &FileName() const { return fileName_; }
    void SetFileName(const QString &fileName) { fileName_ = fileName; }
    // The records differ from what was last loaded or written.
    bool Modified() const { return modified_; }

    // Empty and changed, so that its first write replaces whatever file is
    // in the way.
    void Create();
    // Reads FileName. Records that mirror the very same file, unchanged on
    // disk since (size, times, inode), are kept instead: then false.
    bool Load();
    // Empty, standing for part of fileName, whose highest row id is
    // maxRowId: it takes the rows Append gives it with their row ids, and
    // its changes are written into the file in place, never the file whole.
    void OpenPart(const QString &fileName, qint64 maxRowId);
    // The file needs writing: the records changed, or it is missing.
    bool NeedsWrite() const;
    // Writes the records to fileName: a file other than the one they mirror
    // gets a complete copy; their own file takes what changed in place, or
    // is written whole where most records changed or allowDelta is off.
    void Write(const QString &fileName, bool allowDelta);

    // The steps of a write in place that the table set makes across its
    // files in one transaction (see TTable).
    bool ReadyForChangesInPlace();
    TFileChanges ChangesInPlace() const;
    void ChangesWritten(const TFileChanges &changes);
    void ChangesNotWritten();
    void WriteNewFile(const QString &newFile) const;
    void Published();
    // Adds the rows changed since the file last matched the records, as
    // rows of member with their images before (the file's) and after (the
    // records'), in the order of their first change; rows that read as the
    // file holds them are left out.
    void PendingChanges(TableMember member, std::vector<TChangedRow> &rows) const;
    // Told when the file was found damaged before a write in place and
    // written whole instead; the message says where the damaged file is.
    std::function<void(const QString &message)> OnRepaired;

    // A new record with values (in field order, stored or read form).
    TRecord *Insert(TValues values);
    // The values an edit of record stores: each value that reads as the
    // record's keeps the record's stored form, so a text nobody changed
    // keeps its bytes. Nothing when no value differs.
    std::optional<TValues> Edited(const TRecord &record, TValues values) const;
    // Gives record new values (from Edited).
    void Update(TRecord *record, TValues values);
    // Removes the record; it is gone once this returns.
    void Remove(TRecord *record);
    // Appends records from values in stored form, in field order. With
    // rowIds (one per row) they are those rows of the file, as read (see
    // OpenPart), and no change.
    void Append(std::vector<std::vector<QVariant>> rows, const std::vector<qint64> &rowIds);

private:
    // A row changed since the file last matched the records: the record now
    // (null once removed), whether it has a row in the file and which, and
    // the values the file holds there.
    struct TRowChange {
        TRecord *record = nullptr;
        bool inFile = false;
        qint64 rowId = 0;
        TValues before;
    };
    // The file the records mirror and the changes since.
    struct TFileSync {
        bool hasData = false; // the records hold data of loadedFrom
        bool partial = false; // some of the file's records only
        // The file's structure was checked, or the file written whole, since
        // it was read: writing into a damaged file can make all of it
        // unreadable.
        bool checked = false;
        QString loadedFrom;
        TFileStamp loadedStamp;
        qint64 maxRowId = 0;
        std::vector<TRowChange> changes; // in the order of the first change
        std::unordered_map<const TRecord *, size_t> changeOf;

        // The records mirror fileName, unchanged on disk since.
        bool Mirrors(const QString &fileName) const
        {
            return hasData && loadedFrom == fileName && loadedStamp == TFileStamp::Of(fileName);
        }
        size_t ChangeCount() const;
    };

    void Forget();
    TRowChange &Track(TRecord *record);
    void Changed();
    // The records now mirror their file as it is on disk, rows 1 to n when
    // written whole.
    void Synced(bool numbered);
    std::vector<const TRecord *> All() const;
    void WriteChangesInPlace();
    void WriteWhole();
    void RepairWhole(const QString &problem);

    QString tableName_;
    QList<TFieldDef> fields_;
    TTableFile file_;
    QString fileName_;
    bool modified_ = false;
    quint64 nextSerial_ = 1;
    quint64 version_ = 0; // changes with every change of the records
    // The arena goes after the records and changes made in it.
    TRecordArena arena_;
    TRecords records_;
    TFileSync sync_;

    struct MaxCache {
        quint64 version = ~quint64(0);
        bool found = false;
        int highest = 0;
    };
    mutable std::unordered_map<int, MaxCache> maxCache_;
};
