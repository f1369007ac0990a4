#pragma once

#include "RecordMerge.h"
#include "TTable.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <array>

class TDataModuleMain;

// Reads the records of the Action File whose header file is actFile, by kind,
// each table in its file's order, with the table definitions of data. A
// member that is not the table it should be, or holds what the table cannot
// (a number beyond 32 bits, a date that is none), is refused: throws AppError
// naming it.
TRecordSet ReadActionFileRecords(const TDataModuleMain &data, const QString &actFile);

// Unpacks a Dravelin File into temporary files (deleted at the end of the
// program) and reads its records as ReadActionFileRecords does. Throws
// AppError for a file that is no Dravelin File or cannot be read.
TRecordSet ReadDravelinFileRecords(TDataModuleMain &data, const QString &container);

// Whether the records of side grew from base: an action of the base is still
// there under its number with its attribute or its Action ID, or, in a file
// without actions, the header still names the same date of entry. A base kept
// for another file of the same name is not taken for this one.
bool GrewFrom(const TRecordSet &base, const TRecordSet &side);

// The merge of a Dravelin File that came back into the Action File open in
// the table set (all six tables open). Three-way when the copy kept when the
// file was packed under the returned file's name (MergeBaseFileName) is there
// and both sides grew from it, else two-way.
class TDravelinMerge {
public:
    // Reads both files and plans the merge; nothing is changed. Throws
    // AppError for a returned file that cannot be read; a base that cannot
    // be read is passed over (the merge is then two-way). auxiliaryFolder is
    // the open Action File's own, where packing kept its copies; empty for
    // none.
    TDravelinMerge(TDataModuleMain &data, const QString &returnedFile, const QString &auxiliaryFolder);

    TMergePlan &Plan() { return plan_; }
    const TMergePlan &Plan() const { return plan_; }
    const QString &ReturnedFileName() const { return returned_; }
    // The base merged against; empty for a two-way merge.
    const QString &BaseFileName() const { return baseFile_; }

    // The one place the merge changes the Action File: applies the plan's
    // choices to the open tables as one change of the table set, committed
    // together (TChangeScope), so the merge lands whole or not at all. The
    // actions and children taken from the returned file get their numbers
    // from this file's counters unless the number they had here before is
    // free; follow-up chains and the children's actions are renumbered with
    // them. Throws what the commit throws (TNotSavedError).
    void Apply();

private:
    // Where the records of mine the plan names lie in their table.
    using TBookmarks = std::array<QList<TBookmark>, kMergeKindCount>;

    TDataModuleMain &data_;
    QString returned_;
    QString baseFile_;
    TBookmarks bookmarks_;
    // The numbers of every record here and in the base, by kind.
    std::array<QSet<int>, kMergeKindCount> mineIds_, baseIds_;
    TMergePlan plan_;
};
