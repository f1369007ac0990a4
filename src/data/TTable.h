#pragma once

#include "TRecord.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <vector>

enum TFieldType { ftString, ftInteger, ftDate, ftTime, ftMemo };

// One column of a table. `size` is the most characters a String field keeps.
struct TFieldDef {
    QString name;
    TFieldType type = ftString;
    int size = 0;
};

// A named order over one or more fields. Descending applies to every field;
// case-insensitive applies to the text fields.
struct TIndexDef {
    QString name;
    QStringList fields;
    bool descending = false;
    bool caseInsensitive = false;
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// Identifies a record for as long as it exists; 0 is no record.
using TBookmark = quint64;

class TTable;
class TIndexSort;
class TRecordStore;
struct TFileChanges;
struct TChangedRow;
enum class TableMember;

// Accessor of one field of a table's current record (the edit buffer while
// editing or inserting). Cheap to copy; valid while the table lives.
class TField {
public:
    TField(TTable *table, int index) : table_(table), index_(index) {}

    const TFieldDef &Def() const;
    const QString &FieldName() const { return Def().name; }
    int Index() const { return index_; }

    QVariant Value() const; // invalid QVariant when null
    bool IsNull() const;
    // Dates read as "dd/mm/yyyy", times as "hh:mm:ss", null as "".
    QString AsString() const;
    int AsInteger() const; // 0 when null
    QDate AsDate() const;  // null date when null
    QTime AsTime() const;  // null time when null

    // Setting needs the edit or insert state. Text is cut to a String field's
    // size (never inside a surrogate pair) and loses trailing blanks; empty
    // text makes the field null. Text for an Integer, Date or Time field that
    // does not parse, a number beyond 32 bits and a date outside the years
    // 1 to 9999 throw AppError.
    void SetValue(const QVariant &value);
    void SetAsString(const QString &value);
    void SetAsInteger(int value);
    void SetAsDate(const QDate &value);
    void SetAsTime(const QTime &value);
    void Clear();

private:
    TTable *table_;
    int index_;
};

// In-memory table with a cursor, edit states, named indexes, a filter,
// bookmarks and change notification, stored in one SQLite file. The tables of
// an Action File are instances of this class with their own definitions.
// The records and their file are kept by a TRecordStore; the table is the
// view that browses and edits them.
//
// Failing operations throw AppError with a message for the user.
class TTable : public QObject {
    Q_OBJECT
public:
    TTable(const QString &name, QList<TFieldDef> fields, QList<TIndexDef> indexes = {},
           QObject *parent = nullptr);
    ~TTable() override;

    const QString &TableName() const { return name_; }
    const QList<TFieldDef> &FieldDefs() const { return fields_; }
    const QList<TIndexDef> &IndexDefs() const { return indexes_; }
    int FieldCount() const { return int(fields_.size()); }
    int FieldIndex(const QString &name) const; // -1 when unknown

    // Life cycle and files.
    void CreateDataSet(); // empty, active and changed; forgets any loaded data
    // Loads FileName; does nothing when already active. Data still in memory
    // from the very same file, unchanged on disk since (size, times, inode),
    // is taken as it is instead of being read again.
    void Open();
    // Writes the table when a file name is set and the data changed since it
    // was loaded, created or written, or the file is missing; then inactive.
    // A failed write throws and leaves the table active with its changes,
    // so the write can be tried again once its cause is removed.
    void Close();
    // What Close writes: when active, cancels an unfinished edit and writes
    // the table if it needs writing; stays active.
    bool NeedsWrite() const;
    void WriteIfChanged();
    // Inactive without writing; unwritten changes come back if the
    // unchanged file is opened again.
    void Abandon();
    // Writes an active table to fileName (empty: FileName); does nothing
    // when inactive.
    void SaveToFile(const QString &fileName = QString());
    // Opens the table empty on part of the file fileName, whose highest row
    // id is maxRowId: it takes the records AppendStoredRecords adds with
    // their row ids (some of the file's, read by their values), and the
    // changes made to them or added are written into the file in place. The
    // file is never written whole from such a table.
    void OpenPart(const QString &fileName, qint64 maxRowId);

    // Writing the changes of several tables in one transaction (the table
    // set does): before it, ReadyForChangesInPlace makes sure the file can
    // take them; a file that no longer mirrors the records (missing, or
    // changed by someone else) or whose structure is damaged is written
    // whole instead (a damaged one kept aside, see FileRepaired), which
    // leaves nothing to write and returns false. ChangesInPlace are then
    // written, and the table told how that went.
    bool ReadyForChangesInPlace();
    TFileChanges ChangesInPlace() const;
    void ChangesWritten(const TFileChanges &changes);
    void ChangesNotWritten();
    // Writes all records into newFile, an empty file that is renamed to
    // FileName afterwards (a new Action File's files appear together), and
    // Published() once it has been.
    void WriteNewFile(const QString &newFile);
    void Published();
    // The rows changed since the file last matched the records, with their
    // images before and after, for the history of changes (see TRecordStore).
    void PendingChanges(TableMember member, std::vector<TChangedRow> &rows) const;
    bool Active() const { return active_; }
    const QString &FileName() const;
    void SetFileName(const QString &fileName);
    bool LogChanges() const { return logChanges_; }
    void SetLogChanges(bool on) { logChanges_ = on; }
    // Data differs from what was last loaded or written.
    bool Modified() const;

    // Cursor over the visible records (filter passed, in index order).
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;
    bool Bof() const;
    int RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    int RecNo() const;      // 0-based visible position of the current record, -1 none
    void SetRecNo(int row); // moves to a visible position (clamped)
    TBookmark GetBookmark() const;
    bool BookmarkValid(TBookmark bookmark) const;
    void GotoBookmark(TBookmark bookmark); // throws when the record is gone or hidden

    // Editing.
    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    TDataSetState State() const;
    std::function<void(TTable &)> OnNewRecord;
    // Appends a record from values in field order; a missing or null value
    // leaves the field as the new-record handler set it.
    void AppendRecord(const QVariantList &values);
    // Appends records whose values are already in stored form, in field
    // order (as read from another table's records), without the new-record
    // handler; for filling a table with many records at once. The cursor
    // stays where it was. With rowIds (one per row) the records are those
    // rows of the file the table is open on part of, as read, and no change.
    void AppendStoredRecords(std::vector<std::vector<QVariant>> rows, const std::vector<qint64> &rowIds = {});
    // Puts values back as they were, for undo and redo: record (null: a new
    // one) takes values in read form, in field order, or is removed when
    // values is null. No new-record handler runs; an unfinished edit is
    // cancelled; the cursor stays on its record where that remains. Returns
    // the record, null once removed.
    TRecord *PutRecord(TRecord *record, const std::vector<QVariant> *values);
    // Every record, filter ignored, in the order they were added.
    const TRecords &AllRecords() const;
    // Runs after a post, insert or delete changed the records: the table set
    // writes the change there.
    std::function<void(TTable &)> OnChanged;

    // Order: an index name, or empty for order of insertion. Keeps the record.
    const QString &IndexName() const { return indexName_; }
    void SetIndexName(const QString &name);

    // Filter: the text form "FIELD = n" and/or the OnFilterRecord handler,
    // applied while Filtered is on.
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool on);
    const QString &Filter() const { return filterText_; }
    void SetFilter(const QString &text);
    std::function<bool(TTable &)> OnFilterRecord;
    // Applies the filter anew after the inputs of OnFilterRecord changed.
    void RefreshFilter();

    // Moves to the first visible record whose current-index fields equal
    // values; false (cursor unchanged) when there is none or no index is set.
    bool FindKey(const QVariantList &values);

    TField FieldByName(const QString &name); // throws for an unknown field
    TField Fields(int index) { return TField(this, index); }

    // Notification.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // The visible records in their order, and all records in the order of
    // indexName whatever the filter says, for readers that walk many records
    // without moving the cursor. Valid until the table next changes.
    const std::vector<TRecord *> &VisibleRecords() const { return Visible(); }
    const std::vector<TRecord *> &RecordsInOrder(const QString &indexName) const;

    // Random access to the visible records, for grids and readers of many
    // records: RecordAt reads one in place (invalid beyond the records).
    TRecordView RecordAt(int row) const;
    QVariant ValueAt(int row, int field) const;
    QString DisplayTextAt(int row, int field) const;
    TBookmark BookmarkAt(int row) const;

    // Highest non-null value of an Integer field over all records, filter
    // ignored; fallback when there is none.
    int MaxInteger(const QString &field, int fallback) const;

Q_SIGNALS:
    // The current record moved, or its data or the state changed.
    void DataChange();
    // Which records are visible, or their order, changed.
    void LayoutChange();
    // The file was found damaged before a write in place and was written
    // whole instead; the message says where the damaged file was kept.
    void FileRepaired(const QString &message);

private:
    friend class TField;

    // The current record's value (the edit buffer's while editing or
    // inserting) as stored; null beyond the fields or without a record.
    const QVariant &CurrentStored(int field) const;
    QVariant CurrentValue(int field) const;
    void NewFilterGeneration();
    void FilterInputsChanged();
    void SetCurrentValue(int field, const QVariant &value);
    const std::vector<TRecord *> &Visible() const;
    TIndexSort &BuiltIndex(const QString &name) const;
    bool Passes(TRecord *record) const;
    bool Evaluate(TRecord *record) const;
    void InvalidateVisible();
    void DropOtherIndexes();
    // The cursor over the visible records: the current record while it is
    // visible, else the one now at its position. Const readers see it
    // without moving the cursor; CommitCursor makes it the cursor.
    struct Placed {
        TRecord *record = nullptr;
        int row = -1;
    };
    Placed Place() const;
    const Placed &Cursor() const;
    void SetCursor(TRecord *record, int row);
    void CommitCursor();
    void DropVisible();
    void UpdateVisible(TRecord *record, bool isNew, bool removed);
    void ForgetRecords();
    void CheckActive() const;
    void AutoPost();
    void StartNew();
    void EndEdit();
    void MoveToVisible(int row);
    void NotifyData();
    void NotifyLayout();
    void Changed();

    QString name_;
    QList<TFieldDef> fields_;
    QList<TIndexDef> indexes_;
    QHash<QString, int> fieldIndex_;
    std::unique_ptr<TRecordStore> store_; // the records and their file

    bool active_ = false;
    bool logChanges_ = true;

    QString indexName_;
    mutable std::map<QString, std::unique_ptr<TIndexSort>> indexCaches_;
    bool filtered_ = false;
    QString filterText_;
    int filterField_ = -1;
    qint64 filterValue_ = 0;
    quint32 filterGeneration_ = 1;

    mutable std::vector<TRecord *> visible_;
    mutable bool visibleValid_ = false;
    mutable TRecord *evaluating_ = nullptr; // record seen by FieldByName during filtering

    TRecord *current_ = nullptr;
    int currentRow_ = -1;   // position of current_ in visible_ (-1 unknown), or where it was
    mutable Placed placed_; // the cursor as placed over visible_, while placedValid_
    mutable bool placedValid_ = false;
    bool eof_ = true;
    bool bof_ = true;
    TDataSetState state_ = dsInactive;
    // The values being edited or inserted, in their read form.
    TValues buffer_;
    TRecord *editing_ = nullptr; // record being edited
    int disableCount_ = 0;
    bool pendingData_ = false;
    bool pendingLayout_ = false;
};
