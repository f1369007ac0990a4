#pragma once

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

class TTable;
namespace TableFileSql {
class Database;
}

// A few records of a table file changed without loading the whole table, for
// a command that adds or changes one record of a large file. The records it
// needs are read into the table (made empty and given no file name, so it
// never writes the file itself), edited there with the table's own rules,
// and Write() stores them as the table's own write of its changes does
// (TTableFile::WriteChanges): the records read and since changed updated in
// place, their values the command did not change written back exactly as
// the file held them, and the records added appended after the highest row
// id, in one transaction on the file, synced to the disk. The caller holds the file's
// lock throughout, as for any change.
//
// The file is checked as a load checks it (a table file of this program, of
// a known version, holding exactly this table); every failure throws AppError
// with the reason.
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
    // in file order, and returns how many. Texts compare exactly, as their
    // read form does: an empty value matches an empty or null text.
    int Read(const QString &field, const QVariant &value);
    // Stores the records read and changed since and the records added to
    // the table; writes nothing when there are none. The last call: the
    // file is not read again afterwards.
    void Write();

private:
    TTable &table_;
    QString fileName_;
    std::unique_ptr<TableFileSql::Database> db_; // read, all in one transaction
    std::vector<qint64> rowIds_;                 // of the records read, in the order read
    std::vector<std::vector<QVariant>> values_;  // their values as read
    std::vector<std::vector<QVariant>> cells_;   // and as the file holds them (StoredCell)
};
