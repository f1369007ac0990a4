#include "RecordPatch.h"

#include "AppError.h"
#include "TTable.h"
#include "TTableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace {

// The application id and format version of a table file, as the table file
// writes them.
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

// The statement that makes the table, as the table file writes it and
// expects to find it.
QString CreateTableSql(const QString &tableName, const QList<TFieldDef> &fields)
{
    QStringList columns;
    for (const TFieldDef &field : fields)
        columns << Quoted(field.name) + QLatin1Char(' ') + DeclaredType(field);
    return QStringLiteral("CREATE TABLE ") + Quoted(tableName) + QStringLiteral(" (") +
           columns.join(QStringLiteral(", ")) + QStringLiteral(")");
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
    if (!text || size != 10 || text[4] != '-' || text[7] != '-')
        return QDate();
    const int year = Digits(text, 4), month = Digits(text + 5, 2), day = Digits(text + 8, 2);
    if (year < 1 || month < 0 || day < 0)
        return QDate();
    const QDate date(year, month, day);
    return date.isValid() ? date : QDate();
}

// "hh:mm:ss"; invalid time when the text is not one.
QTime DecodeTime(const char *text, int size)
{
    if (!text || size != 8 || text[2] != ':' || text[5] != ':')
        return QTime();
    const int hour = Digits(text, 2), minute = Digits(text + 3, 2), second = Digits(text + 6, 2);
    if (hour < 0 || minute < 0 || second < 0)
        return QTime();
    return QTime(hour, minute, second);
}

} // namespace

// A read connection to the file, as defensive as the one of a load: the
// file may come from elsewhere, so nothing in it runs code or changes it.
class TRecordPatch::Connection {
public:
    explicit Connection(const QString &fileName)
    {
        // A journal beside the file is what an interrupted write leaves; a
        // writable connection lets SQLite roll the file back first, as a
        // load does.
        const bool interrupted = QFileInfo::exists(fileName + QStringLiteral("-journal"));
        const int rc = sqlite3_open_v2(
            QFile::encodeName(fileName).constData(), &db_,
            (interrupted ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK)
            Fail();
        int ignored = 0;
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, &ignored);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &ignored);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &ignored);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0, &ignored);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, &ignored);
        sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
        // The file is read in place (mapped, not copied page by page), and
        // all the reads are one transaction: one lock, the file checked once.
        if (sqlite3_exec(db_, "PRAGMA temp_store=MEMORY; PRAGMA mmap_size=1073741824; BEGIN", nullptr,
                         nullptr, nullptr) != SQLITE_OK)
            Fail();
    }
    ~Connection()
    {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    [[noreturn]] void Fail() const
    {
        throw AppError(QString::fromUtf8(db_ ? sqlite3_errmsg(db_) : "out of memory"));
    }

    // One statement; finalized when it goes.
    class Query {
    public:
        Query(const Connection &db, const QString &sql) : db_(db)
        {
            const QByteArray text = sql.toUtf8();
            if (sqlite3_prepare_v2(db.db_, text.constData(), int(text.size()), &stmt_, nullptr) != SQLITE_OK)
                db.Fail();
        }
        ~Query() { sqlite3_finalize(stmt_); }
        Query(const Query &) = delete;
        Query &operator=(const Query &) = delete;

        sqlite3_stmt *Handle() const { return stmt_; }
        bool Step()
        {
            const int rc = sqlite3_step(stmt_);
            if (rc == SQLITE_ROW)
                return true;
            if (rc != SQLITE_DONE)
                db_.Fail();
            return false;
        }
        QString Text(int column) const
        {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
            return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column)) : QString();
        }

    private:
        const Connection &db_;
        sqlite3_stmt *stmt_ = nullptr;
    };

    int IntPragma(const char *name) const
    {
        Query query(*this, QStringLiteral("PRAGMA ") + QLatin1String(name));
        return query.Step() ? sqlite3_column_int(query.Handle(), 0) : 0;
    }

private:
    sqlite3 *db_ = nullptr;
};

TRecordPatch::TRecordPatch(TTable &table, const QString &fileName) : table_(table), fileName_(fileName)
{
    table_.SetFileName(QString());
    table_.CreateDataSet();
    try {
        if (!QFileInfo(fileName).isFile())
            throw AppError(QStringLiteral("the file does not exist"));
        db_ = std::make_unique<Connection>(fileName);
        Check();
    } catch (const AppError &error) {
        throw AppError(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, error.message()));
    }
}

TRecordPatch::~TRecordPatch() = default;

void TRecordPatch::Check()
{
    if (db_->IntPragma("application_id") != kApplicationId)
        throw AppError(QStringLiteral("it is not a table file of this program"));
    const int version = db_->IntPragma("user_version");
    if (version > TTableFile::kFormatVersion)
        throw AppError(QStringLiteral("it was written by a newer version of the program"));
    if (version < 1)
        throw AppError(QStringLiteral("its format version is unknown"));
    const QString name = table_.TableName();
    const QList<TFieldDef> &fields = table_.FieldDefs();
    // Exactly the table this program writes, as it writes it.
    Connection::Query schema(*db_, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_schema"));
    int objects = 0;
    while (schema.Step()) {
        if (++objects > 1 || schema.Text(0) != QLatin1String("table") || schema.Text(1) != name ||
            schema.Text(2) != name || schema.Text(3) != CreateTableSql(name, fields))
            throw AppError(QStringLiteral("it does not hold exactly the table %1").arg(name));
    }
    if (objects != 1)
        throw AppError(QStringLiteral("it does not hold the table %1").arg(name));
    Connection::Query info(*db_, QStringLiteral("PRAGMA table_info(") + Quoted(name) + QLatin1Char(')'));
    int column = 0;
    while (info.Step()) {
        if (column >= fields.size() || info.Text(1) != fields[column].name ||
            info.Text(2) != DeclaredType(fields[column]))
            throw AppError(QStringLiteral("it does not hold the table %1").arg(name));
        ++column;
    }
    if (column != fields.size())
        throw AppError(QStringLiteral("it does not hold the table %1").arg(name));
}

int TRecordPatch::MaxInteger(const QString &field, int fallback)
{
    const QString column = Quoted(field);
    try {
        // The highest and lowest values must be 32-bit whole numbers, as a
        // load wants every value: a text, which sorts above every number,
        // or a fraction at either end is refused.
        Connection::Query query(
            *db_,
            QStringLiteral("SELECT max(%1), min(%1) FROM %2").arg(Quoted(field), Quoted(table_.TableName())));
        if (!query.Step() || sqlite3_column_type(query.Handle(), 0) == SQLITE_NULL)
            return fallback;
        sqlite3_stmt *stmt = query.Handle();
        if (sqlite3_column_type(stmt, 0) != SQLITE_INTEGER || sqlite3_column_type(stmt, 1) != SQLITE_INTEGER)
            throw AppError(QStringLiteral("field %1 holds a value that is not a number").arg(field));
        const sqlite3_int64 highest = sqlite3_column_int64(stmt, 0), lowest = sqlite3_column_int64(stmt, 1);
        if (highest > std::numeric_limits<int>::max() || lowest < std::numeric_limits<int>::min())
            throw AppError(QStringLiteral("field %1 holds a number out of range").arg(field));
        return int(highest);
    } catch (const AppError &error) {
        throw AppError(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName_, error.message()));
    }
}

int TRecordPatch::Read(const QString &field, const QVariant &value)
{
    const QList<TFieldDef> &fields = table_.FieldDefs();
    const int index = table_.FieldIndex(field);
    Q_ASSERT(index >= 0);
    QStringList names;
    for (const TFieldDef &def : fields)
        names << Quoted(def.name);
    const bool number = fields[index].type == ftInteger;
    const QString text = number ? QString() : value.toString();
    // The read form of a null text is empty text.
    const QString condition = number           ? QStringLiteral("%1=?")
                              : text.isEmpty() ? QStringLiteral("(%1 IS NULL OR %1='')")
                                               : QStringLiteral("%1=?");
    std::vector<std::vector<QVariant>> rows;
    try {
        Connection::Query select(*db_, QStringLiteral("SELECT rowid, ") + names.join(QLatin1Char(',')) +
                                           QStringLiteral(" FROM ") + Quoted(table_.TableName()) +
                                           QStringLiteral(" WHERE ") + condition.arg(Quoted(field)) +
                                           QStringLiteral(" ORDER BY rowid"));
        sqlite3_stmt *stmt = select.Handle();
        const QByteArray utf8 = text.toUtf8();
        if (number)
            sqlite3_bind_int64(stmt, 1, value.toLongLong());
        else if (!text.isEmpty())
            sqlite3_bind_text(stmt, 1, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        while (select.Step()) {
            std::vector<QVariant> values;
            values.reserve(size_t(fields.size()));
            for (int i = 0; i < fields.size(); ++i) {
                const int type = sqlite3_column_type(stmt, i + 1);
                const TFieldDef &def = fields[i];
                if (type == SQLITE_NULL) {
                    values.emplace_back();
                    continue;
                }
                if (def.type == ftInteger) {
                    if (type != SQLITE_INTEGER)
                        throw AppError(
                            QStringLiteral("field %1 holds a value that is not a number").arg(def.name));
                    const sqlite3_int64 stored = sqlite3_column_int64(stmt, i + 1);
                    if (stored < std::numeric_limits<int>::min() || stored > std::numeric_limits<int>::max())
                        throw AppError(QStringLiteral("field %1 holds a number out of range").arg(def.name));
                    values.emplace_back(int(stored));
                    continue;
                }
                const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i + 1));
                const int size = sqlite3_column_bytes(stmt, i + 1);
                if (def.type == ftDate || def.type == ftTime) {
                    const QVariant read = def.type == ftDate ? QVariant(DecodeDate(bytes, size))
                                                             : QVariant(DecodeTime(bytes, size));
                    if (!(def.type == ftDate ? read.toDate().isValid() : read.toTime().isValid()))
                        throw AppError(QStringLiteral("field %1 holds a value that is not a date or time")
                                           .arg(def.name));
                    values.push_back(read);
                } else {
                    values.emplace_back(QString::fromUtf8(bytes, size));
                }
            }
            rowIds_.push_back(sqlite3_column_int64(stmt, 0));
            values_.push_back(values);
            rows.push_back(std::move(values));
        }
    } catch (const AppError &error) {
        throw AppError(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName_, error.message()));
    }
    const int count = int(rows.size());
    table_.AppendStoredRecords(std::move(rows));
    return count;
}

void TRecordPatch::Write()
{
    const std::vector<TRecord *> &records = table_.RecordsInOrder(QString());
    std::vector<std::unique_ptr<TRecord>> copies;
    for (size_t i = 0; i < records.size(); ++i) {
        records[i]->DecodeAll();
        const bool read = i < rowIds_.size();
        const TValues &now = records[i]->values;
        if (read && std::equal(now.begin(), now.end(), values_[i].begin(), values_[i].end()))
            continue;
        auto copy = std::make_unique<TRecord>();
        copy->values = records[i]->values;
        copy->rowId = read ? rowIds_[i] : 0;
        copies.push_back(std::move(copy));
    }
    if (copies.empty())
        return;
    qint64 maxRowId = 0;
    try {
        Connection::Query last(*db_, QStringLiteral("SELECT max(rowid) FROM ") + Quoted(table_.TableName()));
        if (last.Step())
            maxRowId = sqlite3_column_int64(last.Handle(), 0);
    } catch (const AppError &error) {
        throw AppError(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName_, error.message()));
    }
    // The write takes a connection of its own.
    db_.reset();
    std::vector<TRecord *> changed;
    for (const auto &copy : copies)
        changed.push_back(copy.get());
    TTableFile(table_.TableName(), table_.FieldDefs()).WriteChanges(fileName_, changed, {}, maxRowId);
}
