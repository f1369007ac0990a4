#include "RecordPatch.h"

#include "AppError.h"
#include "TTable.h"
#include "TTableFile.h"
#include "TableFileSql.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>

using namespace TableFileSql;

namespace {

// reads_as(cell, text): whether the cell reads as the text the way a load
// reads a text field, so that a record is found here exactly when a whole
// load shows it with that text: its bytes as UTF-8 whatever its type (a blob
// too), bytes that are not UTF-8 as replacement characters, null as empty
// text. SQL's = would miss the blob and the bytes that are not UTF-8.
void ReadsAs(sqlite3_context *context, int, sqlite3_value **args)
{
    const auto *wanted = reinterpret_cast<const char *>(sqlite3_value_text(args[1]));
    const int wantedBytes = sqlite3_value_bytes(args[1]);
    if (sqlite3_value_type(args[0]) == SQLITE_NULL) {
        sqlite3_result_int(context, wantedBytes == 0);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(args[0]));
    const int bytes = sqlite3_value_bytes(args[0]);
    if (bytes == wantedBytes && (bytes == 0 || std::memcmp(text, wanted, size_t(bytes)) == 0)) {
        sqlite3_result_int(context, 1);
        return;
    }
    // Other bytes read differently unless some of them are not UTF-8.
    const bool plain = std::all_of(text, text + bytes, [](char c) { return uchar(c) < 0x80; });
    sqlite3_result_int(context,
                       !plain && QString::fromUtf8(text, bytes) == QString::fromUtf8(wanted, wantedBytes));
}

} // namespace

TRecordPatch::TRecordPatch(TTable &table, const QString &fileName) : table_(table), fileName_(fileName)
{
    table_.SetFileName(QString());
    table_.CreateDataSet();
    qint64 maxRowId = 0;
    try {
        if (!QFileInfo(fileName).isFile())
            throw AppError(QStringLiteral("the file does not exist"));
        // A journal beside the file is what an interrupted write leaves; a
        // writable connection lets SQLite roll the file back first, as a
        // load does.
        const bool interrupted = QFileInfo::exists(fileName + QStringLiteral("-journal"));
        db_ =
            std::make_unique<Database>(fileName, interrupted ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
        // All the reads are one transaction: one lock, the file checked
        // once. Closing the connection ends it.
        db_->Exec(QStringLiteral("BEGIN"));
        // Only this program's statements may call it, never the file's schema.
        if (const int rc = sqlite3_create_function_v2(db_->Handle(), "reads_as", 2,
                                                      SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                                                      nullptr, ReadsAs, nullptr, nullptr, nullptr);
            rc != SQLITE_OK)
            db_->Fail(rc);
        CheckFormat(*db_, table_.TableName(), table_.FieldDefs());
        Statement last(*db_, QStringLiteral("SELECT max(rowid) FROM ") + Quoted(table_.TableName()));
        if (last.Step())
            maxRowId = sqlite3_column_int64(last.Handle(), 0);
    } catch (const AppError &error) {
        throw ReadFailure(fileName, error);
    }
    stamp_ = TFileStamp::Of(fileName);
    // The table now stands for part of the file: what it reads and adds is
    // written back into the file as changes, with the table set's.
    table_.OpenPart(fileName, maxRowId);
}

TRecordPatch::~TRecordPatch() = default;

template <typename Work> auto TRecordPatch::Reading(Work read)
{
    try {
        auto result = read();
        // Another program that ignores the lock may have changed the file
        // meanwhile (SQLite's lock keeps out only those that use it): what
        // was read may then not be what the file holds, and a shortened file
        // reads pages that are gone.
        if (TFileStamp::Of(fileName_) != stamp_)
            throw AppError(QStringLiteral("it was changed by another program while it was read"));
        return result;
    } catch (const AppError &error) {
        throw ReadFailure(fileName_, error);
    }
}

int TRecordPatch::MaxInteger(const QString &field, int fallback)
{
    const int index = table_.FieldIndex(field);
    Q_ASSERT(index >= 0);
    return Reading([&] {
        // The highest and lowest values must be 32-bit whole numbers, as a
        // load wants every value: a text, which sorts above every number,
        // or a fraction at either end is refused.
        Statement query(
            *db_,
            QStringLiteral("SELECT max(%1), min(%1) FROM %2").arg(Quoted(field), Quoted(table_.TableName())));
        if (!query.Step() || sqlite3_column_type(query.Handle(), 0) == SQLITE_NULL)
            return fallback;
        sqlite3_stmt *stmt = query.Handle();
        const TFieldDef &def = table_.FieldDefs()[index];
        if (sqlite3_column_type(stmt, 0) != SQLITE_INTEGER || sqlite3_column_type(stmt, 1) != SQLITE_INTEGER)
            RefuseNotANumber(def);
        DecodeNumber(def, SQLITE_INTEGER, sqlite3_column_int64(stmt, 1));
        return DecodeNumber(def, SQLITE_INTEGER, sqlite3_column_int64(stmt, 0));
    });
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
    const QString condition = number ? QStringLiteral("%1=?") : QStringLiteral("reads_as(%1,?)");
    std::vector<std::vector<QVariant>> rows;
    std::vector<qint64> rowIds;
    Reading([&] {
        Statement select(*db_, QStringLiteral("SELECT rowid, ") + names.join(QLatin1Char(',')) +
                                   QStringLiteral(" FROM ") + Quoted(table_.TableName()) +
                                   QStringLiteral(" WHERE ") + condition.arg(Quoted(field)) +
                                   QStringLiteral(" ORDER BY rowid"));
        sqlite3_stmt *stmt = select.Handle();
        const QByteArray utf8 = text.toUtf8();
        if (number)
            sqlite3_bind_int64(stmt, 1, value.toLongLong());
        else
            sqlite3_bind_text(stmt, 1, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        while (select.Step()) {
            std::vector<QVariant> values;
            values.reserve(size_t(fields.size()));
            for (int i = 0; i < fields.size(); ++i) {
                sqlite3_value *cell = sqlite3_column_value(stmt, i + 1);
                const int type = sqlite3_value_type(cell);
                const TFieldDef &def = fields[i];
                if (type == SQLITE_NULL) {
                    values.emplace_back();
                } else if (def.type == ftString || def.type == ftMemo) {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(cell));
                    values.emplace_back(QString::fromUtf8(text, sqlite3_value_bytes(cell)));
                } else {
                    values.push_back(DecodeCell(def, cell, type));
                }
            }
            rowIds.push_back(sqlite3_column_int64(stmt, 0));
            rows.push_back(std::move(values));
        }
        return true;
    });
    const int count = int(rows.size());
    table_.AppendStoredRecords(std::move(rows), rowIds);
    return count;
}

void TRecordPatch::EndRead()
{
    // The reading transaction ends first: the write needs the file alone.
    db_.reset();
}

void TRecordPatch::Write()
{
    EndRead();
    table_.WriteIfChanged();
}
