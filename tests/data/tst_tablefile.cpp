#include "AppError.h"
#include "FullDisk.h"
#include "TTable.h"
#include "TTableFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>
#include <sqlite3.h>
#include <unistd.h>

namespace {

QList<TFieldDef> Fields(int nameSize = 40)
{
    return {{QStringLiteral("ID"), ftInteger, 0},
            {QStringLiteral("NAME"), ftString, nameSize},
            {QStringLiteral("DUE"), ftDate, 0},
            {QStringLiteral("AT"), ftTime, 0},
            {QStringLiteral("NOTE"), ftMemo, 0}};
}

std::unique_ptr<TTable> MakeTable(const QString &fileName, const QString &name = QStringLiteral("items"),
                                  int nameSize = 40)
{
    auto table = std::make_unique<TTable>(name, Fields(nameSize));
    table->SetFileName(fileName);
    return table;
}

// Everything a table shows, in its order, for comparing two tables.
QStringList Dump(TTable &table)
{
    QStringList rows;
    for (table.First(); !table.Eof(); table.Next()) {
        QStringList cells;
        for (int i = 0; i < table.FieldCount(); ++i)
            cells << (table.Fields(i).IsNull() ? QStringLiteral("<null>") : table.Fields(i).AsString());
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

void Fill(TTable &table, int count)
{
    for (int i = 1; i <= count; ++i)
        table.AppendRecord({i, QStringLiteral("Item %1").arg(i), QDate(2024, 1, 1).addDays(i),
                            QTime(10, 0, i % 60), QStringLiteral("Note %1 ").arg(i).repeated(5)});
}

QString WriteSample(const QString &fileName, int count)
{
    auto table = MakeTable(fileName);
    table->CreateDataSet();
    Fill(*table, count);
    table->Close();
    return fileName;
}

bool ExecSql(const QString &fileName, const char *sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(fileName).constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The first column of the first row a query gives, as text.
QString SqlText(const QString &fileName, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    QString text;
    if (sqlite3_open(QFile::encodeName(fileName).constData(), &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return text;
}

// The stored values of every record, in file order, as typed values.
QList<QVariantList> Values(TTable &table)
{
    QList<QVariantList> rows;
    for (table.First(); !table.Eof(); table.Next()) {
        QVariantList row;
        for (int i = 0; i < table.FieldCount(); ++i)
            row << table.Fields(i).Value();
        rows << row;
    }
    return rows;
}

} // namespace

class TestTableFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }

    void changesSurviveCloseAndReopen()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("items.tbl");
        auto table = MakeTable(file);
        table->CreateDataSet();
        table->AppendRecord({1, QStringLiteral("Żółw ünïcode"), QDate(2025, 2, 28), QTime(23, 59, 58),
                             QStringLiteral("two\nlines")});
        table->AppendRecord({2});
        Fill(*table, 20);
        table->Close();
        QVERIFY(QFileInfo::exists(file));

        table->Open();
        table->SetRecNo(3);
        table->Edit();
        table->FieldByName("NAME").SetAsString("changed");
        table->FieldByName("DUE").Clear();
        table->Post();
        table->SetRecNo(5);
        table->Delete();
        table->AppendRecord({99, "appended"});
        const QStringList shown = Dump(*table);
        table->Close();

        auto fresh = MakeTable(file);
        fresh->Open();
        QCOMPARE(Dump(*fresh), shown);
        QCOMPARE(fresh->Modified(), false);
        // The file stands alone again: no journal or temporary file beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"items.tbl"});
    }

    // SQLite gives rows any number, 0 and below included (a file written
    // elsewhere may use them): such rows are changed and removed in place,
    // never taken for new ones.
    void rowsNumberedZeroAndBelowAreChangedInPlace()
    {
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 20);
        QVERIFY(ExecSql(file, "UPDATE items SET rowid=0 WHERE ID=1; UPDATE items SET rowid=-7 WHERE ID=2; "
                              "UPDATE items SET rowid=-3 WHERE ID=3"));
        auto table = MakeTable(file);
        table->Open();
        table->SetIndexName(QString());
        for (int row = 0; row < 3; ++row) {
            table->SetRecNo(row);
            if (table->FieldByName("ID").AsInteger() == 3) {
                table->Delete();
                --row;
                continue;
            }
            table->Edit();
            table->FieldByName("NAME").SetAsString(QStringLiteral("changed"));
            table->Post();
        }
        table->AppendRecord({99, "appended"});
        table->Close();

        auto fresh = MakeTable(file);
        fresh->Open();
        fresh->SetIndexName(QString());
        QStringList names;
        for (fresh->First(); !fresh->Eof(); fresh->Next())
            names << fresh->FieldByName("ID").AsString() + ':' + fresh->FieldByName("NAME").AsString();
        QCOMPARE(names.size(), 20);
        QCOMPARE(names.mid(0, 2), (QStringList{"2:changed", "1:changed"}));
        QVERIFY(names.filter(QRegularExpression(QStringLiteral("^3:"))).isEmpty());
        QCOMPARE(names.last(), QStringLiteral("99:appended"));
    }

    void closeWritesOnlyChangedOrMissingFiles()
    {
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 5);
        const QDateTime old = QDateTime::currentDateTime().addDays(-3);
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        auto table = MakeTable(file);
        table->Open();
        table->Close();
        QCOMPARE(QFileInfo(file).lastModified(), old);

        table->Open();
        QVERIFY(QFile::remove(file));
        table->Close();
        auto fresh = MakeTable(file);
        fresh->Open();
        QCOMPARE(fresh->RecordCount(), 5);
        fresh->Close();
        QFile::remove(file);
        QVERIFY_THROWS_EXCEPTION(AppError, fresh->Open());
    }

    void anotherProgramsChangeIsRead()
    {
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 3);
        auto table = MakeTable(file);
        table->Open();
        table->Close();
        auto other = MakeTable(file);
        other->Open();
        other->Edit();
        other->FieldByName("NAME").SetAsString("by another");
        other->Post();
        other->Close();
        table->Open();
        QCOMPARE(table->FieldByName("NAME").AsString(), QStringLiteral("by another"));
    }

    // Texts of a file are kept as read until something reads them: records
    // written back untouched, in a change or in a copy, keep every character,
    // and an edit that changes nothing leaves the table unmodified.
    void textsNeverReadSurviveWrites()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("items.tbl");
        {
            auto table = MakeTable(file);
            table->CreateDataSet();
            table->AppendRecord({1, QStringLiteral("Żółw 𝄞"), QDate(2025, 2, 28), QTime(8, 0, 0),
                                 QStringLiteral("ünïcode\nmemo ✓")});
            table->AppendRecord(
                {2, QStringLiteral("plain"), QVariant(), QVariant(), QStringLiteral("ëxtra")});
            table->Close();
        }
        const QStringList expected{QStringLiteral("1|Żółw 𝄞|28/02/2025|08:00:00|ünïcode\nmemo ✓"),
                                   QStringLiteral("7|plain|<null>|<null>|ëxtra")};

        auto table = MakeTable(file);
        table->Open();
        table->Edit();
        for (int i = 0; i < table->FieldCount(); ++i)
            table->Fields(i).AsString(); // as an editor shows them
        table->Post();
        QCOMPARE(table->Modified(), false);
        table->Next();
        table->Edit();
        table->FieldByName("ID").SetAsInteger(7); // the texts of this record stay unread
        table->Post();
        table->SaveToFile(dir.filePath("copy.tbl"));
        table->Close();

        for (const QString &name : {file, dir.filePath("copy.tbl")}) {
            auto fresh = MakeTable(name);
            fresh->Open();
            QCOMPARE(Dump(*fresh), expected);
        }
    }

    // An edit writes the cells it changed and no other: a text that is not
    // UTF-8 and a blob stored by another program stay as they were.
    void editWritesOnlyTheCellsItChanged()
    {
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 20);
        QVERIFY(ExecSql(
            file, "UPDATE items SET NAME = CAST(x'48e9ff6c6c6f' AS TEXT), NOTE = x'00ff10' WHERE ID = 3"));
        const char *cells = "SELECT typeof(NAME) || hex(NAME) || typeof(NOTE) || hex(NOTE) || '|' || "
                            "ifnull(DUE, '-') FROM items WHERE ID = 3";
        QCOMPARE(SqlText(file, cells), QStringLiteral("text48E9FF6C6C6Fblob00FF10|2024-01-04"));
        auto table = MakeTable(file);
        table->Open();
        table->SetRecNo(2);
        table->Edit();
        for (int i = 0; i < table->FieldCount(); ++i)
            table->Fields(i).SetValue(table->Fields(i).Value()); // as an editor's OK puts them back
        table->FieldByName("DUE").Clear();
        table->Post();
        table->Close();
        QCOMPARE(SqlText(file, cells), QStringLiteral("text48E9FF6C6C6Fblob00FF10|-"));
    }

    // The writer changes the rows it is given or nothing: a change naming a
    // row the file no longer holds is refused, and what was written before it
    // in the transaction is rolled back.
    void changesToRowsNoLongerThereAreRefused_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::newRow("removed") << true;
        QTest::newRow("updated") << false;
    }
    void changesToRowsNoLongerThereAreRefused()
    {
        QFETCH(bool, remove);
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 5);
        const QByteArray before = ReadFileBytes(file);
        const TTableFile writer(QStringLiteral("items"), Fields());
        TRecordArena arena;
        const TRecords records = writer.Load(file, arena);
        std::vector<TFileChanges> changes(1);
        changes[0].fileName = file;
        changes[0].file = &writer;
        changes[0].maxRowId = 5;
        changes[0].deleted = {2};
        if (remove)
            changes[0].deleted.push_back(42);
        else
            changes[0].updated.push_back({42, records[0].get(), {1}});
        try {
            TTableFile::WriteChangesTogether(changes);
            QFAIL("a change to a row that is not there was written");
        } catch (const AppError &error) {
            QCOMPARE(error.message(),
                     QStringLiteral("Cannot write \"%1\": its row 42 is no longer there").arg(file));
        }
        QCOMPARE(ReadFileBytes(file), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"items.tbl"});
    }

    void saveToAnotherFileLeavesOwnFileAlone()
    {
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 3);
        const QByteArray before = ReadFileBytes(file);
        auto table = MakeTable(file);
        table->Open();
        table->Edit();
        table->FieldByName("NAME").SetAsString("copy only");
        table->Post();
        table->SaveToFile(dir.filePath("copy.tbl"));
        QCOMPARE(ReadFileBytes(file), before);
        auto copy = MakeTable(dir.filePath("copy.tbl"));
        copy->Open();
        QCOMPARE(Dump(*copy), Dump(*table));
        table->Close(); // still changed relative to its own file
        QVERIFY(ReadFileBytes(file) != before);
    }

    void refusedFilesStayUntouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("text file") << "text";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("other table") << "other";
        QTest::newRow("other layout") << "layout";
        QTest::newRow("newer version") << "newer";
        QTest::newRow("foreign database") << "foreign";
    }
    void refusedFilesStayUntouched()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString file = dir.filePath("items.tbl");
        if (kind == "text") {
            QVERIFY(WriteFileBytes(file, "ID;NAME\n1;Ann\n"));
        } else if (kind == "empty") {
            QVERIFY(WriteFileBytes(file, QByteArray()));
        } else if (kind == "truncated") {
            WriteSample(file, 2000);
            const QByteArray bytes = ReadFileBytes(file);
            QVERIFY(WriteFileBytes(file, bytes.left(bytes.size() / 2)));
        } else if (kind == "other") {
            auto other = MakeTable(file, QStringLiteral("others"));
            other->CreateDataSet();
            other->Close();
        } else if (kind == "layout") {
            auto other = MakeTable(file, QStringLiteral("items"), 10);
            other->CreateDataSet();
            other->Close();
        } else if (kind == "newer") {
            WriteSample(file, 3);
            QVERIFY(ExecSql(file, "PRAGMA user_version=2"));
        } else {
            QVERIFY(ExecSql(file, "CREATE TABLE items(ID INTEGER)"));
        }
        const QByteArray before = ReadFileBytes(file);
        auto table = MakeTable(file);
        QVERIFY_THROWS_EXCEPTION(AppError, table->Open());
        QVERIFY(!table->Active());
        table->Close(); // a table that failed to load is never written
        QCOMPARE(ReadFileBytes(file), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"items.tbl"});
    }

    void extremeValuesSurviveAFreshOpen_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("whole file") << false;
        QTest::newRow("changes in place") << true;
    }
    void extremeValuesSurviveAFreshOpen()
    {
        QFETCH(bool, inPlace);
        QTemporaryDir dir;
        const QString file = dir.filePath("items.tbl");
        const QString fourByte = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
        const QList<QVariantList> rows{
            {QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
            {std::numeric_limits<int>::max(), fourByte.repeated(2), QDate(1, 1, 1), QTime(0, 0, 0),
             QString(QStringLiteral("nul") + QChar(0) + QStringLiteral("inside") + fourByte)},
            {std::numeric_limits<int>::min(), QString(QStringLiteral("n") + QChar(0) + QStringLiteral("l")),
             QDate(9999, 12, 31), QTime(23, 59, 59), QString(100000, QChar(0x00e9))},
            {0, QStringLiteral("'\"%;"), QDate(2024, 2, 29), QTime(12, 0, 0), QStringLiteral("\r\n\t")},
        };
        {
            auto table = MakeTable(file, QStringLiteral("items"), 4);
            table->CreateDataSet();
            if (inPlace) {
                // An existing file of many records takes a few new ones in place.
                for (int i = 0; i < 20; ++i)
                    table->AppendRecord({i});
                table->Close();
                table->Open();
            }
            for (const QVariantList &row : rows)
                table->AppendRecord(row);
            table->Close();
        }
        auto fresh = MakeTable(file, QStringLiteral("items"), 4);
        fresh->Open();
        QList<QVariantList> read = Values(*fresh);
        if (inPlace)
            read = read.mid(20);
        QCOMPARE(read.size(), rows.size());
        for (qsizetype r = 0; r < rows.size(); ++r)
            for (qsizetype f = 0; f < rows[r].size(); ++f) {
                const QVariant &want = rows[r][f];
                QCOMPARE(read[r][f].isValid(), want.isValid());
                if (want.isValid())
                    QCOMPARE(read[r][f], want);
            }
    }

    void valuesOutsideTheFieldsAreRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("negative year typed")
            << "DUE" << QVariant("01/01/-2024") << "'01/01/-2024' is not a valid date";
        QTest::newRow("five-digit year typed")
            << "DUE" << QVariant("01/01/10000") << "'01/01/10000' is not a valid date";
        QTest::newRow("negative year as date")
            << "DUE" << QVariant(QDate(-200, 1, 1)) << "'01/01/-0200' is not a valid date";
        QTest::newRow("five-digit year as date")
            << "DUE" << QVariant(QDate(10000, 1, 1)) << "'01/01/10000' is not a valid date";
        QTest::newRow("64-bit number")
            << "ID" << QVariant(qint64(1) << 32) << "'4294967296' is not a valid integer value";
        QTest::newRow("64-bit number typed")
            << "ID" << QVariant("4294967297") << "'4294967297' is not a valid integer value";
    }
    void valuesOutsideTheFieldsAreRefused()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, message);
        auto table = MakeTable(QString());
        table->CreateDataSet();
        table->Append();
        try {
            table->FieldByName(field).SetValue(value);
            QFAIL("the value was taken");
        } catch (const AppError &error) {
            QCOMPARE(error.message(), message);
        }
        QVERIFY(table->FieldByName(field).IsNull());
    }

    void damagedValuesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("sql");
        QTest::newRow("negative year") << QByteArray("UPDATE items SET DUE='-200-01-01'");
        QTest::newRow("year zero") << QByteArray("UPDATE items SET DUE='0000-01-01'");
        QTest::newRow("five-digit year") << QByteArray("UPDATE items SET DUE='10000-01-01'");
        QTest::newRow("signed month") << QByteArray("UPDATE items SET DUE='2024--1-01'");
        QTest::newRow("signed hour") << QByteArray("UPDATE items SET AT='-1:00:00'");
        QTest::newRow("no such day") << QByteArray("UPDATE items SET DUE='2024-04-31'");
        QTest::newRow("no leap day in a common year") << QByteArray("UPDATE items SET DUE='2023-02-29'");
        QTest::newRow("no leap day in 1900") << QByteArray("UPDATE items SET DUE='1900-02-29'");
        QTest::newRow("month 13") << QByteArray("UPDATE items SET DUE='2024-13-01'");
        QTest::newRow("day zero") << QByteArray("UPDATE items SET DUE='2024-01-00'");
        QTest::newRow("hour 24") << QByteArray("UPDATE items SET AT='24:00:00'");
        QTest::newRow("minute 60") << QByteArray("UPDATE items SET AT='12:60:00'");
        QTest::newRow("number beyond 32 bits") << QByteArray("UPDATE items SET ID=4294967297");
        QTest::newRow("number below 32 bits") << QByteArray("UPDATE items SET ID=-2147483649");
    }
    void damagedValuesAreRefused()
    {
        QFETCH(QByteArray, sql);
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 3);
        QVERIFY(ExecSql(file, sql.constData()));
        const QByteArray before = ReadFileBytes(file);
        auto table = MakeTable(file);
        QVERIFY_THROWS_EXCEPTION(AppError, table->Open());
        QVERIFY(!table->Active());
        QCOMPARE(ReadFileBytes(file), before);
    }

    // Stored dates and times read as the calendar has them, leap days
    // and the ends of the range included.
    void storedDatesAndTimesReadBack_data()
    {
        QTest::addColumn<QByteArray>("day");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QByteArray>("at");
        QTest::addColumn<QTime>("time");
        QTest::newRow("first day") << QByteArray("0001-01-01") << QDate(1, 1, 1) << QByteArray("00:00:00")
                                   << QTime(0, 0, 0);
        QTest::newRow("last day") << QByteArray("9999-12-31") << QDate(9999, 12, 31) << QByteArray("23:59:59")
                                  << QTime(23, 59, 59);
        QTest::newRow("leap day 2000")
            << QByteArray("2000-02-29") << QDate(2000, 2, 29) << QByteArray("12:34:56") << QTime(12, 34, 56);
        QTest::newRow("leap day 1600")
            << QByteArray("1600-02-29") << QDate(1600, 2, 29) << QByteArray("09:05:01") << QTime(9, 5, 1);
        QTest::newRow("end of February")
            << QByteArray("1900-02-28") << QDate(1900, 2, 28) << QByteArray("00:00:59") << QTime(0, 0, 59);
        QTest::newRow("start of March")
            << QByteArray("2023-03-01") << QDate(2023, 3, 1) << QByteArray("23:00:00") << QTime(23, 0, 0);
        QTest::newRow("end of a year")
            << QByteArray("1582-12-31") << QDate(1582, 12, 31) << QByteArray("01:02:03") << QTime(1, 2, 3);
    }
    void storedDatesAndTimesReadBack()
    {
        QFETCH(QByteArray, day);
        QFETCH(QDate, date);
        QFETCH(QByteArray, at);
        QFETCH(QTime, time);
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 3);
        const QByteArray sql = "UPDATE items SET DUE='" + day + "', AT='" + at + "'";
        QVERIFY(ExecSql(file, sql.constData()));
        auto table = MakeTable(file);
        table->Open();
        for (table->First(); !table->Eof(); table->Next()) {
            QCOMPARE(table->FieldByName("DUE").AsDate(), date);
            QCOMPARE(table->FieldByName("AT").AsTime(), time);
        }
    }

    void schemaHoldsTheTableAlone_data()
    {
        QTest::addColumn<QByteArray>("sql");
        QTest::newRow("view") << QByteArray("CREATE VIEW v AS SELECT * FROM items");
        QTest::newRow("table replaced by a view")
            << QByteArray("ALTER TABLE items RENAME TO old; CREATE VIEW items AS "
                          "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n) "
                          "SELECT x AS ID, '' AS NAME, NULL AS DUE, NULL AS AT, '' AS NOTE FROM n");
        QTest::newRow("trigger") << QByteArray(
            "CREATE TRIGGER t AFTER UPDATE ON items BEGIN DELETE FROM items WHERE rowid<>new.rowid; END");
        QTest::newRow("index") << QByteArray("CREATE INDEX i ON items(NAME)");
        QTest::newRow("second table") << QByteArray("CREATE TABLE extra(x)");
        QTest::newRow("constraint added")
            << QByteArray("PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql=replace(sql, 'TEXT)', "
                          "'TEXT CHECK (length(NOTE) < 5))') WHERE name='items'");
    }
    void schemaHoldsTheTableAlone()
    {
        QFETCH(QByteArray, sql);
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 3);
        QVERIFY(ExecSql(file, sql.constData()));
        const QByteArray before = ReadFileBytes(file);
        auto table = MakeTable(file);
        QVERIFY_THROWS_EXCEPTION(AppError, table->Open());
        QVERIFY(!table->Active());
        QCOMPARE(ReadFileBytes(file), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"items.tbl"});
    }

    void failedWriteKeepsOldFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("rewriteAll");
        QTest::newRow("read-only file, changes only") << "readonly" << false;
        QTest::newRow("read-only file, whole file") << "readonly" << true;
        QTest::newRow("disk full, changes only") << "full" << false;
        QTest::newRow("disk full, whole file") << "full" << true;
        QTest::newRow("read-only folder") << "folder" << true;
    }
    void failedWriteKeepsOldFile()
    {
        QFETCH(QString, fault);
        QFETCH(bool, rewriteAll);
        if (fault == "folder" && geteuid() == 0)
            QSKIP("folder permissions do not bind root");
        QTemporaryDir dir;
        const QString file = WriteSample(dir.filePath("items.tbl"), 300);
        const QByteArray before = ReadFileBytes(file);
        auto table = MakeTable(file);
        table->Open();
        // Many new records make a whole new file; a few are written in place.
        for (int i = 0; i < (rewriteAll ? 600 : 30); ++i)
            table->AppendRecord(
                {1000 + i, QStringLiteral("new"), QVariant(), QVariant(), QString(4000, 'x')});
        const auto permissions = QFile::permissions(file);
        if (fault == "readonly")
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        if (fault == "folder")
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        {
            std::unique_ptr<FullDisk> limit;
            if (fault == "full")
                limit = std::make_unique<FullDisk>(before.size());
            try {
                table->Close();
                QFAIL("the failed write was reported as success");
            } catch (const AppError &error) {
                if (fault == "readonly")
                    QCOMPARE(error.message(),
                             QStringLiteral("Cannot write \"%1\": the file is read-only.").arg(file));
                else
                    QVERIFY2(
                        error.message().startsWith(QStringLiteral("Cannot write \"%1\": ").arg(file)) &&
                            (fault != "full" || !rewriteAll || error.message().endsWith("(File too large)")),
                        qPrintable(error.message()));
            }
        }
        // The table stays open with the changes that could not be written.
        QVERIFY(table->Active());
        QVERIFY(table->Modified());
        QCOMPARE(table->RecordCount(), 300 + (rewriteAll ? 600 : 30));
        QCOMPARE(ReadFileBytes(file), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"items.tbl"});
        if (fault == "folder")
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (fault == "readonly")
            QFile::setPermissions(file, permissions);
        // Once the cause is gone, closing again writes them.
        table->Close();
        QVERIFY(!table->Active());
        auto fresh = MakeTable(file);
        fresh->Open();
        QCOMPARE(fresh->RecordCount(), 300 + (rewriteAll ? 600 : 30));
    }
};

QTEST_MAIN(TestTableFile)
#include "tst_tablefile.moc"
