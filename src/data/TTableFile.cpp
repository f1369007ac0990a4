#include "TTableFile.h"

#include "AppError.h"
#include "Formats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Marks a database as a table file of this program ("DRAV").
constexpr int kApplicationId = 0x44524156;

QString Quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString DeclaredType(const TFieldDef &field)
{
    switch (field.type) {
    case ftString:
        return QStringLiteral("VARCHAR(%1)").arg(field.size);
    case ftInteger:
        return QStringLiteral("INTEGER");
    case ftDate:
        return QStringLiteral("DATE");
    case ftTime:
        return QStringLiteral("TIME");
    case ftMemo:
        return QStringLiteral("TEXT");
    }
    return QString();
}

// The most memory SQLite may take in this process. A table file is read
// record by record, so this is far above what a real one needs, and it
// stops a hostile file (a huge cell, a runaway query) before the machine
// runs out of memory.
constexpr sqlite3_int64 kSqliteHeapLimit = sqlite3_int64(512) << 20;

// Owns an open connection; closing finalizes nothing, so statements are
// owned by Statement and always go first.
class Database {
public:
    // `foreign`: the file may come from elsewhere, so the connection is
    // defensive too. A new file of this program's own is not, which keeps
    // journal_mode=OFF available for writing it.
    Database(const QString &fileName, int flags, bool foreign = true) : fileName_(fileName)
    {
        static std::once_flag limited;
        std::call_once(limited, [] { sqlite3_hard_heap_limit64(kSqliteHeapLimit); });
        // A connection lives in one call on one thread: no locking per call.
        const int rc = sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db_,
                                       flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK)
            Fail(rc);
        sqlite3_extended_result_codes(db_, 1);
        // A table file may come from someone else (inside a Dravelin File):
        // nothing in its schema may run code or change the file on its own,
        // and temporary storage stays in the bounded memory, never on disk.
        int ignored = 0;
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, foreign ? 1 : 0, &ignored);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &ignored);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &ignored);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0, &ignored);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, &ignored);
        sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
        Exec(QStringLiteral("PRAGMA temp_store=MEMORY"));
    }
    ~Database()
    {
        if (db_)
            sqlite3_close(db_);
    }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    sqlite3 *Handle() const { return db_; }
    const QString &FileName() const { return fileName_; }

    [[noreturn]] void Fail(int rc) const
    {
        const char *text = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        QString message = QString::fromUtf8(text ? text : sqlite3_errstr(rc));
        // SQLite says "disk I/O error" for a full disk too; the system's
        // reason tells the user what to remove.
        const int systemError = db_ ? sqlite3_system_errno(db_) : 0;
        if (systemError != 0)
            message += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(systemError)));
        throw AppError(message);
    }
    void Exec(const QString &sql) const
    {
        const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            Fail(rc);
    }
    int IntPragma(const char *name) const;
    // Closes the connection and reports what went wrong on the way.
    void Close()
    {
        const int rc = sqlite3_close(db_);
        db_ = nullptr;
        if (rc != SQLITE_OK)
            throw AppError(QString::fromUtf8(sqlite3_errstr(rc)));
    }

private:
    sqlite3 *db_ = nullptr;
    QString fileName_;
};

class Statement {
public:
    Statement(const Database &db, const QString &sql) : db_(db)
    {
        const QByteArray text = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(db.Handle(), text.constData(), int(text.size()), &stmt_, nullptr);
        if (rc != SQLITE_OK)
            db.Fail(rc);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    sqlite3_stmt *Handle() const { return stmt_; }
    // True while a row is available.
    bool Step()
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            db_.Fail(rc);
        return false;
    }
    void Run()
    {
        Step();
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    QString Text(int column) const
    {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
        return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column)) : QString();
    }

private:
    const Database &db_;
    sqlite3_stmt *stmt_ = nullptr;
};

int Database::IntPragma(const char *name) const
{
    Statement stmt(*this, QStringLiteral("PRAGMA ") + QLatin1String(name));
    return stmt.Step() ? sqlite3_column_int(stmt.Handle(), 0) : 0;
}

// The number written in exactly `count` decimal digits; -1 for any other text.
int Digits(const char *text, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "yyyy-mm-dd" with a year 1..9999; invalid date when the text is not one.
QDate DecodeDate(const char *text, int size)
{
    if (size != 10 || text[4] != '-' || text[7] != '-')
        return QDate();
    const int year = Digits(text, 4), month = Digits(text + 5, 2), day = Digits(text + 8, 2);
    // Four digits make a year of at most 9999; year 0 is not one.
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return QDate();
    static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kMonthDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return QDate();
    // The Julian day of a Gregorian date, in integers (every date of a file
    // is read here, and this spares the calendar's general path).
    const int march = (14 - month) / 12; // 1 for January and February
    const qint64 y = year + 4800 - march;
    const int m = month + 12 * march - 3;
    return QDate::fromJulianDay(day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045);
}

QTime DecodeTime(const char *text, int size)
{
    if (size != 8 || text[2] != ':' || text[5] != ':')
        return QTime();
    const int hour = Digits(text, 2), minute = Digits(text + 3, 2), second = Digits(text + 6, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return QTime();
    return QTime::fromMSecsSinceStartOfDay(((hour * 60 + minute) * 60 + second) * 1000);
}

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
        Bind(stmt, first + i, fields[i], record.values[size_t(i)]);
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

// Throws unless the open database holds exactly the table as this program
// writes it.
void CheckSchema(const Database &db, const QString &tableName, const QString &createSql)
{
    // Exactly the table this program writes, as it writes it: no views,
    // triggers, indexes or other tables, which could run queries or change
    // records behind the program's back.
    Statement schema(db, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_schema"));
    int objects = 0;
    while (schema.Step()) {
        if (++objects > 1 || schema.Text(0) != QLatin1String("table") || schema.Text(1) != tableName ||
            schema.Text(2) != tableName || schema.Text(3) != createSql)
            throw AppError(QStringLiteral("it does not hold exactly the table %1").arg(tableName));
    }
    if (objects != 1)
        throw AppError(QStringLiteral("it does not hold the table %1").arg(tableName));
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

TTableFile::TTableFile(const QString &tableName, const QList<TFieldDef> &fields)
    : tableName_(tableName), fields_(fields)
{
}

QString TTableFile::CreateTableSql() const
{
    QStringList columns;
    for (const TFieldDef &field : fields_)
        columns << Quoted(field.name) + QLatin1Char(' ') + DeclaredType(field);
    return QStringLiteral("CREATE TABLE ") + Quoted(tableName_) + QStringLiteral(" (") +
           columns.join(QStringLiteral(", ")) + QStringLiteral(")");
}

char *TRecordArena::Take(Fill &fill, size_t bytes)
{
    // Blocks of 64 KiB hold the many small pieces with no overhead each; a
    // large one gets a block of its own, so no block wastes much room.
    constexpr size_t kBlock = size_t(64) << 10;
    if (bytes > kBlock / 4) {
        blocks_.emplace_back(new char[bytes]);
        return blocks_.back().get();
    }
    if (fill.room - fill.used < bytes) {
        blocks_.emplace_back(new char[kBlock]);
        fill = {blocks_.back().get(), 0, kBlock};
    }
    char *at = fill.open + fill.used;
    fill.used += bytes;
    return at;
}

QByteArray TRecordArena::Hold(const char *text, int size)
{
    if (size <= 0)
        return text ? QByteArray(text, 0) : QByteArray();
    char *at = Take(texts_, size_t(size));
    std::memcpy(at, text, size_t(size));
    return QByteArray::fromRawData(at, size);
}

TRecordPtr TRecordArena::NewRecord(size_t fieldCount)
{
    static_assert(sizeof(TRecord) % alignof(QVariant) == 0 && alignof(TRecord) <= alignof(std::max_align_t));
    static_assert(sizeof(QVariant) % alignof(TRecord) == 0);
    char *at = Take(records_, sizeof(TRecord) + fieldCount * sizeof(QVariant));
    auto *values = reinterpret_cast<QVariant *>(at + sizeof(TRecord));
    std::uninitialized_default_construct_n(values, fieldCount);
    TRecordPtr record(new (at) TRecord, TRecordDelete{true});
    record->values = TValues(values, fieldCount);
    return record;
}

TRecords TTableFile::Load(const QString &fileName, TRecordArena &arena) const
{
    if (!QFileInfo(fileName).isFile())
        throw AppError(QStringLiteral("The file \"%1\" does not exist.").arg(fileName));
    try {
        // A journal beside the file is what an interrupted write leaves; a
        // writable connection lets SQLite roll the file back to its old
        // content. Otherwise the file is opened read-only and never changed.
        const bool interrupted = QFileInfo::exists(fileName + QStringLiteral("-journal"));
        Database db(fileName, interrupted ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
        if (db.IntPragma("application_id") != kApplicationId)
            throw AppError(QStringLiteral("it is not a table file of this program"));
        const int version = db.IntPragma("user_version");
        if (version > kFormatVersion)
            throw AppError(QStringLiteral("it was written by a newer version of the program"));
        if (version < 1)
            throw AppError(QStringLiteral("its format version is unknown"));
        CheckSchema(db, tableName_, CreateTableSql());

        Statement info(db, QStringLiteral("PRAGMA table_info(") + Quoted(tableName_) + QLatin1Char(')'));
        int column = 0;
        while (info.Step()) {
            if (column >= fields_.size() || info.Text(1) != fields_[column].name ||
                info.Text(2) != DeclaredType(fields_[column]))
                throw AppError(QStringLiteral("it does not hold the table %1").arg(tableName_));
            ++column;
        }
        if (column != fields_.size())
            throw AppError(QStringLiteral("it does not hold the table %1").arg(tableName_));

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
            record.rowId = sqlite3_column_int64(stmt, 0);
            // Each value is made in its place, once, over the null value
            // there (which holds nothing to release).
            QVariant *values = record.values.begin();
            for (int i = 0; i < count; ++i) {
                // The cell is read through its value, which spares each
                // access the checks of the column functions; the connection
                // is used by this thread alone.
                sqlite3_value *cell = sqlite3_column_value(stmt, i + 1);
                const int type = sqlite3_value_type(cell);
                if (type == SQLITE_NULL)
                    continue;
                const TFieldDef &field = fields_[i];
                if (field.type == ftInteger) {
                    if (type != SQLITE_INTEGER)
                        throw AppError(
                            QStringLiteral("field %1 holds a value that is not a number").arg(field.name));
                    // The record store keeps 32-bit numbers (as every
                    // identifier of the program is); a larger one is not
                    // this program's and is refused rather than cut.
                    const sqlite3_int64 number = sqlite3_value_int64(cell);
                    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
                        throw AppError(
                            QStringLiteral("field %1 holds a number out of range").arg(field.name));
                    new (&values[i]) QVariant(int(number));
                    continue;
                }
                const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(cell));
                const int bytes = sqlite3_value_bytes(cell);
                if (field.type == ftDate) {
                    const QDate date = DecodeDate(text, bytes);
                    if (!date.isValid())
                        throw AppError(QStringLiteral("field %1 holds a value that is not a date or time")
                                           .arg(field.name));
                    new (&values[i]) QVariant(date);
                } else if (field.type == ftTime) {
                    const QTime time = DecodeTime(text, bytes);
                    if (!time.isValid())
                        throw AppError(QStringLiteral("field %1 holds a value that is not a date or time")
                                           .arg(field.name));
                    new (&values[i]) QVariant(time);
                } else {
                    new (&values[i]) QVariant(arena.Hold(text, bytes)); // decoded on first read
                }
            }
        }
        return records;
    } catch (const AppError &error) {
        throw AppError(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, error.message()));
    }
}

void TTableFile::WriteAll(const QString &fileName, const TRecords &records) const
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
        {
            // The new file is not in use until it is renamed, so it needs no
            // journal; durability comes from the fsync before the rename.
            Database db(tempName, SQLITE_OPEN_READWRITE, false);
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
                for (const auto &record : records) {
                    sqlite3_bind_int64(insert.Handle(), 1, ++rowId);
                    BindRecord(insert.Handle(), fields_, *record, 2);
                    insert.Run();
                }
            }
            db.Exec(QStringLiteral("COMMIT"));
            db.Close();
        }
        if (!SyncPath(tempName, O_RDONLY))
            throw AppError(QString::fromLocal8Bit(std::strerror(errno)));
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
        throw AppError(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, error.message()));
    }
    qint64 rowId = 0;
    for (const auto &record : records)
        record->rowId = ++rowId;
}

void TTableFile::WriteChanges(const QString &fileName, const std::vector<TRecord *> &changed,
                              const std::vector<qint64> &deletedRowIds, qint64 &maxRowId) const
{
    std::vector<std::pair<TRecord *, qint64>> inserted;
    try {
        CheckWritable(fileName);
        Database db(fileName, SQLITE_OPEN_READWRITE);
        // A rollback journal that is deleted on commit: a crash leaves the
        // old content (recovered from the journal), a commit the new, and
        // nothing beside the file afterwards.
        db.Exec(QStringLiteral("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; BEGIN IMMEDIATE"));
        try {
            // The file changed only through this program since it was read,
            // but its schema is checked again before anything is written.
            CheckSchema(db, tableName_, CreateTableSql());
        } catch (...) {
            sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        try {
            QStringList names{QStringLiteral("rowid")}, marks{QStringLiteral("?")}, sets;
            for (const TFieldDef &field : fields_) {
                names << Quoted(field.name);
                marks << QStringLiteral("?");
                sets << Quoted(field.name) + QStringLiteral("=?");
            }
            Statement remove(db, QStringLiteral("DELETE FROM ") + Quoted(tableName_) +
                                     QStringLiteral(" WHERE rowid=?"));
            Statement update(db, QStringLiteral("UPDATE ") + Quoted(tableName_) + QStringLiteral(" SET ") +
                                     sets.join(QLatin1Char(',')) +
                                     QStringLiteral(" WHERE rowid=?%1").arg(fields_.size() + 1));
            Statement insert(db, QStringLiteral("INSERT INTO ") + Quoted(tableName_) + QLatin1Char('(') +
                                     names.join(QLatin1Char(',')) + QStringLiteral(") VALUES(") +
                                     marks.join(QLatin1Char(',')) + QLatin1Char(')'));
            for (qint64 rowId : deletedRowIds) {
                sqlite3_bind_int64(remove.Handle(), 1, rowId);
                remove.Run();
            }
            qint64 nextRowId = maxRowId;
            for (TRecord *record : changed) {
                if (record->rowId > 0) {
                    BindRecord(update.Handle(), fields_, *record, 1);
                    sqlite3_bind_int64(update.Handle(), int(fields_.size()) + 1, record->rowId);
                    update.Run();
                } else {
                    sqlite3_bind_int64(insert.Handle(), 1, ++nextRowId);
                    BindRecord(insert.Handle(), fields_, *record, 2);
                    insert.Run();
                    inserted.emplace_back(record, nextRowId);
                }
            }
        } catch (...) {
            sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        db.Exec(QStringLiteral("COMMIT"));
        db.Close();
    } catch (const AppError &error) {
        throw AppError(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, error.message()));
    }
    for (const auto &[record, rowId] : inserted) {
        record->rowId = rowId;
        maxRowId = std::max(maxRowId, rowId);
    }
}
