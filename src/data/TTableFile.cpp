#include "TTableFile.h"

#include "AppError.h"
#include "Formats.h"
#include "TableFileSql.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TableFileSql;

namespace {

QByteArray EncodeDate(const QDate &date)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year(), date.month(), date.day());
    return QByteArray(text, 10);
}

QByteArray EncodeTime(const QTime &time)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour(), time.minute(), time.second());
    return QByteArray(text, 8);
}

void Bind(sqlite3_stmt *stmt, int column, const TFieldDef &field, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(stmt, column);
        return;
    }
    QByteArray text;
    switch (field.type) {
    case ftInteger: {
        // The record store keeps 32-bit numbers; anything else would not
        // read back.
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
            throw AppError(QStringLiteral("field %1 holds a number out of range").arg(field.name));
        sqlite3_bind_int64(stmt, column, number);
        return;
    }
    case ftDate:
        // Only what the reader takes back is written.
        if (!IsStorableDate(value.toDate()))
            throw AppError(
                QStringLiteral("field %1 holds a date outside the years 1 to 9999").arg(field.name));
        text = EncodeDate(value.toDate());
        break;
    case ftTime:
        text = EncodeTime(value.toTime());
        break;
    case ftString:
    case ftMemo:
        // A text never read is still the bytes it was read as.
        text = value.typeId() == QMetaType::QByteArray ? value.toByteArray() : value.toString().toUtf8();
        break;
    }
    sqlite3_bind_text(stmt, column, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void BindRecord(sqlite3_stmt *stmt, const QList<TFieldDef> &fields, const TRecord &record, int first)
{
    for (int i = 0; i < fields.size(); ++i)
        Bind(stmt, first + i, fields[i], record.Stored(size_t(i)));
}

// A file the user marked read-only is not replaced, even by a user who
// could (root, or the owner of the folder).
void CheckWritable(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.exists() && !(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
        throw AppError(QStringLiteral("the file is read-only."));
}

bool SyncPath(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

TFileStamp TFileStamp::Of(const QString &fileName)
{
    TFileStamp stamp;
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

TTableFileError ReadFailure(const QString &fileName, const AppError &cause)
{
    return TTableFileError(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, cause.message()), fileName,
                           cause.message(), dynamic_cast<const TBusyError *>(&cause) != nullptr);
}

TTableFile::TTableFile(const QString &tableName, const QList<TFieldDef> &fields)
    : tableName_(tableName), fields_(fields)
{
}

QString TTableFile::CreateTableSql() const
{
    return TableFileSql::CreateTableSql(tableName_, fields_);
}

TRecords TTableFile::Load(const QString &fileName, TRecordArena &arena) const
{
    if (!QFileInfo(fileName).isFile())
        throw TTableFileError(QStringLiteral("The file \"%1\" does not exist.").arg(fileName), fileName,
                              QStringLiteral("it does not exist"));
    try {
        // A journal beside the file is what an interrupted write leaves; a
        // writable connection lets SQLite roll the file back to its old
        // content. Otherwise the file is opened read-only and never changed.
        const bool interrupted = QFileInfo::exists(fileName + QStringLiteral("-journal"));
        Database db(fileName, interrupted ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
        CheckFormat(db, tableName_, fields_);

        QStringList names;
        for (const TFieldDef &field : fields_)
            names << Quoted(field.name);
        Statement select(db, QStringLiteral("SELECT rowid, ") + names.join(QStringLiteral(", ")) +
                                 QStringLiteral(" FROM ") + Quoted(tableName_) +
                                 QStringLiteral(" ORDER BY rowid"));
        sqlite3_stmt *stmt = select.Handle();
        TRecords records;
        {
            // The highest row id is the number of rows of a file written
            // whole, found without a scan; the list is allocated once. A
            // row takes more than eight bytes of the file, which bounds it.
            Statement last(db, QStringLiteral("SELECT max(rowid) FROM ") + Quoted(tableName_));
            if (last.Step())
                records.reserve(size_t(std::clamp<sqlite3_int64>(sqlite3_column_int64(last.Handle(), 0), 0,
                                                                 QFileInfo(fileName).size() / 8)));
        }
        const qsizetype count = fields_.size();
        while (select.Step()) {
            records.push_back(arena.NewRecord(size_t(count)));
            TRecord &record = *records.back();
            record.rowId_ = sqlite3_column_int64(stmt, 0);
            record.inFile_ = true;
            // Each value is made in its place, once, over the null value
            // there (which holds nothing to release).
            QVariant *values = record.values_.begin();
            for (int i = 0; i < count; ++i) {
                // The cell is read through its value, which spares each
                // access the checks of the column functions; the connection
                // is used by this thread alone.
                sqlite3_value *cell = sqlite3_column_value(stmt, i + 1);
                const int type = sqlite3_value_type(cell);
                if (type == SQLITE_NULL)
                    continue;
                const TFieldDef &field = fields_[i];
                if (field.type == ftString || field.type == ftMemo) {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(cell));
                    // Kept as its bytes; decoded where read.
                    new (&values[i]) QVariant(arena.Hold(text, sqlite3_value_bytes(cell)));
                } else {
                    new (&values[i]) QVariant(DecodeCell(field, cell, type));
                }
            }
        }
        return records;
    } catch (const AppError &error) {
        throw ReadFailure(fileName, error);
    }
}

void TTableFile::WriteNew(const QString &newFile, const std::vector<const TRecord *> &records) const
{
    {
        // The new file is not in use until it is renamed into place, so it
        // needs no journal; it is synced before anyone renames it.
        Database db(newFile, SQLITE_OPEN_READWRITE, false);
        db.Exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; "
                               "PRAGMA application_id=%1; PRAGMA user_version=%2; BEGIN")
                    .arg(kApplicationId)
                    .arg(kFormatVersion));
        db.Exec(CreateTableSql());
        QStringList names{QStringLiteral("rowid")}, marks{QStringLiteral("?")};
        for (const TFieldDef &field : fields_) {
            names << Quoted(field.name);
            marks << QStringLiteral("?");
        }
        {
            Statement insert(db, QStringLiteral("INSERT INTO ") + Quoted(tableName_) + QLatin1Char('(') +
                                     names.join(QLatin1Char(',')) + QStringLiteral(") VALUES(") +
                                     marks.join(QLatin1Char(',')) + QLatin1Char(')'));
            qint64 rowId = 0;
            for (const TRecord *record : records) {
                sqlite3_bind_int64(insert.Handle(), 1, ++rowId);
                BindRecord(insert.Handle(), fields_, *record, 2);
                insert.Run();
            }
        }
        db.Exec(QStringLiteral("COMMIT"));
        db.Close();
    }
    if (!SyncPath(newFile, O_RDONLY))
        throw AppError(QString::fromLocal8Bit(std::strerror(errno)));
}

void TTableFile::WriteAll(const QString &fileName, const std::vector<const TRecord *> &records) const
{
    const QFileInfo target(fileName);
    QString tempName;
    try {
        CheckWritable(fileName);
        {
            QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                                QStringLiteral(".XXXXXX"));
            if (!temp.open())
                throw AppError(temp.errorString());
            temp.setAutoRemove(false);
            tempName = temp.fileName();
        }
        WriteNew(tempName, records);
        QFile::Permissions permissions = target.exists()
                                             ? target.permissions()
                                             : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                   QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;
        QFile::setPermissions(tempName, permissions);
        if (::rename(QFile::encodeName(tempName).constData(), QFile::encodeName(fileName).constData()) != 0)
            throw AppError(QString::fromLocal8Bit(std::strerror(errno)));
        tempName.clear();
        SyncPath(target.absolutePath(), O_RDONLY | O_DIRECTORY);
    } catch (const AppError &error) {
        if (!tempName.isEmpty()) {
            QFile::remove(tempName);
            QFile::remove(tempName + QStringLiteral("-journal"));
        }
        throw TTableFileError(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, error.message()),
                              fileName, error.message(), dynamic_cast<const TBusyError *>(&error) != nullptr);
    }
}

namespace {

// Runs a statement that removes or updates one row, and refuses a file
// that no longer holds it: the records were read from that row.
void RunOnRow(const Database &db, Statement &statement, qint64 rowId)
{
    statement.Run();
    if (sqlite3_changes64(db.Handle()) != 1)
        throw AppError(QStringLiteral("its row %1 is no longer there").arg(rowId));
}

// Writes one file's changes inside the open transaction, into the table of
// the attached database `schema`.
void ApplyChanges(const Database &db, const QString &schema, const QString &tableName,
                  const QList<TFieldDef> &fields, TFileChanges &changes)
{
    const QString table = Quoted(schema) + QLatin1Char('.') + Quoted(tableName);
    QStringList names, marks;
    for (const TFieldDef &field : fields) {
        names << Quoted(field.name);
        marks << QStringLiteral("?");
    }
    const QString columns = names.join(QLatin1Char(',')), values = marks.join(QLatin1Char(','));
    Statement remove(db, QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE rowid=?"));
    for (qint64 rowId : changes.deleted) {
        sqlite3_bind_int64(remove.Handle(), 1, rowId);
        RunOnRow(db, remove, rowId);
    }
    // One statement per set of changed cells; a command changes few sets.
    std::map<std::vector<int>, std::unique_ptr<Statement>> updates;
    for (const TFileChanges::Update &update : changes.updated) {
        Q_ASSERT(update.record->InFile() && !update.fields.empty());
        std::unique_ptr<Statement> &statement = updates[update.fields];
        if (!statement) {
            QStringList sets;
            for (int field : update.fields)
                sets << Quoted(fields[field].name) + QStringLiteral("=?");
            statement = std::make_unique<Statement>(
                db, QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") +
                        sets.join(QLatin1Char(',')) + QStringLiteral(" WHERE rowid=?"));
        }
        int column = 0;
        for (int field : update.fields)
            Bind(statement->Handle(), ++column, fields[field], update.record->Stored(size_t(field)));
        sqlite3_bind_int64(statement->Handle(), ++column, update.rowId);
        RunOnRow(db, *statement, update.rowId);
    }
    Statement insert(db, QStringLiteral("INSERT INTO ") + table + QStringLiteral("(rowid,") + columns +
                             QStringLiteral(") VALUES(?,") + values + QLatin1Char(')'));
    qint64 nextRowId = changes.maxRowId;
    for (const TRecord *record : changes.inserted) {
        Q_ASSERT(!record->InFile());
        if (nextRowId == std::numeric_limits<qint64>::max()) {
            // No row id is left after the highest: SQLite picks a free one.
            Statement anywhere(db, QStringLiteral("INSERT INTO ") + table + QLatin1Char('(') + columns +
                                       QStringLiteral(") VALUES(") + values + QLatin1Char(')'));
            BindRecord(anywhere.Handle(), fields, *record, 1);
            anywhere.Run();
            changes.insertedRowIds.push_back(sqlite3_last_insert_rowid(db.Handle()));
            continue;
        }
        sqlite3_bind_int64(insert.Handle(), 1, ++nextRowId);
        BindRecord(insert.Handle(), fields, *record, 2);
        insert.Run();
        changes.insertedRowIds.push_back(nextRowId);
    }
}

} // namespace

void TTableFile::WriteChangesTogether(std::vector<TFileChanges> &files)
{
    if (files.empty())
        return;
    // The file the failure concerns, for the message.
    QString current = files.front().fileName;
    try {
        for (TFileChanges &changes : files) {
            current = changes.fileName;
            changes.insertedRowIds.clear();
            CheckWritable(changes.fileName);
        }
        current = files.front().fileName;
        Database db(files.front().fileName, SQLITE_OPEN_READWRITE);
        QStringList schemas;
        for (size_t i = 0; i < files.size(); ++i) {
            schemas << (i == 0 ? QStringLiteral("main") : QStringLiteral("member%1").arg(i));
            current = files[i].fileName;
            if (i > 0)
                db.Attach(files[i].fileName, schemas.last());
            // A rollback journal that is deleted on commit: a crash leaves
            // the old content (recovered from the journal), a commit the
            // new, and nothing beside the file afterwards. With several
            // files SQLite's super-journal makes the commit one for all.
            db.Exec(QStringLiteral("PRAGMA %1.journal_mode=DELETE; PRAGMA %1.synchronous=FULL")
                        .arg(Quoted(schemas.last())));
        }
        current = files.front().fileName;
        db.Exec(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            for (size_t i = 0; i < files.size(); ++i) {
                current = files[i].fileName;
                const TTableFile &file = *files[i].file;
                // The files changed only through this program since they
                // were read, but each schema is checked again before
                // anything is written.
                CheckSchema(db, file.tableName_, file.CreateTableSql(), schemas[qsizetype(i)]);
                ApplyChanges(db, schemas[qsizetype(i)], file.tableName_, file.fields_, files[i]);
            }
            current = files.front().fileName;
            db.Exec(QStringLiteral("COMMIT"));
        } catch (...) {
            sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        db.Close();
    } catch (const AppError &error) {
        for (TFileChanges &changes : files)
            changes.insertedRowIds.clear();
        throw TTableFileError(QStringLiteral("Cannot write \"%1\": %2").arg(current, error.message()),
                              current, error.message(), dynamic_cast<const TBusyError *>(&error) != nullptr);
    }
}

bool TTableFile::Intact(const QString &fileName, QString *problem)
{
    try {
        // As a load opens it: a journal beside the file is rolled back first.
        const bool interrupted = QFileInfo::exists(fileName + QStringLiteral("-journal"));
        Database db(fileName, interrupted ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
        QString result;
        try {
            Statement check(db, QStringLiteral("PRAGMA quick_check(1)"));
            result = check.Step() ? check.Text(0) : QString();
        } catch (const TBusyError &) {
            throw;
        } catch (const AppError &error) {
            // A page so damaged that the check itself stops on it.
            result = error.message();
        }
        if (result == QLatin1String("ok"))
            return true;
        if (problem)
            *problem = result;
        return false;
    } catch (const AppError &error) {
        throw ReadFailure(fileName, error);
    }
}
