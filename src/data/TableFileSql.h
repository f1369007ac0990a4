#pragma once

// The SQLite side of a table file, shared by the whole load and write of a
// table (TTableFile) and the narrow patch of a few records (TRecordPatch):
// the connection and statements, the names and types as they are written,
// the check that a file is a table file holding exactly a table, and the
// reading of stored numbers, dates and times. For the data layer only.

#include "AppError.h"
#include "TTable.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QTime>
#include <QVariant>
#include <limits>
#include <sqlite3.h>

namespace TableFileSql {

// Marks a database as a table file of this program ("DRAV").
constexpr int kApplicationId = 0x44524156;

// How long a connection waits for a file that another connection reads or
// writes before it gives up: a reader holds a file for the length of one
// command, a writer for one commit.
constexpr int kBusyTimeoutMs = 5000;

// How much of a table file SQLite may map into memory: none. A mapped file
// that another program shortens, or whose disk fails, ends the process with
// SIGBUS at the first read of a page that is gone, where a read through the
// page cache fails with an error that is reported like any other. Mapping
// saved no measurable time: a command reads each table file once.
constexpr sqlite3_int64 kMappedReadBytes = 0;

// The file stayed in use by another program for longer than the wait.
class TBusyError : public AppError {
public:
    using AppError::AppError;
};

// Owns an open connection; closing finalizes nothing, so statements are
// owned by Statement and always go first. Closing with a transaction open
// rolls it back.
class Database {
public:
    // `foreign`: the file may come from elsewhere, so the connection is
    // defensive too. A new file of this program's own is not, which keeps
    // journal_mode=OFF available for writing it.
    Database(const QString &fileName, int flags, bool foreign = true);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    sqlite3 *Handle() const { return db_; }
    const QString &FileName() const { return fileName_; }

    // Throws the reason of a failed call; TBusyError when the file stayed busy.
    [[noreturn]] void Fail(int rc) const;
    void Exec(const QString &sql) const;
    int IntPragma(const char *name) const;
    // Attaches fileName under the schema name `schema`. Only the program
    // attaches files: the limit on attached files is raised for this call
    // alone, so an ATTACH in SQL text stays refused.
    void Attach(const QString &fileName, const QString &schema);
    // Closes the connection and reports what went wrong on the way.
    void Close();

private:
    sqlite3 *db_ = nullptr;
    QString fileName_;
};

class Statement {
public:
    Statement(const Database &db, const QString &sql);
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

inline QString Quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString DeclaredType(const TFieldDef &field);

// The statement that makes the table, as a table file is written with it
// and expected to hold it.
QString CreateTableSql(const QString &tableName, const QList<TFieldDef> &fields);

// Throws unless the open database (or the attached one named schema) holds
// exactly the table as this program writes it.
void CheckSchema(const Database &db, const QString &tableName, const QString &createSql,
                 const QString &schema = QStringLiteral("main"));
// Throws unless the open database is a table file of this program, of a
// version it reads, holding exactly the table with these columns.
void CheckFormat(const Database &db, const QString &tableName, const QList<TFieldDef> &fields);

// The number written in exactly `count` decimal digits; -1 for any other text.
inline int Digits(const char *text, int count)
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
inline QDate DecodeDate(const char *text, int size)
{
    if (!text || size != 10 || text[4] != '-' || text[7] != '-')
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

// "hh:mm:ss"; invalid time when the text is not one.
inline QTime DecodeTime(const char *text, int size)
{
    if (!text || size != 8 || text[2] != ':' || text[5] != ':')
        return QTime();
    const int hour = Digits(text, 2), minute = Digits(text + 3, 2), second = Digits(text + 6, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return QTime();
    return QTime::fromMSecsSinceStartOfDay(((hour * 60 + minute) * 60 + second) * 1000);
}

[[noreturn]] void RefuseNotANumber(const TFieldDef &field);
[[noreturn]] void RefuseOutOfRange(const TFieldDef &field);
[[noreturn]] void RefuseNotADate(const TFieldDef &field);

// A stored number of an Integer field. The record store keeps 32-bit
// numbers (as every identifier of the program is); a larger one is not this
// program's and is refused rather than cut, as is a value of another type.
inline int DecodeNumber(const TFieldDef &field, int type, sqlite3_int64 number)
{
    if (type != SQLITE_INTEGER)
        RefuseNotANumber(field);
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        RefuseOutOfRange(field);
    return int(number);
}

// The value of a cell that is not null of an Integer, Date or Time field,
// refused as a load refuses it when it is not one of the field's.
inline QVariant DecodeCell(const TFieldDef &field, sqlite3_value *cell, int type)
{
    if (field.type == ftInteger)
        return QVariant(DecodeNumber(field, type, sqlite3_value_int64(cell)));
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(cell));
    const int bytes = sqlite3_value_bytes(cell);
    if (field.type == ftDate) {
        const QDate date = DecodeDate(text, bytes);
        if (!date.isValid())
            RefuseNotADate(field);
        return QVariant(date);
    }
    const QTime time = DecodeTime(text, bytes);
    if (!time.isValid())
        RefuseNotADate(field);
    return QVariant(time);
}

} // namespace TableFileSql
