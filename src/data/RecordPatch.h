#pragma once

#include "TTableFile.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

class TTable;
namespace TableFileSql {
class Database;
}

// A few records of a table file changed without loading the whole table, for
// a command that adds or changes one record of a large file. The table is
// opened on part of the file (TTable::OpenPart): the records it needs are read
// into it with their row ids, edited there with the table's own rules, and
// the changes and the records added are written as the table's own write of
// its changes does (in place, in one transaction, synced to the disk; with
// the table set's other changes when it belongs to one): each record into
// the row it was read from, and only the cells a command changed, so every
// other value stays exactly as the file held it, even bytes that are not
// UTF-8 or a value stored with another type. The caller holds the file's
// lock throughout, as for any change.
//
// The file is checked as a load checks it (a table file of this program, of
// a known version, holding exactly this table); every failure throws AppError
// with the reason, and so does a read that finds the file changed by another
// program since the patch began (the caller's lock keeps out only this
// program and its command-line tool).
class TRecordPatch {
public:
    TRecordPatch(TTable &table, const QString &fileName);
    ~TRecordPatch();
    TRecordPatch(const TRecordPatch &) = delete;
    TRecordPatch &operator=(const TRecordPatch &) = delete;

    // Highest non-null value of an Integer field over all records of the
    // file, fallback when there is none: what TTable::MaxInteger gives once
    // the file is loaded.
    int MaxInteger(const QString &field, int fallback);
    // Appends to the table the records of the file whose field holds value,
    // in file order, and returns how many: those a whole load shows with that
    // value. Texts compare exactly as they read, whatever type the file
    // stores them with (a blob too); an empty value matches an empty or null
    // text.
    int Read(const QString &field, const QVariant &value);
    // Ends the reading (which holds the file for reading) and stores the
    // table's changes; writes nothing when there are none. The last call:
    // the file is not read again afterwards. A patch whose table belongs to
    // the table set is instead ended with EndRead before the set commits.
    void Write();
    // Ends the reading, which lets the file be written.
    void EndRead();

private:
    template <typename Work> auto Reading(Work read);

    TTable &table_;
    QString fileName_;
    std::unique_ptr<TableFileSql::Database> db_; // read, all in one transaction
    TFileStamp stamp_;                           // the file as the reading found it
};
