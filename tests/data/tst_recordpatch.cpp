#include "AppError.h"
#include "RecordPatch.h"
#include "TTable.h"
#include "TTableFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace {

QList<TFieldDef> Fields()
{
    return {{QStringLiteral("ID"), ftInteger, 0},
            {QStringLiteral("NAME"), ftString, 40},
            {QStringLiteral("DUE"), ftDate, 0},
            {QStringLiteral("NOTE"), ftMemo, 0}};
}

std::unique_ptr<TTable> MakeTable(const QString &fileName = QString())
{
    auto table = std::make_unique<TTable>(QStringLiteral("items"), Fields());
    table->SetFileName(fileName);
    return table;
}

// Every record of the file in file order, one line each.
QStringList Dump(const QString &fileName)
{
    auto table = MakeTable(fileName);
    table->Open();
    QStringList rows;
    for (table->First(); !table->Eof(); table->Next()) {
        QStringList cells;
        for (int i = 0; i < table->FieldCount(); ++i)
            cells << (table->Fields(i).IsNull() ? QStringLiteral("<null>") : table->Fields(i).AsString());
        rows << cells.join(QLatin1Char('|'));
    }
    table->Abandon();
    return rows;
}

QByteArray Hash(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

void Sql(const QString &fileName, const char *sql)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(fileName).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

} // namespace

class TestRecordPatch : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // A file as a long use leaves it: the highest number in the middle, a
    // record without number, a deleted row, two records of one name.
    QString Sample(const QString &name)
    {
        const QString fileName = dir.filePath(name);
        auto table = MakeTable(fileName);
        table->CreateDataSet();
        table->AppendRecord({3, QStringLiteral("b"), QDate(2026, 1, 3), QStringLiteral("three")});
        table->AppendRecord({9, QStringLiteral("a"), QDate(2026, 1, 9), QStringLiteral("nine")});
        table->AppendRecord({QVariant(), QVariant(), QVariant(), QStringLiteral("no number")});
        table->AppendRecord({4, QStringLiteral("gone"), QVariant(), QVariant()});
        table->AppendRecord({5, QStringLiteral("b"), QDate(2026, 1, 5), QStringLiteral("five")});
        table->Close();
        table->Open();
        table->SetIndexName(QString());
        table->SetRecNo(3);
        table->Delete();
        table->Close();
        return fileName;
    }

private Q_SLOTS:
    void readsAndCountsAsALoadDoes()
    {
        const QString fileName = Sample(QStringLiteral("read.tbl"));
        auto table = MakeTable();
        TRecordPatch patch(*table, fileName);
        QCOMPARE(patch.MaxInteger(QStringLiteral("ID"), 0), 9);
        QCOMPARE(patch.Read(QStringLiteral("NAME"), QStringLiteral("b")), 2);
        QCOMPARE(patch.Read(QStringLiteral("NAME"), QString()), 1);
        QCOMPARE(patch.Read(QStringLiteral("ID"), 9), 1);
        QStringList read;
        for (table->First(); !table->Eof(); table->Next())
            read << table->FieldByName(QStringLiteral("NOTE")).AsString();
        QCOMPARE(read, (QStringList{QStringLiteral("three"), QStringLiteral("five"),
                                    QStringLiteral("no number"), QStringLiteral("nine")}));
    }

    // A record is read by a text exactly when a whole load shows it with
    // that text, whatever the file stores it as.
    void readFindsWhatALoadShows_data()
    {
        QTest::addColumn<QByteArray>("change");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::newRow("text stored as a blob")
            << QByteArray("UPDATE items SET NAME = CAST('b' AS BLOB) WHERE ID = 5") << QStringLiteral("b")
            << 2;
        QTest::newRow("bytes that are not UTF-8")
            << QByteArray("UPDATE items SET NAME = CAST(x'61ff' AS TEXT) WHERE ID = 9")
            << QStringLiteral(u"a\uFFFD") << 1;
        QTest::newRow("empty blob as empty text")
            << QByteArray("UPDATE items SET NAME = x'' WHERE ID = 9") << QString() << 2;
    }
    void readFindsWhatALoadShows()
    {
        QFETCH(QByteArray, change);
        QFETCH(QString, name);
        QFETCH(int, count);
        const QString fileName = Sample(QStringLiteral("stored.tbl"));
        Sql(fileName, change.constData());
        auto whole = MakeTable(fileName);
        whole->Open();
        int shown = 0;
        for (whole->First(); !whole->Eof(); whole->Next())
            shown += whole->FieldByName(QStringLiteral("NAME")).AsString() == name;
        whole->Abandon();
        QCOMPARE(shown, count);
        auto table = MakeTable();
        TRecordPatch patch(*table, fileName);
        QCOMPARE(patch.Read(QStringLiteral("NAME"), name), count);
    }

    // The same edit made on a few records read alone and on the whole
    // table loaded gives the same file content.
    void writeGivesWhatAWholeLoadWrites()
    {
        const QString patched = Sample(QStringLiteral("patched.tbl"));
        const QString whole = Sample(QStringLiteral("whole.tbl"));
        const auto edit = [](TTable &table) {
            table.SetIndexName(QStringLiteral("ID"));
            QVERIFY(table.FindKey({5}));
            table.Edit();
            table.FieldByName(QStringLiteral("NOTE")).SetAsString(QStringLiteral("changed"));
            table.Post();
            table.Append();
            table.FieldByName(QStringLiteral("ID")).SetAsInteger(10);
            table.FieldByName(QStringLiteral("NAME")).SetAsString(QStringLiteral("new"));
            table.Post();
        };
        {
            auto table = MakeTable();
            TRecordPatch patch(*table, patched);
            QCOMPARE(patch.Read(QStringLiteral("ID"), 5), 1);
            table->First();
            table->Edit();
            table->FieldByName(QStringLiteral("NOTE")).SetAsString(QStringLiteral("changed"));
            table->Post();
            table->Append();
            table->FieldByName(QStringLiteral("ID")).SetAsInteger(10);
            table->FieldByName(QStringLiteral("NAME")).SetAsString(QStringLiteral("new"));
            table->Post();
            patch.Write();
        }
        {
            auto table = std::make_unique<TTable>(
                QStringLiteral("items"), Fields(),
                QList<TIndexDef>{{QStringLiteral("ID"), {QStringLiteral("ID")}, false, false}});
            table->SetFileName(whole);
            table->Open();
            edit(*table);
            table->Close();
        }
        QCOMPARE(Dump(patched), Dump(whole));
        QCOMPARE(Dump(patched).last(), QStringLiteral("10|new|<null>|<null>"));
        QCOMPARE(Dump(patched).at(3), QStringLiteral("5|b|05/01/2026|changed"));
    }

    void unchangedRecordsWriteNothing()
    {
        const QString fileName = Sample(QStringLiteral("same.tbl"));
        const QByteArray before = Hash(fileName);
        auto table = MakeTable();
        TRecordPatch patch(*table, fileName);
        QCOMPARE(patch.Read(QStringLiteral("NAME"), QStringLiteral("a")), 1);
        table->First();
        table->Edit();
        table->FieldByName(QStringLiteral("NOTE")).SetAsString(QStringLiteral("nine"));
        table->Post();
        patch.Write();
        QCOMPARE(Hash(fileName), before);
    }

    // A record removed from the part of a file read goes from its row; the
    // rows around it stay.
    void removalIsWrittenToItsRow()
    {
        const QString fileName = Sample(QStringLiteral("removed.tbl"));
        QStringList expected = Dump(fileName);
        expected.removeAt(3);
        {
            auto table = MakeTable();
            TRecordPatch patch(*table, fileName);
            QCOMPARE(patch.Read(QStringLiteral("NAME"), QStringLiteral("b")), 2);
            table->Last();
            table->Delete();
            patch.Write();
        }
        QCOMPARE(Dump(fileName), expected);
    }

    // A file that another program (one that ignores the lock) changes while
    // the patch reads it is refused, neither read as it was nor left to end
    // the reader with a bus error: shortened, or overwritten in place.
    void fileChangedWhileReadIsRefused_data()
    {
        QTest::addColumn<bool>("shorten");
        QTest::newRow("shortened") << true;
        QTest::newRow("overwritten") << false;
    }
    void fileChangedWhileReadIsRefused()
    {
        QFETCH(bool, shorten);
        const QString fileName = Sample(QStringLiteral("changed.tbl"));
        // An old time, so the change below shows in it at any clock's grain.
        {
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                     QFileDevice::FileModificationTime));
        }
        auto table = MakeTable();
        TRecordPatch patch(*table, fileName);
        QCOMPARE(patch.Read(QStringLiteral("NAME"), QStringLiteral("a")), 1);
        {
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (shorten) {
                QVERIFY(file.resize(1024));
            } else {
                QVERIFY(file.seek(4096));
                QCOMPARE(file.write(QByteArray(64, '\0')), 64);
            }
        }
        try {
            patch.Read(QStringLiteral("NAME"), QStringLiteral("b"));
            QFAIL("the changed file was read");
        } catch (const AppError &error) {
            QVERIFY2(error.message().startsWith(QStringLiteral("Cannot read \"%1\": ").arg(fileName)),
                     qPrintable(error.message()));
        }
    }

    void refusesWhatALoadRefuses_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("no table file") << QByteArray("garbage");
        QTest::newRow("newer version") << QByteArray("PRAGMA user_version=2");
        QTest::newRow("text as a number") << QByteArray("UPDATE items SET ID='x' WHERE ID=3");
        QTest::newRow("number beyond 32 bits") << QByteArray("UPDATE items SET ID=4294967296 WHERE ID=3");
        QTest::newRow("another table") << QByteArray("CREATE TABLE other (a)");
    }
    void refusesWhatALoadRefuses()
    {
        QFETCH(QByteArray, damage);
        const QString fileName = Sample(QStringLiteral("damaged.tbl"));
        if (damage == "garbage") {
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("this is no table file");
        } else {
            Sql(fileName, damage.constData());
        }
        TRecordArena arena;
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 TTableFile(QStringLiteral("items"), Fields()).Load(fileName, arena));
        const QByteArray before = Hash(fileName);
        auto table = MakeTable();
        try {
            TRecordPatch patch(*table, fileName);
            patch.MaxInteger(QStringLiteral("ID"), 0);
            QFAIL("the damaged file was taken");
        } catch (const AppError &error) {
            QVERIFY2(error.message().startsWith(QStringLiteral("Cannot read \"") + fileName),
                     qPrintable(error.message()));
        }
        QCOMPARE(Hash(fileName), before);
    }

    // The records read are refused with the very words a load gives.
    void readRefusesValuesAsALoadDoes_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("date that is not one") << QByteArray("UPDATE items SET DUE='2026-02-30' WHERE ID=3");
        QTest::newRow("text as a date") << QByteArray("UPDATE items SET DUE='soon' WHERE ID=5");
        QTest::newRow("fraction as a number") << QByteArray("UPDATE items SET ID=3.5 WHERE ID=3");
        QTest::newRow("number beyond 32 bits") << QByteArray("UPDATE items SET ID=-4294967296 WHERE ID=5");
    }
    void readRefusesValuesAsALoadDoes()
    {
        QFETCH(QByteArray, damage);
        const QString fileName = Sample(QStringLiteral("bad value.tbl"));
        Sql(fileName, damage.constData());
        QString loadError;
        try {
            TRecordArena arena;
            TTableFile(QStringLiteral("items"), Fields()).Load(fileName, arena);
        } catch (const AppError &error) {
            loadError = error.message();
        }
        QVERIFY(!loadError.isEmpty());
        auto table = MakeTable();
        TRecordPatch patch(*table, fileName);
        try {
            patch.Read(QStringLiteral("NAME"), QStringLiteral("b"));
            QFAIL("the damaged record was taken");
        } catch (const AppError &error) {
            QCOMPARE(error.message(), loadError);
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordPatch)
#include "tst_recordpatch.moc"
