#include "TACTFiles.h"
#include "TCDSParser.h"
#include "TDataModuleMain.h"
#include "TestWorkspace.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <sqlite3.h>

// dravelin-cli merge on real packed files: an Action File packed, changed
// here and in the returned copy, and merged back.

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

QByteArray ReadAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every row of the table file as "FIELD=value" of its non-null columns in
// column order, joined by "; ", the rows sorted.
QStringList Rows(const QString &fileName, const char *table)
{
    QStringList rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        const QByteArray sql = QByteArray("SELECT * FROM \"") + table + '"';
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                QStringList cells;
                for (int column = 0; column < sqlite3_column_count(stmt); ++column)
                    if (sqlite3_column_type(stmt, column) != SQLITE_NULL)
                        cells << QString::fromUtf8(sqlite3_column_name(stmt, column)) + QLatin1Char('=') +
                                     QString::fromUtf8(
                                         reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)));
                rows << cells.join(QStringLiteral("; "));
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    rows.sort();
    return rows;
}

// The tables of an Action File as the expected rows are written.
struct TTableRows {
    QStringList header, actions, contacts, log, decisions, statements;
};

TTableRows AllRows(const QString &actFile)
{
    const TACTFiles files(actFile);
    return {Rows(files.Name(TableMember::Header), "cdsAction"),
            Rows(files.Name(TableMember::Actions), "cdsActions"),
            Rows(files.Name(TableMember::Actor), "cdsActor"),
            Rows(files.Name(TableMember::Log), "cdsLog"),
            Rows(files.Name(TableMember::Decision), "cdsDecision"),
            Rows(files.Name(TableMember::Statement), "cdsStatement")};
}

QStringList Sorted(QStringList rows)
{
    rows.sort();
    return rows;
}

TTable *Table(TDataModuleMain &data, const QString &name)
{
    for (TTable *table :
         {data.cdsAction, data.cdsActions, data.cdsActor, data.cdsLog, data.cdsDecision, data.cdsStatement})
        if (table->TableName() == name)
            return table;
    return nullptr;
}

// Moves to the record whose ID field is id (a number or a contact's text).
void Goto(TTable *table, const QVariant &id)
{
    table->SetFiltered(false);
    for (table->First(); !table->Eof(); table->Next())
        if (table->FieldByName(QStringLiteral("ID")).AsString() == id.toString())
            return;
    QFAIL(qPrintable(QStringLiteral("no record %1 in %2").arg(id.toString(), table->TableName())));
}

} // namespace

class TestCliMerge : public QObject {
    Q_OBJECT

private:
    TestWorkspace ws;

    QString Path(const QString &name) const { return ws.dir->filePath(name); }

    Run Cli(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), ws.dir->path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), Path(QStringLiteral("share")));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(ws.dir->path());
        process.start(QStringLiteral(DRAVELIN_CLI), arguments);
        Run run;
        if (!process.waitForFinished(120000))
            return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    // Opens actFile in the test's data module, runs change on it and writes it.
    template <typename Change> void Edit(const QString &actFile, Change change)
    {
        TDataModuleMain &data = *ws.data;
        data.Tables.Open(actFile, false);
        change(data);
        data.Tables.Close();
        data.Tables.Reset();
    }

    static void Add(TDataModuleMain &data, const char *table, const QVariantMap &values)
    {
        AddExactRecord(Table(data, QLatin1String(table)), values);
    }

    static void Set(TDataModuleMain &data, const char *table, const QVariant &id, const char *field,
                    const QVariant &value)
    {
        TTable *t = Table(data, QLatin1String(table));
        if (t != data.cdsAction)
            Goto(t, id);
        t->Edit();
        t->FieldByName(QLatin1String(field)).SetValue(value);
        t->Post();
    }

    static void Remove(TDataModuleMain &data, const char *table, const QVariant &id)
    {
        TTable *t = Table(data, QLatin1String(table));
        Goto(t, id);
        t->Delete();
    }

    // The Action File as packed: a header, two contacts, four actions and
    // children of the first two.
    void MakeBase(const QString &actFile)
    {
        TDataModuleMain &data = *ws.data;
        data.Tables.Open(actFile, true);
        TTable *header = data.cdsAction;
        header->Edit();
        for (int field = 0; field < header->FieldCount(); ++field)
            header->Fields(field).Clear();
        header->FieldByName(QStringLiteral("TITLE")).SetAsString(QStringLiteral("Harbour"));
        header->FieldByName(QStringLiteral("DATE_ENTERED")).SetAsDate(QDate(2026, 1, 5));
        header->Post();
        Add(data, "cdsActor", {{"ID", "ann"}, {"FIRST_NAME", "Ann"}});
        Add(data, "cdsActor", {{"ID", "bob"}, {"FIRST_NAME", "Bob"}});
        for (int id = 1; id <= 4; ++id)
            Add(data, "cdsActions",
                {{"ID", id},
                 {"ID_CHAIN", id},
                 {"ATTRIBUTE", QStringLiteral("H_%1").arg(id)},
                 {"ID_ACTION", QStringLiteral("A%1").arg(id)},
                 {"SYNOPSIS", QStringLiteral("s%1").arg(id)}});
        Add(data, "cdsLog", {{"ID", 1}, {"ID_ACTION", 1}, {"STATUS_LINE", "l1"}});
        Add(data, "cdsLog", {{"ID", 2}, {"ID_ACTION", 2}, {"STATUS_LINE", "l2"}});
        Add(data, "cdsDecision", {{"ID", 1}, {"ID_ACTION", 1}, {"SYNOPSIS", "d1"}});
        Add(data, "cdsStatement", {{"ID", 1}, {"ID_ACTION", 2}, {"SYNOPSIS", "t1"}});
        data.Tables.Close();
        data.Tables.Reset();
    }

    // Packs mine.act into sent.dravelin, changes both sides and packs the
    // other side's copy into back/sent.dravelin: the returned file.
    QString Exchange()
    {
        const QString mine = Path(QStringLiteral("mine.act"));
        MakeBase(mine);
        const Run pack = Cli({QStringLiteral("pack"), mine, QStringLiteral("sent.dravelin")});
        if (pack.exitCode != 0)
            return pack.err;
        const QString theirs = Path(QStringLiteral("theirs.act"));
        Cli({QStringLiteral("unpack"), QStringLiteral("sent.dravelin"), theirs});

        Edit(theirs, [](TDataModuleMain &data) {
            Set(data, "cdsAction", {}, "TITLE", "Harbour works");
            Set(data, "cdsActor", "ann", "PHONE_1", "111");
            Remove(data, "cdsActor", "bob");
            Add(data, "cdsActor", {{"ID", "cy"}, {"FIRST_NAME", "Cy"}});
            Set(data, "cdsActions", 1, "SYNOPSIS", "s1 there");
            Set(data, "cdsActions", 1, "DESCRIPTION", "described there");
            Remove(data, "cdsLog", 2);
            Remove(data, "cdsStatement", 1);
            Remove(data, "cdsActions", 2);
            Set(data, "cdsActions", 3, "SYNOPSIS", "s3 there");
            // Two new actions, the first followed up by the second.
            Add(data, "cdsActions",
                {{"ID", 5},
                 {"ID_CHAIN", 6},
                 {"ATTRIBUTE", "T_5"},
                 {"ID_ACTION", "B5"},
                 {"SYNOPSIS", "s5 there"}});
            Add(data, "cdsActions",
                {{"ID", 6},
                 {"ID_CHAIN", 6},
                 {"ATTRIBUTE", "T_6"},
                 {"ID_ACTION", "B6"},
                 {"SYNOPSIS", "s6 there"}});
            Add(data, "cdsLog", {{"ID", 3}, {"ID_ACTION", 5}, {"STATUS_LINE", "l3 there"}});
            Add(data, "cdsDecision", {{"ID", 2}, {"ID_ACTION", 6}, {"SYNOPSIS", "d2 there"}});
            Add(data, "cdsStatement", {{"ID", 2}, {"ID_ACTION", 6}, {"SYNOPSIS", "t2 there"}});
            Set(data, "cdsLog", 1, "STATUS_LINE", "l1 there");
            Remove(data, "cdsDecision", 1);
        });
        Edit(mine, [](TDataModuleMain &data) {
            Set(data, "cdsAction", {}, "REMARKS", "remarked here");
            Set(data, "cdsActor", "bob", "PHONE_1", "222");
            Set(data, "cdsActions", 1, "SYNOPSIS", "s1 here");
            Set(data, "cdsActions", 4, "SEVERITY", "High");
            Remove(data, "cdsActions", 3);
            Add(data, "cdsActions",
                {{"ID", 5},
                 {"ID_CHAIN", 5},
                 {"ATTRIBUTE", "H_5"},
                 {"ID_ACTION", "A5"},
                 {"SYNOPSIS", "s5 here"}});
            Add(data, "cdsLog", {{"ID", 3}, {"ID_ACTION", 5}, {"STATUS_LINE", "l3 here"}});
        });
        QDir().mkpath(Path(QStringLiteral("back")));
        const Run back = Cli({QStringLiteral("pack"), theirs, QStringLiteral("back/sent.dravelin")});
        return back.exitCode == 0 ? QString() : back.err;
    }

    QString Base() const
    {
        return Path(QStringLiteral("Documents/Dravelin/Auxiliary/AUXILIARY_MINE/Merge Bases/sent.dravelin"));
    }

private Q_SLOTS:
    void init() { ws.Start(); }
    void cleanup() { ws.Finish(); }

    void packKeepsTheStateItWrote()
    {
        const QString mine = Path(QStringLiteral("mine.act"));
        MakeBase(mine);
        QCOMPARE(Cli({QStringLiteral("pack"), mine, QStringLiteral("sent.dravelin")}).exitCode, 0);
        QVERIFY(QFileInfo::exists(Base()));
        QCOMPARE(ReadAll(Base()), ReadAll(Path(QStringLiteral("sent.dravelin"))));
    }

    void threeWayMerge_data()
    {
        QTest::addColumn<QString>("decide");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("contacts");
        QTest::addColumn<QStringList>("log");
        // Common to both: theirs taken where only they changed (title, Ann's
        // phone, action 1's description, log 1, action 2 and its children
        // deleted, decision 1 deleted, Cy added); mine kept where only I
        // did (remarks, action 4, my action 5 with its log entry). Their
        // actions 5 and 6 become 6 and 7, their chain and children with them.
        const QString a1 = QStringLiteral(
            "ID=1; ID_CHAIN=1; ATTRIBUTE=H_1; ID_ACTION=A1; SYNOPSIS=%1; DESCRIPTION=described there");
        const QStringList added{
            QStringLiteral("ID=4; ID_CHAIN=4; ATTRIBUTE=H_4; ID_ACTION=A4; SYNOPSIS=s4; SEVERITY=High"),
            QStringLiteral("ID=5; ID_CHAIN=5; ATTRIBUTE=H_5; ID_ACTION=A5; SYNOPSIS=s5 here"),
            QStringLiteral("ID=6; ID_CHAIN=7; ATTRIBUTE=T_5; ID_ACTION=B5; SYNOPSIS=s5 there"),
            QStringLiteral("ID=7; ID_CHAIN=7; ATTRIBUTE=T_6; ID_ACTION=B6; SYNOPSIS=s6 there")};
        const QStringList log{QStringLiteral("ID=1; ID_ACTION=1; STATUS_LINE=l1 there"),
                              QStringLiteral("ID=3; ID_ACTION=5; STATUS_LINE=l3 here"),
                              QStringLiteral("ID=4; ID_ACTION=6; STATUS_LINE=l3 there")};
        const QString ann = QStringLiteral("ID=ann; FIRST_NAME=Ann; PHONE_1=111");
        const QString cy = QStringLiteral("ID=cy; FIRST_NAME=Cy");
        // Their version of each question: action 1's synopsis, action 3
        // (deleted here, changed there), Bob (deleted there, changed here).
        QTest::newRow("--theirs") << "--theirs"
                                  << QStringList{a1.arg(QStringLiteral("s1 there")),
                                                 QStringLiteral(
                                                     "ID=3; ID_CHAIN=3; ATTRIBUTE=H_3; ID_ACTION=A3; "
                                                     "SYNOPSIS=s3 there")} +
                                         added
                                  << QStringList{ann, cy} << log;
        QTest::newRow("--mine") << "--mine" << QStringList{a1.arg(QStringLiteral("s1 here"))} + added
                                << QStringList{ann, QStringLiteral("ID=bob; FIRST_NAME=Bob; PHONE_1=222"), cy}
                                << log;
    }

    void threeWayMerge()
    {
        QFETCH(QString, decide);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, contacts);
        QFETCH(QStringList, log);
        QCOMPARE(Exchange(), QString());
        const QString mine = Path(QStringLiteral("mine.act"));

        // Questions left open: listed, nothing changed, exit code 3.
        const auto before = ActionFileSnapshot(mine);
        const Run open = Cli({QStringLiteral("merge"), mine, QStringLiteral("back/sent.dravelin")});
        QCOMPARE(open.exitCode, 3);
        QVERIFY2(open.out.contains(QStringLiteral("Three-way")), qPrintable(open.out));
        QVERIFY2(open.out.contains(QStringLiteral("3 open question(s)")), qPrintable(open.out));
        QVERIFY(open.out.contains(QStringLiteral("SYNOPSIS: here s1 here, there s1 there")));
        QVERIFY(open.out.contains(QStringLiteral("Action 3 \"A3\": Deleted here, changed there")));
        QVERIFY(open.out.contains(QStringLiteral("Contact \"bob\": Deleted there, changed here")));
        QCOMPARE(ActionFileSnapshot(mine), before);

        const Run merged = Cli({QStringLiteral("merge"), mine, QStringLiteral("back/sent.dravelin"), decide});
        QVERIFY2(merged.exitCode == 0, qPrintable(merged.err));
        const TTableRows rows = AllRows(mine);
        QCOMPARE(rows.header, QStringList{QStringLiteral(
                                  "TITLE=Harbour works; DATE_ENTERED=2026-01-05; REMARKS=remarked here")});
        QCOMPARE(rows.actions, Sorted(actions));
        QCOMPARE(rows.contacts, Sorted(contacts));
        QCOMPARE(rows.log, Sorted(log));
        QCOMPARE(rows.decisions, QStringList{QStringLiteral("ID=2; ID_ACTION=7; SYNOPSIS=d2 there")});
        QCOMPARE(rows.statements, QStringList{QStringLiteral("ID=2; ID_ACTION=7; SYNOPSIS=t2 there")});
    }

    // Without the state packed every difference is a question: --mine
    // leaves the file as it was, --theirs makes it the returned one, with
    // the actions only there under new numbers.
    void twoWayMerge()
    {
        QCOMPARE(Exchange(), QString());
        QVERIFY(QFile::remove(Base()));
        const QString mine = Path(QStringLiteral("mine.act"));
        const TTableRows before = AllRows(mine);

        const Run open = Cli({QStringLiteral("merge"), mine, QStringLiteral("back/sent.dravelin")});
        QCOMPARE(open.exitCode, 3);
        QVERIFY2(open.out.contains(QStringLiteral("Two-way")), qPrintable(open.out));
        QVERIFY(open.out.contains(QStringLiteral("REMARKS: here remarked here, there (empty)")));

        QCOMPARE(Cli({QStringLiteral("merge"), mine, QStringLiteral("back/sent.dravelin"),
                      QStringLiteral("--mine")})
                     .exitCode,
                 0);
        const TTableRows kept = AllRows(mine);
        QCOMPARE(kept.header, before.header);
        QCOMPARE(kept.actions, before.actions);
        QCOMPARE(kept.contacts, before.contacts);
        QCOMPARE(kept.log, before.log);
        QCOMPARE(kept.decisions, before.decisions);
        QCOMPARE(kept.statements, before.statements);

        QCOMPARE(Cli({QStringLiteral("merge"), mine, QStringLiteral("back/sent.dravelin"),
                      QStringLiteral("--theirs")})
                     .exitCode,
                 0);
        const TTableRows rows = AllRows(mine);
        const TTableRows theirs = AllRows(Path(QStringLiteral("theirs.act")));
        QCOMPARE(rows.header, theirs.header);
        QCOMPARE(rows.contacts, theirs.contacts);
        QCOMPARE(rows.log, theirs.log);
        // Action 3 (deleted here) and 6 were only there: 6 and 7 now.
        QCOMPARE(
            rows.actions,
            Sorted({QStringLiteral("ID=1; ID_CHAIN=1; ATTRIBUTE=H_1; ID_ACTION=A1; SYNOPSIS=s1 there; "
                                   "DESCRIPTION=described there"),
                    QStringLiteral("ID=4; ID_CHAIN=4; ATTRIBUTE=H_4; ID_ACTION=A4; SYNOPSIS=s4"),
                    QStringLiteral("ID=5; ID_CHAIN=7; ATTRIBUTE=T_5; ID_ACTION=B5; SYNOPSIS=s5 there"),
                    QStringLiteral("ID=6; ID_CHAIN=6; ATTRIBUTE=H_3; ID_ACTION=A3; SYNOPSIS=s3 there"),
                    QStringLiteral("ID=7; ID_CHAIN=7; ATTRIBUTE=T_6; ID_ACTION=B6; SYNOPSIS=s6 there")}));
        QCOMPARE(rows.decisions, QStringList{QStringLiteral("ID=2; ID_ACTION=7; SYNOPSIS=d2 there")});
        QCOMPARE(rows.statements, QStringList{QStringLiteral("ID=2; ID_ACTION=7; SYNOPSIS=t2 there")});
    }

    // The copy kept for another Action File that had this name once (deleted
    // outside the program, made anew) is no base for this one.
    void baseOfAnotherFileIsNotUsed()
    {
        QCOMPARE(Exchange(), QString());
        const QString mine = Path(QStringLiteral("mine.act"));
        for (const QString &name : TACTFiles(mine).Names())
            QVERIFY(QFile::remove(name));
        TDataModuleMain &data = *ws.data;
        data.Tables.Open(mine, true);
        Add(data, "cdsActions", {{"ID", 1}, {"ID_CHAIN", 1}, {"ATTRIBUTE", "N_1"}, {"ID_ACTION", "N1"}});
        data.Tables.Close();
        data.Tables.Reset();
        QVERIFY(QFileInfo::exists(Base()));

        const Run run = Cli({QStringLiteral("merge"), mine, QStringLiteral("back/sent.dravelin")});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.out.startsWith(QStringLiteral("Two-way")), qPrintable(run.out));
    }

    // A returned file the merge cannot trust is refused before anything is
    // changed.
    void hostileReturnedFileIsRefused_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong magic") << "magic"
                                     << "This is not a valid Dravelin File";
        QTest::newRow("foreign schema") << "schema"
                                        << "cannot be read";
        QTest::newRow("identifier beyond 32 bits") << "wide"
                                                   << "out of range";
    }

    void hostileReturnedFileIsRefused()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QCOMPARE(Exchange(), QString());
        const QString mine = Path(QStringLiteral("mine.act"));
        const QString returned = Path(QStringLiteral("back/sent.dravelin"));
        const QString theirs = Path(QStringLiteral("theirs.act"));
        const TACTFiles files(theirs);
        if (damage == QLatin1String("magic")) {
            QByteArray bytes = ReadAll(returned);
            bytes.replace(0, 10, "QZVRTK5208");
            QFile file(returned);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        } else {
            if (damage == QLatin1String("schema")) {
                // The log member holds the actions table.
                QVERIFY(QFile::remove(files.Name(TableMember::Log)));
                QVERIFY(QFile::copy(files.Name(TableMember::Actions), files.Name(TableMember::Log)));
            } else {
                QVERIFY(ExecSql(files.Name(TableMember::Actions),
                                "UPDATE cdsActions SET ID = 4294967297 WHERE ID = 6"));
            }
            TCDSParser(theirs, returned).Pack();
        }
        const auto before = ActionFileSnapshot(mine);
        for (const char *decide : {"--theirs", "--mine"}) {
            const Run run = Cli({QStringLiteral("merge"), mine, returned, QLatin1String(decide)});
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains(message), qPrintable(run.err));
            QCOMPARE(ActionFileSnapshot(mine), before);
        }
    }
};

QTEST_GUILESS_MAIN(TestCliMerge)
#include "tst_climerge.moc"
