#include "TableFileSql.h"

#include "AppError.h"
#include "TTableFile.h"

#include <QFile>
#include <QStringList>
#include <cstring>
#include <mutex>

namespace TableFileSql {

namespace {

// The most memory SQLite may take in this process. A table file is read
// record by record, so this is far above what a real one needs, and it
// stops a hostile file (a huge cell, a runaway query) before the machine
// runs out of memory.
constexpr sqlite3_int64 kSqliteHeapLimit = sqlite3_int64(512) << 20;

} // namespace

Database::Database(const QString &fileName, int flags, bool foreign) : fileName_(fileName)
{
    static std::once_flag limited;
    std::call_once(limited, [] { sqlite3_hard_heap_limit64(kSqliteHeapLimit); });
    // A connection is used by one thread alone (a patch keeps its own over
    // several calls): no locking per call.
    const int rc =
        sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
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
    // A reader of another program holds the file for a moment; a write
    // waits for it rather than failing at once.
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    Exec(QStringLiteral("PRAGMA temp_store=MEMORY; PRAGMA mmap_size=%1").arg(kMappedReadBytes));
}

Database::~Database()
{
    if (db_)
        sqlite3_close(db_);
}

void Database::Fail(int rc) const
{
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        throw TBusyError(QStringLiteral("it is busy: another program kept it in use for more than %1 seconds")
                             .arg(kBusyTimeoutMs / 1000));
    const char *text = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    QString message = QString::fromUtf8(text ? text : sqlite3_errstr(rc));
    // SQLite says "disk I/O error" for a full disk too; the system's
    // reason tells the user what to remove.
    const int systemError = db_ ? sqlite3_system_errno(db_) : 0;
    if (systemError != 0)
        message += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(systemError)));
    throw AppError(message);
}

void Database::Exec(const QString &sql) const
{
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        Fail(rc);
}

int Database::IntPragma(const char *name) const
{
    Statement stmt(*this, QStringLiteral("PRAGMA ") + QLatin1String(name));
    return stmt.Step() ? sqlite3_column_int(stmt.Handle(), 0) : 0;
}

void Database::Attach(const QString &fileName, const QString &schema)
{
    int attached = 0;
    for (int i = 2; sqlite3_db_name(db_, i); ++i)
        ++attached;
    sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, attached + 1);
    try {
        Statement attach(*this, QStringLiteral("ATTACH DATABASE ?1 AS ?2"));
        const QByteArray name = QFile::encodeName(fileName), alias = schema.toUtf8();
        sqlite3_bind_text(attach.Handle(), 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(attach.Handle(), 2, alias.constData(), int(alias.size()), SQLITE_TRANSIENT);
        attach.Step();
    } catch (...) {
        sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
        throw;
    }
    sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
}

void Database::Close()
{
    const int rc = sqlite3_close(db_);
    db_ = nullptr;
    if (rc != SQLITE_OK)
        throw AppError(QString::fromUtf8(sqlite3_errstr(rc)));
}

Statement::Statement(const Database &db, const QString &sql) : db_(db)
{
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db.Handle(), text.constData(), int(text.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        db.Fail(rc);
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

QString CreateTableSql(const QString &tableName, const QList<TFieldDef> &fields)
{
    QStringList columns;
    for (const TFieldDef &field : fields)
        columns << Quoted(field.name) + QLatin1Char(' ') + DeclaredType(field);
    return QStringLiteral("CREATE TABLE ") + Quoted(tableName) + QStringLiteral(" (") +
           columns.join(QStringLiteral(", ")) + QStringLiteral(")");
}

void CheckSchema(const Database &db, const QString &tableName, const QString &createSql, const QString &name)
{
    // Exactly the table this program writes, as it writes it: no views,
    // triggers, indexes or other tables, which could run queries or change
    // records behind the program's back.
    Statement schema(db, QStringLiteral("SELECT type, name, tbl_name, sql FROM ") + Quoted(name) +
                             QStringLiteral(".sqlite_schema"));
    int objects = 0;
    while (schema.Step()) {
        if (++objects > 1 || schema.Text(0) != QLatin1String("table") || schema.Text(1) != tableName ||
            schema.Text(2) != tableName || schema.Text(3) != createSql)
            throw AppError(QStringLiteral("it does not hold exactly the table %1").arg(tableName));
    }
    if (objects != 1)
        throw AppError(QStringLiteral("it does not hold the table %1").arg(tableName));
}

void CheckFormat(const Database &db, const QString &tableName, const QList<TFieldDef> &fields)
{
    if (db.IntPragma("application_id") != kApplicationId)
        throw AppError(QStringLiteral("it is not a table file of this program"));
    const int version = db.IntPragma("user_version");
    if (version > TTableFile::kFormatVersion)
        throw AppError(QStringLiteral("it was written by a newer version of the program"));
    if (version < 1)
        throw AppError(QStringLiteral("its format version is unknown"));
    CheckSchema(db, tableName, CreateTableSql(tableName, fields));

    Statement info(db, QStringLiteral("PRAGMA table_info(") + Quoted(tableName) + QLatin1Char(')'));
    int column = 0;
    while (info.Step()) {
        if (column >= fields.size() || info.Text(1) != fields[column].name ||
            info.Text(2) != DeclaredType(fields[column]))
            throw AppError(QStringLiteral("it does not hold the table %1").arg(tableName));
        ++column;
    }
    if (column != fields.size())
        throw AppError(QStringLiteral("it does not hold the table %1").arg(tableName));
}

void RefuseNotANumber(const TFieldDef &field)
{
    throw AppError(QStringLiteral("field %1 holds a value that is not a number").arg(field.name));
}

void RefuseOutOfRange(const TFieldDef &field)
{
    throw AppError(QStringLiteral("field %1 holds a number out of range").arg(field.name));
}

void RefuseNotADate(const TFieldDef &field)
{
    throw AppError(QStringLiteral("field %1 holds a value that is not a date or time").arg(field.name));
}

} // namespace TableFileSql
