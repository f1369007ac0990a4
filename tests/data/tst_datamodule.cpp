#include "ActionFileLock.h"
#include "AppError.h"
#include "FakeUiServices.h"
#include "FullDisk.h"
#include "NewFileSet.h"
#include "OpenCommands.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "TestSupport.h"
#include "TestWorkspace.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <chrono>
#include <limits>
#include <sqlite3.h>
#include <thread>

namespace {

// What the action list shows of the data module's indicator signals.
struct FakeWindow {
    TSeverityIndicator severity;
    TStatusIndicator status, logStatus;
    QString dueDate = QStringLiteral("unset");

    void Watch(TDataModuleMain &dm)
    {
        QObject::connect(&dm, &TDataModuleMain::SeverityChanged, [this](const auto &i) { severity = i; });
        QObject::connect(&dm, &TDataModuleMain::ActionStatusChanged, [this](const auto &i) { status = i; });
        QObject::connect(&dm, &TDataModuleMain::LogStatusChanged, [this](const auto &i) { logStatus = i; });
        QObject::connect(&dm, &TDataModuleMain::DueDateChanged,
                         [this](const QString &text) { dueDate = text; });
    }
};

QStringList Column(TTable *table, const QString &field)
{
    QStringList values;
    for (table->First(); !table->Eof(); table->Next())
        values << table->FieldByName(field).AsString();
    return values;
}

// Saves a new action the way the action editor does on first save.
int SaveNewAction(TDataModuleMain &dm, const QString &owner = QString())
{
    dm.cdsActions->Append();
    const int id = dm.NextId(rkAction);
    dm.cdsActions->FieldByName("ID").SetAsInteger(id);
    dm.cdsActions->FieldByName("ID_CHAIN").SetAsInteger(id);
    if (!owner.isNull())
        dm.cdsActions->FieldByName("ACTOR_OWNER").SetAsString(owner);
    dm.cdsActions->Post();
    return id;
}

bool ExecSql(const QString &fileName, const QByteArray &sql)
{
    sqlite3 *db = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(fileName).constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace

class TestDataModule : public QObject {
    Q_OBJECT

    TestWorkspace fixture_;
    std::unique_ptr<QTemporaryDir> &dir_ = fixture_.dir;
    FakeUiServices &ui_ = fixture_.ui;

    QString Plan() const { return dir_->filePath("Plan.act"); }
    QStringList Journals() const
    {
        return QDir(dir_->path())
            .entryList({QStringLiteral("*-journal"), QStringLiteral("*-mj*")}, QDir::Files);
    }

private Q_SLOTS:
    void initTestCase() { UseTestStandardPaths(); }

    void init()
    {
        fixture_.Start(TestWorkspace::WithoutDataModule);
        Settings().Actions.AtributeSeparator = "_";
        Settings().Actions.TransferData = true;
        Settings().Actions.DueDateIndicator = 1;
    }
    void cleanup() { fixture_.Finish(); }

    void newFileWritesSixFilesAndNumbersFromOne()
    {
        Settings().Company.Name = "ACME";
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
        QVERIFY(dm.Tables.IsOpen());
        QCOMPARE(dm.Tables.FileName(), Plan());
        QCOMPARE(dm.LastActionId(), 0);
        dm.cdsActions->Append();
        QCOMPARE(dm.cdsActions->FieldByName("ATTRIBUTE").AsString(), QStringLiteral("_00001"));
        QCOMPARE(dm.cdsActions->FieldByName("STATUS").AsString(), QStringLiteral("Void"));
        QCOMPARE(dm.cdsActions->FieldByName("SEVERITY").AsString(), QStringLiteral("Medium"));
        QCOMPARE(dm.cdsActions->FieldByName("DATE_STATUS").AsDate(), QDate::currentDate());
        QCOMPARE(dm.cdsActions->FieldByName("ACTOR_OWNER").AsString(), TDataModuleMain::LoginName());
        dm.cdsActions->Cancel();
        QCOMPARE(SaveNewAction(dm), 1);
        QCOMPARE(dm.cdsActions->FieldByName("ID_CHAIN").AsInteger(), 1);
        dm.Tables.Close();
        QVERIFY(!dm.Tables.IsOpen());
        QCOMPARE(dm.LastActionId(), -1);
        for (int code = 0; code < kTableMemberCount; ++code)
            QVERIFY2(QFileInfo::exists(TTables::TableFileName(Plan(), TableMember(code))),
                     qPrintable(QString::number(code)));

        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QCOMPARE(dm.cdsAction->RecordCount(), 1);
        QCOMPARE(dm.cdsAction->FieldByName("DATE_ENTERED").AsDate(), QDate::currentDate());
        QCOMPARE(dm.cdsAction->FieldByName("COMPANY").AsString(), QStringLiteral("ACME"));
        QCOMPARE(dm.LastActionId(), 1);
        dm.Tables.Close();
    }

    void defaultAttribute_data()
    {
        QTest::addColumn<QString>("homeId");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<int>("lastId");
        QTest::addColumn<QString>("attribute");
        QTest::newRow("home id") << "PRJ"
                                 << "_" << 41 << "PRJ_00042";
        QTest::newRow("no home id") << ""
                                    << "_" << 41 << "_00042";
        QTest::newRow("trimmed parts") << " P "
                                       << " - " << 6 << "P-00007";
        QTest::newRow("six digits") << ""
                                    << "_" << 123455 << "_123456";
        QTest::newRow("cut to 32") << QString(30, 'H') << "_" << 0 << QString(30, 'H') + "_0";
    }
    void defaultAttribute()
    {
        QFETCH(QString, homeId);
        QFETCH(QString, separator);
        QFETCH(int, lastId);
        QFETCH(QString, attribute);
        Settings().Actions.AtributeSeparator = separator;
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
        dm.cdsAction->Edit();
        dm.cdsAction->FieldByName("HOME_ID").SetAsString(homeId);
        dm.cdsAction->Post();
        for (int i = 0; i < lastId; ++i)
            dm.NextId(rkAction);
        dm.cdsActions->Insert();
        QCOMPARE(dm.cdsActions->FieldByName("ATTRIBUTE").AsString(), attribute);
        dm.cdsActions->Cancel();
        dm.Tables.Close();
    }

    // Counters restart from the highest identifier present; a record left
    // without one must not make identifiers repeat.
    void countersFollowHighestId()
    {
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            for (const QVariant &id : {QVariant(5), QVariant(17), QVariant(), QVariant(3)})
                dm.cdsActions->AppendRecord({id});
            dm.cdsLog->AppendRecord({9, 17});
            dm.cdsLog->AppendRecord({QVariant(), 17});
            dm.Tables.Close();
        }
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QCOMPARE(dm.LastActionId(), 17);
        QCOMPARE(dm.Tables.LastLogId(), 9);
        QCOMPARE(dm.Tables.LastDecisionId(), 0);
        dm.cdsActions->Insert();
        QVERIFY(dm.cdsActions->FieldByName("ATTRIBUTE").AsString().endsWith("00018"));
        dm.cdsActions->Cancel();
        dm.cdsActions->Insert();
        QVERIFY(dm.cdsActions->FieldByName("ATTRIBUTE").AsString().endsWith("00018"));
        dm.cdsActions->Cancel();
        QCOMPARE(SaveNewAction(dm), 18);
        QCOMPARE(dm.NextId(rkLog), 10);
        QCOMPARE(dm.NextId(rkStatement), 1);
        dm.Tables.Close();
    }

    void largestIdentifierIsKeptAndNeverPassed()
    {
        const int largest = std::numeric_limits<int>::max();
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            dm.cdsActions->AppendRecord({largest - 1});
            dm.cdsLog->AppendRecord({largest, largest - 1});
            dm.Tables.Close();
        }
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QCOMPARE(dm.LastActionId(), largest - 1);
        QCOMPARE(dm.Tables.LastLogId(), largest);
        QCOMPARE(dm.NextId(rkAction), largest);
        QVERIFY_THROWS_EXCEPTION(AppError, dm.NextId(rkAction));
        QVERIFY_THROWS_EXCEPTION(AppError, dm.NextId(rkLog));
        QCOMPARE(dm.Tables.LastLogId(), largest);
        dm.Tables.Close();
    }

    void openSetsOrdersAndFilter()
    {
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            dm.cdsActions->AppendRecord({1, 1, "B"});
            dm.cdsActions->AppendRecord({2, 2, "c"});
            dm.cdsActions->AppendRecord({3, 3, "a"});
            dm.cdsLog->AppendRecord({1, 1, QDate(2024, 5, 1), QTime(8, 0)});
            dm.cdsLog->AppendRecord({2, 1, QDate(2024, 5, 2), QTime(7, 0)});
            dm.cdsLog->AppendRecord({3, 1, QDate(2024, 5, 1), QTime(9, 0)});
            for (const char *phone : {"555-2", "555-3", "555-1"})
                dm.cdsActor->AppendRecord({"X", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, phone});
            dm.cdsActions->SetIndexName("ID_ASC");
            dm.cdsLog->SetIndexName("ID_ASC");
            dm.Tables.Close();
        }
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QCOMPARE(dm.cdsActions->IndexName(), QStringLiteral("ATTRIBUTE_DESC"));
        QVERIFY(dm.cdsActions->Filtered());
        QCOMPARE(Column(dm.cdsActions, "ATTRIBUTE"), QStringList({"c", "B", "a"}));
        QCOMPARE(dm.cdsLog->IndexName(), QStringLiteral("LOG_DATE_TIME"));
        dm.UnfilterLog();
        QCOMPARE(Column(dm.cdsLog, "ID"), QStringList({"2", "3", "1"}));
        QCOMPARE(dm.cdsActor->IndexName(), QStringLiteral("ID_ASC"));
        QCOMPARE(dm.cdsDecision->IndexName(), QStringLiteral("DATE_ENTERED_DESC"));
        dm.cdsActor->SetIndexName("PHONE_2_ASC");
        QCOMPARE(Column(dm.cdsActor, "PHONE_2"), QStringList({"555-1", "555-2", "555-3"}));
        dm.cdsActor->SetIndexName("PHONE_2_DESC");
        QCOMPARE(Column(dm.cdsActor, "PHONE_2"), QStringList({"555-3", "555-2", "555-1"}));
        dm.Tables.Close();
        QVERIFY(!dm.cdsActions->Filtered());
        QVERIFY(dm.cdsActions->IndexName().isEmpty());
    }

    void failedOpenShowsTableMessage_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("damage");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("cause");
        for (int code = 0; code < kTableMemberCount; ++code)
            QTest::addRow("missing %d", code)
                << code << QByteArray("missing") << TTables::OpenErrorMessage(TableMember(code))
                << QStringLiteral("does not exist");
        QTest::newRow("log missing") << 3 << QByteArray("missing") << "The Log File cannot be opened!"
                                     << "does not exist";
        QTest::newRow("actions file holds the log")
            << 1 << QByteArray("log") << "The Actions File cannot be opened!"
            << "it does not hold exactly the table cdsActions";
        QTest::newRow("newer version")
            << 4 << QByteArray("PRAGMA user_version=2") << "The Decision File cannot be opened!"
            << "it was written by a newer version of the program";
        QTest::newRow("no table file") << 2 << QByteArray("garbage") << "The Actor File cannot be opened!"
                                       << "file is not a database";
    }
    // The table's own message comes first, then the file and why.
    void failedOpenShowsTableMessage()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, damage);
        QFETCH(QString, message);
        QFETCH(QString, cause);
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            SaveNewAction(dm);
            dm.Tables.Close();
        }
        const QString broken = TTables::TableFileName(Plan(), TableMember(code));
        if (damage == "missing")
            QFile::remove(broken);
        else if (damage == "log")
            QFile::copy(TTables::TableFileName(Plan(), TableMember::Log), broken + ".tmp"),
                QFile::remove(broken), QFile::rename(broken + ".tmp", broken);
        else if (damage == "garbage")
            QVERIFY(WriteFileBytes(broken, QByteArray(4096, 'x')));
        else
            QVERIFY(ExecSql(broken, damage));
        QMap<QString, QByteArray> before;
        for (const QString &name : QDir(dir_->path()).entryList(QDir::Files))
            before[name] = ReadFileBytes(dir_->filePath(name));

        TDataModuleMain dm(Settings());
        TFileLock lock(Plan());
        std::optional<TOpenActionFile> file;
        QVERIFY(!OpenActionFileTables(file, dm, lock, Plan()));
        QCOMPARE(ui_.messages().size(), 1);
        const QString text = ui_.messages()[0].text;
        QCOMPARE(text.section(QStringLiteral("\n\n"), 0, 0), message);
        const QString why = text.section(QStringLiteral("\n\n"), 1);
        QVERIFY2(why.contains(QLatin1Char('"') + broken + QLatin1Char('"')) && why.contains(cause),
                 qPrintable(why));
        QCOMPARE(ui_.messages()[0].caption, QStringLiteral("File open Error"));
        QCOMPARE(ui_.messages()[0].flags, unsigned(MB_OK | MB_ICONERROR));
        QVERIFY(!dm.Tables.IsOpen());
        QVERIFY(dm.Tables.FileName().isEmpty());
        QCOMPARE(dm.LastActionId(), -1);
        for (int i = 0; i < kTableMemberCount; ++i)
            QVERIFY(!dm.Tables.Table(TableMember(i))->Active());
        QMap<QString, QByteArray> after;
        for (const QString &name : QDir(dir_->path()).entryList(QDir::Files))
            after[name] = ReadFileBytes(dir_->filePath(name));
        QCOMPARE(after, before);
    }

    // A set opened with some members reads and writes only those: the
    // others are neither read (a broken one does not stop the open) nor
    // written, and a change of an opened one is saved as usual.
    void openingSomeMembersLeavesTheOthersAlone()
    {
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            SaveNewAction(dm);
            dm.Tables.Close();
        }
        const QString log = TTables::TableFileName(Plan(), TableMember::Log);
        QFile::remove(log);
        const QString actor = TTables::TableFileName(Plan(), TableMember::Actor);
        const QByteArray actorBytes = ReadFileBytes(actor);

        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(
            dm.Tables.Open(Plan(), false, MemberBit(TableMember::Header) | MemberBit(TableMember::Actions)));
        QVERIFY(dm.Tables.IsOpen());
        QVERIFY(dm.cdsAction->Active());
        QVERIFY(dm.cdsActions->Active());
        for (TableMember member :
             {TableMember::Actor, TableMember::Log, TableMember::Decision, TableMember::Statement})
            QVERIFY(!dm.Tables.Table(member)->Active());
        QCOMPARE(dm.LastActionId(), 1);
        QCOMPARE(dm.Tables.LastLogId(), -1);
        QCOMPARE(SaveNewAction(dm), 2);
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Close());
        QVERIFY(!QFileInfo::exists(log));
        QCOMPARE(ReadFileBytes(actor), actorBytes);

        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false, MemberBit(TableMember::Actions)));
        QCOMPARE(dm.cdsActions->RecordCount(), 2);
        QVERIFY(!dm.cdsAction->Active());
        dm.Tables.Close();
    }

    // The table set reports a failed open to its caller and tells the user
    // nothing itself.
    void failedOpenThrowsTheMessageWithoutShowingIt()
    {
        TDataModuleMain dm(Settings());
        QString error;
        try {
            dm.Tables.Open(dir_->filePath("Missing.act"), false);
        } catch (const AppError &e) {
            error = e.message();
        }
        QCOMPARE(error.section(QStringLiteral("\n\n"), 0, 0), TTables::OpenErrorMessage(TableMember::Header));
        QVERIFY(ui_.calls.isEmpty());
        QVERIFY(!dm.Tables.IsOpen());
    }

    // A file that another program keeps in use is waited for a few seconds:
    // a reader that lets go in time delays a commit, one that does not makes
    // an open say that the file is busy, never that it cannot be opened.
    void busyFileIsWaitedForThenCalledBusy()
    {
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            dm.Tables.Close();
        }
        const QString actions = TTables::TableFileName(Plan(), TableMember::Actions);
        // Another program's connection, holding the file in its own thread.
        const auto hold = [&](const char *begin, int releaseAfterMs) {
            return std::thread([actions, begin, releaseAfterMs] {
                sqlite3 *db = nullptr;
                sqlite3_open(QFile::encodeName(actions).constData(), &db);
                sqlite3_exec(db, begin, nullptr, nullptr, nullptr);
                std::this_thread::sleep_for(std::chrono::milliseconds(releaseAfterMs));
                sqlite3_close(db);
            });
        };
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
            std::thread reader = hold("BEGIN; SELECT count(*) FROM cdsActions", 1000);
            QThread::msleep(200);
            const auto saved = [&] {
                try {
                    SaveNewAction(dm);
                    return true;
                } catch (const AppError &) {
                    return false;
                }
            }();
            reader.join();
            QVERIFY(saved);
            dm.Tables.Close();
        }
        TDataModuleMain dm(Settings());
        std::thread writer = hold("BEGIN EXCLUSIVE", 7000);
        QThread::msleep(200);
        QString message;
        bool busy = false;
        TableMember member = TableMember::Header;
        try {
            dm.Tables.Open(Plan(), false);
        } catch (const TTablesOpenError &error) {
            message = error.message();
            busy = error.Busy();
            member = error.Member();
        }
        writer.join();
        QVERIFY(busy);
        QCOMPARE(member, TableMember::Actions);
        QCOMPARE(message.section(QStringLiteral("\n\n"), 0, 0), QStringLiteral("The Actions File is busy!"));
        QVERIFY2(!message.contains(QStringLiteral("cannot be opened")) &&
                     message.contains(QStringLiteral("it is busy")),
                 qPrintable(message));
    }

    void newFileLeavesStrayMembersAlone_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("interrupted");
        for (int code = 1; code < kTableMemberCount; ++code) {
            QTest::addRow("member %d of another file", code) << code << false;
            QTest::addRow("member %d left by an interrupted creation", code) << code << true;
        }
    }
    // A companion file without its header is never written over: it may be
    // someone's. Only what an interrupted creation of the very same file
    // left (it marks them while it places them) is replaced.
    void newFileLeavesStrayMembersAlone()
    {
        QFETCH(int, code);
        QFETCH(bool, interrupted);
        const QString member = TTables::TableFileName(Plan(), TableMember(code));
        QVERIFY(WriteFileBytes(member, "not a table file\n"));
        if (interrupted)
            QVERIFY(WriteFileBytes(TNewFileSet::MarkerName(Plan()), QByteArray()));

        TDataModuleMain dm(Settings());
        if (!interrupted) {
            try {
                dm.Tables.Open(Plan(), true);
                QFAIL("a stray member was written over");
            } catch (const AppError &error) {
                QVERIFY2(error.message().contains(QLatin1Char('"') + member + QLatin1Char('"')),
                         qPrintable(error.message()));
            }
            QVERIFY(!dm.Tables.IsOpen());
            QCOMPARE(ReadFileBytes(member), QByteArray("not a table file\n"));
            QCOMPARE(FolderEntries(dir_->path()), QStringList{QFileInfo(member).fileName()});
            return;
        }
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
        dm.Tables.Close();
        QVERIFY(!QFileInfo::exists(TNewFileSet::MarkerName(Plan())));
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QCOMPARE(dm.Tables.Table(TableMember(code))->RecordCount(), 0);
        dm.Tables.Close();
    }

    // A member with a hidden fault in its b-tree still loads; a write in
    // place would make it unreadable, so it is written whole from the
    // records instead, and the damaged file kept aside and named.
    void damagedMemberIsWrittenWholeBeforeAWrite()
    {
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            SaveNewAction(dm);
            dm.Tables.Close();
        }
        const QString actions = TTables::TableFileName(Plan(), TableMember::Actions);
        // The list of free pages claims the table's own page.
        QByteArray bytes = ReadFileBytes(actions);
        const char freelist[8] = {0, 0, 0, 2, 0, 0, 0, 1};
        bytes.replace(32, 8, freelist, 8);
        QVERIFY(WriteFileBytes(actions, bytes));

        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QSignalSpy repaired(&dm, &TDataModuleMain::TableFileRepaired);
        dm.cdsActions->Edit();
        dm.cdsActions->FieldByName("DESCRIPTION").SetAsString(QString(20000, 'd'));
        dm.cdsActions->Post();
        QCOMPARE(repaired.size(), 1);
        const QString message = repaired.first().first().toString();
        QVERIFY2(
            message.startsWith(QStringLiteral("The file \"%1\" was damaged").arg(actions)) &&
                message.endsWith(QStringLiteral("the damaged file was kept as \"%1.damaged\".").arg(actions)),
            qPrintable(message));
        QCOMPARE(ReadFileBytes(actions + ".damaged"), bytes);
        SaveNewAction(dm);
        QCOMPARE(repaired.size(), 1);
        dm.Tables.Close();

        TDataModuleMain again(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(again.Tables.Open(Plan(), false));
        QCOMPARE(again.cdsActions->RecordCount(), 2);
        again.Tables.Close();
    }

    void failedCommitKeepsChangesForTheNextWrite_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("read-only member") << "readonly";
        QTest::newRow("full disk") << "full";
    }
    // A change whose write fails is reported, not saved: it stays in memory
    // with the set open, the file keeps what it had, and the next save
    // writes it.
    void failedCommitKeepsChangesForTheNextWrite()
    {
        QFETCH(QString, fault);
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            SaveNewAction(dm);
            dm.Tables.Close();
        }
        const QString actions = TTables::TableFileName(Plan(), TableMember::Actions);
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        const QByteArray before = ReadFileBytes(actions);
        const auto permissions = QFile::permissions(actions);
        if (fault == "readonly")
            QVERIFY(QFile::setPermissions(actions, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        {
            std::unique_ptr<FullDisk> limit;
            if (fault == "full")
                limit = std::make_unique<FullDisk>(before.size() + 4096);
            TChangeScope change(dm.Tables);
            for (int i = 0; i < 20; ++i)
                SaveNewAction(dm);
            dm.cdsActions->Edit();
            dm.cdsActions->FieldByName("DESCRIPTION").SetAsString(QString(200000, 'x'));
            dm.cdsActions->Post();
            try {
                change.Commit();
                QFAIL("the failed write was reported as success");
            } catch (const TNotSavedError &error) {
                if (fault == "readonly")
                    QCOMPARE(error.message(),
                             QStringLiteral("Cannot write \"%1\": the file is read-only.").arg(actions));
            }
            QVERIFY_THROWS_EXCEPTION(TNotSavedError, dm.Tables.Close());
        }
        QVERIFY(dm.Tables.IsOpen());
        QVERIFY(dm.Tables.HasUnsavedChanges());
        QCOMPARE(dm.LastActionId(), 21);
        for (int code = 0; code < kTableMemberCount; ++code)
            QVERIFY(dm.Tables.Table(TableMember(code))->Active());
        QVERIFY(dm.cdsActions->Modified());
        QCOMPARE(ReadFileBytes(actions), before);
        QVERIFY(Journals().isEmpty());

        QFile::setPermissions(actions, permissions);
        // Saving works again, and so does closing.
        dm.Tables.SaveToFiles();
        QVERIFY(!dm.cdsActions->Modified());
        QVERIFY(!dm.Tables.HasUnsavedChanges());
        dm.Tables.Close();
        QVERIFY(!dm.Tables.IsOpen());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QCOMPARE(dm.LastActionId(), 21);
        dm.Tables.Close();
    }

    void memberWithForeignSchemaIsRefused_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("sql");
        for (int code = 0; code < kTableMemberCount; ++code) {
            QTest::addRow("view in member %d", code) << code << QByteArray("CREATE VIEW v AS SELECT 1");
            QTest::addRow("trigger in member %d", code)
                << code << QByteArray("CREATE TRIGGER t AFTER UPDATE ON %1 BEGIN DELETE FROM %1; END");
        }
    }
    void memberWithForeignSchemaIsRefused()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, sql);
        QString tableName;
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            SaveNewAction(dm);
            tableName = dm.Tables.Table(TableMember(code))->TableName();
            dm.Tables.Close();
        }
        const QString member = TTables::TableFileName(Plan(), TableMember(code));
        QVERIFY(ExecSql(member, QString::fromLatin1(sql).arg(tableName).toUtf8()));
        QMap<QString, QByteArray> before;
        for (const QString &name : QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden))
            before[name] = ReadFileBytes(dir_->filePath(name));

        TDataModuleMain dm(Settings());
        TFileLock lock(Plan());
        std::optional<TOpenActionFile> file;
        QVERIFY(!OpenActionFileTables(file, dm, lock, Plan()));
        QCOMPARE(ui_.messages().size(), 1);
        QCOMPARE(ui_.messages()[0].text.section(QStringLiteral("\n\n"), 0, 0),
                 TTables::OpenErrorMessage(TableMember(code)));
        QVERIFY(ui_.messages()[0].text.contains(QStringLiteral("it does not hold exactly the table")));
        QCOMPARE(ui_.messages()[0].caption, QStringLiteral("File open Error"));
        QMap<QString, QByteArray> after;
        for (const QString &name : QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden))
            after[name] = ReadFileBytes(dir_->filePath(name));
        QCOMPARE(after, before);
    }

    void logFollowsCurrentAction()
    {
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
        dm.cdsActions->AppendRecord({1, 1, "A1"});
        dm.cdsActions->AppendRecord({2, 2, "A2"});
        dm.cdsLog->AppendRecord({1, 1});
        dm.cdsLog->AppendRecord({2, 2});
        dm.cdsLog->AppendRecord({3, 2});
        dm.cdsLog->AppendRecord({4, 99}); // belongs to no action
        dm.Tables.Close();
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        dm.cdsActions->First();
        QCOMPARE(dm.cdsLog->Filter(), QStringLiteral("ID_ACTION = 2"));
        QCOMPARE(dm.cdsLog->RecordCount(), 2);
        dm.cdsActions->Next();
        QCOMPARE(Column(dm.cdsLog, "ID"), QStringList({"1"}));
        dm.cdsActions->Insert();
        QCOMPARE(dm.cdsLog->RecordCount(), 4); // all entries while a new action is entered
        dm.cdsActions->Cancel();
        QCOMPARE(dm.cdsLog->RecordCount(), 1);
        dm.Tables.Close();
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        dm.UnfilterLog();
        QCOMPARE(dm.cdsLog->RecordCount(), 4);
        Settings().Actions.Filter = 2; // resolved only: none
        dm.Tables.Close();
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QCOMPARE(dm.cdsActions->RecordCount(), 0);
        QCOMPARE(dm.cdsLog->Filter(), QStringLiteral("ID_ACTION = -1000"));
        QCOMPARE(dm.cdsLog->RecordCount(), 0);
        dm.Tables.Close();
    }

    void newLogEntryTakesActionData_data()
    {
        QTest::addColumn<bool>("transfer");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("actor");
        QTest::newRow("transfer on") << true << "Pending"
                                     << "OWNER";
        QTest::newRow("transfer off") << false << "Void"
                                      << "HOME";
    }
    void newLogEntryTakesActionData()
    {
        QFETCH(bool, transfer);
        QFETCH(QString, status);
        QFETCH(QString, actor);
        Settings().Actions.TransferData = transfer;
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
        dm.cdsAction->Edit();
        dm.cdsAction->FieldByName("ACTOR_HOME").SetAsString("HOME");
        dm.cdsAction->Post();
        QCOMPARE(dm.DefaultActor(), QStringLiteral("HOME"));
        SaveNewAction(dm, "OWNER");
        dm.cdsActions->Edit();
        dm.cdsActions->FieldByName("STATUS").SetAsString("Pending");
        dm.cdsActions->Post();
        dm.cdsLog->Append();
        QCOMPARE(dm.cdsLog->FieldByName("STATUS").AsString(), status);
        QCOMPARE(dm.cdsLog->FieldByName("ACTOR_STATUS").AsString(), actor);
        QCOMPARE(dm.cdsLog->FieldByName("ACTOR_TENDER").AsString(), actor);
        QCOMPARE(dm.cdsLog->FieldByName("DATE_LOG").AsDate(), QDate::currentDate());
        QVERIFY(!dm.cdsLog->FieldByName("TIME_LOG").IsNull());
        dm.cdsLog->Cancel();
        dm.cdsActor->Append();
        QCOMPARE(dm.cdsActor->FieldByName("GENDER").AsString(), QStringLiteral("F"));
        dm.cdsActor->Cancel();
        dm.cdsDecision->Append();
        QCOMPARE(dm.cdsDecision->FieldByName("ACTOR_DECISION").AsString(), QStringLiteral("HOME"));
        dm.cdsDecision->Cancel();
        dm.Tables.Close();
    }

    void showMineAndIndicators()
    {
        FakeWindow window;
        TDataModuleMain dm(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
        dm.cdsAction->Edit();
        dm.cdsAction->FieldByName("ACTOR_HOME").SetAsString("ABC");
        dm.cdsAction->Post();
        for (const char *owner : {"abc", " ABC", "A.B.C"})
            SaveNewAction(dm, owner);
        dm.Tables.Close();

        window.Watch(dm);
        dm.cdsActions->OnFilterRecord = [&dm](TTable &t) { return dm.cdsActionsFilterRecord(t, true); };
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QCOMPARE(Column(dm.cdsActions, "ACTOR_OWNER"), QStringList({" ABC", "abc"}));
        QVERIFY(window.severity.visible);
        QCOMPARE(window.status.text, QStringLiteral("V"));
        QCOMPARE(window.dueDate, QString());
        dm.Tables.Close();

        Settings().Actions.Filter = 2;
        QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), false));
        QVERIFY(!window.severity.visible);
        QVERIFY(!window.status.visible);
        dm.DataSourceLogDataChange();
        QVERIFY(!window.logStatus.visible);
        dm.Tables.Close();
        dm.UseDefaultActionsFilter();
    }

    // A reload reuses what it wrote; it must show exactly what a fresh open shows.
    void reloadShowsWhatAFreshOpenShows()
    {
        {
            TDataModuleMain dm(Settings());
            QVERIFY_THROWS_NO_EXCEPTION(dm.Tables.Open(Plan(), true));
            for (int i = 0; i < 30; ++i)
                SaveNewAction(dm);
            dm.Tables.Close();
        }
        auto dump = [](TDataModuleMain &dm) {
            QStringList rows;
            for (dm.cdsActions->First(); !dm.cdsActions->Eof(); dm.cdsActions->Next())
                rows << dm.cdsActions->FieldByName("ID").AsString() +
                            dm.cdsActions->FieldByName("ATTRIBUTE").AsString();
            return rows;
        };
        auto dm = std::make_unique<TDataModuleMain>(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(dm->Tables.Open(Plan(), false));
        dm->cdsActions->SetRecNo(4);
        dm->cdsActions->Edit();
        dm->cdsActions->FieldByName("ATTRIBUTE").SetAsString("ZZZ");
        dm->cdsActions->Post();
        dm->cdsActions->SetRecNo(7);
        dm->cdsActions->Delete();
        SaveNewAction(*dm);
        dm->Tables.Close();
        QVERIFY_THROWS_NO_EXCEPTION(dm->Tables.Open(Plan(), false));
        const QStringList reloaded = dump(*dm);
        dm->Tables.Close();
        dm.reset();
        TDataModuleMain fresh(Settings());
        QVERIFY_THROWS_NO_EXCEPTION(fresh.Tables.Open(Plan(), false));
        QCOMPARE(reloaded, dump(fresh));
        QVERIFY(reloaded.first().endsWith("ZZZ"));
        QCOMPARE(fresh.LastActionId(), 31);
        fresh.Tables.Close();
    }
};

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
